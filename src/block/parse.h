// The md block parser's entry: md source to a `Parsed` result (document, trace, link
// definitions, footnote labels) in one of four span modes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "block/build.h"
#include "model/document.h"
#include "model/options.h"

namespace vedavi::block {

// Span modes: 0 the document's drafts; 1 block spans; 2 block spans with each kind's facts;
// 3 block spans with per-line content offsets, syntax scopes and edit regions, facts only where
// a template token's form needs them; 4 as 3, with every kind's facts; 5 as 3 without syntax
// scopes and without the edit regions of headings; 6 as 3 with the spans of headings, panel
// titles, link and attribute definitions and template tokens alone. With `source_outlives`
// the drafts may keep views of `source` (see `parse_kept_source`).
Parsed parse_source(std::string_view source, const Options& options, std::uint8_t mode,
                    bool source_outlives = false);

// Appends the spans of a draft tree in pre-order, children one level deeper. Each draft's span
// moves into the listing (its facts are not copied): the drafts keep their ranges, not their
// facts. The facts the drafts decide (attributes, figures, panels, template tokens) are those
// span mode `mode` records.
void draft_spans(std::span<Draft> drafts, std::size_t depth, std::vector<BlockSpan>& spans, std::uint8_t mode = 4);

}  // namespace vedavi::block

namespace vedavi {

// The document of md source (span mode 0), in an arena of its own: nothing in it may be moved
// into a tree that outlives it.
Document parse(std::string_view source, const Options& options);
// Receives the top-level blocks of a streamed parse.
class BlockSink {
 public:
  virtual ~BlockSink() = default;
  // Once, before the first block: the document so far (footnotes, diagnostics, frontmatter).
  virtual void start(const Document& doc) = 0;
  // Each top-level block, in order. It may be gone once this returns, unless the sink answers
  // that it still refers to it: then it, and every block after it, stay in memory that `keep`
  // hands over at the end.
  virtual bool block(const Block& block) = 0;
  // The memory of the blocks the sink still refers to, when it did; it must hold it as long as
  // it refers to them.
  virtual void keep(ArenaHandle blocks) = 0;
};

// As `parse`, but the document may point into `source` where its text stands there as written,
// instead of holding a copy: the caller promises that the bytes of `source` stay, unchanged, as
// long as the document (and every copy of its texts) does.
Document parse_kept_source(std::string_view source, const Options& options);
// As `parse_kept_source`, for a caller that reads the top-level blocks once, in order: each goes
// to `sink` as soon as it is finished, and its memory serves the next one, so that the whole tree
// never stands at once. The document returned holds everything but the top-level blocks; the one
// `sink.start` saw stays valid as long as the returned one.
Document parse_kept_source_streamed(std::string_view source, const Options& options, BlockSink& sink);

}  // namespace vedavi
