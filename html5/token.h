// Tokens of the HTML5 tokenizer and the token-sink interface through which a consumer (the tree
// builder, or a filter placed before it) receives them and steers the tokenizer's state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "html5/names.h"

namespace html5 {

using Handle = std::uint32_t;  // a node as the tree sink names it

struct Doctype {
  std::optional<std::string> name;
  std::optional<std::string> public_id;
  std::optional<std::string> system_id;
  bool force_quirks = false;
};

enum class TagKind : std::uint8_t { Start, End };

struct Tag {
  TagKind kind = TagKind::Start;
  std::string name;  // lower-cased ASCII
  bool self_closing = false;
  // Source order; a repeated name keeps its first value. Attribute names are plain (namespace None,
  // no prefix) as the tokenizer sees them; the tree builder adjusts foreign ones.
  std::vector<Attribute> attrs;
};

enum class TokenKind : std::uint8_t {
  Doctype, Tag, Comment, Characters, NullCharacter, Eof, ParseError,
};

// One token. Only the member its kind names is meaningful; `text` (Comment, Characters,
// ParseError) may point into the tokenizer's buffers and is valid during `process_token` only.
struct Token {
  TokenKind kind = TokenKind::Eof;
  Doctype doctype;
  Tag tag;
  std::string_view text;
};

enum class RawKind : std::uint8_t {
  Rcdata, Rawtext, ScriptData, ScriptDataEscaped, ScriptDataDoubleEscaped,
};

// What the sink tells the tokenizer after a token. The tokenizer changes state for raw text only
// through this value, so a filter can swallow a <script> or <textarea> start tag and leave the
// tokenizer in the Data state.
struct TokenSinkResult {
  enum class Kind : std::uint8_t { Continue, Script, Plaintext, RawData };
  Kind kind = Kind::Continue;
  Handle script = 0;             // Kind::Script: the script element
  RawKind raw = RawKind::Rcdata;  // Kind::RawData: the state to switch to

  static TokenSinkResult proceed() { return {}; }
  static TokenSinkResult raw_data(RawKind k) { return {Kind::RawData, 0, k}; }
};

class TokenSink {
 public:
  virtual ~TokenSink() = default;
  virtual TokenSinkResult process_token(Token& token, std::uint64_t line) = 0;
  virtual void end() {}
  // CDATA sections are tokenized only when this holds.
  virtual bool adjusted_current_node_present_but_not_in_html_namespace() const { return false; }
};

}  // namespace html5
