// The greedy chunker's choice of where a chunk ends: among all later boundaries and the end of
// the source, the earliest end of least cost |words - target| / scale + penalty, the penalty
// depending on what follows the end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vedavi::chunk {

// What ending before a boundary costs: 0 before a level-1 or level-2 heading and at the end of
// the source, 1 before level 3, 2 before level 4, 4 before anything else.
enum class EndClass : std::uint8_t { Major = 0, Level3 = 1, Level4 = 2, Other = 3 };
inline constexpr std::array<double, 4> kEndPenalty{0.0, 1.0, 2.0, 4.0};
EndClass end_class(bool is_body, std::uint8_t level);

class GreedyEnds {
 public:
  // `cumulative_words` has n + 1 entries (W[j]: words before boundary j, W[n] the total) and is
  // non-decreasing; `classes` holds the class of ending before each boundary j < n.
  GreedyEnds(std::vector<std::uint64_t> cumulative_words, const std::vector<EndClass>& classes,
             std::uint64_t target_words, std::uint64_t length_scale);

  // The end j in (start, n] of least cost, the earliest among equals.
  std::size_t best_end(std::size_t start) const;
  double cost(std::size_t start, std::size_t end) const;

 private:
  // The earliest end of least cost among the members of one class after `start`.
  std::size_t best_in_class(std::size_t start, const std::vector<std::size_t>& members) const;

  std::vector<std::uint64_t> w_;
  std::vector<EndClass> class_of_;               // of ends 1..n (index = end)
  std::array<std::vector<std::size_t>, 4> ends_;  // the ends of each class, ascending
  std::uint64_t target_;
  double scale_;
};

}  // namespace vedavi::chunk
