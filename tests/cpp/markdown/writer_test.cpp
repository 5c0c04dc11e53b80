// The Markdown writer: VEDAVI HTML to md, as exact output per construct, and deep trees.
#include "markdown/writer.h"

#include <gtest/gtest.h>

#include "tests/cpp/support/helpers.h"

namespace vedavi::markdown {
namespace {

struct Case {
  const char *html, *md;
};

void expect_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(vedavi_to_md(c.html), c.md) << c.html;
}

TEST(Blocks, WalkAndSimpleBlocks) {
  expect_cases({
      {"", ""}, {"  \n ", ""}, {"a<em>b</em>", "a*b*\n\n"},
      {"<!--c-->", "<!--c-->\n\n"}, {"<p></p>", "<p></p>\n\n"},
      {"<ul>\n</ul>", "<ul>\n</ul>\n\n"},  // a list without items stays HTML
      {"<h2 class=\"a b\" data-k=\"v\">T</h2>", "## T {.a .b data-k=\"v\"}\n\n"},
      {"<h2>a\n<em>b\nc</em><br>d<p>e</p></h2>", "## a *b c*<br>d<p>e</p>\n\n"},  // one line
      {"<p>a</p><hr id=\"r\">", "a\n\n---\n{: #r}\n\n"},
      {"<blockquote><p>a</p><p>b</p></blockquote>", "> a\n>\n> b\n\n"},
      {"<blockquote></blockquote>", ">\n\n"},
      {"<div class=\"x\"><p>a</p></div>", "::: {.x}\na\n\n:::\n\n"},
      {"<div><p>:::</p></div>", ":::: {}\n\\:::\n\n::::\n\n"}, {"<div></div>", "::: {}\n\n:::\n\n"},
      {"<p id=\"a b\">t</p>", "t\n{: #a\\ b}\n\n"},
      // The reader trims a group's body: a space ending an id has no md form.
      {"<h2 id=\"a \">t</h2>", "<h2 id=\"a \">t</h2>\n\n"},
      {"<p id=\"a.b\" class=\"c#d\">t</p>", "t\n{: #a\\.b .c\\#d}\n\n"},
      {"<p title='say \"x\"'>t</p>", "t\n{: title=\"say \\\"x\\\"\"}\n\n"},
      {"<dl><dt>t</dt></dl>", "<dl><dt>t</dt></dl>\n\n"}, {"<b>x</b>", "<b>x</b>\n\n"},
      {"<p>a <b>x</b></p>", "a <b>x</b>\n\n"},
  });
}

TEST(Inlines, ElementsAndTargets) {
  expect_cases({
      {"<p>a*b_c</p>", "a\\*b\\_c\n\n"}, {"<p>a &amp; b</p>", "a & b\n\n"},
      {"<p><a href=\"a b(c)\" title='t \"q\"'>x</a></p>", "[x](a%20b\\(c\\) \"t \\\"q\\\"\")\n\n"},
      {"<p><a href=\"u\" id=\"i\">x</a></p>", "[x](u){#i}\n\n"},
      // Targets take the percent-encoding the reader's output gives them, or a second round differs.
      {"<p><a href=\"`\\\xC3\xA9\">x</a> <a href=\"http://x/`\">http://x/`</a></p>", "[x](%60%5C%C3%A9) [http\\://x/\\`](http://x/%60)\n\n"},
      {"<p>a<a href=\"#fn-1\" class=\"footnote-backref\">x</a></p>", "a\n\n"},
      // A "{" before a back-link stands at its text's end, as it will on reading back.
      {"<p>a {<a href=\"#fn-1\" class=\"footnote-backref\">x</a></p>", "a {\n\n"},
      {"{<!-- c -->x", "\\{<!-- c -->x\n\n"},
      // The notes section moves to the end, leaving its white space behind the "{".
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p>{\n<section class=\"footnotes\"><ol><li id=\"fn-a\"><p>x</p></li></ol></section>\n", "[^a]\n\n{\n\n[^a]: x\n\n"},
      {"<p><a name=\"n\">x</a></p>", "<a name=\"n\">x</a>\n\n"},
      {"<p><img src=\"i.png\" alt=\"A*\" title=\"T\"></p>", "![A\\*](i.png \"T\")\n\n"},
      // An empty title, which the quoted form would lose, goes first among the attributes.
      {"<p><a href=\"u\" title=\"\" id=\"i\">x</a> <img src=\"i\" alt=\"a\" title=\"\" k=\"v\"></p>",
       "[x](u){#i title=\"\"} ![a](i){title=\"\" k=\"v\"}\n\n"},
      // A title's line ends are references (a line of its own would lose its indent or open a
      // block), and a reference's "&" is escaped.
      {"<p><a href=\"u\" title=\"a\n# b &amp;amp; c\">x</a></p>", "[x](u \"a&#10;# b \\&amp; c\")\n\n"},
      {"<p><img alt=\"x\"></p>", "<img alt=\"x\">\n\n"},
      // An empty target before a title is "<>", else the title would read back as the target.
      {"<p><a href=\"\" title=\"t\">x</a> <img src=\"\" alt=\"a\" title=\"u\"></p>", "[x](<> \"t\") ![a](<> \"u\")\n\n"}, {"<p><img src=\"u\" alt=\"a\nb\"></p>", "![a&#10;b](u)\n\n"}, {"<p><code>a`b</code></p>", "``a`b``\n\n"},
      {"<p><code>`x</code></p>", "`` `x ``\n\n"},
      // A line end or tab in a code span would read back as a space: the tags stay, the text is md.
      {"<p>x <code>a\nb *c*</code></p>", "x <code>a\nb \\*c\\*</code>\n\n"},
      {"<p><code>a\tb</code></p>", "<code>a\tb</code>\n\n"},  // and a tab
      {"<p><span class=\"math inline\">x^2</span></p>", "\\(x^2\\)\n\n"},
      // A line of TeX that would open a block keeps the tags.
      {"<p>a <span class=\"math inline\">x\n- y</span></p>", "a <span class=\"math inline\">x\n\\- y</span>\n\n"},
      {"<p>a <span class=\"math inline\">x\n\\y</span></p>", "a \\(x\n\\y\\)\n\n"},
      // TeX that would end the math early keeps its tags.
      {"<p><span class=\"math inline\">a\\</span></p>", "<span class=\"math inline\">a\\\\</span>\n\n"},
      {"<p><span class=\"c\">t</span></p>", "[t]{.c}\n\n"},
      // A link inside would make the reader take the span's "[" as text.
      {"<p><span class=\"c\">t <b><a href=\"u\">x</a></b></span></p>", "<span class=\"c\">t <b>[x](u)</b></span>\n\n"},
      {"<p><sup>2</sup> <sub>i</sub> <sup><em>x</em></sup></p>", "^2^ ~i~ ^x^\n\n"},
      // "^[" would open an inline note: such text keeps the tags.
      {"<p><sup>[1](u)</sup> <sub>[i]</sub></p>", "<sup>&#91;1\\](u)</sup> ~[i]~\n\n"},
      {"<p><em class=\"k\">x</em></p>", "*x*{.k}\n\n"},
      {"<p><sup id=\"fnref-a\"><a href=\"#fn-a%20b\" class=\"footnote-ref\">1</a></sup></p>"
       "<section class=\"footnotes\"><ol><li id=\"fn-a%20b\">n</li></ol></section>", "[^a b]\n\n[^a b]: n\n\n"},
      {"<p><sup><a href=\"#fn-a%4\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a%4\">n</li></ol></section>",
       "[^a%4]\n\n[^a%4]: n\n\n"},
      // A reference whose note is not written as a definition would read back as text.
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p>", "<sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup>\n\n"},
      {"<p><em>a</em>\n<em>b</em></p>", "*a*\n*b*\n\n"},
      {"<p><script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">x</script></p>", "`x`{=tex}\n\n"},
      {"<p><a href=\"http://x.org\">http://x.org</a></p>", "<http://x.org>\n\n"},
  });
}

// Cross-references take the reader's bracket forms; where the brackets would not read back, the
// link keeps its md link form and a group its HTML tags.
TEST(Inlines, CrossReferences) {
  expect_cases({
      // The reader adds "ref" to a link's "data-ref": both stay HTML.
      {"<p><a href=\"#e\" data-ref=\"t\" ref=\"t\">x</a></p>", "<a href=\"#e\" data-ref=\"t\" ref=\"t\">x</a>\n\n"},
      {"<p><a href=\"#fig-1\" data-ref=\"\"></a></p>", "[@fig-1]\n\n"},
      {"<p>x <a href=\"#a\" data-ref=\"bare\">see</a>.</p>", "x [see -@a].\n\n"},
      {"<p><span data-refs=\"\"><a href=\"#a\" data-ref=\"\"></a><a href=\"#b\" data-ref=\"bare\"></a></span></p>", "[@a; -@b]\n\n"},
      {"<p><a href=\"#a\" data-ref=\"\">x;y</a></p>", "[x;y](#a){data-ref=\"\"}\n\n"},
      {"<p><a href=\"#a\" data-ref=\"page\"></a></p>", "[](#a){data-ref=\"page\"}\n\n"},
      // An attribute the writer drops cannot keep a reference from its bracket form.
      {"<p><a href=\"#a\" data-ref=\"\" \xC3\xBF=\"\"></a> <span data-refs=\"\" \xC3\xBF><a href=\"#a\" data-ref=\"\"></a><a href=\"#b\" data-ref=\"\"></a></span></p>",
       "[@a] [@a; @b]\n\n"},
      {"<p><span data-refs=\"\"><a href=\"#a\" data-ref=\"\"></a><a href=\"#b\" data-ref=\"bare\"></a></span>(u)</p>", "<span data-refs=\"\">[](#a){data-ref=\"\"}[-@b]</span>(u)\n\n"},
      // A block after the link ends the paragraph: nothing reads on after the bracket.
      {"<a href=\"#s\" data-ref=\"\"></a><a><p></p></a>", "[@s]\n\n<p></p>\n\n"},
  });
}

// Faults of the plain rules, each of which changed the document on the next read.
TEST(Inlines, WhatWouldChangeMeaningOnReRead) {
  expect_cases({
      {"<p>a<br />\nb</p>", "a\\\nb\n\n"},
      {"<p>&amp;amp; &amp;#1; x&amp;y</p>", "\\&amp; \\&\\#1; x&y\n\n"},
      {"<p>{.c} {a</p>", "\\{.c} {a\n\n"}, {"<p><code>x</code>{=<em>y</em>}</p>", "`x`\\{\\=*y*}\n\n"}, {"<p>a\n: b\n::: c</p>", "a\n\\: b\n\\::: c\n\n"},
      {"<p>1. x\n2) y 3. z</p>", "1\\. x\n2\\) y 3. z\n\n"},
      {"<p>a\n-\n- x\n---\n----</p>", "a\n\\-\n\\- x\n\\---\n\\----\n\n"},
      {"<p>--</p>", "\\--\n\n"}, {"<p>a - b</p>", "a - b\n\n"},
      // The reader drops white space that opens a line.
      {"<p>\u00A0a\n   \t\u00A0b \u00A0c</p>", "&#160;a\n&#160;b \u00A0c\n\n"},
      {"<p>!<a href=\"u\">x</a> a!</p>", "\\![x](u) a!\n\n"},
      {"<p><sup><a href=\"#fn-n\" class=\"footnote-ref\">1</a></sup>: x</p><section class=\"footnotes\"><ol><li id=\"fn-n\">n</li></ol></section>",
       "[^n]\\: x\n\n[^n]: n\n\n"},
      // A label may hold "]": "x]:" after the reference would end one too.
      {"<p><sup><a href=\"#fn-n\" class=\"footnote-ref\">1</a></sup>x]:y</p><section class=\"footnotes\"><ol><li id=\"fn-n\">n</li></ol></section>",
       "[^n]x\\]\\:y\n\n[^n]: n\n\n"},
      {"<p>[x]</p>", "&#91;x\\]\n\n"},
      {"<p><sup>a b</sup><sub></sub></p>", "<sup>a b</sup><sub></sub>\n\n"},
      {"<p><code>  </code><code></code></p>", "`  `<code></code>\n\n"},
      {"<p><span>t</span> <b>*</b></p>", "<span>t</span> <b>\\*</b>\n\n"},
      {"<p><em>a</em><em>b</em> <em> c</em> <em><em>d</em>e</em></p>", "*a*<em>b</em> <em> c</em> <em>*d*e</em>\n\n"},
      {"<p><strong>a <em>b</em> c</strong> <em>a<em>b</em>c</em></p>", "**a *b* c** *a<em>b</em>c*\n\n"},
  });
}

TEST(Lists, MarkersItemsAndAttributes) {
  expect_cases({
      // Ordered lists the reader would turn back into paragraphs stay HTML: a single item, or a
      // start that continues no list before it in the same run of blocks.
      {"<ol start=\"3\"><li>a</li><li>b</li></ol>", "<ol start=\"3\"><li>a</li><li>b</li></ol>\n\n"},
      {"<ol><li>a</li><li>b</li></ol><p>x</p><ol start=\"3\"><li>c\nd</li></ol><h2>h</h2><ol start=\"4\"><li>e</li></ol>",
       "1. a\n2. b\n\nx\n\n3. c\n   d\n\n## h\n\n<ol start=\"4\"><li>e</li></ol>\n\n"},
      {"<ol><li>a</li><li>b</li></ol><ol><li>c</li><li>d</li></ol>", "1. a\n2. b\n\n^\n\n1. c\n2. d\n\n"},
      {"<ol start=\"x\"><li>a</li></ol><hr><ol start=\"-2\"><li>a</li></ol>", "<ol start=\"x\"><li>a</li></ol>\n\n---\n\n<ol start=\"-2\"><li>a</li></ol>\n\n"},
      {"<ol start=\"x\"><li>a</li><li>b</li></ol><hr><ol start=\" 3\"><li>a</li><li>b</li></ol>", "1. a\n2. b\n\n---\n\n1. a\n2. b\n\n"},
      // Loose lists keep their blank lines; a list after one of its kind takes the other marker.
      {"<ul><li><p>a</p></li><li><p>b</p></li></ul>", "- a\n\n- b\n\n"},
      {"<ul><li>a</li></ul><ul><li>b</li></ul><ul><li>c</li></ul>", "- a\n\n* b\n\n- c\n\n"},
      {"<ol><li>a</li><li>b</li></ol><ol start=\"+3\"><li>c</li></ol>", "1. a\n2. b\n\n^\n\n3. c\n\n"},
      {"<ol><li>a</li><li>b</li></ol><ol start=\"2\"><li>a\nb</li></ol>", "1. a\n2. b\n\n^\n\n2. a\n   b\n\n"},
      {"<ul><li></li></ul><ol><li></li><li></li></ol>", "-\n\n1.\n2.\n\n"},
      {"<ul><li><p>a</p><p>b</p></li></ul>", "- a\n  \n  b\n\n"},
      {"<ul><li>a\n<ul>\n<li>b</li>\n</ul>\n</li></ul>", "- a\n  - b\n\n"},
      {"<ul><li>a\n<ol start=\"2\">\n<li>b</li>\n</ol>\n</li></ul>", "- a\n  \n  <ol start=\"2\">\n  <li>b</li>\n  </ol>\n\n"},
      {"<ul><li>a\nb</li></ul>", "- a\n  b\n\n"},
      // A tight item's text and the blocks that may interrupt it stay on adjacent lines.
      {"<ul><li>a\n<blockquote>\n<p>q</p>\n</blockquote>\nc</li></ul>", "- a\n  > q\n  c\n\n"},
      {"<ul><li>a<blockquote><p>b</p></blockquote>\n\n<pre><code>c\n</code></pre></li><li>d</li></ul>", "- a\n  > b\n  ```\n  c\n  ```\n- d\n\n"},
      {"<ul><li>a\n<hr>\nc</li></ul><p>d</p><hr>", "- a\n  ---\n  c\n\nd\n\n---\n\n"},
      // A blank line inside one item makes the whole list loose on reading: every item is
      // written loose then, and so is an item that holds paragraphs only through an inline
      // element whose tags go.
      {"<ul><li>a<table><tr><td>1</td></tr></table></li><li>x</li></ul>", "- a\n  \n  <table><tbody><tr><td>1</td></tr></tbody></table>\n\n- x\n\n"},
      {"<ul><li><blockquote>a</blockquote><blockquote>b</blockquote></li><li>x</li></ul>", "- > a\n  \n  > b\n\n- x\n\n"},
      {"<ul><li><p>a</p></li><li>c<blockquote>d</blockquote></li></ul>", "- a\n\n- c\n  \n  > d\n\n"},
      {"<ul><li><em><p>x</p></em></li><li>y</li></ul>", "- x\n\n- y\n\n"},
      {"<ul><li><em>a<p>x</p></em></li><li>y</li></ul>", "- a\n  \n  x\n\n- y\n\n"},
      {"<ul><li><h1>a</h1><s><hr></s></li></ul>", "- # a\n  ---\n\n"},  // a wrapper's tags go
      // An item a table fostered into another keeps its content only: its tags would close the
      // other item. (A div between does not close one.)
      {"<ul><li><table><li>a</li></table></li></ul>", "- a\n  \n  <table></table>\n\n"},
      {"<dl><dt>x<table><dd>y</dd></table></dt></dl>", "<dl><dt>xy<table></table></dt></dl>\n\n"},
      {"<dl><div><dt>a</dt><dd>b</dd></div></dl>", "<dl><div><dt>a</dt><dd>b</dd></div></dl>\n\n"},
      {"<h1>a<table><h2>b</h2></table></h1>", "# ab<table></table>\n\n"},
      {"<h1>a<b$><h3>c</h3></b$></h1>", "# ac\n\n"},
      {"<ul class=\"task-list\"><li><input type=\"checkbox\" disabled=\"disabled\" " "checked=\"checked\" /> done</li></ul>", "- [x] done\n\n"},
      // An empty item's box keeps the space after it, without which it reads back as text.
      {"<ul><li><input type=\"checkbox\"> done</li><li><input type=\"checkbox\"></li></ul>", "- [ ] done\n- [ ] \n\n"},
      {"<ul><li> <input type=\"checkbox\"></li></ul>", "- <input type=\"checkbox\">\n\n"},
      // An empty task item keeps the space after its box through the trimming of enclosing lines.
      {"<ul><li><input type=\"checkbox\"><ul><li><input type=\"checkbox\"></li></ul></li></ul>", "- [ ] - [ ] \n\n"},
      {"<blockquote><ul><li><input type=\"checkbox\"></li></ul></blockquote>", "> - [ ] \n\n"},
      {"<ul><li id=\"i\">a</li><li class=\"c\"><input type=\"checkbox\"> b</li></ul>", "- {: #i}\n  a\n- {: .c} [ ] b\n\n"},
      {"<ul class=\"task-list x\"><li>a</li></ul>", "- a\n{: .x}\n\n"},
      {"<ol id=\"l\"><li>a</li><li>b</li></ol>", "1. a\n2. b\n{: #l}\n\n"},
      {"<ul> <div>x</div><!--c--><li>a</li></ul>", "- a\n\n"},
      // Item text opened by a comment is an HTML block's line: what follows stays as HTML.
      {"<ul><li>\n<!-- c -->$ &lt;\n</li><li>a<!-- c -->$</li></ul>", "- <!-- c -->$ &lt;\n- a<!-- c -->\\$\n\n"},
      {"<ul><li>- x</li><li>1. y</li></ul>", "- \\- x\n- 1\\. y\n\n"},
      // Inline HTML elements keep a tight item's text on one line.
      {"<ul><li>a<kbd>k</kbd></li><li>x <b>y</b> <i>z</i></li></ul>", "- a<kbd>k</kbd>\n- x <b>y</b> <i>z</i>\n\n"},
  });
}

TEST(Tables, PipeTables) {
  const std::string head = "<thead><tr><th>a</th><th align=\"right\">b</th></tr></thead>";
  const std::string body = "<tbody><tr><td>1</td><td align=\"right\">2</td></tr></tbody>";
  EXPECT_EQ(vedavi_to_md("<table>" + head + body + "</table>"),
            "| a | b |\n|--- |---: |\n| 1 | 2 |\n\n");
  EXPECT_EQ(vedavi_to_md("<table id=\"t\"><caption>Cap</caption>" + head + body + "</table>"),
            "| a | b |\n|--- |---: |\n| 1 | 2 |\n: Cap\n{: #t}\n\n");
  EXPECT_EQ(vedavi_to_md("<table>" + head + "<tbody></tbody></table>"), "| a | b |\n|--- |---: |\n\n");
  // A header alone is what a table of a header and a delimiter row reads as.
  EXPECT_EQ(vedavi_to_md("<table>" + head + "</table>"), "| a | b |\n|--- |---: |\n\n");
  EXPECT_EQ(vedavi_to_md("<table><caption>Cap</caption>" + head + "</table>"),
            "| a | b |\n|--- |---: |\n: Cap\n\n");
  // A group ending the caption would read back as the table's: such a table stays HTML.
  EXPECT_EQ(vedavi_to_md("<table><caption>C <em class=\"k\">x</em></caption>" + head + "</table>").substr(0, 7),
            "<table>");
  EXPECT_EQ(vedavi_to_md("<table><thead><tr><th></th></tr></thead><tbody><tr><td>a|b</td></tr>"
                         "<tr><td><code>x|y</code></td></tr></tbody></table>"),
            "|  |\n|--- |\n| a\\|b |\n| `x\\|y` |\n\n");
  // A pipe anywhere else in a cell (a target, a title, an attribute value, math, raw HTML) is
  // escaped too: the reader cuts the row at every bare one, and takes "\\|" back as "|".
  EXPECT_EQ(vedavi_to_md("<table><thead><tr><th><a href=\"a|b\" title=\"t|\">x</a></th>"
                         "<th><em data-k=\"|\">y</em> <span class=\"math inline\">a|b</span> <b title=\"|\">z</b></th>"
                         "</tr></thead></table>"),
            "| [x](a\\|b \"t\\|\") | *y*{data-k=\"\\|\"} \\(a\\|b\\) <b title=\"\\|\">z</b> |\n|--- |--- |\n\n");
  // The reader trims a cell: spaces at its ends are not written, other white space is kept.
  EXPECT_EQ(vedavi_to_md("<table><thead><tr><th> a </th><th>  </th></tr></thead><tbody><tr><td>\t x \t</td>"
                         "<td> <b>y</b> </td></tr></tbody></table>"),
            "| a |  |\n|--- |--- |\n| &#9; x &#9; | <b>y</b> |\n\n");
  for (const std::string& refused : {
           "<table>" + head + "<tfoot></tfoot></table>",
           "<table>" + head + body + "<tfoot></tfoot></table>",
           "<table>" + head + body + body + "</table>",
           "<table>" + head + head + body + "</table>",
           "<table><caption>a</caption><caption>b</caption>" + head + body + "</table>",
           "<table>" + head + "<tbody><tr><td>1</td></tr></tbody></table>",
           "<table>" + head + "<tbody><tr><td><p>1</p></td><td>2</td></tr></tbody></table>",
           "<table>" + head + "<tbody><tr><td class=\"c\">1</td><td>2</td></tr></tbody></table>",
           "<table>" + head + "<tbody><tr><td align=\"left\">1</td><td>2</td></tr>"
               "<tr><td align=\"right\">1</td><td>2</td></tr></tbody></table>",
           "<table>" + head + "<tbody><tr><td>1</td> <td>2</td></tr></tbody></table>",
           // "\\|" that a code span or an attribute writes as it stands would read back as "|".
           "<table>" + head + "<tbody><tr><td><code>a\\|b</code></td><td>2</td></tr></tbody></table>",
           "<table>" + head + "<tbody><tr><td><a href=\"a\\|b\">1</a></td><td>2</td></tr></tbody></table>",
       }) {
    const std::string md = vedavi_to_md(refused);
    EXPECT_EQ(md.substr(0, 7), "<table>") << refused;
  }
}

TEST(Constructs, CodeMathFiguresPanelsTemplates) {
  expect_cases({
      {"<pre><code class=\"language-py\">x = 1\n</code></pre>", "```py\nx = 1\n```\n\n"},
      // After the language, a name starting with ":" takes no space of its own: a second round would drop it.
      {"<pre class=\"py\" :a=\"\"><code class=\"language-py\">x\n</code></pre>", "```{.py :a=\"\"}\nx\n```\n\n"},
      {"<pre id=\"p\" class=\"js\"><code class=\"language-js x\">a</code></pre>", "```{.js #p .x}\na\n```\n\n"},
      // The braced form would add the language to the pre's classes: without it there, HTML.
      {"<pre id=\"p\"><code class=\"language-js\">a</code></pre>", "<pre id=\"p\"><code class=\"language-js\">a</code></pre>\n\n"},
      // Without a language the reader makes the first class one: it must be one md can spell.
      {"<pre><code class=\"{\">x</code></pre>", "<pre><code class=\"{\">x</code></pre>\n\n"},
      {"<pre class=\"k\"><code>a</code></pre>", "```{.k}\na\n```\n\n"},
      {"<pre><code>```</code></pre>", "````\n```\n````\n\n"},
      {"<pre><code c=\"`\">~~~\n</code></pre>", "~~~~{c=\"\\`\"}\n~~~\n~~~~\n\n"},
      {"<pre><code$><code>x\n</code></code$></pre>", "```\nx\n```\n\n"},
      {"<p><code><b$>x</b$></code></p>", "`x`\n\n"},
      {"<pre><code></code></pre>", "```\n```\n\n"}, {"<pre></pre>", "<pre></pre>\n\n"},
      // The reader drops a line feed right after these start tags: a leading one is written twice.
      {"<pre>\n\na</pre><div><pre>\n\nb</pre></div>", "<pre>\n\na</pre>\n\n::: {}\n<pre>\n\nb</pre>\n\n:::\n\n"},
      {"<div class=\"math display\" id=\"m\">x</div>", "\\[\nx\n\\]\n{: #m}\n\n"},
      {"<figure><img src=\"a.png\" alt=\"A\"><figcaption>Cap <em>x</em></figcaption></figure>", "![Cap *x*](a.png)\n\n"},
      {"<figure><img src=\"a.png\" alt=\"A\"></figure>", "![A](a.png)\n\n"},
      {"<figure id=\"f\"><img src=\"a.png\"></figure>", "![](a.png)\n{: #f}\n\n"},
      {"<figure><img alt=\"a\"></figure>", "<figure><img alt=\"a\"></figure>\n\n"},
      {"<div data-panel=\"note\" data-callout=\"tip\"><header>Title</header><p>x</p></div>", "::: {data-panel=\"note\" data-callout=\"tip\"}\n## Title\n\nx\n\n:::\n\n"},
      {"<div data-panel=\"\"><p>x</p></div>", "::: {data-panel=\"\"}\nx\n\n:::\n\n"},
      // Loose text in a panel is a paragraph run of its own: an empty paragraph after it stays a block.
      {"<div data-panel=\"\">x<p></p>y</div>", "::: {data-panel=\"\"}\nx\n\n<p></p>\n\ny\n\n:::\n\n"},
      {"<p><template data-op=\"mustache:value\"></template></p>", "{{value}}\n\n"},
      {"<p><template data-op=\"x:\" data-name=\"a}}b\"></template></p>", "{{empty}}\n\n"},
      {"<template data-op=\"x:section\" data-name=\"n\"><div data-content=\"\"><p>t</p></div>" "</template>", "{{#n}}\nt\n{{/n}}\n\n"},
      {"<template data-op=\"x:s\" data-name=\"n\"><div data-content=\"\">t</div></template>", "{{#n}}t{{/n}}\n\n"},
      {"<template data-op=\"x:s\" data-name=\"n\"><div data-arg>t</div></template>", "{{#n}}t{{/n}}\n\n"},
      {"<template data-op=\"x:s\">t</template>", "<template data-op=\"x:s\">t</template>\n\n"},
      // A named lone argument and arguments beside the content have no md form.
      {"<template data-op=\"x:s\"><div data-arg data-name=\"k\">t</div></template>", "<template data-op=\"x:s\"><div data-arg=\"\" data-name=\"k\">t</div></template>\n\n"},
  });
}

TEST(Notes, FootnotesAndPayloads) {
  expect_cases({
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-a\">\n<p>Note <a " "href=\"#fnref-a\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n" "</section>", "[^a]\n\n[^a]: Note\n\n"},
      // A break before the back-link ends the note's text: a backslash there would read as text.
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p>k<br> <a href=\"#fnref-a\" class=\"footnote-backref\">↩</a></p></li></ol></section>", "[^a]\n\n[^a]: k<br>\n\n"},
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p>p1</p><p>p2</p></li></ol></section>", "[^a]\n\n[^a]: p1\n    \n    p2\n\n"},
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"></li></ol></section>", "[^a]\n\n[^a]:\n\n"},
      {"<p><sup><a href=\"#fn-x%28y%29\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-x%28y%29\">n</li></ol></section>", "[^x(y)]\n\n[^x(y)]: n\n\n"},
      {"<section class=\"footnotes\"><p>x</p></section>", "<section class=\"footnotes\"><p>x</p></section>\n\n"},
      {"<section><ol><li id=\"fn-a\">n</li></ol></section>", "<section><ol><li id=\"fn-a\">n</li></ol></section>\n\n"},
      {"<section class=\"footnotes\"><ol></ol></section>", ""},
      // An unclosed code element holding the back-link, and text the moved section leaves before white space.
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p>n<code> <a href=\"#fnref-a\" class=\"footnote-backref\">↩</a></p></li></ol></section>", "[^a]\n\n[^a]: n` `\n\n"},
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p>n</p><div><p>d</p> <a href=\"#fnref-a\" class=\"footnote-backref\">↩</a></div></li></ol></section>", "[^a]\n\n[^a]: n\n    \n    ::: {}\n    d\n    \n    :::\n\n"},
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p><em>x <a href=\"#fnref-a\" class=\"footnote-backref\">↩</a></em></p></li></ol></section>", "[^a]\n\n[^a]: <em>x </em>\n\n"},
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p>x\n\n<section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section>\n", "[^a]\n\nx\n\n[^a]: n\n\n"},
      // The reader puts the notes after every other block: so does the writer.
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section>\n<b>x</b>", "[^a]\n\n<b>x</b>\n\n[^a]: n\n\n"},
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><div><section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section></div>", "[^a]\n\n::: {}\n\n:::\n\n[^a]: n\n\n"},
      // An empty paragraph ending a note would take the back-link on the way back, and go with it.
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p>a</p><p></p>\n</li></ol></section>", "[^a]\n\n[^a]: a\n\n"},
      // So is the empty one left ending it then, past a back-link: as HTML it would take the back-link.
      {"<p><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></p><section class=\"footnotes\"><ol><li id=\"fn-a\"><p>a</p><p>\t</p> <a href=\"#fnref-a\" class=\"footnote-backref\">↩</a><p></p></li></ol></section>", "[^a]\n\n[^a]: a\n\n"},
      // A back-link outside any note writes nothing, and opens no run whose blank line would go on reading back.
      {"\n<a href=\"#fnref-x\" class=\"footnote-backref\">↩</a>\n", ""},
      // A reference kept as HTML (in a list of definitions) is none: its note stays HTML too.
      {"<dl><dt>t</dt><dd><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></dd></dl><section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section>",
       "<dl><dt>t</dt><dd><sup><a href=\"#fn-a\" class=\"footnote-ref\">1</a></sup></dd></dl>\n\n<section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section>\n\n"},
      // A note no reference points to: the reader would drop its definition.
      {"<section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section>", "<section class=\"footnotes\"><ol><li id=\"fn-a\">n</li></ol></section>\n\n"},
      // One item without a note id: the whole section stays HTML, no note written twice.
      {"<section class=\"footnotes\"><ol><li id=\"fn-a\">n</li><li>m</li></ol></section>", "<section class=\"footnotes\"><ol><li id=\"fn-a\">n</li><li>m</li></ol></section>\n\n"},
      {"<script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">```</script>", "````{=tex}\n```\n````\n\n"},
      {"<script type=\"application/vnd.vedavi.raw\" data-format=\"t\" " "data-encoding=\"base64\">eA==</script>", "```{=t}\nx\n```\n\n"},
      {"<script type=\"application/vnd.vedavi.raw\" data-format=\"t\" " "data-encoding=\"base64\">e</script>", "```{=html}\n<script type=\"application/vnd.vedavi.raw\" data-format=\"t\" " "data-encoding=\"base64\">e</script>\n```\n\n"},
      {"<script type=\"application/vnd.vedavi.raw\">x</script>", "```{=html}\n<script type=\"application/vnd.vedavi.raw\">x</script>\n```\n\n"},
      {"<script type=\"text/mermaid-block\">\ngraph</script>", "```{mermaid}\ngraph\n```\n\n"},
      {"<script type=\"text/-block\">x</script>", "```{}\nx\n```\n\n"},
      {"<script type=\"text/plain\">x</script>", "```{=html}\n<script type=\"text/plain\">x</script>\n```\n\n"},
  });
}

