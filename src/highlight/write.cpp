// Writing the escaped source with the classed ranges as nested spans.
#include <algorithm>
#include <cstring>
#include <utility>

#include "highlight/ranges.h"
#include "text/escape.h"
#include "text/utf8.h"

namespace vedavi::highlight {
namespace {

// The ranges that can be written: non-empty, inside the text, on character boundaries; sorted
// by start ascending and end descending (equal ranges in collection order), identical
// neighbours dropped.
void settle(std::string_view text, std::vector<ClassedRange>& ranges) {
  std::erase_if(ranges, [&](const ClassedRange& r) {
    return r.start >= r.end || r.end > text.size() || !utf8::is_boundary(text, r.start) ||
           !utf8::is_boundary(text, r.end);
  });
  std::stable_sort(ranges.begin(), ranges.end(), [](const ClassedRange& a, const ClassedRange& b) {
    return a.start != b.start ? a.start < b.start : a.end > b.end;
  });
  ranges.erase(std::unique(ranges.begin(), ranges.end()), ranges.end());
}

// The output as one string.
class WholeOutput {
 public:
  explicit WholeOutput(std::string& out) : out_(out) {}
  std::string& text() { return out_; }
  void boundary() {}

 private:
  std::string& out_;
};

// The output as pieces, cut between two writes once the current piece is full.
class PieceOutput {
 public:
  PieceOutput(std::vector<std::string>& pieces, std::size_t piece_bytes)
      : pieces_(pieces), piece_bytes_(piece_bytes) {
    start_piece();
  }
  std::string& text() { return current_; }
  void boundary() {
    if (current_.size() < piece_bytes_) return;
    pieces_.push_back(std::move(current_));
    start_piece();
  }
  void finish() {
    if (!current_.empty()) pieces_.push_back(std::move(current_));
  }

 private:
  // Room for a full piece and the range written past its end, at once: grown by doubling, the
  // pieces would hold up to twice their text.
  void start_piece() {
    current_ = std::string();
    current_.reserve(piece_bytes_ + piece_bytes_ / 8);
  }

  std::vector<std::string>& pieces_;
  std::size_t piece_bytes_;
  std::string current_;
};

// Writes the text with each range wrapped in a span. A range that starts inside an open span
// and ends after it would cross it: it is left out, never split.
template <class Output>
void render(std::string_view text, std::span<const ClassedRange> ranges, std::string_view prefix,
            Output& output) {
  std::string& out = output.text();
  std::vector<std::size_t> open_ends;
  std::size_t written = 0;
  auto close_until = [&](std::size_t limit) {
    while (!open_ends.empty() && open_ends.back() <= limit) {
      escape_text(text.substr(written, open_ends.back() - written), out);
      out += "</span>";
      written = open_ends.back();
      open_ends.pop_back();
    }
  };
  for (const ClassedRange& r : ranges) {
    output.boundary();
    close_until(r.start);
    if (!open_ends.empty() && r.end > open_ends.back()) continue;
    escape_text(text.substr(written, r.start - written), out);
    out += "<span class=\"";
    append_markup(prefix, out);
    out += r.scope.name();
    out += "\">";
    open_ends.push_back(r.end);
    written = r.start;
  }
  close_until(text.size());
  escape_text(text.substr(written), out);
}

// How many bytes escaping `text` adds: "&amp;", "&lt;", "&gt;", and U+FFFD for NUL. Found by
// a byte search for each, since most sources hold few of them.
std::size_t escape_growth(std::string_view text) {
  std::size_t growth = 0;
  for (const auto& [byte, added] : {std::pair{'&', 4}, {'<', 3}, {'>', 3}, {'\0', 2}}) {
    const char* const end = text.data() + text.size();
    for (const char* at = text.data();
         (at = static_cast<const char*>(std::memchr(at, byte, static_cast<std::size_t>(end - at)))) != nullptr; ++at)
      growth += static_cast<std::size_t>(added);
  }
  return growth;
}

}  // namespace

void write_ranges(std::string_view text, std::vector<ClassedRange> ranges, std::string_view prefix,
                  std::string& out) {
  settle(text, ranges);
  // Room for the output at once: short of it the output would grow by doubling, and a source
  // whose every line is a heading is five times its size in spans, a quote twice in escapes.
  std::size_t markup = 0;
  for (const ClassedRange& r : ranges)
    markup += std::string_view("<span class=\"\"></span>").size() + prefix.size() + r.scope.name().size();
  out.reserve(out.size() + text.size() + escape_growth(text) + markup);
  WholeOutput output(out);
  render(text, ranges, prefix, output);
}

std::vector<std::string> write_ranges_in_pieces(std::string_view text, std::vector<ClassedRange> ranges,
                                                std::string_view prefix, std::size_t piece_bytes) {
  settle(text, ranges);
  std::vector<std::string> pieces;
  PieceOutput output(pieces, piece_bytes);
  render(text, ranges, prefix, output);
  output.finish();
  return pieces;
}

}  // namespace vedavi::highlight
