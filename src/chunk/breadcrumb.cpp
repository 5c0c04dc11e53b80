// How a text starts, word counts, and the heading trail of emitted chunks.
#include "chunk/breadcrumb.h"

#include "chunk/chunk.h"
#include "text/unicode.h"

namespace vedavi::chunk {

std::size_t words(std::string_view text) { return unicode::word_count(text); }

namespace {

// The line starting at `begin`, without its "\n" and a "\r" before it.
std::string_view line_at(std::string_view text, std::size_t begin, std::size_t& next) {
  std::size_t end = text.find('\n', begin);
  if (end == std::string_view::npos) {
    next = text.size() + 1;
    return text.substr(begin);
  }
  next = end + 1;
  std::string_view line = text.substr(begin, end - begin);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

std::size_t leading_hashes(std::string_view line) {
  std::size_t n = 0;
  while (n < line.size() && line[n] == '#') ++n;
  return n;
}

}  // namespace

Start initial_start(std::string_view text) {
  for (std::size_t begin = 0, next = 0; begin <= text.size(); begin = next) {
    const std::string_view line = line_at(text, begin, next);
    if (unicode::trim(line).empty()) continue;
    const std::size_t n = leading_hashes(line);
    if (n >= 1 && n <= 6 && line.size() > n && line[n] == ' ') return {false, std::uint8_t(n)};
    return {};
  }
  return {};
}

void HeadingTrail::feed(std::string_view chunk_text) {
  for (std::size_t begin = 0, next = 0; begin <= chunk_text.size(); begin = next) {
    if (begin == chunk_text.size() || chunk_text[begin] != '#') {
      next = chunk_text.find('\n', begin);
      next = next == std::string_view::npos ? chunk_text.size() + 1 : next + 1;
      continue;
    }
    const std::string_view line = line_at(chunk_text, begin, next);
    const std::size_t hashes = leading_hashes(line);
    while (!stack_.empty() && stack_.back().hashes >= hashes) stack_.pop_back();
    stack_.push_back(Line{std::string(line), hashes});
  }
}

std::string HeadingTrail::breadcrumb(std::uint8_t split_level) const {
  const std::size_t limit = split_level == 0 ? 10 : split_level;
  std::string out;
  for (const Line& line : stack_) {
    if (line.hashes >= limit) break;
    out += line.text;
    out += '\n';
  }
  return out;
}

}  // namespace vedavi::chunk
