// Opening tags, tag attributes and reference lengths.
#include "wikitext/tags.h"

#include "text/entity.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::wikitext {

std::size_t find_white_space(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const auto decoded = utf8::decode(text, pos);
    if (unicode::is_white_space(decoded.cp)) return pos;
    pos += decoded.len;
  }
  return text.size();
}

std::size_t skip_white_space(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const auto decoded = utf8::decode(text, pos);
    if (!unicode::is_white_space(decoded.cp)) return pos;
    pos += decoded.len;
  }
  return text.size();
}

namespace {

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = scan::to_ascii_lower(c);
  return out;
}

// The end of an attribute key: the first white space or "=".
std::size_t key_end(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    if (text[pos] == '=') return pos;
    const auto decoded = utf8::decode(text, pos);
    if (unicode::is_white_space(decoded.cp)) return pos;
    pos += decoded.len;
  }
  return text.size();
}

}  // namespace

std::optional<Attr> html_attrs(std::string_view text) {
  Attr attr;
  std::size_t pos = 0;
  for (;;) {
    pos = skip_white_space(text, pos);
    if (pos >= text.size()) return attr;
    const std::size_t key_begin = pos;
    pos = key_end(text, pos);
    if (pos == key_begin) return std::nullopt;
    const std::string_view key = text.substr(key_begin, pos - key_begin);
    pos = skip_white_space(text, pos);
    std::string_view value;
    if (pos < text.size() && text[pos] == '=') {
      pos = skip_white_space(text, pos + 1);
      if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
        const std::size_t close = text.find(text[pos], pos + 1);
        if (close == std::string_view::npos) return std::nullopt;
        value = text.substr(pos + 1, close - pos - 1);
        pos = close + 1;
      } else if (pos < text.size()) {
        const std::size_t value_end = find_white_space(text, pos);
        value = text.substr(pos, value_end - pos);
        pos = value_end;
      }
    }
    attr.set_pair(ascii_lower(key), entity::decode_entities(value));
  }
}

std::optional<TagReading> html_open(Source& source, std::size_t pos, std::size_t limit) {
  const std::string_view text = source.text();
  if (!source.starts_with(pos, limit, "<")) return std::nullopt;
  const auto gt = source.find(Needle::Gt, pos, limit);
  if (!gt) return std::nullopt;
  std::string_view body = unicode::trim(text.substr(pos + 1, *gt - pos - 1));
  if (body.empty() || body.front() == '!' || body.front() == '/' || body.front() == '?')
    return std::nullopt;
  const bool self_closing = body.back() == '/';
  if (self_closing) {
    body = unicode::trim_end(body.substr(0, body.size() - 1));
    if (body.empty()) return std::nullopt;
  }
  const std::size_t name_end = find_white_space(body, 0);
  const std::string_view name = body.substr(0, name_end);
  if (name.empty()) return std::nullopt;
  for (char c : name)
    if (!scan::is_ascii_alnum(c)) return std::nullopt;
  auto attr = html_attrs(body.substr(name_end));
  if (!attr) return std::nullopt;
  TagReading tag{ascii_lower(name), std::move(*attr), *gt + 1, self_closing};
  tag.closed = self_closing || tag.name == "br";
  return tag;
}

std::size_t ref_len(Source& source, std::size_t pos, std::size_t limit) {
  const std::size_t whole = limit - pos;
  const auto gt = source.find(Needle::Gt, pos, limit);
  if (!gt) return whole;
  if (*gt > pos && source.text()[*gt - 1] == '/') return *gt + 1 - pos;
  if (whole < 6) return whole;
  const auto close = source.find_range(Needle::RefClose, pos, limit);
  if (!close) return whole;
  return close->end - pos;
}

}  // namespace vedavi::wikitext
