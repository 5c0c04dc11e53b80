// Bare autolinks and the e-mail address grammar.
#include "inline/autolink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <string>

#include "inline/byte_scan.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

constexpr std::size_t kWordLimit = kBareLinkWordLimit;

bool is_url_trailing_punct(char c) {
  return c == '!' || c == '"' || c == '\'' || c == '*' || c == ',' || c == '.' || c == ':' ||
         c == '?' || c == '~';
}

bool starts_with_icase(std::string_view text, std::size_t p, std::string_view lower) {
  if (text.size() - p < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = text[p + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// Whether each ASCII character is white space, read once from the Unicode table.
const std::array<bool, 128> kAsciiWhite = [] {
  std::array<bool, 128> table{};
  for (char32_t c = 0; c < 128; ++c) table[c] = unicode::is_white_space(c);
  return table;
}();

// The character at `i`: an ASCII byte stands for itself, and addresses are mostly ASCII, so
// only the rest is decoded.
utf8::Decoded char_at(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x80) return {byte, 1, true};
  return utf8::decode(text, i);
}

bool is_white(char32_t c) { return c < 0x80 ? kAsciiWhite[c] : unicode::is_white_space(c); }

// Which ASCII characters are boundaries after which a bare link may start.
const std::array<bool, 128> kAsciiBoundary = [] {
  std::array<bool, 128> table{};
  for (char32_t c = 0; c < 128; ++c) table[c] = is_boundary(c);
  return table;
}();

// What the walk back from an address's "@" reads of a byte: whether an address's local part may
// hold it, and whether it is a boundary, after which an address may start.
enum : std::uint8_t { kLocalByte = 1, kBoundaryByte = 2 };
const std::array<std::uint8_t, 256> kAddressBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 128; ++c)
    table[c] = static_cast<std::uint8_t>((kAddressLocalChars[c] ? kLocalByte : 0) |
                                         (kAsciiBoundary[c] ? kBoundaryByte : 0));
  return table;
}();
bool is_local_byte(char c) {
  return (kAddressBytes[static_cast<unsigned char>(c)] & kLocalByte) != 0;
}

[[gnu::always_inline]] inline bool boundary_before(std::string_view text, std::size_t p) {
  if (p == 0) return true;
  // An ASCII byte is a whole character.
  const auto byte = static_cast<unsigned char>(text[p - 1]);
  return byte < 0x80 ? kAsciiBoundary[byte] : is_boundary(utf8::prev_char(text, p));
}

// The bytes a block test stops at for candidate_end: every byte below "!" (ASCII white space is
// among them) or from 0x80 on, which as signed bytes are one range, and "<", with "]" when
// `kInBrackets`.
template <bool kInBrackets>
constexpr ByteTable kBelowBangStops = [] {
  ByteTable table{};
  for (int c = 0; c <= ' '; ++c) table[c] = true;
  for (int c = 0x80; c < 0x100; ++c) table[c] = true;
  table['<'] = true;
  table[']'] = kInBrackets;
  return table;
}();

// The first white space or "<" at or after `from` (or "]" when `kInBrackets`), or the end. A
// control byte that is no white space, or a character that is none, is passed over.
// Built into its callers: a web link, the most frequent, spares the call.
template <bool kInBrackets>
[[gnu::always_inline]] inline std::size_t find_candidate_end(std::string_view text, std::size_t from) {
  const std::size_t n = text.size();
  for (std::size_t i = from;;) {
#if defined(__SSE2__)
    i = find_by_mask(text, i, n, kBelowBangStops<kInBrackets>, [](__m128i chunk) {
      __m128i hits = _mm_or_si128(_mm_cmplt_epi8(chunk, _mm_set1_epi8('!')),
                                  _mm_cmpeq_epi8(chunk, _mm_set1_epi8('<')));
      if constexpr (kInBrackets) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(']')));
      return static_cast<unsigned>(_mm_movemask_epi8(hits));
    });
#else
    i = find_marked(text, i, n, kBelowBangStops<kInBrackets>);
