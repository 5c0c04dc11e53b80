// Markup declarations and comments. A comment's data is always one range of the input (the
// states only decide where it ends), so the comment states track positions and the data is cut
// out when the comment is sent.
#include "html5/tokenizer_machine.h"

namespace html5::detail {

void Machine::start_comment(std::size_t data_begin, State state) {
  comment_begin_ = data_begin;
  state_ = state;
}

void Machine::markup_declaration_open() {
  if (in_.substr(pos_, 2) == "--") {
    pos_ += 2;
    return start_comment(pos_, State::CommentStart);
  }
  if (starts_with_ignoring_case(in_, pos_, "doctype")) {
    pos_ += 7;
    state_ = State::Doctype;
    return;
  }
  if (in_.substr(pos_, 7) == "[CDATA[") {
    // The sink answers for the tokens sent so far, so pending text goes out first.
    flush_text();
    if (sink_.adjusted_current_node_present_but_not_in_html_namespace()) {
      pos_ += 7;
      state_ = State::CdataSection;
      return;
    }
    error(TokenizerError::CdataInHtmlContent);
    return start_comment(pos_, State::BogusComment);  // the data begins with "[CDATA["
  }
  error(TokenizerError::IncorrectlyOpenedComment, pos_);
  start_comment(pos_, State::BogusComment);
}

void Machine::bogus_comment() {
  for (;;) {
    pos_ = find_any(in_, pos_, '>', '\0');
    if (at_eof()) {
      emit_comment(pos_);
      return emit_eof();
    }
    if (in_[pos_++] == '>') return emit_comment(pos_ - 1);
    error(TokenizerError::UnexpectedNullCharacter);
  }
}

void Machine::comment_start() {
  if (!at_eof() && peek() == '-') {
    ++pos_;
    state_ = State::CommentStartDash;
  } else if (!at_eof() && peek() == '>') {
    ++pos_;
    error(TokenizerError::AbruptClosingOfEmptyComment);
    emit_comment(comment_begin_);
  } else {
    state_ = State::Comment;
  }
}

void Machine::comment_start_dash() {
  if (at_eof()) {
    error(TokenizerError::EofInComment);
    emit_comment(comment_begin_);
    return emit_eof();
  }
  if (peek() == '-') {
    ++pos_;
    state_ = State::CommentEnd;
  } else if (peek() == '>') {
    ++pos_;
    error(TokenizerError::AbruptClosingOfEmptyComment);
    emit_comment(comment_begin_);
  } else {
    state_ = State::Comment;  // the "-" read is data
  }
}

void Machine::comment() {
  for (;;) {
    pos_ = find_any(in_, pos_, '<', '-', '\0');
    if (at_eof()) {
      error(TokenizerError::EofInComment);
      emit_comment(pos_);
      return emit_eof();
    }
    switch (in_[pos_++]) {
      case '<':
        state_ = State::CommentLessThanSign;
        return;
      case '-':
        state_ = State::CommentEndDash;
        return;
      default:  // NUL, replaced when the comment is sent
        error(TokenizerError::UnexpectedNullCharacter);
        break;
    }
  }
}

void Machine::comment_less_than_sign() {
  if (!at_eof() && peek() == '!') {
    ++pos_;
    state_ = State::CommentLessThanSignBang;
  } else if (!at_eof() && peek() == '<') {
    ++pos_;
  } else {
    state_ = State::Comment;
  }
}

void Machine::comment_less_than_sign_bang() {
  if (!at_eof() && peek() == '-') {
    ++pos_;
    state_ = State::CommentLessThanSignBangDash;
  } else {
    state_ = State::Comment;
  }
}

void Machine::comment_less_than_sign_bang_dash() {
  if (!at_eof() && peek() == '-') {
    ++pos_;
    state_ = State::CommentLessThanSignBangDashDash;
  } else {
    state_ = State::CommentEndDash;
  }
}

void Machine::comment_less_than_sign_bang_dash_dash() {
  if (!at_eof() && peek() != '>') error(TokenizerError::NestedComment, pos_);
  state_ = State::CommentEnd;
}

void Machine::comment_end_dash() {
  // pos_ - 1 holds a "-".
  if (at_eof()) {
    error(TokenizerError::EofInComment);
    emit_comment(pos_ - 1);
    return emit_eof();
  }
  if (peek() == '-') {
    ++pos_;
    state_ = State::CommentEnd;
  } else {
    state_ = State::Comment;
  }
}

void Machine::comment_end() {
  // pos_ - 2 and pos_ - 1 hold "--".
  if (at_eof()) {
    error(TokenizerError::EofInComment);
    emit_comment(pos_ - 2);
    return emit_eof();
  }
  switch (peek()) {
    case '>':
      ++pos_;
      return emit_comment(pos_ - 3);
    case '!':
      ++pos_;
      state_ = State::CommentEndBang;
      return;
    case '-':
      ++pos_;  // the first of three dashes is data
      return;
    default:
      state_ = State::Comment;
      return;
  }
}

void Machine::comment_end_bang() {
  // pos_ - 3 to pos_ - 1 hold "--!".
  if (at_eof()) {
    error(TokenizerError::EofInComment);
    emit_comment(pos_ - 3);
    return emit_eof();
  }
  if (peek() == '-') {
    ++pos_;
    state_ = State::CommentEndDash;
  } else if (peek() == '>') {
    ++pos_;
    error(TokenizerError::IncorrectlyClosedComment);
    emit_comment(pos_ - 4);
  } else {
    state_ = State::Comment;
  }
}

}  // namespace html5::detail
