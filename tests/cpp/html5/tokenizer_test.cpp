// The tokenizer: the html5lib tokenizer tests (tokens and error codes), steering by the sink,
// input preprocessing, tags, lines and errors, and inputs that would expose quadratic time.
#include "html5/tokenizer.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "json.h"
#include "text/utf8.h"

namespace {

using namespace std::string_view_literals;
using html5::Token;
using html5::TokenizerOptions;
using html5::TokenizerState;
using html5::TokenKind;
using html5::TokenSink;
using html5::TokenSinkResult;

// Readable form of bytes for failure messages: printable ASCII as is, everything else escaped.
std::string show(std::string_view s) {
  std::string out;
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out.push_back(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out.append(buf);
    }
  }
  return out;
}

std::string optional_text(const std::optional<std::string>& s) { return s ? '"' + show(*s) + '"' : "null"; }

// Records tokens in one line each, merging adjacent characters as the test files do.
class RecordingSink : public TokenSink {
 public:
  std::vector<std::string> tokens;
  std::vector<std::string> error_codes;  // without the details of exact errors
  bool ended = false;
  bool foreign = false;              // answer to the CDATA question
  std::vector<TokenSinkResult> replies;  // results for successive start tags, then Continue

  TokenSinkResult process_token(Token& token, std::uint64_t line) override {
    EXPECT_FALSE(ended);
    EXPECT_GE(line, last_line_);
    last_line_ = line;
    switch (token.kind) {
      case TokenKind::Characters:
        EXPECT_FALSE(token.text.empty());
        EXPECT_EQ(token.text.find('\0'), std::string_view::npos);
        text_.append(token.text);
        return {};
      case TokenKind::NullCharacter:
        text_.push_back('\0');
        return {};
      case TokenKind::ParseError:
        error_codes.emplace_back(token.text.substr(0, token.text.find(" (")));
        return {};
      default:
        break;
    }
    flush();
    switch (token.kind) {
      case TokenKind::Tag: {
        const auto& tag = token.tag;
        std::string line_text = tag.kind == html5::TagKind::Start ? "StartTag " : "EndTag ";
        line_text += show(tag.name);
        if (tag.kind == html5::TagKind::Start) {
          for (const auto& attr : tag.attrs) line_text += ' ' + show(attr.name.local) + "=\"" + show(attr.value) + '"';
          if (tag.self_closing) line_text += " /";
        }
        tokens.push_back(line_text);
        if (tag.kind == html5::TagKind::Start && next_reply_ < replies.size()) return replies[next_reply_++];
        return {};
      }
      case TokenKind::Comment:
        tokens.push_back("Comment \"" + show(token.text) + '"');
        return {};
      case TokenKind::Doctype: {
        const auto& d = token.doctype;
        tokens.push_back("DOCTYPE " + optional_text(d.name) + ' ' + optional_text(d.public_id) + ' ' +
                         optional_text(d.system_id) + (d.force_quirks ? " quirks" : ""));
        return {};
      }
      case TokenKind::Eof:
        tokens.push_back("EOF");
        return {};
      default:
        return {};
    }
  }

  void end() override {
    flush();
    ended = true;
  }

  bool adjusted_current_node_present_but_not_in_html_namespace() const override { return foreign; }

 private:
  void flush() {
    if (!text_.empty()) tokens.push_back("Character \"" + show(text_) + '"');
    text_.clear();
  }

  std::string text_;
  std::uint64_t last_line_ = 0;
  std::size_t next_reply_ = 0;
};

std::vector<std::string> run(std::string_view input, TokenizerOptions options = {}, RecordingSink sink = {}) {
  EXPECT_TRUE(html5::tokenize(input, sink, options));
  EXPECT_TRUE(sink.ended);
  return sink.tokens;
}

// The error codes a run reports, in order.
std::vector<std::string> run_errors(std::string_view input, TokenizerOptions options) {
  RecordingSink sink;
  html5::tokenize(input, sink, options);
  return sink.error_codes;
}

