// The top-level block boundaries of md source with the breadcrumb of headings above each, from
// the block parser's spans: what the structural and greedy chunkers cut along.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chunk/chunk.h"

namespace vedavi::chunk {

// Heading lines above a block, outermost first, as views into the source. Breadcrumbs are shared
// between the boundaries below the same headings, so a document of many blocks under a long
// heading stores that heading once.
struct Breadcrumb {
  std::array<std::string_view, 6> lines{};
  std::uint8_t count = 0;
  std::size_t words = 0;  // of the lines joined by "\n"

  bool empty() const { return count == 0; }
  // The lines joined by "\n".
  void append_to(std::string& out) const;
  std::string text() const;
};

// The start of one top-level block. Boundary i covers the source from its offset to the next
// boundary's (the last one to the end of the source).
struct Boundary {
  std::size_t offset = 0;      // always the start of a line
  std::size_t breadcrumb = 0;  // index into Boundaries::breadcrumbs; 0 is the empty one
  bool is_body = true;         // false for a heading
  std::uint8_t level = 0;      // the heading's level (1-6)
};

struct Boundaries {
  std::string_view source;
  std::vector<Boundary> list;  // by offset, from 0, no two at the same offset
  std::vector<Breadcrumb> breadcrumbs;

  const Breadcrumb& breadcrumb_of(std::size_t i) const { return breadcrumbs[list[i].breadcrumb]; }
  // Offset of boundary i, the source's length for i == list.size().
  std::size_t offset(std::size_t i) const {
    return i < list.size() ? list[i].offset : source.size();
  }
  // W[i] = words of the source before boundary i; W has list.size() + 1 entries.
  std::vector<std::uint64_t> cumulative_words() const;
};

// Appends the chunks of boundary ranges to a list. The chunk of boundaries [first, end) is the
// breadcrumb of boundary `first` and a blank line (unless it is the list's first chunk or the
// breadcrumb is empty), then the source they cover; consecutive chunks under one breadcrumb
// share its prefix.
class ChunkAppender {
 public:
  ChunkAppender(const Boundaries& bounds, ChunkList& list) : bounds_(bounds), list_(list) {}
  void add(std::size_t first, std::size_t end);

 private:
  const Boundaries& bounds_;
  ChunkList& list_;
  std::size_t crumb_ = 0;   // the breadcrumb last made a prefix
  std::size_t prefix_ = 0;  // that prefix
};

// The boundaries of a non-empty md source (the parse uses the chunkers' fixed options). A source
// whose first block does not start at offset 0 gets a first boundary at 0.
Boundaries boundaries(std::string_view md);

}  // namespace vedavi::chunk
