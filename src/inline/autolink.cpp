// Bare autolinks and the e-mail address grammar.
#include "inline/autolink.h"

#include <array>
#include <cassert>
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
bool is_local_char(char32_t c) { return c < 0x80 && kAddressLocalChars[c]; }
bool is_label_char(char c) { return scan::is_ascii_alnum(c) || c == '-' || c == '_'; }

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

bool boundary_before(std::string_view text, std::size_t p) {
  if (p == 0) return true;
  // An ASCII byte is a whole character.
  const auto byte = static_cast<unsigned char>(text[p - 1]);
  return byte < 0x80 ? kAsciiBoundary[byte] : is_boundary(utf8::prev_char(text, p));
}

// Tables of the bytes at which a scan for white space (and maybe other ASCII bytes) stops: those
// ASCII bytes, and every non-ASCII byte, whose character is decoded to see if it is white space.
ByteTable white_stops(std::string_view also) {
  ByteTable stops{};
  for (int c = 0; c < 0x80; ++c) stops[c] = kAsciiWhite[c];
  for (int c = 0x80; c < 0x100; ++c) stops[c] = true;
  for (char c : also) stops[static_cast<unsigned char>(c)] = true;
  return stops;
}
const ByteTable kWhiteStops = white_stops("");
const ByteTable kCandidateStops = white_stops("<");
const ByteTable kCandidateStopsInBrackets = white_stops("<]");

// The first offset in [from, to) holding white space or an ASCII byte `stops` marks, or `to`.
std::size_t find_stop(std::string_view text, std::size_t from, std::size_t to, const ByteTable& stops) {
  // ASCII white space is control bytes and the space, so only "<" and "]" are printable stops.
  assert((marks_no_printable_but<'<', ']'>(stops)));
  std::size_t i = from;
  for (;;) {
    i = find_marked_beyond_printable<'<', ']'>(text, i, to, stops);
    if (i >= to || static_cast<unsigned char>(text[i]) < 0x80) return i;
    const utf8::Decoded d = utf8::decode(text, i);
    if (unicode::is_white_space(d.cp)) return i;
    i += d.len;
  }
}

// The first white space or "<" at or after `from` (or "]" when `in_brackets`), or the end.
std::size_t candidate_end(std::string_view text, std::size_t from, bool in_brackets) {
  return find_stop(text, from, text.size(), in_brackets ? kCandidateStopsInBrackets : kCandidateStops);
}

// The longest prefix of `word` that is an e-mail address, less trailing punctuation: a local
// part, "@", and dot-separated domain labels of letters, digits, "-" and "_", each starting and
// ending with a letter or digit, at least two of them. One pass; every character outside ASCII
// ends the address, so bytes are read as they are.
std::optional<std::size_t> longest_email_prefix(std::string_view word) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(word.data());
  const std::size_t n = word.size();
  std::size_t at = 0;
  while (at < n && bytes[at] < 0x80 && kAddressLocalChars[bytes[at]]) ++at;
  if (at == 0 || at == n || bytes[at] != '@') return std::nullopt;
  std::optional<std::size_t> best;
  bool dot_seen = false;
  std::size_t label_start = at + 1;  // start of the current domain label
  for (std::size_t i = at + 1; i < n; ++i) {
    const unsigned char c = bytes[i];
    if (c == '.') {
      // A label ends here: it must be whole, and the address cannot end on the dot.
      if (i == label_start || !scan::is_ascii_alnum(bytes[label_start]) ||
          !scan::is_ascii_alnum(bytes[i - 1]))
        break;
      dot_seen = true;
      label_start = i + 1;
      continue;
    }
    if (!is_label_char(static_cast<char>(c))) break;
    // The prefix [0, i] is an address when its last label is well formed so far.
    if (dot_seen && scan::is_ascii_alnum(c) && scan::is_ascii_alnum(bytes[label_start]))
      best = i + 1;
  }
  return best;
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
  if (s.empty()) return false;
  const auto longest = longest_email_prefix(s);
  if (longest == s.size()) return true;
  // A final trailing-punctuation byte is trimmed by the prefix search but belongs to `s` here:
  // an address never ends in one of these (its last label ends with a letter or digit).
  return false;
}

