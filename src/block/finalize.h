// The last passes of an md parse: implicit figures, footnote definitions moved out of the draft
// tree, and drafts finished into the document's blocks with every leaf's inlines parsed.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "block/build.h"
#include "block/draft.h"
#include "block/parse.h"
#include "model/document.h"
#include "inline/parse.h"
#include "model/options.h"

namespace vedavi::block {

// A footnote definition taken out of the draft tree.
struct DraftFootnote {
  std::string label;
  Drafts drafts;
};

// Turns every paragraph that is exactly one image into a figure, at any depth.
void decide_figures(Drafts& drafts, const InlineContext& ctx);

// Moves every footnote definition, at any depth, into `out`: in document order, except that a
// definition nested in another comes before it. Each leaves an empty splice in its place.
// `nested`: whether any definition may stand below the top level; when none does, only the
// top-level list is looked at.
void take_footnotes(Drafts& drafts, std::vector<DraftFootnote>& out, bool nested = true);

// Drafts into blocks: leaves get their inlines, splices dissolve into their parent, panel divs
// get their panel attributes and title. Walks without recursion on the tree's depth.
// `extra`: how many blocks more than drafts the top level gives (see `Parsed::spliced_extra`), so
// that its list, the largest of the tree, is made once at its size.
Blocks finalize_blocks(Drafts drafts, const InlineContext& ctx, std::size_t extra = 0);
ArenaVector<TableRow> finalize_table_rows(std::span<const TableRowText> rows, const InlineContext& ctx);
// The body rows of a table of `aligns.size()` columns, from their lines (see draft::Table).
ArenaVector<TableRow> finalize_table_body(std::span<const std::string_view> lines, std::span<const Align> aligns,
                                          bool leading_pipe, const InlineContext& ctx);

// Finishes a parse of span mode 0: footnote definitions out of the drafts, then the drafts and
// each footnote's drafts into `document.blocks` and `document.footnotes`. Figures are decided
// before, by `decide_figures`, while spans are still collected.
void finish_parse(Parsed& parsed, const Options& options);
// As `finish_parse`, but the top-level blocks go to `sink` one at a time instead of into
// `document.blocks`, each built in a scratch arena and gone once `sink` has it (see
// `parse_kept_source_streamed`).
void finish_parse_streamed(Parsed& parsed, const Options& options, BlockSink& sink);

}  // namespace vedavi::block
