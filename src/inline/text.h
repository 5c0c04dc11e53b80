// Literal inline text: backslash escapes and character references, with escaped ampersands kept
// out of band so that a written U+E000 survives as itself.
#pragma once

#include <cassert>
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
// The same as a text. With `borrow`, a text that reads as written is a view of `raw`, which then
// must outlive it.
Str inline_text(std::string_view raw, bool borrow = false);

// Literal characters waiting to become a text node. Character references are decoded only when
// the whole run is taken, so a reference split by nothing but literal characters still decodes.
class PendingText {
 public:
  bool empty() const { return size_ == 0; }
  std::string_view view() const {
    return copied_ ? std::string_view(text_) : std::string_view(run_, size_);
  }
  // `s` is a stretch of the text being scanned, which outlives the pending run. Most runs are one
  // such stretch, or several that follow each other: they are kept as a view and copied nowhere.
  // `s` holds an "&" only where `may_hold_ampersand` says so. An append that starts or extends
  // the stretch takes no call: the copy is out of line.
  void append(std::string_view s, bool may_hold_ampersand = true) {
    assert(may_hold_ampersand || s.find('&') == std::string_view::npos);
    has_ampersand_ = has_ampersand_ || may_hold_ampersand;
    if (size_ == 0) {
      run_ = s.data();
    } else if (copied_ || run_ + size_ != s.data()) [[unlikely]] {
      append_copied(s);
      return;
    }
    size_ += s.size();
  }
  void append(char c) {
    has_ampersand_ = has_ampersand_ || c == '&';
    copy_run();
    text_ += c;
    ++size_;
  }
  // An "&" written as "\&": literal, never the start of a reference.
  void append_escaped_ampersand() {
    has_ampersand_ = true;
    copy_run();
    literal_ampersands_.push_back(size_);
    text_ += '&';
    ++size_;
  }
  void clear() {
    size_ = 0;
    // The copy and the escaped ampersands are only ever held while these flags say so: most runs
    // set neither, and their clear is then one store.
    if (copied_ || has_ampersand_) {
      text_.clear();
      literal_ampersands_.clear();
      copied_ = false;
      has_ampersand_ = false;
    }
  }
  // Drops the last `n` bytes (never an escaped ampersand: callers drop spaces and backslashes).
  void drop_back(std::size_t n);
  // Whether the run is one stretch of the text appended from, with no "&": the run `take`
  // makes no copy of when the text outlives the tree.
  bool is_plain_stretch() const { return !copied_ && !has_ampersand_; }
  // The run where is_plain_stretch holds, as that stretch; leaves the pending text empty.
  std::string_view take_stretch() {
    const std::string_view run(run_, size_);
    size_ = 0;
    return run;
  }
  // The decoded run; leaves the pending text empty. With `borrow` (the text appended from
  // outlives the tree), a run that is one stretch of it, written as it reads, is a view of it,
  // not a copy; a copy is made in `arena`, the current one.
  Str take(Arena& arena, bool borrow) {
    if (!copied_ && !has_ampersand_) {
      // The common run: one stretch of the text appended from, with no "&" (and so, not copied,
      // nothing else to clear).
      const std::string_view run(run_, size_);
      size_ = 0;
      return borrow ? Str::borrowed(run) : Str::copied_into(arena, run);
    }
    return take_held(arena, borrow);
  }

 private:
  // `append` of a stretch that does not follow the run.
  [[gnu::noinline]] void append_copied(std::string_view s) {
    copy_run();
    text_ += s;
    size_ += s.size();
  }
  // `take` of a run that was copied or may hold an "&".
  Str take_held(Arena& arena, bool borrow);
  // From now on the run is held in text_ (it is no longer one unbroken stretch of the text).
  void copy_run() {
    if (copied_) return;
    text_.assign(run_, size_);
    copied_ = true;
  }

  // The run: [run_, run_ + size_) of the text appended from, until copied_; then text_.
  const char* run_ = nullptr;
  std::size_t size_ = 0;
  bool copied_ = false;
  bool has_ampersand_ = false;  // the run may hold an "&": references are looked for when taken
  std::string text_;
  std::string decoded_;  // room for a run with references, kept between runs
  std::vector<std::size_t> literal_ampersands_;  // offsets into the run, ascending
};

}  // namespace vedavi::inl
