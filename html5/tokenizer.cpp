// The tokenizer's entry: input preprocessing, the state dispatch, and sending tokens and errors
// to the sink.
#include "html5/tokenizer.h"

#include <array>
#include <cassert>
#include <cstring>
#include <string>

#include "html5/tokenizer_machine.h"

namespace html5 {
namespace {

constexpr std::string_view kStateNames[] = {
    "Data",
    "Rcdata",
    "Rawtext",
    "ScriptData",
    "Plaintext",
    "TagOpen",
    "EndTagOpen",
    "TagName",
    "RcdataLessThanSign",
    "RcdataEndTagOpen",
    "RcdataEndTagName",
    "RawtextLessThanSign",
    "RawtextEndTagOpen",
    "RawtextEndTagName",
    "ScriptDataLessThanSign",
    "ScriptDataEndTagOpen",
    "ScriptDataEndTagName",
    "ScriptDataEscapeStart",
    "ScriptDataEscapeStartDash",
    "ScriptDataEscaped",
    "ScriptDataEscapedDash",
    "ScriptDataEscapedDashDash",
    "ScriptDataEscapedLessThanSign",
    "ScriptDataEscapedEndTagOpen",
    "ScriptDataEscapedEndTagName",
    "ScriptDataDoubleEscapeStart",
    "ScriptDataDoubleEscaped",
    "ScriptDataDoubleEscapedDash",
    "ScriptDataDoubleEscapedDashDash",
    "ScriptDataDoubleEscapedLessThanSign",
    "ScriptDataDoubleEscapeEnd",
    "BeforeAttributeName",
    "AttributeName",
    "AfterAttributeName",
    "BeforeAttributeValue",
    "AttributeValueDoubleQuoted",
    "AttributeValueSingleQuoted",
    "AttributeValueUnquoted",
    "AfterAttributeValueQuoted",
    "SelfClosingStartTag",
    "BogusComment",
    "MarkupDeclarationOpen",
    "CommentStart",
    "CommentStartDash",
    "Comment",
    "CommentLessThanSign",
    "CommentLessThanSignBang",
    "CommentLessThanSignBangDash",
    "CommentLessThanSignBangDashDash",
    "CommentEndDash",
    "CommentEnd",
    "CommentEndBang",
    "Doctype",
    "BeforeDoctypeName",
    "DoctypeName",
    "AfterDoctypeName",
    "AfterDoctypePublicKeyword",
    "BeforeDoctypePublicIdentifier",
    "DoctypePublicIdentifierDoubleQuoted",
    "DoctypePublicIdentifierSingleQuoted",
    "AfterDoctypePublicIdentifier",
    "BetweenDoctypePublicAndSystemIdentifiers",
    "AfterDoctypeSystemKeyword",
    "BeforeDoctypeSystemIdentifier",
    "DoctypeSystemIdentifierDoubleQuoted",
    "DoctypeSystemIdentifierSingleQuoted",
    "AfterDoctypeSystemIdentifier",
    "BogusDoctype",
    "CdataSection",
    "CdataSectionBracket",
    "CdataSectionEnd",
    "CharacterReference",
    "NamedCharacterReference",
    "AmbiguousAmpersand",
    "NumericCharacterReference",
    "HexadecimalCharacterReferenceStart",
    "DecimalCharacterReferenceStart",
    "HexadecimalCharacterReference",
    "DecimalCharacterReference",
    "NumericCharacterReferenceEnd",
};
constexpr std::string_view kErrorCodes[] = {
    "abrupt-closing-of-empty-comment",
    "abrupt-doctype-public-identifier",
    "abrupt-doctype-system-identifier",
    "absence-of-digits-in-numeric-character-reference",
    "cdata-in-html-content",
    "character-reference-outside-unicode-range",
    "control-character-in-input-stream",
    "control-character-reference",
    "duplicate-attribute",
    "end-tag-with-attributes",
    "end-tag-with-trailing-solidus",
    "eof-before-tag-name",
    "eof-in-cdata",
    "eof-in-comment",
    "eof-in-doctype",
    "eof-in-script-html-comment-like-text",
    "eof-in-tag",
    "incorrectly-closed-comment",
    "incorrectly-opened-comment",
    "invalid-character-sequence-after-doctype-name",
    "invalid-first-character-of-tag-name",
    "missing-attribute-value",
    "missing-doctype-name",
    "missing-doctype-public-identifier",
    "missing-doctype-system-identifier",
    "missing-end-tag-name",
    "missing-quote-before-doctype-public-identifier",
    "missing-quote-before-doctype-system-identifier",
    "missing-semicolon-after-character-reference",
    "missing-whitespace-after-doctype-public-keyword",
    "missing-whitespace-after-doctype-system-keyword",
    "missing-whitespace-before-doctype-name",
    "missing-whitespace-between-attributes",
    "missing-whitespace-between-doctype-public-and-system-identifiers",
    "nested-comment",
    "noncharacter-character-reference",
    "noncharacter-in-input-stream",
    "null-character-reference",
    "surrogate-character-reference",
    "surrogate-in-input-stream",
    "unexpected-character-after-doctype-system-identifier",
    "unexpected-character-in-attribute-name",
    "unexpected-character-in-unquoted-attribute-value",
    "unexpected-equals-sign-before-attribute-name",
    "unexpected-null-character",
    "unexpected-question-mark-instead-of-tag-name",
    "unexpected-solidus-in-tag",
    "unknown-named-character-reference",
};

static_assert(std::size(kStateNames) == static_cast<std::size_t>(TokenizerState::NumericCharacterReferenceEnd) + 1);
static_assert(std::size(kErrorCodes) ==
              static_cast<std::size_t>(detail::TokenizerError::UnknownNamedCharacterReference) + 1);

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Only these states can begin tokenizing: every other one needs a token already in progress.
TokenizerState starting_state(TokenizerState state) {
  switch (state) {
    case TokenizerState::Data:
    case TokenizerState::Rcdata:
    case TokenizerState::Rawtext:
    case TokenizerState::ScriptData:
    case TokenizerState::ScriptDataEscaped:
    case TokenizerState::ScriptDataDoubleEscaped:
    case TokenizerState::Plaintext:
    case TokenizerState::CdataSection:
      return state;
    default:
      return TokenizerState::Data;
  }
}

}  // namespace

std::string_view tokenizer_state_name(TokenizerState state) {
  return kStateNames[static_cast<std::size_t>(state)];
}

TokenizerState tokenizer_state_for_context(const QualName& context, bool scripting) {
  if (context.ns != Namespace::Html) return TokenizerState::Data;
  const std::string_view name = context.local;
  if (name == "title" || name == "textarea") return TokenizerState::Rcdata;
  if (name == "style" || name == "xmp" || name == "iframe" || name == "noembed" || name == "noframes") {
    return TokenizerState::Rawtext;
  }
  if (name == "script") return TokenizerState::ScriptData;
  if (name == "noscript") return scripting ? TokenizerState::Rawtext : TokenizerState::Data;
  if (name == "plaintext") return TokenizerState::Plaintext;
  return TokenizerState::Data;
}

bool tokenize(std::string_view input, TokenSink& sink, const TokenizerOptions& options) {
  // Offsets and lengths downstream are 32-bit.
  if (input.size() >= (std::uint64_t{1} << 32)) return false;
  if (options.discard_bom && input.starts_with(kBom)) input.remove_prefix(kBom.size());
  std::string normalized;
  if (detail::normalize_newlines(input, normalized)) input = normalized;
  detail::Machine machine(input, sink, options);
  machine.run();
  return true;
}

namespace detail {

std::string_view tokenizer_error_code(TokenizerError error) {
  return kErrorCodes[static_cast<std::size_t>(error)];
}

Machine::Machine(std::string_view input, TokenSink& sink, const TokenizerOptions& options)
    : in_(input),
      sink_(sink),
      exact_errors_(options.exact_errors),
      state_(starting_state(options.initial_state)) {
  if (exact_errors_) input_stream_errors_ = find_input_stream_errors(in_);
  last_start_tag_.reserve(options.last_start_tag_name.size());
  for (const char c : options.last_start_tag_name) last_start_tag_.push_back(to_ascii_lower(c));
}

void Machine::run() {
  while (!done_) step();
  sink_.end();
}

void Machine::step() {
  switch (state_) {
    case State::Data: return data();
    case State::Rcdata: return rcdata();
    case State::Rawtext: return rawtext();
    case State::Plaintext: return plaintext();
    case State::ScriptData: return script_data();
    case State::ScriptDataLessThanSign: return script_data_less_than_sign();
    case State::ScriptDataEscapeStart: return script_data_escape_start();
    case State::ScriptDataEscapeStartDash: return script_data_escape_start_dash();
    case State::ScriptDataEscaped: return script_data_escaped();
    case State::ScriptDataEscapedDash: return script_data_escaped_dash();
    case State::ScriptDataEscapedDashDash: return script_data_escaped_dash_dash();
    case State::ScriptDataEscapedLessThanSign: return script_data_escaped_less_than_sign();
    case State::ScriptDataDoubleEscapeStart: return script_data_double_escape_start();
    case State::ScriptDataDoubleEscaped: return script_data_double_escaped();
    case State::ScriptDataDoubleEscapedDash: return script_data_double_escaped_dash();
    case State::ScriptDataDoubleEscapedDashDash: return script_data_double_escaped_dash_dash();
    case State::ScriptDataDoubleEscapedLessThanSign: return script_data_double_escaped_less_than_sign();
    case State::ScriptDataDoubleEscapeEnd: return script_data_double_escape_end();
    case State::CdataSection: return cdata_section();
    case State::CdataSectionBracket: return cdata_section_bracket();
    case State::CdataSectionEnd: return cdata_section_end();

    case State::TagOpen: return tag_open();
    case State::EndTagOpen: return end_tag_open();
    case State::TagName: return tag_name();
    case State::BeforeAttributeName: return before_attribute_name();
    case State::AttributeName: return attribute_name();
    case State::AfterAttributeName: return after_attribute_name();
    case State::BeforeAttributeValue: return before_attribute_value();
    case State::AttributeValueDoubleQuoted: return attribute_value_quoted('"');
    case State::AttributeValueSingleQuoted: return attribute_value_quoted('\'');
    case State::AttributeValueUnquoted: return attribute_value_unquoted();
    case State::AfterAttributeValueQuoted: return after_attribute_value_quoted();
    case State::SelfClosingStartTag: return self_closing_start_tag();

    case State::MarkupDeclarationOpen: return markup_declaration_open();
    case State::BogusComment: return bogus_comment();
    case State::CommentStart: return comment_start();
    case State::CommentStartDash: return comment_start_dash();
    case State::Comment: return comment();
    case State::CommentLessThanSign: return comment_less_than_sign();
    case State::CommentLessThanSignBang: return comment_less_than_sign_bang();
    case State::CommentLessThanSignBangDash: return comment_less_than_sign_bang_dash();
    case State::CommentLessThanSignBangDashDash: return comment_less_than_sign_bang_dash_dash();
    case State::CommentEndDash: return comment_end_dash();
    case State::CommentEnd: return comment_end();
    case State::CommentEndBang: return comment_end_bang();

    case State::Doctype: return doctype();
    case State::BeforeDoctypeName: return before_doctype_name();
    case State::DoctypeName: return doctype_name();
    case State::AfterDoctypeName: return after_doctype_name();
    case State::AfterDoctypePublicKeyword: return after_doctype_keyword(true);
    case State::AfterDoctypeSystemKeyword: return after_doctype_keyword(false);
    case State::BeforeDoctypePublicIdentifier: return before_doctype_identifier(true);
    case State::BeforeDoctypeSystemIdentifier: return before_doctype_identifier(false);
    case State::DoctypePublicIdentifierDoubleQuoted: return doctype_identifier_quoted(true, '"');
    case State::DoctypePublicIdentifierSingleQuoted: return doctype_identifier_quoted(true, '\'');
    case State::DoctypeSystemIdentifierDoubleQuoted: return doctype_identifier_quoted(false, '"');
    case State::DoctypeSystemIdentifierSingleQuoted: return doctype_identifier_quoted(false, '\'');
    case State::AfterDoctypePublicIdentifier: return after_doctype_public_identifier();
    case State::BetweenDoctypePublicAndSystemIdentifiers:
      return between_doctype_public_and_system_identifiers();
    case State::AfterDoctypeSystemIdentifier: return after_doctype_system_identifier();
    case State::BogusDoctype: return bogus_doctype();

    // The end-tag states of the text states are read ahead by raw_end_tag, and the character
    // reference states by match_char_ref: none of them is ever the current state.
    default:
      assert(false && "state without a handler");
      state_ = State::Data;
      return;
  }
}

// --- sending tokens ---

// The line on which `offset` lies, counted on demand. Lines only move forward: an offset before
// one already asked for (text sent after an error found further on) gets that later line.
std::uint64_t Machine::line_at(std::size_t offset) {
  offset = std::min(offset, in_.size());
  if (offset > line_pos_) {
    const char* p = in_.data() + line_pos_;
    const char* const end = in_.data() + offset;
    while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
      ++line_;
      p = static_cast<const char*>(nl) + 1;
    }
    line_pos_ = offset;
  }
  return line_;
}

// A token is sent with the line on which it ends.
TokenSinkResult Machine::send(Token& token, std::size_t end) {
  if (input_stream_errors_sent_ < input_stream_errors_.size()) report_input_stream_errors(end);
  return sink_.process_token(token, line_at(end));
}

void Machine::flush_text() {
  if (text_.empty()) return;
  token_.kind = TokenKind::Characters;
  token_.text = text_.view();
  send(token_, text_end_);
  token_.text = {};
  text_.clear();
}

void Machine::keep_replacement() {
  text_.append_rewritten(kReplacementUtf8);
  text_end_ = pos_;
}

void Machine::emit_null_character() {
  flush_text();
  token_.kind = TokenKind::NullCharacter;
  send(token_);
}

void Machine::emit_eof() {
  flush_text();
  token_.kind = TokenKind::Eof;
  send(token_);
  done_ = true;
}

void Machine::emit_comment(std::size_t end) {
  flush_text();
  const std::size_t begin = std::min(comment_begin_, end);
  std::string_view data = in_.substr(begin, end - begin);
  if (!data.empty() && std::memchr(data.data(), '\0', data.size()) != nullptr) {
    comment_buffer_.clear();
    for (const char c : data) {
      if (c == '\0') {
        comment_buffer_.append(kReplacementUtf8);
      } else {
        comment_buffer_.push_back(c);
      }
    }
    data = comment_buffer_;
  }
  token_.kind = TokenKind::Comment;
  token_.text = data;
  send(token_);
  token_.text = {};
  state_ = State::Data;
}

void Machine::emit_doctype() {
  flush_text();
  token_.kind = TokenKind::Doctype;
  token_.doctype = std::move(doctype_);
  send(token_);
  token_.doctype = {};
  doctype_ = {};
  state_ = State::Data;
}

void Machine::emit_tag() {
  commit_attribute();
  if (tag_.kind == TagKind::End) {
    if (!tag_.attrs.empty()) error(TokenizerError::EndTagWithAttributes);
    if (tag_.self_closing) error(TokenizerError::EndTagWithTrailingSolidus);
    tag_.attrs.clear();
  } else {
    last_start_tag_ = tag_.name;
  }
  flush_text();
  state_ = State::Data;
  const bool is_start = tag_.kind == TagKind::Start;
  tag_token_.kind = TokenKind::Tag;
  const TokenSinkResult result = send(tag_token_);
  // The sink may have taken the name or the attributes; either way the next tag starts empty.
  tag_.name.clear();
  tag_.attrs.clear();
  tag_.self_closing = false;
  if (is_start) apply(result);
}

void Machine::apply(const TokenSinkResult& result) {
  switch (result.kind) {
    case TokenSinkResult::Kind::Plaintext:
      state_ = State::Plaintext;
      return;
    case TokenSinkResult::Kind::RawData:
      switch (result.raw) {
        case RawKind::Rcdata: state_ = State::Rcdata; return;
        case RawKind::Rawtext: state_ = State::Rawtext; return;
        case RawKind::ScriptData: state_ = State::ScriptData; return;
        case RawKind::ScriptDataEscaped: state_ = State::ScriptDataEscaped; return;
        case RawKind::ScriptDataDoubleEscaped: state_ = State::ScriptDataDoubleEscaped; return;
      }
      return;
    case TokenSinkResult::Kind::Continue:
    case TokenSinkResult::Kind::Script:
      return;
  }
}

void Machine::error(TokenizerError error, std::size_t offset) {
  // The character is read before the state judges it, so its own input-stream error goes first.
  if (input_stream_errors_sent_ < input_stream_errors_.size()) report_input_stream_errors(offset);
  send_error(error, offset);
}

void Machine::send_error(TokenizerError error, std::size_t offset) {
  Token token;
  token.kind = TokenKind::ParseError;
  token.text = tokenizer_error_code(error);
  if (exact_errors_) {
    error_buffer_.assign(token.text);
    error_buffer_.append(" (line ");
    error_buffer_.append(std::to_string(line_at(offset)));
    error_buffer_.append(", state ");
    error_buffer_.append(tokenizer_state_name(state_));
    error_buffer_.push_back(')');
    token.text = error_buffer_;
  }
  sink_.process_token(token, line_at(offset));
}

// Sends the input-stream errors of the characters at offsets up to `up_to`, included.
void Machine::report_input_stream_errors(std::size_t up_to) {
  while (input_stream_errors_sent_ < input_stream_errors_.size() &&
         input_stream_errors_[input_stream_errors_sent_].offset <= up_to) {
    const InputStreamError& found = input_stream_errors_[input_stream_errors_sent_++];
    send_error(found.error, found.offset);
  }
}

}  // namespace detail
}  // namespace html5
