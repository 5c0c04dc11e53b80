// Lines of md source: white space, indentation columns (tab stops of 4), removal of indentation
// with split tabs, and `Rest`, the part of a line left after container markers.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/unicode.h"

namespace vedavi::line {

// The lines of a text, each without its line end. A line ends at LF, at CR LF or at a lone CR;
// a line end at the very end of the text opens no empty last line, and an empty text has no
// lines. The views point into `text`, so a line's offset is its view's distance from the text's
// start. The block parser and the source line map both split with this.
std::vector<std::string_view> split_lines(std::string_view text);
// The same into `lines`, which is emptied first; its room is reused.
void split_lines(std::string_view text, std::vector<std::string_view>& lines);
// The text with every CR LF and every lone CR written as LF.
std::string normalize_line_ends(std::string_view text);

// An allocator whose elements are left uninitialised when a vector grows by `resize`: a table
// whose entries are all written before they are read need not be written twice.
template <class T>
struct UninitAlloc : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitAlloc<U>;
  };
  UninitAlloc() = default;
  template <class U>
  UninitAlloc(const UninitAlloc<U>&) noexcept {}
  template <class U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <class U, class... A>
  void construct(U* at, A&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<A>(args)...);
  }
};
// The storage of a line table.
using LineEnds = std::vector<std::uint64_t, UninitAlloc<std::uint64_t>>;

// The lines of a text without CR, split at LF as `split_lines` splits, held as where each ends:
// a line starts one byte past the end of the one before, so a line takes eight bytes where a view
// takes sixteen (the block parser holds a table of a source's every line through its parse).
// Offsets are 64-bit: a source of any size is held.
class SourceLines {
 public:
  SourceLines() = default;
  // `room`: storage to reuse, emptied first.
  explicit SourceLines(std::string_view text, LineEnds room = {});

  std::size_t size() const { return size_; }
  bool empty() const { return size() == 0; }
  std::string_view operator[](std::size_t i) const {
    const std::uint64_t begin = ends_[i] + 1;
    return std::string_view(text_ + begin, static_cast<std::size_t>(ends_[i + 1] - begin));
  }
  // The text and the table of ends, for a loop over every line that calls out of line on some
  // and would reload them after each call: line i is [ends()[i] + 1, ends()[i + 1]) of `text()`.
  const char* text() const { return text_; }
  const std::uint64_t* ends() const { return ends_.data(); }
  // Lines [0, count) read as empty (a frontmatter the body's lines keep their numbers after);
  // their views stand at the end of the last of them.
  void blank_first(std::size_t count);
  // The storage, for reuse; the table is spent.
  LineEnds take_room() && {
    size_ = 0;
    return std::move(ends_);
  }

 private:
  const char* text_ = nullptr;
  // ends_[i + 1]: the end of line i; ends_[0] is one byte before the text, so that line 0 starts
  // at 0 (unsigned arithmetic wraps it).
  LineEnds ends_{~std::uint64_t{0}};
  std::size_t size_ = 0;
};

// The ASCII bytes that are Unicode White_Space: TAB, LF, VT, FF, CR and space.
inline bool is_ascii_white_space(unsigned char b) { return b == ' ' || (b >= '\t' && b <= '\r'); }
// Unicode White_Space (25 code points), and trimming by it. ASCII needs no table.
inline bool is_white_space(char32_t cp) {
  return cp < 0x80 ? is_ascii_white_space(static_cast<unsigned char>(cp)) : unicode::is_white_space(cp);
}

// A byte that is printable ASCII cannot begin or end white space; most lines begin and end with
// one, so trimming them decodes nothing.
inline bool is_plain_ascii(char c) {
  auto b = static_cast<unsigned char>(c);
  return b > 0x20 && b < 0x80;
}
// The number of spaces `s` begins with. Indented lines begin with from one to a dozen: eight
// bytes are looked at a time, so that the count costs a step or two instead of a byte loop that
// mispredicts its exit at a different length on each line.
inline std::size_t count_leading_spaces(std::string_view s) {
  const char* const bytes = s.data();
  const std::size_t n = s.size();
  // Most lines begin with their text.
  if (n == 0 || bytes[0] != ' ') return 0;
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; n - i >= 8; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      // A space is a zero byte here; the first other byte is the lowest set one.
      const std::uint64_t other = word ^ 0x2020202020202020u;
      if (other != 0) return i + static_cast<std::size_t>(std::countr_zero(other)) / 8;
    }
  }
  while (i < n && bytes[i] == ' ') ++i;
  return i;
}

