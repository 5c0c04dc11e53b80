// The level chunker: splits the text itself at heading separators and blank lines, stage by stage,
// merging pieces back up to each stage's maximum.
#include <string>
#include <utility>

#include "base/internal_error.h"
#include "chunk/breadcrumb.h"
#include "chunk/chunk.h"
#include "chunk/stages.h"

namespace vedavi::chunk {
namespace {

struct Piece {
  std::string_view text;
  Start start;
};

// "\n" + L '#' + " " for a heading level, "\n\n" for level 0.
std::string separator(std::uint8_t level) {
  if (level == 0) return "\n\n";
  std::string sep = "\n";
  sep.append(level, '#');
  sep += ' ';
  return sep;
}

// The text cut before every occurrence of the separator, left to right, without overlaps. Pieces
// after the first begin with the separator, so they begin with white space and the word count of
// a run of pieces is the sum of theirs.
std::vector<Piece> cut_at_separators(const MdChunk& chunk, std::uint8_t level) {
  const std::string sep = separator(level);
  const std::string_view text = chunk.text;
  const Start split_start{level == 0, level};
  std::vector<Piece> pieces;
  std::size_t begin = 0;
  Start start{chunk.is_body, chunk.level};
  for (std::size_t at = text.find(sep); at != std::string_view::npos; at = text.find(sep, at + sep.size())) {
    pieces.push_back(Piece{text.substr(begin, at - begin), start});
    begin = at;
    start = split_start;
  }
  pieces.push_back(Piece{text.substr(begin), start});
  return pieces;
}

// Merges the pieces of one split into chunks, each carrying the breadcrumb of what this split has
// emitted before it.
class LevelMerge {
 public:
  LevelMerge(std::uint8_t level, std::uint64_t max_words, std::vector<MdChunk>& out)
      : level_(level), max_(max_words), half_(max_words / 2), out_(out), first_(out.size()) {}

  void add(const Piece& piece, bool is_last) {
    const std::uint64_t aw = acc_words_;
    const std::uint64_t pw = words(piece.text);
    if (aw > half_ && pw > half_) flush(/*fresh=*/true);
    if (acc_.empty()) acc_start_ = piece.start;
    acc_ += piece.text;
    acc_words_ += pw;
    if (is_last || aw > max_) flush(/*fresh=*/false);
  }

 private:
  void flush(bool fresh) {
    if (fresh || crumb_.empty()) crumb_ = trail_.breadcrumb(level_);
    MdChunk chunk;
    if (out_.size() > first_) chunk.text = crumb_;
    chunk.text += acc_;
    chunk.is_body = acc_start_.is_body;
    chunk.level = acc_start_.level;
    trail_.feed(chunk.text);
    out_.push_back(std::move(chunk));
    acc_.clear();
    acc_words_ = 0;
  }

  std::uint8_t level_;
  std::uint64_t max_;
  std::uint64_t half_;
  std::vector<MdChunk>& out_;
  std::size_t first_;  // where this split's chunks begin in `out_`
  HeadingTrail trail_;
  std::string crumb_;  // the breadcrumb last computed in this split
  std::string acc_;
  std::uint64_t acc_words_ = 0;
  Start acc_start_;
};

// One stage applied to one chunk, appending its chunks to `out`.
void split_level(MdChunk&& chunk, std::uint8_t level, std::uint64_t max_words, bool may_keep_whole,
                 std::vector<MdChunk>& out) {
  if (may_keep_whole && keeps_whole(words(chunk.text), max_words)) {
    out.push_back(std::move(chunk));
    return;
  }
  const std::vector<Piece> pieces = cut_at_separators(chunk, level);
  LevelMerge merge(level, max_words, out);
  for (std::size_t i = 0; i < pieces.size(); ++i) merge.add(pieces[i], i + 1 == pieces.size());
}

}  // namespace

std::vector<MdChunk> md_chunks(std::string_view md, std::uint64_t target_words) {
  fault_point(md);
  const Start start = initial_start(md);
  std::vector<MdChunk> chunks;
  chunks.push_back(MdChunk{std::string(md), start.is_body, start.level});
  for (const Stage& stage : stages(target_words)) {
    std::vector<MdChunk> next;
    for (MdChunk& chunk : chunks)
      split_level(std::move(chunk), stage.level, stage.max_words, stage.may_keep_whole, next);
    chunks = std::move(next);
  }
  return chunks;
}

}  // namespace vedavi::chunk