// What would read back as something else, by fault class: each row's md reads back as its HTML.
TEST(ReadsBack, TextTheReaderWouldTakeOtherwise) {
  expect_cases({
      // Bare links: the scanner stops at an escaped ":", "." or "@".
      {"<p>a@b.c</p>", "a\\@b.c\n\n"}, {"<p>www.a.org</p>", "www\\.a.org\n\n"},
      {"<p>https://a.org/x_y</p>", "https\\://a.org/x\\_y\n\n"},
      // A title's parentheses: the reader balances them when it looks for the link's end.
      {"<p><a href=\"/u\" title=\"ti)le\">x</a></p>", "[x](/u \"ti\\)le\")\n\n"},
      // White space the reader drops at a block's end or a line's start, and blank lines.
      {"<p>a\u00A0</p>", "a&#160;\n\n"}, {"<h1>a\u2003</h1>", "# a&#8195;\n\n"},
      {"<ul><li>a\u00A0</li></ul>", "- a&#160;\n\n"}, {"<p>a\fb\f</p>", "a\fb&#12;\n\n"},
      {"<p>foo\n\nbar</p>", "foo\n&#10;bar\n\n"}, {"<p>\tfoo</p>", "&#9;foo\n\n"},
      {"<p>a  \nb</p>", "a\nb\n\n"},
      // The HTML parser reads the carriage return of the reader's HTML as a line end, "\r\n" as one.
      {"<p>a&#13;b&#13;\nc</p>", "a\nb\nc\n\n"}, {"<p><em :b=\"1\">a</em></p>", "*a*{ :b=\"1\"}\n\n"},
      {"<table><thead><tr><th>\u00A0a</th><th>\tb</th></tr></thead><tbody><tr><td>c</td><td>d</td></tr></tbody></table>",
       "| &#160;a | &#9;b |\n|--- |--- |\n| c | d |\n\n"},
      // Code: a language read as attributes, and spans whose fences would join or open a block.
      {"<pre><code class=\"language-#^\"></code></pre>", "```\\#^\n```\n\n"},
      {"<pre id=\"[^1]:\"><code></code></pre>", "```{#[\\^1]:}\n```\n\n"},
      {"<p><code>a</code><code>b</code></p>", "`a`<code>b</code>\n\n"},
      {"<h1><code>t\n</code></h1>", "# ` t  `\n\n"},  // a heading's line end is a space
      {"<p>x</p><p><code>```</code></p>", "x\n\n<code>\\`\\`\\`</code>\n\n"},
      {"<hr>", "\n---\n\n"},  // "---" opening the document would open frontmatter
      {"<h2>a <span class=\"c\">x</span></h2>", "## a [x]{.c} #\n\n"},
      {"<h2>\u3000a</h2><h3>\f\f</h3>", "## &#12288;a\n\n### &#12;&#12;\n\n"},  // trimmed by the reader
      // A "{" right after an element, closed later in the paragraph, would open its attributes.
      {"<p><em>a<code>c</code>{=o</em>\nb}</p>", "*a`c`\\{\\=o*\nb}\n\n"},
      // A "{" whose "}" comes from the raw payload after it would open attributes of the code.
      {"<p><code>c</code>{=t<script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">x</script></p>",
       "`c`\\{\\=t`x`{=tex}\n\n"},
  });
}

