// Text states: data, RCDATA, RAWTEXT, script data (with its escaped and double-escaped forms),
// PLAINTEXT and CDATA sections. Ordinary bytes are skipped a word at a time and kept as ranges of
// the input; end tags inside raw text are recognised by reading the name ahead.
#include <cassert>

#include "html5/tokenizer_machine.h"

namespace html5::detail {

void Machine::data() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, '<', '&', '\0');
  keep(start, pos_);
  if (at_eof()) return emit_eof();
  switch (in_[pos_++]) {
    case '<':
      state_ = State::TagOpen;
      return;
    case '&':
      return char_ref_in_text();
    default:  // NUL
      error(TokenizerError::UnexpectedNullCharacter);
      return emit_null_character();
  }
}

void Machine::rcdata() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, '<', '&', '\0');
  keep(start, pos_);
  if (at_eof()) return emit_eof();
  switch (in_[pos_++]) {
    case '<':
      if (!at_eof() && peek() == '/') {
        ++pos_;
        return raw_end_tag(State::Rcdata);
      }
      return keep(pos_ - 1, pos_);
    case '&':
      return char_ref_in_text();
    default:
      error(TokenizerError::UnexpectedNullCharacter);
      return keep_replacement();
  }
}

void Machine::rawtext() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, '<', '\0');
  keep(start, pos_);
  if (at_eof()) return emit_eof();
  if (in_[pos_++] == '<') {
    if (!at_eof() && peek() == '/') {
      ++pos_;
      return raw_end_tag(State::Rawtext);
    }
    return keep(pos_ - 1, pos_);
  }
  error(TokenizerError::UnexpectedNullCharacter);
  keep_replacement();
}

void Machine::plaintext() {
  if (at_eof()) return emit_eof();
  const std::size_t start = pos_;
  const void* nul = std::memchr(in_.data() + pos_, '\0', in_.size() - pos_);
  pos_ = nul == nullptr ? in_.size() : static_cast<std::size_t>(static_cast<const char*>(nul) - in_.data());
  keep(start, pos_);
  if (at_eof()) return emit_eof();
  ++pos_;
  error(TokenizerError::UnexpectedNullCharacter);
  keep_replacement();
}

// After "</" in a text state: the end tag of the element that opened the text (the appropriate
// end tag) when its name is followed by white space, "/" or ">"; else the bytes are text.
void Machine::raw_end_tag(State text_state) {
  std::size_t end = pos_;
  while (end < in_.size() && is_ascii_alpha(static_cast<unsigned char>(in_[end]))) ++end;
  const std::string_view name = in_.substr(pos_, end - pos_);
  bool appropriate = !name.empty() && name.size() == last_start_tag_.size() && end < in_.size();
  if (appropriate) {
    const unsigned char next = static_cast<unsigned char>(in_[end]);
    appropriate = is_space(next) || next == '/' || next == '>';
  }
  for (std::size_t i = 0; appropriate && i < name.size(); ++i) {
    appropriate = to_ascii_lower(static_cast<unsigned char>(name[i])) == last_start_tag_[i];
  }
  if (!appropriate) {
    keep(pos_ - 2, end);
    pos_ = end;
    state_ = text_state;
    return;
  }
  start_tag(TagKind::End);
  tag_.name = last_start_tag_;
  pos_ = end;
  state_ = State::TagName;  // which reads the white space, "/" or ">" that follows
}

void Machine::char_ref_in_text() {
  const CharRefResult result = match_char_ref(in_, pos_, false);
  for (std::uint8_t i = 0; i < result.error_count; ++i) error(result.errors[i], result.error_offsets[i]);
  if (result.matched) {
    text_.append_rewritten(std::string_view(result.ref.text, result.ref.size));
    pos_ = result.ref.end;
    text_end_ = pos_;
  } else {
    keep(pos_ - 1, pos_);  // the "&" as written
  }
}

// --- script data ---

