#include "resolve/resolve.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vedavi {
namespace {

RefTokens tokens_of(std::string_view value) {
  Outcome<RefTokens> tokens = ref_tokens(value);
  EXPECT_TRUE(tokens.ok()) << value << ": " << tokens.message();
  return tokens.ok() ? tokens.value() : RefTokens{};
}

std::vector<std::string_view> names_of(RefTokens tokens) {
  std::vector<std::string_view> names;
  for (const RefToken token : kAllRefTokens) {
    if (tokens.contains(token)) names.push_back(ref_token_name(token));
  }
  return names;
}

TEST(RefTokens, Parsing) {
  struct Case {
    std::optional<std::string_view> value;
    std::vector<std::string_view> tokens;  // in page, text, leaf, rel, bare order
    std::string message;                   // empty: accepted
  };
  const Case cases[] = {
      {std::nullopt, {}, ""},
      {"", {}, ""},
      {" \t\n ", {}, ""},
      {"page  page bare", {"page", "bare"}, ""},
      {"\xe3\x80\x80leaf\xc2\xa0" "bare\xe2\x80\xa8", {"leaf", "bare"}, ""},  // Unicode white space
      {"text", {"text"}, ""},
      {"bare", {"bare"}, ""},
      {"rel leaf", {}, "conflicting data-ref tokens: ['leaf', 'rel']"},
      {"page text leaf rel bare", {}, "conflicting data-ref tokens: ['leaf', 'page', 'rel', 'text']"},
      {"text page nope", {}, "unknown data-ref tokens: ['nope']"},
      {"foo Zed foo", {}, "unknown data-ref tokens: ['Zed', 'foo']"},
      {"Page", {}, "unknown data-ref tokens: ['Page']"},
      {"page\xe2\x80\x8b" "bare", {}, "unknown data-ref tokens: ['page\xe2\x80\x8b" "bare']"},  // ZWSP is no space
      {"page,bare", {}, "unknown data-ref tokens: ['page,bare']"},
  };
  for (const Case& c : cases) {
    const Outcome<RefTokens> tokens = ref_tokens(c.value);
    const std::string shown(c.value.value_or("<none>"));
    if (c.message.empty()) {
      ASSERT_TRUE(tokens.ok()) << shown << ": " << tokens.message();
      EXPECT_EQ(names_of(tokens.value()), c.tokens) << shown;
    } else {
      ASSERT_FALSE(tokens.ok()) << shown;
      EXPECT_EQ(tokens.message(), c.message);
    }
  }
}

TEST(RefTokens, Variant) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", "full"}, {"bare", "full"}, {"page", "page"}, {"text bare", "text"},
      {"leaf", "leaf"}, {"rel", "rel"},
  };
  for (const auto& [value, variant] : cases) EXPECT_EQ(ref_variant(tokens_of(value)), variant);
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
  struct Entry {
    std::string separator;
    bool show_prefix;
    bool plural;
    bool operator==(const Entry&) const = default;
  };
  struct Case {
    std::vector<std::string_view> keys;
    std::vector<Entry> plan;
  };
  const Case cases[] = {
      {{}, {}},
      {{"sec"}, {{"", true, false}}},
      {{"sec", "sec"}, {{"", true, true}, {" and ", false, true}}},
      {{"sec", "sec", "sec"}, {{"", true, true}, {", ", false, true}, {" and ", false, true}}},
      {{"sec", "fig"}, {{"", true, false}, {" and ", true, false}}},
      {{"sec", "sec", "fig", "sec"},
       {{"", true, false}, {", ", true, false}, {", ", true, false}, {" and ", true, false}}},
  };
  for (const Case& c : cases) {
    std::vector<Entry> plan;
    for (const GroupEntry& e : group_plan(c.keys)) {
      plan.push_back({std::string(e.separator), e.show_prefix, e.plural});
    }
    EXPECT_EQ(plan, c.plan) << c.keys.size();
  }
}

TEST(QuotedList, SortsByBytes) {
  EXPECT_EQ(quoted_list({}), "[]");
  EXPECT_EQ(quoted_list({"foo", "Zed"}), "['Zed', 'foo']");
  EXPECT_EQ(quoted_list({"\xc3\xa9", "z", "a"}), "['a', 'z', '\xc3\xa9']");
}

TEST(ReferenceType, BeforeFirstDash) {
  EXPECT_EQ(reference_type("sec-intro"), "sec");
  EXPECT_EQ(reference_type("sec-a-b"), "sec");
  EXPECT_EQ(reference_type("intro"), "intro");
  EXPECT_EQ(reference_type("-x"), "");
  EXPECT_EQ(reference_type(""), "");
}

class ResolverTest : public ::testing::Test {
 protected:
  ResolverTest() {
    r.register_target("sec-intro", "block", "Introduction");
    r.set_headnum("sec-intro", "2.3.", "2.3.");
    r.register_target("sec-deep", "block", std::nullopt);
    r.set_headnum("sec-deep", "(iv)", "2.(a)(iv)");
    r.register_target("tbl-data", "caption", "Data");
    r.set_capnum("tbl-data", "Table", 2);
    r.register_target("fig-plot", "caption", std::nullopt);
    r.set_capnum("fig-plot", "Figure", 4);
    r.register_target("term", "text", "Glossary term");
    r.register_target("para", "block", std::nullopt);
    r.register_target("sec-empty", "block", std::nullopt);
    r.set_headnum("sec-empty", "", "");
    r.register_target("textonly", std::nullopt, "Only text");
  }
  Resolver r;
};

