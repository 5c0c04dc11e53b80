// The tokenizer's state machine, shared by the tokenizer_*.cpp files (one per family of states).
// Internal to the tokenizer: callers use html5/tokenizer.h.
//
// The machine reads the whole input at once, so end of input is simply `pos_ == in_.size()`.
// Hot states jump over ordinary bytes with a word-at-a-time scan; text, comment data and most of
// a tag are then taken as byte ranges of the input rather than character by character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "html5/token.h"
#include "html5/tokenizer.h"

namespace html5::detail {

// The WHATWG parse errors that the tokenizer reports; texts in tokenizer.cpp.
enum class TokenizerError : std::uint8_t {
  AbruptClosingOfEmptyComment,
  AbruptDoctypePublicIdentifier,
  AbruptDoctypeSystemIdentifier,
  AbsenceOfDigitsInNumericCharacterReference,
  CdataInHtmlContent,
  CharacterReferenceOutsideUnicodeRange,
  ControlCharacterInInputStream,
  ControlCharacterReference,
  DuplicateAttribute,
  EndTagWithAttributes,
  EndTagWithTrailingSolidus,
  EofBeforeTagName,
  EofInCdata,
  EofInComment,
  EofInDoctype,
  EofInScriptHtmlCommentLikeText,
  EofInTag,
  IncorrectlyClosedComment,
  IncorrectlyOpenedComment,
  InvalidCharacterSequenceAfterDoctypeName,
  InvalidFirstCharacterOfTagName,
  MissingAttributeValue,
  MissingDoctypeName,
  MissingDoctypePublicIdentifier,
  MissingDoctypeSystemIdentifier,
  MissingEndTagName,
  MissingQuoteBeforeDoctypePublicIdentifier,
  MissingQuoteBeforeDoctypeSystemIdentifier,
  MissingSemicolonAfterCharacterReference,
  MissingWhitespaceAfterDoctypePublicKeyword,
  MissingWhitespaceAfterDoctypeSystemKeyword,
  MissingWhitespaceBeforeDoctypeName,
  MissingWhitespaceBetweenAttributes,
  MissingWhitespaceBetweenDoctypePublicAndSystemIdentifiers,
  NestedComment,
  NoncharacterCharacterReference,
  NoncharacterInInputStream,
  NullCharacterReference,
  SurrogateCharacterReference,
  SurrogateInInputStream,
  UnexpectedCharacterAfterDoctypeSystemIdentifier,
  UnexpectedCharacterInAttributeName,
  UnexpectedCharacterInUnquotedAttributeValue,
  UnexpectedEqualsSignBeforeAttributeName,
  UnexpectedNullCharacter,
  UnexpectedQuestionMarkInsteadOfTagName,
  UnexpectedSolidusInTag,
  UnknownNamedCharacterReference,
};

std::string_view tokenizer_error_code(TokenizerError error);

// --- input preprocessing (tokenizer_input.cpp) ---

// CR LF and lone CR become LF. Returns false (leaving `out` alone) when there is no CR.
bool normalize_newlines(std::string_view in, std::string& out);

// A character that is an error wherever it stands: a control other than white space and NUL, a
// noncharacter, or (in ill-formed input) an encoded surrogate.
struct InputStreamError {
  std::size_t offset;
  TokenizerError error;
};
std::vector<InputStreamError> find_input_stream_errors(std::string_view in);

// A decoded character reference: what replaces "&..." and where the reference ends.
struct CharRef {
  std::size_t end = 0;  // input offset just past the reference
  char text[8] = {};    // UTF-8 of one or two code points
  std::uint8_t size = 0;
};

// What the character-reference rules make of the input at `pos`, just past a "&": a decoded reference,
// or nothing when the "&" stands as written (the bytes after it are then read by the state that
// was interrupted, which gives them the meaning the rules give them). Errors go to `errors`
// (at most two), with the offset of the character each is about, and their count to
// `error_count`.
struct CharRefResult {
  bool matched = false;
  CharRef ref;
  TokenizerError errors[2] = {};
  std::size_t error_offsets[2] = {};
  std::uint8_t error_count = 0;
};
CharRefResult match_char_ref(std::string_view in, std::size_t pos, bool in_attribute);

// --- byte classes and scanning ---

inline bool is_ascii_alpha(unsigned char c) { return static_cast<unsigned char>((c | 0x20) - 'a') < 26; }
inline bool is_ascii_upper(unsigned char c) { return static_cast<unsigned char>(c - 'A') < 26; }
inline bool is_ascii_digit(unsigned char c) { return static_cast<unsigned char>(c - '0') < 10; }
inline bool is_ascii_alnum(unsigned char c) { return is_ascii_alpha(c) || is_ascii_digit(c); }
inline char to_ascii_lower(unsigned char c) { return static_cast<char>(is_ascii_upper(c) ? c | 0x20 : c); }
// The tokenizer's white space: tab, line feed, form feed, space (carriage returns are gone).
inline bool is_space(unsigned char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\f'; }

inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

// Whether `s` holds, at `pos`, the lower-case ASCII word `lower` in any case.
inline bool starts_with_ignoring_case(std::string_view s, std::size_t pos, std::string_view lower) {
  if (s.size() - pos < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    if (to_ascii_lower(static_cast<unsigned char>(s[pos + i])) != lower[i]) return false;
  }
  return true;
}

namespace scan {
inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
// Nonzero exactly when some byte of `w` is zero.
inline std::uint64_t zero_byte(std::uint64_t w) { return (w - kOnes) & ~w & kHighs; }
inline std::uint64_t load(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}
}  // namespace scan

// The first offset at or after `pos` holding `a`, `b` or `c`, or `s.size()`.
inline std::size_t find_any(std::string_view s, std::size_t pos, char a, char b, char c) {
  const char* p = s.data() + pos;
  const char* const end = s.data() + s.size();
  const std::uint64_t ka = scan::kOnes * static_cast<unsigned char>(a);
  const std::uint64_t kb = scan::kOnes * static_cast<unsigned char>(b);
  const std::uint64_t kc = scan::kOnes * static_cast<unsigned char>(c);
  while (end - p >= 8) {
    const std::uint64_t w = scan::load(p);
    if (scan::zero_byte(w ^ ka) | scan::zero_byte(w ^ kb) | scan::zero_byte(w ^ kc)) break;
    p += 8;
  }
  while (p < end && *p != a && *p != b && *p != c) ++p;
  return static_cast<std::size_t>(p - s.data());
}

inline std::size_t find_any(std::string_view s, std::size_t pos, char a, char b) {
  return find_any(s, pos, a, b, b);
}

// Characters waiting to be sent as one Characters token: a view into the input as long as every
// appended range followed the previous one in the input, else an owned copy.
class TextRun {
 public:
  bool empty() const { return owned_ ? buffer_.empty() : size_ == 0; }

  void append_input(const char* p, std::size_t n) {
    if (n == 0) return;
    if (owned_) {
      buffer_.append(p, n);
    } else if (size_ == 0) {
      begin_ = p;
      size_ = n;
    } else if (begin_ + size_ == p) {
      size_ += n;
    } else {
      to_owned();
      buffer_.append(p, n);
    }
  }

  void append_rewritten(std::string_view s) {
    to_owned();
    buffer_.append(s);
  }

  std::string_view view() const { return owned_ ? std::string_view(buffer_) : std::string_view(begin_, size_); }

  void clear() {
    size_ = 0;
    owned_ = false;
    buffer_.clear();
  }

 private:
  void to_owned() {
    if (owned_) return;
    buffer_.assign(begin_ == nullptr ? "" : begin_, size_);
    owned_ = true;
  }

  const char* begin_ = nullptr;
  std::size_t size_ = 0;
  bool owned_ = false;
  std::string buffer_;
};

class Machine {
 public:
  Machine(std::string_view input, TokenSink& sink, const TokenizerOptions& options);
  void run();

 private:
  using State = TokenizerState;

  bool at_eof() const { return pos_ >= in_.size(); }
  unsigned char peek() const { return static_cast<unsigned char>(in_[pos_]); }
  // Keeps input bytes [begin, end) as characters.
  void keep(std::size_t begin, std::size_t end) {
    text_.append_input(in_.data() + begin, end - begin);
    text_end_ = end;
  }
  void keep_replacement();  // U+FFFD for a NUL

  // Emission (tokenizer.cpp).
  void flush_text();
  TokenSinkResult send(Token& token) { return send(token, pos_); }
  TokenSinkResult send(Token& token, std::size_t end);
  void emit_null_character();
  void emit_eof();
  void emit_comment(std::size_t end);
  void emit_doctype();
  void emit_tag();
  void apply(const TokenSinkResult& result);
  // An error about the character at `offset`; without one, about the character just read.
  [[gnu::cold]] void error(TokenizerError error, std::size_t offset);
  [[gnu::cold]] void error(TokenizerError error) { this->error(error, pos_ == 0 ? 0 : pos_ - 1); }
  [[gnu::cold]] void send_error(TokenizerError error, std::size_t offset);
  [[gnu::cold]] void report_input_stream_errors(std::size_t up_to);
  std::uint64_t line_at(std::size_t offset);

  // Text states (tokenizer_text.cpp).
  void data();
  void rcdata();
  void rawtext();
  void plaintext();
  void script_data();
  void script_data_less_than_sign();
  void script_data_escape_start();
  void script_data_escape_start_dash();
  void script_data_escaped();
  void script_data_escaped_dash();
  void script_data_escaped_dash_dash();
  void script_data_escaped_less_than_sign();
  void script_data_double_escape_start();
  void script_data_double_escaped();
  void script_data_double_escaped_dash();
  void script_data_double_escaped_dash_dash();
  void script_data_double_escaped_less_than_sign();
  void script_data_double_escape_end();
  void cdata_section();
  void cdata_section_bracket();
  void cdata_section_end();
  void raw_end_tag(State text_state);
  void char_ref_in_text();
  struct ScriptTagName {
    std::size_t end;     // past the letters, and past the character that ends them if any
    bool is_terminated;  // white space, "/" or ">" follows the letters
    bool is_script;      // the letters spell "script" in any case
  };
  ScriptTagName read_script_tag_name() const;

  // Tags and attributes (tokenizer_tag.cpp).
  void tag_open();
  void end_tag_open();
  void tag_name();
  void before_attribute_name();
  void attribute_name();
  void after_attribute_name();
  void before_attribute_value();
  void attribute_value_quoted(char quote);
  void attribute_value_unquoted();
  void after_attribute_value_quoted();
  void self_closing_start_tag();
  void start_tag(TagKind kind);
  void start_attribute();
  std::string& new_attribute_name() { return tag_.attrs.back().name.local; }
  std::string& new_attribute_value() { return tag_.attrs.back().value; }
  void finish_attribute_name(std::size_t offset);
  void commit_attribute();
  bool is_duplicate_attribute();
  void char_ref_in_attribute();

  // Comments and markup declarations (tokenizer_comment.cpp).
  void markup_declaration_open();
  void bogus_comment();
  void comment_start();
  void comment_start_dash();
  void comment();
  void comment_less_than_sign();
  void comment_less_than_sign_bang();
  void comment_less_than_sign_bang_dash();
  void comment_less_than_sign_bang_dash_dash();
  void comment_end_dash();
  void comment_end();
  void comment_end_bang();
  void start_comment(std::size_t data_begin, State state);

  // Doctypes (tokenizer_doctype.cpp).
  void doctype();
  void before_doctype_name();
  void doctype_name();
  void after_doctype_name();
  void after_doctype_keyword(bool is_public);
  void before_doctype_identifier(bool is_public);
  void doctype_identifier_quoted(bool is_public, char quote);
  void after_doctype_public_identifier();
  void between_doctype_public_and_system_identifiers();
  void after_doctype_system_identifier();
  void bogus_doctype();
  void eof_in_doctype();
  void open_identifier(bool is_public, char quote);

  void step();

  std::string_view in_;
  std::size_t pos_ = 0;
  TokenSink& sink_;
  bool exact_errors_;
  State state_;
  bool done_ = false;
  std::string last_start_tag_;

  Token token_;      // reused for every token but tags
  Token tag_token_;  // the tag being read, sent in place
  Tag& tag_ = tag_token_.tag;
  TextRun text_;     // characters not yet sent
  std::size_t text_end_ = 0;  // input offset where they end
  // The last of tag_.attrs is still being read, and is dropped when it ends if its name repeats
  // an earlier one.
  bool has_attribute_ = false;
  bool is_duplicate_ = false;
  std::unordered_set<std::string> attribute_names_;  // index of tag_.attrs once a tag has many
  std::size_t attribute_names_indexed_ = 0;
  Doctype doctype_;     // the doctype being read
  std::size_t comment_begin_ = 0;  // input offset where the comment's data starts
  std::string comment_buffer_;     // comment data with NULs replaced
  std::string error_buffer_;
  // Found up front, and sent once the tokenizer has read that far (exact errors only).
  std::vector<InputStreamError> input_stream_errors_;
  std::size_t input_stream_errors_sent_ = 0;

  std::uint64_t line_ = 1;        // line of offset line_pos_
  std::size_t line_pos_ = 0;
};

}  // namespace html5::detail
