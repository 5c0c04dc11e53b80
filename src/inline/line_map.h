// The source line map: the block parser's per-line facts (content offsets after container
// markers, syntax scopes of consumed markers, edit regions) tied back to byte offsets of the
// source, and the text units of a document that the inline parser scans.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "block/trace.h"

namespace vedavi::inl {

// Byte offsets [begin, end) into the source given to the map.
struct ByteRange {
  std::size_t begin = 0;
  std::size_t end = 0;
  friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// The source ranges, one per line piece, whose texts joined with one LF between them make one
// inline text (the text of a paragraph, a heading, a table cell, a definition line).
using Unit = std::vector<ByteRange>;

// A consumed marker of one line, as offsets within the line. Offsets take 32 bits, as the trace's
// do: the map is made per line of a document, so its records stay small.
struct LineScope {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  block::SyntaxScope scope = block::SyntaxScope::PunctuationSpecial;
};

// Built from the source and the trace of a span-mode-3 parse of it. Lines end where the block
// parser ends them (LF, CR LF, lone CR, see line::split_lines), and every offset is into the
// source as given: for "\r\n" sources a line start lies past both bytes of the line end before.
// A source of 4 GiB or more is refused with std::bad_alloc, as the parse refuses it.
class LineMap {
 public:
  LineMap(std::string_view source, const block::Trace& trace);

  std::size_t line_count() const { return starts_.size(); }
  std::string_view line(std::size_t i) const {
    checked(i);
    return source_.substr(starts_[i], ends_[i] - starts_[i]);
  }
  std::size_t start(std::size_t i) const { return starts_[checked(i)]; }
  // The start of line `i`, or the source's length when `i` is past the last line.
  std::size_t start_or_end(std::size_t i) const {
    return i < starts_.size() ? starts_[i] : source_.size();
  }
  // Where line `i`'s content starts after its container markers, never past its end.
  std::size_t content_offset(std::size_t i) const { return content_offsets_[checked(i)]; }
  // Line `i`'s markers, clamped to the line, sorted by start (equal starts in trace order).
  std::span<const LineScope> scopes(std::size_t i) const;

  // Appends the ranges of line `i`'s text between its markers.
  void append_segments(std::size_t i, std::vector<ByteRange>& out) const;
  std::vector<ByteRange> segments(std::size_t i) const;
  // The text units of the document, in record order and within a record in line order. Lines
  // of whole-line template tokens of the block form belong to none.
  std::vector<Unit> units(const block::Trace& trace) const;
  // The same units one at a time, none held beside the others; `take` may move a unit away.
  void for_each_unit(const block::Trace& trace, const std::function<void(Unit&)>& take) const;
  // The raw HTML block regions, from the first byte of the first line to the end of the last
  // line's text, in record order.
  std::vector<ByteRange> html_ranges(std::span<const block::EditRegion> regions) const;
  // The pieces of the lines a range covers, each without its line end: what, joined with LF,
  // gives the range's text as the block parser reads it.
  Unit line_pieces(ByteRange range) const;

 private:
  std::size_t checked(std::size_t i) const;
  std::span<LineScope> line_scopes(std::size_t i);

  // Per line, in 32 bits (the span-mode parse that the trace comes from refuses a source of 4 GiB
  // or more): a document of short lines has about as many lines as it has words.
  std::string_view source_;
  std::vector<std::uint32_t> starts_;
  std::vector<std::uint32_t> ends_;  // of the line's text, before its line end
  std::vector<std::uint32_t> content_offsets_;
  std::vector<LineScope> scopes_;            // every line's, by line
  std::vector<std::uint32_t> scope_starts_;  // per line and one past: its first entry in scopes_
};

// The text of a unit: its ranges' texts joined with one LF between them, as the inline parser
// reads it, and the way from offsets in that text ("joined offsets") back to source offsets.
class JoinedText {
 public:
  // Reuses the storage of the previous unit.
  void assign(std::string_view source, std::span<const ByteRange> ranges);
  std::string_view text() const { return text_; }

  // The source offset of joined offset `p`: in the first range that reaches it (a joint maps
  // to the end of the range before it); past the last range, that range's end.
  std::size_t to_source(std::size_t p) const;
  // The parts of the joined range [begin, end) inside the ranges, as source ranges in order;
  // the joints belong to none. Cost: the number of parts, after one search.
  template <class Emit>
  void for_each_part(std::size_t begin, std::size_t end, Emit emit) const {
    for (std::size_t k = first_ending_after(begin); k < ranges_.size() && starts_[k] < end; ++k) {
      const std::size_t from = std::max(begin, starts_[k]);
      const std::size_t to = std::min(end, starts_[k] + length(k));
      const std::size_t base = ranges_[k].begin - starts_[k];  // joined to source, in range k
      if (from < to) emit(ByteRange{base + from, base + to});
    }
  }

 private:
  std::size_t length(std::size_t k) const { return ranges_[k].end - ranges_[k].begin; }
  // The last range that starts at or before joined offset `p`.
  std::size_t range_at(std::size_t p) const;
  // The first range whose joined end is past `p`.
  std::size_t first_ending_after(std::size_t p) const;

  std::string text_;
  std::vector<ByteRange> ranges_;
  std::vector<std::size_t> starts_;  // per range, its joined offset
};

}  // namespace vedavi::inl
