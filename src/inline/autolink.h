// Bare autolinks (web addresses, "xmpp:" and "mailto:" addresses, plain e-mail addresses) and
// the e-mail address grammar.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "inline/angle.h"

namespace vedavi::inl {

// Per-text memory of the scanner's bare-link attempts, which come at ascending offsets: where
// links may start, the next "@" and the angle-opener answer of the last white-space run, so a long
// text costs linear time.
class AutolinkMemo {
 public:
  AutolinkMemo() = default;
  // The window's words are set up only as a window is read, so a memo is never copied.
  AutolinkMemo(const AutolinkMemo&) = delete;
  AutolinkMemo& operator=(const AutolinkMemo&) = delete;
  std::size_t next_at_sign(std::string_view text, std::size_t from) {
    if (at_valid_ && from >= at_from_ && from <= at_found_) return at_found_;
    return find_at_sign(text, from);
  }
  // Whether an address starting at `p` could reach the "@" that next_at_sign(text, p) just
  // gave: every byte between must be one of an address's local part, and that run, looked back
  // from the "@" once, starts at or before `p`.
  bool local_part_reaches(std::size_t p) const { return p >= local_start_; }
  // The first offset at or after `from` (or the text's size) that may start a bare link: where
  // a scheme or "www." starts, or where an address's local part may start after a boundary.
  // Every offset where a boundary precedes and may_start_bare_autolink holds is one, and that
  // holds at every one, so a scan reads the text up to the next one without stopping at each
  // word, and tries a link there when a boundary precedes.
  std::size_t next_link_candidate(std::string_view text, std::size_t from) {
    return candidate_.holds(from) ? candidate_.found : find_link_candidate(text, from);
  }
  bool preceded_by_angle_opener(std::string_view text, std::size_t p);
  // Whether the window read last holds `offset`, or the last answer does: next_link_candidate
  // then reads no window for it.
  bool has_read(std::size_t offset) const {
    return candidate_.holds(offset) || (offset >= base_ && offset < window_end_);
  }

 private:
  std::size_t find_at_sign(std::string_view text, std::size_t from);
  // The next candidate from the window read last, else from the windows after it. Defined
  // below the class: a few instructions, built into the scan's calls.
  std::size_t find_link_candidate(std::string_view text, std::size_t from);
  // Reads the next window (kept out of the common call, which finds the next bit).
  [[gnu::noinline]] std::size_t find_in_windows(std::string_view text, std::size_t from);
  // Marks the candidates of the window of offsets that starts at `base`, from one pass over its
  // bytes (and the few after it whose links may start inside it).
  [[gnu::always_inline]] void fill_window(std::string_view text, std::size_t base);
  // The candidates that a ":", "@" or "w" followed by "." at `at` gives.
  void mark_from(std::string_view text, std::size_t at);
  void mark_address(std::string_view text, std::size_t at);
  // The candidate of the scheme that ends with the ":" at `colon`, if any (kept out of the
  // window's loop, as the address's is).
  [[gnu::noinline]] void mark_scheme(std::string_view text, std::size_t colon);
  void mark(std::size_t offset) {
    // Below the window the difference wraps past its size.
    const std::size_t bit = offset - base_;
    if (bit < window_end_ - base_) {
      window_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
      words_in_use_ |= 1u << (bit >> 6);
    }
  }

  // The first candidate at or after `from`. It is the first after every offset up to it too;
  // nothing holds before the first search.
  struct Found {
    std::size_t from = 1, found = 0;
    bool holds(std::size_t offset) const { return offset >= from && offset <= found; }
  };

  // The candidates in [base_, window_end_), a bit each; a text longer than the window is read a
  // window at a time. Words past the window's end are never read, so none is set up front.
  static constexpr std::size_t kWindowBits = 1024;
  std::size_t base_ = 0, window_end_ = 0;
  std::array<std::uint64_t, kWindowBits / 64> window_;
  // A bit per word of the window that holds a candidate: candidates are sparse, and the next one
  // past a word is then one count of zeros away rather than a walk over the empty words.
  std::uint32_t words_in_use_ = 0;
  static_assert(kWindowBits / 64 < 32);
  Found candidate_;