std::optional<std::string_view> bare_email_prefix(std::string_view word) {
  const auto m = longest_email_prefix(word);
  if (!m) return std::nullopt;
  if (*m < word.size() && (word[*m] == '_' || word[*m] == '-')) return std::nullopt;
  return word.substr(0, *m);
}

std::string_view bounded_autolink_word(std::string_view text, std::size_t start) {
  std::size_t limit = std::min(text.size(), start + kWordLimit);
  while (limit < text.size() && !utf8::is_boundary(text, limit)) --limit;
  const std::size_t i = find_stop(text, start, limit, kWhiteStops);
  return text.substr(start, std::min(i, limit) - start);
}

std::size_t trim_trailing_url_punct(std::string_view text, std::size_t start, std::size_t end) {
  while (end > start && is_url_trailing_punct(text[end - 1])) --end;
  return end;
}

std::size_t trim_bare_url_end(std::string_view text, std::size_t start, std::size_t end) {
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
  while (start > floor && is_local_char(static_cast<unsigned char>(text[start - 1]))) --start;
  local_start_ = start;
  return at_found_;
}

namespace {

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

}  // namespace

std::size_t AutolinkMemo::find_scheme_start(std::string_view text, std::size_t from) {
  scheme_.from = from;
  // A scheme's ":" stands three ("ftp:") to six ("mailto:") bytes after its start, and no ":"
  // comes before it, so the colons are tried in order, each for the starts it may end.
  // Most colons end no scheme: the first letter a length needs rules each out without a compare.
  const auto may_start_at = [&](std::size_t colon, std::size_t back) {
    const char c = text[colon - back];
    switch (back) {
      case 6: return (c | 0x20) == 'm';
      case 5: return c == 'h';
      case 4: return c == 'h' || (c | 0x20) == 'x';
      default: return c == 'f';
    }
  };
  for (std::size_t colon = text.find(':', from + 3); colon != std::string_view::npos;
       colon = text.find(':', colon + 1)) {
    for (std::size_t back = 6; back >= 3; --back) {
      if (colon >= from + back && may_start_at(colon, back) && scheme_ends_at(text, colon, back))
        return scheme_.found = colon - back;
    }
  }
  return scheme_.found = text.size();
}

std::size_t AutolinkMemo::find_address_start(std::string_view text, std::size_t from) {
  address_.from = from;
  for (std::size_t q = from;;) {
    const std::size_t at = next_at_sign(text, q);
    if (at >= text.size()) return address_.found = text.size();
    // An address starts in the run of local-part bytes before its "@" (all ASCII), after a
    // boundary: at the run's start or after a boundary byte inside it.
    const std::size_t start = std::max(q, local_start_);
    if (start < at) {
      if (boundary_before(text, start)) return address_.found = start;
      for (std::size_t i = start; i + 1 < at; ++i)
        if (kAsciiBoundary[static_cast<unsigned char>(text[i])]) return address_.found = i + 1;
    }
    q = at + 1;
  }
}

