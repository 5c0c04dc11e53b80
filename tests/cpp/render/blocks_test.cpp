#include <gtest/gtest.h>

#include "build.h"
#include "render/renderer.h"

namespace vedavi {
namespace {

using namespace test;

struct BlockCase {
  const char* name;
  Block block;
  std::string_view html;
};

Block heading(int level, Inlines inlines, Attr attr = {}) {
  return Block::Heading{std::move(attr), std::move(inlines), std::uint8_t(level)};
}

ListItem item(Blocks children, std::optional<bool> task = {}, Attr attr = {}) {
  return ListItem{std::move(attr), std::move(children), task};
}

Block list(std::vector<ListItem> items, bool ordered = false, bool tight = true,
           std::size_t start = 1, Attr attr = {}) {
  return Block::List{std::move(attr), std::move(items), start, ordered, tight};
}

Block code(std::string text, std::optional<std::string> lang, Attr attr = {}) {
  return Block::CodeBlock{std::move(attr), "info", std::move(text), std::move(lang)};
}

TableRow row(std::vector<std::pair<std::string, Align>> cells) {
  TableRow out;
  for (auto& [content, align] : cells) out.cells.push_back(TableCell{{}, ins({text(content)}), align});
  return out;
}

TableToken row_token(std::size_t index, std::string name) {
  TemplateToken token{"j", "{{" + name + "}}", name, name};
  return TableToken{index, Inline(token)};
}

Block::Table table_of(std::vector<TableRow> rows, std::vector<TableToken> tokens = {}) {
  Block::Table t;
  t.rows = std::move(rows);
  t.tokens = std::move(tokens);
  return t;
}

Inline image(std::string url, Inlines alt, std::optional<std::string> title = {}) {
  return Inline::Image{std::move(url), std::move(title), {}, std::move(alt)};
}

Block template_block(TemplateTokenKind kind, std::string body, std::string name) {
  TemplateToken token;
  token.syntax = "jinja";
  token.body = std::move(body);
  token.name = std::move(name);
  token.kind = kind;
  return token;
}

std::vector<BlockCase> block_cases() {
  std::vector<BlockCase> cases;
  cases.push_back({"paragraph attrs order", para(ins({text("t")}), attr_of("#x .a .b k=v")),
                   "<p id=\"x\" class=\"a b\" k=\"v\">t</p>\n"});
  {
    Attr attr;
    attr.pairs = {{"id", "no"}, {"class", "no"}, {"k", "a\"<&>"}};
    cases.push_back({"id and class pairs never written, values escaped", para(ins({}), attr),
                     "<p k=\"a&quot;&lt;&amp;&gt;\"></p>\n"});
  }
  {
    Attr attr;
    attr.id = "";
    cases.push_back({"empty id is present", para(ins({}), attr), "<p id=\"\"></p>\n"});
  }
  {
    Attr attr;
    attr.pairs = {{"a\"x\"><svg/onload", "alert(1)//"}, {"", "e"}, {"b c", "1"}, {"d=e", "2"},
                  {"f'", "3"}, {"g/", "4"}, {"h<", "5"}, {"i\t", "6"}, {"j\x01", "7"},
                  {"k\xC2\x85", "8"}, {"data-\xC3\xA9", "9"}, {"ok", "10"}};
    cases.push_back({"unsafe keys are left out, the rest written",
                     para(ins({text("t")}), attr),
                     "<p data-\xC3\xA9=\"9\" ok=\"10\">t</p>\n"});
  }
  cases.push_back({"heading", heading(3, ins({text("H")}), attr_of("#h")),
                   "<h3 id=\"h\">H</h3>\n"});
  cases.push_back({"panel title", Block::PanelTitle{{}, ins({text("T")})},
                   "<header>T</header>\n"});
  cases.push_back({"block quote", quote(bls({para(ins({text("q")}))}), attr_of(".c")),
                   "<blockquote class=\"c\">\n<p>q</p>\n</blockquote>\n"});
  cases.push_back({"ordered at 1 has no start",
                   list({item(bls({para(ins({text("a")}))}))}, true),
                   "<ol>\n<li>a</li>\n</ol>\n"});
  cases.push_back({"ordered at 3", list({item(bls({para(ins({text("a")}))}))}, true, true, 3),
                   "<ol start=\"3\">\n<li>a</li>\n</ol>\n"});
  cases.push_back({"bullet never has start",
                   list({item(bls({para(ins({text("a")}))}))}, false, true, 3),
                   "<ul>\n<li>a</li>\n</ul>\n"});
  cases.push_back({"task list class once",
                   list({item(bls({para(ins({text("text")}))}), true),
                         item(bls({para(ins({text("u")}))}), false)},
                        false, true, 1, attr_of(".task-list")),
                   "<ul class=\"task-list\">\n<li><input type=\"checkbox\" disabled=\"disabled\" "
                   "checked=\"checked\" /> text</li>\n<li><input type=\"checkbox\" "
                   "disabled=\"disabled\" /> u</li>\n</ul>\n"});
  cases.push_back({"tight item with nested list",
                   list({item(bls({para(ins({text("t")})),
                                   list({item(bls({para(ins({text("x")}))}))})}))}),
                   "<ul>\n<li>t\n<ul>\n<li>x</li>\n</ul>\n</li>\n</ul>\n"});
  cases.push_back({"tight paragraph keeps its attributes",
                   list({item(bls({para(ins({text("t")}), attr_of("#p"))}))}),
                   "<ul>\n<li><p id=\"p\">t</p></li>\n</ul>\n"});
  cases.push_back({"loose item", list({item(bls({para(ins({text("text")}))}))}, false, false),
                   "<ul>\n<li>\n<p>text</p>\n</li>\n</ul>\n"});
  cases.push_back({"item attributes", list({item(bls({}), std::nullopt, attr_of("#i"))}),
                   "<ul>\n<li id=\"i\"></li>\n</ul>\n"});
  {
    Block::DefinitionList dl;
    dl.items.push_back(DefinitionItem{{DefinitionTerm{attr_of("#t"), ins({text("T")})}},
                                      {ins({text("d1")}), ins({text("d2")})}});
    cases.push_back({"definition list", dl,
                     "<dl>\n<dt id=\"t\">T</dt>\n<dd>d1</dd>\n<dd>d2</dd>\n</dl>\n"});
  }
  cases.push_back({"code with language", code("a<b\n", "py"),
                   "<pre><code class=\"language-py\">a&lt;b\n</code></pre>\n"});
  cases.push_back({"code without language", code("x", std::nullopt, attr_of("#c")),
                   "<pre id=\"c\"><code>x</code></pre>\n"});
  {
    Block::HtmlBlock html{"<div>{{ a }}</div>\n", {}};
    HtmlToken token;
    token.syntax = "j";
    token.name = "a";
    token.start = 5;
    token.end = 12;
    html.tokens.push_back(token);
    cases.push_back({"html block with a token", html,
                     "<div><template data-op=\"j:value\">a</template></div>\n"});
    cases.push_back({"html block verbatim", Block::HtmlBlock{"<b>&amp;</b>", {}}, "<b>&amp;</b>"});
  }
  cases.push_back({"thematic break", Block::ThematicBreak{attr_of(".x")},
                   "<hr class=\"x\" />\n"});
  cases.push_back({"div", Block::Div{attr_of("data-panel=note"), bls({para(ins({text("p")}))})},
                   "<div data-panel=\"note\">\n<p>p</p>\n</div>\n"});
  cases.push_back({"math block always display", Block::MathBlock{attr_of(".m"), "a<b", false},
                   "<div class=\"m math display\">a&lt;b</div>\n"});
  cases.push_back({"template unknown trims its body",
                   template_block(TemplateTokenKind::Unknown, "  raw text ", "n"),
                   "<template data-op=\"jinja:unknown\">raw text</template>\n"});
  cases.push_back({"template section writes the name",
                   template_block(TemplateTokenKind::Open, "#n", "n"),
                   "<template data-op=\"jinja:section\">n</template>\n"});
  cases.push_back({"template kinds", template_block(TemplateTokenKind::OpenInverted, "", "n"),
                   "<template data-op=\"jinja:inverted\">n</template>\n"});
  cases.push_back({"template end", template_block(TemplateTokenKind::Close, "", "n"),
                   "<template data-op=\"jinja:end\">n</template>\n"});
  cases.push_back({"raw block with script escaped", Block::RawBlock{"html", "a</SCRIPT>"},
                   "<script type=\"application/vnd.vedavi.raw\" data-format=\"html\" "
                   "data-encoding=\"html\">a&lt;/SCRIPT&gt;</script>\n"});
  cases.push_back({"raw block verbatim", Block::RawBlock{"tex", "x < y"},
                   "<script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">x < "
                   "y</script>\n"});
  cases.push_back({"script block", Block::ScriptBlock{"mermaid", "a<!--b"},
                   "<script type=\"text/mermaid-block\" data-encoding=\"html\">\na&lt;!--b"
                   "</script>\n"});
  cases.push_back({"script block verbatim", Block::ScriptBlock{"x\"", "a->b"},
                   "<script type=\"text/x&quot;-block\">\na->b</script>\n"});
  {
    Block::Table t = table_of({row({{"a", Align::None}}), row({{"b", Align::None}})},
                              {row_token(0, "x"), row_token(2, "y"), row_token(2, "z"),
                               row_token(7, "never")});
    cases.push_back({"table tokens at rows", t,
                     "<table>\n<tbody>\n<template data-op=\"j:value\">x</template>\n"
                     "<tr><td>a</td></tr>\n<tr><td>b</td></tr>\n"
                     "<template data-op=\"j:value\">y</template>\n"
                     "<template data-op=\"j:value\">z</template>\n</tbody>\n</table>\n"});
    cases.push_back({"table with only tokens", table_of({}, {row_token(0, "x")}),
                     "<table>\n<tbody>\n<template data-op=\"j:value\">x</template>\n</tbody>\n"
                     "</table>\n"});
  }
  {
    Block::Table t = table_of({row({{"a", Align::None}, {"b", Align::Right}, {"c", Align::None}})});
    t.aligns = {Align::Center, Align::Left};
    t.head_rows = {row({{"h", Align::None}})};
    t.foot_rows = {row({})};
    t.caption = ins({text("Cap")});
    t.attr = attr_of("#t");
    cases.push_back({"table alignment, head, foot, caption", t,
                     "<table id=\"t\">\n<caption>Cap</caption>\n<thead>\n"
                     "<tr><th align=\"center\">h</th></tr>\n</thead>\n<tbody>\n"
                     "<tr><td align=\"center\">a</td><td align=\"right\">b</td><td>c</td></tr>\n"
                     "</tbody>\n<tfoot>\n<tr></tr>\n</tfoot>\n</table>\n"});
  }
  cases.push_back({"figure", Block::Figure{attr_of("#f"), ins({text("A cat")}),
                                           image("c.png", ins({text("A cat")}), "T")},
                   "<figure id=\"f\">\n<img src=\"c.png\" alt=\"\" title=\"T\" />\n"
                   "<figcaption>A cat</figcaption>\n</figure>\n"});
  cases.push_back({"figure without caption", Block::Figure{{}, ins({}), image("c.png", ins({text("x")}))},
                   "<figure>\n<img src=\"c.png\" alt=\"\" />\n</figure>\n"});
  cases.push_back({"figure whose image was replaced",
                   Block::Figure{{}, ins({}), Inline(Inline::HtmlInline{"<i>x</i>"})},
                   "<figure>\n<i>x</i>\n</figure>\n"});
  return cases;
}

TEST(RenderBlocks, EachKindByteExact) {
  for (const BlockCase& c : block_cases()) {
    Renderer renderer;
    std::string out;
    renderer.block(c.block, out);
    EXPECT_EQ(out, c.html) << c.name;
  }
}

TEST(RenderDocument, EmptyDocumentIsEmpty) { EXPECT_EQ(render_document(Document{}), ""); }

TEST(RenderDocument, BlocksInOrderWithoutWrapper) {
  Document doc = doc_of(bls({para(ins({text("a")})), Block::ThematicBreak{}}));
  EXPECT_EQ(render_document(doc), "<p>a</p>\n<hr />\n");
}

TEST(RenderBlocks, HtmlTokensOutOfOrderAreAnInternalError) {
  Block::HtmlBlock html{"abc", {}};
  HtmlToken token;
  token.start = 2;
  token.end = 9;
  html.tokens.push_back(token);
  Renderer renderer;
  std::string out;
  EXPECT_THROW(renderer.block(html, out), std::logic_error);
}

}  // namespace
}  // namespace vedavi
