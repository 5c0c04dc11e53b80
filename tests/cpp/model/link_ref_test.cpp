#include "model/link_ref.h"
#include "tests/cpp/support/helpers.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vedavi {
namespace {

using vedavi::test::repeat;

TEST(LinkLabel, ScanValidateNormalize) {
  for (auto [text, label, consumed] : {std::tuple{"[a\\]b] rest", "a\\]b", 6u}, {"[]", "", 2u}, {"[", "", 0u},
                                       {"x]", "", 0u}, {"[a", "", 0u}, {"[a[b]", "", 0u}, {"", "", 0u}}) {
    auto got = attrs::scan_link_label(text);
    EXPECT_EQ(got ? got->label : "", label) << text;
    EXPECT_EQ(got ? got->consumed : 0u, consumed) << text;
  }
  // 999 characters (two bytes each) fit; 1000 do not.
  EXPECT_TRUE(attrs::scan_link_label("[" + repeat("é", 999) + "]"));
  EXPECT_FALSE(attrs::scan_link_label("[" + repeat("é", 1000) + "]"));
  const std::tuple<std::string, bool, bool> valid[] = {
      {"", true, true}, {"", false, false}, {" \n\t", false, false}, {" \n\t", true, true},
      {"\u00A0\u3000", false, false},  // Unicode white space is blank
      {"\\", false, true},             // a backslash is not blank
      {"\\ ", false, true}, {"a", false, true}, {"a[b", false, false}, {"a]b", false, false},
      {"a\\[b\\]", false, true}, {repeat("é", 999), false, true}, {repeat("é", 1000), false, false},
      {repeat("日", 997) + "\\a", false, true}, {repeat("日", 998) + "\\a", false, false},
      {repeat("日", 999) + "\\", false, false}, {repeat(" ", 1000), true, false},
  };
  for (const auto& [label, allow_blank, ok] : valid)
    EXPECT_EQ(attrs::valid_link_label(label, allow_blank), ok) << label.substr(0, 20);
  for (auto [label, key] : {std::pair{"Foo  Bar", "foo bar"}, {" foo\nbar\t", "foo bar"},
                            {"\u00A0A\u3000B\u00A0", "a b"}, {"\u0130stanbul", "i\u0307stanbul"},
                            {"ΟΔΟΣ", "οδος"}, {"ΟΔΟΣ x", "οδος x"}, {"", ""}})
    EXPECT_EQ(attrs::normalize_label(label), key) << label;
}

// ASCII labels take a byte route, the others a decoding one: both must give the same key and
// verdict, including where the two kinds of character meet.
TEST(LinkLabel, AsciiAndUnicodeRoutesAgree) {
  for (auto [label, key] : std::initializer_list<std::pair<std::string, std::string>>{
           {"ABC xyz", "abc xyz"}, {" \t\n\v\f\r Foo \r\n  BAR\t", "foo bar"}, {"a\\]B", "a\\]b"},
           {"\\ A", "\\ a"}, {"[@#Z_~]\x01\x7f", "[@#z_~]\x01\x7f"}, {"Foo \u00E9 BAR", "foo \u00E9 bar"},
           {"\u00C0B  c", "\u00E0b c"}, {"A\u00A0\u0085B", "a b"}, {"\u0085X ", "x"},
           {"\u0391\u03A3 B", "\u03B1\u03C2 b"},  // a sigma before a space is word-final
           {"\u0391\u03A3B", "\u03B1\u03C3b"},    // before an ASCII letter it is not
           {"\u0130A", "i\u0307a"}, {"\xFF\x41", "\xFF\x61"}, {"   ", ""}, {"Ab \tC", "ab c"}})
    EXPECT_EQ(attrs::normalize_label(label), key) << label;
  for (auto [label, ok] : std::initializer_list<std::pair<std::string, bool>>{
           {repeat("a", 999), true}, {repeat("a", 1000), false}, {repeat("a", 998) + "\u00E9", true},
           {repeat("a", 999) + "\u00E9", false}, {repeat("a", 998) + "\\", true},
           {repeat("a", 997) + "\\]", true}, {"\u3000\t\u00A0", false}, {"\\\u00A0", true},
           {"a\u00E9[", false}, {"\u00E9\\[", true}})
    EXPECT_EQ(attrs::valid_link_label(label, false), ok) << label.substr(0, 20);
}

// A bare destination's plain bytes are skipped in blocks of sixteen: whatever stops the run must
// be read as before wherever it falls, at a block's edge or in the shorter tail.
TEST(LinkRefDestination, StopByteAtAnyPosition) {
  struct Stop {
    std::string text;
    std::optional<std::string> taken;  // what the destination takes from the stop on; none: it ends there
    std::string decoded;               // those bytes as they end up in the destination
    bool fails;
  };
  const Stop stops[] = {
      {" b", std::nullopt, "", false},  {"\tb", std::nullopt, "", false},
      {")b", std::nullopt, "", false},  {"<b", std::nullopt, "", true},
      {"(x)b", "(x)b", "(x)b", false},  {"\\.b", "\\.b", ".b", false},
      {"&amp;b", "&amp;b", "&b", false}, {"\u00E9b", "\u00E9b", "\u00E9b", false},
      {"\x01" "b", "\x01" "b", "\x01" "b", false}, {"\x7f(b", std::nullopt, "", true},
  };
  for (const Stop& stop : stops) {
    for (std::size_t pos : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u}) {
      const std::string text = repeat("a", pos) + stop.text;
      const auto got = block::scan_link_ref_destination(text);
      const std::string taken = stop.taken.value_or("");
      if (stop.fails || (pos == 0 && taken.empty())) {
        EXPECT_FALSE(got) << text;
        continue;
      }
      ASSERT_TRUE(got) << text;
      EXPECT_EQ(got->destination, repeat("a", pos) + stop.decoded) << text;
      EXPECT_EQ(got->consumed, pos + taken.size()) << text;
    }
  }
}