#endif
    if (i >= n) return n;
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (byte == '<' || (kInBrackets && byte == ']') || kAsciiWhite[byte]) return i;
      ++i;
      continue;
    }
    const utf8::Decoded d = utf8::decode(text, i);
    if (unicode::is_white_space(d.cp)) return i;
    i += d.len;
  }
}

// The first white space or "<" at or after `from` (or "]" when `in_brackets`), or the end.
std::size_t candidate_end(std::string_view text, std::size_t from, bool in_brackets) {
  return in_brackets ? find_candidate_end<true>(text, from) : find_candidate_end<false>(text, from);
}

// Which ASCII bytes a domain label holds (letters, digits, "-", "_"), and which of them are
// letters or digits.
enum : std::uint8_t { kLabelByte = 1, kAlnumByte = 2 };
constexpr std::array<std::uint8_t, 256> kDomainBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 128; ++c) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum) table[c] = kLabelByte | kAlnumByte;
    if (c == '-' || c == '_') table[c] = kLabelByte;
  }
  return table;
}();

// The end of the longest address whose "@" is at `at`, within `limit`, less trailing
// punctuation: dot-separated domain labels of letters, digits, "-" and "_", each starting and
// ending with a letter or digit, at least two of them, the last cut after its last letter or
// digit; npos without one. A label at a time; every character outside ASCII ends the address,
// so bytes are read as they are.
std::size_t domain_end(std::string_view text, std::size_t at, std::size_t limit) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto alnum = [&](std::size_t i) { return (kDomainBytes[bytes[i]] & kAlnumByte) != 0; };
  std::size_t best = std::string_view::npos;
  bool dot_seen = false;
  for (std::size_t label_start = at + 1;;) {
    std::size_t end = label_start;
    while (end < limit && (kDomainBytes[bytes[end]] & kLabelByte) != 0) ++end;
    const bool starts_well = end > label_start && alnum(label_start);
    if (dot_seen && starts_well) {
      best = end;
      while (!alnum(best - 1)) --best;
    }
    // A label ends at a dot: it must be whole, and the address cannot end on the dot.
    if (end == limit || bytes[end] != '.' || !starts_well || !alnum(end - 1)) return best;
    dot_seen = true;
    label_start = end + 1;
  }
}

// The end of the run of local-part bytes from `start` when an "@" ends it within `limit`, or npos.
std::size_t local_part_end(std::string_view text, std::size_t start, std::size_t limit) {
  std::size_t at = start;
  while (at < limit && is_local_byte(text[at])) ++at;
  return at == start || at == limit || text[at] != '@' ? std::string_view::npos : at;
}

// The end of the e-mail address that starts a word at `start` (the longest, less trailing
// punctuation, within a word's length), or npos. An address followed by "_" or "-" is none: it
// would have gone on.
std::size_t email_end(std::string_view text, std::size_t start) {
  // A word ends at white space or after kWordLimit bytes, before a character that limit cuts;
  // white space and such characters end an address anyway.
  const std::size_t limit = std::min(text.size(), start + kWordLimit);
  const std::size_t at = local_part_end(text, start, limit);
  if (at == std::string_view::npos) return at;
  const std::size_t end = domain_end(text, at, limit);
  if (end != std::string_view::npos && end < limit && (text[end] == '_' || text[end] == '-'))
    return std::string_view::npos;
  return end;
}

}  // namespace

bool is_boundary(char32_t c) {
  switch (c) {
    case 0: case '(': case '[': case '{': case ':': case ';': case '\'': case '"': case '/':
    case '*': case '~':
      return true;
    default:
      return unicode::is_white_space(c);
  }
}

bool is_email(std::string_view s) {
  // The whole of `s` is the longest address it starts with: an address never ends in trailing
  // punctuation (its last label ends with a letter or digit).
  const std::size_t at = local_part_end(s, 0, s.size());
  return at != std::string_view::npos && domain_end(s, at, s.size()) == s.size();
}

std::size_t trim_trailing_url_punct(std::string_view text, std::size_t start, std::size_t end) {
  while (end > start && is_url_trailing_punct(text[end - 1])) --end;
  return end;
}

