// Large strs to and from UTF-8.
//
// A str from UTF-8 in two passes: one that measures (code points, widest character) while
// skipping ASCII sixteen bytes at a time, one that writes straight into a str of the right kind,
// widening ASCII runs a block at a time. The interpreter's own decoder learns the width as it
// goes and widens what it has written when a wider character appears, which costs several times
// more on HTML with a few non-ASCII characters in it.
//
// The UTF-8 of a str likewise: one pass measures it, one writes it into a bytes object of that
// size, narrowing ASCII runs a block at a time. The interpreter's encoder takes each code unit
// on its own.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/cpu.h"
#include "convert.h"

#include <cstdlib>  // defines __GLIBC__ on glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
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

#if defined(__SSE2__)
// Stores an ASCII block as sixteen wider units; returns the unit after them.
template <class Unit>
[[gnu::always_inline]] inline Unit* widen_block(__m128i chunk, Unit* out) {
  const __m128i zero = _mm_setzero_si128();
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
  return out + 16;
}
#endif

// Copies the ASCII bytes [begin, end) into code units; returns the unit after the last written.
template <class Unit>
Unit* widen_ascii(const unsigned char* begin, const unsigned char* end, Unit* out) {
  if constexpr (sizeof(Unit) == 1) {
    std::memcpy(out, begin, std::size_t(end - begin));
    return out + (end - begin);
  } else {
#if defined(__SSE2__)
    for (; end - begin >= 16; begin += 16)
      out = widen_block(_mm_loadu_si128(reinterpret_cast<const __m128i*>(begin)), out);
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
#if defined(__SSE2__)
    if constexpr (sizeof(Unit) > 1) {
      // Wider units: four blocks are widened as soon as they are found to be ASCII, in the one
      // pass; the blocks that end the run are left to the run's end below.
      for (; i + 64 <= n; i += 64) {
        const auto* at = reinterpret_cast<const __m128i*>(bytes + i);
        const __m128i a = _mm_loadu_si128(at), b = _mm_loadu_si128(at + 1);
        const __m128i c = _mm_loadu_si128(at + 2), d = _mm_loadu_si128(at + 3);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
        out = widen_block(d, widen_block(c, widen_block(b, widen_block(a, out))));
      }
    }
#endif
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
void fill_pieces(std::span<const std::string_view> pieces, void* data,
                 const std::function<void(std::size_t)>& written) {
  auto* out = static_cast<Unit*>(data);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    out = fill(bytes_of(pieces[i]), pieces[i].size(), out);
    if (written) written(i);
  }
}

}  // namespace

Ref new_large_str(std::string_view utf8) {
  return new_large_str(std::span<const std::string_view>(&utf8, 1), nullptr);
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The copy below by 32-byte blocks, for the processors that have them (nearly all): half the
// loads, tests and stores. The blocks that end the copy are left to the general copy.
[[gnu::target("avx2")]] std::size_t copy_ascii_wide(const unsigned char* bytes, std::size_t n, char* out) {
  std::size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    const auto* at = reinterpret_cast<const __m256i*>(bytes + i);
    const __m256i a = _mm256_loadu_si256(at), b = _mm256_loadu_si256(at + 1);
    const __m256i c = _mm256_loadu_si256(at + 2), d = _mm256_loadu_si256(at + 3);
    if (_mm256_movemask_epi8(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d))) != 0) break;
    auto* to = reinterpret_cast<__m256i*>(out + i);
    _mm256_storeu_si256(to, a);
    _mm256_storeu_si256(to + 1, b);
    _mm256_storeu_si256(to + 2, c);
    _mm256_storeu_si256(to + 3, d);
  }
  return i;
}
#endif

// Copies ASCII bytes from the start of [0, n) up to the first byte from 0x80 up; returns how many
// it copied (n when every byte is ASCII).
std::size_t copy_ascii(const unsigned char* bytes, std::size_t n, char* out) {
  std::size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (cpu::has_wide_blocks()) i = copy_ascii_wide(bytes, n, out);
#endif
#if defined(__SSE2__)
  for (; i + 64 <= n; i += 64) {
    const auto* at = reinterpret_cast<const __m128i*>(bytes + i);
    const __m128i a = _mm_loadu_si128(at), b = _mm_loadu_si128(at + 1);
    const __m128i c = _mm_loadu_si128(at + 2), d = _mm_loadu_si128(at + 3);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
    auto* to = reinterpret_cast<__m128i*>(out + i);
    _mm_storeu_si128(to, a);
    _mm_storeu_si128(to + 1, b);
    _mm_storeu_si128(to + 2, c);
    _mm_storeu_si128(to + 3, d);
  }
  for (; i + 16 <= n; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    if (_mm_movemask_epi8(chunk) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), chunk);
  }
