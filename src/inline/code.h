// Code spans and the closers of superscripts and subscripts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "inline/byte_scan.h"
#include "model/document.h"

namespace vedavi::inl {

// Where the backtick runs of one text lie, by length, so that openers of many different lengths
// find their closers without rescanning the text. Built on first use; valid for one text until
// `reset`, which keeps the lists' room for the next text.
class BacktickRuns {
 public:
  // The start of the first maximal run of exactly `length` backticks at or after `from`.
  std::optional<std::size_t> find(std::string_view text, std::size_t from, std::size_t length);
  // Forgets the text, ready for another. Most texts never built the runs: told inline.
  void reset() {
    if (built_) forget();
  }

 private:
  struct Starts {
    std::vector<std::size_t> starts;  // ascending
    std::size_t cursor = 0;           // queries come in ascending `from`
  };
  Starts* starts_of(std::size_t length);
  void forget();

  bool built_ = false;
  std::uint32_t short_used_ = 0;  // a bit per short length that has starts
  // Short runs, by far the most common, sit in a small table; longer ones in a map.
  static constexpr std::size_t kShort = 16;
  std::array<Starts, kShort> short_;
  std::unordered_map<std::size_t, Starts> long_;
  static_assert(kShort <= 32, "short_used_ holds a bit per short length");
};

struct CodeSpanText {
  Str text;          // the content as the code inline holds it
  std::size_t end;   // just past the closing run
};
// The code span whose opening run starts at `p`, as its text. With `borrow` (the text outlives the
// tree), content taken as it stands is a view of `text` rather than a copy.
std::optional<CodeSpanText> code_span_text(std::string_view text, std::size_t p,
                                           BacktickRuns* runs = nullptr, bool borrow = false);

// The offset of the closing backtick of the span that the backtick at `p` opens, when the span
// is one backtick on each side of content that holds no backtick, tab or line feed and does not
// both start and end with a space (one of which would be stripped); npos otherwise. Most spans
// are such, and code_span_text reads them the same way: callers spare its call.
inline std::size_t simple_code_span_close(std::string_view text, std::size_t p) {
  const std::size_t n = text.size();
  const std::size_t from = p + 1;
  if (from >= n || text[from] == '`') return std::string_view::npos;
  const std::size_t close = find_any_of<'`', '\t', '\n'>(text, from, n);
  if (close < n && text[close] == '`' && (close + 1 == n || text[close + 1] != '`') &&
      !(text[from] == ' ' && text[close - 1] == ' '))
    return close;
  return std::string_view::npos;
}

struct CodeSpan {
  Inline code;      // a `code` inline with an empty attribute set
  std::size_t end;  // just past the closing run
};
// A code span whose opening run starts at `p`.
std::optional<CodeSpan> code_span(std::string_view text, std::size_t p, BacktickRuns* runs = nullptr);

// The closer of a superscript (`ch` "^") or subscript (`ch` "~") whose content starts at `start`.
std::optional<std::size_t> script_end(std::string_view text, std::size_t start, char ch);

}  // namespace vedavi::inl
