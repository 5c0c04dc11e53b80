// Literal inline text: backslash escapes and character references, with escaped ampersands kept
// out of band so that a written U+E000 survives as itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/arena.h"

namespace vedavi::inl {

// Appends `raw` as inline text reads it: a backslash before ASCII punctuation is dropped, other
// backslashes stay, then character references are decoded. An escaped "&" stays a literal "&"
// that never starts a reference.
void append_inline_text(std::string_view raw, std::string& out);
Str inline_text(std::string_view raw);

// Literal characters waiting to become a text node. Character references are decoded only when
// the whole run is taken, so a reference split by nothing but literal characters still decodes.
class PendingText {
 public:
  bool empty() const { return text_.empty(); }
  std::string_view view() const { return text_; }
  void append(std::string_view s) {
    if (text_.empty()) run_ = s.data();
    else if (run_ && run_ + text_.size() != s.data()) run_ = nullptr;
    text_ += s;
  }
  void append(char c) {
    run_ = nullptr;
    text_ += c;
  }
  // An "&" written as "\&": literal, never the start of a reference.
  void append_escaped_ampersand() {
    run_ = nullptr;
    literal_ampersands_.push_back(text_.size());
    text_ += '&';
  }
  void clear() {
    text_.clear();
    literal_ampersands_.clear();
  }
  // Drops the last `n` bytes (never an escaped ampersand: callers drop spaces and backslashes).
  void drop_back(std::size_t n);
  // The decoded run; leaves the pending text empty. When the run is a stretch of `kept`, a text
  // that outlives the tree, written as it reads, the result is a view of it, not a copy.
  Str take(std::string_view kept = {});

 private:
  // Where the run stands in the text appended from, while it is one unbroken stretch of it.
  const char* run_ = nullptr;
  std::string text_;
  std::string decoded_;  // room for a run with references, kept between runs
  std::vector<std::size_t> literal_ampersands_;  // offsets into text_, ascending
};

}  // namespace vedavi::inl