#endif
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if (word & kHighBits) break;
    std::memcpy(out + i, &word, 8);
  }
  for (; i < n && bytes[i] < 0x80; ++i) out[i] = char(bytes[i]);
  return i;
}

// A str of the UTF-8 pieces in two passes: one measures them all, one writes them.
Ref new_measured_str(std::span<const std::string_view> pieces,
                     const std::function<void(std::size_t)>& written) {
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
        for (std::size_t i = 0; i < pieces.size(); ++i) {
          out = std::copy(pieces[i].begin(), pieces[i].end(), out);
          if (written) written(i);
        }
      } else {
        fill_pieces<Py_UCS1>(pieces, data, written);
      }
      break;
    case PyUnicode_2BYTE_KIND:
      fill_pieces<Py_UCS2>(pieces, data, written);
      break;
    default:
      fill_pieces<Py_UCS4>(pieces, data, written);
      break;
  }
  return str;
}

}  // namespace

Ref new_large_str(std::span<const std::string_view> pieces, const std::function<void(std::size_t)>& written) {
  // HTML is often ASCII throughout: it is copied into an ASCII str as it is tested, in one pass.
  // At the first piece that is not, the pieces copied whole (which `written` may have let go of)
  // are taken back from that str and joined to the rest, which is measured and written.
  std::size_t total = 0;
  for (std::string_view piece : pieces) total += piece.size();
  Ref ascii = check(PyUnicode_New(Py_ssize_t(total), 0x7F));
  auto* out = static_cast<char*>(PyUnicode_DATA(ascii.get()));
  std::size_t done = 0;
  std::size_t copied = 0;  // the bytes of the pieces before `done`
  for (; done < pieces.size(); ++done) {
    const std::string_view piece = pieces[done];
    if (copy_ascii(bytes_of(piece), piece.size(), out + copied) < piece.size()) break;
    copied += piece.size();
    if (written) written(done);
  }
  if (done == pieces.size()) return ascii;
  // The ASCII str goes before the other is made, which may then take its place.
  std::string prefix(out, copied);
  ascii = Ref();
  std::vector<std::string_view> rest;
  rest.reserve(pieces.size() - done + 1);
  rest.push_back(prefix);
  rest.insert(rest.end(), pieces.begin() + std::ptrdiff_t(done), pieces.end());
  if (!written) return new_measured_str(rest, nullptr);
  return new_measured_str(rest, [&](std::size_t i) {
    if (i > 0) written(done + i - 1);
  });
}

namespace {

#if defined(__SSE2__)
// The set bits of a block's byte mask, by table: the target need not have a population count
// instruction, and the library's routine is a call.
constexpr std::array<std::uint8_t, 256> kSetBits = [] {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b < 256; ++b)
    for (int v = b; v != 0; v &= v - 1) ++table[std::size_t(b)];
  return table;
}();
std::size_t set_bits(int mask) {
  return std::size_t{kSetBits[unsigned(mask) & 0xFF]} + kSetBits[(unsigned(mask) >> 8) & 0xFF];
}
#endif

// The UTF-8 length of `units`, or nothing when one is a surrogate (which has no UTF-8 form).
template <class Unit>
std::optional<std::size_t> utf8_length(const Unit* units, std::size_t n) {
  std::size_t length = n;
  std::size_t i = 0;
#if defined(__SSE2__)
  if constexpr (sizeof(Unit) == 1) {
    // Each byte from 0x80 up takes two.
    for (; i + 16 <= n; i += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      length += set_bits(_mm_movemask_epi8(chunk));
    }
  } else if constexpr (sizeof(Unit) == 2) {
    // A unit above 0x7F takes one byte more, above 0x7FF two; the mask has two bits per unit.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const __m128i high = _mm_and_si128(chunk, _mm_set1_epi16(short(0xFF80)));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, zero)) == 0xFFFF) continue;  // all ASCII
      const __m128i surrogate = _mm_cmpeq_epi16(_mm_and_si128(chunk, _mm_set1_epi16(short(0xF800))),
                                                _mm_set1_epi16(short(0xD800)));
      if (_mm_movemask_epi8(surrogate) != 0) return std::nullopt;
      const auto above = [&](int top) {
        const __m128i at_most = _mm_cmpeq_epi16(_mm_subs_epu16(chunk, _mm_set1_epi16(short(top))), zero);
        return (16 - set_bits(_mm_movemask_epi8(at_most))) / 2;
      };
      length += above(0x7F) + above(0x7FF);
    }
  }
