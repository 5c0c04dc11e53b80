// Tag states: tag open, tag and attribute names, attribute values (with character references),
// self-closing tags. Names are lower-cased as they are read; a repeated attribute is dropped.
#include <array>

#include "html5/tokenizer_machine.h"

namespace html5::detail {
namespace {

// Tags with more attributes than this look duplicates up in a hash set instead of the list.
constexpr std::size_t kLinearAttributeLimit = 16;

// What a byte means inside a name or an unquoted value.
enum ByteClass : std::uint8_t { kOrdinary = 0, kUpper = 1, kStop = 2 };
using ByteClasses = std::array<std::uint8_t, 256>;

// `stops` end a run of ordinary characters; ASCII capitals are marked for lower-casing.
constexpr ByteClasses byte_classes(std::string_view stops) {
  ByteClasses classes{};
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kUpper;
  for (const char c : stops) classes[static_cast<unsigned char>(c)] = kStop;
  return classes;
}

// The literals are spelled with their lengths because they hold a NUL.
constexpr ByteClasses kTagNameBytes = byte_classes(std::string_view("\t\n\f />\0", 7));
constexpr ByteClasses kAttributeNameBytes = byte_classes(std::string_view("\t\n\f />=\0\"'<", 11));
constexpr ByteClasses kUnquotedValueBytes = byte_classes(std::string_view("\t\n\f &>\0\"'<=`", 12));

// The end of the run of bytes from `pos` that are not stops of `classes`; `has_upper` tells
// whether the run holds an ASCII capital.
std::size_t run_end(std::string_view in, std::size_t pos, const ByteClasses& classes, bool& has_upper) {
  std::uint8_t seen = 0;
  std::size_t end = pos;
  for (; end < in.size(); ++end) {
    const std::uint8_t c = classes[static_cast<unsigned char>(in[end])];
    if (c == kStop) break;
    seen |= c;
  }
  has_upper = seen != 0;
  return end;
}

// Appends input bytes from `pos` up to the next stop of `classes`, lower-casing ASCII letters
// (names are mostly lower-case already); returns the stop's offset (or the input's end).
std::size_t append_lowered(std::string_view in, std::size_t pos, const ByteClasses& classes, std::string& out) {
  bool has_upper = false;
  const std::size_t end = run_end(in, pos, classes, has_upper);
  const std::size_t old_size = out.size();
  out.append(in.data() + pos, end - pos);
  if (has_upper) {
    for (std::size_t i = old_size; i < out.size(); ++i) out[i] = to_ascii_lower(static_cast<unsigned char>(out[i]));
  }
  return end;
}

}  // namespace

void Machine::start_tag(TagKind kind) {
  tag_.kind = kind;
  tag_.name.clear();
  tag_.self_closing = false;
  tag_.attrs.clear();
  has_attribute_ = false;
  is_duplicate_ = false;
  if (attribute_names_indexed_ != 0) {
    attribute_names_.clear();
    attribute_names_indexed_ = 0;
  }
}

void Machine::tag_open() {
  // pos_ - 1 holds the "<".
  if (at_eof()) {
    error(TokenizerError::EofBeforeTagName);
    keep(pos_ - 1, pos_);
    return emit_eof();
  }
  const unsigned char c = peek();
  if (c == '!') {
    ++pos_;
    state_ = State::MarkupDeclarationOpen;
  } else if (c == '/') {
    ++pos_;
    state_ = State::EndTagOpen;
  } else if (is_ascii_alpha(c)) {
    start_tag(TagKind::Start);
    state_ = State::TagName;
  } else if (c == '?') {
    error(TokenizerError::UnexpectedQuestionMarkInsteadOfTagName, pos_);
    start_comment(pos_, State::BogusComment);
  } else {
    error(TokenizerError::InvalidFirstCharacterOfTagName, pos_);
    keep(pos_ - 1, pos_);
    state_ = State::Data;
  }
}

void Machine::end_tag_open() {
  // pos_ - 2 holds "</".
  if (at_eof()) {
    error(TokenizerError::EofBeforeTagName);
    keep(pos_ - 2, pos_);
    return emit_eof();
  }
  const unsigned char c = peek();
  if (is_ascii_alpha(c)) {
    start_tag(TagKind::End);
    state_ = State::TagName;
  } else if (c == '>') {
    ++pos_;
    error(TokenizerError::MissingEndTagName);
    state_ = State::Data;
  } else {
    error(TokenizerError::InvalidFirstCharacterOfTagName, pos_);
    start_comment(pos_, State::BogusComment);
  }
}

void Machine::tag_name() {
  for (;;) {
    pos_ = append_lowered(in_, pos_, kTagNameBytes, tag_.name);
    if (at_eof()) {
      error(TokenizerError::EofInTag);
      return emit_eof();
    }
    switch (in_[pos_++]) {
      case '/':
        state_ = State::SelfClosingStartTag;
        return;
      case '>':
        return emit_tag();
      case '\0':
        error(TokenizerError::UnexpectedNullCharacter);
        tag_.name.append(kReplacementUtf8);
        break;
      default:  // white space
        state_ = State::BeforeAttributeName;
        return;
    }
  }
}

void Machine::start_attribute() {
  commit_attribute();
  tag_.attrs.emplace_back();
  has_attribute_ = true;
}

// Attributes are read in place, at the end of the tag's list. A name that repeats an earlier one
// is an error as soon as it is complete; the attribute is dropped once its value is read too.
void Machine::finish_attribute_name(std::size_t offset) {
  is_duplicate_ = is_duplicate_attribute();
  if (is_duplicate_) error(TokenizerError::DuplicateAttribute, offset);
}

void Machine::commit_attribute() {
  if (!has_attribute_) return;
  has_attribute_ = false;
  if (is_duplicate_) tag_.attrs.pop_back();
  is_duplicate_ = false;
}

bool Machine::is_duplicate_attribute() {
  const std::vector<Attribute>& attrs = tag_.attrs;
  const std::size_t earlier = attrs.size() - 1;
  const std::string& name = attrs.back().name.local;
  if (earlier < kLinearAttributeLimit) {
    for (std::size_t i = 0; i < earlier; ++i) {
      if (attrs[i].name.local == name) return true;
    }
    return false;
  }
  for (; attribute_names_indexed_ < earlier; ++attribute_names_indexed_) {
    attribute_names_.insert(attrs[attribute_names_indexed_].name.local);
  }
  return attribute_names_.contains(name);
}

void Machine::before_attribute_name() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof() || peek() == '/' || peek() == '>') {
    state_ = State::AfterAttributeName;
    return;
  }
  start_attribute();
  if (peek() == '=') {
    error(TokenizerError::UnexpectedEqualsSignBeforeAttributeName, pos_);
    new_attribute_name().push_back('=');
    ++pos_;
  }
  state_ = State::AttributeName;
}

