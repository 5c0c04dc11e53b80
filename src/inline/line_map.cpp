// The source line map: lines and their offsets, content offsets, marker scopes, segments, text
// units and raw HTML regions.
#include "inline/line_map.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "base/internal_error.h"
#include "model/line.h"

namespace vedavi::inl {

namespace {

// Lists this short are sorted by insertion; longer ones by a stable merge sort.
constexpr std::size_t kInsertionSortLimit = 21;

void sort_by_start(std::span<LineScope> list) {
  auto by_start = [](const LineScope& a, const LineScope& b) { return a.start < b.start; };
  if (list.size() < kInsertionSortLimit) {
    for (std::size_t i = 1; i < list.size(); ++i)
      for (std::size_t j = i; j > 0 && by_start(list[j], list[j - 1]); --j) std::swap(list[j], list[j - 1]);
  } else {
    std::stable_sort(list.begin(), list.end(), by_start);
  }
}

// Calls `line(begin, end)` with the bounds of each line's text, the lines ending where
// line::split_lines ends them (LF, CR LF, lone CR).
template <class Line>
void for_each_line(std::string_view source, Line line) {
  const char* const data = source.data();
  const std::size_t n = source.size();
  if (source.find('\r') == std::string_view::npos) {
    for (std::size_t begin = 0; begin < n;) {
      const auto* lf = static_cast<const char*>(std::memchr(data + begin, '\n', n - begin));
      const std::size_t end = lf ? static_cast<std::size_t>(lf - data) : n;
      line(begin, end);
      begin = end + 1;
    }
    return;
  }
  for (std::size_t begin = 0; begin < n;) {
    const std::size_t end = std::min(source.find_first_of("\r\n", begin), n);
    line(begin, end);
    if (end == n) break;
    begin = end + (source[end] == '\r' && end + 1 < n && source[end + 1] == '\n' ? 2 : 1);
  }
}

}  // namespace

LineMap::LineMap(std::string_view source, const block::Trace& trace) : source_(source) {
  // Offsets take 32 bits. The parse a trace comes from refuses such a source already, but its
  // text may be shorter than the source given here (CR LF read as LF).
  if (source.size() >= std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  // The parse has a content offset for every line: as many as the tables will hold.
  const std::size_t room = trace.line_offsets.size();
  starts_.reserve(room);
  ends_.reserve(room);
  content_offsets_.reserve(room);
  for_each_line(source, [&](std::size_t begin, std::size_t end) {
    const std::size_t i = starts_.size();
    starts_.push_back(static_cast<std::uint32_t>(begin));
    ends_.push_back(static_cast<std::uint32_t>(end));
    const std::size_t table = i < trace.line_offsets.size() ? trace.line_offsets[i] : 0;
    content_offsets_.push_back(static_cast<std::uint32_t>(std::min(end - begin, table)));
  });
  const std::size_t n = starts_.size();
  // The syntax records go to their lines in one counting pass (keeping trace order), then each
  // line's list is sorted by start.
  scope_starts_.assign(n + 1, 0);
  // A syntax record cut to its line, or none when it names no line or nothing is left of it.
  using LineAndScope = std::pair<std::size_t, LineScope>;
  auto clamped = [&](const block::SyntaxRecord& s) -> std::optional<LineAndScope> {
    if (s.line >= n) return std::nullopt;
    const std::uint32_t length = ends_[s.line] - starts_[s.line];
    const std::uint32_t start = std::min(s.start, length), end = std::min(s.end, length);
    if (start >= end) return std::nullopt;
    return LineAndScope{s.line, LineScope{start, end, s.scope}};
  };
  for (const block::SyntaxRecord& record : trace.syntax)
    if (auto scope = clamped(record)) ++scope_starts_[scope->first + 1];
  for (std::size_t i = 0; i < n; ++i) scope_starts_[i + 1] += scope_starts_[i];
  scopes_.resize(scope_starts_[n]);
  // Each line's next free entry: its start, moved along as the line's scopes are placed, so that
  // every entry ends at the next line's start, and then moved back.
  for (const block::SyntaxRecord& record : trace.syntax)
    if (auto scope = clamped(record)) scopes_[scope_starts_[scope->first]++] = scope->second;
  for (std::size_t i = n; i > 0; --i) scope_starts_[i] = scope_starts_[i - 1];
  scope_starts_[0] = 0;
  for (std::size_t i = 0; i < n; ++i) sort_by_start(line_scopes(i));
}

std::span<LineScope> LineMap::line_scopes(std::size_t i) {
  return std::span<LineScope>(scopes_).subspan(scope_starts_[i], scope_starts_[i + 1] - scope_starts_[i]);
}

std::size_t LineMap::checked(std::size_t i) const {
  if (i >= starts_.size())
    internal_failure("inline_spans: line " + std::to_string(i) + " out of range of " +
                     std::to_string(starts_.size()) + " lines");
  return i;
}

std::span<const LineScope> LineMap::scopes(std::size_t i) const {
  checked(i);
  return std::span<const LineScope>(scopes_).subspan(scope_starts_[i],
                                                     scope_starts_[i + 1] - scope_starts_[i]);
}

void LineMap::append_segments(std::size_t i, std::vector<ByteRange>& out) const {
  const std::size_t base = start(i);
  const std::size_t length = ends_[i] - starts_[i];
  std::size_t p = content_offsets_[i];
  for (const LineScope& scope : scopes(i)) {
    if (scope.start > p) out.push_back(ByteRange{base + p, base + scope.start});
    p = std::max<std::size_t>(p, scope.end);
  }
  if (p < length) out.push_back(ByteRange{base + p, base + length});
}

std::vector<ByteRange> LineMap::segments(std::size_t i) const {
  std::vector<ByteRange> out;
  append_segments(i, out);
  return out;
}

std::vector<Unit> LineMap::units(const block::Trace& trace) const {
  std::vector<Unit> units;
  for_each_unit(trace, [&](Unit& unit) { units.push_back(std::move(unit)); });
  return units;
}

void LineMap::for_each_unit(const block::Trace& trace, const std::function<void(Unit&)>& take) const {
  const std::size_t n = starts_.size();
  // Lines of whole-line template tokens of the block form: markup of the host language.
  std::vector<bool> excluded(n, false);
  for (const block::BlockSpan& span : trace.spans) {
    if (span.kind != "template_token" || span.facts().form != TemplateForm::Block) continue;
    for (std::size_t l = span.start; l < std::min<std::size_t>(span.end, n); ++l) excluded[l] = true;
  }
  // One unit at a time, its room kept from one to the next unless `take` moves it away.
  Unit unit;
  auto give = [&] {
    if (!unit.empty()) take(unit);
    unit.clear();
  };
  std::vector<ByteRange> pieces;
  for (const block::EditRegion& record : trace.regions) {
    const block::EditRegion* region = &record;
    if (region->start < n && excluded[region->start]) continue;
    const std::size_t end = std::min<std::size_t>(region->end, n);
    switch (region->kind) {
      case block::RegionKind::Text: {
        for (std::size_t l = region->start; l < end; ++l) append_segments(l, unit);
        give();
        break;
      }
      case block::RegionKind::DefinitionList:
        for (std::size_t l = region->start; l < end; ++l) {
          append_segments(l, unit);
          give();
        }
        break;
      case block::RegionKind::Table:
        for (std::size_t l = region->start; l < end; ++l) {
          pieces.clear();
          append_segments(l, pieces);
          for (const ByteRange& piece : pieces) {
            unit.push_back(piece);
            give();
          }
        }
        break;
      case block::RegionKind::HtmlBlock:
        break;
    }
  }
}

std::vector<ByteRange> LineMap::html_ranges(std::span<const block::EditRegion> regions) const {
  std::vector<ByteRange> out;
  for (const block::EditRegion& record : regions) {
    const block::EditRegion* region = &record;
    if (region->kind != block::RegionKind::HtmlBlock) continue;
    const std::size_t end = std::min<std::size_t>(region->end, starts_.size());
    if (region->start >= end) continue;
    out.push_back(ByteRange{starts_[region->start], ends_[end - 1]});
  }
  return out;
}

Unit LineMap::line_pieces(ByteRange range) const {
  Unit pieces;
  // The line holding the range's first byte, then every later line the range reaches.
  auto after = std::upper_bound(starts_.begin(), starts_.end(), range.begin);
  if (after == starts_.begin()) return pieces;
  for (std::size_t i = static_cast<std::size_t>(after - starts_.begin()) - 1;
       i < starts_.size() && starts_[i] < range.end; ++i) {
    const ByteRange piece{std::max<std::size_t>(starts_[i], range.begin),
                          std::min<std::size_t>(ends_[i], range.end)};
    if (piece.begin <= piece.end) pieces.push_back(piece);
  }
  return pieces;
}

void JoinedText::assign(std::string_view source, std::span<const ByteRange> ranges) {
  text_.clear();
  ranges_.assign(ranges.begin(), ranges.end());
  starts_.clear();
  for (const ByteRange& r : ranges) {
    if (!starts_.empty()) text_.push_back('\n');
    starts_.push_back(text_.size());
    text_.append(source.substr(r.begin, r.end - r.begin));
  }
}

std::size_t JoinedText::range_at(std::size_t p) const {
  // The last range starting at or before `p` (joined starts ascend with the ranges).
  auto after = std::upper_bound(starts_.begin(), starts_.end(), p);
  return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin()) - 1;
}

std::size_t JoinedText::first_ending_after(std::size_t p) const {
  const std::size_t k = range_at(p);
  return k < ranges_.size() && starts_[k] + length(k) <= p ? k + 1 : k;
}

std::size_t JoinedText::to_source(std::size_t p) const {
  if (ranges_.empty()) return 0;
  const std::size_t k = range_at(p);
  // A joint (one past a range's joined end) is reached by no range: it maps to that range's end.
  return ranges_[k].begin + std::min(p - starts_[k], length(k));
}

}  // namespace vedavi::inl