struct DefCase {
  const char* name;
  std::vector<std::string> lines;
  std::size_t start;
  bool defined;
  std::string label = "";
  std::string destination = "";
  std::optional<std::string> title = std::nullopt;
  Attr attr = {};
  std::size_t end = 0;
};

Attr with_id(std::string id) {
  Attr attr;
  attr.set_id(std::move(id));
  return attr;
}

TEST(LinkRefDefinition, Parse) {
  const std::vector<DefCase> cases = {
      {"simple", {"[a]: /u"}, 0, true, "a", "/u", std::nullopt, {}, 1},
      {"indented 3", {"   [a]: /u"}, 0, true, "a", "/u", std::nullopt, {}, 1},
      {"indented 4", {"    [a]: /u"}, 0, false}, {"tab indent", {"\t[a]: /u"}, 0, false},
      {"label over two lines", {"[Foo", "Bar]: /u"}, 0, true, "Foo\nBar", "/u", std::nullopt, {}, 2},
      {"label opens at line end", {"[", "a]: /u"}, 0, true, "\na", "/u", std::nullopt, {}, 2},
      {"blank line inside label", {"[Foo", "", "Bar]: /u"}, 0, false}, {"blank label", {"[ ]: /u"}, 0, false},
      {"no colon", {"[a]b: /u"}, 0, false}, {"bracket at end", {"[a]", ": /u"}, 0, false},
      {"footnote", {"[^n]: x"}, 0, false},
      {"destination on next line", {"[a]:", "  /u"}, 0, true, "a", "/u", std::nullopt, {}, 2},
      {"destination past the end", {"[a]:"}, 0, false}, {"destination after blank", {"[a]:", " "}, 0, false},
      {"empty pointed", {"[a]: <>"}, 0, true, "a", "", std::nullopt, {}, 1},
      {"pointed with space", {"[a]: <b c>"}, 0, true, "a", "b c", std::nullopt, {}, 1},
      {"unclosed pointed", {"[a]: <b"}, 0, false}, {"lt inside bare", {"[a]: x<y"}, 0, false},
      {"balanced parens", {"[a]: (x)"}, 0, true, "a", "(x)", std::nullopt, {}, 1},
      {"unbalanced parens", {"[a]: (x"}, 0, false}, {"close paren ends", {"[a]: x)"}, 0, false},
      {"escapes and entities", {"[a]: /\\*x&amp;y"}, 0, true, "a", "/*x&y", std::nullopt, {}, 1},
      {"title then attrs", {"[a]: /u \"t\" {.k}"}, 0, true, "a", "/u", "t", Attr::with_class("k"), 1},
      {"title then word", {"[a]: /u \"t\" word"}, 0, false}, {"junk", {"[a]: /u junk"}, 0, false},
      {"attrs only", {"[a]: /u {#i}"}, 0, true, "a", "/u", std::nullopt, with_id("i"), 1},
      {"quote inside bare destination", {"[a]: /u\"t\""}, 0, true, "a", "/u\"t\"", std::nullopt, {}, 1},
      {"title on next line", {"[a]: /u", "  'my title' {#i}", "x"}, 0, true, "a", "/u", "my title", with_id("i"), 2},
      {"unclosed title on next line", {"[a]: /u", "\"never", "closes"}, 0, true, "a", "/u", std::nullopt, {}, 1},
      {"next-line title with junk", {"[a]: /u", "\"t\" junk"}, 0, true, "a", "/u", std::nullopt, {}, 1},
      {"multi-line title", {"[a]: /u \"one", "two  ", "three\" {.c}", "x"}, 0, true, "a", "/u",
       "one\ntwo\nthree", Attr::with_class("c"), 3},
      {"multi-line title stops at blank", {"[a]: /u \"one", "", "two\""}, 0, false},
      {"paren title", {"[a]: /u (a (b)"}, 0, true, "a", "/u", "a (b", {}, 1},
      // The escape drops its backslash before the entity is decoded.
      {"title escapes", {"[a]: /u \"\\q\\&amp;\\\"\""}, 0, true, "a", "/u", "\\q&\"", {}, 1},
      {"title entity", {"[a]: /u '&copy;'"}, 0, true, "a", "/u", "\u00A9", {}, 1},
      {"start past end", {"[a]: /u"}, 1, false},
      {"second line start", {"x", "[b]: /v"}, 1, true, "b", "/v", std::nullopt, {}, 2},
      {"escaped bracket in label", {"[a\\]]: /u"}, 0, true, "a\\]", "/u", std::nullopt, {}, 1},
      {"nbsp-only line inside label", {"[Foo", "\u00A0\u3000", "Bar]: /u"}, 0, false},
      {"nbsp-only destination line", {"[a]:", "\u00A0"}, 0, false},
      {"title stops at nbsp-only line", {"[a]: /u \"one", "\u00A0", "two\""}, 0, false},
      {"next-line title stops at nbsp-only line", {"[a]: /u", "\"one", "\u2003", "two\""}, 0, true,
       "a", "/u", std::nullopt, {}, 1},
      {"nbsp before destination", {"[a]:\u00A0/u"}, 0, true, "a", "/u", std::nullopt, {}, 1},
  };
  for (const auto& c : cases) {
    auto got = block::parse_link_ref_at(std::span<const std::string>(c.lines), c.start);
    ASSERT_EQ(got.has_value(), c.defined) << c.name;
    // Views of the same lines behave identically.
    std::vector<std::string_view> views(c.lines.begin(), c.lines.end());
    auto via_views = block::parse_link_ref_at(std::span<const std::string_view>(views), c.start);
    ASSERT_EQ(via_views.has_value(), c.defined) << c.name;
    if (!got) continue;
    EXPECT_EQ(got->label, c.label) << c.name;
    EXPECT_EQ(got->def.destination, c.destination) << c.name;
    EXPECT_EQ(got->def.title, c.title) << c.name;
    EXPECT_EQ(got->def.attr, c.attr) << c.name;
    EXPECT_EQ(got->end, c.end) << c.name;
    EXPECT_EQ(via_views->def, got->def) << c.name;
  }
}

