// Re-wrapping md source: paragraphs refilled to a line width, everything else (headings, code,
// tables, definition lists, HTML, link definitions, attribute lines, container markers) kept.
// Uses block (edit regions, line tests) and inline (the event stream).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vedavi::chunk {

// `width` absent: one line per hard-break segment; otherwise positive (the caller checks). Line
// ends come back as "\n", or as "\r\n" everywhere when the input held one.
std::string wrap_md(std::string_view md, std::optional<std::uint64_t> width);

}  // namespace vedavi::chunk