std::string joined(const std::vector<std::string>& tokens) {
  std::string out;
  for (const auto& t : tokens) out += t + '\n';
  return out;
}

// --- the html5lib tokenizer tests ---

std::filesystem::path tokenizer_data_dir() {
  return std::filesystem::path(VEDAVI_SHARED_DIR) / "testdata" / "html5lib-tests" / "tokenizer";
}

std::optional<TokenizerState> state_named(std::string_view name) {
  if (name == "Data state") return TokenizerState::Data;
  if (name == "PLAINTEXT state") return TokenizerState::Plaintext;
  if (name == "RCDATA state") return TokenizerState::Rcdata;
  if (name == "RAWTEXT state") return TokenizerState::Rawtext;
  if (name == "Script data state") return TokenizerState::ScriptData;
  if (name == "CDATA section state") return TokenizerState::CdataSection;
  return std::nullopt;
}

// The expected tokens of one case in RecordingSink's form.
std::vector<std::string> expected_tokens(const testjson::Value& output, bool double_escaped) {
  auto text = [&](const testjson::Value& v) {
    return double_escaped ? testjson::decode_u_escapes(v.string) : v.string;
  };
  auto optional = [&](const testjson::Value& v) -> std::optional<std::string> {
    if (v.is_null()) return std::nullopt;
    return text(v);
  };
  std::vector<std::string> tokens;
  std::string chars;
  for (const auto& token : output.array) {
    const std::string& kind = token.array.at(0).string;
    if (kind == "Character") {
      chars += text(token.array.at(1));
      continue;
    }
    if (!chars.empty()) tokens.push_back("Character \"" + show(chars) + '"');
    chars.clear();
    if (kind == "StartTag") {
      std::string line = "StartTag " + show(text(token.array.at(1)));
      for (const auto& [name, value] : token.array.at(2).object) {
        line += ' ' + show(double_escaped ? testjson::decode_u_escapes(name) : name) + "=\"" + show(text(value)) + '"';
      }
      if (token.array.size() > 3 && token.array[3].boolean) line += " /";
      tokens.push_back(line);
    } else if (kind == "EndTag") {
      tokens.push_back("EndTag " + show(text(token.array.at(1))));
    } else if (kind == "Comment") {
      tokens.push_back("Comment \"" + show(text(token.array.at(1))) + '"');
    } else if (kind == "DOCTYPE") {
      tokens.push_back("DOCTYPE " + optional_text(optional(token.array.at(1))) + ' ' +
                       optional_text(optional(token.array.at(2))) + ' ' + optional_text(optional(token.array.at(3))) +
                       (token.array.at(4).boolean ? "" : " quirks"));
    } else {
      ADD_FAILURE() << "unknown token kind " << kind;
    }
  }
  if (!chars.empty()) tokens.push_back("Character \"" + show(chars) + '"');
  tokens.push_back("EOF");
  return tokens;
}

class Html5libTokenizer : public testing::TestWithParam<std::string> {};