std::size_t trim_bare_url_end(std::string_view text, std::size_t start, std::size_t end) {
  // Most links end in a letter, digit or "/", which nothing here trims.
  if (end > start && scan::is_ascii_alnum(text[end - 1])) return end;
  end = trim_trailing_url_punct(text, start, end);
  bool entity_tail = false;
  if (end > start && text[end - 1] == ';') {
    // Only an "&" of the link itself counts: searched within it, so that a text of many links
    // ending in ";" is not searched back to its start once per link.
    const std::size_t found = text.substr(start, end - 1 - start).rfind('&');
    const std::size_t amp = found == std::string_view::npos ? found : start + found;
    if (amp != std::string_view::npos && amp + 2 < end) {
      bool alnum = true;
      for (std::size_t i = amp + 1; i + 1 < end; ++i) alnum = alnum && scan::is_ascii_alnum(text[i]);
      if (alnum) {
        end = amp;
        entity_tail = true;
      }
    }
  }
  if (!entity_tail) {
    while (end > start && text[end - 1] == ';') --end;
  }
  // Unbalanced closing parentheses at the end are not the link's; the count is only needed when
  // the link ends in one.
  if (end > start && text[end - 1] == ')') {
    std::size_t open = 0, close = 0;
    for (std::size_t i = start; i < end; ++i) {
      open += text[i] == '(';
      close += text[i] == ')';
    }
    while (end > start && text[end - 1] == ')' && close > open) {
      --end;
      --close;
    }
  }
  return trim_trailing_url_punct(text, start, end);
}

bool preceded_by_angle_opener(std::string_view text, std::size_t p) {
  while (p > 0) {
    // An ASCII byte is a whole character.
    const std::size_t prev =
        static_cast<unsigned char>(text[p - 1]) < 0x80 ? p - 1 : utf8::prev_boundary(text, p);
    const char32_t c = char_at(text, prev).cp;
    if (!is_white(c)) return c == '<';
    p = prev;
  }
  return false;
}

std::size_t AutolinkMemo::find_at_sign(std::string_view text, std::size_t from) {
  const std::size_t pos = text.find('@', from);
  at_found_ = pos == std::string_view::npos ? text.size() : pos;
  at_from_ = from;
  at_valid_ = true;
  // Without an "@" there is no local part to look back over.
  if (at_found_ == text.size()) {
    local_start_ = at_found_;
    return at_found_;
  }
  // No address reaches an "@" from farther back than the word limit, so neither does the look.
  const std::size_t floor = at_found_ >= kWordLimit ? at_found_ - kWordLimit + 1 : 0;
  std::size_t start = at_found_;
  while (start > floor && is_local_byte(text[start - 1])) --start;
  local_start_ = start;
  return at_found_;
}

namespace {

// "https://" and "http://" as a little-endian word holds them (the latter in its low seven bytes).
constexpr std::uint64_t little_endian_word(std::string_view bytes) {
  std::uint64_t word = 0;
  for (std::size_t k = bytes.size(); k-- > 0;) word = word << 8 | static_cast<unsigned char>(bytes[k]);
  return word;
}
constexpr std::uint64_t kHttpsWord = little_endian_word("https://");
constexpr std::uint64_t kHttpWord = little_endian_word("http://");

// Whether a scheme that makes a bare link ends with the ":" at `colon` and starts `back` bytes
// before it: only one scheme has each length.
bool scheme_ends_at(std::string_view text, std::size_t colon, std::size_t back) {
  const std::string_view rest = text.substr(colon - back);
  switch (back) {
    case 6: return starts_with_icase(text, colon - back, "mailto:");
    case 5: return rest.starts_with("https://");
    case 4: return rest.starts_with("http://") || starts_with_icase(text, colon - back, "xmpp:");
    default: return rest.starts_with("ftp://");
  }
}

// The start of the scheme that makes a bare link and ends with the ":" at `colon`, at or after
// `floor`, or npos. The letter before the ":" tells "https" ("s"), "mailto" ("o" in any case)
// and the rest ("p"), whose first letters tell them apart.
std::size_t scheme_start(std::string_view text, std::size_t colon, std::size_t floor) {
  constexpr std::size_t none = std::string_view::npos;
  // Most schemes are "https://" or "http://": the eight bytes from five before the ":" tell
  // both at once.
  if constexpr (std::endian::native == std::endian::little) {
    if (colon >= floor + 5 && colon + 3 <= text.size()) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + colon - 5, 8);
      if (word == kHttpsWord) return colon - 5;
      if (word >> 8 == kHttpWord) return colon - 4;
    }
  }
  if (colon < floor + 3) return none;
  const auto starts = [&](std::size_t back) {
    return scheme_ends_at(text, colon, back) ? colon - back : none;
  };
  switch (text[colon - 1] | 0x20) {
    case 's': return colon >= floor + 5 && text[colon - 5] == 'h' ? starts(5) : none;
    case 'o': return colon >= floor + 6 && (text[colon - 6] | 0x20) == 'm' ? starts(6) : none;
    case 'p': {
      // An "ftp" after "h" or "x" follows a letter, so no link starts with it.
      const char first = colon >= floor + 4 ? text[colon - 4] : '\0';
      if (first == 'h' || (first | 0x20) == 'x') return starts(4);
      return text[colon - 3] == 'f' ? starts(3) : none;
    }
    default: return none;
  }
}

