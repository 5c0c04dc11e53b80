// The structural chunker: ranges of top-level blocks split at level-2, level-3 and level-4
// headings, then at any boundary, every size read from a table of cumulative word counts.
#include <utility>

#include "base/internal_error.h"
#include "chunk/boundaries.h"
#include "chunk/chunk.h"
#include "chunk/stages.h"

namespace vedavi::chunk {
namespace {

// Boundaries [first, end), sized with the words of the breadcrumb it will carry.
struct Range {
  std::size_t first = 0;
  std::size_t end = 0;
  std::uint64_t extra_words = 0;
};

class StructuralSplit {
 public:
  explicit StructuralSplit(const Boundaries& bounds)
      : bounds_(bounds), w_(bounds.cumulative_words()) {}

  // One stage over every range.
  std::vector<Range> stage(const std::vector<Range>& ranges, const Stage& stage) const {
    std::vector<Range> out;
    for (const Range& r : ranges) split(r, stage, out);
    for (std::size_t k = 0; k < out.size(); ++k)
      out[k].extra_words = k == 0 ? 0 : bounds_.breadcrumb_of(out[k].first).words;
    return out;
  }

 private:
  std::uint64_t words_of(std::size_t first, std::size_t end, std::uint64_t extra) const {
    return w_[end] - w_[first] + extra;
  }

  bool is_cut(std::size_t j, std::uint8_t level) const {
    const Boundary& b = bounds_.list[j];
    return level == 0 || (!b.is_body && b.level == level);
  }

  void split(const Range& r, const Stage& stage, std::vector<Range>& out) const {
    if (stage.may_keep_whole && keeps_whole(words_of(r.first, r.end, r.extra_words), stage.max_words)) {
      out.push_back(r);
      return;
    }
    const std::uint64_t half = stage.max_words / 2;
    bool is_empty = true;
    std::size_t acc_first = r.first;
    std::uint64_t acc_extra = 0;
    std::size_t piece_first = r.first;
    while (piece_first < r.end) {
      std::size_t piece_end = piece_first + 1;
      while (piece_end < r.end && !is_cut(piece_end, stage.level)) ++piece_end;
      const std::uint64_t piece_extra = piece_first == r.first ? r.extra_words : 0;
      const std::uint64_t aw = is_empty ? 0 : words_of(acc_first, piece_first, acc_extra);
      const std::uint64_t pw = words_of(piece_first, piece_end, piece_extra);
      if (aw > half && pw > half) {
        out.push_back(Range{acc_first, piece_first, acc_extra});
        is_empty = true;
      }
      if (is_empty) {
        acc_first = piece_first;
        acc_extra = piece_extra;
        is_empty = false;
      }
      if (piece_end == r.end || aw > stage.max_words) {
        out.push_back(Range{acc_first, piece_end, acc_extra});
        is_empty = true;
      }
      piece_first = piece_end;
    }
  }

  const Boundaries& bounds_;
  std::vector<std::uint64_t> w_;
};

}  // namespace

ChunkList md_chunk_list_structural(std::string_view md, std::uint64_t target_words) {
  fault_point(md);
  ChunkList chunks(md);
  if (md.empty()) return chunks;
  const Boundaries bounds = boundaries(md);
  std::vector<Range> ranges;
  {
    const StructuralSplit split(bounds);
    ranges.push_back(Range{0, bounds.list.size(), 0});
    for (const Stage& stage : stages(target_words)) ranges = split.stage(ranges, stage);
  }
  ChunkAppender append(bounds, chunks);
  for (const Range& r : ranges) append.add(r.first, r.end);
  return chunks;
}

std::vector<MdChunk> md_chunks_structural(std::string_view md, std::uint64_t target_words) {
  return md_chunk_list_structural(md, target_words).chunks();
}

}  // namespace vedavi::chunk
