// The greedy chunker: one pass from the start, each chunk ending at its best end.
//
// Cost is |words - target| / scale plus the penalty of the end's class. Within one class, cost
// falls while a chunk is below the target and rises once it reaches it (words never decrease as
// the end moves on, and rounding keeps that order), so a class's best end is the last one below
// the target (or the earliest one that costs as much) or the first one at or above it. Each start
// then costs a few binary searches per class instead of a scan of every later boundary, so neither
// long documents nor extreme counts make the pass quadratic.
#include "chunk/greedy.h"

#include <algorithm>
#include <limits>

#include "base/internal_error.h"
#include "chunk/boundaries.h"
#include "chunk/chunk.h"

namespace vedavi::chunk {

EndClass end_class(bool is_body, std::uint8_t level) {
  if (is_body || level > 4) return EndClass::Other;
  if (level <= 2) return EndClass::Major;
  return level == 3 ? EndClass::Level3 : EndClass::Level4;
}

GreedyEnds::GreedyEnds(std::vector<std::uint64_t> cumulative_words,
                       const std::vector<EndClass>& classes, std::uint64_t target_words,
                       std::uint64_t length_scale)
    : w_(std::move(cumulative_words)), target_(target_words), scale_(double(length_scale)) {
  const std::size_t n = w_.size() - 1;
  class_of_.assign(n + 1, EndClass::Major);
  for (std::size_t j = 1; j < n; ++j) class_of_[j] = classes[j];
  for (std::size_t j = 1; j <= n; ++j) ends_[std::size_t(class_of_[j])].push_back(j);
}

double GreedyEnds::cost(std::size_t start, std::size_t end) const {
  const std::uint64_t words = w_[end] - w_[start];
  const std::uint64_t distance = words > target_ ? words - target_ : target_ - words;
  return double(distance) / scale_ + kEndPenalty[std::size_t(class_of_[end])];
}

std::size_t GreedyEnds::best_in_class(std::size_t start,
                                      const std::vector<std::size_t>& members) const {
  const auto first = std::upper_bound(members.begin(), members.end(), start);
  // Members below the target come first.
  const auto reached = std::partition_point(first, members.end(), [&](std::size_t j) {
    return w_[j] - w_[start] < target_;
  });
  const std::size_t none = std::numeric_limits<std::size_t>::max();
  std::size_t below = none;
  if (reached != first) {
    const double least = cost(start, *(reached - 1));
    below = *std::partition_point(first, reached, [&](std::size_t j) { return cost(start, j) > least; });
  }
  if (reached == members.end()) return below;
  if (below == none || cost(start, *reached) < cost(start, below)) return *reached;
  return below;
}

std::size_t GreedyEnds::best_end(std::size_t start) const {
  const std::size_t none = std::numeric_limits<std::size_t>::max();
  std::size_t best = none;
  double best_cost = 0;
  for (const std::vector<std::size_t>& members : ends_) {
    const std::size_t end = best_in_class(start, members);
    if (end == none) continue;
    const double c = cost(start, end);
    if (best == none || c < best_cost || (c == best_cost && end < best)) {
      best = end;
      best_cost = c;
    }
  }
  return best == none ? w_.size() - 1 : best;
}

ChunkList md_chunk_list_greedy(std::string_view md, std::uint64_t target_words,
                               std::uint64_t length_scale) {
  fault_point(md);
  ChunkList chunks(md);
  if (md.empty()) return chunks;
  const Boundaries bounds = boundaries(md);
  const std::size_t n = bounds.list.size();
  std::vector<EndClass> classes(n);
  for (std::size_t j = 0; j < n; ++j)
    classes[j] = end_class(bounds.list[j].is_body, bounds.list[j].level);
  const GreedyEnds ends(bounds.cumulative_words(), classes, target_words, length_scale);
  ChunkAppender append(bounds, chunks);
  for (std::size_t start = 0; start < n;) {
    const std::size_t end = ends.best_end(start);
    append.add(start, end);
    start = end;
  }
  return chunks;
}

std::vector<MdChunk> md_chunks_greedy(std::string_view md, std::uint64_t target_words,
                                      std::uint64_t length_scale) {
  return md_chunk_list_greedy(md, target_words, length_scale).chunks();
}

}  // namespace vedavi::chunk
