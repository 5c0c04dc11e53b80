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
constexpr std::array<std::string_view, 4> kTagNames = {"span", "small", "sup", "sub"};

bool is_html_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool is_brace_byte(char c) { return c == '{' || c == '}' || c == '[' || c == ']'; }

// The byte after a tag name that lets the name stand as a tag.
bool is_tag_name_end(char c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '/' || c == '>';
}

// Positions of nearby openers differ in their low bits; mixing spreads them over the table.
std::size_t slot_hash(std::size_t key) { return (key * 0x9E3779B97F4A7C15ull) >> 20; }

}  // namespace

std::optional<Source::Match> Source::MatchMap::get(std::size_t inside) const {
  if (!by_position_.empty()) {
    const Packed packed = by_position_[inside];
    if (packed.closer == UINT32_MAX && packed.horizon == 0) return std::nullopt;
    return Match{packed.closer == UINT32_MAX ? SIZE_MAX : packed.closer, packed.horizon};
  }
  if (slots_.empty()) return std::nullopt;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = slot_hash(inside) & mask;; i = (i + 1) & mask) {
    if (slots_[i].first == inside) return slots_[i].second;
    if (slots_[i].first == SIZE_MAX) return std::nullopt;
  }
}

void Source::MatchMap::set(std::size_t inside, Match match) {
  if (by_position_.empty() && (used_ + 1) * 2 > slots_.size()) grow();
  if (!by_position_.empty()) {
    by_position_[inside] = Packed{
        match.closer == SIZE_MAX ? UINT32_MAX : static_cast<std::uint32_t>(match.closer),
        static_cast<std::uint32_t>(match.horizon)};
    return;
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = slot_hash(inside) & mask;; i = (i + 1) & mask) {
    if (slots_[i].first == SIZE_MAX) ++used_;
    if (slots_[i].first == SIZE_MAX || slots_[i].first == inside) {
      slots_[i] = {inside, match};
      return;
    }
  }
}

void Source::MatchMap::grow() {
  using Slot = std::pair<std::size_t, Match>;
  const std::size_t size = std::max<std::size_t>(64, slots_.size() * 2);
  std::vector<Slot> old = std::exchange(slots_, {});
  used_ = 0;
  if (key_limit_ < UINT32_MAX && size * sizeof(Slot) >= key_limit_ * sizeof(Packed)) {
    by_position_.resize(key_limit_);
  } else {
    slots_.assign(size, {SIZE_MAX, Match{}});
  }
  for (const auto& [key, match] : old)
    if (key != SIZE_MAX) set(key, match);
}

std::optional<std::size_t> closing_tag_end(std::string_view text, std::size_t pos,
                                           std::string_view name) {
  if (text.size() - std::min(pos, text.size()) < name.size() + 3 || text[pos] != '<' ||
      text[pos + 1] != '/' || !scan::ascii_iequals(text.substr(pos + 2, name.size()), name))
    return std::nullopt;
  std::size_t end = pos + 2 + name.size();
  while (end < text.size() && is_html_white_space(text[end])) ++end;
  if (end == text.size() || text[end] != '>') return std::nullopt;
  return end + 1;
}

