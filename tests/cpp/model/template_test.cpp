#include "model/template.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vedavi {
namespace {

TemplateDelimiter delim(std::string open, std::string close, TemplateForm form = TemplateForm::Auto,
                        std::string syntax = "s") {
  TemplateDelimiter d;
  d.syntax = std::move(syntax);
  d.open = std::move(open);
  d.close = std::move(close);
  d.form = form;
  return d;
}

TemplateDelimiter balanced(std::string open, std::string close, TemplateBalance balance) {
  TemplateDelimiter d = delim(std::move(open), std::move(close));
  d.balance = balance;
  return d;
}

// A token as "syntax|source|body|name|kind|end", "none" when there is none.
std::string show(const std::optional<TemplateToken>& t) {
  if (!t) return "none";
  return t->syntax + "|" + t->source + "|" + t->body + "|" + t->name + "|" +
         std::to_string(static_cast<int>(t->kind)) + "|" + std::to_string(t->end);
}

TEST(TemplateTokenAt, DelimitersFormsAndBalance) {
  const std::vector<TemplateDelimiter> ds = {delim("{{", "}}")};
  const std::vector<TemplateDelimiter> choice = {delim("{", "}", TemplateForm::Auto, "one"),
                                                 delim("{{", "}}", TemplateForm::Auto, "two"),
                                                 delim("{{", "}}", TemplateForm::Auto, "later"),
                                                 delim("", "}", TemplateForm::Auto, "empty")};
  const std::vector<TemplateDelimiter> block = {delim("{%", "%}", TemplateForm::Block)};
  const std::vector<TemplateDelimiter> inl = {delim("{%", "%}", TemplateForm::Inline)};
  const std::vector<TemplateDelimiter> parens = {balanced("(", ")", {'(', ')'})};
  struct Case {
    const char* text;
    std::size_t pos;
    const std::vector<TemplateDelimiter>& ds;
    bool line_start;
    const char* expected;
  } cases[] = {
      {"a {{ x }} b", 2, ds, false, "s|{{ x }}| x |x|0|9"}, {"a {{ x }} b", 1, ds, false, "none"},
      {"a {{ x }} b", 11, ds, false, "none"}, {"{{ x", 0, ds, false, "none"},
      {"{{ x }}", 0, {}, false, "none"}, {"{{x}}", 0, choice, false, "later|{{x}}|x|x|0|5"},
      {"{% x %}", 0, block, false, "none"}, {"{% x %}", 0, block, true, "s|{% x %}| x |x|0|7"},
      {"{% x %}", 0, inl, false, "s|{% x %}| x |x|0|7"},
      {"f(a(b)d) x)", 1, parens, false, "s|(a(b)d)|a(b)d|a(b)d|0|8"},
      {"(a \")\" b) c)", 0, parens, false, "s|(a \")\" b)|a \")\" b|a \")\" b|0|9"},
      {"(a \\) b)", 0, parens, false, "s|(a \\) b)|a \\) b|a \\) b|0|8"}, {"(a(b)", 0, parens, false, "none"},
      {"{{!x}}", 0, ds, false, "s|{{!x}}|!x|!x|0|6"},  // without markers punctuation is a value
  };
  for (const auto& c : cases)
    EXPECT_EQ(show(templates::token_at(c.text, c.pos, c.ds, c.line_start)), c.expected) << c.text;
  EXPECT_FALSE(templates::line_token("{% x %}", inl));
  EXPECT_TRUE(templates::line_token("  {% x %}\t", block));
  EXPECT_FALSE(templates::line_token("{% x %} more", block));
  auto line = templates::line_token("  {% x %} ", block);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->end, 7u);
  EXPECT_EQ(line->form, TemplateForm::Block);
  EXPECT_EQ(templates::kind_node_word(TemplateTokenKind::OpenInverted), "open");
  EXPECT_EQ(templates::kind_html_word(TemplateTokenKind::OpenInverted), "inverted");
  EXPECT_EQ(templates::kind_html_word(TemplateTokenKind::Var), "value");
  EXPECT_EQ(templates::kind_html_word(TemplateTokenKind::Close), "end");
  EXPECT_EQ(templates::form_from_name("block"), TemplateForm::Block);
  EXPECT_EQ(templates::form_from_name("Block"), std::nullopt);
}

TEST(TemplateTokenAt, MarkersGiveKinds) {
  TemplateDelimiter mustache = delim("{{", "}}");
  mustache.markers = TemplateMarkers{"#", "^", "/"};
  const std::vector<TemplateDelimiter> ds = {mustache};
  const std::tuple<const char*, TemplateTokenKind, const char*> cases[] = {
      {"{{#items}}", TemplateTokenKind::Open, "items"},
      {"{{ ^ items }}", TemplateTokenKind::OpenInverted, "items"},
      {"{{/items}}", TemplateTokenKind::Close, "items"}, {"{{#}}", TemplateTokenKind::Unknown, ""},
      {"{{ # }}", TemplateTokenKind::Unknown, ""}, {"{{!comment}}", TemplateTokenKind::Unknown, ""},
      {"{{.}}", TemplateTokenKind::Var, "."}, {"{{..}}", TemplateTokenKind::Unknown, ""},
      {"{{  }}", TemplateTokenKind::Unknown, ""}, {"{{ name.x }}", TemplateTokenKind::Var, "name.x"},
      {"{{ é }}", TemplateTokenKind::Var, "é"},
  };
  for (const auto& [text, kind, name] : cases) {
    auto token = templates::token_at(text, 0, ds, false);
    ASSERT_TRUE(token) << text;
    EXPECT_EQ(token->kind, kind) << text;
    EXPECT_EQ(token->name, name) << text;
  }
}