// The bytes from which the candidates are found: ":" ends a scheme, "@" follows an address's
// local part, and "w" followed by "." may end a "www.".
bool is_candidate_mark(std::string_view text, std::size_t i) {
  const char c = text[i];
  return c == ':' || c == '@' || (c == 'w' && i + 1 < text.size() && text[i + 1] == '.');
}

}  // namespace

void AutolinkMemo::mark_address(std::string_view text, std::size_t at) {
  // An address starts in the run of local-part bytes before its "@" (all ASCII, at most a word's
  // length back), after a boundary: at the run's start or after a boundary byte inside it. Only
  // the window's part of the run is walked.
  const std::size_t floor = std::max(at >= kWordLimit ? at - kWordLimit + 1 : 0, base_);
  // The walk back notes whether the run holds a boundary byte at all: most hold none, and then
  // are not read again.
  std::size_t start = at;
  unsigned seen = 0;
  while (start > floor) {
    const std::uint8_t kind = kAddressBytes[static_cast<unsigned char>(text[start - 1])];
    if ((kind & kLocalByte) == 0) break;
    seen |= kind;
    --start;
  }
  if (start == at) return;
  if (boundary_before(text, start)) mark(start);
  if ((seen & kBoundaryByte) != 0) {
    for (std::size_t i = start; i + 1 < at; ++i)
      if (kAsciiBoundary[static_cast<unsigned char>(text[i])]) mark(i + 1);
  }
}

void AutolinkMemo::mark_scheme(std::string_view text, std::size_t colon) {
  const std::size_t start = scheme_start(text, colon, base_);
  if (start != std::string_view::npos) mark(start);
}

[[gnu::always_inline]] inline void AutolinkMemo::mark_from(std::string_view text, std::size_t at) {
  const char c = text[at];
  if (c == ':') {
    // Most schemes are "https://" or "http://": the eight bytes from five before the ":" tell
    // both here, as scheme_start would, without the call that reads the others.
    if constexpr (std::endian::native == std::endian::little) {
      if (at >= base_ + 5 && at + 3 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at - 5, 8);
        if (word == kHttpsWord) return mark(at - 5);
        if (word >> 8 == kHttpWord) return mark(at - 4);
      }
    }
    mark_scheme(text, at);
  } else if (c == '@') {
    mark_address(text, at);
  } else if (at >= base_ + 2 && text[at - 1] == 'w' && text[at - 2] == 'w') {  // "w" and "."
    mark(at - 2);
  }
}

