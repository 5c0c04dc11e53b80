// The md source highlighter: md source in, inner HTML out, in which every construct the dialect
// reads is wrapped in a `span` whose class is a caller-given prefix and a theme scope name.
// Uses text, model, block and inline.
#pragma once

#include <string>
#include <string_view>

namespace vedavi::highlight {

// The source as escaped HTML text with classed spans. Never fails.
std::string highlight_md(std::string_view src, std::string_view class_prefix);

}  // namespace vedavi::highlight
