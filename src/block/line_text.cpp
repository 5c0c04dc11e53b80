// The text of code and math blocks: source ranges copied once instead of line by line.
#include "block/build.h"

namespace vedavi::block {

namespace build {

void LineText::append_other(const line::Rest& rest, std::string_view line, bool lf_follows) {
  const char* text = rest.text.data();
  // The logical line is the source itself when it ends where the source line ends, with an LF
  // after it, and its padding stands for spaces just before its text on the same line.
  bool in_place = text != nullptr && lf_follows &&
                  text + rest.text.size() == line.data() + line.size() &&
                  rest.pad <= static_cast<std::size_t>(text - line.data());
  for (std::size_t i = 1; in_place && i <= rest.pad; ++i)
    in_place = text[-static_cast<std::ptrdiff_t>(i)] == ' ';
  if (!in_place) {
    flush();
    rest.append_to(text_);
    text_.push_back('\n');
    return;
  }
  const char* begin = text - rest.pad;
  if (begin != run_end_ || run_begin_ == run_end_) {
    flush();
    run_begin_ = begin;
  }
  run_end_ = text + rest.text.size() + 1;  // the LF
}

void LineText::flush() {
  text_.append(run_begin_, static_cast<std::size_t>(run_end_ - run_begin_));
  run_begin_ = run_end_ = nullptr;
}

std::string LineText::take() {
  if (text_.empty()) {
    std::string whole(run_begin_, static_cast<std::size_t>(run_end_ - run_begin_));
    run_begin_ = run_end_ = nullptr;
    return whole;
  }
  flush();
  return std::move(text_);
}

Str LineText::take_str(std::string_view kept_source) {
  if (!text_.empty()) {
    flush();
    Str copied(text_);
    text_ = std::string();
    return copied;
  }
  const std::string_view whole(run_begin_, static_cast<std::size_t>(run_end_ - run_begin_));
  run_begin_ = run_end_ = nullptr;
  const bool in_source = !kept_source.empty() && whole.data() >= kept_source.data() &&
                         whole.data() + whole.size() <= kept_source.data() + kept_source.size();
  return in_source ? Str::borrowed(whole) : Str(whole);
}

}  // namespace build

}  // namespace vedavi::block