TEST_P(Html5libTokenizer, EveryCaseMatches) {
  const auto path = tokenizer_data_dir() / GetParam();
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "test data absent: " << path;
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  const auto doc = testjson::parse(bytes.str());
  ASSERT_TRUE(doc) << "unreadable JSON";
  const testjson::Value* tests = doc->find("tests");
  ASSERT_NE(tests, nullptr);

  std::size_t runs = 0;
  std::size_t failures = 0;
  for (const auto& test : tests->array) {
    const bool double_escaped = test.find("doubleEscaped") != nullptr && test.find("doubleEscaped")->boolean;
    const std::string& description = test.find("description")->string;
    std::string input = test.find("input")->string;
    if (double_escaped) input = testjson::decode_u_escapes(input);
    const auto expected = expected_tokens(*test.find("output"), double_escaped);
    std::vector<std::string> expected_errors;
    if (const auto* errors = test.find("errors")) {
      for (const auto& e : errors->array) expected_errors.push_back(e.find("code")->string);
    }

    std::vector<std::string> states = {"Data state"};
    if (const auto* initial = test.find("initialStates")) {
      states.clear();
      for (const auto& s : initial->array) states.push_back(s.string);
    }
    for (const auto& state_name : states) {
      const auto state = state_named(state_name);
      ASSERT_TRUE(state) << state_name;
      TokenizerOptions options;
      options.discard_bom = false;  // the test inputs are already decoded streams
      options.initial_state = *state;
      if (const auto* last = test.find("lastStartTag")) options.last_start_tag_name = last->string;
      ++runs;
      const auto actual = run(input, options);
      if (actual != expected) {
        ++failures;
        ADD_FAILURE() << description << " [" << state_name << "]\ninput: " << show(input) << "\nexpected:\n"
                      << joined(expected) << "actual:\n"
                      << joined(actual);
      }
      // Exact errors change no token, and report the expected codes in order.
      options.exact_errors = true;
      const auto exact_actual = run(input, options);
      const auto errors = run_errors(input, options);
      if (exact_actual != actual || errors != expected_errors) {
        ++failures;
        ADD_FAILURE() << description << " [" << state_name << "] with exact errors\ninput: " << show(input)
                      << "\nexpected errors:\n" << joined(expected_errors) << "actual errors:\n" << joined(errors);
      }
    }
  }
  EXPECT_EQ(failures, 0u) << "of " << runs << " runs";
  EXPECT_GT(runs, 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, Html5libTokenizer,
                         testing::Values("contentModelFlags.test", "domjs.test", "entities.test", "escapeFlag.test",
                                         "namedEntities.test", "numericEntities.test", "pendingSpecChanges.test",
                                         "test1.test", "test2.test", "test3.test", "test4.test",
                                         "unicodeChars.test", "unicodeCharsProblematic.test"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.find('.'));
                           return name;
                         });

}  // namespace

// --- behaviour the test files do not cover ---

