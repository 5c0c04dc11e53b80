// Code spans and the closers of superscripts and subscripts.
#include "inline/code.h"

#include <algorithm>

#include "inline/byte_scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

std::size_t run_end(std::string_view text, std::size_t p, char c) {
  while (p < text.size() && text[p] == c) ++p;
  return p;
}

std::optional<std::size_t> find_closer_by_scan(std::string_view text, std::size_t from,
                                               std::size_t length) {
  for (std::size_t i = find_any_of<'`'>(text, from, text.size()); i < text.size();
       i = find_any_of<'`'>(text, i, text.size())) {
    const std::size_t end = run_end(text, i, '`');
    if (end - i == length) return i;
    i = end;
  }
  return std::nullopt;
}

}  // namespace

BacktickRuns::Starts* BacktickRuns::starts_of(std::size_t length) {
  if (length < kShort) return &short_[length];
  auto it = long_.find(length);
  return it == long_.end() ? nullptr : &it->second;
}

void BacktickRuns::forget() {
  built_ = false;
  // Only the lengths that had starts moved their cursors.
  for (std::uint32_t bits = short_used_; bits != 0; bits &= bits - 1) {
    Starts& s = short_[static_cast<std::size_t>(__builtin_ctz(bits))];
    s.starts.clear();
    s.cursor = 0;
  }
  short_used_ = 0;
  long_.clear();
}

std::optional<std::size_t> BacktickRuns::find(std::string_view text, std::size_t from,
                                              std::size_t length) {
  // Most code spans close at the next run: when `from` holds no backtick, the first run after it
  // is whole, and when it has the length it is the answer, found without the index. Only the
  // bytes up to it are read, and a span that closes there consumes them, so the texts of many
  // spans are still read once; the index is built at the first span that does not close so.
  if (!built_ && from < text.size() && text[from] != '`') {
    const std::size_t next = text.find('`', from);
    if (next == std::string_view::npos) return std::nullopt;
    if (run_end(text, next, '`') - next == length) return next;
  }
  if (!built_) {
    built_ = true;
    for (std::size_t i = text.find('`'); i != std::string_view::npos; i = text.find('`', i)) {
      const std::size_t end = run_end(text, i, '`');
      const std::size_t run = end - i;
      if (run < kShort) {
        short_[run].starts.push_back(i);
        short_used_ |= std::uint32_t{1} << run;
      } else {
        long_[run].starts.push_back(i);
      }
      i = end;
    }
  }
  Starts* found = starts_of(length);
  if (!found) return std::nullopt;
  Starts& s = *found;
  if (s.cursor > 0 && s.starts[s.cursor - 1] >= from) s.cursor = 0;  // a query out of order
  while (s.cursor < s.starts.size() && s.starts[s.cursor] < from) ++s.cursor;
  if (s.cursor == s.starts.size()) return std::nullopt;
  return s.starts[s.cursor];
}

std::optional<CodeSpanText> code_span_text(std::string_view text, std::size_t p,
                                           BacktickRuns* runs, bool borrow) {
  const std::size_t open_end = run_end(text, p, '`');
  const std::size_t n = open_end - p;
  if (n == 0 || open_end >= text.size()) return std::nullopt;
  // Most spans close at the next backtick run, with no tab or line feed before it: one search
  // finds the closer and tells that the text is the source's. The run found is maximal (the
  // opener's run ends before it), so it is what the searches below would find.
  const std::size_t next = find_any_of<'`', '\t', '\n'>(text, open_end, text.size());
  if (next < text.size() && text[next] == '`' && run_end(text, next, '`') - next == n) {
    std::size_t begin = open_end;
    std::size_t end = next;
    // One space is stripped from each end when both ends are spaces and something else stands
    // between.
    if (end - begin >= 2 && text[begin] == ' ' && text[end - 1] == ' ' &&
        text.find_first_not_of(' ', begin) < end) {
      ++begin;
      --end;
    }
    const std::string_view content = text.substr(begin, end - begin);
    return CodeSpanText{borrow ? Str::borrowed(content) : Str(content), next + n};
  }
  // The run after the opener starts at a non-backtick, so every run met from there is maximal.
  const auto close = runs ? runs->find(text, open_end, n) : find_closer_by_scan(text, open_end, n);
  if (!close) return std::nullopt;
  // Tabs and line feeds read as spaces; one space is stripped from each end when both ends are
  // spaces and something else stands between. Most spans hold neither: their text is the source's.
  std::size_t begin = open_end;
  std::size_t end = *close;
  const auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  if (end - begin >= 2 && is_space(text[begin]) && is_space(text[end - 1]) &&
      !std::all_of(text.begin() + begin, text.begin() + end, is_space)) {
    ++begin;
    --end;
  }
  const std::string_view content = text.substr(begin, end - begin);
  // Searched within the whole text, so that a short span is read as one block of it.
  if (find_any_of<'\t', '\n'>(text, begin, end) == end)
    return CodeSpanText{borrow ? Str::borrowed(content) : Str(content), *close + n};
  std::string spaced(content);
  std::replace_if(spaced.begin(), spaced.end(), [](char c) { return c == '\t' || c == '\n'; }, ' ');
  return CodeSpanText{Str(spaced), *close + n};
}

std::optional<CodeSpan> code_span(std::string_view text, std::size_t p, BacktickRuns* runs) {
  auto span = code_span_text(text, p, runs);
  if (!span) return std::nullopt;
  return CodeSpan{Inline(Inline::Code{Attr{}, std::move(span->text)}), span->end};
}

std::optional<std::size_t> script_end(std::string_view text, std::size_t start, char ch) {
  bool escaped = false;
  bool content_seen = false;
  for (std::size_t i = start; i < text.size();) {
    const utf8::Decoded d = utf8::decode(text, i);
    if (escaped) {
      escaped = false;
      content_seen = true;
    } else if (d.cp == '\\') {
      escaped = true;
    } else if (d.cp == static_cast<unsigned char>(ch)) {
      const bool doubled = ch == '~' && ((i > 0 && text[i - 1] == '~') ||
                                         (i + 1 < text.size() && text[i + 1] == '~'));
      if (doubled) {
        content_seen = true;
      } else {
        if (!content_seen) return std::nullopt;
        return i;
      }
    } else if (unicode::is_white_space(d.cp)) {
      return std::nullopt;
    } else {
      content_seen = true;
    }
    i += d.len;
  }
  return std::nullopt;
}

}  // namespace vedavi::inl
