// Lines of md source: white space, indentation columns and removal of indentation.
#include "model/line.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "base/cpu.h"
#include "text/unicode.h"

namespace vedavi::line {

namespace {

// Calls `at_lf(offset)` for each LF of `text`, in order. Where the target has SSE2 the LFs of 64
// bytes are found at once and taken from a bit mask: most lines are short, and a search call per
// line costs more than its bytes.
template <class AtLf>
void for_each_lf(std::string_view text, AtLf&& at_lf) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* at = begin;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const auto lfs = [&](const char* p) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf))));
  };
  for (; end - at >= 64; at += 64) {
    std::uint64_t mask = lfs(at) | lfs(at + 16) << 16 | lfs(at + 32) << 32 | lfs(at + 48) << 48;
    const auto base = static_cast<std::size_t>(at - begin);
    for (; mask != 0; mask &= mask - 1) at_lf(base + static_cast<unsigned>(std::countr_zero(mask)));
  }
#endif
  for (; at < end; ++at)
    if (*at == '\n') at_lf(static_cast<std::size_t>(at - begin));
}

// The lines of a text without CR.
void split_at_lf(std::string_view text, std::vector<std::string_view>& lines) {
  std::size_t line = 0;
  for_each_lf(text, [&](std::size_t lf) {
    lines.emplace_back(text.data() + line, lf - line);
    line = lf + 1;
  });
  if (line < text.size()) lines.emplace_back(text.data() + line, text.size() - line);
}

// The number of trailing zero bits of `mask`, any number when it is zero. On x86-64 the count is
// hidden from the compiler: knowing the count of zero, it would branch on a zero mask at each
// write and thread the writes after it, where a step's line count varies and mispredicts.
[[gnu::always_inline]] inline std::uint64_t low_bit(std::uint64_t mask) {
#if defined(__x86_64__)
  std::uint64_t count;
  // Without BMI1 this runs as BSF: the same count, an undefined one for zero.
  asm("tzcnt %1, %0" : "=r"(count) : "r"(mask));
  return count;
#else
  return static_cast<unsigned>(std::countr_zero(mask));
#endif
}

// The bytes the line ends are searched in at once.
constexpr std::size_t kStep = 64;

#if defined(__SSE2__)

// The ends a step of 64 bytes at `base` holds, from the bit mask of its LFs, written at `out + n`;
// returns the new count. The first `kFirst` are written whether or not there are as many (the
// room is there, and a slot written past the last end is written again by the next): how many
// ends 64 bytes hold varies from step to step, and a loop over them alone would mispredict its
// exit at most steps. Short lines take four such writes; long lines, with at most one or two ends
// a step, take two, and the loop after them is rarely entered.
template <int kFirst>
[[gnu::always_inline]] inline std::size_t write_step(std::uint64_t* out, std::size_t n, std::uint64_t base,
                                                     std::uint64_t mask) {
  for (int k = 0; k < kFirst; ++k) {
    out[n] = base + low_bit(mask);
    n += mask != 0;
    mask &= mask - 1;
  }
  for (; mask != 0; mask &= mask - 1) out[n++] = base + static_cast<unsigned>(std::countr_zero(mask));
  return n;
}

// The ends in [at, stop), whole steps, written at `out + n` (room for one a byte is there);
// returns the new count.
template <int kFirst>
std::size_t step_ends(const char* begin, const char* at, const char* stop, std::uint64_t* out, std::size_t n) {
  const __m128i lf = _mm_set1_epi8('\n');
  const auto lfs = [&](const char* p) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf))));
  };
  for (; at != stop; at += kStep) {
    const std::uint64_t mask = lfs(at) | lfs(at + 16) << 16 | lfs(at + 32) << 32 | lfs(at + 48) << 48;
    n = write_step<kFirst>(out, n, static_cast<std::uint64_t>(at - begin), mask);
  }
  return n;
}

#if defined(__x86_64__) && defined(__GNUC__)
// As `step_ends` by 32-byte blocks, for the processors that have them (nearly all): half the
// loads and tests of a step.
template <int kFirst>
[[gnu::target("avx2")]] std::size_t step_ends_wide(const char* begin, const char* at, const char* stop,
                                                   std::uint64_t* out, std::size_t n) {
  const __m256i lf = _mm256_set1_epi8('\n');
  for (; at != stop; at += kStep) {
    const auto* p = reinterpret_cast<const __m256i*>(at);
    const auto low = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p), lf)));
    const auto high = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p + 1), lf)));
    n = write_step<kFirst>(out, n, static_cast<std::uint64_t>(at - begin),
                           std::uint64_t{low} | std::uint64_t{high} << 32);
  }
  return n;
}
#endif

template <int kFirst>
std::size_t run_ends(const char* begin, const char* at, const char* stop, std::uint64_t* out, std::size_t n) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (cpu::has_wide_blocks()) return step_ends_wide<kFirst>(begin, at, stop, out, n);
#endif
  return step_ends<kFirst>(begin, at, stop, out, n);
}
#endif

}  // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  split_lines(text, lines);
  return lines;
}

