// The heading trail of chunks already emitted: every line beginning with '#' on a stack that keeps
// only what can still lead to a later chunk, so a breadcrumb costs its own length, not a rescan
// of the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vedavi::chunk {

class HeadingTrail {
 public:
  // Takes the lines of an emitted chunk's text (split at "\n", a "\r" before it dropped) that
  // begin with '#', code blocks and breadcrumb lines included.
  void feed(std::string_view chunk_text);

  // The chain of lines leading to the end of what was fed, each with fewer '#' than the one after
  // it and fewer than `split_level` (10 for 0), joined and ended by "\n"; "" when there is none.
  std::string breadcrumb(std::uint8_t split_level) const;

 private:
  struct Line {
    std::string text;
    std::size_t hashes;
  };
  // Strictly increasing in `hashes` from bottom to top: a line hides every earlier one with as
  // many '#' or more, which no later walk back could keep.
  std::vector<Line> stack_;
};

}  // namespace vedavi::chunk
