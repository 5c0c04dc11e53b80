// The tree builder driven by hand-made tokens: fragments, declarative shadow roots, the nesting
// hooks, and adversarial inputs (deep, misnested, scope-heavy) checked by the shape they build.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "html5/tree_builder.h"
#include "html5/tree_builder_handle_map.h"
#include "tests/cpp/html5/test_sink.h"

namespace html5 {
namespace {

using testing::ArenaSink;
using testing::dump_tree;
using testing::kNoNode;
using testing::Node;

// Feeds a tag soup: "<a x=1 y>" start tags (a trailing "/" self-closes), "</a>" end tags,
// "<!--c-->" comments, and everything else as text. Enough for inputs without raw text.
class Feeder {
 public:
  explicit Feeder(TokenSink& sink) : sink_(sink) {}

  Feeder& feed(std::string_view input) {
    std::size_t pos = 0;
    while (pos < input.size()) {
      std::size_t lt = input.find('<', pos);
      if (lt != pos) {
        std::size_t end = lt == std::string_view::npos ? input.size() : lt;
        text(input.substr(pos, end - pos));
        pos = end;
        continue;
      }
      if (input.substr(pos, 4) == "<!--") {
        std::size_t close = input.find("-->", pos);
        Token t;
        t.kind = TokenKind::Comment;
        t.text = input.substr(pos + 4, close - pos - 4);
        sink_.process_token(t, 1);
        pos = close + 3;
        continue;
      }
      std::size_t gt = input.find('>', pos);
      tag(input.substr(pos + 1, gt - pos - 1));
      pos = gt + 1;
    }
    return *this;
  }
  void finish() {
    Token eof;
    eof.kind = TokenKind::Eof;
    sink_.process_token(eof, 1);
    sink_.end();
  }

 private:
  void text(std::string_view s) {
    Token t;
    t.kind = TokenKind::Characters;
    t.text = s;
    sink_.process_token(t, 1);
  }
  void tag(std::string_view body) {
    Token t;
    t.kind = TokenKind::Tag;
    if (!body.empty() && body.front() == '/') {
      t.tag.kind = TagKind::End;
      body.remove_prefix(1);
    }
    if (!body.empty() && body.back() == '/') {
      t.tag.self_closing = true;
      body.remove_suffix(1);
    }
    std::size_t space = body.find(' ');
    t.tag.name = std::string(body.substr(0, space));
    while (space != std::string_view::npos) {
      body.remove_prefix(space + 1);
      space = body.find(' ');
      std::string_view attr = body.substr(0, space);
      std::size_t eq = attr.find('=');
      Attribute a;
      a.name.local = std::string(attr.substr(0, eq));
      if (eq != std::string_view::npos) a.value = std::string(attr.substr(eq + 1));
      t.tag.attrs.push_back(std::move(a));
    }
    sink_.process_token(t, 1);
  }