void Machine::attribute_name() {
  for (;;) {
    pos_ = append_lowered(in_, pos_, kAttributeNameBytes, new_attribute_name());
    if (at_eof()) {
      finish_attribute_name(pos_);
      state_ = State::AfterAttributeName;
      return;
    }
    const char c = in_[pos_];
    switch (c) {
      case '=':
        finish_attribute_name(pos_);
        ++pos_;
        state_ = State::BeforeAttributeValue;
        return;
      case '\0':
        ++pos_;
        error(TokenizerError::UnexpectedNullCharacter);
        new_attribute_name().append(kReplacementUtf8);
        break;
      case '"':
      case '\'':
      case '<':
        ++pos_;
        error(TokenizerError::UnexpectedCharacterInAttributeName);
        new_attribute_name().push_back(c);
        break;
      default:  // white space, "/", ">"
        finish_attribute_name(pos_);
        state_ = State::AfterAttributeName;
        return;
    }
  }
}

void Machine::after_attribute_name() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof()) {
    error(TokenizerError::EofInTag);
    return emit_eof();
  }
  switch (peek()) {
    case '/':
      ++pos_;
      state_ = State::SelfClosingStartTag;
      return;
    case '=':
      ++pos_;
      state_ = State::BeforeAttributeValue;
      return;
    case '>':
      ++pos_;
      return emit_tag();
    default:
      start_attribute();
      state_ = State::AttributeName;
      return;
  }
}

