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
// a template token's form needs them; 4 as 3, with every kind's facts.
Parsed parse_source(std::string_view source, const Options& options, std::uint8_t mode);

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

}  // namespace vedavi