TEST_F(ResolverTest, Check) {
  EXPECT_FALSE(r.check("sec-intro"));
  EXPECT_FALSE(r.check("term"));
  const std::string not_found =
      " not found (targets are headings, paragraphs, figures, tables, spans, and definition terms "
      "with ids)";
  ASSERT_TRUE(r.check("missing"));
  EXPECT_EQ(r.check("missing")->message, "cross-reference target #missing" + not_found);
  // A text without a kind does not make a target.
  ASSERT_TRUE(r.check("textonly"));
  EXPECT_EQ(r.check("textonly")->message, "cross-reference target #textonly" + not_found);
}

TEST_F(ResolverTest, Prefix) {
  struct Case {
    std::string_view own, target, tokens;
    bool plural;
    std::string expected;  // prefix, or the failure message
  };
  const Case cases[] = {
      {"see", "sec-intro", "bare", false, "see "},
      {"see", "eq-3", "", true, "see "},
      {"", "sec-intro", "", false, "Section "},
      {"", "sec-intro", "", true, "Sections "},
      {"", "sec-intro", "bare", false, ""},
      {"", "tbl-data", "", false, ""},
      {"", "term", "", false, ""},
      {"", "fig-unregistered", "", true, "Figures "},
      {"", "tbl-x", "leaf", false, "Table "},
      {"", "eq-3", "", false, "unknown reference type 'eq'; pass reftypes= to define its prefix"},
      {"", "intro", "", false, "unknown reference type 'intro'; pass reftypes= to define its prefix"},
      {"", "eq-3", "bare", false, ""},
  };
  for (const Case& c : cases) {
    const Outcome<std::string> prefix = r.prefix(c.own, c.target, tokens_of(c.tokens), c.plural);
    EXPECT_EQ(prefix.ok() ? prefix.value() : prefix.message(), c.expected) << c.target;
  }
}

TEST_F(ResolverTest, Core) {
  struct Case {
    std::string_view target, tokens;
    std::string expected;  // baked text, or the failure message
  };
  const Case cases[] = {
      {"sec-intro", "", "2.3"},
      {"sec-intro", "text", "Introduction"},
      {"sec-intro", "page", "2.3"},
      {"sec-deep", "leaf", "(iv)"},
      {"sec-deep", "", "2.(a)(iv)"},
      {"sec-deep", "rel bare", "2.(a)(iv)"},
      {"sec-empty", "", ""},
      {"tbl-data", "", "Table 2"},
      {"tbl-data", "bare", "2"},
      {"tbl-data", "leaf", "2"},
      {"tbl-data", "rel", "2"},
      {"tbl-data", "page", "Table 2"},
      {"tbl-data", "text", "Data"},
      {"fig-plot", "", "Figure 4"},
      {"term", "", "Glossary term"},
      {"term", "bare", "Glossary term"},
      {"textonly", "text", "Only text"},
      {"para", "",
       "cross-reference #para needs a number its target does not have; pass number_headings or use "
       "{ref=text}"},
      {"missing", "leaf",
       "cross-reference #missing needs a number its target does not have; pass number_headings or "
       "use {ref=text}"},
      {"fig-plot", "text", "cross-reference #fig-plot needs a text its target does not have"},
  };
  for (const Case& c : cases) {
    const Outcome<std::string> core = r.core(c.target, tokens_of(c.tokens));
    EXPECT_EQ(core.ok() ? core.value() : core.message(), c.expected) << c.target << " " << c.tokens;
  }
}

TEST(Resolver, CaptionWithoutNumber) {
  Resolver r;
  r.register_target("fig-a", "caption", "A");
  const Outcome<std::string> core = r.core("fig-a", RefTokens{});
  ASSERT_FALSE(core.ok());
  EXPECT_EQ(core.message(), "cross-reference #fig-a needs a caption number its target does not have");
}

TEST(Resolver, ReferenceTypes) {
  Resolver defaults;
  EXPECT_EQ(defaults.reftypes().size(), 3u);
  EXPECT_EQ(defaults.reftypes().at("sec"), (RefTypeWords{"Section", "Sections"}));
  EXPECT_EQ(defaults.reftypes().at("tbl"), (RefTypeWords{"Table", "Tables"}));

  Resolver custom({{"fig", {"Fig.", "Figs."}}, {"eq", {"Equation", "Equations"}}});
  EXPECT_EQ(custom.reftypes().size(), 4u);
  EXPECT_EQ(custom.prefix("", "fig-1", {}, false).value(), "Fig. ");
  EXPECT_EQ(custom.prefix("", "fig-1", {}, true).value(), "Figs. ");
  EXPECT_EQ(custom.prefix("", "eq-3", {}, false).value(), "Equation ");
  EXPECT_EQ(custom.prefix("", "sec-1", {}, false).value(), "Section ");
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
  for (int i = 0; i < 200000; ++i) {
    r.register_target("sec-" + pad + std::to_string(i) + pad, "block", std::nullopt);
  }
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

}  // namespace
}  // namespace vedavi