namespace {

TokenSinkResult raw(html5::RawKind kind) { return TokenSinkResult::raw_data(kind); }

TokenSinkResult plaintext() {
  TokenSinkResult r;
  r.kind = TokenSinkResult::Kind::Plaintext;
  return r;
}

struct SteeringCase {
  const char* name;
  std::string_view input;
  std::vector<TokenSinkResult> replies;
  std::string expected;
};

// The sink's answer to a start tag picks the text state; without one the tokenizer stays in data.
TEST(TokenizerSteering, SinkResultChoosesTextState) {
  const std::vector<SteeringCase> cases = {
      {"rcdata", "<title>a<b>&amp;</title>", {raw(html5::RawKind::Rcdata)},
       "StartTag title\nCharacter \"a<b>&\"\nEndTag title\nEOF\n"},
      {"swallowed", "<title>a<b>&amp;</title>", {},
       "StartTag title\nCharacter \"a\"\nStartTag b\nCharacter \"&\"\nEndTag title\nEOF\n"},
      {"rawtext keeps references", "<style>&amp;</x></style >", {raw(html5::RawKind::Rawtext)},
       "StartTag style\nCharacter \"&amp;</x>\"\nEndTag style\nEOF\n"},
      {"script escapes", "<script><!--<script></script>--></script>", {raw(html5::RawKind::ScriptData)},
       "StartTag script\nCharacter \"<!--<script></script>-->\"\nEndTag script\nEOF\n"},
      {"script escaped", "<script>--></script>", {raw(html5::RawKind::ScriptDataEscaped)},
       "StartTag script\nCharacter \"-->\"\nEndTag script\nEOF\n"},
      {"script double escaped", "<script>a</script>b--></script>", {raw(html5::RawKind::ScriptDataDoubleEscaped)},
       "StartTag script\nCharacter \"a</script>b-->\"\nEndTag script\nEOF\n"},
      {"plaintext never ends", "<plaintext></plaintext>&amp;\0"sv, {plaintext()},
       "StartTag plaintext\nCharacter \"</plaintext>&amp;\\xEF\\xBF\\xBD\"\nEOF\n"},
      {"end tag must match the last start tag", "<textarea><title></title></textarea>",
       {raw(html5::RawKind::Rcdata)},
       "StartTag textarea\nCharacter \"<title></title>\"\nEndTag textarea\nEOF\n"},
      {"next start tag after raw text", "<xmp>x</xmp><i>", {raw(html5::RawKind::Rawtext)},
       "StartTag xmp\nCharacter \"x\"\nEndTag xmp\nStartTag i\nEOF\n"},
  };
  for (const auto& c : cases) {
    RecordingSink sink;
    sink.replies = c.replies;
    // The inputs hold NULs: take the whole literal.
    EXPECT_EQ(joined(run(c.input, {}, sink)), c.expected) << c.name;
  }
}

TEST(TokenizerSteering, CdataOnlyInForeignContent) {
  RecordingSink foreign;
  foreign.foreign = true;
  EXPECT_EQ(joined(run("<![CDATA[a<b>&amp;\0]]>c"sv, {}, foreign)),
            "Character \"a<b>&amp;\\x00c\"\nEOF\n");
  EXPECT_EQ(joined(run("<![CDATA[a]]>")), "Comment \"[CDATA[a]]\"\nEOF\n");
}

TEST(TokenizerSteering, ContextElementState) {
  struct Case {
    html5::Namespace ns;
    const char* local;
    bool scripting;
    TokenizerState expected;
  };
  const Case cases[] = {
      {html5::Namespace::Html, "body", false, TokenizerState::Data},
      {html5::Namespace::Html, "title", false, TokenizerState::Rcdata},
      {html5::Namespace::Html, "textarea", true, TokenizerState::Rcdata},
      {html5::Namespace::Html, "style", false, TokenizerState::Rawtext},
      {html5::Namespace::Html, "xmp", false, TokenizerState::Rawtext},
      {html5::Namespace::Html, "iframe", false, TokenizerState::Rawtext},
      {html5::Namespace::Html, "noembed", false, TokenizerState::Rawtext},
      {html5::Namespace::Html, "noframes", false, TokenizerState::Rawtext},
      {html5::Namespace::Html, "script", false, TokenizerState::ScriptData},
      {html5::Namespace::Html, "noscript", true, TokenizerState::Rawtext},
      {html5::Namespace::Html, "noscript", false, TokenizerState::Data},
      {html5::Namespace::Html, "plaintext", false, TokenizerState::Plaintext},
      {html5::Namespace::Svg, "title", false, TokenizerState::Data},
      {html5::Namespace::Svg, "script", true, TokenizerState::Data},
  };
  for (const auto& c : cases) {
    html5::QualName name{"", c.ns, c.local};
    EXPECT_EQ(html5::tokenizer_state_for_context(name, c.scripting), c.expected) << c.local;
  }
}

TEST(TokenizerInput, Preprocessing) {
  struct Case {
    const char* name;
    std::string_view input;
    bool discard_bom;
    std::string expected;
  };
  const Case cases[] = {
      {"crlf and cr", "a\r\nb\rc\r\r\nd\r", true, "Character \"a\\x0Ab\\x0Ac\\x0A\\x0Ad\\x0A\"\nEOF\n"},
      {"cr in attribute", "<a b='1\r\n2\r'>", true, "StartTag a b=\"1\\x0A2\\x0A\"\nEOF\n"},
      {"one bom dropped", "\xEF\xBB\xBF\xEF\xBB\xBFx", true, "Character \"\\xEF\\xBB\\xBFx\"\nEOF\n"},
      {"bom kept", "\xEF\xBB\xBFx", false, "Character \"\\xEF\\xBB\\xBFx\"\nEOF\n"},
      {"nul in data", std::string_view("a\0b", 3), true, "Character \"a\\x00b\"\nEOF\n"},
      {"ill-formed bytes pass through", "\xFF<a \xC3=\"\xE2\x82\">\x80", true,
       "Character \"\\xFF\"\nStartTag a \\xC3=\"\\xE2\\x82\"\nCharacter \"\\x80\"\nEOF\n"},
      {"empty", "", true, "EOF\n"},
  };
  for (const auto& c : cases) {
    TokenizerOptions options;
    options.discard_bom = c.discard_bom;
    EXPECT_EQ(joined(run(c.input, options)), c.expected) << c.name;
  }
}

TEST(TokenizerInput, EmptyInputInEveryStartingState) {
  for (int state = 0; state <= static_cast<int>(TokenizerState::NumericCharacterReferenceEnd); ++state) {
    TokenizerOptions options;
    options.initial_state = static_cast<TokenizerState>(state);
    EXPECT_EQ(joined(run(std::string_view(), options)), "EOF\n") << state;
  }
}

TEST(TokenizerInput, InitialStateAndLastStartTag) {
  TokenizerOptions options;
  options.initial_state = TokenizerState::Rcdata;
  options.last_start_tag_name = "TextArea";
  EXPECT_EQ(joined(run("a</p></textarea>b", options)), "Character \"a</p>\"\nEndTag textarea\nCharacter \"b\"\nEOF\n");
  options.initial_state = TokenizerState::AttributeName;  // cannot begin there: data
  EXPECT_EQ(joined(run("<b>", options)), "StartTag b\nEOF\n");
}

// Ranges of 2^32 bytes or more are refused before any byte is read; the memory is reserved, not
// touched.
TEST(TokenizerInput, RefusesFourGigabytes) {
  const std::size_t size = std::size_t{1} << 32;
  void* memory = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) GTEST_SKIP() << "cannot reserve 4 GiB of address space";
  RecordingSink sink;
  EXPECT_FALSE(html5::tokenize(std::string_view(static_cast<const char*>(memory), size), sink));
  EXPECT_TRUE(sink.tokens.empty());
  EXPECT_FALSE(sink.ended);
  EXPECT_TRUE(html5::tokenize(std::string_view(static_cast<const char*>(memory), size - 1).substr(0, 0), sink));
  munmap(memory, size);
}