TEST(ReadsBack, TightItemsStayTight) {
  expect_cases({
      {"<ul><li>a<ul><li>b</li></ul><hr></li></ul>", "- a\n  - b\n  ---\n\n"},
      {"<ul><li>a<ul><li>b</li></ul><pre><code>x\n</code></pre></li></ul>", "- a\n  - b\n  ```\n  x\n  ```\n\n"},
      {"<ul><li><ul><li></li></ul></li></ul>", "-\n  -\n\n"},
      // A bullet list right after another, in the other marker, even with an empty first item.
      {"<ul><li>r<ul><li>z</li></ul><ul><li></li></ul></li></ul>", "- r\n  - z\n  *\n\n"},
      // A fenced div may follow the item's text directly, and a block its closing fence.
      // A list inside an element the parser reopened reads back as a sibling of the lists before.
      {"<ul><li>a<b></li></ul>\n<ul><li>c</li></ul><ul><li>d</li></ul>", "- a<b></b>\n\n* c\n\n- d\n\n"},
      {"<ol><li>a</li><li>b<b></li></ol>\n<ol start=\"3\"><li>c</li></ol>", "1. a\n2. b<b></b>\n\n^\n\n3. c\n\n"},
      {"<ul><li>a</li><li>x<div></div></li></ul>", "- a\n- x\n  ::: {}\n  \n  :::\n\n"},
      {"<ul><li>a</li><li><div class=\"c\"><p>y</p></div><hr></li></ul>", "- a\n- ::: {.c}\n  y\n  \n  :::\n  ---\n\n"},
      {"<ul><li>\n   <a href=\"g\">x</a></li><li class=\"r\">y{z}</li></ul>", "- [x](g)\n- {: .r}\n  y\\{z}\n\n"},
      // Custom elements and raw payloads from spans are inline in an item or a cell.
      {"<ul><li>a <x-foo>x</x-foo> b</li><li>c</li></ul>", "- a <x-foo>x</x-foo> b\n- c\n\n"},
      // One opening the item opens an HTML block, which reads its text as it stands.
      {"<ul><li><x-y>&lt; a</x-y> b</li></ul>", "- <x-y>&lt; a</x-y> b\n\n"},
      {"<ul><li><script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">x</script> y</li></ul>", "- `x`{=tex} y\n\n"},
  });
}

// Attributes md cannot say, or whose attribute line the reader takes only between top-level
// blocks, go out as HTML that reads back.
TEST(ReadsBack, Attributes) {
  expect_cases({
      {"<div style=\"a\nb\"><p>x</p></div>", "::: {style=\"a&#10;b\"}\nx\n\n:::\n\n"},
      {"<p id=\"\">t</p>", "t\n{: id=\"\"}\n\n"},
      {"<p x.y=\"1\" _z=\"2\" a\"b=\"3\">t</p>", "t\n{: x.y=\"1\" _z=\"2\"}\n\n"},
      {"<p><em f='p\"*'>a</em></p>", "*a*{f=\"p\\\"\\*\"}\n\n"},
      {"<div><hr class=\"line\"></div>", "::: {}\n<hr class=\"line\">\n\n:::\n\n"},
      {"<blockquote><ul class=\"x\"><li>a</li></ul></blockquote>", "> <ul class=\"x\"><li>a</li></ul>\n\n"},
      {"<div><blockquote class=\"q\"><p>a</p></blockquote></div>",
       "::: {}\n<blockquote class=\"q\" markdown=\"1\">\na\n\n</blockquote>\n\n:::\n\n"},
      {"<figure id=\"f\"><img src=\"a.png\"><figcaption>cap</figcaption></figure>", "![cap](a.png)\n{: #f}\n\n"},
  });
}

// Markup the reader would escape is never written bare: hidden elements go out as a raw HTML
// payload, others by their content; comments opening a run keep its HTML on their line.
TEST(ReadsBack, HtmlTheReaderKeeps) {
  expect_cases({
      {"<p><cite>#</cite>*</p>", "\\#\\*\n\n"}, {"<p>a <small class=\"x\">b</small></p>", "a [b]{.x}\n\n"},
      {"<title>T</title>", "```{=html}\n<title>T</title>\n```\n\n"},
      {"<p>x<svg><circle r=\"1\"/></svg></p>", "x`<svg><circle r=\"1\"></circle></svg>`{=html}\n\n"},
      {"<nav id=\"n\"><p>a</p></nav>", "::: {#n}\na\n\n:::\n\n"},
      {"<dl><dt>a<cite>b</cite></dt><script>x</script></dl>", "<dl><dt>ab</dt></dl>\n\n"},
      {"<div>t<script>x</script>\n\n<b>y</b></div>", "<div>t\n<b>y</b></div>\n\n"},
      {"<p align=\"center\">\n<!-- c -->\n<a href=\"u\">x</a>\n</p>", "<p align=\"center\">\n<!-- c -->\n<a href=\"u\">x</a>\n</p>\n\n"},
      {"<!-- c -->\n <b>x</b>\n<!-- d -->", "<!-- c -->  <b>x</b>\n<!-- d -->\n\n"},
      // A raw block's tag in a comment inside it would be counted by the reader.
      {"<table><!--\n</table>\n--></table>", "<table><!--\n&lt;/table>\n--></table>\n\n"},
      {"<table><!--\n</table\u00e9\n--></table>", "<table><!--\n&lt;/table\u00e9\n--></table>\n\n"},
      // The HTML block ends with the line of the first "-->": a comment going on past it starts a line.
      {"<!-- a --><!--\nb\n-->", "<!-- a -->\n<!--\nb\n-->\n\n"},
      {"<div class=\"c\"><!-- <DIV x -->a</div>", "<div class=\"c\"><!-- &lt;DIV x -->a</div>\n\n"},
      // A custom element opening a paragraph would open an HTML block: the p keeps its tags.
      {"<p><x-y>a</x-y> b</p>", "<p><x-y>a</x-y> b</p>\n\n"},
      // A pre's text opening with a line feed, through an element whose tags go, keeps it.
      {"<pre><font>\nx</font></pre>", "<pre>\n\nx</pre>\n\n"},
      // A comment or template in a run keeps to one line: a line in it could open a block.
      {"<p>/<!--\n<tr\n--></p>", "/<!-- <tr -->\n\n"},
      {"<p>x<template>\n# h\n</template></p>", "x<template> # h </template>\n\n"},
      // An unclosed inline tag the HTML parser reopened around later blocks.
      {"<code><p>b</p></code>", "b\n\n"}, {"<a><em><blockquote><p>x</p></blockquote></em></a>", "> x\n\n"},
      // Only the elements the parser reopens: an icon's drawing in a link is no block.
      {"<p><a href=\"u\"><svg><path d=\"M0\"></path></svg> T</a></p>", "[`<svg><path d=\"M0\"></path></svg>`{=html} T](u)\n\n"}, {"<p><code>b <a href=\"u\">x</a></code></p>", "<code>b [x](u)</code>\n\n"},
      {"<ol><li>a<ol><li>b</li></ol></li></ol>", "<ol><li>a<ol><li>b</li></ol></li></ol>\n\n"},
      // A name with "-" the reader takes no tag for (the HTML parser read `<a-b="">` as one name).
      {"<h2>A<a-b=\"\"> x</a-b=\"\"></h2>", "## A x\n\n"},
      {"<ul><li>a<a-b=\"\">x</a-b=\"\"></li></ul>", "- ax\n\n"},
      {"<p><a-b=\"\"></a-b=\"\"></p>", "<p></p>\n\n"},  // nothing left: an empty paragraph
      {"<p><a-b=\"\"><!----></a-b=\"\"> x</p>", "<p><!----> x</p>\n\n"},
      {"<p><a-b=\"\">x</a-b=\"\"> y</p>", "x y\n\n"},  // no custom element opens it
      // With attributes, a bracketed span; one holding a link would read back as text.
      {"<p><a-b= class=\"k\">a <a href=\"v\">d</a></a-b=></p>", "a [d](v)\n\n"},
      // Taken out of the tree first: what is written around them sees the tree read back.
      {"<p>a <em>b<p<>c</p<></em></p>", "a *bc*\n\n"}, {"<h1>a{b<p~></p~></h1>", "# a{b\n\n"},
  });
}

// Deep trees are walked without native recursion and in time linear in the output.
TEST(Deep, NestedListsQuotesSpansAndReopenedFormatting) {
  constexpr int kDepth = 50000;
  const std::string list_md = vedavi_to_md(test::repeat("<ul><li>", kDepth) + "x");
  EXPECT_NE(list_md.find("- x"), std::string::npos);
  const std::string quote_md = vedavi_to_md(test::repeat("<blockquote>", kDepth) + "x");
  EXPECT_EQ(quote_md.back(), '\n');
  EXPECT_NE(quote_md.find("> > x"), std::string::npos);
  const std::string span_md = vedavi_to_md(test::repeat("<span class=\"c\">", kDepth) + "x");
  EXPECT_EQ(span_md.substr(0, 3), "[[[");
  EXPECT_NE(span_md.find("x]{.c}"), std::string::npos);
  EXPECT_NE(vedavi_to_md(test::repeat("<b><i>x<p>", kDepth)).find("<b><i>x"), std::string::npos);
  EXPECT_EQ(vedavi_to_md(std::string(kDepth, '{') + "}").substr(0, 4), "\\{\\{");
}

// Thousands of classes or attributes on one element are merged at once, not one by one.
TEST(Deep, ManyClassesAndAttributes) {
  constexpr int kCount = 40000;
  std::string classes, attributes;
  for (int i = 0; i < kCount; ++i) {
    classes += " c" + std::to_string(i);
    attributes += " a" + std::to_string(i) + "=\"1\"";
  }
  const std::string class_md = vedavi_to_md("<p class=\"" + classes + " c0\">x</p>");
  EXPECT_EQ(class_md.substr(0, 12), "x\n{: .c0 .c1");
  EXPECT_EQ(class_md.substr(class_md.size() - 11), " .c39999}\n\n");
  const std::string pair_md = vedavi_to_md("<p" + attributes + ">x</p>");
  EXPECT_EQ(pair_md.substr(pair_md.size() - 14), " a39999=\"1\"}\n\n");
}

}  // namespace
}  // namespace vedavi::markdown
