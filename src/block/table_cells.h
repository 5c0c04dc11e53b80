// The cells of a pipe table's line: split at unescaped "|" and trimmed, for the header row while
// the table is read and for body rows as they are finished.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "model/line.h"

namespace vedavi::block::table_cells {

// `line::trim` of a cell. Cells are mostly padded with spaces: those are stripped here first, so
// that the full white-space trim finds printable bytes at both ends and decodes nothing. It runs
// once per cell and does about as much work as a call costs, so it is folded into the cell loops.
[[gnu::always_inline]] inline std::string_view trim_cell(std::string_view cell) {
  const char* begin = cell.data();
  const char* end = begin + cell.size();
  while (begin != end && *begin == ' ') ++begin;
  while (end != begin && end[-1] == ' ') --end;
  return line::trim(std::string_view(begin, std::size_t(end - begin)));
}

#if defined(__SSE2__)
// The "|" among the `n` bytes at `p` (16 <= n <= 64) as a bit mask, bit k for byte k. Four
// loads whatever `n`: those that would run past the end start sixteen bytes before it instead,
// and their bits land again where an earlier load put them. With `backslashes`, the backslashes
// among the bytes are added to it.
[[gnu::always_inline]] inline std::uint64_t pipe_bits(const char* p, std::size_t n, __m128i* backslashes = nullptr) {
  const __m128i pipe = _mm_set1_epi8('|');
  const std::size_t last = n - 16;
  const auto bits = [&](std::size_t at) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    if (backslashes) *backslashes = _mm_or_si128(*backslashes, _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\')));
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, pipe)))) << at;
  };
  return bits(0) | bits(std::min<std::size_t>(16, last)) | bits(std::min<std::size_t>(32, last)) |
         bits(std::min<std::size_t>(48, last));
}
#endif

// Calls `f(begin, end)` with each piece of `t` between its "|" (and its ends), in order. With
// `backslash`, sets it when `t` holds a backslash, found in the same pass (after the calls).
template <class F>
[[gnu::always_inline]] inline void for_each_piece(std::string_view t, F&& f, bool* backslash = nullptr) {
  std::size_t start = 0;
  const char* bytes = t.data();
  const std::size_t n = t.size();
#if defined(__SSE2__)
  // The pipes of 64 bytes at a time, the last window ending with the text and its bytes already
  // looked at masked out: rows are a few dozen bytes to a few hundred with a pipe every few
  // words, and a loop over sixteen-byte blocks would mispredict its exit and its empty blocks.
  if (n >= 16) {
    __m128i backslashes = _mm_setzero_si128();
    __m128i* const seen = backslash ? &backslashes : nullptr;
    std::size_t i = 0;
    const auto pieces = [&](std::size_t base, std::uint64_t mask) __attribute__((always_inline)) {
      for (; mask != 0; mask &= mask - 1) {
        const std::size_t at = base + static_cast<std::size_t>(__builtin_ctzll(mask));
        f(start, at);
        start = at + 1;
      }
    };
    for (; n - i > 64; i += 64) pieces(i, pipe_bits(bytes + i, 64, seen));
    const std::size_t window = std::min<std::size_t>(n, 64);
    const std::size_t base = n - window;  // at most i, and i - base < 64
    pieces(base, pipe_bits(bytes + base, window, seen) & (~std::uint64_t{0} << (i - base)));
    f(start, n);
    if (backslash) *backslash = _mm_movemask_epi8(backslashes) != 0;
    return;
  }
#endif
  bool seen = false;
  for (std::size_t i = 0; i < n; ++i) {
    seen |= bytes[i] == '\\';
    if (bytes[i] == '|') {
      f(start, i);
      start = i + 1;
    }
  }
  f(start, n);
  if (backslash) *backslash = seen;
}

