// Room for md2vedavi's output str, and for the call's passing allocations, in memory that stays
// resident between calls.
//
// A call made after other work in the process finds the heap's top given back to the system
// (the allocator trims it once the other work frees its memory), so whatever the call takes from
// the top faults its pages in afresh. The line table, the drafts, the arena and the HTML pieces
// are kept between calls; what is not: the output str, which the caller owns and frees (in a
// pipeline, before the next call), and the call's passing allocations (work lists that grow and
// go). Freed below memory that is held, their pages stay resident and serve the next call.
//
// So a call takes its str's room first thing, before its other allocations could land in it,
// and frees it just before the str is made, which then takes it. The first call, and any call
// after one whose str did not take its room or that faulted pages in, takes the room afresh:
// the room, a gap for the passing allocations, and an untouched "cap" as large as the room,
// kept until the next retake, then frees the gap. Taken from the top of the heap, the cap lies
// above the room and the gap, which are never trimmed while it stands; untouched, it costs
// address space, not memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vedavi::py {

class OutputRoom {
 public:
  // The room for a call whose input has `input_bytes` bytes.
  explicit OutputRoom(std::size_t input_bytes);
  OutputRoom(const OutputRoom&) = delete;
  OutputRoom& operator=(const OutputRoom&) = delete;
  ~OutputRoom();

  // Gives the room up, for the str about to be made.
  void release();
  // The str was made at `data`, `bytes` of characters; the call is done.
  void made(const void* data, std::size_t bytes);

 private:
  void* room_ = nullptr;
  std::uintptr_t begin_ = 0, end_ = 0;  // where the room was
  long faults_ = 0;                      // the thread's page faults when the call began
  bool fresh_ = false;                   // taken afresh by this call: its pages are new
};

}  // namespace vedavi::py
