// Heading numbers, cross-references (reference tokens, groups, the registry of targets) and raw
// payloads.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "resolve/heading_nums.h"
#include "resolve/raw_payload.h"
#include "resolve/resolve.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

HeadingNums make(const std::vector<LevelSpec>& levels) {
  Outcome<HeadingNums> nums = HeadingNums::create(levels);
  EXPECT_TRUE(nums.ok()) << nums.message();
  return std::move(nums).value();
}

TEST(NumFormatting, EachFormatAndName) {
  using enum NumFormat;
  struct Case { std::uint32_t n; NumFormat format; std::string expected; };
  const Case cases[] = {
      {0, Decimal, "0"}, {4294967295u, Decimal, "4294967295"}, {1, LowerLetter, "a"}, {26, LowerLetter, "z"},
      {27, LowerLetter, "aa"}, {28, LowerLetter, "bb"}, {52, LowerLetter, "zz"}, {53, LowerLetter, "aaa"},
      {28, UpperLetter, "BB"}, {0, LowerLetter, ""}, {0, UpperLetter, ""}, {1994, UpperRoman, "MCMXCIV"},
      {1994, LowerRoman, "mcmxciv"}, {4000, LowerRoman, "mmmm"}, {49, LowerRoman, "xlix"}, {0, UpperRoman, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    append_formatted(c.n, c.format, out);
    EXPECT_EQ(out, c.expected) << c.n << " " << num_format_name(c.format);
  }
  for (const auto name : {"decimal", "lowerLetter", "upperLetter", "lowerRoman", "upperRoman"}) {
    EXPECT_EQ(num_format_name(num_format_named(name).value()), name);
  }
  for (const auto name : {"Decimal", "lowerletter", "", "decimal "}) EXPECT_FALSE(num_format_named(name)) << name;
}

TEST(BuiltInSchemes, NamesAndUnknownNames) {
  ASSERT_EQ(schemes().size(), 2u);  // their levels show in the counting below
  EXPECT_EQ(schemes()[0].name, "decimal");
  EXPECT_EQ(schemes()[1].name, "legal");
  EXPECT_EQ(HeadingNums::named("legal").value().level_count(), 7u);
  for (const auto name : {"Decimal", "", "roman"}) {
    const Outcome<HeadingNums> nums = HeadingNums::named(name);
    EXPECT_EQ(nums.ok() ? "" : nums.message(), "unknown numbering scheme '" + std::string(name) + "'");
  }
}

TEST(HeadingCounting, DisplayAndFullAfterAdvances) {
  struct Case {
    std::vector<LevelSpec> levels;
    std::vector<std::size_t> advances;
    std::size_t level;
    std::string display, full;
  };
  const auto& decimal = schemes()[0].levels;
  const auto& legal = schemes()[1].levels;
  const std::vector<LevelSpec> skipped = {{"%1", "decimal"}, {"%2", "lowerLetter"}, {"%1.%2.%3", "upperRoman"}};
  const Case cases[] = {
      // Every decimal level past the first holds its context; counting a shallower level restarts the deeper ones.
      {decimal, {1}, 1, "1.", "1."}, {decimal, {1, 1}, 1, "2.", "2."}, {decimal, {1, 1, 2}, 2, "2.1.", "2.1."},
      {decimal, {1, 1, 2}, 1, "2.", "2."}, {decimal, {1, 1, 2}, 0, "", ""}, {decimal, {1, 1, 2, 1}, 2, "3.0.", "3.0."},
      {decimal, {3, 7, SIZE_MAX}, 7, "", ""}, {decimal, {3}, SIZE_MAX, "", ""},  // beyond: not counted, shows nothing
      {legal, {0, 1, 2, 3}, 3, "(i)", "1.(a)(i)"}, {legal, {0, 1, 2, 3}, 0, "", ""}, {legal, {0, 1, 2, 3}, 1, "1.", "1."},
      {legal, {0, 1, 2, 3, 4, 5, 5}, 4, "(A)", "1.(a)(i)(A)"}, {legal, {0, 1, 2, 3, 4, 5, 5}, 5, "(II)", "1.(a)(i)(A)(II)"},
      {decimal, {0, 1, 2, 3, 4, 5, 6}, 6, "1.1.1.1.1.1.", "1.1.1.1.1.1."},
      {legal, {0, 1, 2, 3, 4, 5, 6}, 6, "(1)", "1.(a)(i)(A)(I)(1)"},
      {{{"%1.", "upperRoman"}, {"x", "decimal"}, {"%3", "lowerLetter"}}, {0, 0, 2}, 2, "a", "II.xa"},  // no context
      // "%%9" passes the check ("%%" takes the "%"), yet shows a reference to a level the scheme lacks.
      {{{"%%9", "decimal"}}, {0}, 0, "%", "%"},
      // A skipped level shows as 0 in decimal and as nothing in letters and Roman numerals.
      {skipped, {2}, 2, "0..I", "0..I"}, {skipped, {2}, 1, "", ""}, {{}, {0}, 0, "", ""},
  };
  for (const Case& c : cases) {
    HeadingNums nums = make(c.levels);
    for (std::size_t level : c.advances) EXPECT_EQ(nums.advance(level), level < c.levels.size()) << level;
    EXPECT_EQ(nums.display(c.level), c.display) << c.level << " of " << c.levels.size();
    EXPECT_EQ(nums.full(c.level), c.full) << c.level << " of " << c.levels.size();
  }
}

TEST(HeadingCounting, BeyondTheScheme) {
  HeadingNums nums = make(schemes()[0].levels);
  nums.advance(3);
  EXPECT_FALSE(nums.advance(7));
  EXPECT_EQ(nums.counters(), (std::vector<std::uint32_t>{0, 0, 0, 1, 0, 0, 0}));
  EXPECT_FALSE(nums.check_level(6));
  ASSERT_TRUE(nums.check_level(7));
  EXPECT_EQ(nums.check_level(7)->message, "level 7 is beyond the numbering scheme, whose levels are 0 to 6");
  EXPECT_EQ(make({}).check_level(0)->message, "level 0 is beyond the numbering scheme, which has no levels");
}

TEST(LevelText, Expansion) {
  // Two levels with counters 3 and 2, written in decimal and lowerLetter.
  const std::pair<std::string, std::string> cases[] = {
      {"%1.%2", "3.b"}, {"%12", "32"},     {"%%2", "%b"}, {"%", "%"},        {"a%", "a%"},    {"%a%1", "%a3"},
      {"100%%", "100%%"}, {"%0", ""},      {"(%0)", "()"}, {"%%%1", "%%3"},  {"é%2é", "ébé"},
  };
  for (const auto& [lvl_text, expected] : cases) {
    HeadingNums nums = make({{"%1", "decimal"}, {lvl_text, "lowerLetter"}});
    for (std::size_t level : {0, 0, 0, 1, 1}) nums.advance(level);
    EXPECT_EQ(nums.display(1), expected) << lvl_text;
  }
}

TEST(SchemeValidation, FirstProblemInOrder) {
  const std::vector<LevelSpec> eight(8, LevelSpec("x", "decimal"));
  std::vector<LevelSpec> nine_ok = eight, eight_bad = eight;
  nine_ok.emplace_back("%9", "decimal");
  eight_bad.back() = {"%9", "decimal"};
  const auto beyond = [](std::string shown, char digit) {
    return "lvlText \"" + shown + "\" references level %" + digit + " beyond the scheme";
  };
  const std::pair<std::vector<LevelSpec>, std::string> cases[] = {  // message empty: accepted
      {{{"", "decimal"}}, ""}, {{{"%3", "decimal"}, {"", "decimal"}, {"", "decimal"}}, ""}, {nine_ok, ""},
      {{{"%%9", "decimal"}}, ""}, {{{"%0", "decimal"}}, ""}, {{{"%12", "decimal"}}, ""},
      {eight_bad, beyond("%9", '9')}, {{{"%2", "decimal"}}, beyond("%2", '2')},
      {{{"%5", "Decimal"}}, "unknown numFmt \"Decimal\""},  // a level's numFmt is checked before its lvlText
      {{{"%3", "decimal"}, {"", "roman"}}, beyond("%3", '3')}, {{{"", "decimal"}, {"", ""}}, "unknown numFmt \"\""},
      // The debug form escapes what would not show, and replaces ill-formed bytes.
      {{{"x", "a\"b\\c\n\t\r"}}, "unknown numFmt \"a\\\"b\\\\c\\n\\t\\r\""},
      {{{std::string("\0\x01\x7f", 3), "?"}}, "unknown numFmt \"?\""},
      {{{std::string("'\0\x1b\xc2\x85", 5) + "%2", "decimal"}}, beyond("'\\0\\u{1b}\\u{85}%2", '2')},
      {{{"\xc3\xa9 \xc2\xa0\xe2\x80\x8b\xee\x80\x80%2", "decimal"}}, beyond("\xc3\xa9 \\u{a0}\\u{200b}\\u{e000}%2", '2')},
      {{{"e\xcc\x81%2", "upperRoman"}}, beyond("e\\u{301}%2", '2')},
      {{{"\xff\xf4\x8f\xbf\xbf%2", "decimal"}}, beyond("\xef\xbf\xbd\\u{10ffff}%2", '2')},
  };
  for (const auto& [levels, message] : cases) {
    const Outcome<HeadingNums> nums = HeadingNums::create(levels);
    EXPECT_EQ(nums.ok() ? "" : nums.message(), message);
  }
  const HeadingNums nums = make({{"%1", "upperLetter"}, {"%1-%2", "lowerRoman"}});
  ASSERT_EQ(nums.level_count(), 2u);
  EXPECT_EQ(nums.levels()[1].lvl_text, "%1-%2");
  EXPECT_EQ(nums.levels()[1].num_fmt, NumFormat::LowerRoman);
}

// The tokens in page, text, leaf, rel, bare order, then the variant; or the failure message.
std::string shown(const Outcome<RefTokens>& tokens) {
  if (!tokens.ok()) return tokens.message();
  std::string out;
  for (const RefToken token : kAllRefTokens) {
    if (tokens.value().contains(token)) out += std::string(ref_token_name(token)) + " ";
  }
  return out + "-> " + std::string(ref_variant(tokens.value()));
}

TEST(RefTokens, ParsingAndVariant) {
  const std::pair<std::optional<std::string_view>, std::string_view> cases[] = {
      {std::nullopt, "-> full"}, {"", "-> full"}, {" \t\n ", "-> full"}, {"bare", "bare -> full"},
      {"page  page bare", "page bare -> page"}, {"text", "text -> text"}, {"text bare", "text bare -> text"},
      {"leaf", "leaf -> leaf"}, {"rel", "rel -> rel"}, {"\xe3\x80\x80leaf\xc2\xa0" "bare\xe2\x80\xa8", "leaf bare -> leaf"},
      {"rel leaf", "conflicting data-ref tokens: ['leaf', 'rel']"},
      {"page text leaf rel bare", "conflicting data-ref tokens: ['leaf', 'page', 'rel', 'text']"},
      {"text page nope", "unknown data-ref tokens: ['nope']"}, {"Page", "unknown data-ref tokens: ['Page']"},
      {"foo Zed foo", "unknown data-ref tokens: ['Zed', 'foo']"},
      {"page\xe2\x80\x8b" "bare", "unknown data-ref tokens: ['page\xe2\x80\x8b" "bare']"},  // ZWSP is no space
      {"page,bare", "unknown data-ref tokens: ['page,bare']"},
      {"a \xff", "unknown data-ref tokens: ['a', '\xff']"},  // an ill-formed byte is no space
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(shown(ref_tokens(value)), expected) << value.value_or("<none>");
  // A set built by hand may hold several variant tokens; the first in order wins.
  RefTokens all;
  for (const RefToken token : kAllRefTokens) all.insert(token);
  EXPECT_EQ(ref_variant(all), "page");
}

TEST(TargetKind, ElementNames) {
  const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
      {"p", "block"},        {"h1", "block"},   {"h6", "block"},     {"table", "caption"},
      {"figure", "caption"}, {"span", "text"},  {"header", "text"},  {"dt", "text"},
      {"summary", "text"},   {"div", std::nullopt}, {"H1", std::nullopt}, {"h7", std::nullopt},
      {"", std::nullopt},    {"dd", std::nullopt},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(target_kind(name), kind) << name;
}

TEST(GroupPlan, Layouts) {
  // Each entry as separator, then "P" when it shows the prefix, then "s" when the prefix is plural.
  const std::pair<std::vector<std::string_view>, std::vector<std::string>> cases[] = {
      {{}, {}}, {{"sec"}, {"P"}}, {{"sec", "sec"}, {"Ps", " and s"}}, {{"sec", "sec", "sec"}, {"Ps", ", s", " and s"}},
      {{"sec", "fig"}, {"P", " and P"}}, {{"sec", "sec", "fig", "sec"}, {"P", ", P", ", P", " and P"}},
  };
  for (const auto& [keys, expected] : cases) {
    std::vector<std::string> plan;
    for (const GroupEntry& e : group_plan(keys))
      plan.push_back(std::string(e.separator) + (e.show_prefix ? "P" : "") + (e.plural ? "s" : ""));
    EXPECT_EQ(plan, expected) << keys.size();
  }
}

TEST(QuotedListAndReferenceType, Cases) {
  EXPECT_EQ(quoted_list({}), "[]");
  EXPECT_EQ(quoted_list({"\xc3\xa9", "z", "a"}), "['a', 'z', '\xc3\xa9']");  // sorted by bytes
  const std::pair<std::string_view, std::string_view> types[] = {
      {"sec-intro", "sec"}, {"sec-a-b", "sec"}, {"intro", "intro"}, {"-x", ""}, {"", ""}};
  for (const auto& [id, type] : types) EXPECT_EQ(reference_type(id), type) << id;
}

Resolver sample_resolver() {
  Resolver r;
  const std::tuple<std::string_view, std::optional<std::string_view>, std::optional<std::string_view>> targets[] = {
      {"sec-intro", "block", "Introduction"}, {"sec-deep", "block", std::nullopt}, {"tbl-data", "caption", "Data"},
      {"fig-plot", "caption", std::nullopt}, {"fig-a", "caption", "A"} /* no caption number */,
      {"term", "text", "Glossary term"}, {"para", "block", std::nullopt}, {"sec-empty", "block", std::nullopt},
      {"textonly", std::nullopt, "Only text"}};
  for (const auto& [id, kind, text] : targets) r.register_target(id, kind, text);
  r.set_headnum("sec-intro", "2.3.", "2.3.");
  r.set_headnum("sec-deep", "(iv)", "2.(a)(iv)");
  r.set_headnum("sec-empty", "", "");
  r.set_capnum("tbl-data", "Table", 2);
  r.set_capnum("fig-plot", "Figure", 4);
  return r;
}

TEST(Resolver, Check) {
  const Resolver r = sample_resolver();
  EXPECT_FALSE(r.check("sec-intro"));
  EXPECT_FALSE(r.check("term"));
  // A text without a kind does not make a target.
  for (const std::string target : {"missing", "textonly"}) {
    ASSERT_TRUE(r.check(target));
    EXPECT_EQ(r.check(target)->message, "cross-reference target #" + target +
                                            " not found (targets are headings, paragraphs, figures, tables, spans, "
                                            "and definition terms with ids)");
  }
}

TEST(Resolver, Prefix) {
  const Resolver r = sample_resolver();
  struct Case { std::string_view own, target, tokens; bool plural; std::string expected; };  // or the failure message
  const Case cases[] = {
      {"see", "sec-intro", "bare", false, "see "}, {"see", "eq-3", "", true, "see "},
      {"", "sec-intro", "", false, "Section "},    {"", "sec-intro", "", true, "Sections "},
      {"", "sec-intro", "bare", false, ""},        {"", "tbl-data", "", false, ""},
      {"", "term", "", false, ""},                 {"", "fig-unregistered", "", true, "Figures "},
      {"", "tbl-x", "leaf", false, "Table "},      {"", "eq-3", "bare", false, ""},
      {"", "eq-3", "", false, "unknown reference type 'eq'; pass reftypes= to define its prefix"},
      {"", "intro", "", false, "unknown reference type 'intro'; pass reftypes= to define its prefix"},
  };
  for (const Case& c : cases) {
    const Outcome<std::string> prefix = r.prefix(c.own, c.target, ref_tokens(c.tokens).value(), c.plural);
    EXPECT_EQ(prefix.ok() ? prefix.value() : prefix.message(), c.expected) << c.target;
  }
}

TEST(Resolver, Core) {
  const Resolver r = sample_resolver();
  const std::string needs_number = " needs a number its target does not have; pass number_headings or use {ref=text}";
  struct Case { std::string_view target, tokens; std::string expected; };  // baked text, or the failure message
  const Case cases[] = {
      {"sec-intro", "", "2.3"},       {"sec-intro", "text", "Introduction"}, {"sec-intro", "page", "2.3"},
      {"sec-deep", "leaf", "(iv)"},   {"sec-deep", "", "2.(a)(iv)"},         {"sec-deep", "rel bare", "2.(a)(iv)"},
      {"sec-empty", "", ""},          {"tbl-data", "", "Table 2"},           {"tbl-data", "bare", "2"},
      {"tbl-data", "leaf", "2"},      {"tbl-data", "rel", "2"},              {"tbl-data", "page", "Table 2"},
      {"tbl-data", "text", "Data"},   {"fig-plot", "", "Figure 4"},          {"term", "", "Glossary term"},
      {"term", "bare", "Glossary term"}, {"textonly", "text", "Only text"},
      {"para", "", "cross-reference #para" + needs_number},
      {"missing", "leaf", "cross-reference #missing" + needs_number},
      {"fig-plot", "text", "cross-reference #fig-plot needs a text its target does not have"},
      {"fig-a", "", "cross-reference #fig-a needs a caption number its target does not have"},
  };
  for (const Case& c : cases) {
    const Outcome<std::string> core = r.core(c.target, ref_tokens(c.tokens).value());
    EXPECT_EQ(core.ok() ? core.value() : core.message(), c.expected) << c.target << " " << c.tokens;
  }
}

TEST(Resolver, ReferenceTypes) {
  EXPECT_EQ(Resolver().reftypes().size(), 3u);
  EXPECT_EQ(Resolver().reftypes().at("sec"), (RefTypeWords{"Section", "Sections"}));
  Resolver custom({{"fig", {"Fig.", "Figs."}}, {"eq", {"Equation", "Equations"}}});
  EXPECT_EQ(custom.reftypes().size(), 4u);
  const std::tuple<std::string_view, bool, std::string_view> cases[] = {
      {"fig-1", false, "Fig. "}, {"fig-1", true, "Figs. "}, {"eq-3", false, "Equation "}, {"sec-1", false, "Section "},
      {"tbl-1", true, "Tables "}};
  for (const auto& [target, plural, prefix] : cases) EXPECT_EQ(custom.prefix("", target, {}, plural).value(), prefix);
}

TEST(Resolver, LaterRecordsReplace) {
  Resolver r;
  r.register_target("a", "block", "one");
  r.register_target("a", std::nullopt, "two");
  r.register_target("a", "text", std::nullopt);
  r.set_headnum("a", "1.", "1.");
  r.set_headnum("a", "2.", "3.");
  r.set_capnum("a", "Figure", 1);
  r.set_capnum("a", "Table", 4294967295u);
  EXPECT_EQ(r.kinds().at("a"), "text");
  EXPECT_EQ(r.idtext().at("a"), "two");
  EXPECT_EQ(r.headnums().at("a"), (HeadNum{"2.", "3."}));
  EXPECT_EQ(r.capnums().at("a"), (CapNum{"Table", 4294967295u}));
  EXPECT_EQ(r.kinds().size(), 1u);
}

TEST(Resolver, ManyTargets) {
  // Keys that share long prefixes and suffixes still spread over the table.
  Resolver r;
  const std::string pad(64, 'x');
  for (int i = 0; i < 200000; ++i) r.register_target("sec-" + pad + std::to_string(i) + pad, "block", std::nullopt);
  EXPECT_EQ(r.kinds().size(), 200000u);
  EXPECT_FALSE(r.check("sec-" + pad + "199999" + pad));
  EXPECT_TRUE(r.check("sec-" + pad + "200000" + pad));
}

TEST(SeededHash, ConsistentWithinAHasher) {
  const SeededHash hash;
  EXPECT_EQ(hash("abc"), hash(std::string("abc")));
  EXPECT_NE(hash("abc"), hash("abd"));
  EXPECT_NE(hash(""), hash(std::string_view("\0", 1)));
  EXPECT_NE(hash("12345678"), hash("123456789"));
}

// The payload, or "<none>", then " ! " and the warning if there is one.
std::string shown(const RawPayload& raw) {
  return raw.payload.value_or("<none>") + (raw.warning ? " ! " + *raw.warning : "");
}

std::string bad(std::string_view message) {
  return "<none> ! malformed base64 VEDAVI raw payload: " + std::string(message);
}

std::string unknown(std::string_view encoding) {
  return "<none> ! unknown VEDAVI raw encoding '" + std::string(encoding) + "'; payload dropped";
}

TEST(RawPayload, Encodings) {
  struct Case { std::string_view text; std::optional<std::string_view> encoding; std::string expected; };
  const Case cases[] = {
      {"", std::nullopt, ""}, {"a &amp; <b>", std::nullopt, "a &amp; <b>"}, {"aGk=", "html", "aGk="},
      {"a &amp;lt; b", "html", "a &lt; b"},  // decoded once
      {"&#x41;&#66;&eacute;&unknown; &amp", "html", "AB\xc3\xa9&unknown; &amp"}, {"aGk=", "base64", "hi"},
      {"aG\r\nk=\r\n", "base64", "hi"}, {" \ta\fG\nk\r= ", "base64", "hi"}, {"", "base64", ""},
      {" \r\n\t\f", "base64", ""}, {"aMOpbGxvCg==", "base64", "h\xc3\xa9llo\n"}, {"aGk", "base64", bad("Invalid padding")},
      // Only ASCII white space is removed: a no-break space or a vertical tab stays.
      {"aG\xc2\xa0k=", "base64", bad("Invalid symbol 194, offset 2.")},
      {"aG\vk=", "base64", bad("Invalid symbol 11, offset 2.")},
      {"&amp;", "HTML", unknown("HTML")}, {"aGk=", "Base64", unknown("Base64")}, {"x", "", unknown("")},
      {"x", "rot13", unknown("rot13")},
      // Decoded bytes that are not UTF-8: the first error, as Python's decoder describes it.
      {"/w==", "base64", bad("invalid utf-8 sequence of 1 bytes from index 0")},    // FF
      {"wK8=", "base64", bad("invalid utf-8 sequence of 1 bytes from index 0")},    // C0 AF
      {"7aCA", "base64", bad("invalid utf-8 sequence of 1 bytes from index 0")},    // ED A0 80
      {"4oJh", "base64", bad("invalid utf-8 sequence of 2 bytes from index 0")},    // E2 82 'a'
      {"8J+YYQ==", "base64", bad("invalid utf-8 sequence of 3 bytes from index 0")},  // F0 9F 98 'a'
      {"wg==", "base64", bad("incomplete utf-8 byte sequence from index 0")},       // C2
      {"YcI=", "base64", bad("incomplete utf-8 byte sequence from index 1")},       // 'a' C2
      {"4oI=", "base64", bad("incomplete utf-8 byte sequence from index 0")},       // E2 82
      {"b2vwn5g=", "base64", bad("incomplete utf-8 byte sequence from index 2")},   // "ok" F0 9F 98
  };
  for (const Case& c : cases) EXPECT_EQ(shown(decode_raw(c.text, c.encoding)), c.expected) << c.text;
  EXPECT_FALSE(utf8_error("h\xc3\xa9llo \xf0\x9f\x98\x80"));
  EXPECT_EQ(shown(decode_raw(test::repeat("YWJj", 250000) + "\n", "base64")), test::repeat("abc", 250000));
}

// Each case fails on exactly one check, or on the first of several in the order they are made:
// a stray last symbol, then the whole quads from the start, then the last quad's symbols and
// padding, its length, its padding count, and the bits its last symbol leaves over.
TEST(Base64, ErrorsInCheckOrder) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"AAAA!", "Invalid symbol 33, offset 4."},     {"!AAA!", "Invalid symbol 33, offset 4."},
      {"!AAAA", "Invalid symbol 33, offset 0."},     {"AAAA!AAA", "Invalid symbol 33, offset 4."},
      {"AA=AAAAA", "Invalid symbol 61, offset 2."},  {"AA==AA==", "Invalid symbol 61, offset 2."},
      {"AAA==", "Invalid symbol 61, offset 3."},     {"AAAA=", "Invalid symbol 61, offset 4."},
      {"====", "Invalid symbol 61, offset 0."},      {"A===", "Invalid symbol 61, offset 1."},
      {"AAAAA=A=", "Invalid symbol 61, offset 5."},  {"AA=A", "Invalid symbol 61, offset 2."},
      {"AAAAAA!A", "Invalid symbol 33, offset 6."},  {"A", "Invalid input length: 1"},
      {"AAAAA", "Invalid input length: 5"},          {"AA", "Invalid padding"},
      {"AAA", "Invalid padding"},                    {"AA=", "Invalid padding"},
      {"AAAAAB=", "Invalid padding"},                {"AB==", "Invalid last symbol 66, offset 1."},
      {"AAB=", "Invalid last symbol 66, offset 2."}, {"AAAAAB==", "Invalid last symbol 66, offset 5."},
  };
  for (const auto& [text, message] : cases) {
    const Outcome<std::string> decoded = decode_base64(text);
    ASSERT_FALSE(decoded.ok()) << text;
    EXPECT_EQ(decoded.message(), message) << text;
  }
}

TEST(Base64, DecodesEveryByte) {
  // The standard encoding of the bytes 0 to len - 1, for every len up to 256.
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t len = 0; len <= bytes.size(); ++len) {
    std::string text;
    for (std::size_t i = 0; i < len; i += 3) {
      const std::size_t n = std::min<std::size_t>(3, len - i);
      std::uint32_t quad = 0;
      for (std::size_t j = 0; j < 3; ++j) quad = (quad << 8) | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
      for (std::size_t j = 0; j < 4; ++j) text += j <= n ? kAlphabet[(quad >> (18 - 6 * j)) & 63] : '=';
    }
    const Outcome<std::string> decoded = decode_base64(text);
    ASSERT_TRUE(decoded.ok()) << text << ": " << decoded.message();
    EXPECT_EQ(decoded.value(), bytes.substr(0, len));
  }
}

}  // namespace
}  // namespace vedavi
