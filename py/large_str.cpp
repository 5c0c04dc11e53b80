// A large str from UTF-8 in two passes: one that measures (code points, widest character) while
// skipping ASCII sixteen bytes at a time, one that writes straight into a str of the right kind,
// widening ASCII runs a block at a time. The interpreter's own decoder learns the width as it
// goes and widens what it has written when a wider character appears, which costs several times
// more on HTML with a few non-ASCII characters in it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "convert.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vedavi::py {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The end of the run of ASCII bytes that starts at `i`.
std::size_t ascii_run_end(const unsigned char* bytes, std::size_t i, std::size_t n) {
#if defined(__SSE2__)
  // HTML is mostly ASCII: four blocks are tested with one mask, and the block that ends the run
  // is found below.
  while (i + 64 <= n) {
    const auto* at = reinterpret_cast<const __m128i*>(bytes + i);
    const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(at), _mm_loadu_si128(at + 1)),
                                     _mm_or_si128(_mm_loadu_si128(at + 2), _mm_loadu_si128(at + 3)));
    if (_mm_movemask_epi8(any) != 0) break;
    i += 64;
  }
  while (i + 16 <= n) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk));
    if (high != 0) return i + static_cast<std::size_t>(__builtin_ctz(high));
    i += 16;
  }
#endif
  while (i + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word & kHighBits) break;
    i += 8;
  }
  while (i < n && bytes[i] < 0x80) ++i;
  return i;
}

// Copies the ASCII bytes [begin, end) into code units; returns the unit after the last written.
template <class Unit>
Unit* widen_ascii(const unsigned char* begin, const unsigned char* end, Unit* out) {
  if constexpr (sizeof(Unit) == 1) {
    std::memcpy(out, begin, std::size_t(end - begin));
    return out + (end - begin);
  } else {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; end - begin >= 16; begin += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
      const __m128i low = _mm_unpacklo_epi8(chunk, zero);
      const __m128i high = _mm_unpackhi_epi8(chunk, zero);
      if constexpr (sizeof(Unit) == 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), high);
      } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(low, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(low, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpacklo_epi16(high, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm_unpackhi_epi16(high, zero));
      }
      out += 16;
    }
#endif
    for (; begin < end; ++begin) *out++ = Unit(*begin);
    return out;
  }
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of the multi-byte sequence at `i` and its length; length 0 when the bytes are
// not well-formed UTF-8 (truncated, overlong, a surrogate or beyond U+10FFFF).
struct Sequence {
  std::uint32_t cp;
  std::size_t len;
};

Sequence decode_sequence(const unsigned char* b, std::size_t i, std::size_t n) {
  const unsigned char lead = b[i];
  if (lead >= 0xC2 && lead <= 0xDF) {
    if (i + 1 < n && is_continuation(b[i + 1])) return {std::uint32_t(lead & 0x1F) << 6 | (b[i + 1] & 0x3F), 2};
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    if (i + 2 < n && is_continuation(b[i + 1]) && is_continuation(b[i + 2])) {
      const std::uint32_t cp = std::uint32_t(lead & 0x0F) << 12 | std::uint32_t(b[i + 1] & 0x3F) << 6 |
                               (b[i + 2] & 0x3F);
      if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) return {cp, 3};
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    if (i + 3 < n && is_continuation(b[i + 1]) && is_continuation(b[i + 2]) && is_continuation(b[i + 3])) {
      const std::uint32_t cp = std::uint32_t(lead & 0x07) << 18 | std::uint32_t(b[i + 1] & 0x3F) << 12 |
                               std::uint32_t(b[i + 2] & 0x3F) << 6 | (b[i + 3] & 0x3F);
      if (cp >= 0x10000 && cp <= 0x10FFFF) return {cp, 4};
    }
  }
  return {0, 0};
}

struct Measure {
  std::size_t length = 0;   // code points
  std::uint32_t widest = 0;
  bool valid = true;
};

Measure measure(const unsigned char* bytes, std::size_t n) {
  Measure m;
  for (std::size_t i = 0; i < n;) {
    const std::size_t end = ascii_run_end(bytes, i, n);
    m.length += end - i;
    if (end > i) m.widest = std::max<std::uint32_t>(m.widest, 0x7F);
    i = end;
    if (i == n) break;
    const Sequence s = decode_sequence(bytes, i, n);
    if (s.len == 0) {
      m.valid = false;
      return m;
    }
    m.widest = std::max(m.widest, s.cp);
    ++m.length;
    i += s.len;
  }
  return m;
}

// Writes the code units of well-formed UTF-8; returns the unit after the last written.
template <class Unit>
Unit* fill(const unsigned char* bytes, std::size_t n, Unit* out) {
  for (std::size_t i = 0; i < n;) {
    const std::size_t end = ascii_run_end(bytes, i, n);
    out = widen_ascii(bytes + i, bytes + end, out);
    i = end;
    if (i == n) break;
    const Sequence s = decode_sequence(bytes, i, n);
    *out++ = Unit(s.cp);
    i += s.len;
  }
  return out;
}

const unsigned char* bytes_of(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

template <class Unit>
void fill_pieces(std::span<const std::string_view> pieces, void* data) {
  auto* out = static_cast<Unit*>(data);
  for (std::string_view piece : pieces) out = fill(bytes_of(piece), piece.size(), out);
}

}  // namespace

Ref new_large_str(std::string_view utf8) {
  return new_large_str(std::span<const std::string_view>(&utf8, 1));
}

Ref new_large_str(std::span<const std::string_view> pieces) {
  Measure whole;
  for (std::string_view piece : pieces) {
    const Measure m = measure(bytes_of(piece), piece.size());
    if (!m.valid) {
      // Ill-formed input goes to the interpreter's decoder, which raises its usual error.
      std::string joined;
      for (std::string_view p : pieces) joined += p;
      return new_str(joined);
    }
    whole.length += m.length;
    whole.widest = std::max(whole.widest, m.widest);
  }
  Ref str = check(PyUnicode_New(Py_ssize_t(whole.length), Py_UCS4(whole.widest)));
  void* data = PyUnicode_DATA(str.get());
  switch (PyUnicode_KIND(str.get())) {
    case PyUnicode_1BYTE_KIND:
      if (whole.widest < 0x80) {
        auto* out = static_cast<char*>(data);
        for (std::string_view piece : pieces) out = std::copy(piece.begin(), piece.end(), out);
      } else {
        fill_pieces<Py_UCS1>(pieces, data);
      }
      break;
    case PyUnicode_2BYTE_KIND:
      fill_pieces<Py_UCS2>(pieces, data);
      break;
    default:
      fill_pieces<Py_UCS4>(pieces, data);
      break;
  }
  return str;
}

}  // namespace vedavi::py