inline void AutolinkMemo::fill_window(std::string_view text, std::size_t base) {
  const std::size_t n = text.size();
  base_ = base;
  window_end_ = std::min(n, base + kWindowBits);
  // Most texts are short, and a window of at most 128 offsets is read in its first two words
  // only. A longer one is cleared whole, a fixed size: a few stores, where clearing just the
  // words it reads would be a call.
  if (window_end_ - base <= 128) {
    window_[0] = window_[1] = 0;
  } else {
    window_.fill(0);
  }
  words_in_use_ = 0;
  // A scheme or "www." starts at most six bytes before the byte that marks it; an address up to
  // a word's length before its "@".
  const std::size_t marks_end = std::min(n, window_end_ + 6);
  std::size_t i = base;
  const auto mark_all = [&](std::size_t at, unsigned found) {
    for (; found != 0; found &= found - 1)
      mark_from(text, at + static_cast<std::size_t>(__builtin_ctz(found)));
  };
#if defined(__SSE2__)
  if (n >= 16) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto marks = [](__m128i chunk, __m128i next) {
      const auto is = [](__m128i c, char b) { return _mm_cmpeq_epi8(c, _mm_set1_epi8(b)); };
      const __m128i www_end = _mm_and_si128(is(chunk, 'w'), is(next, '.'));
      return static_cast<unsigned>(
          _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(is(chunk, ':'), is(chunk, '@')), www_end)));
    };
    const auto load = [&](std::size_t at) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    };
    // Each block is read with the block one byte on, up to the last block that has a byte after it.
    if (i + 17 <= marks_end) {
      const std::size_t last = marks_end - 17;
      do {
        const unsigned found = marks(load(i), load(i + 1));
        if (found != 0) mark_all(i, found);
        i += 16;
      } while (i <= last);
    }
    if (i < marks_end) {
      unsigned found;
      if (i + 17 <= n) {
        found = marks(load(i), load(i + 1));
      } else {
        // The text's last block stands in (no byte follows its last), its bytes before `i`
        // shifted out.
        const __m128i last = load(n - 16);
        found = marks(last, _mm_srli_si128(last, 1)) >> (i - (n - 16));
      }
      // Past marks_end only when the window ends before the text (the last block has none).
      if (marks_end < n) found &= (1u << (marks_end - i)) - 1;
      mark_all(i, found);
      i = marks_end;
    }
  }
#endif
  for (; i < marks_end; ++i)
    if (is_candidate_mark(text, i)) mark_from(text, i);
  if (window_end_ == n) return;
  // An "@" past those bytes may still have its local part start inside the window.
  const std::size_t at_end = std::min(n, window_end_ + kWordLimit - 1);
  // The search stops there: one running to the text's end would read the rest again for every
  // window of a text without an "@".
  const std::string_view near = text.substr(0, at_end);
  for (std::size_t at = marks_end; at < at_end; ++at) {
    at = near.find('@', at);
    if (at >= at_end) break;
    mark_address(text, at);
  }
}

std::size_t AutolinkMemo::find_in_windows(std::string_view text, std::size_t from) {
  const std::size_t n = text.size();
  if (from >= n) {
    candidate_ = {from, n};
    return n;
  }
  // Past the window (or before it: the offsets asked went back) a window starts at `from`.
  // One call of fill_window, which is then built in here.
  std::size_t base = from < base_ || from >= window_end_ ? from : window_end_;
  for (;;) {
    fill_window(text, base);
    if (words_in_use_ != 0) {
      const auto w = static_cast<std::size_t>(__builtin_ctz(words_in_use_));
      const std::size_t found =
          base_ + w * 64 + static_cast<std::size_t>(__builtin_ctzll(window_[w]));
      candidate_ = {from, found};
      return found;
    }
    if (window_end_ == n) break;
    base = window_end_;
  }
  candidate_ = {from, n};
  return n;
}

bool AutolinkMemo::preceded_by_angle_opener(std::string_view text, std::size_t p) {
  // Walking back from p over white space reaches what walking back from the start of that white
  // space reaches: reuse the last answer when only white space lies between.
  if (angle_valid_ && angle_pos_ <= p) {
    std::size_t i = angle_pos_;
    bool all_ws = true;
    while (i < p) {
      const utf8::Decoded d = char_at(text, i);
      if (!is_white(d.cp)) {
        all_ws = false;
        break;
      }
      i += d.len;
    }
    if (all_ws) {
      angle_pos_ = p;
      return angle_answer_;
    }
  }
  angle_answer_ = inl::preceded_by_angle_opener(text, p);
  angle_pos_ = p;
  angle_valid_ = true;
  return angle_answer_;
}