TEST(LinkRefDefinition, LabelLengthAndTitleHelpers) {
  // 999 characters over two lines (the line feed counts) pass; 1000 fail.
  for (auto [first, second, ok] : {std::tuple{repeat("é", 500), repeat("ü", 498), true},
                                   {repeat("é", 500), repeat("ü", 499), false},
                                   {repeat("e", 500), repeat("u", 498), true},
                                   {repeat("e", 500), repeat("u", 499), false}}) {
    const std::vector<std::string> lines = {"[" + first, second + "]: /u"};
    const auto def = block::parse_link_ref_at(std::span<const std::string>(lines), 0);
    EXPECT_EQ(def.has_value(), ok);
    if (def) {
      EXPECT_EQ(def->label, first + "\n" + second);
    }
  }
  const std::vector<std::string> long_line = {"[" + repeat("x", 1'000'000) + "]: /u"};
  EXPECT_FALSE(block::parse_link_ref_at(std::span<const std::string>(long_line), 0));
  EXPECT_TRUE(block::starts_definition_title("  (x"));
  EXPECT_FALSE(block::starts_definition_title("x"));
  for (auto [text, ok] : {std::pair{" 'a'", true}, {"'", false}, {"'a\\'", false}, {"(a)", true}})
    EXPECT_EQ(block::has_closing_definition_title(text), ok) << text;
  auto title = block::scan_link_ref_title("  \"a\\b\\!\" rest");
  ASSERT_TRUE(title);
  EXPECT_EQ(title->title, "a\\b!");
  EXPECT_EQ(title->end, 7u);
  EXPECT_FALSE(block::scan_link_ref_title("\""));
  EXPECT_EQ(block::parse_link_ref_attrs("  "), Attr{});
  EXPECT_EQ(block::parse_link_ref_attrs(" {.a}  "), Attr::with_class("a"));
  EXPECT_FALSE(block::parse_link_ref_attrs("{.a} b"));
  EXPECT_FALSE(block::parse_link_ref_attrs("{a}"));
}

TEST(LinkRefDefinition, LongTitleScannedOnce) {
  std::vector<std::string> lines = {"[a]: /u \"start"};
  for (int i = 0; i < 100'000; ++i) lines.push_back("line " + std::to_string(i));
  lines.push_back("end\"");
  auto got = block::parse_link_ref_at(std::span<const std::string>(lines), 0);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->end, lines.size());
  ASSERT_TRUE(got->def.title);
  EXPECT_TRUE(got->def.title->ends_with("line 99999\nend"));
}

}  // namespace
}  // namespace vedavi
