// What a paragraph says, to check a refill against: its inline rendering with the white space
// that line breaks may add or take away made one space.
#pragma once

#include <string>
#include <string_view>

#include "chunk/wrap_layout.h"

namespace vedavi::chunk {

// `html` with each run of spaces, tabs and line feeds outside `code` elements made one space, and
// none before a closing tag or at the end: a soft line break and the spaces around it read as one
// space, and the white space at a paragraph's end as none. Inside code every byte counts.
std::string alike_rendering(std::string_view html);

// The inline rendering of a paragraph's text, given as its lines after their container markers
// (leading white space is not part of a line's text), made comparable by `alike_rendering`.
std::string paragraph_rendering(std::span<const std::string_view> lines, const InlineScope& scope);

}  // namespace vedavi::chunk
