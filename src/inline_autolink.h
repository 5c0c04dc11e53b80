// Bare autolinks (web addresses, "xmpp:" and "mailto:" addresses, plain e-mail addresses) and
// the e-mail address grammar.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "inline_angle.h"

namespace vedavi::inl {

// Per-text memory of the scanner's bare-link attempts, which come at ascending offsets: the next
// "@" and the angle-opener answer of the last white-space run, so a long text costs linear time.
class AutolinkMemo {
 public:
  std::size_t next_at_sign(std::string_view text, std::size_t from);
  bool preceded_by_angle_opener(std::string_view text, std::size_t p);

 private:
  std::size_t at_from_ = 0, at_found_ = 0;
  bool at_valid_ = false;
  std::size_t angle_pos_ = 0;  // the last offset asked and its answer
  bool angle_answer_ = false;
  bool angle_valid_ = false;
};

// A bare link starting at `p`.
std::optional<InlineMatch> bare_autolink(std::string_view text, std::size_t p,
                                         AutolinkMemo* memo = nullptr);
// The cheap first tests of `bare_autolink`: false means it finds nothing at `p`. A link starts
// with a scheme, "www." or an address, so its first character and the distance to the next "@"
// rule out nearly every word.
bool may_start_bare_autolink(std::string_view text, std::size_t p, AutolinkMemo* memo);
bool is_email(std::string_view s);
// The longest e-mail address that starts the word, less trailing punctuation.
std::optional<std::string_view> bare_email_prefix(std::string_view word);
// The text from `start` up to the first white space, at most 255 bytes.
std::string_view bounded_autolink_word(std::string_view text, std::size_t start);
std::size_t trim_bare_url_end(std::string_view text, std::size_t start, std::size_t end);
std::size_t trim_trailing_url_punct(std::string_view text, std::size_t start, std::size_t end);
bool preceded_by_angle_opener(std::string_view text, std::size_t p);
bool is_boundary(char32_t c);

}  // namespace vedavi::inl
