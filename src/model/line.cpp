// Lines of md source: white space, indentation columns and removal of indentation.
#include "model/line.h"

#include <cstring>

#include "text/unicode.h"

namespace vedavi::line {

namespace {

// The lines of a text without CR: each ends at the LF a byte search finds.
void split_at_lf(std::string_view text, std::vector<std::string_view>& lines) {
  const char* begin = text.data();
  const char* const end = begin + text.size();
  while (begin < end) {
    const auto* lf =
        static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
    if (!lf) {
      lines.emplace_back(begin, static_cast<std::size_t>(end - begin));
      return;
    }
    lines.emplace_back(begin, static_cast<std::size_t>(lf - begin));
    begin = lf + 1;
  }
}

}  // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  split_lines(text, lines);
  return lines;
}

void split_lines(std::string_view text, std::vector<std::string_view>& lines) {
  lines.clear();
  // Most texts hold no CR: their line ends are found by the fast single-byte search.
  if (text.find('\r') == std::string_view::npos) {
    split_at_lf(text, lines);
    return;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

std::string normalize_line_ends(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// ASCII white space is skipped here; only a non-ASCII byte needs the Unicode tables.
std::string_view trim_start_slow(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && is_ascii_white_space(static_cast<unsigned char>(s[i]))) ++i;
  if (i == s.size() || static_cast<unsigned char>(s[i]) < 0x80) return s.substr(i);
  return unicode::trim_start(s.substr(i));
}

std::string_view trim_end_slow(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0 && is_ascii_white_space(static_cast<unsigned char>(s[end - 1]))) --end;
  if (end == 0 || static_cast<unsigned char>(s[end - 1]) < 0x80) return s.substr(0, end);
  return unicode::trim_end(s.substr(0, end));
}

std::size_t indent_columns(std::string_view s, std::size_t column) {
  for (char c : s) {
    if (c != ' ' && c != '\t') break;
    column = advance_column(column, c);
  }
  return column;
}

std::size_t indent_bytes(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}

std::string expand_leading_indent(std::string_view text, std::size_t column) {
  std::size_t n = indent_bytes(text);
  std::size_t end = indent_columns(text.substr(0, n), column);
  std::string out(end - column, ' ');
  out.append(text.substr(n));
  return out;
}

std::string Rest::str() const {
  std::string out;
  append_to(out);
  return out;
}

void Rest::append_to(std::string& out) const {
  out.append(pad, ' ');
  out.append(text);
}

bool Rest::equals(std::string_view s) const {
  if (s.size() != size()) return false;
  for (std::size_t i = 0; i < pad; ++i)
    if (s[i] != ' ') return false;
  return s.substr(pad) == text;
}

Rest Rest::from(std::size_t pos) const {
  if (pos <= pad) return Rest{pad - pos, text};
  pos -= pad;
  return Rest{0, pos < text.size() ? text.substr(pos) : std::string_view()};
}

namespace {

// Leading spaces and tabs of `text` at `column`, written as padding.
Rest expanded(std::size_t pad, std::string_view text, std::size_t column) {
  if (text.empty() || (text[0] != ' ' && text[0] != '\t')) return Rest{pad, text};
  std::size_t n = indent_bytes(text);
  std::size_t end = indent_columns(text.substr(0, n), column);
  return Rest{pad + (end - column), text.substr(n)};
}

}  // namespace

Rest Rest::strip_from(std::size_t column, std::size_t target) const {
  if (column >= target) return expanded(pad, text, column + pad);
  if (pad >= target - column) {
    std::size_t left = pad - (target - column);
    return expanded(left, text, target + left);
  }
  column += pad;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (column >= target) return expanded(0, text.substr(i), column);
    char c = text[i];
    if (c == ' ') {
      ++column;
    } else if (c == '\t') {
      std::size_t end = advance_column(column, c);
      if (end > target) return expanded(end - target, text.substr(i + 1), end);
      column = end;
    } else {
      return Rest{0, text.substr(i)};
    }
  }
  return Rest{};
}

std::string Line::strip_from(std::size_t target) const {
  Rest rest{0, start <= text.size() ? text.substr(start) : std::string_view()};
  return rest.strip_from(column, target).str();
}

}  // namespace vedavi::line
