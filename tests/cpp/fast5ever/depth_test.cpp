#include "fast5ever/depth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace fast5ever::depth {
namespace {

using html5::TagKind;
using html5::Token;
using html5::TokenKind;
using html5::TokenSinkResult;

// Feeds tokens through the cap into a recorder of what passes; answers the foreign-content
// question as told, and switches the tokenizer for a script.
struct Feed : html5::TokenSink {
  std::vector<std::string> seen;
  bool foreign = false, ended = false;
  DepthCap cap{*this};

  TokenSinkResult process_token(Token& token, std::uint64_t) override {
    const bool tag = token.kind == TokenKind::Tag;
    seen.push_back(tag ? (token.tag.kind == TagKind::Start ? "<" : "</") + token.tag.name + ">" : std::string(token.text));
    return tag && token.tag.name == "script" ? TokenSinkResult::raw_data(html5::RawKind::ScriptData) : TokenSinkResult{};
  }
  void end() override { ended = true; }
  bool adjusted_current_node_present_but_not_in_html_namespace() const override { return foreign; }

  TokenSinkResult tag(TagKind kind, std::string name, bool self_closing = false) {
    Token token;
    token.kind = TokenKind::Tag;
    token.tag = {kind, std::move(name), self_closing, {}};
    return cap.process_token(token, 1);
  }
  void start(const std::string& name, int times = 1) { while (times--) (void)tag(TagKind::Start, name); }
  void end(const std::string& name, int times = 1) { while (times--) (void)tag(TagKind::End, name); }
  void text(std::string_view s, TokenKind kind = TokenKind::Characters) {
    Token token;
    token.kind = kind;
    token.text = s;
    (void)cap.process_token(token, 1);
  }
  std::size_t count(std::string_view tag) const { return std::count(seen.begin(), seen.end(), tag); }
};

TEST(DepthCap, SixHundredDivsKeepFiveHundredTwelve) {
  Feed f;
  f.start("div", 600);
  f.text("x");
  EXPECT_EQ(f.count("<div>"), 512u);
  EXPECT_EQ(f.cap.open().size(), 512u);
  EXPECT_EQ(f.cap.dropped().size(), 88u);
  EXPECT_EQ(f.seen.back(), "x");
  f.end("div", 88);
  EXPECT_EQ(f.count("</div>"), 0u);
  f.end("div", 512);
  EXPECT_EQ(f.count("</div>"), 512u);
  EXPECT_TRUE(f.cap.open().empty());
  EXPECT_TRUE(f.cap.dropped().empty());
  // Other tokens and the end pass through.
  f.start("div", 600);
  f.text("c", TokenKind::Comment);
  EXPECT_EQ(f.seen.back(), "c");
  f.cap.end();
  EXPECT_TRUE(f.ended);
  f.foreign = true;
  EXPECT_TRUE(f.cap.adjusted_current_node_present_but_not_in_html_namespace());
}

TEST(DepthCap, RepeatedImpliedSiblingsCountOnce) {
  Feed f;
  f.start("p", 2000);
  EXPECT_EQ(f.cap.open(), std::vector<std::string>{"p"});
  EXPECT_EQ(f.count("<p>"), 2000u);
  f.start("li");
  f.start("p");  // not the innermost name: counted again
  EXPECT_EQ(f.cap.open().size(), 3u);
}

// When full, void elements pass and (in foreign content) self-closing tags; names one letter away
// from a void element's, or of the same length, are swallowed like any.
TEST(DepthCap, WhatPassesWhenFull) {
  Feed f;
  f.start("span", 512);
  for (std::string name : {"br", "img", "wbr", "input", "hr", "area", "basefont", "bgsound", "col", "embed", "frame",
                           "keygen", "link", "meta", "param", "source", "track", "base"}) {
    f.start(name);
    EXPECT_EQ(f.count("<" + name + ">"), 1u) << name;
  }
  EXPECT_EQ(f.cap.open().size(), 512u);
  EXPECT_TRUE(f.cap.dropped().empty());
  for (std::string name : {"b", "bb", "brr", "im", "cols", "colgroup", "areas", "link2", "mete", "embeds", "frames",
                           "inputs", "basefon", "basefonts", "sources", "bgsoun", "trac", "wbrx", "hrr", "BR"}) {
    f.start(name);
    EXPECT_EQ(f.count("<" + name + ">"), 0u) << name;
  }
  EXPECT_EQ(f.cap.dropped().size(), 20u);
  (void)f.tag(TagKind::Start, "circle", true);  // HTML content: self-closing alone is no pass
  f.foreign = true;
  (void)f.tag(TagKind::Start, "circle", true);
  EXPECT_EQ(f.count("<circle>"), 1u);
  (void)f.tag(TagKind::Start, "g");  // not self-closing: swallowed even in foreign content
  EXPECT_EQ(f.count("<g>"), 0u);
  // Swallowed tags never switch the tokenizer.
  EXPECT_EQ(f.tag(TagKind::Start, "script").kind, TokenSinkResult::Kind::Continue);
  EXPECT_EQ(Feed().tag(TagKind::Start, "script").kind, TokenSinkResult::Kind::RawData);
}

TEST(DepthCap, EndTagClosesTheNearestMatchAndEverythingInside) {
  Feed f;
  f.start("b");
  f.start("i");
  f.end("b");
  EXPECT_TRUE(f.cap.open().empty());
  f.end("i");
  EXPECT_EQ(f.seen, (std::vector<std::string>{"<b>", "<i>", "</b>", "</i>"}));
  Feed g;
  for (const char* name : {"div", "b", "div", "i"}) g.start(name);
  g.end("div");
  EXPECT_EQ(g.cap.open(), (std::vector<std::string>{"div", "b"}));
  g.end("span");
  EXPECT_EQ(g.cap.open().size(), 2u);
  EXPECT_EQ(g.count("</span>"), 1u);
}

TEST(DepthCap, TableRowsFillTheCapTwoNamesAtATime) {
  Feed f;
  f.start("table");
  for (int row = 1; row <= 300; ++row) {
    f.start("tr");
    const std::size_t before = f.count("<td>");
    f.start("td");
    EXPECT_EQ(f.count("<td>") > before, row < 256) << "row " << row;
    f.text("x");
  }
  EXPECT_EQ(f.count("<tr>"), 300u);
  EXPECT_EQ(f.cap.open().size(), 512u);
}

TEST(DepthCap, OnlyTheInnermostSwallowedNameIsCompared) {
  Feed f;
  f.start("div", 511);
  for (const char* name : {"section", "b", "i"}) f.start(name);
  EXPECT_EQ(f.cap.dropped(), (std::vector<std::string>{"b", "i"}));
  f.end("b");  // not innermost swallowed: compared with `open`, found nowhere, passed on
  EXPECT_EQ(f.count("</b>"), 1u);
  f.end("section");  // closes the counted section
  EXPECT_EQ(f.cap.open().size(), 511u);
  EXPECT_EQ(f.count("</section>"), 1u);
  f.end("i");
  f.end("b");
  EXPECT_TRUE(f.cap.dropped().empty());
  EXPECT_EQ(f.count("</b>"), 1u);
}

}  // namespace
}  // namespace fast5ever::depth
