// Literal inline text: backslash escapes and character references.
#include "inline/text.h"

#include "inline/byte_scan.h"
#include "text/entity.h"
#include "text/scan.h"

namespace vedavi::inl {

void append_inline_text(std::string_view raw, std::string& out) {
  // Most destinations and titles hold neither escapes nor references: they are taken whole.
  if (find_any_of<'\\', '&'>(raw, 0, raw.size()) == raw.size()) {
    out += raw;
    return;
  }
  // Decode the runs between escaped ampersands separately: a reference name holds no "&", so no
  // reference can span one, and the ampersand itself is never read as the start of one.
  std::string run;
  run.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\\' && i + 1 < raw.size() && scan::is_ascii_punctuation(static_cast<unsigned char>(raw[i + 1]))) {
      ++i;
      if (raw[i] == '&') {
        entity::append_decoded_entities(run, out);
        run.clear();
        out += '&';
      } else {
        run += raw[i];
      }
    } else {
      run += c;
    }
  }
  entity::append_decoded_entities(run, out);
}

Str inline_text(std::string_view raw, bool borrow) {
  if (find_any_of<'\\', '&'>(raw, 0, raw.size()) == raw.size())
    return borrow ? Str::borrowed(raw) : Str(raw);
  thread_local std::string decoded;
  decoded.clear();
  append_inline_text(raw, decoded);
  return Str(decoded);
}

void PendingText::drop_back(std::size_t n) {
  size_ -= n;
  if (!copied_) return;
  text_.resize(size_);
  while (!literal_ampersands_.empty() && literal_ampersands_.back() >= size_)
    literal_ampersands_.pop_back();
}

Str PendingText::take_held(Arena& arena, bool borrow) {
  const std::string_view run = view();
  Str out;
  if (!has_ampersand_ || run.find('&') == std::string_view::npos) {
    // Copied straight into the tree when it is no stretch of a text that outlives it.
    out = borrow && !copied_ ? Str::borrowed(run) : Str::copied_into(arena, run);
  } else {
    decoded_.clear();
    std::size_t from = 0;
    for (std::size_t amp : literal_ampersands_) {
      entity::append_decoded_entities(run.substr(from, amp - from), decoded_);
      decoded_ += '&';
      from = amp + 1;
    }
    entity::append_decoded_entities(run.substr(from), decoded_);
    out = Str::copied_into(arena, decoded_);
  }
  clear();
  return out;
}

}  // namespace vedavi::inl
