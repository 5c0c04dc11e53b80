// Memoised searches over one text: needles, balanced braces and nested inline tags.
#include "wikitext/source.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/scan.h"
#include "text/unicode.h"

namespace vedavi::wikitext {
namespace {

constexpr std::array<std::string_view, kNeedleCount> kNeedles = {
    ">", "<!--", "-->", "]", "''", "'''", "'''''", "</ref>", "</math>", "</nowiki>"};
constexpr std::size_t kFirstFoldedNeedle = static_cast<std::size_t>(Needle::RefClose);

constexpr std::array<std::string_view, 3> kBraceOpeners = {"{{", "{{{", "[["};
constexpr std::array<std::string_view, 3> kBraceClosers = {"}}", "}}}", "]]"};
constexpr std::array<std::string_view, 4> kTagOpeners = {"<span", "<small", "<sup", "<sub"};
constexpr std::array<std::string_view, 4> kTagClosers = {"</span>", "</small>", "</sup>",
                                                         "</sub>"};

bool is_brace_byte(char c) { return c == '{' || c == '}' || c == '[' || c == ']'; }

// The byte after a tag name that lets the name stand as a tag.
bool is_tag_name_end(char c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '/' || c == '>';
}

// Positions of nearby openers differ in their low bits; mixing spreads them over the table.
std::size_t slot_hash(std::size_t key) { return (key * 0x9E3779B97F4A7C15ull) >> 20; }

}  // namespace

const Source::Match* Source::MatchMap::find(std::size_t inside) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = slot_hash(inside) & mask;; i = (i + 1) & mask) {
    if (slots_[i].first == inside) return &slots_[i].second;
    if (slots_[i].first == SIZE_MAX) return nullptr;
  }
}

Source::Match& Source::MatchMap::operator[](std::size_t inside) {
  if ((used_ + 1) * 2 > slots_.size()) grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = slot_hash(inside) & mask;; i = (i + 1) & mask) {
    if (slots_[i].first == inside) return slots_[i].second;
    if (slots_[i].first == SIZE_MAX) {
      ++used_;
      slots_[i].first = inside;
      return slots_[i].second;
    }
  }
}

void Source::MatchMap::grow() {
  std::vector<std::pair<std::size_t, Match>> old =
      std::exchange(slots_, std::vector<std::pair<std::size_t, Match>>(
                                std::max<std::size_t>(64, slots_.size() * 2),
                                {SIZE_MAX, Match{}}));
  used_ = 0;
  for (const auto& [key, match] : old)
    if (key != SIZE_MAX) (*this)[key] = match;
}

std::string_view needle_text(Needle needle) { return kNeedles[static_cast<std::size_t>(needle)]; }

bool Source::starts_with(std::size_t pos, std::size_t limit, std::string_view prefix) const {
  return pos <= limit && limit - pos >= prefix.size() && limit <= text_.size() &&
         text_.compare(pos, prefix.size(), prefix) == 0;
}

bool Source::starts_with_fold(std::size_t pos, std::size_t limit,
                              std::string_view prefix) const {
  return pos <= limit && limit - pos >= prefix.size() && limit <= text_.size() &&
         scan::ascii_iequals(text_.substr(pos, prefix.size()), prefix);
}

std::optional<std::size_t> Source::scan_next(Needle needle, std::size_t from,
                                             std::size_t stop) const {
  const std::string_view target = needle_text(needle);
  // Only occurrences that start before `stop` count.
  const std::size_t end = std::min(text_.size(), stop + target.size() - 1);
  if (from >= end) return std::nullopt;
  const std::string_view window = text_.substr(0, end);
  if (static_cast<std::size_t>(needle) < kFirstFoldedNeedle) {
    const std::size_t at = window.find(target, from);
    if (at == std::string_view::npos) return std::nullopt;
    return at;
  }
  // Folded needles all open with "<", which has no case.
  for (std::size_t pos = from; pos < end;) {
    const void* hit = std::memchr(text_.data() + pos, '<', end - pos);
    if (!hit) return std::nullopt;
    pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    if (starts_with_fold(pos, end, target)) return pos;
    ++pos;
  }
  return std::nullopt;
}

std::optional<std::size_t> Source::find(Needle needle, std::size_t from, std::size_t limit) {
  Found& memo = found_[static_cast<std::size_t>(needle)];
  std::size_t at;
  if (memo.from <= from && (memo.at == SIZE_MAX || memo.at >= from)) {
    at = memo.at;
  } else {
    // A search that starts before the remembered one only has to look up to where that began.
    const bool before_memo = from < memo.from && memo.from != SIZE_MAX;
    const auto next = scan_next(needle, from, before_memo ? memo.from : SIZE_MAX - 16);
    at = next ? *next : (before_memo ? memo.at : SIZE_MAX);
    memo = Found{from, at};
  }
  if (at == SIZE_MAX || at + needle_text(needle).size() > limit) return std::nullopt;
  return at;
}

std::optional<Brace> Source::brace_at(std::size_t pos, std::size_t limit) const {
  if (starts_with(pos, limit, "{{{")) return Brace::Parameter;
  if (starts_with(pos, limit, "{{")) return Brace::Template;
  if (starts_with(pos, limit, "[[")) return Brace::Link;
  return std::nullopt;
}

std::optional<std::optional<std::size_t>> Source::recall(const MatchMap& map, std::size_t inside,
                                                         std::size_t limit,
                                                         std::size_t closer_size) {
  const Match* found = map.find(inside);
  if (!found) return std::nullopt;
  const Match& match = *found;
  if (match.closer != SIZE_MAX) {
    if (match.closer + closer_size <= limit) return std::optional<std::size_t>(match.closer);
    return std::optional<std::size_t>();
  }
  if (limit <= match.horizon) return std::optional<std::size_t>();
  return std::nullopt;
}

