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

// Records what passes the cap; answers the foreign-content question as told.
struct Recorder : html5::TokenSink {
  std::vector<std::string> seen;
  bool foreign = false;
  bool ended = false;
  html5::TokenSinkResult process_token(Token& token, std::uint64_t line) override {
    if (token.kind == TokenKind::Tag) {
      seen.push_back((token.tag.kind == TagKind::Start ? "<" : "</") + token.tag.name + ">");
      if (token.tag.name == "script") {
        return html5::TokenSinkResult::raw_data(html5::RawKind::ScriptData);
      }
    } else {
      seen.push_back(std::string(token.text));
    }
    return html5::TokenSinkResult::proceed();
  }
  void end() override { ended = true; }
  bool adjusted_current_node_present_but_not_in_html_namespace() const override { return foreign; }
};

struct Feed {
  Recorder inner;
  DepthCap cap{inner};

  html5::TokenSinkResult tag(TagKind kind, std::string name, bool self_closing = false) {
    Token token;
    token.kind = TokenKind::Tag;
    token.tag.kind = kind;
    token.tag.name = std::move(name);
    token.tag.self_closing = self_closing;
    return cap.process_token(token, 1);
  }
  void start(std::string name, int times = 1) {
    for (int i = 0; i < times; ++i) (void)tag(TagKind::Start, name);
  }
  void end(std::string name, int times = 1) {
    for (int i = 0; i < times; ++i) (void)tag(TagKind::End, name);
  }
  void text(std::string_view s) {
    Token token;
    token.kind = TokenKind::Characters;
    token.text = s;
    (void)cap.process_token(token, 1);
  }
  std::size_t count(std::string_view tag) const {
    return std::count(inner.seen.begin(), inner.seen.end(), tag);
  }
};

TEST(DepthCap, SixHundredDivsKeepFiveHundredTwelve) {
  Feed f;
  f.start("div", 600);
  f.text("x");
  EXPECT_EQ(f.count("<div>"), 512u);
  EXPECT_EQ(f.cap.open().size(), 512u);
  EXPECT_EQ(f.cap.dropped().size(), 88u);
  EXPECT_EQ(f.inner.seen.back(), "x");
  f.end("div", 88);
  EXPECT_EQ(f.count("</div>"), 0u);
  f.end("div", 512);
  EXPECT_EQ(f.count("</div>"), 512u);
  EXPECT_TRUE(f.cap.open().empty());
  EXPECT_TRUE(f.cap.dropped().empty());
}

TEST(DepthCap, RepeatedImpliedSiblingsCountOnce) {
  Feed f;
  f.start("p", 2000);
  EXPECT_EQ(f.cap.open(), std::vector<std::string>{"p"});
  EXPECT_EQ(f.count("<p>"), 2000u);
  // Not the innermost name: counted again.
  f.start("li");
  f.start("p");
  EXPECT_EQ(f.cap.open().size(), 3u);
}

TEST(DepthCap, VoidAndForeignSelfClosingPassWhenFull) {
  Feed f;
  f.start("span", 512);
  for (const char* name : {"br", "img", "wbr", "input", "hr", "area", "basefont", "bgsound",
                           "col", "embed", "frame", "keygen", "link", "meta", "param", "source",
                           "track", "base"}) {
    f.start(name);
    EXPECT_EQ(f.count("<" + std::string(name) + ">"), 1u) << name;
  }
  EXPECT_EQ(f.cap.open().size(), 512u);
  EXPECT_TRUE(f.cap.dropped().empty());

  (void)f.tag(TagKind::Start, "circle", true);  // HTML content: self-closing alone is no pass
  EXPECT_EQ(f.count("<circle>"), 0u);
  f.inner.foreign = true;
  (void)f.tag(TagKind::Start, "circle", true);
  EXPECT_EQ(f.count("<circle>"), 1u);
  (void)f.tag(TagKind::Start, "g");  // not self-closing: swallowed even in foreign content
  EXPECT_EQ(f.count("<g>"), 0u);
}

TEST(DepthCap, EndTagClosesTheNearestMatchAndEverythingInside) {
  Feed f;
  f.start("b");
  f.start("i");
  f.end("b");
  EXPECT_TRUE(f.cap.open().empty());
  f.end("i");
  EXPECT_EQ(f.inner.seen, (std::vector<std::string>{"<b>", "<i>", "</b>", "</i>"}));

  Feed g;
  g.start("div");
  g.start("b");
  g.start("div");
  g.start("i");
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
    const bool passed = f.count("<td>") > before;
    EXPECT_EQ(passed, row < 256) << "row " << row;
    f.text("x");
  }
  EXPECT_EQ(f.count("<tr>"), 300u);
  EXPECT_EQ(f.cap.open().size(), 512u);
}

TEST(DepthCap, OnlyTheInnermostSwallowedNameIsCompared) {
  Feed f;
  f.start("div", 511);
  f.start("section");
  f.start("b");
  f.start("i");
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

TEST(DepthCap, SwallowedTagsNeverSwitchTheTokenizer) {
  Feed f;
  f.start("div", 512);
  EXPECT_EQ(f.tag(TagKind::Start, "script").kind, html5::TokenSinkResult::Kind::Continue);
  Feed g;
  EXPECT_EQ(g.tag(TagKind::Start, "script").kind, html5::TokenSinkResult::Kind::RawData);
}

TEST(DepthCap, OtherTokensAndEndPassThrough) {
  Feed f;
  f.start("div", 600);
  Token comment;
  comment.kind = TokenKind::Comment;
  comment.text = "c";
  (void)f.cap.process_token(comment, 3);
  EXPECT_EQ(f.inner.seen.back(), "c");
  f.cap.end();
  EXPECT_TRUE(f.inner.ended);
  f.inner.foreign = true;
  EXPECT_TRUE(f.cap.adjusted_current_node_present_but_not_in_html_namespace());
}

}  // namespace
}  // namespace fast5ever::depth
