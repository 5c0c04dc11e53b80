// The md source highlighter: md source in, inner HTML out, in which every construct the dialect
// reads is wrapped in a `span` whose class is a caller-given prefix and a theme scope name.
// Uses text, model, block and inline.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vedavi::highlight {

// The source as escaped HTML text with classed spans. Never fails.
std::string highlight_md(std::string_view src, std::string_view class_prefix);
// The same output in pieces of about `piece_bytes` or more, each whole UTF-8, in order: a caller
// copying it elsewhere may let each go once copied, so the whole never stands twice.
std::vector<std::string> highlight_md_pieces(std::string_view src, std::string_view class_prefix,
                                             std::size_t piece_bytes);

}  // namespace vedavi::highlight
