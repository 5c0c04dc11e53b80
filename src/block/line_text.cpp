// The text of code and math blocks: source ranges copied once instead of line by line.
#include <algorithm>
#include <cstring>

#include "block/build.h"

namespace vedavi::block {

namespace build {

void LineText::append_other(const line::Rest& rest, std::string_view line, bool lf_follows) {
  const char* text = rest.text.data();
  // The logical line is the source itself when it ends where the source line ends, with an LF
  // after it, and its padding stands for spaces just before its text on the same line.
  bool in_place = text != nullptr && lf_follows &&
                  text + rest.text.size() == line.data() + line.size() &&
                  rest.pad <= static_cast<std::size_t>(text - line.data());
  for (std::size_t i = 1; in_place && i <= rest.pad; ++i)
    in_place = text[-static_cast<std::ptrdiff_t>(i)] == ' ';
  if (!in_place) {
    flush();
    static constexpr std::string_view kSpaces = "                ";
    for (std::size_t pad = rest.pad; pad > 0;) {
      const std::size_t n = std::min(pad, kSpaces.size());
      put(kSpaces.substr(0, n));
      pad -= n;
    }
    put(rest.text);
    put("\n");
    return;
  }
  const char* begin = text - rest.pad;
  if (begin != run_end_ || run_begin_ == run_end_) {
    flush();
    run_begin_ = begin;
  }
  run_end_ = text + rest.text.size() + 1;  // the LF
}

void LineText::grow(std::size_t more) {
  Arena& arena = current_arena();
  std::size_t bytes = std::max({2 * room_size_, size_ + more, std::size_t{64}});
  char* room = static_cast<char*>(arena.allocate_room(bytes, false));
  if (size_ > 0) std::memcpy(room, room_, size_);
  if (room_) arena.release_room(room_, room_size_);
  room_ = room;
  room_size_ = bytes;
}

std::string LineText::take() {
  if (size_ == 0) {
    std::string whole(run_begin_, static_cast<std::size_t>(run_end_ - run_begin_));
    run_begin_ = run_end_ = nullptr;
    return whole;
  }
  flush();
  std::string whole(room_, size_);
  current_arena().release_room(room_, room_size_);
  room_ = nullptr;
  size_ = room_size_ = 0;
  return whole;
}

Str LineText::take_str(std::string_view kept_source) {
  if (size_ > 0) {
    // The tree keeps an exact copy; the room, sized for growth, serves the next text.
    flush();
    const Str copied(std::string_view(room_, size_));
    current_arena().release_room(room_, room_size_);
    room_ = nullptr;
    size_ = room_size_ = 0;
    return copied;
  }
  const std::string_view whole(run_begin_, static_cast<std::size_t>(run_end_ - run_begin_));
  run_begin_ = run_end_ = nullptr;
  const bool in_source = !kept_source.empty() && whole.data() >= kept_source.data() &&
                         whole.data() + whole.size() <= kept_source.data() + kept_source.size();
  return in_source ? Str::borrowed(whole) : Str(whole);
}

}  // namespace build

}  // namespace vedavi::block