// Openers tried in turn with no closer, or one far away: the close search must not restart at
// every position.
TEST(TemplateTokenAt, OpenersStayLinear) {
  // Every balanced walk would run to the end: only the opener right before the closer counts.
  const TemplateDelimiter braces = balanced("{{", "}}", {'{', '}'});
  for (auto [d, tail] : {std::pair{delim("{{", "}}"), ""}, {braces, ""}, {braces, "}}"}}) {
    const std::vector<TemplateDelimiter> ds = {d};
    const std::string text = std::string(1'000'000, '{') + tail;
    templates::CloseCache cache;
    std::size_t found = 0;
    for (std::size_t i = 0; i < text.size(); ++i) found += templates::token_at(text, i, ds, false, cache).has_value();
    EXPECT_EQ(found, *tail ? 1u : 0u);
    EXPECT_EQ(templates::html_tokens(text, ds).size(), *tail ? 1u : 0u);
  }
  const std::vector<TemplateDelimiter> ds = {delim("<%", "%>")};
  std::string text;
  for (int i = 0; i < 200'000; ++i) text += "<% ";
  text += "%>";
  templates::CloseCache cache;
  auto last = templates::token_at(text, text.size() - 5, ds, false, cache);
  auto first = templates::token_at(text, 0, ds, false, cache);
  ASSERT_TRUE(first && last);
  EXPECT_EQ(first->end, text.size());
  EXPECT_EQ(last->end, text.size());
}

// The per-text index of balanced body ends against the plain forward walk, at every offset of
// many random texts full of openers, closers, quotes and escapes.
TEST(TemplateTokenAt, BalancedIndexMatchesForwardWalk) {
  const TemplateDelimiter setups[] = {balanced("(", ")", {'(', ')'}), balanced("{{", "}}", {'{', '}'}),
                                      balanced("<", ">>", {'[', ']'}),
                                      balanced("{", "}", {0x00E9, '}'})};  // a multi-byte opener
  const char* alphabet[] = {"(", ")", "{", "}", "[", "]", ">", "<", "\"", "'", "\\", "a", " ", "\u00E9"};
  std::mt19937 random(12345);
  for (const TemplateDelimiter& d : setups) {
    const std::vector<TemplateDelimiter> ds = {d};
    for (int round = 0; round < 300; ++round) {
      std::string text;
      for (int i = static_cast<int>(random() % 40); i > 0; --i) text += alphabet[random() % std::size(alphabet)];
      templates::CloseCache cache;
      for (std::size_t pos = 0; pos < text.size(); ++pos)
        ASSERT_EQ(templates::token_at(text, pos, ds, false), templates::token_at(text, pos, ds, false, cache))
            << text << " at " << pos;
    }
  }
}

TEST(TemplateHtml, Tokens) {
  const std::vector<TemplateDelimiter> ds = {delim("{{", "}}")};
  const std::pair<const char*, const char*> cases[] = {  // names, "*" in table context
      {"<p>{{a}}</p>{{b}}", "a b "}, {"<a href=\"{{url}}\">x</a>", ""}, {"<!-- {{c}} -->{{d}}", "d "},
      {"<!-- {{c}}", ""},
      // The comment ends where an HTML5 tokenizer ends it.
      {"<!-->{{a}}", "a "}, {"<!-- {{c}} --!>{{d}}", "d "}, {"<!--!>{{c}}", ""},
      {"<![CDATA[{{c}}]]>{{d}}", "d "}, {"<script>{{c}}</p>{{x}}</SCRIPT >{{d}}", "d "},
      {"<scripts>{{c}}</scripts>", "c "}, {"<style>{{c}}", ""},
      {"<table>{{a}}<tr><td>{{b}}</td></tr>{{c}}</table>{{d}}", "a* b c* d "},
      {"<TBODY>{{a}}</Td>{{b}}</TR>{{c}}", "a* b c* "}, {"<table>{{a}}<!-- x -->{{b}}<br>{{c}}", "a* b* c "},
      {"a < b {{x}}", "x "}, {"<?pi {{x}} ?>{{y}}", "y "}, {"é{{x}}", "x "},
  };
  for (const auto& [html, expected] : cases) {
    std::string got;
    for (const auto& t : templates::html_tokens(html, ds)) got += t.name + (t.table_context ? "* " : " ");
    EXPECT_EQ(got, expected) << html;
  }
  auto tokens = templates::html_tokens("<p>{{ a }}</p>", ds);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].start, 3u);
  EXPECT_EQ(tokens[0].end, 10u);
  EXPECT_EQ(tokens[0].body, " a ");
  EXPECT_TRUE(templates::html_tokens("{{a}}", {}).empty());
}

}  // namespace
}  // namespace vedavi
