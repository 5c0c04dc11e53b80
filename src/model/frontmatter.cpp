// The frontmatter block at the top of a document.
#include "model/frontmatter.h"

#include <string>

#include "text/scan.h"
#include "text/unicode.h"

namespace vedavi::frontmatter {
namespace {

bool is_key_start(char c) { return scan::is_ascii_alnum(c) || c == '_'; }
bool is_key_char(char c) { return scan::is_ascii_alnum(c) || c == ' ' || c == '-' || c == '.' || c == '_'; }

bool is_valid_key(std::string_view key) {
  if (key.empty() || !is_key_start(key.front())) return false;
  for (char c : key.substr(1))
    if (!is_key_char(c)) return false;
  return true;
}

// Reads one "key: value" line into `pairs`; false when the line voids the block.
bool read_pair(std::string_view line, StringPairs& pairs) {
  const std::string_view trimmed = unicode::trim(line);
  if (trimmed.empty() || trimmed.front() == '#') return true;     // blank or comment
  if (line.front() == ' ' || line.front() == '\t') return true;  // indented
  const std::size_t colon = trimmed.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view key = unicode::trim_end(trimmed.substr(0, colon));
  if (!is_valid_key(key)) return false;
  std::string_view value = unicode::trim(trimmed.substr(colon + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  pairs.emplace_back(key, value);
  return true;
}

}  // namespace

std::optional<Frontmatter> extract(std::string_view text) {
  std::size_t pos = 0;
  // The next line and the offset past its line feed; false at the end of the text.
  auto next_line = [&](std::string_view& line) {
    if (pos >= text.size()) return false;
    const std::size_t feed = text.find('\n', pos);
    const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
    line = text.substr(pos, end - pos);
    pos = feed == std::string_view::npos ? text.size() : feed + 1;
    return true;
  };
  std::string_view line;
  if (!next_line(line) || unicode::trim_end(line) != "---") return std::nullopt;
  Frontmatter result;
  while (next_line(line)) {
    const std::string_view bare = unicode::trim_end(line);
    if (bare == "---" || bare == "...") {
      if (result.pairs.empty()) return std::nullopt;
      result.body_offset = pos;
      return result;
    }
    if (!read_pair(line, result.pairs)) return std::nullopt;
  }
  return std::nullopt;  // never closed
}

StringPairs meta_pairs(std::string_view source) {
  std::string normalized;
  if (source.find('\r') != std::string_view::npos) {
    normalized.reserve(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
      if (source[i] != '\r') {
        normalized += source[i];
      } else {
        normalized += '\n';
        if (i + 1 < source.size() && source[i + 1] == '\n') ++i;
      }
    }
    source = normalized;
  }
  auto found = extract(source);
  return found ? std::move(found->pairs) : StringPairs{};
}

}  // namespace vedavi::frontmatter
