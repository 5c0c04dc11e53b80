#include "model/attrs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/cpp/support/helpers.h"
#include "text/unicode.h"

namespace vedavi {
namespace {

std::string show(const Attr& a) {
  std::string out;
  test::append_attr(a, out);
  return out;
}
std::string show(const std::optional<Attr>& a) { return a ? show(*a) : "none"; }
Attr body(std::string_view text) { return attrs::parse_attrs_body(text); }

TEST(AttrOps, PushSetAndMerge) {
  Attr attr;
  for (const char* c : {"", "a", "b"}) attr.push_class(c);
  attr.push_class(std::string("a"));
  EXPECT_EQ(show(attr), "{.a .b}");
  EXPECT_EQ(show(Attr::with_class("wikitable")), "{.wikitable}");
  EXPECT_TRUE(Attr::with_class("").empty());
  attr = {};
  attr.set_pair("class", " \t a  b\u00A0a \u3000c ");
  for (const auto& [k, v] : StringPairs{{"id", "x"}, {"id", "y"}, {"k", "1"}, {"j", "2"}, {"k", "3"},
                                        {"Class", "z"}, {"ID", "w"}})
    attr.set_pair(k, v);
  EXPECT_EQ(show(attr), "{#y .a .b .c k=3 j=2 Class=z ID=w}");
  Attr empty_id;
  empty_id.set_pair("id", "");
  EXPECT_EQ(empty_id.id(), std::optional<std::string>(""));
  Attr base = body("#keep .a k=1");
  base.merge(body(".b .a j=2 k=3"));
  EXPECT_EQ(show(base), "{#keep .a .b k=3 j=2}");
  Attr empty_id_only;
  empty_id_only.set_id(std::string(""));
  base.merge(empty_id_only);
  EXPECT_EQ(base.id(), std::optional<std::string>(""));
  // Built directly with a repeated key: only the first pair takes new values, also in bulk.
  Attr dup;
  dup.pairs_mut() = {{"k", "1"}, {"k", "2"}};
  dup.set_pair("k", "3");
  EXPECT_EQ(show(dup), "{k=3 k=2}");
  Attr other;
  for (int i = 0; i < 50; ++i) other.set_pair("p" + std::to_string(i), "v");
  other.set_pair("k", "4");
  dup.merge(other);
  EXPECT_EQ(StringPairs(dup.pairs().begin(), dup.pairs().begin() + 2), (StringPairs{{"k", "4"}, {"k", "2"}}));
  EXPECT_EQ(dup.pairs().size(), 52u);
}

TEST(AttrPanel, Examples) {
  const std::pair<const char*, const char*> cases[] = {
      {".callout-note", "{data-panel= data-callout=note data-disclosure=fixed}"},
      {".details", "{data-panel= data-disclosure=closed}"},
      {".details open=''", "{data-panel= data-disclosure=open}"},
      {".details .x collapse=false", "{.x data-panel= data-disclosure=open}"},
      {"collapse=true data-panel=1", "{data-panel= data-disclosure=closed}"},
      {".details collapse=maybe", "{data-panel= data-disclosure=closed}"},
      {"data-panel=x", "{data-panel= data-disclosure=fixed}"},
      {".callout-tip data-disclosure=maybe", "{data-disclosure=fixed data-panel= data-callout=tip}"},
      {".callout-tip data-callout=''", "{data-callout= data-panel= data-disclosure=fixed}"},
      {".callout-", "none"}, {".callout- .details", "{data-panel= data-disclosure=closed}"},
      {"#i .a .callout-warn .b k=v open=''",
       "{#i .a .b k=v data-panel= data-callout=warn data-disclosure=fixed}"},
      {"#i .a k=v", "none"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(show(body(input).panel()), expected) << input;
}

TEST(AttrBody, Grammar) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"#a #b", "{#b}"}, {".a .a .b", "{.a .b}"}, {"k=1 k=2", "{k=2}"}, {"k=\"a b\"", "{k=a b}"},
      {"k='a b'", "{k=a b}"}, {"k=\"a b", "{k=\"a b}"}, {"k=\\\"x\\\"", "{k=\"x\"}"}, {"k=&amp;", "{k=&}"},
      {"&amp;=1", "{&amp;=1}"}, {"id=x class='a b' .d", "{#x .a .b .d}"}, {"#a\\.b", "{#a.b}"}, {"k = v", ""},
      {".a=b", "{.a=b}"}, {"#a.b.d", "{#a .b .d}"}, {".x#y#z", "{#z .x}"}, {"#.x..y#", "{.x .y}"},
      {"word k=v other", "{k=v}"}, {"k=\"a}b\"\u00A0j=2", "{k=a}b j=2}"}, {"k=a\\ b", "{k=a b}"},
      {"k=\"\"", "{k=}"}, {"k=\"", "{k=\"}"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(show(body(text)), expected) << text;
  EXPECT_EQ(attrs::unescape_attr("a\\.b\\\\c\\"), "a.b\\c\\");
  EXPECT_EQ(attrs::unescape_attr("\\é"), "é");
}

TEST(AttrBraced, GroupsMarkersAndShorthands) {
  const std::tuple<const char*, std::size_t, const char*> cases[] = {
      {"{#a .b}", 7, "{#a .b}"},       {"{x=1 anything} tail", 14, "{x=1}"}, {"{: word}", 8, ""},
      {"{:.k}", 5, "{.k}"},            {"{word}", 0, ""},                   {"{=html}", 0, ""},
      {"{}", 0, ""},                   {"{ }", 0, ""},                      {"{:}", 0, ""},
      {"{#a", 0, ""},                  {"x{#a}", 0, ""},                    {"{k='}' .c}", 10, "{.c k=}}"},
      {"{#a\\}}", 6, "{#a}}"},         {"{k='unclosed}", 0, ""},
  };
  for (const auto& [text, consumed, expected] : cases) {
    auto got = attrs::parse_braced_attr(text);
    EXPECT_EQ(got ? got->consumed : 0, consumed) << text;
    EXPECT_EQ(got ? show(got->attr) : "", expected) << text;
  }
  for (auto [body, colon, yes] : {std::tuple{"x=1 anything", false, true}, {" .a", false, true},
                                  {"word", false, false}, {"=x", false, false}, {"word x=1", false, false},
                                  {"word", true, true}, {" \u00A0", true, false}})
    EXPECT_EQ(attrs::looks_like_attrs(body, colon), yes) << body;
  EXPECT_EQ(show(attrs::parse_synthetic_attrs("#a.b")), "{#a .b}");
  EXPECT_EQ(show(attrs::parse_synthetic_attrs("#a} {.b")), "none");
  EXPECT_EQ(show(attrs::parse_synthetic_attrs("word")), "none");
  for (auto [text, format, consumed] : {std::tuple{"{=html5} rest", "html5", 8u}, {"{=x}", "x", 4u},
                                        {"{=a-b_C9}", "a-b_C9", 9u}}) {
    auto raw = attrs::raw_attr(text);
    ASSERT_TRUE(raw) << text;
    EXPECT_EQ(raw->format, format);
    EXPECT_EQ(raw->consumed, consumed);
  }
  for (const char* bad : {"{=}", "{=a b}", "{=a", "{x}", "{=é}", ""}) EXPECT_FALSE(attrs::raw_attr(bad)) << bad;
}

TEST(AttrTrailing, SpanAndStrip) {
  const std::pair<std::string, const char*> cases[] = {
      {"Title {#t}   ", "6-10"}, {"x {a}", ""},          {"x {#a k='}'}", "2-12"}, {"x {#a \\}", ""},
      {"\"{#a\" \"}", "1-8"},    {"", ""},               {"   ", ""},              {"{.a}", "0-4"},
      {"a {.b} {.c}", "7-11"},   {"a {: x}", "2-7"},     {"a {:}", ""},           {"a }", ""},
      {"Überschrift {#ü}", "13-18"}, {"日本語 {.k}\u3000", "10-14"},
      {std::string(999'999, '{') + "{#a}", "999999-1000003"},
  };
  for (const auto& [line, span] : cases) {
    auto got = attrs::trailing_attr_span(line);
    EXPECT_EQ(got ? std::to_string(got->start) + "-" + std::to_string(got->end) : "", span) << line.substr(0, 20);
  }
  for (auto [text, rest, attr] : {std::tuple{"  Title {.k}", "  Title", "{.k}"}, {"  Title  ", "Title", ""},
                                  {"T {: #i }", "T", "{#i}"}}) {
    auto got = attrs::strip_trailing_attr(text);
    EXPECT_EQ(got.text, rest);
    EXPECT_EQ(show(got.attr), attr);
  }
}

TEST(FenceInfo, Split) {
  struct Case {
    const char *raw, *info, *lang, *attr;
    bool has_attrs;
  } cases[] = {
      {"", "", nullptr, "", false}, {"  demo  ", "demo", "demo", "", false},
      {"demo {.numberLines startFrom=5}", "demo {.numberLines startFrom=5}", "demo",
       "{.demo .numberLines startFrom=5}", true},
      {"{.sample #main} trailing words", "{.sample #main}", "sample", "{#main .sample}", true},
      {"{#only}", "{#only}", nullptr, "{#only}", true}, {".sample", ".sample", "sample", "{.sample}", true},
      {".sample extra", ".sample extra", ".sample", "", false}, {".a{#b}", ".a{#b}", "a", "{#b .a}", true},
      {".a{#b}x", ".a{#b}x", ".a{#b}x", "", false}, {".a {k=v}", ".a {k=v}", "a", "{.a k=v}", true},
      {"#i .a", "#i .a", "#i", "", false}, {"``py``", "``py``", "py", "", false},
      {"c\\+\\+ rest", "c\\+\\+ rest", "c++", "", false}, {"a&amp;b", "a&amp;b", "a&b", "", false},
      {"``` {.x}", "``` {.x}", nullptr, "{.x}", true}, {"py {word} {.x}", "py {word} {.x}", "py", "", false},
  };
  for (const auto& c : cases) {
    attrs::FenceInfo got = attrs::parse_fence_info(c.raw);
    EXPECT_EQ(got.info, c.info) << c.raw;
    EXPECT_EQ(got.lang, c.lang ? std::optional<std::string>(c.lang) : std::nullopt) << c.raw;
    EXPECT_EQ(show(got.attr), c.attr) << c.raw;
    EXPECT_EQ(got.has_attrs, c.has_attrs) << c.raw;
  }
}

// Large attribute blocks: results checked at a size where quadratic membership would show.
TEST(AttrScale, HundredThousandClassesAndPairs) {
  constexpr int kCount = 100'000;
  std::string text;
  for (int i = 0; i < kCount; ++i) text += ".c" + std::to_string(i % (kCount / 2)) + ' ';
  for (int i = 0; i < kCount; ++i) text += "k" + std::to_string(i % (kCount / 2)) + '=' + std::to_string(i) + ' ';
  Attr attr = body(text + "class='c7 new'");
  ASSERT_EQ(attr.classes().size(), static_cast<std::size_t>(kCount / 2 + 1));
  EXPECT_EQ(attr.classes().front(), "c0");
  EXPECT_EQ(attr.classes().back(), "new");
  ASSERT_EQ(attr.pairs().size(), static_cast<std::size_t>(kCount / 2));
  EXPECT_EQ(attr.pairs()[3], (std::pair<std::string, std::string>{"k3", std::to_string(kCount / 2 + 3)}));
  Attr target = Attr::with_class("c1");
  target.set_pair("k9", "old");
  target.merge(attr);
  EXPECT_EQ(target.classes().size(), attr.classes().size());
  EXPECT_EQ(target.classes()[0], "c1");
  EXPECT_EQ(target.pairs()[0], (std::pair<std::string, std::string>{"k9", *attr.find_pair("k9")}));
  EXPECT_EQ(target.pairs().size(), attr.pairs().size());
  Attr by_class;
  by_class.set_pair("class", test::repeat("w1 w2 w3 ", 30000));
  EXPECT_EQ(show(by_class), "{.w1 .w2 .w3}");
}

// Readers called at every "{" of a long text whose groups are no attribute blocks stay linear.
TEST(AttrScale, ReadersAtEveryBraceOfAnUnclosedText) {
  for (auto [unit, raw] : {std::pair{"{=a", true}, {"{=ab ", true}, {"{a ", false}, {"{word ", false},
                           {"{=x", false}, {"{ }", false}}) {
    const std::string text = test::repeat(unit, 1'000'000 / std::string_view(unit).size());
    std::size_t found = 0;
    for (std::size_t i = text.find('{'); i != std::string::npos; i = text.find('{', i + 1)) {
      const std::string_view rest = std::string_view(text).substr(i);
      found += raw ? attrs::raw_attr(rest).has_value() : attrs::parse_braced_attr(rest).has_value();
    }
    EXPECT_EQ(found, 0u) << unit;
  }
}

// The scan that gives up early agrees with reading the whole group first and judging it after.
std::optional<attrs::BracedAttr> braced_attr_reference(std::string_view text) {
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
  return attrs::BracedAttr{body(inner), end + 1};
}

TEST(AttrBraced, EarlyRejectAgreesWithFullScan) {
  const char* pieces[] = {"{", "}", ":", "#", ".", "=", " ", "a", "b", "\"", "'", "\\", "\u00A0", "\t"};
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text = "{";
    for (int i = static_cast<int>(rng() % 12); i > 0; --i) text += pieces[rng() % std::size(pieces)];
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