std::string_view trim_start_slow(std::string_view s);
std::string_view trim_end_slow(std::string_view s);
inline std::string_view trim_start(std::string_view s) {
  if (s.empty() || is_plain_ascii(s.front())) return s;
  // Spaces, the most frequent lead, are skipped here; a printable byte after them ends the trim.
  const std::size_t i = count_leading_spaces(s);
  if (i == s.size() || is_plain_ascii(s[i])) return s.substr(i);
  return trim_start_slow(s.substr(i));
}
inline std::string_view trim_end(std::string_view s) {
  return s.empty() || is_plain_ascii(s.back()) ? s : trim_end_slow(s);
}
inline std::string_view trim(std::string_view s) { return trim_end(trim_start(s)); }
// Empty after trimming white space.
inline bool is_blank(std::string_view s) {
  return s.empty() || (!is_plain_ascii(s.front()) && trim_start(s).empty());
}

// The column after `c` when it stands at `column`: a tab moves to the next multiple of 4.
inline std::size_t advance_column(std::size_t column, char c) {
  return c == '\t' ? (column & ~std::size_t{3}) + 4 : column + 1;
}
// The column reached by the leading spaces and tabs of `s`, counted from `column`.
std::size_t indent_columns(std::string_view s, std::size_t column = 0);
// Number of leading space and tab bytes.
std::size_t indent_bytes(std::string_view s);

// Leading spaces and tabs written as spaces (tabs expanded from `column`), the rest unchanged.
std::string expand_leading_indent(std::string_view text, std::size_t column);

// What is left of a line after some container markers: `pad` spaces followed by `text`, a view
// into the source line. Removing indentation only moves the view and changes `pad`, so a line is
// never copied once per open container.
struct Rest {
  std::size_t pad = 0;
  std::string_view text;

  bool empty() const { return pad == 0 && text.empty(); }
  bool is_blank() const { return line::is_blank(text); }
  // Leading indentation in columns.
  std::size_t indent() const {
    // Most rests begin with their text or with spaces: only a tab needs the column walk.
    const std::size_t n = leading_spaces();
    return n < text.size() && text[n] == '\t' ? indent_columns(text, pad) : pad + n;
  }
  // The number of spaces `text` begins with.
  std::size_t leading_spaces() const { return count_leading_spaces(text); }
  // The text after leading white space (spaces, tabs and the other White_Space characters).
  std::string_view trimmed_start() const { return trim_start(text); }
  std::string_view trimmed() const { return trim(text); }
  std::size_t size() const { return pad + text.size(); }
  std::string str() const;
  void append_to(std::string& out) const;
  // The logical string as one view: `text` itself when there is no padding, else the padded
  // line written into `storage`.
  std::string_view view(std::string& storage) const {
    if (pad == 0) return text;
    storage = str();
    return storage;
  }
  // Equal to the logical string `s`.
  bool equals(std::string_view s) const;

  // Removes indentation from column `column` (where the rest starts) until `target`; a tab that
  // straddles `target` leaves its surplus columns as spaces. Surviving leading indentation is
  // always expressed as spaces.
  Rest strip_from(std::size_t column, std::size_t target) const;
  Rest strip_to(std::size_t target) const {
    // Nothing to remove and no indentation to write as padding: the rest as it is.
    if (target == 0 && (text.empty() || (text[0] != ' ' && text[0] != '\t'))) return *this;
    // Indentation of spaces only that reaches `target`, before the text: the spaces beyond it
    // become padding, as the general walk makes them.
    const std::size_t n = leading_spaces();
    if (n < text.size() && text[n] != '\t' && pad + n >= target)
      return Rest{pad + n - target, text.substr(n)};
    return strip_from(0, target);
  }
  // The rest from logical byte `pos` on (`pos` beyond the padding lands in `text`).
  Rest from(std::size_t pos) const;
};

// A view of a line's text, the byte offset it starts at and the column of that offset.
struct Line {
  std::string_view text;
  std::size_t start = 0;
  std::size_t column = 0;
  // Removes indentation columns after `start` until `target` (see `Rest::strip_from`).
  std::string strip_from(std::size_t target) const;
};

}  // namespace vedavi::line
