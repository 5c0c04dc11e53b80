// DOCTYPE states: the name, the PUBLIC and SYSTEM keywords and identifiers, and the bogus
// remainder. The public and system halves share their handlers.
#include "html5/tokenizer_machine.h"

namespace html5::detail {

void Machine::eof_in_doctype() {
  error(TokenizerError::EofInDoctype);
  doctype_.force_quirks = true;
  emit_doctype();
  emit_eof();
}

void Machine::doctype() {
  doctype_ = {};
  if (at_eof()) return eof_in_doctype();
  if (is_space(peek())) {
    ++pos_;
  } else if (peek() != '>') {
    error(TokenizerError::MissingWhitespaceBeforeDoctypeName, pos_);
  }
  state_ = State::BeforeDoctypeName;
}

void Machine::before_doctype_name() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof()) return eof_in_doctype();
  const unsigned char c = peek();
  ++pos_;
  if (c == '>') {
    error(TokenizerError::MissingDoctypeName);
    doctype_.force_quirks = true;
    return emit_doctype();
  }
  doctype_.name.emplace();
  if (c == '\0') {
    error(TokenizerError::UnexpectedNullCharacter);
    doctype_.name->append(kReplacementUtf8);
  } else {
    doctype_.name->push_back(to_ascii_lower(c));
  }
  state_ = State::DoctypeName;
}

void Machine::doctype_name() {
  std::string& name = *doctype_.name;
  while (!at_eof()) {
    const unsigned char c = peek();
    ++pos_;
    if (is_space(c)) {
      state_ = State::AfterDoctypeName;
      return;
    }
    if (c == '>') return emit_doctype();
    if (c == '\0') {
      error(TokenizerError::UnexpectedNullCharacter);
      name.append(kReplacementUtf8);
    } else {
      name.push_back(to_ascii_lower(c));
    }
  }
  eof_in_doctype();
}

void Machine::after_doctype_name() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof()) return eof_in_doctype();
  if (peek() == '>') {
    ++pos_;
    return emit_doctype();
  }
  if (starts_with_ignoring_case(in_, pos_, "public")) {
    pos_ += 6;
    state_ = State::AfterDoctypePublicKeyword;
    return;
  }
  if (starts_with_ignoring_case(in_, pos_, "system")) {
    pos_ += 6;
    state_ = State::AfterDoctypeSystemKeyword;
    return;
  }
  error(TokenizerError::InvalidCharacterSequenceAfterDoctypeName, pos_);
  doctype_.force_quirks = true;
  state_ = State::BogusDoctype;
}

void Machine::open_identifier(bool is_public, char quote) {
  (is_public ? doctype_.public_id : doctype_.system_id).emplace();
  if (is_public) {
    state_ = quote == '"' ? State::DoctypePublicIdentifierDoubleQuoted : State::DoctypePublicIdentifierSingleQuoted;
  } else {
    state_ = quote == '"' ? State::DoctypeSystemIdentifierDoubleQuoted : State::DoctypeSystemIdentifierSingleQuoted;
  }
}

// After the PUBLIC or SYSTEM keyword.
void Machine::after_doctype_keyword(bool is_public) {
  if (at_eof()) return eof_in_doctype();
  const unsigned char c = peek();
  if (is_space(c)) {
    ++pos_;
    state_ = is_public ? State::BeforeDoctypePublicIdentifier : State::BeforeDoctypeSystemIdentifier;
    return;
  }
  if (c == '"' || c == '\'') {
    ++pos_;
    error(is_public ? TokenizerError::MissingWhitespaceAfterDoctypePublicKeyword
                    : TokenizerError::MissingWhitespaceAfterDoctypeSystemKeyword);
    return open_identifier(is_public, static_cast<char>(c));
  }
  before_doctype_identifier(is_public);
}

void Machine::before_doctype_identifier(bool is_public) {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof()) return eof_in_doctype();
  const unsigned char c = peek();
  if (c == '"' || c == '\'') {
    ++pos_;
    return open_identifier(is_public, static_cast<char>(c));
  }
  doctype_.force_quirks = true;
  if (c == '>') {
    ++pos_;
    error(is_public ? TokenizerError::MissingDoctypePublicIdentifier : TokenizerError::MissingDoctypeSystemIdentifier);
    return emit_doctype();
  }
  error(is_public ? TokenizerError::MissingQuoteBeforeDoctypePublicIdentifier
                  : TokenizerError::MissingQuoteBeforeDoctypeSystemIdentifier,
        pos_);
  state_ = State::BogusDoctype;
}

void Machine::doctype_identifier_quoted(bool is_public, char quote) {
  std::string& id = *(is_public ? doctype_.public_id : doctype_.system_id);
  for (;;) {
    const std::size_t start = pos_;
    pos_ = find_any(in_, pos_, quote, '>', '\0');
    id.append(in_.data() + start, pos_ - start);
    if (at_eof()) return eof_in_doctype();
    const char c = in_[pos_++];
    if (c == quote) {
      state_ = is_public ? State::AfterDoctypePublicIdentifier : State::AfterDoctypeSystemIdentifier;
      return;
    }
    if (c == '>') {
      error(is_public ? TokenizerError::AbruptDoctypePublicIdentifier : TokenizerError::AbruptDoctypeSystemIdentifier);
      doctype_.force_quirks = true;
      return emit_doctype();
    }
    error(TokenizerError::UnexpectedNullCharacter);
    id.append(kReplacementUtf8);
  }
}

void Machine::after_doctype_public_identifier() {
  if (at_eof()) return eof_in_doctype();
  const unsigned char c = peek();
  if (is_space(c)) {
    ++pos_;
    state_ = State::BetweenDoctypePublicAndSystemIdentifiers;
    return;
  }
  if (c == '"' || c == '\'') {
    ++pos_;
    error(TokenizerError::MissingWhitespaceBetweenDoctypePublicAndSystemIdentifiers);
    return open_identifier(false, static_cast<char>(c));
  }
  between_doctype_public_and_system_identifiers();
}

void Machine::between_doctype_public_and_system_identifiers() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof()) return eof_in_doctype();
  const unsigned char c = peek();
  ++pos_;
  if (c == '>') return emit_doctype();
  if (c == '"' || c == '\'') return open_identifier(false, static_cast<char>(c));
  --pos_;
  error(TokenizerError::MissingQuoteBeforeDoctypeSystemIdentifier, pos_);
  doctype_.force_quirks = true;
  state_ = State::BogusDoctype;
}

void Machine::after_doctype_system_identifier() {
  while (!at_eof() && is_space(peek())) ++pos_;
  if (at_eof()) return eof_in_doctype();
  if (peek() == '>') {
    ++pos_;
    return emit_doctype();
  }
  // Unlike the other mistakes, this one leaves the document out of quirks mode.
  error(TokenizerError::UnexpectedCharacterAfterDoctypeSystemIdentifier, pos_);
  state_ = State::BogusDoctype;
}

void Machine::bogus_doctype() {
  for (;;) {
    pos_ = find_any(in_, pos_, '>', '\0');
    if (at_eof()) {
      emit_doctype();
      return emit_eof();
    }
    if (in_[pos_++] == '>') return emit_doctype();
    error(TokenizerError::UnexpectedNullCharacter);
  }
}

}  // namespace html5::detail