void Source::fail_open(std::vector<MatchMap>& maps, std::size_t limit) {
  for (const Open& open : open_) {
    Match& match = maps[open.kind][open.inside];
    match.closer = SIZE_MAX;
    match.horizon = std::max(match.horizon, limit);
  }
  open_.clear();
}

std::optional<std::size_t> Source::balanced(std::size_t inside, std::size_t limit, Brace brace) {
  limit = std::min(limit, text_.size());
  if (inside >= limit) return std::nullopt;
  const auto kind = static_cast<std::uint8_t>(brace);
  if (auto known = recall(brace_matches_[kind], inside, limit, kBraceClosers[kind].size()))
    return *known;
  open_.clear();
  open_.push_back(Open{kind, inside});
  std::size_t pos = inside;
  for (;;) {
    while (pos < limit && !is_brace_byte(text_[pos])) ++pos;
    if (pos >= limit) {
      fail_open(brace_matches_, limit);
      return std::nullopt;
    }
    const Open top = open_.back();
    const std::string_view closer = kBraceClosers[top.kind];
    if (starts_with(pos, limit, closer)) {
      brace_matches_[top.kind][top.inside] = Match{pos, 0};
      open_.pop_back();
      if (open_.empty()) return pos;
      pos += closer.size();
      continue;
    }
    if (auto inner = brace_at(pos, limit)) {
      const auto inner_kind = static_cast<std::uint8_t>(*inner);
      const std::size_t inner_inside = pos + kBraceOpeners[inner_kind].size();
      const std::size_t inner_closer = kBraceClosers[inner_kind].size();
      if (auto known = recall(brace_matches_[inner_kind], inner_inside, limit, inner_closer)) {
        if (!*known) {
          fail_open(brace_matches_, limit);
          return std::nullopt;
        }
        pos = **known + inner_closer;
        continue;
      }
      open_.push_back(Open{inner_kind, inner_inside});
      pos = inner_inside;
      continue;
    }
    ++pos;
  }
}

std::optional<std::size_t> Source::find_top(Range range, std::string_view separator) {
  const std::size_t end = std::min(range.end, text_.size());
  std::size_t pos = range.begin;
  while (pos < end) {
    const char c = text_[pos];
    if (c != separator.front() && c != '{' && c != '[') {
      ++pos;
      continue;
    }
    if (starts_with(pos, end, separator)) return pos;
    if (auto brace = brace_at(pos, end)) {
      const auto kind = static_cast<std::size_t>(*brace);
      const auto closer = balanced(pos + kBraceOpeners[kind].size(), end, *brace);
      // An unclosed construct never returns to the top level.
      if (!closer) return std::nullopt;
      pos = *closer + kBraceClosers[kind].size();
      continue;
    }
    ++pos;
  }
  return std::nullopt;
}

std::vector<Range> Source::split_top(Range range, std::string_view separator) {
  std::vector<Range> pieces;
  std::size_t begin = range.begin;
  while (auto cut = find_top(Range{begin, range.end}, separator)) {
    pieces.push_back(Range{begin, *cut});
    begin = *cut + separator.size();
  }
  pieces.push_back(Range{begin, range.end});
  return pieces;
}

std::optional<std::size_t> Source::tag_closer(NestTag tag, std::size_t inside, std::size_t limit) {
  limit = std::min(limit, text_.size());
  const auto kind = static_cast<std::uint8_t>(tag);
  const std::string_view opener = kTagOpeners[kind];
  const std::string_view closer = kTagClosers[kind];
  auto& matches = tag_matches_[kind];
  if (auto known = recall(matches, inside, limit, closer.size())) return *known;
  open_.clear();
  open_.push_back(Open{kind, inside});
  std::size_t pos = inside;
  for (;;) {
    if (pos < limit) {
      const void* hit = std::memchr(text_.data() + pos, '<', limit - pos);
      pos = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) : limit;
    }
    if (pos >= limit) {
      fail_open(tag_matches_, limit);
      return std::nullopt;
    }
    if (starts_with_fold(pos, limit, closer)) {
      const Open top = open_.back();
      matches[top.inside] = Match{pos, 0};
      open_.pop_back();
      if (open_.empty()) return pos;
      pos += closer.size();
      continue;
    }
    if (starts_with_fold(pos, limit, opener) && pos + opener.size() < limit &&
        is_tag_name_end(text_[pos + opener.size()])) {
      const auto gt = find(Needle::Gt, pos, limit);
      if (!gt) {  // no ">" left, so no closer either
        fail_open(tag_matches_, limit);
        return std::nullopt;
      }
      const std::size_t nested = *gt + 1;
      if (auto known = recall(matches, nested, limit, closer.size())) {
        if (!*known) {
          fail_open(tag_matches_, limit);
          return std::nullopt;
        }
        pos = **known + closer.size();
        continue;
      }
      open_.push_back(Open{kind, nested});
      pos = nested;
      continue;
    }
    ++pos;
  }
}

}  // namespace vedavi::wikitext

namespace vedavi::wikitext {

Source& SourcePool::add(std::string text) {
  owned_.push_back(std::make_unique<Owned>(std::move(text)));
  return owned_.back()->source;
}

Range trim_range(const Source& source, Range range) {
  const std::string_view text = source.slice(range);
  const std::string_view trimmed = unicode::trim(text);
  if (trimmed.empty()) return Range{range.begin, range.begin};
  const std::size_t begin = range.begin + static_cast<std::size_t>(trimmed.data() - text.data());
  return Range{begin, begin + trimmed.size()};
}

}  // namespace vedavi::wikitext
