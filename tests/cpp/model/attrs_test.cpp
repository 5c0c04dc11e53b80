#include "model/attrs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/unicode.h"

namespace vedavi {
namespace {

using Classes = std::vector<std::string>;

Attr make(std::optional<std::string> id, Classes classes, StringPairs pairs) {
  Attr attr;
  attr.id = std::move(id);
  attr.classes = std::move(classes);
  attr.pairs = std::move(pairs);
  return attr;
}

TEST(AttrOps, PushClassSkipsEmptyAndDuplicates) {
  Attr attr;
  attr.push_class("");
  attr.push_class("a");
  attr.push_class(std::string("a"));
  attr.push_class("b");
  EXPECT_EQ(attr.classes, (Classes{"a", "b"}));
  EXPECT_EQ(Attr::with_class("wikitable").classes, Classes{"wikitable"});
  EXPECT_TRUE(Attr::with_class("").empty());
}

TEST(AttrOps, SetPairRoutesIdAndClass) {
  Attr attr;
  attr.set_pair("class", " \t a  b\u00A0a \u3000c ");
  attr.set_pair("id", "x");
  attr.set_pair("id", "y");
  attr.set_pair("k", "1");
  attr.set_pair("j", "2");
  attr.set_pair("k", "3");
  attr.set_pair("Class", "z");
  attr.set_pair("ID", "w");
  EXPECT_EQ(attr, make("y", {"a", "b", "c"}, {{"k", "3"}, {"j", "2"}, {"Class", "z"}, {"ID", "w"}}));
  Attr empty_id;
  empty_id.set_pair("id", "");
  EXPECT_EQ(empty_id.id, std::optional<std::string>(""));
}

TEST(AttrOps, Merge) {
  Attr base = make("keep", {"a"}, {{"k", "1"}});
  base.merge(make(std::nullopt, {"b", "a"}, {{"j", "2"}, {"k", "3"}}));
  EXPECT_EQ(base, make("keep", {"a", "b"}, {{"k", "3"}, {"j", "2"}}));
  base.merge(make("", {}, {}));
  EXPECT_EQ(base.id, std::optional<std::string>(""));
}

TEST(AttrOps, SetPairUpdatesFirstOfDuplicatedKeys) {
  // Built directly with a repeated key: only the first pair takes new values, also in bulk.
  Attr attr = make(std::nullopt, {}, {{"k", "1"}, {"k", "2"}});
  attr.set_pair("k", "3");
  EXPECT_EQ(attr.pairs, (StringPairs{{"k", "3"}, {"k", "2"}}));
  Attr other;
  for (int i = 0; i < 50; ++i) other.set_pair("p" + std::to_string(i), "v");
  other.set_pair("k", "4");
  attr.merge(other);
  EXPECT_EQ(attr.pairs[0], (std::pair<std::string, std::string>{"k", "4"}));
  EXPECT_EQ(attr.pairs[1], (std::pair<std::string, std::string>{"k", "2"}));
  EXPECT_EQ(attr.pairs.size(), 52u);
}

struct PanelCase {
  const char* name;
  Attr input;
  std::optional<Attr> expected;
};

TEST(AttrPanel, Examples) {
  const std::vector<PanelCase> cases = {
      {"callout class", make(std::nullopt, {"callout-note"}, {}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-callout", "note"}, {"data-disclosure", "fixed"}})},
      {"details", make(std::nullopt, {"details"}, {}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-disclosure", "closed"}})},
      {"details open", make(std::nullopt, {"details"}, {{"open", ""}}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-disclosure", "open"}})},
      {"collapse false", make(std::nullopt, {"details", "x"}, {{"collapse", "false"}}),
       make(std::nullopt, {"x"}, {{"data-panel", ""}, {"data-disclosure", "open"}})},
      {"collapse true", make(std::nullopt, {}, {{"collapse", "true"}, {"data-panel", "1"}}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-disclosure", "closed"}})},
      {"collapse other falls through", make(std::nullopt, {"details"}, {{"collapse", "maybe"}}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-disclosure", "closed"}})},
      {"explicit panel", make(std::nullopt, {}, {{"data-panel", "x"}}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-disclosure", "fixed"}})},
      {"unknown disclosure word", make(std::nullopt, {"callout-tip"}, {{"data-disclosure", "maybe"}}),
       make(std::nullopt, {}, {{"data-disclosure", "fixed"}, {"data-panel", ""}, {"data-callout", "tip"}})},
      {"data-callout wins, may be empty",
       make(std::nullopt, {"callout-tip"}, {{"data-callout", ""}}),
       make(std::nullopt, {}, {{"data-callout", ""}, {"data-panel", ""}, {"data-disclosure", "fixed"}})},
      {"bare callout- is no panel", make(std::nullopt, {"callout-"}, {}), std::nullopt},
      {"bare callout- with details", make(std::nullopt, {"callout-", "details"}, {}),
       make(std::nullopt, {}, {{"data-panel", ""}, {"data-disclosure", "closed"}})},
      {"keeps the rest in order", make("i", {"a", "callout-warn", "b"}, {{"k", "v"}, {"open", ""}}),
       make("i", {"a", "b"}, {{"k", "v"}, {"data-panel", ""}, {"data-callout", "warn"}, {"data-disclosure", "fixed"}})},
      {"plain div", make("i", {"a"}, {{"k", "v"}}), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.input.panel(), c.expected) << c.name;
}

struct BodyCase {
  const char* body;
  Attr expected;
};

TEST(AttrBody, Grammar) {
  const std::vector<BodyCase> cases = {
      {"", {}},
      {"#a #b", make("b", {}, {})},
      {".a .a .b", make(std::nullopt, {"a", "b"}, {})},
      {"k=1 k=2", make(std::nullopt, {}, {{"k", "2"}})},
      {"k=\"a b\"", make(std::nullopt, {}, {{"k", "a b"}})},
      {"k='a b'", make(std::nullopt, {}, {{"k", "a b"}})},
      {"k=\"a b", make(std::nullopt, {}, {{"k", "\"a b"}})},
      {"k=\\\"x\\\"", make(std::nullopt, {}, {{"k", "\"x\""}})},
      {"k=&amp;", make(std::nullopt, {}, {{"k", "&"}})},
      {"&amp;=1", make(std::nullopt, {}, {{"&amp;", "1"}})},
      {"id=x class='a b' .d", make("x", {"a", "b", "d"}, {})},
      {"#a\\.b", make("a.b", {}, {})},
      {"k = v", {}},
      {".a=b", make(std::nullopt, {"a=b"}, {})},
      {"#a.b.d", make("a", {"b", "d"}, {})},
      {".x#y#z", make("z", {"x"}, {})},
      {"#.x..y#", make(std::nullopt, {"x", "y"}, {})},
      {"word k=v other", make(std::nullopt, {}, {{"k", "v"}})},
      {"k=\"a}b\"\u00A0j=2", make(std::nullopt, {}, {{"k", "a}b"}, {"j", "2"}})},
      {"k=a\\ b", make(std::nullopt, {}, {{"k", "a b"}})},
      {"k=\"\"", make(std::nullopt, {}, {{"k", ""}})},
      {"k=\"", make(std::nullopt, {}, {{"k", "\""}})},
  };
  for (const auto& c : cases) EXPECT_EQ(attrs::parse_attrs_body(c.body), c.expected) << c.body;
}

TEST(AttrBody, UnescapeAttr) {
  EXPECT_EQ(attrs::unescape_attr("a\\.b\\\\c\\"), "a.b\\c\\");
  EXPECT_EQ(attrs::unescape_attr("\\é"), "é");
}

struct BracedCase {
  const char* text;
  std::optional<std::size_t> consumed;
  Attr attr;
};

TEST(AttrBraced, Groups) {
  const std::vector<BracedCase> cases = {
      {"{#a .b}", 7, make("a", {"b"}, {})},
      {"{x=1 anything} tail", 14, make(std::nullopt, {}, {{"x", "1"}})},
      {"{: word}", 8, {}},
      {"{:.k}", 5, make(std::nullopt, {"k"}, {})},
      {"{word}", std::nullopt, {}},
      {"{=html}", std::nullopt, {}},
      {"{}", std::nullopt, {}},
      {"{ }", std::nullopt, {}},
      {"{:}", std::nullopt, {}},
      {"{#a", std::nullopt, {}},
      {"x{#a}", std::nullopt, {}},
      {"{k='}' .c}", 10, make(std::nullopt, {"c"}, {{"k", "}"}})},
      {"{#a\\}}", 6, make("a}", {}, {})},
      {"{k='unclosed}", std::nullopt, {}},
  };
  for (const auto& c : cases) {
    auto got = attrs::parse_braced_attr(c.text);
    ASSERT_EQ(got.has_value(), c.consumed.has_value()) << c.text;
    if (!got) continue;
    EXPECT_EQ(got->consumed, *c.consumed) << c.text;
    EXPECT_EQ(got->attr, c.attr) << c.text;
  }
}

TEST(AttrBraced, LooksLikeAttrs) {
  EXPECT_TRUE(attrs::looks_like_attrs("x=1 anything", false));
  EXPECT_TRUE(attrs::looks_like_attrs(" .a", false));
  EXPECT_FALSE(attrs::looks_like_attrs("word", false));
  EXPECT_FALSE(attrs::looks_like_attrs("=x", false));
  EXPECT_FALSE(attrs::looks_like_attrs("word x=1", false));
  EXPECT_TRUE(attrs::looks_like_attrs("word", true));
  EXPECT_FALSE(attrs::looks_like_attrs(" \u00A0", true));
}

TEST(AttrBraced, Synthetic) {
  EXPECT_EQ(attrs::parse_synthetic_attrs("#a.b"), make("a", {"b"}, {}));
  EXPECT_EQ(attrs::parse_synthetic_attrs("#a} {.b"), std::nullopt);
  EXPECT_EQ(attrs::parse_synthetic_attrs("word"), std::nullopt);
}

TEST(AttrBraced, RawFormat) {
  auto html5 = attrs::raw_attr("{=html5} rest");
  ASSERT_TRUE(html5);
  EXPECT_EQ(html5->format, "html5");
  EXPECT_EQ(html5->consumed, 8u);
  auto x = attrs::raw_attr("{=x}");
  ASSERT_TRUE(x);
  EXPECT_EQ(x->consumed, 4u);
  EXPECT_TRUE(attrs::raw_attr("{=a-b_C9}"));
  for (const char* bad : {"{=}", "{=a b}", "{=a", "{x}", "{=é}", ""})
    EXPECT_FALSE(attrs::raw_attr(bad)) << bad;
}

struct SpanCase {
  std::string line;
  std::optional<std::pair<std::size_t, std::size_t>> span;
};

TEST(AttrTrailing, Span) {
  const std::vector<SpanCase> cases = {
      {"Title {#t}   ", {{6, 10}}},
      {"x {a}", std::nullopt},
      {"x {#a k='}'}", {{2, 12}}},
      {"x {#a \\}", std::nullopt},
      {"\"{#a\" \"}", {{1, 8}}},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"{.a}", {{0, 4}}},
      {"a {.b} {.c}", {{7, 11}}},
      {"a {: x}", {{2, 7}}},
      {"a {:}", std::nullopt},
      {"a }", std::nullopt},
      {"Überschrift {#ü}", {{13, 18}}},
      {"日本語 {.k}\u3000", {{10, 14}}},
  };
  for (const auto& c : cases) {
    auto got = attrs::trailing_attr_span(c.line);
    ASSERT_EQ(got.has_value(), c.span.has_value()) << c.line;
    if (got) {
      EXPECT_EQ(std::pair(got->start, got->end), *c.span) << c.line;
    }
  }
}

TEST(AttrTrailing, Strip) {
  auto with = attrs::strip_trailing_attr("  Title {.k}");
  EXPECT_EQ(with.text, "  Title");
  EXPECT_EQ(with.attr, make(std::nullopt, {"k"}, {}));
  auto without = attrs::strip_trailing_attr("  Title  ");
  EXPECT_EQ(without.text, "Title");
  EXPECT_TRUE(without.attr.empty());
  auto colon = attrs::strip_trailing_attr("T {: #i }");
  EXPECT_EQ(colon.text, "T");
  EXPECT_EQ(colon.attr, make("i", {}, {}));
}

struct FenceCase {
  const char* raw;
  const char* info;
  std::optional<std::string> lang;
  Attr attr;
  bool has_attrs;
};

TEST(FenceInfo, Split) {
  const std::vector<FenceCase> cases = {
      {"", "", std::nullopt, {}, false},
      {"  demo  ", "demo", "demo", {}, false},
      {"demo {.numberLines startFrom=5}", "demo {.numberLines startFrom=5}", "demo",
       make(std::nullopt, {"demo", "numberLines"}, {{"startFrom", "5"}}), true},
      {"{.sample #main} trailing words", "{.sample #main}", "sample", make("main", {"sample"}, {}), true},
      {"{#only}", "{#only}", std::nullopt, make("only", {}, {}), true},
      {".sample", ".sample", "sample", make(std::nullopt, {"sample"}, {}), true},
      {".sample extra", ".sample extra", ".sample", {}, false},
      {".a{#b}", ".a{#b}", "a", make("b", {"a"}, {}), true},
      {".a{#b}x", ".a{#b}x", ".a{#b}x", {}, false},
      {".a {k=v}", ".a {k=v}", "a", make(std::nullopt, {"a"}, {{"k", "v"}}), true},
      {"#i .a", "#i .a", "#i", {}, false},
      {"``py``", "``py``", "py", {}, false},
      {"c\\+\\+ rest", "c\\+\\+ rest", "c++", {}, false},
      {"a&amp;b", "a&amp;b", "a&b", {}, false},
      {"``` {.x}", "``` {.x}", std::nullopt, make(std::nullopt, {"x"}, {}), true},
      {"py {word} {.x}", "py {word} {.x}", "py", {}, false},
  };
  for (const auto& c : cases) {
    attrs::FenceInfo got = attrs::parse_fence_info(c.raw);
    EXPECT_EQ(got.info, c.info) << c.raw;
    EXPECT_EQ(got.lang, c.lang) << c.raw;
    EXPECT_EQ(got.attr, c.attr) << c.raw;
    EXPECT_EQ(got.has_attrs, c.has_attrs) << c.raw;
  }
}

// Large attribute blocks: results checked at a size where quadratic membership would show.
TEST(AttrScale, HundredThousandClassesAndPairs) {
  constexpr int kCount = 100'000;
  std::string body;
  for (int i = 0; i < kCount; ++i) body += ".c" + std::to_string(i % (kCount / 2)) + ' ';
  for (int i = 0; i < kCount; ++i) body += "k" + std::to_string(i % (kCount / 2)) + '=' + std::to_string(i) + ' ';
  body += "class='" + std::string("c7 new") + "'";
  Attr attr = attrs::parse_attrs_body(body);
  ASSERT_EQ(attr.classes.size(), static_cast<std::size_t>(kCount / 2 + 1));
  EXPECT_EQ(attr.classes.front(), "c0");
  EXPECT_EQ(attr.classes.back(), "new");
  ASSERT_EQ(attr.pairs.size(), static_cast<std::size_t>(kCount / 2));
  EXPECT_EQ(attr.pairs[3], (std::pair<std::string, std::string>{"k3", std::to_string(kCount / 2 + 3)}));

  Attr target = Attr::with_class("c1");
  target.set_pair("k9", "old");
  target.merge(attr);
  EXPECT_EQ(target.classes.size(), attr.classes.size());
  EXPECT_EQ(target.classes[0], "c1");
  EXPECT_EQ(target.pairs[0].first, "k9");
  EXPECT_EQ(target.pairs[0].second, attr.find_pair("k9") ? *attr.find_pair("k9") : "");
  EXPECT_EQ(target.pairs.size(), attr.pairs.size());

  std::string words;
  for (int i = 0; i < kCount; ++i) words += "w" + std::to_string(i % 1000) + ' ';
  Attr by_class;
  by_class.set_pair("class", words);
  EXPECT_EQ(by_class.classes.size(), 1000u);
}

TEST(AttrScale, LongTrailingLine) {
  std::string line(1'000'000, '{');
  line += "#a}";
  auto span = attrs::trailing_attr_span(line);
  ASSERT_TRUE(span);
  EXPECT_EQ(span->start, 999'999u);
}

// Calling the readers at every "{" of a long text whose groups are no attribute blocks stays
// linear: a group is given up at its first word, a marker at its first character outside a
// format name.
TEST(AttrScale, ReadersAtEveryBraceOfAnUnclosedText) {
  struct Case {
    std::string unit;
    bool raw;  // raw_attr, else parse_braced_attr
  };
  for (const Case& c : {Case{"{=a", true}, Case{"{=ab ", true}, Case{"{a ", false},
                        Case{"{word ", false}, Case{"{=x", false}, Case{"{ }", false}}) {
    std::string text;
    while (text.size() < 1'000'000) text += c.unit;
    std::size_t found = 0;
    for (std::size_t i = text.find('{'); i != std::string::npos; i = text.find('{', i + 1)) {
      const std::string_view rest = std::string_view(text).substr(i);
      found += c.raw ? attrs::raw_attr(rest).has_value() : attrs::parse_braced_attr(rest).has_value();
    }
    EXPECT_EQ(found, 0u) << c.unit;
  }
}

// The scan that gives up early agrees with reading the whole group first and judging its body
// afterwards, on random texts of the characters that matter to either.
std::optional<attrs::BracedAttr> braced_attr_reference(std::string_view text) {
  if (text.empty() || text.front() != '{') return std::nullopt;
  bool escaped = false;
  char quote = 0;
  std::size_t end = 0;
  for (std::size_t i = 1; i < text.size() && end == 0; ++i) {
    const char c = text[i];
    if (escaped) escaped = false;
    else if (c == '\\') escaped = true;
    else if (quote) quote = c == quote ? 0 : quote;
    else if (c == '"' || c == '\'') quote = c;
    else if (c == '}') end = i;
  }
  if (end == 0) return std::nullopt;
  std::string_view inner = text.substr(1, end - 1);
  const bool colon = !inner.empty() && inner.front() == ':';
  if (colon) inner.remove_prefix(1);
  inner = unicode::trim(inner);
  if (!attrs::looks_like_attrs(inner, colon)) return std::nullopt;
  return attrs::BracedAttr{attrs::parse_attrs_body(inner), end + 1};
}

TEST(AttrBraced, EarlyRejectAgreesWithFullScan) {
  const std::vector<std::string> pieces = {"{", "}", ":", "#", ".", "=", " ", "a", "b", "\"",
                                           "'", "\\", "\u00A0", "\t"};
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text = "{";
    const int length = static_cast<int>(rng() % 12);
    for (int i = 0; i < length; ++i) text += pieces[rng() % pieces.size()];
    const auto got = attrs::parse_braced_attr(text);
    const auto want = braced_attr_reference(text);
    ASSERT_EQ(got.has_value(), want.has_value()) << text;
    if (!got) continue;
    EXPECT_EQ(got->consumed, want->consumed) << text;
    EXPECT_EQ(got->attr, want->attr) << text;
  }
}

}  // namespace
}  // namespace vedavi
