// Tag states: tag open, tag and attribute names, attribute values (with character references),
// self-closing tags. Names are lower-cased as they are read; a repeated attribute is dropped.
#include <array>

#include "html5/tokenizer_machine.h"

namespace html5::detail {
namespace {

// Tags with more attributes than this look duplicates up in a hash set instead of the list.
constexpr std::size_t kLinearAttributeLimit = 16;

using ByteSet = std::array<bool, 256>;

constexpr ByteSet byte_set(std::string_view members) {
  ByteSet set{};
  for (const char c : members) set[static_cast<unsigned char>(c)] = true;
  return set;
}

// Bytes that end a run of ordinary name or value characters in each state. The literal is
// spelled with its length because it holds a NUL.
constexpr ByteSet kTagNameStops = byte_set(std::string_view("\t\n\f />\0", 7));
constexpr ByteSet kAttributeNameStops = byte_set(std::string_view("\t\n\f />=\0\"'<", 11));
constexpr ByteSet kUnquotedValueStops = byte_set(std::string_view("\t\n\f &>\0\"'<=`", 12));

// Appends input bytes from `pos` up to the first member of `stops`, lower-casing ASCII letters;
// returns the offset of that member (or the input's end).
std::size_t append_lowered(std::string_view in, std::size_t pos, const ByteSet& stops, std::string& out) {
  std::size_t end = pos;
  while (end < in.size() && !stops[static_cast<unsigned char>(in[end])]) ++end;
  const std::size_t old_size = out.size();
  out.append(in.data() + pos, end - pos);
  for (std::size_t i = old_size; i < out.size(); ++i) out[i] = to_ascii_lower(static_cast<unsigned char>(out[i]));
  return end;
}

}  // namespace

void Machine::start_tag(TagKind kind) {
  tag_.kind = kind;
  tag_.name.clear();
  tag_.self_closing = false;
  tag_.attrs.clear();
  has_attribute_ = false;
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
    error(TokenizerError::UnexpectedQuestionMarkInsteadOfTagName);
    start_comment(pos_, State::BogusComment);
  } else {
    error(TokenizerError::InvalidFirstCharacterOfTagName);
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
    error(TokenizerError::InvalidFirstCharacterOfTagName);
    start_comment(pos_, State::BogusComment);
  }
}

void Machine::tag_name() {
  for (;;) {
    pos_ = append_lowered(in_, pos_, kTagNameStops, tag_.name);
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
  has_attribute_ = true;
  attribute_name_.clear();
  attribute_value_.clear();
}

void Machine::commit_attribute() {
  if (!has_attribute_) return;
  has_attribute_ = false;
  if (is_duplicate_attribute(attribute_name_)) {
    error(TokenizerError::DuplicateAttribute);
    return;
  }
  tag_.attrs.push_back(Attribute{QualName{{}, Namespace::None, std::move(attribute_name_)}, std::move(attribute_value_)});
  attribute_name_.clear();
  attribute_value_.clear();
}

bool Machine::is_duplicate_attribute(const std::string& name) {
  const std::vector<Attribute>& attrs = tag_.attrs;
  if (attrs.size() < kLinearAttributeLimit) {
    for (const Attribute& attr : attrs) {
      if (attr.name.local == name) return true;
    }
    return false;
  }
  for (; attribute_names_indexed_ < attrs.size(); ++attribute_names_indexed_) {
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
    error(TokenizerError::UnexpectedEqualsSignBeforeAttributeName);
    attribute_name_.push_back('=');
    ++pos_;
  }
  state_ = State::AttributeName;
}

void Machine::attribute_name() {
  for (;;) {
    pos_ = append_lowered(in_, pos_, kAttributeNameStops, attribute_name_);
    if (at_eof()) {
      state_ = State::AfterAttributeName;
      return;
    }
    const char c = in_[pos_];
    switch (c) {
      case '=':
        ++pos_;
        state_ = State::BeforeAttributeValue;
        return;
      case '\0':
        ++pos_;
        error(TokenizerError::UnexpectedNullCharacter);
        attribute_name_.append(kReplacementUtf8);
        break;
      case '"':
      case '\'':
      case '<':
        ++pos_;
        error(TokenizerError::UnexpectedCharacterInAttributeName);
        attribute_name_.push_back(c);
        break;
      default:  // white space, "/", ">"
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
    attribute_value_.append(in_.data() + start, pos_ - start);
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
      attribute_value_.append(kReplacementUtf8);
    }
  }
}

void Machine::attribute_value_unquoted() {
  for (;;) {
    const std::size_t start = pos_;
    while (!at_eof() && !kUnquotedValueStops[peek()]) ++pos_;
    attribute_value_.append(in_.data() + start, pos_ - start);
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
        attribute_value_.append(kReplacementUtf8);
        break;
      case '"':
      case '\'':
      case '<':
      case '=':
      case '`':
        error(TokenizerError::UnexpectedCharacterInUnquotedAttributeValue);
        attribute_value_.push_back(c);
        break;
      default:  // white space
        state_ = State::BeforeAttributeName;
        return;
    }
  }
}

void Machine::char_ref_in_attribute() {
  const CharRefResult result = match_char_ref(in_, pos_, true);
  for (std::uint8_t i = 0; i < result.error_count; ++i) error(result.errors[i]);
  if (result.matched) {
    attribute_value_.append(result.ref.text, result.ref.size);
    pos_ = result.ref.end;
  } else {
    attribute_value_.push_back('&');
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
    error(TokenizerError::MissingWhitespaceBetweenAttributes);
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
  error(TokenizerError::UnexpectedSolidusInTag);
  state_ = State::BeforeAttributeName;
}

}  // namespace html5::detail