TEST(TokenizerTags, AttributesAndNames) {
  struct Case {
    std::string_view input;
    std::string expected;
  };
  const Case cases[] = {
      {"<DiV ID=a Class='b' data-X=\"c\">", "StartTag div id=\"a\" class=\"b\" data-x=\"c\"\n"},
      {"<a x=1 X=2 y=3 x=4>", "StartTag a x=\"1\" y=\"3\"\n"},
      {"<a x y=\"\" z>", "StartTag a x=\"\" y=\"\" z=\"\"\n"},
      {"</a x=1 y=2/>", "EndTag a\n"},
      {"<br/><br />", "StartTag br /\nStartTag br /\n"},
      {"<a href=\"?a=1&copy=2&amp;b&notit;\">", "StartTag a href=\"?a=1&copy=2&b&notit;\"\n"},
      {"<a title=&lt;&#x41;&#66>", "StartTag a title=\"<AB\"\n"},
      {"<a \0=\0>"sv, "StartTag a \\xEF\\xBF\\xBD=\"\\xEF\\xBF\\xBD\"\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(joined(run(c.input)), c.expected + "EOF\n") << c.input;
  }
}

// Characters that needed no rewriting reach the sink as a view into the input.
TEST(TokenizerText, RunsAreViewsIntoTheInput) {
  class ViewSink : public TokenSink {
   public:
    std::string_view input;
    std::vector<bool> is_view;
    TokenSinkResult process_token(Token& token, std::uint64_t) override {
      if (token.kind == TokenKind::Characters) {
        is_view.push_back(token.text.data() >= input.data() &&
                          token.text.data() + token.text.size() <= input.data() + input.size());
      }
      return {};
    }
  };
  const std::string input = "plain text<b>with &amp; a reference</b>and <<< stray < signs & ampersands";
  ViewSink sink;
  sink.input = input;
  html5::tokenize(input, sink);
  EXPECT_EQ(sink.is_view, (std::vector<bool>{true, false, true}));
}

TEST(TokenizerText, LineNumbers) {
  class LineSink : public TokenSink {
   public:
    std::vector<std::uint64_t> lines;
    TokenSinkResult process_token(Token& token, std::uint64_t line) override {
      if (token.kind != TokenKind::ParseError) lines.push_back(line);
      return {};
    }
  };
  LineSink sink;
  html5::tokenize("<a>\n<b\n>\r\n\r\n<!--\n-->x", sink);
  // <a>, "\n", <b> (ends on line 3), "\n\n", the comment (ends on line 6), "x", EOF.
  EXPECT_EQ(sink.lines, (std::vector<std::uint64_t>{1, 2, 3, 5, 6, 6, 6}));
}

// Tokens far apart and close together, newlines on both sides of wide-step boundaries and right
// at the input's start: every tag's line is one more than the newlines before its end.
TEST(TokenizerText, LineNumbersAcrossRunLengths) {
  class TagLineSink : public TokenSink {
   public:
    std::vector<std::uint64_t> lines;
    TokenSinkResult process_token(Token& token, std::uint64_t line) override {
      if (token.kind == TokenKind::Tag) lines.push_back(line);
      return {};
    }
  };
  std::string input;
  std::vector<std::uint64_t> expected;
  for (int i = 0; i < 300; ++i) {
    const int gap = (i * 7) % 45;
    for (int j = 0; j < gap; ++j) input += (i + j) % 5 == 0 ? '\n' : 'x';
    if (i % 3 == 0) input += "<b\n>";
    else input += "<b>";
    expected.push_back(1 + static_cast<std::uint64_t>(std::count(input.begin(), input.end(), '\n')));
  }
  TagLineSink sink;
  html5::tokenize(input, sink);
  EXPECT_EQ(sink.lines, expected);
}

TEST(TokenizerErrors, ExactErrorsNameStateAndLine) {
  class ErrorSink : public TokenSink {
   public:
    std::vector<std::string> errors;
    TokenSinkResult process_token(Token& token, std::uint64_t) override {
      if (token.kind == TokenKind::ParseError) errors.emplace_back(token.text);
      return {};
    }
  };
  ErrorSink plain;
  html5::tokenize("\n<a b b>&notin", plain);
  EXPECT_EQ(plain.errors, (std::vector<std::string>{"duplicate-attribute", "missing-semicolon-after-character-reference"}));
  ErrorSink exact;
  TokenizerOptions options;
  options.exact_errors = true;
  html5::tokenize("\n\n<a\0>"sv, exact, options);
  ASSERT_EQ(exact.errors.size(), 1u);
  EXPECT_EQ(exact.errors[0], "unexpected-null-character (line 3, state TagName)");
}

// --- inputs that would expose quadratic time or deep recursion ---

struct Shape {
  std::size_t tokens = 0;
  std::size_t characters = 0;  // total characters
  std::size_t character_tokens = 0;
  std::size_t attributes = 0;
  std::size_t longest_text = 0;
  std::string first_value;
};

class ShapeSink : public TokenSink {
 public:
  Shape shape;
  TokenSinkResult process_token(Token& token, std::uint64_t) override {
    if (token.kind == TokenKind::ParseError) return {};
    ++shape.tokens;
    if (token.kind == TokenKind::Characters) {
      ++shape.character_tokens;
      shape.characters += token.text.size();
    }
    if (token.kind == TokenKind::Comment) shape.longest_text = std::max(shape.longest_text, token.text.size());
    if (token.kind == TokenKind::Tag) {
      shape.attributes += token.tag.attrs.size();
      if (!token.tag.attrs.empty()) {
        shape.first_value = token.tag.attrs[0].value.substr(0, 16);
        shape.longest_text = std::max(shape.longest_text, token.tag.attrs[0].value.size());
      }
    }
    return {};
  }
};

Shape shape_of(const std::string& input) {
  ShapeSink sink;
  html5::tokenize(input, sink);
  return sink.shape;
}

std::string repeat(std::string_view s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out.append(s);
  return out;
}

TEST(TokenizerAdversarial, UnclosedComments) {
  const Shape s = shape_of(repeat("<!--", 100000));
  EXPECT_EQ(s.tokens, 2u);  // one comment, EOF
  EXPECT_EQ(s.longest_text, 4u * 99999 - 2);  // the last "--" may still end it: not data
}

TEST(TokenizerAdversarial, HugeAttributeValues) {
  const std::string value(10 << 20, 'v');
  for (const char* quote : {"\"", "'", ""}) {
    const Shape s = shape_of("<a href=" + std::string(quote) + value + quote + ">");
    EXPECT_EQ(s.attributes, 1u) << quote;
    EXPECT_EQ(s.longest_text, value.size()) << quote;
  }
}

TEST(TokenizerAdversarial, ManyAttributes) {
  Shape same = shape_of("<a" + repeat(" x=1", 100000) + ">");
  EXPECT_EQ(same.attributes, 1u);
  std::string distinct = "<a";
  for (int i = 0; i < 100000; ++i) distinct += " a" + std::to_string(i) + "=" + std::to_string(i);
  distinct += " a0=dup a99999=dup>";
  const Shape s = shape_of(distinct);
  EXPECT_EQ(s.attributes, 100000u);
  EXPECT_EQ(s.first_value, "0");
}

TEST(TokenizerAdversarial, LongRunsOfMarkupCharacters) {
  const std::size_t n = 1000000;
  struct Case {
    std::string input;
    std::size_t characters;
  };
  const Case cases[] = {
      {std::string(n, '<'), n},
      {std::string(n, '&'), n},
      {repeat("&amp;", n / 5), n / 5},
      {repeat("&#", n / 2), n},
      {repeat("&#x", n / 3), n / 3 * 3},
      {repeat("&notin", n / 6), n / 6 * 4},  // U+00AC (two bytes) and "in"
      {repeat("</", n / 2), 0},               // one bogus comment to the end
      {repeat("<a", n / 2), 0},               // one unfinished tag
  };
  for (const auto& c : cases) {
    const Shape s = shape_of(c.input);
    EXPECT_LE(s.character_tokens, 1u) << c.input.substr(0, 8);
    EXPECT_EQ(s.characters, c.characters) << c.input.substr(0, 8);
  }
}

TEST(TokenizerAdversarial, RawTextNearMisses) {
  RecordingSink sink;
  sink.replies = {raw(html5::RawKind::Rcdata)};
  const std::string body = repeat("</titl", 100000) + repeat("</", 100000);
  const auto tokens = run("<title>" + body + "</title>", {}, sink);
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[2], "EndTag title");

  RecordingSink script;
  script.replies = {raw(html5::RawKind::ScriptData)};
  const auto script_tokens = run("<script>" + repeat("<!--<script>-->", 100000) + "</script>", {}, script);
  ASSERT_EQ(script_tokens.size(), 4u);
  EXPECT_EQ(script_tokens[2], "EndTag script");
}

}  // namespace

