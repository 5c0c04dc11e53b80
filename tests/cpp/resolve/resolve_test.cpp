// Cross-references (reference tokens, groups, the registry of targets) and raw payloads.
#include "resolve/resolve.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "resolve/raw_payload.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

RefTokens tokens_of(std::string_view value) {
  Outcome<RefTokens> tokens = ref_tokens(value);
  EXPECT_TRUE(tokens.ok()) << value << ": " << tokens.message();
  return tokens.ok() ? tokens.value() : RefTokens{};
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
      {"leaf", "leaf -> leaf"}, {"rel", "rel -> rel"},
      {"\xe3\x80\x80leaf\xc2\xa0" "bare\xe2\x80\xa8", "leaf bare -> leaf"},  // Unicode white space
      {"rel leaf", "conflicting data-ref tokens: ['leaf', 'rel']"},
      {"page text leaf rel bare", "conflicting data-ref tokens: ['leaf', 'page', 'rel', 'text']"},
      {"text page nope", "unknown data-ref tokens: ['nope']"},
      {"foo Zed foo", "unknown data-ref tokens: ['Zed', 'foo']"},
      {"Page", "unknown data-ref tokens: ['Page']"},
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
      {{}, {}},
      {{"sec"}, {"P"}},
      {{"sec", "sec"}, {"Ps", " and s"}},
      {{"sec", "sec", "sec"}, {"Ps", ", s", " and s"}},
      {{"sec", "fig"}, {"P", " and P"}},
      {{"sec", "sec", "fig", "sec"}, {"P", ", P", ", P", " and P"}},
  };
  for (const auto& [keys, expected] : cases) {
    std::vector<std::string> plan;
    for (const GroupEntry& e : group_plan(keys)) {
      plan.push_back(std::string(e.separator) + (e.show_prefix ? "P" : "") + (e.plural ? "s" : ""));
    }
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
  struct Case {
    std::string_view own, target, tokens;
    bool plural;
    std::string expected;  // prefix, or the failure message
  };
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
    const Outcome<std::string> prefix = r.prefix(c.own, c.target, tokens_of(c.tokens), c.plural);
    EXPECT_EQ(prefix.ok() ? prefix.value() : prefix.message(), c.expected) << c.target;
  }
}

TEST(Resolver, Core) {
  const Resolver r = sample_resolver();
  const std::string needs_number = " needs a number its target does not have; pass number_headings or use {ref=text}";
  struct Case {
    std::string_view target, tokens;
    std::string expected;  // baked text, or the failure message
  };
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
    const Outcome<std::string> core = r.core(c.target, tokens_of(c.tokens));
    EXPECT_EQ(core.ok() ? core.value() : core.message(), c.expected) << c.target << " " << c.tokens;
  }
}

TEST(Resolver, ReferenceTypes) {
  EXPECT_EQ(Resolver().reftypes().size(), 3u);
  EXPECT_EQ(Resolver().reftypes().at("sec"), (RefTypeWords{"Section", "Sections"}));
  Resolver custom({{"fig", {"Fig.", "Figs."}}, {"eq", {"Equation", "Equations"}}});
  EXPECT_EQ(custom.reftypes().size(), 4u);
  EXPECT_EQ(custom.prefix("", "fig-1", {}, false).value(), "Fig. ");
  EXPECT_EQ(custom.prefix("", "fig-1", {}, true).value(), "Figs. ");
  EXPECT_EQ(custom.prefix("", "eq-3", {}, false).value(), "Equation ");
  EXPECT_EQ(custom.prefix("", "sec-1", {}, false).value(), "Section ");
  EXPECT_EQ(custom.prefix("", "tbl-1", {}, true).value(), "Tables ");
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
  struct Case {
    std::string_view text;
    std::optional<std::string_view> encoding;
    std::string expected;
  };
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