#endif
  for (; i < n; ++i) {
    const std::uint32_t c = units[i];
    if (c < 0x80) continue;
    if (c >= 0xD800 && c <= 0xDFFF) return std::nullopt;
    length += c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  }
  return length;
}

char* put_utf8(std::uint32_t c, char* out) {
  if (c < 0x80) {
    *out++ = char(c);
  } else if (c < 0x800) {
    *out++ = char(0xC0 | c >> 6);
    *out++ = char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = char(0xE0 | c >> 12);
    *out++ = char(0x80 | (c >> 6 & 0x3F));
    *out++ = char(0x80 | (c & 0x3F));
  } else {
    *out++ = char(0xF0 | c >> 18);
    *out++ = char(0x80 | (c >> 12 & 0x3F));
    *out++ = char(0x80 | (c >> 6 & 0x3F));
    *out++ = char(0x80 | (c & 0x3F));
  }
  return out;
}

// Writes the UTF-8 of `units` (no surrogate among them); returns the byte after the last written.
template <class Unit>
char* write_utf8(const Unit* units, std::size_t n, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  if constexpr (sizeof(Unit) <= 2) {
    // A block of units is narrowed to bytes and stored whole, and the output advanced past its
    // ASCII units up to the first other one, which is written on its own; the next block starts
    // after it. Each unit writes at least one byte, so what is stored stays within the output.
    constexpr std::size_t kBlock = 16 / sizeof(Unit);
    while (i + kBlock <= n) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      unsigned wide;  // sizeof(Unit) bits per unit that is not ASCII
      if constexpr (sizeof(Unit) == 1) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chunk);
        wide = unsigned(_mm_movemask_epi8(chunk));
      } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(chunk, chunk));
        const __m128i high = _mm_and_si128(chunk, _mm_set1_epi16(short(0xFF80)));
        wide = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128()))) ^ 0xFFFFu;
      }
      if (wide == 0) {
        i += kBlock;
        out += kBlock;
        continue;
      }
      const std::size_t ascii = std::size_t(__builtin_ctz(wide)) / sizeof(Unit);
      i += ascii;
      out = put_utf8(units[i], out + ascii);
      ++i;
    }
  }
#endif
  for (; i < n; ++i) out = put_utf8(units[i], out);
  return out;
}

template <class Unit>
Ref bytes_of_units(const void* data, std::size_t n) {
  const auto* units = static_cast<const Unit*>(data);
  const auto length = utf8_length(units, n);
  if (!length) return Ref();
  Ref bytes = check(PyBytes_FromStringAndSize(nullptr, Py_ssize_t(*length)));
  write_utf8(units, n, PyBytes_AS_STRING(bytes.get()));
  return bytes;
}

}  // namespace

void free_piece(std::string& piece) {
#if defined(__linux__)
  static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(piece.data()) + page - 1) & ~(page - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(piece.data()) + piece.capacity()) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#endif
  std::string().swap(piece);
}

void return_freed_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

Ref large_str_utf8(Borrowed str) {
  PyObject* obj = str.get();
  const auto n = std::size_t(PyUnicode_GET_LENGTH(obj));
  const void* data = PyUnicode_DATA(obj);
  Ref bytes;
  switch (PyUnicode_KIND(obj)) {
    case PyUnicode_1BYTE_KIND: bytes = bytes_of_units<Py_UCS1>(data, n); break;
    case PyUnicode_2BYTE_KIND: bytes = bytes_of_units<Py_UCS2>(data, n); break;
    default: bytes = bytes_of_units<Py_UCS4>(data, n); break;
  }
  // A surrogate goes to the interpreter's encoder, which raises its usual error.
  if (!bytes) bytes = check(PyUnicode_AsUTF8String(obj));
  return bytes;
}

}  // namespace vedavi::py