// Calls `f` with each trimmed cell of `line`, split at unescaped "|". Without a backslash the
// cells are pieces of the trimmed line, or of its copy in `room(n)` (n bytes) unless `in_place`;
// with one they are rebuilt back to back in such a room, which they never outgrow: an escape keeps
// its two bytes, or one for "\|". With `past_leading_pipe`, a "|" the trimmed line begins with is
// passed over: no empty cell stands before it.
template <class Room, class F>
void for_each_cell(std::string_view line, bool in_place, Room&& room, F&& f, bool past_leading_pipe = false) {
  std::string_view t = line::trim(line);
  if (past_leading_pipe && !t.empty() && t.front() == '|') t.remove_prefix(1);
  if (t.find('\\') == std::string_view::npos) {
    if (!in_place && !t.empty()) {
      char* copy = room(t.size());
      std::memcpy(copy, t.data(), t.size());
      t = std::string_view(copy, t.size());
    }
    // Each piece lies in `t`: taken without substr's bounds check.
    for_each_piece(t, [&](std::size_t begin, std::size_t end) __attribute__((always_inline)) {
      f(trim_cell(std::string_view(t.data() + begin, end - begin)));
    });
    return;
  }
  char* const out = room(t.size());
  char* at = out;    // the end of the text rebuilt so far
  char* cell = out;  // where the current cell starts in it
  std::size_t i = 0;
  while (true) {
    std::size_t j = i;
    while (j < t.size() && t[j] != '|' && t[j] != '\\') ++j;
    std::memcpy(at, t.data() + i, j - i);
    at += j - i;
    if (j == t.size()) break;
    if (t[j] == '|') {
      f(trim_cell(std::string_view(cell, std::size_t(at - cell))));
      cell = at;
      i = j + 1;
    } else if (j + 1 < t.size()) {
      if (t[j + 1] != '|') *at++ = '\\';
      *at++ = t[j + 1];
      i = j + 2;
    } else {
      *at++ = '\\';
      i = j + 1;
    }
  }
  f(trim_cell(std::string_view(cell, std::size_t(at - cell))));
}

// Calls `f(cell, column)` for each of the `width` cells of the body row `line` of a table: extra
// cells are dropped and missing ones empty; an empty cell before a leading pipe (`leading_pipe`:
// the header row begins with one) is no cell. `line` outlives what `f` keeps of the cells; a line
// with a backslash is rebuilt in `room(n)`, as in `for_each_cell`.
template <class Room, class F>
[[gnu::always_inline]] inline void for_each_body_cell(std::string_view line, std::size_t width,
                                                      bool leading_pipe, Room&& room, F&& f) {
  // The first cell is empty exactly when the trimmed line begins with "|" (the trim leaves no
  // white space before it): the pipe is passed over instead of its empty cell cut and dropped.
  std::size_t count = 0;
  for_each_cell(
      line, true, room,
      [&](std::string_view cell) __attribute__((always_inline)) {
        if (count < width) {
          f(cell, count);
          ++count;
        }
      },
      leading_pipe);
  for (; count < width; ++count) f(std::string_view(), count);
}

// As `for_each_body_cell`, but a line with a backslash is rebuilt only after `f` was called for
// its cells as cut at every pipe: each column is called for again then, and the last call for a
// column is the one that holds.
template <class Room, class F>
[[gnu::always_inline]] inline void cut_body_row(std::string_view line, std::size_t width, bool leading_pipe,
                                                Room&& room, F&& f) {
  // The first cell is empty exactly when the trimmed line begins with "|" (the trim leaves no
  // white space before it): the pipe is passed over instead of its empty cell cut and dropped.
  std::string_view t = line::trim(line);
  if (leading_pipe && !t.empty() && t.front() == '|') t.remove_prefix(1);
  // The line is cut at its pipes straight away, and looked at for a backslash in the same pass:
  // a line with one, which may escape a pipe, is read again by `for_each_cell`.
  std::size_t count = 0;
  bool backslash = false;
  for_each_piece(
      t,
      [&](std::size_t begin, std::size_t end) __attribute__((always_inline)) {
        if (count < width) {
          f(trim_cell(std::string_view(t.data() + begin, end - begin)), count);
          ++count;
        }
      },
      &backslash);
  if (backslash) [[unlikely]] {
    // Out of line: the rows read so are rare, and the loop over the others stays small.
    [&]() __attribute__((noinline, cold)) { for_each_body_cell(line, width, leading_pipe, room, f); }();
    return;
  }
  for (; count < width; ++count) f(std::string_view(), count);
}

}  // namespace vedavi::block::table_cells
