// Trees no md source gives (hand-built attributes, operations, table footers, replaced figure
// images, footnotes without a body), the renderer's memo and entry points, plain text, raw payloads.
#include <gtest/gtest.h>

#include "build.h"
#include "render/anchors.h"
#include "render/render.h"
#include "render/renderer.h"

namespace vedavi {
namespace {

using namespace test;

Attr pairs_attr(std::vector<std::pair<std::string, std::string>> pairs) {
  Attr attr;
  attr.pairs_mut() = std::move(pairs);
  return attr;
}

TableRow row(std::vector<std::pair<std::string, Align>> cells) {
  TableRow out;
  for (auto& [content, align] : cells) out.cells.push_back(TableCell{{}, ins({text(content)}), align});
  return out;
}

TableToken row_token(std::size_t index, std::string name) {
  return TableToken{index, Inline(TemplateToken{"j", "{{" + name + "}}", name, name})};
}

Block::Table table_of(std::vector<TableRow> rows, std::vector<TableToken> tokens = {}) {
  Block::Table t;
  t.rows.assign(rows.begin(), rows.end());
  t.tokens.assign(tokens.begin(), tokens.end());
  return t;
}

Block::Table full_table() {
  Block::Table t = table_of({row({{"a", Align::None}, {"b", Align::Right}, {"c", Align::None}})});
  t.aligns = {Align::Center, Align::Left};
  t.head_rows = {row({{"h", Align::None}})};
  t.foot_rows = {row({})};
  t.caption = ins({text("Cap")});
  t.attr = id_attr("t");
  return t;
}

TEST(RenderTrees, BlocksByteExact) {
  const struct {
    const char* name;
    Block block;
    std::string_view html;
  } cases[] = {
      {"id and class pairs never written, values escaped",
       para(ins({}), pairs_attr({{"id", "no"}, {"class", "no"}, {"k", "a\"<&>"}})),
       "<p k=\"a&quot;&lt;&amp;&gt;\"></p>\n"},
      {"empty id is present", para(ins({}), id_attr("")), "<p id=\"\"></p>\n"},
      {"unsafe keys are left out, the rest written",
       para(ins({text("t")}), pairs_attr({{"a\"x\"><svg/onload", "alert(1)//"}, {"", "e"}, {"b c", "1"},
                                          {"d=e", "2"}, {"f'", "3"}, {"g/", "4"}, {"h<", "5"}, {"i\t", "6"},
                                          {"j\x01", "7"}, {"k\xC2\x85", "8"}, {"data-\xC3\xA9", "9"}, {"ok", "10"}})),
       "<p data-\xC3\xA9=\"9\" ok=\"10\">t</p>\n"},
      {"table tokens at rows, one past the end dropped",
       table_of({row({{"a", Align::None}}), row({{"b", Align::None}})},
                {row_token(0, "x"), row_token(2, "y"), row_token(2, "z"), row_token(7, "never")}),
       "<table>\n<tbody>\n<template data-op=\"j:value\">x</template>\n<tr><td>a</td></tr>\n"
       "<tr><td>b</td></tr>\n<template data-op=\"j:value\">y</template>\n"
       "<template data-op=\"j:value\">z</template>\n</tbody>\n</table>\n"},
      {"table alignment, head, foot, caption", full_table(),
       "<table id=\"t\">\n<caption>Cap</caption>\n<thead>\n<tr><th align=\"center\">h</th></tr>\n</thead>\n"
       "<tbody>\n<tr><td align=\"center\">a</td><td align=\"right\">b</td><td>c</td></tr>\n</tbody>\n"
       "<tfoot>\n<tr></tr>\n</tfoot>\n</table>\n"},
      {"figure whose image was replaced", Block::Figure{{}, ins({}), Inline(Inline::HtmlInline{"<i>x</i>"})},
       "<figure>\n<i>x</i>\n</figure>\n"},
  };
  for (const auto& c : cases) {
    std::string out;
    Renderer{}.block(c.block, out);
    EXPECT_EQ(out, c.html) << c.name;
  }
  Block::HtmlBlock html{"abc", {}};
  html.tokens.push_back(HtmlToken{});
  html.tokens[0].start = 2;
  html.tokens[0].end = 9;
  std::string out;
  EXPECT_THROW(Renderer{}.block(html, out), std::logic_error);
}

TEST(RenderTrees, Operations) {
  Inline::Operation op{"mediawiki", "transclude", "Infobox", {}};
  op.args.push_back(OperationArg{ins({text("a")}), std::nullopt});
  op.args.push_back(OperationArg{ins({text("b")}), "x"});
  EXPECT_EQ(render_inlines(ins({op, Inline::Operation{"s", "a", "n", {}}})),
            "<template data-op=\"mediawiki:transclude\" data-name=\"Infobox\"><div data-arg>a</div>"
            "<div data-arg data-name=\"x\">b</div></template><template data-op=\"s:a\" data-name=\"n\"></template>");
  EXPECT_EQ(render::plain(ins({op})), "ab");
}

TEST(RenderTrees, MemoEntriesStandInForTheirNodesOnce) {
  Inlines list = ins({text("a"), emph(ins({text("b")})), text("c")});
  const Inline* inner = &(*list[1].children())[0];
  InlineHtmlMemo memo{{&list[1], "<i>kept</i>"}, {inner, "unused"}};
  EXPECT_EQ(render_inlines(list, &memo), "a<i>kept</i>c");
  EXPECT_EQ(memo.size(), 1u);  // the entry used is gone; the one below it was never reached
  memo.clear();
  EXPECT_EQ(render_inlines(list, &memo), "a<em>b</em>c");
}

// Lines that stand in one buffer with their line feeds between them are written as one stretch;
// what the nodes write must not change with that, nor with which lines qualify.
TEST(RenderTrees, LinesOfOneStretch) {
  const std::string_view source = "a<\nb &\n\nc  \nd\ne>";
  const auto view = [&](std::size_t at, std::size_t n) {
    return Inline(Inline::Text{Str::borrowed(source.substr(at, n))});
  };
  // "a<" "b &" | "c" (its spaces trimmed) "d" "e>"
  Inlines lines = ins({view(0, 2), soft(), view(3, 3), soft(), soft(), view(8, 1), soft(),
                       view(12, 1), soft(), view(14, 2), soft()});
  EXPECT_EQ(render_inlines(lines), "a&lt;\nb &amp;\n\nc\nd\ne&gt;\n");
  // Texts of other buffers, and a soft break the memo writes, keep their own nodes.
  Inlines apart = ins({text("x"), soft(), view(3, 3)});
  EXPECT_EQ(render_inlines(apart), "x\nb &amp;");
  InlineHtmlMemo memo{{&lines[1], "<br>"}};
  EXPECT_EQ(render_inlines(lines, &memo), "a&lt;<br>b &amp;\n\nc\nd\ne&gt;\n");
}

// An autolink's text that is the last bytes of a url written as it stands is copied; any other
// text is escaped, even where the url needed nothing.
TEST(RenderTrees, AutolinkTextsBesideTheirUrl) {
  const std::string_view kept = "https://a.b/x?q=1";
  const std::string_view rewritten = "http://www.a.b/?q=1&r=<2>";
  const auto autolink = [](std::string_view url, Str text) {
    return Inline(Inline::Autolink{Str::borrowed(url), text, false});
  };
  const struct {
    Inline link;
    std::string_view html;
  } cases[] = {
      {autolink(kept, Str::borrowed(kept)), "<a href=\"https://a.b/x?q=1\">https://a.b/x?q=1</a>"},
      {autolink(kept, Str::borrowed(kept.substr(8))), "<a href=\"https://a.b/x?q=1\">a.b/x?q=1</a>"},
      {autolink(rewritten, Str::borrowed(rewritten.substr(7))),
       "<a href=\"http://www.a.b/?q=1&amp;r=%3C2%3E\">www.a.b/?q=1&amp;r=&lt;2&gt;</a>"},
      {autolink(kept, Str("a&b<c")), "<a href=\"https://a.b/x?q=1\">a&amp;b&lt;c</a>"},
      {autolink(kept, Str("x")), "<a href=\"https://a.b/x?q=1\">x</a>"},
  };
  for (const auto& c : cases) EXPECT_EQ(render_inlines(ins({c.link})), c.html);
}

// Short pieces are staged in a buffer of a few kilobytes and handed to the string in stretches:
// nodes and cells of every size around it, plain or holding a byte to escape, write what each
// writes alone, in order.
TEST(RenderTrees, StagedPiecesAroundTheBufferSize) {
  std::vector<Inline> nodes;
  std::string each;
  for (const std::size_t size : {1u, 15u, 16u, 17u, 4000u, 4095u, 4096u, 4097u, 9000u}) {
    for (const bool escaped : {false, true}) {
      std::string body(size, 'x');
      if (escaped) body[size / 2] = '<';
      Inline::Link link{Str(std::string("u")), std::nullopt, {}, ins({text(body)})};
      for (Inline node : {text(body), emph(ins({text(body)})), Inline(Inline::Code{{}, Str(body)}),
                          Inline(std::move(link)),
                          Inline(Inline::Autolink{Str("https://" + body), Str(body), false})}) {
        each += render_inlines(ins({node}));
        nodes.push_back(std::move(node));
      }
    }
  }
  Inlines all;
  for (Inline& node : nodes) all.push_back(std::move(node));
  EXPECT_EQ(render_inlines(all), each);

  std::vector<TableRow> rows;
  std::string body_html;
  for (const std::size_t size : {3u, 1000u, 4090u, 5000u}) {
    std::string cell(size, 'c');
    cell[size - 1] = '&';
    rows.push_back(row({{cell, Align::None}, {cell, Align::Right}, {"y", Align::None}}));
    const std::string escaped = cell.substr(0, size - 1) + "&amp;";
    body_html += "<tr><td>" + escaped + "</td><td align=\"right\">" + escaped + "</td><td>y</td></tr>\n";
  }
  std::string out;
  Renderer{}.block(table_of(rows), out);
  EXPECT_EQ(out, "<table>\n<tbody>\n" + body_html + "</tbody>\n</table>\n");
}

TEST(RenderTrees, RawPayloadNeedsEncoding) {
  const std::pair<std::string_view, bool> cases[] = {
      {"", false},         {"<!--", true},      {"x<!-", false},     {"<script", true},
      {"<ScRiPt>", true},  {"</SCRIPT>", true}, {"</scrip", false},  {"<scrip", false},
      {"< script", false}, {"a < b", false},    {"<<!--", true},     {"<!-", false},
  };
  for (const auto& [payload, needs] : cases) EXPECT_EQ(raw_data_needs_encoding(payload), needs) << payload;
}

TEST(RenderTrees, PlainTextOfEveryKind) {
  TemplateToken token;
  token.source = "{{ v }}";
  Inlines list = ins({text("a"), soft(), Inline::HtmlInline{"<b>"}, fnref("L"), Inline::RawInline{"html", "zzz"},
                      Inline(token), Inline::MathInline{{}, "x^2", false}, Inline::Code{{}, "c"}});
  EXPECT_EQ(render::plain(list), "a <b>L{{ v }}x^2c");
}

TEST(RenderTrees, AnchorTextAndPushAnchor) {
  TemplateToken token;
  token.body = "b";
  EXPECT_EQ(inlines_text(ins({text(" a "), soft(), Inline(token), fnref("x")})), " a  b");
  std::vector<Anchor> list;
  push_anchor(Attr{}, "block", "text", list);
  EXPECT_TRUE(list.empty());
  push_anchor(id_attr("i"), "block", " \n a \u00A0 b\n", list);
  EXPECT_EQ(list, (std::vector<Anchor>{{"i", "block", "a b"}}));
}

std::string ref(std::string_view id, std::string_view frag, int number) {
  return "<sup id=\"" + std::string(id) + "\"><a href=\"#fn-" + std::string(frag) +
         "\" class=\"footnote-ref\" role=\"doc-noteref\">" + std::to_string(number) + "</a></sup>";
}

std::string backref(std::string_view id, int k) {
  return "<a href=\"#" + std::string(id) + "\" class=\"footnote-backref\" role=\"doc-backlink\">\u21A9" +
         (k >= 2 ? "<sup>" + std::to_string(k) + "</sup>" : "") + "</a>";
}

const std::string kOpen = "<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n";
const std::string kClose = "</ol>\n</section>\n";

Footnote footnote(std::string label, std::string body) {
  return Footnote{std::move(label), bls({para(ins({text(std::move(body))}))})};
}

TEST(RenderTrees, Footnotes) {
  // Without a section the references still number; a missing body gives an empty item.
  EXPECT_EQ(render_inlines(ins({fnref("x"), fnref("x")})), ref("fnref-x", "x", 1) + ref("fnref-x-2", "x", 1));
  EXPECT_EQ(render_document(doc_of(bls({para(ins({fnref("\xC3\xA9 1")}))}))),
            "<p>" + ref("fnref-%C3%A9%201", "%C3%A9%201", 1) + "</p>\n" + kOpen + "<li id=\"fn-%C3%A9%201\">\n" +
                backref("fnref-%C3%A9%201", 1) + "\n</li>\n" + kClose);
  // The later definition of a label wins.
  EXPECT_EQ(render_document(doc_of(bls({para(ins({fnref("x")}))}), {footnote("x", "first"), footnote("x", "second")})),
            "<p>" + ref("fnref-x", "x", 1) + "</p>\n" + kOpen + "<li id=\"fn-x\">\n<p>second " +
                backref("fnref-x", 1) + "</p>\n</li>\n" + kClose);
  // "__note1" is defined, "__note2" referenced: the note becomes "__note3", all three bodies stay.
  EXPECT_EQ(render_document(doc_of(bls({para(ins({fnref("__note2"), note(ins({text("mine")})), fnref("__note1")}))}),
                                   {footnote("__note1", "author")})),
            "<p>" + ref("fnref-__note2", "__note2", 1) + ref("fnref-__note3", "__note3", 2) +
                ref("fnref-__note1", "__note1", 3) + "</p>\n" + kOpen + "<li id=\"fn-__note2\">\n" +
                backref("fnref-__note2", 1) + "\n</li>\n<li id=\"fn-__note3\">\n<p>mine " +
                backref("fnref-__note3", 1) + "</p>\n</li>\n<li id=\"fn-__note1\">\n<p>author " +
                backref("fnref-__note1", 1) + "</p>\n</li>\n" + kClose);
  // A fresh renderer over one block knows no definitions.
  Renderer renderer;
  std::string out;
  renderer.block(para(ins({fnref("x")})), out);
  renderer.footnotes(out);
  EXPECT_EQ(out, "<p>" + ref("fnref-x", "x", 1) + "</p>\n" + kOpen + "<li id=\"fn-x\">\n" + backref("fnref-x", 1) +
                     "\n</li>\n" + kClose);
}

}  // namespace
}  // namespace vedavi