namespace {

// preceded_by_angle_opener, answered first from the ASCII bytes just before `p`: most links
// follow a word and a space or two. A longer or non-ASCII stretch of white space is left to the
// full walk (and the memo, which keeps that walk linear).
bool angle_opener_before(std::string_view text, std::size_t p, AutolinkMemo* memo) {
  constexpr std::size_t kQuickLook = 8;
  std::size_t i = p;
  for (std::size_t k = 0; k < kQuickLook && i > 0; ++k, --i) {
    const auto byte = static_cast<unsigned char>(text[i - 1]);
    if (byte >= 0x80) break;
    if (!kAsciiWhite[byte]) return byte == '<';
  }
  if (i == 0) return false;
  return memo ? memo->preceded_by_angle_opener(text, p) : preceded_by_angle_opener(text, p);
}

// Whether a web link or a plain address may start at `p`: a boundary comes before it, no "!["
// just before it, and no "<" before the white space before it. Told from the byte before `p`
// (and the one before that) when they are ASCII: a boundary byte that is no white space is no
// "<" either, and a word with one space before it is the most frequent.
[[gnu::always_inline]] inline bool web_checks(std::string_view text, std::size_t p,
                                              AutolinkMemo* memo) {
  if (p == 0) return true;
  const auto before = static_cast<unsigned char>(text[p - 1]);
  if (before < 0x80) {
    if (!kAsciiWhite[before]) {
      if (!kAsciiBoundary[before]) return false;
      return !(before == '[' && p >= 2 && text[p - 2] == '!');
    }
    // White space is a boundary, and no "[".
    if (p >= 2) {
      const auto two_before = static_cast<unsigned char>(text[p - 2]);
      if (two_before < 0x80 && !kAsciiWhite[two_before]) return two_before != '<';
    }
    return !angle_opener_before(text, p, memo);
  }
  if (!boundary_before(text, p)) return false;
  return !angle_opener_before(text, p, memo);
}

// Whether the host that starts at `host_start` and ends before `end` or the first "#", "/" or
// "?" is well formed: every dot-separated label is non-empty, and the last two hold no "_" and do
// not end in "-".
bool host_ok(std::string_view text, std::size_t host_start, std::size_t end) {
#if defined(__SSE2__)
  // Most hosts fit in a block, the rest in two: their dots, underscores and hyphens as bits
  // answer at once. `stops` marks "#", "/", "?" and the bytes from `end` on; `marks(c)` gives
  // the bits of `c` (or of "-" and "_" together for 0).
  const auto judge = [](unsigned stops, const auto& marks) {
    const unsigned length = static_cast<unsigned>(__builtin_ctz(stops));
    if (length == 0) return false;
    const unsigned in_host = (1u << length) - 1;
    const unsigned dots = marks('.') & in_host;
    // No dot first, last or after another.
    if ((dots & (1u | 1u << (length - 1))) != 0 || (dots & dots >> 1) != 0) return false;
    // Most hosts hold neither "-" nor "_".
    if ((marks('\0') & in_host) == 0) return true;
    const unsigned hyphens = marks('-') & in_host;
    const unsigned underscores = marks('_');
    if ((hyphens >> (length - 1)) != 0) return false;
    if (dots == 0) return (underscores & in_host) == 0;
    const unsigned last_dot = 31u - static_cast<unsigned>(__builtin_clz(dots));
    if ((hyphens >> (last_dot - 1) & 1u) != 0) return false;
    // The last two labels start after the dot before the last one (or at the host's start).
    const unsigned earlier = dots & ~(1u << last_dot);
    const unsigned last_two =
        earlier == 0 ? in_host
                     : in_host & ~0u << (32u - static_cast<unsigned>(__builtin_clz(earlier)));
    return (underscores & last_two) == 0;
  };
  if (host_start + 16 <= text.size()) {
    const auto load = [&](std::size_t at) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    };
    const auto is = [](__m128i chunk, char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
    const auto bits = [&](__m128i chunk, char c) {
      const __m128i hits = c != '\0' ? is(chunk, c) : _mm_or_si128(is(chunk, '-'), is(chunk, '_'));
      return static_cast<unsigned>(_mm_movemask_epi8(hits));
    };
    const auto past_end = [&](std::size_t at) {
      return end - at >= 16 ? 0u : (~0u << (end - at)) & 0xFFFFu;
    };
    const __m128i chunk = load(host_start);
    const unsigned stops =
        bits(chunk, '#') | bits(chunk, '/') | bits(chunk, '?') | past_end(host_start);
    if (stops != 0) return judge(stops, [&](char c) { return bits(chunk, c); });
    if (host_start + 32 <= text.size()) {
      const __m128i next = load(host_start + 16);
      const unsigned next_stops =
          bits(next, '#') | bits(next, '/') | bits(next, '?') | past_end(host_start + 16);
      if (next_stops != 0)
        return judge(next_stops << 16,
                     [&](char c) { return bits(chunk, c) | bits(next, c) << 16; });
    }
  }
#endif
  const std::string_view t = text.substr(0, end);
  const std::size_t host_end = find_any_of<'#', '/', '?'>(t, host_start, t.size());
  std::size_t label_start = host_start;
  bool underscore = false;        // the current label holds "_"
  bool before_last_bad = false;   // the label before it holds "_" or ends in "-"
  for (std::size_t i = host_start; i < host_end; ++i) {
    const char c = t[i];
    if (c == '.') {
      if (i == label_start) return false;
      before_last_bad = underscore || t[i - 1] == '-';
      underscore = false;
      label_start = i + 1;
    } else if (c == '_') {
      underscore = true;
    }
  }
  return label_start < host_end && !underscore && t[host_end - 1] != '-' && !before_last_bad;
}

// `prefix` and `rest` in one text of the arena.
Str joined(Arena& arena, std::string_view prefix, std::string_view rest) {
  const std::size_t size = prefix.size() + rest.size();
  auto* bytes = static_cast<char*>(arena.allocate(size, 1));
  std::memcpy(bytes, prefix.data(), prefix.size());
  std::memcpy(bytes + prefix.size(), rest.data(), rest.size());
  return Str::borrowed(std::string_view(bytes, size));
}

// A "mailto:" link to `address`, its text the address: both share the link's bytes.
Inline::Autolink mail_link(Arena& arena, std::string_view address) {
  const Str url = joined(arena, "mailto:", address);
  return {url, Str::borrowed(url.substr(7)), true};
}

// A plain address at `p`. Its local part is read forward from `p` to its "@" (the bytes between
// are all local-part bytes, so no "@" is searched for and no run looked back over).
std::optional<BareLink> plain_email(std::string_view text, std::size_t p, AutolinkMemo* memo,
                                    Arena& arena) {
  if (!web_checks(text, p, memo)) return std::nullopt;
  const std::size_t end = email_end(text, p);
  if (end == std::string_view::npos) return std::nullopt;
  return BareLink{mail_link(arena, text.substr(p, end - p)), end};
}

// The prefix at `p` and how many bytes of it come before the address or host ("www." is part of
// its host).
struct PrefixMatch {
  LinkPrefix kind;
  std::uint8_t length;
};

constexpr std::uint64_t kFtpWord = little_endian_word("ftp://");
constexpr std::uint64_t kWwwWord = little_endian_word("www.");
constexpr std::uint64_t kMailtoWord = little_endian_word("mailto:");
constexpr std::uint64_t kXmppWord = little_endian_word("xmpp:");
// The bytes of a word's first `n`.
constexpr std::uint64_t low_bytes(unsigned n) {
  return n >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << 8 * n) - 1;
}
// The case bit of the letters of "mailto" and "xmpp": a byte matches a lower-case letter with it
// set only when it is that letter in either case. The ":" after them is matched as it is.
constexpr std::uint64_t kMailtoCase = 0x0000202020202020;
constexpr std::uint64_t kXmppCase = 0x0000000020202020;

