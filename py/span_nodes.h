// Span dictionaries: the Python view of one block span or one ranged inline node, as the span
// listings `blocks`, `inlines` and `source_nodes` report them. Keys keep the order in which they
// are set here, which callers may rely on.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "block/trace.h"
#include "inline/spans.h"
#include "pyref.h"

namespace vedavi::py {

// A block span; `start` and `end` as the listing reports them (lines or byte offsets).
Ref block_span_node(const block::BlockSpan& span, std::size_t start, std::size_t end);
// An inline node; `source` is the md text its offsets point into.
Ref inline_span_node(const inl::InlineNode& node, std::string_view source);
// The items of a bracketed cross-reference: [{"target", "bare", "prefix"}, ...].
Ref xref_refs(std::span<const inl::XrefSeg> refs);

}  // namespace vedavi::py
