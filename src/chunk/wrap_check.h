// What a paragraph says, to check a refill against: its inline rendering with the white space
// that line breaks may add or take away made one space.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "chunk/wrap_layout.h"

namespace vedavi::chunk {

// `html` with each run of spaces, tabs and line feeds outside `code` elements made one space, and
// none before a closing tag or at the end: a soft line break and the spaces around it read as one
// space, and the white space at a paragraph's end (any Unicode white space) as none. Inside code every byte counts, up to
// its closing tag or a line feed (a code span's text holds none; a "<code>" tag of raw HTML must
// not make the rest of the document count).
std::string alike_rendering(std::string_view html);

// Whether `text` holds a byte of an inline construct whose reading depends on how much white space
// stands where, or whether it is a line feed: code spans, escapes, angle brackets, links and
// labels, attribute blocks, superscript, subscript and math. Elsewhere any white space between
// two characters reads as any other (emphasis asks only whether there is some), so a refill that
// keeps the text's other bytes in order cannot change its rendering.
bool may_read_white_space(std::string_view text);
// Whether every such byte of `text` lies inside a code span, an inline link or an autolink (the
// `events` of its parse, sorted by start) that holds no white space but spaces, or is a backslash
// before a byte other than a space, tab or line feed. A refill keeps each of these whole and its
// bytes as they were, and changes only white space outside, where nothing reads more of it than
// whether there is some: the same constructs are found again and the rendering stays the same,
// soft breaks aside.
bool reads_white_space_only_in_whole_constructs(std::string_view text, std::span<const InlineEvent> events);

// The inline rendering of a paragraph's text, given as its lines after their container markers
// (leading white space is not part of a line's text), made comparable by `alike_rendering`.
std::string paragraph_rendering(std::span<const std::string_view> lines, const InlineScope& scope);
// The same from the paragraph's inlines, when its parse is at hand.
std::string paragraph_rendering(std::span<const Inline> inlines);

}  // namespace vedavi::chunk