void Machine::script_data() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, '<', '\0');
  keep(start, pos_);
  if (at_eof()) return emit_eof();
  if (in_[pos_++] == '<') {
    state_ = State::ScriptDataLessThanSign;
    return;
  }
  error(TokenizerError::UnexpectedNullCharacter);
  keep_replacement();
}

void Machine::script_data_less_than_sign() {
  // pos_ - 1 holds the "<".
  if (!at_eof() && peek() == '/') {
    ++pos_;
    return raw_end_tag(State::ScriptData);
  }
  if (!at_eof() && peek() == '!') {
    ++pos_;
    keep(pos_ - 2, pos_);
    state_ = State::ScriptDataEscapeStart;
    return;
  }
  keep(pos_ - 1, pos_);
  state_ = State::ScriptData;
}

void Machine::script_data_escape_start() {
  if (!at_eof() && peek() == '-') {
    keep(pos_, pos_ + 1);
    ++pos_;
    state_ = State::ScriptDataEscapeStartDash;
    return;
  }
  state_ = State::ScriptData;
}

void Machine::script_data_escape_start_dash() {
  if (!at_eof() && peek() == '-') {
    keep(pos_, pos_ + 1);
    ++pos_;
    state_ = State::ScriptDataEscapedDashDash;
    return;
  }
  state_ = State::ScriptData;
}

void Machine::script_data_escaped() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, '-', '<', '\0');
  keep(start, pos_);
  if (at_eof()) {
    error(TokenizerError::EofInScriptHtmlCommentLikeText);
    return emit_eof();
  }
  switch (in_[pos_++]) {
    case '-':
      keep(pos_ - 1, pos_);
      state_ = State::ScriptDataEscapedDash;
      return;
    case '<':
      state_ = State::ScriptDataEscapedLessThanSign;
      return;
    default:
      error(TokenizerError::UnexpectedNullCharacter);
      return keep_replacement();
  }
}

// In the dash states every other character (NUL and end of input included) is read exactly as
// the escaped state reads it, so they hand it back to that state.
void Machine::script_data_escaped_dash() {
  if (!at_eof() && peek() == '-') {
    keep(pos_, pos_ + 1);
    ++pos_;
    state_ = State::ScriptDataEscapedDashDash;
    return;
  }
  if (!at_eof() && peek() == '<') {
    ++pos_;
    state_ = State::ScriptDataEscapedLessThanSign;
    return;
  }
  state_ = State::ScriptDataEscaped;
}

void Machine::script_data_escaped_dash_dash() {
  if (!at_eof()) {
    switch (peek()) {
      case '-':
        keep(pos_, pos_ + 1);
        ++pos_;
        return;
      case '<':
        ++pos_;
        state_ = State::ScriptDataEscapedLessThanSign;
        return;
      case '>':
        keep(pos_, pos_ + 1);
        ++pos_;
        state_ = State::ScriptData;
        return;
      default:
        break;
    }
  }
  state_ = State::ScriptDataEscaped;
}

void Machine::script_data_escaped_less_than_sign() {
  // pos_ - 1 holds the "<".
  if (!at_eof() && peek() == '/') {
    ++pos_;
    return raw_end_tag(State::ScriptDataEscaped);
  }
  keep(pos_ - 1, pos_);
  state_ = !at_eof() && is_ascii_alpha(peek()) ? State::ScriptDataDoubleEscapeStart : State::ScriptDataEscaped;
}

// Reads ahead the letters of a tag name inside an escaped script, where "<script" and
// "</script" switch between the escaped and the double-escaped states.
Machine::ScriptTagName Machine::read_script_tag_name() const {
  std::size_t end = pos_;
  while (end < in_.size() && is_ascii_alpha(static_cast<unsigned char>(in_[end]))) ++end;
  if (end == in_.size()) return {end, false, false};
  const unsigned char next = static_cast<unsigned char>(in_[end]);
  if (!is_space(next) && next != '/' && next != '>') return {end, false, false};
  const std::string_view name = in_.substr(pos_, end - pos_);
  const bool is_script = name.size() == 6 && starts_with_ignoring_case(name, 0, "script");
  return {end + 1, true, is_script};
}

