// Chunking md source into pieces of about a target number of words: the chunk record, how a text
// starts, and the three chunkers. Takes md text and counts; gives chunk lists. Uses base, text,
// model, block (for the boundaries of the block-aware chunkers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vedavi::chunk {

// One chunk of output: its text (breadcrumb prefix included), and how that text starts.
struct MdChunk {
  std::string text;
  bool is_body = true;      // false when the text starts with an ATX heading
  std::uint8_t level = 0;   // that heading's level (1-6); 0 for body
  friend bool operator==(const MdChunk&, const MdChunk&) = default;
};

// How a text starts: with body text, or with an ATX heading of a level.
struct Start {
  bool is_body = true;
  std::uint8_t level = 0;
  friend bool operator==(const Start&, const Start&) = default;
};

// The first line that is not blank decides: 1-6 '#' followed by a space make a heading; anything
// else (a tab after the run, an indented line, "#tag", no such line) is body.
Start initial_start(std::string_view text);

// Maximal runs of characters that are not Unicode White_Space.
std::size_t words(std::string_view text);

// Chunks held as their parts until each is wanted: chunk i's text is its prefix (a breadcrumb, held
// once for all the chunks that carry it) followed by a stretch of the source. A caller that turns
// the chunks into something else one at a time never holds every text at once, nor the source
// twice. Views into the source: the source outlives the list.
class ChunkList {
 public:
  explicit ChunkList(std::string_view source) : source_(source) {}

  std::size_t size() const { return parts_.size(); }
  // Chunk i's prefix and its stretch of the source: the text is the one followed by the other.
  std::string_view prefix(std::size_t i) const { return held_prefix(parts_[i].prefix); }
  std::string_view body(std::size_t i) const {
    return source_.substr(parts_[i].begin, parts_[i].end - parts_[i].begin);
  }
  Start start(std::size_t i) const { return parts_[i].start; }
  MdChunk chunk(std::size_t i) const;
  std::vector<MdChunk> chunks() const;

  // Holds a prefix for chunks to name; 0 names the empty one.
  std::size_t add_prefix(std::string text);
  std::string_view held_prefix(std::size_t index) const { return prefixes_[index]; }
  void add(std::size_t prefix, std::size_t begin, std::size_t end, Start start) {
    parts_.push_back(Part{prefix, begin, end, start});
  }

 private:
  struct Part {
    std::size_t prefix;
    std::size_t begin;  // the stretch of the source, [begin, end)
    std::size_t end;
    Start start;
  };
  std::string_view source_;
  std::deque<std::string> prefixes_{std::string()};  // elements stay in place as more come
  std::vector<Part> parts_;
};

// Splits at level-2, then level-3 and level-4 headings, then at blank lines, working on the text
// alone. `target_words` > 0 (the caller checks). The empty text gives one empty body chunk.
std::vector<MdChunk> md_chunks(std::string_view md, std::uint64_t target_words);
ChunkList md_chunk_list(std::string_view md, std::uint64_t target_words);

// Cuts between top-level blocks: at level-2, level-3, level-4 headings, then anywhere; never
// inside a block. `target_words` > 0. The empty text gives no chunk.
std::vector<MdChunk> md_chunks_structural(std::string_view md, std::uint64_t target_words);
ChunkList md_chunk_list_structural(std::string_view md, std::uint64_t target_words);

// Cuts between top-level blocks in one pass, each chunk ending where its size is closest to the
// target, ends before deep headings and body blocks costing extra. Both counts > 0.
std::vector<MdChunk> md_chunks_greedy(std::string_view md, std::uint64_t target_words,
                                      std::uint64_t length_scale);
ChunkList md_chunk_list_greedy(std::string_view md, std::uint64_t target_words,
                               std::uint64_t length_scale);

}  // namespace vedavi::chunk
