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

TemplateDelimiter mustache() {
  TemplateDelimiter d = delim("{{", "}}", TemplateForm::Auto, "mustache");
  d.markers = TemplateMarkers{"#", "^", "/"};
  return d;
}

TEST(TemplateTokenAt, BasicToken) {
  const std::vector<TemplateDelimiter> ds = {delim("{{", "}}")};
  auto token = templates::token_at("a {{ x }} b", 2, ds, false);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->syntax, "s");
  EXPECT_EQ(token->source, "{{ x }}");
  EXPECT_EQ(token->body, " x ");
  EXPECT_EQ(token->name, "x");
  EXPECT_EQ(token->kind, TemplateTokenKind::Var);
  EXPECT_EQ(token->end, 9u);
  EXPECT_FALSE(templates::token_at("a {{ x }} b", 1, ds, false));
  EXPECT_FALSE(templates::token_at("a {{ x }} b", 11, ds, false));
  EXPECT_FALSE(templates::token_at("{{ x", 0, ds, false));
  EXPECT_FALSE(templates::token_at("{{ x }}", 0, {}, false));
}

TEST(TemplateTokenAt, ChoosesDelimiter) {
  const std::vector<TemplateDelimiter> ds = {delim("{", "}", TemplateForm::Auto, "one"),
                                             delim("{{", "}}", TemplateForm::Auto, "two"),
                                             delim("{{", "}}", TemplateForm::Auto, "later"),
                                             delim("", "}", TemplateForm::Auto, "empty")};
  auto token = templates::token_at("{{x}}", 0, ds, false);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->syntax, "later");
  EXPECT_EQ(token->body, "x");
}

TEST(TemplateTokenAt, FormsByContext) {
  const std::vector<TemplateDelimiter> block = {delim("{%", "%}", TemplateForm::Block)};
  const std::vector<TemplateDelimiter> inl = {delim("{%", "%}", TemplateForm::Inline)};
  EXPECT_FALSE(templates::token_at("{% x %}", 0, block, false));
  EXPECT_TRUE(templates::token_at("{% x %}", 0, block, true));
  EXPECT_TRUE(templates::token_at("{% x %}", 0, inl, false));
  EXPECT_FALSE(templates::line_token("{% x %}", inl));
  EXPECT_TRUE(templates::line_token("  {% x %}\t", block));
  EXPECT_FALSE(templates::line_token("{% x %} more", block));
  auto line = templates::line_token("  {% x %} ", block);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->end, 7u);
  EXPECT_EQ(line->form, TemplateForm::Block);
}

struct KindCase {
  const char* text;
  TemplateTokenKind kind;
  const char* name;
};

TEST(TemplateTokenAt, MarkersGiveKinds) {
  const std::vector<TemplateDelimiter> ds = {mustache()};
  const std::vector<KindCase> cases = {
      {"{{#items}}", TemplateTokenKind::Open, "items"},
      {"{{ ^ items }}", TemplateTokenKind::OpenInverted, "items"},
      {"{{/items}}", TemplateTokenKind::Close, "items"},
      {"{{#}}", TemplateTokenKind::Unknown, ""},
      {"{{ # }}", TemplateTokenKind::Unknown, ""},
      {"{{!comment}}", TemplateTokenKind::Unknown, ""},
      {"{{.}}", TemplateTokenKind::Var, "."},
      {"{{..}}", TemplateTokenKind::Unknown, ""},
      {"{{  }}", TemplateTokenKind::Unknown, ""},
      {"{{ name.x }}", TemplateTokenKind::Var, "name.x"},
      {"{{ é }}", TemplateTokenKind::Var, "é"},
  };
  for (const auto& c : cases) {
    auto token = templates::token_at(c.text, 0, ds, false);
    ASSERT_TRUE(token) << c.text;
    EXPECT_EQ(token->kind, c.kind) << c.text;
    EXPECT_EQ(token->name, c.name) << c.text;
  }
  // Without markers every inner text is a value, punctuation included.
  const std::vector<TemplateDelimiter> plain = {delim("{{", "}}")};
  auto token = templates::token_at("{{!x}}", 0, plain, false);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->kind, TemplateTokenKind::Var);
  EXPECT_EQ(token->name, "!x");
}

TEST(TemplateTokenAt, Balanced) {
  TemplateDelimiter d = delim("(", ")");
  d.balance = TemplateBalance{'(', ')'};
  const std::vector<TemplateDelimiter> ds = {d};
  auto token = templates::token_at("f(a(b)d) x)", 1, ds, false);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->body, "a(b)d");
  auto quoted = templates::token_at("(a \")\" b) c)", 0, ds, false);
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->body, "a \")\" b");
  auto escaped = templates::token_at("(a \\) b)", 0, ds, false);
  ASSERT_TRUE(escaped);
  EXPECT_EQ(escaped->body, "a \\) b");
  EXPECT_FALSE(templates::token_at("(a(b)", 0, ds, false));
}