// link_prefix_at with its length, from one word of the text where eight bytes are left: the
// prefixes are compared whole rather than byte by byte.
[[gnu::always_inline]] inline PrefixMatch prefix_match(std::string_view text, std::size_t p) {
  if constexpr (std::endian::native == std::endian::little) {
    if (text.size() - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + p, 8);
      if (word == kHttpsWord) return {LinkPrefix::Web, 8};
      if ((word & low_bytes(7)) == kHttpWord) return {LinkPrefix::Web, 7};
      if ((word & low_bytes(4)) == kWwwWord) return {LinkPrefix::Web, 0};
      if ((word & low_bytes(6)) == kFtpWord) return {LinkPrefix::Web, 6};
      if (((word | kMailtoCase) & low_bytes(7)) == kMailtoWord) return {LinkPrefix::Mailto, 7};
      if (((word | kXmppCase) & low_bytes(5)) == kXmppWord) return {LinkPrefix::Xmpp, 5};
      return {LinkPrefix::None, 0};
    }
  }
  const LinkPrefix kind = link_prefix_at(text, p);
  switch (kind) {
    case LinkPrefix::None: return {kind, 0};
    case LinkPrefix::Mailto: return {kind, 7};
    case LinkPrefix::Xmpp: return {kind, 5};
    case LinkPrefix::Web: break;
  }
  const char first = text[p];
  const int length = first == 'w' ? 0 : first == 'f' ? 6 : text[p + 4] == 's' ? 8 : 7;
  return {kind, static_cast<std::uint8_t>(length)};
}

}  // namespace

