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

// A chunk while the stages run: the breadcrumb a split put in front of its text is never cut from
// the text it heads, or a later stage would make a chunk of the breadcrumb alone.
struct StagedChunk {
  MdChunk chunk;
  std::size_t crumb_size = 0;  // the breadcrumb's bytes at the start of chunk.text
};

// The text cut before every occurrence of the separator, left to right, without overlaps, except
// where an occurrence begins inside the breadcrumb (its closing "\n" included). Pieces after the
// first begin with the separator, so they begin with white space and the word count of a run of
// pieces is the sum of theirs.
std::vector<Piece> cut_at_separators(const StagedChunk& staged, std::uint8_t level) {
  const MdChunk& chunk = staged.chunk;
  const std::string sep = separator(level);
  const std::string_view text = chunk.text;
  const Start split_start{level == 0, level};
  std::vector<Piece> pieces;
  std::size_t begin = 0;
  Start start{chunk.is_body, chunk.level};
  const std::size_t first_cut = staged.crumb_size;
  for (std::size_t at = text.find(sep, first_cut); at != std::string_view::npos;
       at = text.find(sep, at + sep.size())) {
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
  LevelMerge(std::uint8_t level, std::uint64_t max_words, std::size_t crumb_size,
             std::vector<StagedChunk>& out)
      : level_(level), max_(max_words), half_(max_words / 2), out_(out), first_(out.size()),
        first_crumb_size_(crumb_size) {}

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
    StagedChunk staged;
    MdChunk& chunk = staged.chunk;
    // The split's first chunk keeps the breadcrumb its parent's text began with.
    staged.crumb_size = out_.size() > first_ ? crumb_.size() : first_crumb_size_;
    if (out_.size() > first_) chunk.text = crumb_;
    chunk.text += acc_;
    chunk.is_body = acc_start_.is_body;
    chunk.level = acc_start_.level;
    trail_.feed(chunk.text);
    out_.push_back(std::move(staged));
    acc_.clear();
    acc_words_ = 0;
  }

  std::uint8_t level_;
  std::uint64_t max_;
  std::uint64_t half_;
  std::vector<StagedChunk>& out_;
  std::size_t first_;  // where this split's chunks begin in `out_`
  std::size_t first_crumb_size_;
  HeadingTrail trail_;
  std::string crumb_;  // the breadcrumb last computed in this split
  std::string acc_;
  std::uint64_t acc_words_ = 0;
  Start acc_start_;
};

// One stage applied to one chunk, appending its chunks to `out`.
void split_level(StagedChunk&& staged, std::uint8_t level, std::uint64_t max_words,
                 bool may_keep_whole, std::vector<StagedChunk>& out) {
  if (may_keep_whole && keeps_whole(words(staged.chunk.text), max_words)) {
    out.push_back(std::move(staged));
    return;
  }
  const std::vector<Piece> pieces = cut_at_separators(staged, level);
  LevelMerge merge(level, max_words, staged.crumb_size, out);
  for (std::size_t i = 0; i < pieces.size(); ++i) merge.add(pieces[i], i + 1 == pieces.size());
}

}  // namespace

std::vector<MdChunk> md_chunks(std::string_view md, std::uint64_t target_words) {
  fault_point(md);
  const Start start = initial_start(md);
  std::vector<StagedChunk> chunks;
  chunks.push_back(StagedChunk{MdChunk{std::string(md), start.is_body, start.level}, 0});
  for (const Stage& stage : stages(target_words)) {
    std::vector<StagedChunk> next;
    for (StagedChunk& chunk : chunks)
      split_level(std::move(chunk), stage.level, stage.max_words, stage.may_keep_whole, next);
    chunks = std::move(next);
  }
  std::vector<MdChunk> out;
  out.reserve(chunks.size());
  for (StagedChunk& staged : chunks) out.push_back(std::move(staged.chunk));
  return out;
}

}  // namespace vedavi::chunk