TEST(TemplateTokenAt, WordsForKinds) {
  EXPECT_EQ(templates::kind_node_word(TemplateTokenKind::OpenInverted), "open");
  EXPECT_EQ(templates::kind_html_word(TemplateTokenKind::OpenInverted), "inverted");
  EXPECT_EQ(templates::kind_html_word(TemplateTokenKind::Var), "value");
  EXPECT_EQ(templates::kind_html_word(TemplateTokenKind::Close), "end");
  EXPECT_EQ(templates::form_from_name("block"), TemplateForm::Block);
  EXPECT_EQ(templates::form_from_name("Block"), std::nullopt);
}

// Every opener tried in turn with no closer anywhere: the close search must not restart at
// every position.
TEST(TemplateTokenAt, OpenersWithoutCloserStayLinear) {
  TemplateDelimiter balanced = delim("{{", "}}", TemplateForm::Auto, "b");
  balanced.balance = TemplateBalance{'{', '}'};
  for (const auto& d : {delim("{{", "}}"), balanced}) {
    const std::vector<TemplateDelimiter> ds = {d};
    const std::string text(1'000'000, '{');
    templates::CloseCache cache;
    std::size_t found = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (templates::token_at(text, i, ds, false, cache)) ++found;
    EXPECT_EQ(found, 0u);
    EXPECT_TRUE(templates::html_tokens(text, ds).empty());
  }
  // Closers far away: each opener finds the same one.
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
  struct Setup {
    const char* open;
    const char* close;
    TemplateBalance balance;
  };
  const std::vector<Setup> setups = {
      {"(", ")", {'(', ')'}},
      {"{{", "}}", {'{', '}'}},
      {"<", ">>", {'[', ']'}},
      {"{", "}", {0x00E9, '}'}},  // a multi-byte opening character
  };
  const std::vector<std::string> alphabet = {"(", ")", "{", "}", "[", "]", ">", "<", "\"", "'",
                                             "\\", "a", " ", "\u00E9"};
  std::mt19937 random(12345);
  for (const Setup& setup : setups) {
    TemplateDelimiter d = delim(setup.open, setup.close);
    d.balance = setup.balance;
    const std::vector<TemplateDelimiter> ds = {d};
    for (int round = 0; round < 300; ++round) {
      std::string text;
      const int length = static_cast<int>(random() % 40);
      for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
      templates::CloseCache cache;
      for (std::size_t pos = 0; pos < text.size(); ++pos) {
        auto walked = templates::token_at(text, pos, ds, false);
        auto indexed = templates::token_at(text, pos, ds, false, cache);
        ASSERT_EQ(walked, indexed) << text << " at " << pos;
      }
    }
  }
}

TEST(TemplateTokenAt, BalancedOpenersBeforeOneCloserStayLinear) {
  TemplateDelimiter d = delim("{{", "}}");
  d.balance = TemplateBalance{'{', '}'};
  const std::vector<TemplateDelimiter> ds = {d};
  // Every opener's walk would run to the end: depth never returns to 0 at the closer.
  const std::string text = std::string(1'000'000, '{') + "}}";
  templates::CloseCache cache;
  std::size_t found = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (templates::token_at(text, i, ds, false, cache)) ++found;
  EXPECT_EQ(found, 1u);  // only the opener right before the closer ("{{}}")
  EXPECT_EQ(templates::html_tokens(text, ds).size(), 1u);
}

struct HtmlCase {
  std::string html;
  std::vector<std::pair<std::string, bool>> tokens;  // name, table context
};

TEST(TemplateHtml, Tokens) {
  const std::vector<TemplateDelimiter> ds = {delim("{{", "}}")};
  const std::vector<HtmlCase> cases = {
      {"<p>{{a}}</p>{{b}}", {{"a", false}, {"b", false}}},
      {"<a href=\"{{url}}\">x</a>", {}},
      {"<!-- {{c}} -->{{d}}", {{"d", false}}},
      {"<!-- {{c}}", {}},
      {"<![CDATA[{{c}}]]>{{d}}", {{"d", false}}},
      {"<script>{{c}}</p>{{x}}</SCRIPT >{{d}}", {{"d", false}}},
      {"<scripts>{{c}}</scripts>", {{"c", false}}},
      {"<style>{{c}}", {}},
      {"<table>{{a}}<tr><td>{{b}}</td></tr>{{c}}</table>{{d}}",
       {{"a", true}, {"b", false}, {"c", true}, {"d", false}}},
      {"<TBODY>{{a}}</Td>{{b}}</TR>{{c}}", {{"a", true}, {"b", false}, {"c", true}}},
      {"<table>{{a}}<!-- x -->{{b}}<br>{{c}}", {{"a", true}, {"b", true}, {"c", false}}},
      {"a < b {{x}}", {{"x", false}}},
      {"<?pi {{x}} ?>{{y}}", {{"y", false}}},
      {"é{{x}}", {{"x", false}}},
  };
  for (const auto& c : cases) {
    auto tokens = templates::html_tokens(c.html, ds);
    std::vector<std::pair<std::string, bool>> got;
    for (const auto& t : tokens) got.emplace_back(t.name, t.table_context);
    EXPECT_EQ(got, c.tokens) << c.html;
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