std::optional<Range> find_closing_tag(std::string_view text, std::string_view name,
                                      std::size_t from) {
  for (std::size_t pos = text.find("</", from); pos != std::string_view::npos;
       pos = text.find("</", pos + 1))
    if (const auto end = closing_tag_end(text, pos, name)) return Range{pos, *end};
  return std::nullopt;
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

std::optional<Range> Source::scan_next(Needle needle, std::size_t from, std::size_t stop) const {
  const std::string_view target = needle_text(needle);
  if (static_cast<std::size_t>(needle) < kFirstFoldedNeedle) {
    // Only occurrences that start before `stop` count.
    const std::size_t end = std::min(text_.size(), stop + target.size() - 1);
    if (from >= end) return std::nullopt;
    const std::size_t at = text_.substr(0, end).find(target, from);
    if (at == std::string_view::npos) return std::nullopt;
    return Range{at, at + target.size()};
  }
  // Closing tags all open with "<", which has no case.
  const std::string_view name = target.substr(2, target.size() - 3);
  const std::size_t end = std::min(text_.size(), stop);
  for (std::size_t pos = from; pos < end;) {
    const void* hit = std::memchr(text_.data() + pos, '<', end - pos);
    if (!hit) return std::nullopt;
    pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    if (const auto close = closing_tag_end(text_, pos, name)) return Range{pos, *close};
    ++pos;
  }
  return std::nullopt;
}

std::optional<Range> Source::find_range(Needle needle, std::size_t from, std::size_t limit) {
  Found& memo = found_[static_cast<std::size_t>(needle)];
  if (!(memo.from <= from && (memo.at == SIZE_MAX || memo.at >= from))) {
    // A search that starts before the remembered one only has to look up to where that began.
    const bool before_memo = from < memo.from && memo.from != SIZE_MAX;
    const auto next = scan_next(needle, from, before_memo ? memo.from : SIZE_MAX - 16);
    if (next) memo = Found{from, next->begin, next->end};
    else if (before_memo) memo.from = from;
    else memo = Found{from, SIZE_MAX, 0};
  }
  if (memo.at == SIZE_MAX || memo.end > limit) return std::nullopt;
  return Range{memo.at, memo.end};
}

std::optional<Brace> Source::brace_at(std::size_t pos, std::size_t limit) const {
  if (starts_with(pos, limit, "{{{")) return Brace::Parameter;
  if (starts_with(pos, limit, "{{")) return Brace::Template;
  if (starts_with(pos, limit, "[[")) return Brace::Link;
  return std::nullopt;
}

std::optional<std::optional<Range>> Source::recall(const MatchMap& map, std::size_t inside,
                                                   std::size_t limit) {
  const auto found = map.get(inside);
  if (!found) return std::nullopt;
  const Match& match = *found;
  if (match.closer != SIZE_MAX) {
    if (match.horizon <= limit) return std::optional<Range>(Range{match.closer, match.horizon});
    return std::optional<Range>();
  }
  if (limit <= match.horizon) return std::optional<Range>();
  return std::nullopt;
}

void Source::fail_open(std::vector<MatchMap>& maps, std::size_t limit) {
  // Each open construct was pushed because nothing was known of it under this limit.
  for (const Open& open : open_) {
    MatchMap& map = maps[open.kind];
    const std::size_t known = map.get(open.inside).value_or(Match{}).horizon;
    map.set(open.inside, Match{SIZE_MAX, std::max(known, limit)});
  }
  open_.clear();
}

std::optional<std::size_t> Source::balanced(std::size_t inside, std::size_t limit, Brace brace) {
  limit = std::min(limit, text_.size());
  if (inside >= limit) return std::nullopt;
  const auto kind = static_cast<std::uint8_t>(brace);
  if (auto known = recall(brace_matches_[kind], inside, limit)) {
    if (!*known) return std::nullopt;
    return (*known)->begin;
  }
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
      brace_matches_[top.kind].set(top.inside, Match{pos, pos + closer.size()});
      open_.pop_back();
      if (open_.empty()) return pos;
      pos += closer.size();
      continue;
    }
    if (auto inner = brace_at(pos, limit)) {
      const auto inner_kind = static_cast<std::uint8_t>(*inner);
      const std::size_t inner_inside = pos + kBraceOpeners[inner_kind].size();
      if (auto known = recall(brace_matches_[inner_kind], inner_inside, limit)) {
        if (!*known) {
          fail_open(brace_matches_, limit);
          return std::nullopt;
        }
        pos = (*known)->end;
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

std::optional<Range> Source::tag_closer(NestTag tag, std::size_t inside, std::size_t limit) {
  limit = std::min(limit, text_.size());
  const auto kind = static_cast<std::uint8_t>(tag);
  const std::string_view opener = kTagOpeners[kind];
  const std::string_view within = text_.substr(0, limit);
  auto& matches = tag_matches_[kind];
  if (auto known = recall(matches, inside, limit)) return *known;
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
    if (const auto close = closing_tag_end(within, pos, kTagNames[kind])) {
      const Open top = open_.back();
      matches.set(top.inside, Match{pos, *close});
      open_.pop_back();
      if (open_.empty()) return Range{pos, *close};
      pos = *close;
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
      if (auto known = recall(matches, nested, limit)) {
        if (!*known) {
          fail_open(tag_matches_, limit);
          return std::nullopt;
        }
        pos = (*known)->end;
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
