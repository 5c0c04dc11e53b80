// The level chunker: splits the text itself at heading separators and blank lines, stage by stage,
// merging pieces back up to each stage's maximum. A chunk is a breadcrumb and a stretch of the
// source throughout, so no stage copies the text.
#include <optional>
#include <string>
#include <utility>

#include "base/internal_error.h"
#include "chunk/breadcrumb.h"
#include "chunk/chunk.h"
#include "chunk/stages.h"

namespace vedavi::chunk {
namespace {

// A chunk while the stages run: its breadcrumb, a prefix of the list, and its stretch of the
// source [begin, end). The breadcrumb a split put in front of the text is never cut from the text
// it heads, or a later stage would make a chunk of the breadcrumb alone.
struct Staged {
  std::size_t prefix = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
  Start start;
};

// A piece of a split: the stretch [begin, end), after the chunk's breadcrumb for the first one.
struct Piece {
  bool has_prefix = false;
  std::size_t begin = 0;
  std::size_t end = 0;
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

// The chunk's text cut before every occurrence of the separator, left to right, without overlaps,
// except where an occurrence begins inside the breadcrumb (its closing "\n" included), one piece
// at a time. Pieces after the first begin with the separator, so they begin with white space and
// the word count of a run of pieces is the sum of theirs; a breadcrumb ends with "\n", so the
// first piece's count is the breadcrumb's and its stretch's.
class Pieces {
 public:
  Pieces(std::string_view md, const Staged& chunk, std::uint8_t level)
      : text_(md.substr(0, chunk.end)), sep_(separator(level)), split_start_{level == 0, level},
        begin_(chunk.begin), cut_(text_.find(sep_, chunk.begin)), start_(chunk.start) {}

  // The next piece; `is_last` tells whether it ends the chunk.
  Piece next(bool& is_last) {
    is_last = cut_ == std::string_view::npos;
    Piece piece{is_first_, begin_, is_last ? text_.size() : cut_, start_};
    if (!is_last) {
      begin_ = cut_;
      cut_ = text_.find(sep_, cut_ + sep_.size());
    }
    is_first_ = false;
    start_ = split_start_;
    return piece;
  }

 private:
  std::string_view text_;  // the source up to the chunk's end
  std::string sep_;
  Start split_start_;
  std::size_t begin_;
  std::size_t cut_;
  Start start_;
  bool is_first_ = true;
};

// Merges the pieces of one split into chunks, each carrying the breadcrumb of what this split has
// emitted before it.
class LevelMerge {
 public:
  LevelMerge(ChunkList& list, std::string_view md, std::uint8_t level, std::uint64_t max_words,
             std::size_t parent_prefix, std::vector<Staged>& out)
      : list_(list), md_(md), level_(level), max_(max_words), half_(max_words / 2), out_(out),
        first_(out.size()), parent_prefix_(parent_prefix) {}

  void add(const Piece& piece, bool is_last) {
    const std::string_view prefix = piece.has_prefix ? list_.held_prefix(parent_prefix_) : "";
    const std::uint64_t aw = acc_words_;
    const std::uint64_t pw = words(prefix) + words(md_.substr(piece.begin, piece.end - piece.begin));
    if (aw > half_ && pw > half_) flush(/*fresh=*/true);
    if (acc_bytes_ == 0) acc_start_ = piece.start;
    if (!acc_open_) {
      acc_open_ = true;
      acc_has_prefix_ = piece.has_prefix;
      acc_begin_ = piece.begin;
    }
    acc_end_ = piece.end;
    acc_bytes_ += prefix.size() + (piece.end - piece.begin);
    acc_words_ += pw;
    if (is_last || aw > max_) flush(/*fresh=*/false);
  }

 private:
  void flush(bool fresh) {
    if (fresh || crumb_.empty()) {
      std::string crumb = trail_.breadcrumb(level_);
      // Chunks under the same headings share one held prefix.
      if (crumb_prefix_ && crumb != list_.held_prefix(*crumb_prefix_)) crumb_prefix_.reset();
      crumb_ = std::move(crumb);
    }
    // The split's first chunk keeps the breadcrumb its parent's text began with, the others carry
    // this split's.
    std::size_t prefix = acc_has_prefix_ ? parent_prefix_ : 0;
    if (out_.size() > first_) {
      if (!crumb_prefix_) crumb_prefix_ = list_.add_prefix(crumb_);
      prefix = *crumb_prefix_;
    }
    trail_.feed(list_.held_prefix(prefix));
    trail_.feed(md_.substr(acc_begin_, acc_end_ - acc_begin_));
    out_.push_back(Staged{prefix, acc_begin_, acc_end_, acc_start_});
    acc_open_ = false;
    acc_bytes_ = 0;
    acc_words_ = 0;
  }

  ChunkList& list_;
  std::string_view md_;
  std::uint8_t level_;
  std::uint64_t max_;
  std::uint64_t half_;
  std::vector<Staged>& out_;
  std::size_t first_;  // where this split's chunks begin in `out_`
  std::size_t parent_prefix_;
  HeadingTrail trail_;
  std::string crumb_;  // the breadcrumb last computed in this split
  std::optional<std::size_t> crumb_prefix_;  // `crumb_` as a prefix of the list, once held
  // The pieces taken since the last flush: the stretch [acc_begin_, acc_end_), after the parent's
  // breadcrumb when the first piece is among them.
  bool acc_open_ = false;
  bool acc_has_prefix_ = false;
  std::size_t acc_begin_ = 0;
  std::size_t acc_end_ = 0;
  std::size_t acc_bytes_ = 0;  // the bytes of their text: 0 when nothing or only empty pieces
  std::uint64_t acc_words_ = 0;
  Start acc_start_;
};

// One stage applied to one chunk, appending its chunks to `out`.
void split_level(ChunkList& list, std::string_view md, const Staged& chunk, std::uint8_t level,
                 std::uint64_t max_words, bool may_keep_whole, std::vector<Staged>& out) {
  if (may_keep_whole &&
      keeps_whole(words(list.held_prefix(chunk.prefix)) + words(md.substr(chunk.begin, chunk.end - chunk.begin)),
                  max_words)) {
    out.push_back(chunk);
    return;
  }
  Pieces pieces(md, chunk, level);
  LevelMerge merge(list, md, level, max_words, chunk.prefix, out);
  for (bool is_last = false; !is_last;) {
    const Piece piece = pieces.next(is_last);
    merge.add(piece, is_last);
  }
}

}  // namespace

ChunkList md_chunk_list(std::string_view md, std::uint64_t target_words) {
  fault_point(md);
  ChunkList list(md);
  std::vector<Staged> chunks{Staged{0, 0, md.size(), initial_start(md)}};
  for (const Stage& stage : stages(target_words)) {
    std::vector<Staged> next;
    for (const Staged& chunk : chunks)
      split_level(list, md, chunk, stage.level, stage.max_words, stage.may_keep_whole, next);
    chunks = std::move(next);
  }
  for (const Staged& chunk : chunks) list.add(chunk.prefix, chunk.begin, chunk.end, chunk.start);
  return list;
}

std::vector<MdChunk> md_chunks(std::string_view md, std::uint64_t target_words) {
  return md_chunk_list(md, target_words).chunks();
}

}  // namespace vedavi::chunk
