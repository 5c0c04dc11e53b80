// Output staged in a buffer on the stack, for the writers of many short pieces (the block and
// inline walks, table rows). A writer makes room once for the longest form of what it is about to
// write (a node, a cell) and then stores its tags and texts through a cursor, without the string's
// capacity test, length update and terminator per piece; the string gets the buffer in whole
// stretches. Writers that append to the string itself take it from `string()`, which first hands
// it what is staged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/escape_scan.h"

namespace vedavi {

class StagedOut {
 public:
  static constexpr std::size_t kSize = 4096;

  explicit StagedOut(std::string& out) : out_(out) {}
  // What is staged is not handed over on the way out: that could throw. Call flush().
  StagedOut(const StagedOut&) = delete;
  StagedOut& operator=(const StagedOut&) = delete;

  // Whether `n` more bytes fit, after handing the string what is staged if they would not fit
  // beside it. False only for more than the buffer ever holds: the caller writes to string().
  [[gnu::always_inline]] bool make_room(std::size_t n) {
    if (n <= static_cast<std::size_t>(buffer_ + kSize - at_)) [[likely]] return true;
    flush();
    return n <= kSize;
  }

  // A writer of several pieces in a row (a node, a cell) stores them through a cursor, a copy of
  // the stage's position that stays in a register: the stores into the buffer could, as far as the
  // compiler knows, change the position kept in the stage, which would be read again after each
  // one. The pieces are kept by `commit`; a writer that finds, halfway, that a node needs the
  // general way leaves its cursor uncommitted, which takes back what it stored.
  class Cursor {
   public:
    explicit Cursor(char* at) : at_(at) {}

    template <std::size_t N>
    [[gnu::always_inline]] void put(const char (&literal)[N]) {
      std::memcpy(at_, literal, N - 1);
      at_ += N - 1;
    }
    [[gnu::always_inline]] void put(char c) { *at_++ = c; }
    // Markup, or a text known to need no escaping.
    [[gnu::always_inline]] void put(const char* data, std::size_t size) {
      // An empty view may have no bytes to point at, which memcpy must not be given.
      if (size != 0) std::memcpy(at_, data, size);
      at_ += size;
    }
    [[gnu::always_inline]] void put(std::string_view text) { put(text.data(), text.size()); }
    // A text known to need no escaping, of any length: copied without a call, by blocks of
    // sixteen bytes or, below that, by two overlapping loads from its ends.
    [[gnu::always_inline]] void put_copy(std::string_view text) {
      const char* from = text.data();
      const std::size_t size = text.size();
      if (size >= 16) {
        std::size_t i = 0;
        for (; i + 16 <= size; i += 16) std::memcpy(at_ + i, from + i, 16);
        std::memcpy(at_ + size - 16, from + size - 16, 16);
      } else if (size >= 8) {
        std::uint64_t first, last;
        std::memcpy(&first, from, 8);
        std::memcpy(&last, from + size - 8, 8);
        std::memcpy(at_, &first, 8);
        std::memcpy(at_ + size - 8, &last, 8);
      } else if (size >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, from, 4);
        std::memcpy(&last, from + size - 4, 4);
        std::memcpy(at_, &first, 4);
        std::memcpy(at_ + size - 4, &last, 4);
      } else if (size > 0) {
        at_[0] = from[0];
        at_[size / 2] = from[size / 2];
        at_[size - 1] = from[size - 1];
      }
      at_ += size;
    }
    // The first `size` bytes of `block`, stored as the whole block (room made for all of it).
    template <std::size_t N>
    [[gnu::always_inline]] void put_first(const char (&block)[N], std::size_t size) {
      std::memcpy(at_, block, N);
      at_ += size;
    }
    // `text` up to the first byte `markup` escaping rewrites; returns how many bytes that is (the
    // text's size when there is none).
    template <escape_scan::Markup markup>
    [[gnu::always_inline]] std::size_t put_kept(std::string_view text) {
      const std::size_t kept = escape_scan::copy_kept<markup>(
          reinterpret_cast<const unsigned char*>(text.data()), text.size(), at_);
      at_ += kept;
      return kept;
    }

   private:
    friend class StagedOut;
    char* at_;
  };
  // A cursor at the stage's position, for pieces that room was made for.
  Cursor cursor() const { return Cursor(at_); }
  void commit(Cursor cursor) { at_ = cursor.at_; }

  // One piece at the stage's position, for a writer of a single piece (room made for it).
  template <std::size_t N>
  [[gnu::always_inline]] void put(const char (&literal)[N]) {
    Cursor at = cursor();
    at.put(literal);
    commit(at);
  }
  [[gnu::always_inline]] void put(char c) { *at_++ = c; }
  [[gnu::always_inline]] void put(const char* data, std::size_t size) {
    Cursor at = cursor();
    at.put(data, size);
    commit(at);
  }
  [[gnu::always_inline]] void put(std::string_view text) { put(text.data(), text.size()); }
  template <std::size_t N>
  [[gnu::always_inline]] void put_first(const char (&block)[N], std::size_t size) {
    Cursor at = cursor();
    at.put_first(block, size);
    commit(at);
  }
  template <escape_scan::Markup markup>
  [[gnu::always_inline]] std::size_t put_kept(std::string_view text) {
    Cursor at = cursor();
    const std::size_t kept = at.put_kept<markup>(text);
    commit(at);
    return kept;
  }

  // With room made as needed: markup, or `text` escaped as escape_text does.
  [[gnu::always_inline]] void append(std::string_view markup) {
    if (make_room(markup.size())) [[likely]] {
      put(markup);
    } else {
      out_ += markup;
    }
  }
  [[gnu::always_inline]] void append(char c) {
    make_room(1);
    put(c);
  }
  [[gnu::always_inline]] void append_escaped_text(std::string_view text) {
    if (!make_room(text.size())) [[unlikely]] {
      escape_text(text, out_);
      return;
    }
    const std::size_t kept = put_kept<escape_scan::Markup::Text>(text);
    if (kept != text.size()) [[unlikely]] escape_text_from(text, kept, string());
  }

  // `text` escaped as escape_attr does.
  [[gnu::always_inline]] void append_escaped_attr(std::string_view text) {
    if (!make_room(text.size())) [[unlikely]] {
      escape_attr(text, out_);
      return;
    }
    Cursor at = cursor();
    if (at.put_kept<escape_scan::Markup::Attr>(text) != text.size()) [[unlikely]] {
      escape_attr(text, string());
      return;
    }
    commit(at);
  }

  // What is staged and not handed to the string yet.
  std::size_t staged() const { return static_cast<std::size_t>(at_ - buffer_); }

  void flush() {
    out_.append(buffer_, static_cast<std::size_t>(at_ - buffer_));
    at_ = buffer_;
  }
  std::string& string() {
    flush();
    return out_;
  }

 private:
  std::string& out_;
  char* at_ = buffer_;
  char buffer_[kSize];
};

}  // namespace vedavi
