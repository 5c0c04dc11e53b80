// Block markers and block starts.
#include "block/scan.h"

#include "block/html.h"
#include "text/utf8.h"

namespace vedavi::block {

using line::Rest;

std::size_t list_content_indent(std::string_view line, std::size_t offset, std::size_t column) {
  std::size_t k = column;
  std::size_t i = offset;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) k = line::advance_column(k, line[i++]);
  if (i >= line.size()) return column + 1;
  return (k > column && k - column <= 4) ? k : column + 1;
}

std::optional<ListMarker> list_marker(const Rest& rest) {
  // Most markers are a bullet at the start of the text, one space and the content: read at once.
  const std::string_view t = rest.text;
  if (rest.pad <= 3 && t.size() >= 3 && (t[0] == '-' || t[0] == '*' || t[0] == '+') && t[1] == ' ' &&
      t[2] != ' ' && t[2] != '\t') {
    ListMarker m;
    m.marker = t[0];
    m.marker_end = rest.pad + 1;
    m.marker_column = rest.pad + 1;
    m.content_column = rest.pad + 2;
    return m;
  }
  std::size_t indent = rest.indent();
  if (indent > 3) return std::nullopt;
  // With at most 3 columns the indentation is spaces only, so bytes and columns agree.
  std::string_view text = rest.text.substr(indent - rest.pad);
  if (text.empty()) return std::nullopt;
  ListMarker m;
  std::size_t len;
  char c = text[0];
  if (c == '*' || c == '+' || c == '-') {
    len = 1;
    m.marker = c;
  } else {
    std::size_t digits = 0;
    std::uint64_t number = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      if (digits == 9) return std::nullopt;
      number = number * 10 + static_cast<std::uint64_t>(text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || digits >= text.size() || text[digits] != '.') return std::nullopt;
    len = digits + 1;
    m.number = number;
    m.marker = '.';
    m.ordered = true;
  }
  if (len < text.size() && !is_ascii_ws_byte(text[len])) return std::nullopt;
  m.marker_end = indent + len;
  m.marker_column = indent + len;
  m.content_column = list_content_indent(text, len, m.marker_column);
  return m;
}

std::optional<ListMarker> list_marker(std::string_view line) { return list_marker(Rest{0, line}); }

Rest list_item_rest(const Rest& rest, const ListMarker& marker) {
  // Most items: the marker stands in the text and one space follows it before the content.
  if (rest.pad < marker.marker_end && marker.content_column == marker.marker_column + 1) {
    const std::size_t at = marker.marker_end - rest.pad;
    if (at + 1 < rest.text.size() && rest.text[at] == ' ' && rest.text[at + 1] != ' ' &&
        rest.text[at + 1] != '\t')
      return Rest{0, rest.text.substr(at + 1)};
  }
  return rest.from(marker.marker_end).strip_from(marker.marker_column, marker.content_column);
}

bool list_interrupts_paragraph(const Rest& rest) {
  auto m = list_marker(rest);
  return m && list_interrupts_paragraph(rest, *m);
}

bool list_interrupts_paragraph(const Rest& rest, const ListMarker& m) {
  if (list_item_rest(rest, m).is_blank()) return false;
  return !m.ordered || m.number == 1;
}

bool list_interrupts_paragraph(std::string_view line) {
  return list_interrupts_paragraph(Rest{0, line});
}

std::optional<Rest> def_marker(const Rest& rest) {
  if (rest.indent() > 3) return std::nullopt;
  std::string_view t = rest.trimmed_start();
  if (t.size() < 2 || t[0] != ':') return std::nullopt;
  utf8::Decoded d = utf8::decode(t, 1);
  if (!d.valid || !line::is_white_space(d.cp)) return std::nullopt;
  return Rest{0, t.substr(1)}.strip_to(3);
}

std::optional<std::string> def_marker(std::string_view line) {
  auto r = def_marker(Rest{0, line});
  if (!r) return std::nullopt;
  return r->str();
}

Rest strip_quote_marker(const Rest& rest) {
  if (rest.is_blank()) return rest;
  std::size_t i = rest.indent();
  if (i > 3) return rest;
  std::string_view t = rest.trimmed_start();
  if (t.empty() || t[0] != '>') return rest;
  std::string_view after = t.substr(1);
  bool ws = !after.empty() && (after[0] == ' ' || after[0] == '\t');
  return Rest{0, after}.strip_from(i + 1, ws ? i + 2 : i + 1);
}

std::string strip_quote_marker(std::string_view line) {
  return strip_quote_marker(Rest{0, line}).str();
}

std::optional<FenceStart> fence_start(std::string_view line, char ch) {
  std::size_t indent = line::indent_columns(line);
  if (indent > 3 || line::is_blank(line)) return std::nullopt;
  std::string_view t = line::trim_start(line);
  char f = ch == '`' ? '`' : '~';
  const std::size_t n = run_length(t, f);
  if (n < 3) return std::nullopt;
  std::string_view info = t.substr(n);
  if (f == '`' && info.find('`') != std::string_view::npos) return std::nullopt;
  return FenceStart{n, indent, f, info};
}

bool starts_block(const Rest& rest) {
  if (rest.empty() || rest.indent() > 3) return false;
  std::string_view t = rest.trimmed_start();
  if (t.empty()) return false;
  if (t[0] == '>' || t[0] == '#') return true;
  if (t.starts_with("```") || t.starts_with("~~~") || t.starts_with(":::")) return true;
  if (t.starts_with("<!--")) return true;
  if (t[0] == '<') {
    auto name = html_tag_name(t);
    if (name && is_md_block_html_tag(*name)) return true;
  }
  return rest.equals("---");
}

bool starts_block(std::string_view line) { return starts_block(Rest{0, line}); }

std::optional<std::string_view> caption_marker(std::string_view text) {
  if (text.size() < 2 || text[0] != ':') return std::nullopt;
  utf8::Decoded d = utf8::decode(text, 1);
  if (!d.valid || !line::is_white_space(d.cp)) return std::nullopt;
  std::string_view after = text.substr(1);
  if (line::is_blank(after)) return std::nullopt;
  return after;
}

std::string_view attribute_line_body(std::string_view line) {
  std::string_view t = line::trim(line);
  return t.substr(2, t.size() - 3);
}

bool is_attribute_line(std::string_view line) {
  std::string_view t = line::trim(line);
  // The body grammar accepts every inside, so the shape decides.
  return t.size() >= 3 && t.starts_with("{:") && t.back() == '}';
}

}  // namespace vedavi::block
