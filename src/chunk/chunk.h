// Chunking md source into pieces of about a target number of words: the chunk record, how a text
// starts, and the three chunkers. Takes md text and counts; gives chunk lists. Uses base, text,
// model, block (for the boundaries of the block-aware chunkers).
#pragma once

#include <cstddef>
#include <cstdint>
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

// Splits at level-2, then level-3 and level-4 headings, then at blank lines, working on the text
// alone. `target_words` > 0 (the caller checks). The empty text gives one empty body chunk.
std::vector<MdChunk> md_chunks(std::string_view md, std::uint64_t target_words);

// Cuts between top-level blocks: at level-2, level-3, level-4 headings, then anywhere; never
// inside a block. `target_words` > 0. The empty text gives no chunk.
std::vector<MdChunk> md_chunks_structural(std::string_view md, std::uint64_t target_words);

// Cuts between top-level blocks in one pass, each chunk ending where its size is closest to the
// target, ends before deep headings and body blocks costing extra. Both counts > 0.
std::vector<MdChunk> md_chunks_greedy(std::string_view md, std::uint64_t target_words,
                                      std::uint64_t length_scale);

}  // namespace vedavi::chunk