  TokenSink& sink_;
};

std::string repeat(std::string_view s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string document_dump(std::string_view input, const TreeBuilderOptions& options = {}) {
  ArenaSink sink;
  TreeBuilder builder(sink, options);
  Feeder(builder).feed(input).finish();
  return dump_tree(sink, 0);
}

Handle body_of(const ArenaSink& sink) {
  Handle html = sink.children(0).back();
  return sink.children(html).back();
}

// The element chain under `from` following last children while they are elements named `name`.
int chain_depth(const ArenaSink& sink, Handle from, std::string_view name, Handle* bottom) {
  int depth = 0;
  Handle node = from;
  for (;;) {
    Handle last = sink.nodes[node].last_child;
    if (last == kNoNode || sink.nodes[last].type != Node::Type::Element ||
        sink.nodes[last].name.local != name) {
      break;
    }
    node = last;
    ++depth;
  }
  if (bottom) *bottom = node;
  return depth;
}

TEST(TreeBuilderDocument, BuildsTheImpliedSkeleton) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"", "| <html>\n|   <head>\n|   <body>\n"},
      {"x<!--c-->", "| <html>\n|   <head>\n|   <body>\n|     \"x\"\n|     <!-- c -->\n"},
      {"<p>a<p>b",
       "| <html>\n|   <head>\n|   <body>\n|     <p>\n|       \"a\"\n|     <p>\n|       \"b\"\n"},
      {"<table><tr><td>x</table>y",
       "| <html>\n|   <head>\n|   <body>\n|     <table>\n|       <tbody>\n|         <tr>\n"
       "|           <td>\n|             \"x\"\n|     \"y\"\n"},
      {"<table>a<tr>",
       "| <html>\n|   <head>\n|   <body>\n|     \"a\"\n|     <table>\n|       <tbody>\n"
       "|         <tr>\n"},
      {"<a><p>x</a>y",
       "| <html>\n|   <head>\n|   <body>\n|     <a>\n|     <p>\n|       <a>\n|         \"x\"\n"
       "|       \"y\"\n"},
      {"<svg><foreignobject><p>x</foreignobject></svg>",
       "| <html>\n|   <head>\n|   <body>\n|     <svg svg>\n|       <svg foreignObject>\n"
       "|         <p>\n|           \"x\"\n"},
      {"<math definitionurl=u><mi>x</mi></math>",
       "| <html>\n|   <head>\n|   <body>\n|     <math math>\n|       definitionURL=\"u\"\n"
       "|       <math mi>\n|         \"x\"\n"},
      {"<template><td>x</td></template>",
       "| <html>\n|   <head>\n|     <template>\n|       content\n|         <td>\n"
       "|           \"x\"\n|   <body>\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(document_dump(c.input), c.expected) << c.input;
}

TEST(TreeBuilderDocument, DoctypeDecidesTheQuirksMode) {
  struct Case {
    std::optional<std::string> name, public_id, system_id;
    bool iframe_srcdoc;
    QuirksMode expected;
  } cases[] = {
      {"html", std::nullopt, std::nullopt, false, QuirksMode::NoQuirks},
      {"html", "-//W3C//DTD HTML 4.01 Transitional//EN", std::nullopt, false, QuirksMode::Quirks},
      {"html", "-//W3C//DTD HTML 4.01 Transitional//EN", "http://www.w3.org/TR/html4/loose.dtd",
       false, QuirksMode::LimitedQuirks},
      {"html", "-//w3c//dtd xhtml 1.0 transitional//en", std::nullopt, false,
       QuirksMode::LimitedQuirks},
      {"html", "html", std::nullopt, false, QuirksMode::Quirks},
      {"foo", std::nullopt, std::nullopt, false, QuirksMode::Quirks},
      {std::nullopt, std::nullopt, std::nullopt, false, QuirksMode::Quirks},
      // An iframe srcdoc document is never quirky.
      {"foo", std::nullopt, std::nullopt, true, QuirksMode::NoQuirks},
  };
  for (const Case& c : cases) {
    ArenaSink sink;
    TreeBuilderOptions options;
    options.iframe_srcdoc = c.iframe_srcdoc;
    TreeBuilder builder(sink, options);
    Token t;
    t.kind = TokenKind::Doctype;
    t.doctype.name = c.name;
    t.doctype.public_id = c.public_id;
    t.doctype.system_id = c.system_id;
    builder.process_token(t, 1);
    Feeder(builder).feed("<p>").finish();
    EXPECT_EQ(sink.quirks, c.expected) << c.name.value_or("(none)") << " " << c.public_id.value_or("");
  }
  // No doctype at all: quirks, except in an iframe srcdoc document.
  for (bool srcdoc : {false, true}) {
    ArenaSink sink;
    TreeBuilderOptions options;
    options.iframe_srcdoc = srcdoc;
    TreeBuilder builder(sink, options);
    Feeder(builder).feed("<p>").finish();
    EXPECT_EQ(sink.quirks, srcdoc ? QuirksMode::NoQuirks : QuirksMode::Quirks);
  }
}

TEST(TreeBuilderDocument, DoctypesCanBeDropped) {
  for (bool drop : {false, true}) {
    ArenaSink sink;
    TreeBuilderOptions options;
    options.drop_doctype = drop;
    TreeBuilder builder(sink, options);
    Token t;
    t.kind = TokenKind::Doctype;
    t.doctype.name = "html";
    builder.process_token(t, 1);
    Feeder(builder).finish();
    EXPECT_EQ(dump_tree(sink, 0), std::string(drop ? "" : "| <!DOCTYPE html>\n") +
                                      "| <html>\n|   <head>\n|   <body>\n");
    EXPECT_EQ(sink.quirks, QuirksMode::NoQuirks);  // the doctype still sets the mode
  }
}

TEST(TreeBuilderFragment, ContextDecidesTheMode) {
  struct Case {
    QualName context;
    const char* input;
    const char* expected;
  } cases[] = {
      {{"", Namespace::Html, "body"}, "a<b>c</b>d", "| \"a\"\n| <b>\n|   \"c\"\n| \"d\"\n"},
      {{"", Namespace::Html, "body"}, "<html lang=x><p>t", "| <p>\n|   \"t\"\n"},
      {{"", Namespace::Html, "body"}, "<tr><td>x", "| \"x\"\n"},
      {{"", Namespace::Html, "tr"}, "<td>x", "| <td>\n|   \"x\"\n"},
      {{"", Namespace::Html, "table"}, "x<tr>", "| \"x\"\n| <tbody>\n|   <tr>\n"},
      {{"", Namespace::Svg, "svg"}, "<path/><p>x", "| <svg path>\n| <p>\n|   \"x\"\n"},
      {{"", Namespace::Html, "template"}, "<col>", "| <col>\n"},
  };
  for (const Case& c : cases) {
    ArenaSink sink;
    Handle context = sink.create_element(c.context, {}, {});
    TreeBuilder builder(sink, context);
    Feeder(builder).feed(c.input).finish();
    ASSERT_EQ(sink.children(0).size(), 1u);
    EXPECT_EQ(dump_tree(sink, sink.children(0)[0]), c.expected) << c.input;
    EXPECT_EQ(sink.nodes[context].parent, kNoNode);
  }
}

TEST(TreeBuilderFragment, ShadowRootTemplateFallsBackWhenRefused) {
  for (bool allow : {false, true}) {
    ArenaSink sink;
    sink.allow_shadow = allow;
    Handle context = sink.create_element({"", Namespace::Html, "body"}, {}, {});
    TreeBuilder builder(sink, context);
    Feeder(builder).feed("<template shadowrootmode=open><i>x</i></template>").finish();
    Handle root = sink.children(0)[0];
    if (!allow) {
      // An ordinary template holds the content; the refused one stays detached.
      EXPECT_EQ(dump_tree(sink, root),
                "| <template>\n|   shadowrootmode=\"open\"\n|   content\n|     <i>\n|       \"x\"\n");
      EXPECT_EQ(sink.nodes.size(), 9u);  // document, body, html, 2x (contents, template), i, text
    } else {
      ASSERT_EQ(sink.shadows.size(), 1u);
      EXPECT_EQ(sink.shadows[0].first, context);
      EXPECT_EQ(dump_tree(sink, root), "");
    }
  }
}

TEST(TreeBuilderResult, RawTextStatesAreRequestedFromTheTokenizer) {
  struct Case {
    const char* tag;
    TokenSinkResult::Kind kind;
    RawKind raw;
  } cases[] = {
      {"title", TokenSinkResult::Kind::RawData, RawKind::Rcdata},
      {"textarea", TokenSinkResult::Kind::RawData, RawKind::Rcdata},
      {"style", TokenSinkResult::Kind::RawData, RawKind::Rawtext},
      {"xmp", TokenSinkResult::Kind::RawData, RawKind::Rawtext},
      {"script", TokenSinkResult::Kind::RawData, RawKind::ScriptData},
      {"plaintext", TokenSinkResult::Kind::Plaintext, RawKind::Rcdata},
      {"div", TokenSinkResult::Kind::Continue, RawKind::Rcdata},
  };
  for (const Case& c : cases) {
    ArenaSink sink;
    TreeBuilder builder(sink);
    Token t;
    t.kind = TokenKind::Tag;
    t.tag.name = "body";
    builder.process_token(t, 1);
    t.tag.name = c.tag;
    TokenSinkResult r = builder.process_token(t, 1);
    EXPECT_EQ(r.kind, c.kind) << c.tag;
    if (c.kind == TokenSinkResult::Kind::RawData) {
      EXPECT_EQ(r.raw, c.raw) << c.tag;
    }
  }
}

TEST(TreeBuilderResult, ForeignCurrentNodeIsReported) {
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder feeder(builder);
  feeder.feed("<p>");
  EXPECT_FALSE(builder.adjusted_current_node_present_but_not_in_html_namespace());
  feeder.feed("<svg>");
  EXPECT_TRUE(builder.adjusted_current_node_present_but_not_in_html_namespace());
  feeder.feed("<foreignObject><b>");
  EXPECT_FALSE(builder.adjusted_current_node_present_but_not_in_html_namespace());
}

TEST(TreeBuilderErrors, ExactMessagesNameTheTokenAndMode) {
  struct Case {
    const char* input;
    bool exact;
    const char* first_error;
  } cases[] = {
      {"<!DOCTYPE html><p></div>", true, "Unexpected end tag: </div> (in body)"},
      {"<!DOCTYPE html><p></div>", false, "Unexpected end tag"},
      // Table text is judged when the run ends, here at the end of the input.
      {"<!DOCTYPE html><table>x", true, "Unexpected token in table: end of file (in table text)"},
      {"x", true, "Missing doctype: characters (initial)"},
  };
  for (const Case& c : cases) {
    ArenaSink sink;
    TreeBuilderOptions options;
    options.exact_errors = c.exact;
    TreeBuilder builder(sink, options);
    Token doctype;
    doctype.kind = TokenKind::Doctype;
    doctype.doctype.name = "html";
    std::string_view input = c.input;
    if (input.rfind("<!DOCTYPE html>", 0) == 0) {
      builder.process_token(doctype, 1);
      input.remove_prefix(15);
    }
    Feeder(builder).feed(input).finish();
    ASSERT_FALSE(sink.errors.empty()) << c.input;
    EXPECT_EQ(sink.errors.front(), c.first_error) << c.input;
  }
}

TEST(TreeBuilderFragment, ScriptsAreMarkedAlreadyStarted) {
  ArenaSink sink;
  Handle context = sink.create_element({"", Namespace::Html, "body"}, {}, {});
  TreeBuilder builder(sink, context);
  Token t;
  t.kind = TokenKind::Tag;
  t.tag.name = "script";
  builder.process_token(t, 1);
  t.tag.kind = TagKind::End;
  builder.process_token(t, 1);
  builder.end();
  ASSERT_EQ(sink.started_scripts.size(), 1u);
  EXPECT_EQ(sink.nodes[sink.started_scripts[0]].name.local, "script");
}

TEST(TagKinds, NamesLookUpExactly) {
  struct Case {
    std::string_view name;
    Kind kind;
  } cases[] = {
      {"a", Kind::A}, {"b", Kind::B}, {"br", Kind::Br}, {"h6", Kind::H6}, {"xmp", Kind::Xmp},
      {"table", Kind::Table}, {"template", Kind::Template}, {"plaintext", Kind::Plaintext},
      {"blockquote", Kind::Blockquote}, {"figcaption", Kind::Figcaption}, {"svg", Kind::Svg},
      {"", Kind::Other}, {"abbr", Kind::Other}, {"tables", Kind::Other}, {"tabl", Kind::Other},
      {"blockquotes", Kind::Other}, {"figcaptionfigcaption", Kind::Other}, {"TABLE", Kind::Other},
      {"foreignObject", Kind::Other}, {"h7", Kind::Other}, {"x-table", Kind::Other},
  };
  for (const Case& c : cases) EXPECT_EQ(html_kind(c.name), c.kind) << c.name;
  EXPECT_EQ(element_kind(Namespace::Svg, "foreignObject"), Kind::SvgForeignObject);
  EXPECT_EQ(element_kind(Namespace::Svg, "table"), Kind::Other);
  EXPECT_EQ(element_kind(Namespace::MathMl, "annotation-xml"), Kind::MathAnnotationXml);
}

TEST(HandleMap, AgreesWithAStandardMapUnderRandomEdits) {
  // Few distinct keys, so probe runs collide, wrap and get shifted back on erase.
  std::mt19937 rng(7);
  HandleMap map;
  std::unordered_map<Handle, std::uint32_t> model;
  for (int step = 0; step < 200000; ++step) {
    Handle key = rng() % 97 * 1000003u;
    switch (rng() % 3) {
      case 0:
        map.set(key, static_cast<std::uint32_t>(step));
        model[key] = static_cast<std::uint32_t>(step);
        break;
      case 1: EXPECT_EQ(map.erase(key), model.erase(key) == 1); break;
      default: {
        auto it = model.find(key);
        auto got = map.get(key);
        ASSERT_EQ(got.has_value(), it != model.end()) << step;
        if (got) {
          ASSERT_EQ(*got, it->second) << step;
        }
      }
    }
  }
}

// Inputs where a naive stack walk per token is quadratic; each must build the expected shape.
constexpr int kDeep = 100000;

TEST(TreeBuilderAdversarial, DeeplyNestedDivs) {
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed(repeat("<div>", kDeep) + "x" + repeat("</div>", kDeep) + "<p>y").finish();
  Handle bottom = kNoNode;
  Handle body = body_of(sink);
  EXPECT_EQ(chain_depth(sink, sink.nodes[body].first_child, "div", &bottom), kDeep - 1);
  EXPECT_EQ(sink.nodes[sink.nodes[bottom].first_child].text, "x");
  EXPECT_EQ(sink.nodes[sink.nodes[body].last_child].name.local, "p");
}

TEST(TreeBuilderAdversarial, ManyOpenFormattingElements) {
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed(repeat("<b>", kDeep) + "x").finish();
  Handle bottom = kNoNode;
  EXPECT_EQ(chain_depth(sink, body_of(sink), "b", &bottom), kDeep);
  EXPECT_EQ(sink.nodes[sink.nodes[bottom].first_child].text, "x");
}

TEST(TreeBuilderAdversarial, ManyDistinctFormattingElements) {
  // Each start tag is unlike the others, so the list of active formatting elements keeps growing;
  // the "three identical entries" rule must not rescan it for every tag.
  std::string input;
  for (int i = 0; i < kDeep; ++i) input += "<b id=" + std::to_string(i) + ">";
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed(input + "</p>x").finish();
  EXPECT_EQ(chain_depth(sink, body_of(sink), "b", nullptr), kDeep);
}

TEST(TreeBuilderFormatting, AtMostThreeIdenticalEntriesAreReopened) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"<p><b><b><b><b>x</p>y",
       "| <html>\n|   <head>\n|   <body>\n|     <p>\n|       <b>\n|         <b>\n"
       "|           <b>\n|             <b>\n|               \"x\"\n|     <b>\n|       <b>\n"
       "|         <b>\n|           \"y\"\n"},
      {"<p><b c=1><b c=2><b c=1><b c=1><b c=1>x</p>y",
       "| <html>\n|   <head>\n|   <body>\n|     <p>\n|       <b>\n|         c=\"1\"\n"
       "|         <b>\n|           c=\"2\"\n|           <b>\n|             c=\"1\"\n"
       "|             <b>\n|               c=\"1\"\n|               <b>\n"
       "|                 c=\"1\"\n|                 \"x\"\n|     <b>\n|       c=\"2\"\n"
       "|       <b>\n|         c=\"1\"\n|         <b>\n|           c=\"1\"\n|           <b>\n"
       "|             c=\"1\"\n|             \"y\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(document_dump(c.input), c.expected) << c.input;
}

TEST(TreeBuilderFormatting, ThreeIdenticalEntriesAmongManyOthers) {
  // Past a few entries the list counts signatures instead of scanning; the rule must not change.
  std::string input = "<p>";
  for (int i = 0; i < 20; ++i) input += "<s id=" + std::to_string(i) + ">";
  input += "<b c=1><b c=1><b c=1><b c=1>x</p>y";
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed(input).finish();
  int s_count = 0, b_count = 0;
  for (const Node& n : sink.nodes) {
    s_count += n.name.local == "s";
    b_count += n.name.local == "b";
  }
  EXPECT_EQ(s_count, 40);     // 20 in the paragraph, 20 reopened for "y"
  EXPECT_EQ(b_count, 4 + 3);  // only three of the four identical b are reopened
}

TEST(TreeBuilderAdversarial, AnchorsFosteredOutOfATable) {
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed("<table>" + repeat("<a>", kDeep)).finish();
  std::vector<Handle> kids = sink.children(body_of(sink));
  ASSERT_EQ(kids.size(), static_cast<std::size_t>(kDeep) + 1);
  EXPECT_EQ(sink.nodes[kids.front()].name.local, "a");
  EXPECT_EQ(sink.nodes[kids.back()].name.local, "table");
}

TEST(TreeBuilderAdversarial, MisnestedFormattingAroundParagraphs) {
  constexpr int kRuns = 50000;
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed(repeat("<b><p>x</b>", kRuns)).finish();
  // Every paragraph ends up a child of the body, each with its text inside a fresh b.
  std::vector<Handle> kids = sink.children(body_of(sink));
  int paragraphs = 0;
  for (Handle k : kids) paragraphs += sink.nodes[k].name.local == "p";
  EXPECT_EQ(paragraphs, kRuns);
  std::size_t texts = 0;
  for (const Node& n : sink.nodes) texts += n.type == Node::Type::Text ? n.text.size() : 0;
  EXPECT_EQ(texts, static_cast<std::size_t>(kRuns));
}

TEST(TreeBuilderAdversarial, ScopeChecksUnderADeepStack) {
  struct Case {
    std::string input;
    const char* leaf;  // the element that must hold the text "x"
  };
  std::vector<Case> cases = {
      // A p under a button boundary, then many block starts that ask for it.
      {"<p><button>" + repeat("<div>", kDeep) + "x", "div"},
      // Many tables opened and closed under deep nesting (the mode is reset each time).
      {repeat("<div>", kDeep) + repeat("<table></table>", kDeep) + "x", "div"},
      // End tags that match nothing under many unnamed elements.
      {repeat("<x-a>", kDeep) + repeat("</x-b>", kDeep) + "x", "x-a"},
      // List items below many divs, each closing the previous one.
      {repeat("<div>", kDeep) + repeat("<li></li>", kDeep) + "<li>x", "li"},
      // A formatting element out of scope behind a table, asked about again and again.
      {"<b><table>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "div"},
      // Adoptions deep in a tall stack, each moving a formatting element one level down.
      {"<b>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "div"},
      // Foreign end tags that match nothing.
      {"<svg>" + repeat("<g>", kDeep) + repeat("</h>", kDeep) + "x", "g"},
  };
  // Open b elements that the list no longer names (only three identical entries stay), closed one
  // by one over a long list of distinct entries.
  std::string distinct;
  for (int i = 0; i < kDeep / 2; ++i) distinct += "<i id=" + std::to_string(i) + ">";
  cases.push_back({distinct + repeat("<b>", kDeep / 2) + repeat("</b>", kDeep / 2) + "x", "i"});
  // A formatting element out of scope behind a table, far down a long list: each end tag must
  // find it without walking the list.
  std::string fostered;
  for (int i = 0; i < kDeep / 2; ++i) fostered += "<b id=" + std::to_string(i) + ">";
  cases.push_back({"<a><table>" + fostered + repeat("</a>", kDeep / 2) + "x", "b"});
  // Misnested runs after a long list of distinct formatting elements.
  cases.push_back({distinct + repeat("<b><p>x</b>", kDeep / 2), "b"});
  for (const Case& c : cases) {
    ArenaSink sink;
    TreeBuilder builder(sink);
    Feeder(builder).feed(c.input).finish();
    Handle text = kNoNode;
    for (Handle i = 0; i < sink.nodes.size(); ++i) {
      if (sink.nodes[i].type == Node::Type::Text && sink.nodes[i].text == "x") text = i;
    }
    ASSERT_NE(text, kNoNode) << c.input.substr(0, 40);
    EXPECT_EQ(sink.nodes[sink.nodes[text].parent].name.local, c.leaf) << c.input.substr(0, 40);
  }
}

TEST(TreeBuilderAdversarial, LongAdoptionWalk) {
  // The adoption agency walks past many elements between the formatting element and the
  // furthest block, dropping them from the stack in one pass; it runs its outer loop eight times.
  ArenaSink sink;
  TreeBuilder builder(sink);
  Feeder(builder).feed("<b>" + repeat("<span>", kDeep) + repeat("<div>", kDeep) + "</b>x").finish();
  std::vector<Handle> kids = sink.children(body_of(sink));
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(sink.nodes[kids[0]].name.local, "b");
  EXPECT_EQ(chain_depth(sink, kids[0], "span", nullptr), kDeep);
  EXPECT_EQ(sink.nodes[kids[1]].name.local, "div");
  int bs = 0, divs = 0;
  Handle text = kNoNode;
  for (Handle i = 0; i < sink.nodes.size(); ++i) {
    const Node& n = sink.nodes[i];
    bs += n.name.local == "b";
    divs += n.name.local == "div";
    if (n.type == Node::Type::Text) text = i;
  }
  EXPECT_EQ(bs, 1 + 8);
  EXPECT_EQ(divs, kDeep);
  ASSERT_NE(text, kNoNode);
  EXPECT_EQ(sink.nodes[sink.nodes[text].parent].name.local, "div");
}

}  // namespace
}  // namespace html5
