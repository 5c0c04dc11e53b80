// The four splitting stages both multi-stage chunkers share, and their size arithmetic. Counts may
// be as large as 2^64-1, so products are taken in 128 bits and maxima saturate; for ordinary
// counts the results are the plain 64-bit ones.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

namespace vedavi::chunk {

using Wide = unsigned __int128;

// value * mul / div, saturated to 64 bits.
constexpr std::uint64_t scaled(std::uint64_t value, unsigned mul, unsigned div) {
  const Wide r = Wide(value) * mul / div;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  return r > kMax ? kMax : std::uint64_t(r);
}

// The keep-whole test of the later stages: a text below one and a half times the maximum is not
// split further.
constexpr bool keeps_whole(std::uint64_t words, std::uint64_t max) {
  return Wide(words) * 2 < Wide(max) * 3;
}

struct Stage {
  std::uint8_t level;  // the heading level cut at; 0: every boundary (or blank lines)
  std::uint64_t max_words;
  bool may_keep_whole;
};

// Level 2 at three quarters of the target, level 3 at the target, level 4 at five quarters (kept
// whole below one and a half times that), then paragraphs at one and a half times the target.
constexpr std::array<Stage, 4> stages(std::uint64_t target_words) {
  return {Stage{2, scaled(target_words, 3, 4), false}, Stage{3, target_words, false},
          Stage{4, scaled(target_words, 5, 4), true}, Stage{0, scaled(target_words, 3, 2), true}};
}

}  // namespace vedavi::chunk