// --- invariants over random markup ---

namespace {

class InvariantSink : public TokenSink {
 public:
  explicit InvariantSink(std::uint32_t seed) : seed_(seed) {}
  bool saw_eof = false;
  bool ended = false;
  bool all_valid_utf8 = true;

  TokenSinkResult process_token(Token& token, std::uint64_t line) override {
    EXPECT_FALSE(saw_eof);
    EXPECT_GE(line, last_line_);
    last_line_ = line;
    switch (token.kind) {
      case TokenKind::Characters:
        EXPECT_FALSE(token.text.empty());
        EXPECT_EQ(token.text.find('\0'), std::string_view::npos);
        check(token.text);
        break;
      case TokenKind::Comment:
        check(token.text);
        break;
      case TokenKind::Tag:
        check(token.tag.name);
        EXPECT_FALSE(token.tag.name.empty());
        for (const auto& attr : token.tag.attrs) {
          check(attr.name.local);
          check(attr.value);
        }
        if (token.tag.kind == html5::TagKind::Start) return reply();
        break;
      case TokenKind::Eof:
        saw_eof = true;
        break;
      default:
        break;
    }
    return {};
  }
  void end() override {
    EXPECT_TRUE(saw_eof);
    ended = true;
  }
  bool adjusted_current_node_present_but_not_in_html_namespace() const override { return seed_ % 3 == 0; }