void Machine::before_attribute_value() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (!at_eof()) {
    switch (peek()) {
      case '"':
        ++pos_;
        state_ = State::AttributeValueDoubleQuoted;
        return;
      case '\'':
        ++pos_;
        state_ = State::AttributeValueSingleQuoted;
        return;
      case '>':
        ++pos_;
        error(TokenizerError::MissingAttributeValue);
        return emit_tag();
      default:
        break;
    }
  }
  state_ = State::AttributeValueUnquoted;
}

void Machine::attribute_value_quoted(char quote) {
  for (;;) {
    const std::size_t start = pos_;
    pos_ = find_any(in_, pos_, quote, '&', '\0');
    new_attribute_value().append(in_.data() + start, pos_ - start);
    if (at_eof()) {
      error(TokenizerError::EofInTag);
      return emit_eof();
    }
    const char c = in_[pos_++];
    if (c == quote) {
      state_ = State::AfterAttributeValueQuoted;
      return;
    }
    if (c == '&') {
      char_ref_in_attribute();
    } else {
      error(TokenizerError::UnexpectedNullCharacter);
      new_attribute_value().append(kReplacementUtf8);
    }
  }
}

void Machine::attribute_value_unquoted() {
  for (;;) {
    const std::size_t start = pos_;
    bool has_upper = false;  // values keep their case
    pos_ = run_end(in_, pos_, kUnquotedValueBytes, has_upper);
    new_attribute_value().append(in_.data() + start, pos_ - start);
    if (at_eof()) {
      error(TokenizerError::EofInTag);
      return emit_eof();
    }
    const char c = in_[pos_++];
    switch (c) {
      case '&':
        char_ref_in_attribute();
        break;
      case '>':
        return emit_tag();
      case '\0':
        error(TokenizerError::UnexpectedNullCharacter);
        new_attribute_value().append(kReplacementUtf8);
        break;
      case '"':
      case '\'':
      case '<':
      case '=':
      case '`':
        error(TokenizerError::UnexpectedCharacterInUnquotedAttributeValue);
        new_attribute_value().push_back(c);
        break;
      default:  // white space
        state_ = State::BeforeAttributeName;
        return;
    }
  }
}

void Machine::char_ref_in_attribute() {
  const CharRefResult result = match_char_ref(in_, pos_, true);
  for (std::uint8_t i = 0; i < result.error_count; ++i) error(result.errors[i], result.error_offsets[i]);
  if (result.matched) {
    new_attribute_value().append(result.ref.text, result.ref.size);
    pos_ = result.ref.end;
  } else {
    new_attribute_value().push_back('&');
  }
}

void Machine::after_attribute_value_quoted() {
  if (at_eof()) {
    error(TokenizerError::EofInTag);
    return emit_eof();
  }
  const unsigned char c = peek();
  if (is_space(c)) {
    ++pos_;
    state_ = State::BeforeAttributeName;
  } else if (c == '/') {
    ++pos_;
    state_ = State::SelfClosingStartTag;
  } else if (c == '>') {
    ++pos_;
    emit_tag();
  } else {
    error(TokenizerError::MissingWhitespaceBetweenAttributes, pos_);
    state_ = State::BeforeAttributeName;
  }
}

void Machine::self_closing_start_tag() {
  if (at_eof()) {
    error(TokenizerError::EofInTag);
    return emit_eof();
  }
  if (peek() == '>') {
    ++pos_;
    tag_.self_closing = true;
    return emit_tag();
  }
  error(TokenizerError::UnexpectedSolidusInTag, pos_);
  state_ = State::BeforeAttributeName;
}

}  // namespace html5::detail
