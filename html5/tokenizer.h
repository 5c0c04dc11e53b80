// The HTML5 tokenizer: turns one UTF-8 buffer into tokens for a TokenSink, following the WHATWG
// tokenization rules (input preprocessing, every tokenizer state, character references).
//
// Tokens it sends:
// - Characters runs are as long as the input allows; a run that needed no rewriting (no character
//   reference, no U+FFFD replacement) is a view into the input. Characters never contain U+0000:
//   a NUL that the rules emit as it stands arrives as its own NullCharacter token.
// - Tag names and attribute names are lower-cased (ASCII only); attributes keep source order and a
//   repeated name keeps its first value; end tags carry no attributes.
// - ParseError texts are the WHATWG error codes ("unexpected-null-character"). With
//   `exact_errors` they also name the line and the tokenizer state, and the characters that are
//   errors wherever they stand (controls, noncharacters) are reported too, which costs a pass
//   over the input. Errors come in input order; an error does not split the text run it falls
//   in, so it may arrive before characters that precede it.
//
// The tokenizer works on bytes: every byte the rules give no meaning passes through unchanged, so
// ill-formed UTF-8 cannot make it fail, and valid input always yields valid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "html5/names.h"
#include "html5/token.h"

namespace html5 {

// Every state of the WHATWG tokenizer. A tokenizer begins in a text state (Data, Rcdata,
// Rawtext, ScriptData, ScriptDataEscaped, ScriptDataDoubleEscaped, Plaintext, CdataSection);
// the other states only ever follow from markup and, given as the initial state, mean Data.
enum class TokenizerState : std::uint8_t {
  Data,
  Rcdata,
  Rawtext,
  ScriptData,
  Plaintext,
  TagOpen,
  EndTagOpen,
  TagName,
  RcdataLessThanSign,
  RcdataEndTagOpen,
  RcdataEndTagName,
  RawtextLessThanSign,
  RawtextEndTagOpen,
  RawtextEndTagName,
  ScriptDataLessThanSign,
  ScriptDataEndTagOpen,
  ScriptDataEndTagName,
  ScriptDataEscapeStart,
  ScriptDataEscapeStartDash,
  ScriptDataEscaped,
  ScriptDataEscapedDash,
  ScriptDataEscapedDashDash,
  ScriptDataEscapedLessThanSign,
  ScriptDataEscapedEndTagOpen,
  ScriptDataEscapedEndTagName,
  ScriptDataDoubleEscapeStart,
  ScriptDataDoubleEscaped,
  ScriptDataDoubleEscapedDash,
  ScriptDataDoubleEscapedDashDash,
  ScriptDataDoubleEscapedLessThanSign,
  ScriptDataDoubleEscapeEnd,
  BeforeAttributeName,
  AttributeName,
  AfterAttributeName,
  BeforeAttributeValue,
  AttributeValueDoubleQuoted,
  AttributeValueSingleQuoted,
  AttributeValueUnquoted,
  AfterAttributeValueQuoted,
  SelfClosingStartTag,
  BogusComment,
  MarkupDeclarationOpen,
  CommentStart,
  CommentStartDash,
  Comment,
  CommentLessThanSign,
  CommentLessThanSignBang,
  CommentLessThanSignBangDash,
  CommentLessThanSignBangDashDash,
  CommentEndDash,
  CommentEnd,
  CommentEndBang,
  Doctype,
  BeforeDoctypeName,
  DoctypeName,
  AfterDoctypeName,
  AfterDoctypePublicKeyword,
  BeforeDoctypePublicIdentifier,
  DoctypePublicIdentifierDoubleQuoted,
  DoctypePublicIdentifierSingleQuoted,
  AfterDoctypePublicIdentifier,
  BetweenDoctypePublicAndSystemIdentifiers,
  AfterDoctypeSystemKeyword,
  BeforeDoctypeSystemIdentifier,
  DoctypeSystemIdentifierDoubleQuoted,
  DoctypeSystemIdentifierSingleQuoted,
  AfterDoctypeSystemIdentifier,
  BogusDoctype,
  CdataSection,
  CdataSectionBracket,
  CdataSectionEnd,
  CharacterReference,
  NamedCharacterReference,
  AmbiguousAmpersand,
  NumericCharacterReference,
  HexadecimalCharacterReferenceStart,
  DecimalCharacterReferenceStart,
  HexadecimalCharacterReference,
  DecimalCharacterReference,
  NumericCharacterReferenceEnd,
};

// The state's name as written in this enum ("ScriptDataEscaped").
std::string_view tokenizer_state_name(TokenizerState state);

struct TokenizerOptions {
  bool exact_errors = false;            // when false, ParseError tokens carry a fixed short text
  bool discard_bom = true;              // drop one leading U+FEFF
  TokenizerState initial_state = TokenizerState::Data;
  std::string last_start_tag_name;      // "" = none
};

// The state a fragment parse starts in for a context element (title/textarea -> Rcdata,
// style/xmp/iframe/noembed/noframes -> Rawtext, script -> ScriptData, noscript -> Rawtext only
// when scripting, plaintext -> Plaintext, everything else -> Data). Only HTML elements count.
TokenizerState tokenizer_state_for_context(const QualName& context, bool scripting);

// Tokenizes the whole input, sending each token to `sink` (ending with Eof), then calls
// sink.end(). Returns false, sending nothing, when the input is 2^32 bytes or longer.
//
// The sink steers the tokenizer only through the result of a start tag: RawData(kind) and
// Plaintext switch to that text state, anything else leaves it in Data. CDATA sections are
// recognised only while sink.adjusted_current_node_present_but_not_in_html_namespace() holds.
bool tokenize(std::string_view input, TokenSink& sink, const TokenizerOptions& options = {});

}  // namespace html5