 private:
  void check(std::string_view s) {
    if (!vedavi::utf8::is_valid(s)) all_valid_utf8 = false;
    EXPECT_EQ(s.find('\r'), std::string_view::npos);
  }
  TokenSinkResult reply() {
    seed_ = seed_ * 1103515245 + 12345;
    switch ((seed_ >> 16) % 8) {
      case 0: return raw(html5::RawKind::Rcdata);
      case 1: return raw(html5::RawKind::Rawtext);
      case 2: return raw(html5::RawKind::ScriptData);
      case 3: return raw(html5::RawKind::ScriptDataEscaped);
      case 4: return raw(html5::RawKind::ScriptDataDoubleEscaped);
      case 5: return plaintext();
      default: return {};
    }
  }
  std::uint32_t seed_;
  std::uint64_t last_line_ = 0;
};

// Random inputs built from the snippets the states care about: every run ends with EOF and
// end(), sends no NUL or CR in text, and turns valid UTF-8 into valid UTF-8.
TEST(TokenizerInvariants, RandomMarkup) {
  static constexpr std::string_view kSnippets[] = {
      "<", ">", "/", "!", "-", "--", "&", "#", "x", ";", "=", "\"", "'", "`", "?", "]", "]]>", " ", "\n", "\r",
      "\r\n", "\t", std::string_view("\0", 1), "a", "B", "1", "<!--", "-->", "--!", "<!DOCTYPE", "PUBLIC",
      "SYSTEM", "<![CDATA[", "<script>", "</script>", "<title>", "</title", "&amp", "&notin;", "&#x1F600;",
      "&#128", "&#0;", "\xC3\xA9", "\xEF\xBB\xBF", "\xF0\x9F\x98\x80", "<a b=c>", "</a>",
  };
  const TokenizerState states[] = {TokenizerState::Data,       TokenizerState::Rcdata,
                                   TokenizerState::Rawtext,    TokenizerState::ScriptData,
                                   TokenizerState::Plaintext,  TokenizerState::CdataSection,
                                   TokenizerState::ScriptDataEscaped, TokenizerState::ScriptDataDoubleEscaped};
  std::uint32_t rng = 2463534242u;
  auto next = [&] {
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return rng;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string input;
    const std::uint32_t snippets = next() % 60;
    for (std::uint32_t i = 0; i < snippets; ++i) input.append(kSnippets[next() % std::size(kSnippets)]);
    InvariantSink sink(next());
    TokenizerOptions options;
    options.initial_state = states[next() % std::size(states)];
    options.last_start_tag_name = next() % 2 ? "script" : "title";
    options.exact_errors = next() % 2;
    ASSERT_TRUE(html5::tokenize(input, sink, options));
    ASSERT_TRUE(sink.ended) << show(input);
    ASSERT_TRUE(sink.all_valid_utf8) << show(input);
  }
}

}  // namespace