  // Set by their first search, which at_valid_ and angle_valid_ tell (the memo is set up per
  // text: only those two are set before).
  std::size_t at_from_, at_found_;
  std::size_t local_start_;  // where the run of local-part bytes before at_found_ starts
  bool at_valid_ = false;
  std::size_t angle_pos_;  // the last offset asked and its answer
  bool angle_answer_;
  bool angle_valid_ = false;
};

inline std::size_t AutolinkMemo::find_link_candidate(std::string_view text, std::size_t from) {
  // Within the window, the next set bit; only past its end is another window read.
  const std::size_t offset = from - base_;
  if (offset < window_end_ - base_) {
    std::size_t w = offset >> 6;
    std::uint64_t bits = window_[w] & (~std::uint64_t{0} << (offset & 63));
    if (bits == 0) {
      const std::uint32_t later = words_in_use_ & (~std::uint32_t{1} << w);
      if (later != 0) {
        w = static_cast<std::size_t>(__builtin_ctz(later));
        bits = window_[w];
      }
    }
    if (bits != 0) {
      const std::size_t found = base_ + w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
      candidate_ = {from, found};
      return found;
    }
    if (window_end_ == text.size()) {
      candidate_ = {from, text.size()};
      return text.size();
    }
  }
  return find_in_windows(text, from);
}

// The longest word a bare link or address may be, in bytes.
inline constexpr std::size_t kBareLinkWordLimit = 255;

// The ASCII characters of an address's local part: letters, digits and these extras.
inline constexpr std::array<bool, 128> kAddressLocalChars = [] {
  std::array<bool, 128> table{};
  for (int c = 0; c < 128; ++c)
    table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  for (char c : std::string_view(".!#$%&'*+/=?^_`{|}~-")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

// Whether a scheme ("mailto:", "xmpp:", "http://", "https://", "ftp://") or "www." may start with
// this character.
inline bool may_start_scheme(char c) {
  const char lower = static_cast<char>(c | 0x20);
  return lower == 'm' || lower == 'x' || lower == 'h' || lower == 'f' || lower == 'w';
}

// The prefixes that make a bare link: "mailto:" or "xmpp:" in any case, a web scheme
// ("http://", "https://", "ftp://") or "www.".
enum class LinkPrefix : std::uint8_t { None, Mailto, Xmpp, Web };

// The prefix that starts at `p`; a word that starts with none can only be an address. Each first
// character begins at most one prefix, so one comparison decides.
inline LinkPrefix link_prefix_at(std::string_view text, std::size_t p) {
  const std::string_view rest = text.substr(p);
  const auto icase = [&](std::string_view lower) {
    if (rest.size() < lower.size()) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
      const char c = rest[i];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c) != lower[i]) return false;
    }
    return true;
  };
  if (rest.empty()) return LinkPrefix::None;
  switch (rest[0] | 0x20) {
    case 'm': return icase("mailto:") ? LinkPrefix::Mailto : LinkPrefix::None;
    case 'x': return icase("xmpp:") ? LinkPrefix::Xmpp : LinkPrefix::None;
    // The web prefixes are matched as written: an upper-case first letter begins none.
    case 'h':
      return rest.starts_with("http://") || rest.starts_with("https://") ? LinkPrefix::Web
                                                                         : LinkPrefix::None;
    case 'f': return rest.starts_with("ftp://") ? LinkPrefix::Web : LinkPrefix::None;
    case 'w': return rest.starts_with("www.") ? LinkPrefix::Web : LinkPrefix::None;
    default: return LinkPrefix::None;
  }
}

// Whether a prefix that makes a bare link starts at `p`.
inline bool starts_link_prefix(std::string_view text, std::size_t p) {
  return link_prefix_at(text, p) != LinkPrefix::None;
}

struct BareLink {
  Inline::Autolink autolink;
  std::size_t end;  // just past the link
};
// A bare link starting at `p`, as the autolink it makes (see bare_autolink). With `borrow`
// (`text` outlives the tree), what the link shows of `text` as written is a view of it. Its texts
// are made in `arena` when given (the current one, which a scan took once), else the current one.
std::optional<BareLink> bare_link(std::string_view text, std::size_t p, AutolinkMemo* memo = nullptr,
                                  bool in_brackets = false, bool borrow = false, Arena* arena = nullptr);
// A bare link starting at `p`. Inside an open "[" (`in_brackets`), a web or xmpp address also
// ends at the first "]", which is the bracket's to close: "[https://a.io](https://a.io)" stays a
// link with the address as its text.
std::optional<InlineMatch> bare_autolink(std::string_view text, std::size_t p,
                                         AutolinkMemo* memo = nullptr, bool in_brackets = false);
// The cheap first tests of `bare_autolink`: false means it finds nothing at `p`. A link starts
// with a scheme, "www." or an address, so its first character and the distance to the next "@"
// rule out nearly every word. The scanner asks after every word, so this is inline.
inline bool may_start_bare_autolink(std::string_view text, std::size_t p, AutolinkMemo* memo) {
  if (p >= text.size()) return false;
  const auto first = static_cast<unsigned char>(text[p]);
  if (first >= 0x80 || !kAddressLocalChars[first]) return false;
  if (may_start_scheme(static_cast<char>(first)) && starts_link_prefix(text, p)) return true;
  if (memo == nullptr) {
    const std::size_t at = text.find('@', p);
    return at != std::string_view::npos && at - p < kBareLinkWordLimit;
  }
  const std::size_t at = memo->next_at_sign(text, p);
  return at < text.size() && at - p < kBareLinkWordLimit && memo->local_part_reaches(p);
}
// Whether all of `s` is an e-mail address.
bool is_email(std::string_view s);
std::size_t trim_bare_url_end(std::string_view text, std::size_t start, std::size_t end);
std::size_t trim_trailing_url_punct(std::string_view text, std::size_t start, std::size_t end);
bool preceded_by_angle_opener(std::string_view text, std::size_t p);
bool is_boundary(char32_t c);

}  // namespace vedavi::inl