std::optional<BareLink> bare_link(std::string_view text, std::size_t p, AutolinkMemo* memo,
                                 bool in_brackets, bool borrow, Arena* arena) {
  if (arena == nullptr) arena = &current_arena();
  // The link's own bytes, as written: a view of `text` when it outlives the tree.
  const auto as_written = [&](std::size_t end) {
    const std::string_view written = text.substr(p, end - p);
    return borrow ? Str::borrowed(written) : Str::copied_into(*arena, written);
  };
  if (p >= text.size()) return std::nullopt;
  const auto first = static_cast<unsigned char>(text[p]);
  if (!is_local_byte(static_cast<char>(first))) return std::nullopt;
  // Without a prefix only an address may start here.
  const PrefixMatch match = prefix_match(text, p);
  const LinkPrefix prefix = match.kind;
  if (prefix == LinkPrefix::None) return plain_email(text, p, memo, *arena);
  if (prefix == LinkPrefix::Mailto) {
    if (!boundary_before(text, p)) return std::nullopt;
    const std::size_t end = email_end(text, p + 7);
    if (end == std::string_view::npos) return std::nullopt;
    const Str url = joined(*arena, "mailto:", text.substr(p + 7, end - p - 7));
    return BareLink{{url, as_written(end), true}, end};
  }
  if (prefix == LinkPrefix::Xmpp) {
    if (!boundary_before(text, p)) return std::nullopt;
    const std::size_t address_end = email_end(text, p + 5);
    if (address_end == std::string_view::npos) return std::nullopt;
    const std::size_t end =
        trim_bare_url_end(text, p, candidate_end(text, address_end, in_brackets));
    const Str url = as_written(end);
    return BareLink{{url, url, false}, end};
  }
  if (!web_checks(text, p, memo)) return std::nullopt;
  // The prefix holds no byte that ends a link: the search starts after it.
  const std::size_t after_prefix = p + match.length;
  std::size_t end = in_brackets ? find_candidate_end<true>(text, after_prefix)
                                : find_candidate_end<false>(text, after_prefix);
  // Most links end in a letter or digit, which nothing trims.
  if (!scan::is_ascii_alnum(text[end - 1])) end = trim_bare_url_end(text, p, end);
  const std::string_view t = text.substr(p, end - p);
  // The host follows the scheme, or is all of a "www." link, whose "." the trimming may have cut.
  const bool www = first == 'w';
  if (www && t.size() < 4) return std::nullopt;
  const std::size_t host_start = match.length;
  if (!host_ok(text, p + host_start, end)) return std::nullopt;
  if (www) {
    const Str url = joined(*arena, "http://", t);
    return BareLink{{url, Str::borrowed(url.substr(7)), false}, end};
  }
  const Str url = as_written(end);
  return BareLink{{url, url, false}, end};
}

std::optional<InlineMatch> bare_autolink(std::string_view text, std::size_t p, AutolinkMemo* memo,
                                         bool in_brackets) {
  auto link = bare_link(text, p, memo, in_brackets);
  if (!link) return std::nullopt;
  return InlineMatch{Inline(std::move(link->autolink)), link->end};
}

}  // namespace vedavi::inl
