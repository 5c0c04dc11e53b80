// Block markers: list, definition, block-quote and fence markers, and whether a line starts a
// block. Each recogniser reads one line (or what containers left of it) once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "model/line.h"

namespace vedavi::block {

struct ListMarker {
  std::uint64_t number = 1;       // 1 for bullets
  std::size_t marker_end = 0;     // byte offset just after the marker
  std::size_t marker_column = 0;  // column just after the marker
  std::size_t content_column = 0;
  char marker = '-';  // '*', '+', '-' for bullets, '.' for ordered markers
  bool ordered = false;
};

struct FenceStart {
  std::size_t length = 0;  // at least 3
  std::size_t indent = 0;  // 0 to 3
  char fence_char = '`';
  std::string_view info;  // everything after the run, untrimmed
};

inline bool is_ascii_ws_byte(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The content column of a list item whose marker ends at `offset` (column `column`).
std::size_t list_content_indent(std::string_view line, std::size_t offset, std::size_t column);
std::optional<ListMarker> list_marker(std::string_view line);
std::optional<ListMarker> list_marker(const line::Rest& rest);
// The text after a list marker, indentation up to the content column removed.
line::Rest list_item_rest(const line::Rest& rest, const ListMarker& marker);
bool list_interrupts_paragraph(std::string_view line);
bool list_interrupts_paragraph(const line::Rest& rest);
// The same for the marker `m` that begins `rest`.
bool list_interrupts_paragraph(const line::Rest& rest, const ListMarker& m);
// The definition text after ": ".
std::optional<std::string> def_marker(std::string_view line);
std::optional<line::Rest> def_marker(const line::Rest& rest);
std::string strip_quote_marker(std::string_view line);
line::Rest strip_quote_marker(const line::Rest& rest);
// `ch` is a backtick for backtick fences; any other character means tildes.
std::optional<FenceStart> fence_start(std::string_view line, char ch);
// How many bytes `c` begin `text`. Fences may be long runs: where the target is little-endian they
// are compared eight bytes at a time.
inline std::size_t run_length(std::string_view text, char c) {
  std::size_t n = 0;
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t pattern = 0x0101010101010101ULL * static_cast<unsigned char>(c);
    for (; n + 8 <= text.size(); n += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + n, 8);
      if (const std::uint64_t diff = word ^ pattern; diff != 0)
        return n + static_cast<std::size_t>(std::countr_zero(diff)) / 8;
    }
  }
  while (n < text.size() && text[n] == c) ++n;
  return n;
}
bool starts_block(std::string_view line);
bool starts_block(const line::Rest& rest);

// Whether `text` (leading white space removed) is ":" + white space + non-blank text; gives the
// text after the colon.
std::optional<std::string_view> caption_marker(std::string_view text);

// A line that, trimmed, is "{:" ... "}" with an inside that `attrs::parse_attrs_body` reads.
bool is_attribute_line(std::string_view line);
// The inside of such a line (between "{:" and the final "}").
std::string_view attribute_line_body(std::string_view line);

}  // namespace vedavi::block