// The letters and the character after them are script text whatever they spell.
void Machine::script_data_double_escape_start() {
  const ScriptTagName name = read_script_tag_name();
  keep(pos_, name.end);
  pos_ = name.end;
  state_ = name.is_terminated && name.is_script ? State::ScriptDataDoubleEscaped : State::ScriptDataEscaped;
}

void Machine::script_data_double_escaped() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, '-', '<', '\0');
  keep(start, pos_);
  if (at_eof()) {
    error(TokenizerError::EofInScriptHtmlCommentLikeText);
    return emit_eof();
  }
  switch (in_[pos_++]) {
    case '-':
      keep(pos_ - 1, pos_);
      state_ = State::ScriptDataDoubleEscapedDash;
      return;
    case '<':
      keep(pos_ - 1, pos_);
      state_ = State::ScriptDataDoubleEscapedLessThanSign;
      return;
    default:
      error(TokenizerError::UnexpectedNullCharacter);
      return keep_replacement();
  }
}

void Machine::script_data_double_escaped_dash() {
  if (!at_eof() && (peek() == '-' || peek() == '<')) {
    keep(pos_, pos_ + 1);
    state_ = in_[pos_] == '-' ? State::ScriptDataDoubleEscapedDashDash
                              : State::ScriptDataDoubleEscapedLessThanSign;
    ++pos_;
    return;
  }
  state_ = State::ScriptDataDoubleEscaped;
}

void Machine::script_data_double_escaped_dash_dash() {
  if (!at_eof()) {
    switch (peek()) {
      case '-':
        keep(pos_, pos_ + 1);
        ++pos_;
        return;
      case '<':
        keep(pos_, pos_ + 1);
        ++pos_;
        state_ = State::ScriptDataDoubleEscapedLessThanSign;
        return;
      case '>':
        keep(pos_, pos_ + 1);
        ++pos_;
        state_ = State::ScriptData;
        return;
      default:
        break;
    }
  }
  state_ = State::ScriptDataDoubleEscaped;
}

void Machine::script_data_double_escaped_less_than_sign() {
  if (!at_eof() && peek() == '/') {
    keep(pos_, pos_ + 1);
    ++pos_;
    state_ = State::ScriptDataDoubleEscapeEnd;
    return;
  }
  state_ = State::ScriptDataDoubleEscaped;
}

void Machine::script_data_double_escape_end() {
  const ScriptTagName name = read_script_tag_name();
  keep(pos_, name.end);
  pos_ = name.end;
  state_ = name.is_terminated && name.is_script ? State::ScriptDataEscaped : State::ScriptDataDoubleEscaped;
}

// --- CDATA sections ---

void Machine::cdata_section() {
  const std::size_t start = pos_;
  pos_ = find_any(in_, pos_, ']', '\0');
  keep(start, pos_);
  if (at_eof()) {
    error(TokenizerError::EofInCdata);
    return emit_eof();
  }
  if (in_[pos_++] == ']') {
    state_ = State::CdataSectionBracket;
    return;
  }
  emit_null_character();  // a NUL in CDATA is text, and NULs always travel alone
}

void Machine::cdata_section_bracket() {
  // pos_ - 1 holds a "]".
  if (!at_eof() && peek() == ']') {
    ++pos_;
    state_ = State::CdataSectionEnd;
    return;
  }
  keep(pos_ - 1, pos_);
  state_ = State::CdataSection;
}

void Machine::cdata_section_end() {
  // pos_ - 2 and pos_ - 1 hold "]]".
  if (!at_eof() && peek() == ']') {
    keep(pos_ - 2, pos_ - 1);
    ++pos_;
    return;
  }
  if (!at_eof() && peek() == '>') {
    ++pos_;
    state_ = State::Data;
    return;
  }
  keep(pos_ - 2, pos_);
  state_ = State::CdataSection;
}

}  // namespace html5::detail