std::size_t AutolinkMemo::find_link_candidate(std::string_view text, std::size_t from) {
  if (!scheme_.holds(from)) find_scheme_start(text, from);
  if (!www_.holds(from)) {
    const std::size_t pos = text.find("www.", from);
    www_ = {from, pos == std::string_view::npos ? text.size() : pos};
  }
  if (!address_.holds(from)) find_address_start(text, from);
  candidate_ = {from, std::min({scheme_.found, www_.found, address_.found})};
  return candidate_.found;
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

bool web_checks(std::string_view text, std::size_t p, AutolinkMemo* memo) {
  if (!boundary_before(text, p)) return false;
  if (p >= 2 && text.substr(p - 2, 2) == "![") return false;
  return !angle_opener_before(text, p, memo);
}

bool host_ok(std::string_view t) {
  std::size_t host_start;
  if (t.starts_with("www.")) {
    host_start = 0;
  } else {
    const std::size_t sep = t.find("://");
    if (sep == std::string_view::npos) return false;
    host_start = sep + 3;
  }
  const std::size_t host_end = find_any_of<'#', '/', '?'>(t, host_start, t.size());
  // Every dot-separated label is non-empty, and the last two hold no "_" and do not end in "-".
  // Hosts are short: one pass over their bytes.
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

// `prefix` and `rest` in one text, allocated once (the append extends the text in place).
Str joined(std::string_view prefix, std::string_view rest) {
  Str out(prefix);
  out += rest;
  return out;
}

// A "mailto:" link to `address`, its text the address: both share the link's bytes.
Inline::Autolink mail_link(std::string_view address) {
  const Str url = joined("mailto:", address);
  return {url, Str::borrowed(url.substr(7)), true};
}

std::optional<BareLink> email_after_prefix(std::string_view text, std::size_t p,
                                           std::size_t prefix_len) {
  const auto e = bare_email_prefix(bounded_autolink_word(text, p + prefix_len));
  if (!e) return std::nullopt;
  const std::size_t end = p + prefix_len + e->size();
  return BareLink{{joined("mailto:", *e), Str(text.substr(p, end - p)), true}, end};
}

}  // namespace

namespace {

// A plain address at `p`: cheap tests first, as this runs after every boundary of a text.
std::optional<BareLink> plain_email(std::string_view text, std::size_t p, AutolinkMemo* memo) {
  const std::size_t at = memo ? memo->next_at_sign(text, p) : text.find('@', p);
  if (at == std::string_view::npos || at >= text.size() || at - p >= kWordLimit) return std::nullopt;
  if (memo && !memo->local_part_reaches(p)) return std::nullopt;
  if (!boundary_before(text, p)) return std::nullopt;
  const std::string_view word = bounded_autolink_word(text, p);
  if (at >= p + word.size()) return std::nullopt;
  if (p >= 2 && text.substr(p - 2, 2) == "![") return std::nullopt;
  if (angle_opener_before(text, p, memo)) return std::nullopt;
  const auto e = bare_email_prefix(word);
  if (!e) return std::nullopt;
  return BareLink{mail_link(*e), p + e->size()};
}

}  // namespace


std::optional<BareLink> bare_link(std::string_view text, std::size_t p, AutolinkMemo* memo,
                                 bool in_brackets) {
  if (p >= text.size()) return std::nullopt;
  const auto first = static_cast<unsigned char>(text[p]);
  if (first >= 0x80 || !kAddressLocalChars[first]) return std::nullopt;
  // Without a prefix only an address may start here; plain_email asks what
  // may_start_bare_autolink would (the next "@" within reach), so neither is asked twice.
  const LinkPrefix prefix = link_prefix_at(text, p);
  if (prefix == LinkPrefix::None) return plain_email(text, p, memo);
  if (prefix == LinkPrefix::Mailto) {
    if (!boundary_before(text, p)) return std::nullopt;
    return email_after_prefix(text, p, 7);
  }
  if (prefix == LinkPrefix::Xmpp) {
    if (!boundary_before(text, p)) return std::nullopt;
    const auto e = bare_email_prefix(bounded_autolink_word(text, p + 5));
    if (!e) return std::nullopt;
    const std::size_t end = trim_bare_url_end(text, p, candidate_end(text, p + 5 + e->size(), in_brackets));
    const Str url(text.substr(p, end - p));
    return BareLink{{url, url, false}, end};
  }
  if (!web_checks(text, p, memo)) return std::nullopt;
  const std::size_t end = trim_bare_url_end(text, p, candidate_end(text, p, in_brackets));
  if (end == p) return std::nullopt;
  const std::string_view t = text.substr(p, end - p);
  if (!host_ok(t)) return std::nullopt;
  if (t.starts_with("www.")) {
    const Str url = joined("http://", t);
    return BareLink{{url, Str::borrowed(url.substr(7)), false}, end};
  }
  const Str url(t);
  return BareLink{{url, url, false}, end};
}

std::optional<InlineMatch> bare_autolink(std::string_view text, std::size_t p, AutolinkMemo* memo,
                                         bool in_brackets) {
  auto link = bare_link(text, p, memo, in_brackets);
  if (!link) return std::nullopt;
  return InlineMatch{Inline(std::move(link->autolink)), link->end};
}

}  // namespace vedavi::inl