void split_lines(std::string_view text, std::vector<std::string_view>& lines) {
  lines.clear();
  // Most texts hold no CR: their line ends are found by the fast single-byte search.
  if (text.find('\r') == std::string_view::npos) {
    split_at_lf(text, lines);
    return;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end == text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
}

SourceLines::SourceLines(std::string_view text, LineEnds room) : text_(text.data()), ends_(std::move(room)) {
  // The ends are written through a pointer held in a register, not pushed one by one: room for
  // as many ends as the next bytes can hold is made before they are searched.
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* at = begin;
  ends_.resize(std::max(ends_.capacity(), 2 * kStep + 2));
  std::uint64_t* out = ends_.data();
  std::size_t n = 0;
  const auto make_room = [&](std::size_t more) {
    if (ends_.size() - n < more) {
      const std::size_t size = std::max(2 * ends_.size(), n + more);
      ends_.resize(n);  // only the ends written move
      ends_.resize(size);
      out = ends_.data();
    }
  };
  out[n++] = ~std::uint64_t{0};
#if defined(__SSE2__)
  const auto steps = [&]<int kFirst>(const char* const stop) {
    // Room for a whole run, made once before it: no step of it can write more than its 64.
    make_room(static_cast<std::size_t>(stop - at));
    n = run_ends<kFirst>(begin, at, stop, out, n);
    at = stop;
  };
  // Steps go in runs of 64; each run takes the writes its previous run's line lengths called for.
  constexpr std::size_t kRun = 64;
  bool long_lines = false;
  while (static_cast<std::size_t>(end - at) >= kStep) {
    const std::size_t run = std::min(kRun, static_cast<std::size_t>(end - at) / kStep);
    const std::size_t before = n;
    if (long_lines)
      steps.template operator()<2>(at + run * kStep);
    else
      steps.template operator()<4>(at + run * kStep);
    long_lines = 2 * (n - before) < 3 * run;  // fewer than 1.5 ends a step
  }
#endif
  // The bytes left (fewer than a step where SSE2 searched) and a last line without a line end.
  make_room(static_cast<std::size_t>(end - at) + 1);
  for (; at < end; ++at)
    if (*at == '\n') out[n++] = static_cast<std::uint64_t>(at - begin);
  if (out[n - 1] + 1 < text.size()) out[n++] = text.size();
  ends_.resize(n);
  size_ = n - 1;
}

void SourceLines::blank_first(std::size_t count) {
  if (count > size()) count = size();
  if (count == 0) return;
  // Line k of the first `count` starts where it ends: one byte past the end of line k - 1.
  const std::uint64_t last_end = ends_[count];
  for (std::size_t k = 0; k < count; ++k) ends_[k] = last_end - (count - k);
}

std::string normalize_line_ends(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// ASCII white space is skipped here; only a non-ASCII byte needs the Unicode tables.
std::string_view trim_start_slow(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && is_ascii_white_space(static_cast<unsigned char>(s[i]))) ++i;
  if (i == s.size() || static_cast<unsigned char>(s[i]) < 0x80) return s.substr(i);
  return unicode::trim_start(s.substr(i));
}

std::string_view trim_end_slow(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0 && is_ascii_white_space(static_cast<unsigned char>(s[end - 1]))) --end;
  if (end == 0 || static_cast<unsigned char>(s[end - 1]) < 0x80) return s.substr(0, end);
  return unicode::trim_end(s.substr(0, end));
}

std::size_t indent_columns(std::string_view s, std::size_t column) {
  for (char c : s) {
    if (c != ' ' && c != '\t') break;
    column = advance_column(column, c);
  }
  return column;
}

std::size_t indent_bytes(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}

std::string expand_leading_indent(std::string_view text, std::size_t column) {
  std::size_t n = indent_bytes(text);
  std::size_t end = indent_columns(text.substr(0, n), column);
  std::string out(end - column, ' ');
  out.append(text.substr(n));
  return out;
}

std::string Rest::str() const {
  std::string out;
  append_to(out);
  return out;
}

void Rest::append_to(std::string& out) const {
  out.append(pad, ' ');
  out.append(text);
}

bool Rest::equals(std::string_view s) const {
  if (s.size() != size()) return false;
  for (std::size_t i = 0; i < pad; ++i)
    if (s[i] != ' ') return false;
  return s.substr(pad) == text;
}

Rest Rest::from(std::size_t pos) const {
  if (pos <= pad) return Rest{pad - pos, text};
  pos -= pad;
  return Rest{0, pos < text.size() ? text.substr(pos) : std::string_view()};
}

namespace {

// Leading spaces and tabs of `text` at `column`, written as padding.
Rest expanded(std::size_t pad, std::string_view text, std::size_t column) {
  if (text.empty() || (text[0] != ' ' && text[0] != '\t')) return Rest{pad, text};
  // The indentation's bytes and columns in one pass.
  std::size_t n = 0;
  std::size_t end = column;
  for (; n < text.size() && (text[n] == ' ' || text[n] == '\t'); ++n) end = advance_column(end, text[n]);
  return Rest{pad + (end - column), text.substr(n)};
}

}  // namespace

Rest Rest::strip_from(std::size_t column, std::size_t target) const {
  if (column >= target) return expanded(pad, text, column + pad);
  if (pad >= target - column) {
    std::size_t left = pad - (target - column);
    return expanded(left, text, target + left);
  }
  column += pad;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (column >= target) return expanded(0, text.substr(i), column);
    char c = text[i];
    if (c == ' ') {
      ++column;
    } else if (c == '\t') {
      std::size_t end = advance_column(column, c);
      if (end > target) return expanded(end - target, text.substr(i + 1), end);
      column = end;
    } else {
      return Rest{0, text.substr(i)};
    }
  }
  return Rest{};
}

std::string Line::strip_from(std::size_t target) const {
  Rest rest{0, start <= text.size() ? text.substr(start) : std::string_view()};
  return rest.strip_from(column, target).str();
}

}  // namespace vedavi::line
