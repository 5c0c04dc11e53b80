// md source to VEDAVI end to end (block parse, inline parse, render), byte exact: the rules that
// only show once the layers meet (attribute order and escaping, list starts, task lists, tables
// with template rows, figures, raw and script blocks, footnote sections and backlinks, limits),
// and the anchors a document lists.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "block/parse.h"
#include "render/anchors.h"
#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using namespace std::string_view_literals;

enum : unsigned { kJinja = 1, kFigures = 2, kBlockDepth0 = 4, kBlockDepth1 = 8, kParenDepth0 = 16 };

struct MdCase {
  const char* name;
  std::string_view md;
  std::string_view html;
  unsigned flags;
};

// The binding's defaults, changed by the case's flags.
Options options_for(unsigned flags) {
  Options o;
  o.math = MathMode::Brackets;
  o.bare_autolinks = true;
  o.frontmatter = true;
  o.implicit_figures = flags & kFigures;
  o.max_block_depth = flags & kBlockDepth0 ? 0 : flags & kBlockDepth1 ? 1 : 128;
  o.max_link_paren_depth = flags & kParenDepth0 ? 0 : 32;
  if (flags & kJinja) o.templates.push_back(test::jinja_delimiter());
  return o;
}

const MdCase kCases[] = {
    {"empty document", "", "", 0},
    {"breaks and strong", "a *b* **c**\\\nd\ne\n", "<p>a <em>b</em> <strong>c</strong><br />\nd\ne</p>\n", 0},
    {"attribute order", "p\n{: #x .a .b k=v}\n", "<p id=\"x\" class=\"a b\" k=\"v\">p</p>\n", 0},
    {"attribute value escaped", "p\n{: k=\"a\\\"<&>\"}\n", "<p k=\"a&quot;&lt;&amp;&gt;\">p</p>\n", 0},
    {"ordered list at 1 has no start", "1. a\n2. b\n", "<ol>\n<li>a</li>\n<li>b</li>\n</ol>\n", 0},
    {"continued ordered list keeps its start", "1. a\n2. b\n\ntext\n\n3. c\n",
     "<ol>\n<li>a</li>\n<li>b</li>\n</ol>\n<p>text</p>\n<ol start=\"3\">\n<li>c</li>\n</ol>\n", 0},
    {"bullet list never has a start", "- a\n", "<ul>\n<li>a</li>\n</ul>\n", 0},
    {"task list item", "- [x] text\n",
     "<ul class=\"task-list\">\n<li><input type=\"checkbox\" disabled=\"disabled\" checked=\"checked\" /> text</li>\n</ul>\n", 0},
    {"task-list class written once", "- [ ] text\n{: .task-list}\n",
     "<ul class=\"task-list\">\n<li><input type=\"checkbox\" disabled=\"disabled\" /> text</li>\n</ul>\n", 0},
    {"tight item with a nested list", "- t\n  - x\n",
     "<ul>\n<li>t\n<ul>\n<li>x</li>\n</ul>\n</li>\n</ul>\n", 0},
    {"loose item", "- text\n\n- b\n", "<ul>\n<li>\n<p>text</p>\n</li>\n<li>\n<p>b</p>\n</li>\n</ul>\n", 0},
    {"code block with language", "```py\na<b\n```\n",
     "<pre><code class=\"language-py\">a&lt;b\n</code></pre>\n", 0},
    {"code block without language", "```\nx\n```\n", "<pre><code>x\n</code></pre>\n", 0},
    {"table tokens before the first row and after the last", "| a |\n|---|\n{{#s}}\n| 1 |\n| 2 |\n{{/s}}\n{{^t}}\n",
     "<table>\n<thead>\n<tr><th>a</th></tr>\n</thead>\n<tbody>\n<template data-op=\"jinja:section\">s</template>\n<tr><td>1</td></tr>\n<tr><td>2</td></tr>\n<template data-op=\"jinja:end\">s</template>\n<template data-op=\"jinja:inverted\">t</template>\n</tbody>\n</table>\n", kJinja},
    {"table with only tokens still has a body", "| a |\n|---|\n{{#s}}\n",
     "<table>\n<thead>\n<tr><th>a</th></tr>\n</thead>\n<tbody>\n<template data-op=\"jinja:section\">s</template>\n</tbody>\n</table>\n", kJinja},
    {"column alignment reaches cells", "| a | b |\n|---|:-:|\n| 1 | 2 |\n",
     "<table colwidths=\"3fr 1fr\">\n<thead>\n<tr><th>a</th><th align=\"center\">b</th></tr>\n</thead>\n<tbody>\n<tr><td>1</td><td align=\"center\">2</td></tr>\n</tbody>\n</table>\n", 0},
    {"figure: empty alt, caption carries the text", "![A cat](c.png)\n",
     "<figure>\n<img src=\"c.png\" alt=\"\" />\n<figcaption>A cat</figcaption>\n</figure>\n", kFigures},
    {"figure without caption", "![](c.png)\n",
     "<figure>\n<img src=\"c.png\" alt=\"\" />\n</figure>\n", kFigures},
    {"raw block with a script closer is escaped", "```{=html}\n<x></SCRIPT>\n```\n",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"html\" data-encoding=\"html\">&lt;x&gt;&lt;/SCRIPT&gt;\n</script>\n", 0},
    {"raw block without comment or script is verbatim", "```{=tex}\nx < y\n```\n",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">x < y\n</script>\n", 0},
    {"script block", "```{dot}\na<!--b\n```\n",
     "<script type=\"text/dot-block\" data-encoding=\"html\">\na&lt;!--b\n</script>\n", 0},
    {"math block is display after its own classes", "$$\nx<1\n$$\n{: .m}\n",
     "<div class=\"m math display\">x&lt;1</div>\n", 0},
    {"unknown template writes its trimmed body", "{{ ! raw text }}\n",
     "<template data-op=\"jinja:unknown\">! raw text</template>\n", kJinja},
    {"section template writes its name", "{{#sec}}\n",
     "<template data-op=\"jinja:section\">sec</template>\n", kJinja},
    {"thematic break", "---\n", "<hr />\n", 0},
    {"panel", "::: {.callout-note #pn}\n## Note {#t}\nx\n:::\n",
     "<div id=\"pn\" data-panel=\"\" data-callout=\"note\" data-disclosure=\"fixed\">\n<header id=\"t\">Note</header>\n<p>x</p>\n</div>\n", 0},
    {"definition list", "Term {#t}\n: def\n", "<dl>\n<dt id=\"t\">Term</dt>\n<dd>def</dd>\n</dl>\n", 0},
    {"text escaped", "a < b & c > d \"q\"\n", "<p>a &lt; b &amp; c &gt; d \"q\"</p>\n", 0},
    {"attribute value escaped", "p\n{: k=\"a < b & c > d \\\"q\\\"\"}\n",
     "<p k=\"a &lt; b &amp; c &gt; d &quot;q&quot;\">p</p>\n", 0},
    {"link: href, title, then attributes", "[x](<a b\\<c\\>> \"T\\\"x\"){.k}\n",
     "<p><a href=\"a%20b%3Cc%3E\" title=\"T&quot;x\" class=\"k\">x</a></p>\n", 0},
    {"url: ampersand, existing escape, non-ASCII", "[x](a&b%41\xC3\xBC)\n",
     "<p><a href=\"a&amp;b%41%C3%BC\">x</a></p>\n", 0},
    {"url: tab", "[x](a&#9;b)\n", "<p><a href=\"a%09b\">x</a></p>\n", 0},
    {"image alt flattened", "![x *y* z](u)\n", "<p><img src=\"u\" alt=\"x y z\" /></p>\n", 0},
    {"autolink has only its href", "<http://a.b>\n", "<p><a href=\"http://a.b\">http://a.b</a></p>\n", 0},
    {"mail autolink", "<a@b.c>\n", "<p><a href=\"mailto:a@b.c\">a@b.c</a></p>\n", 0},
    {"math inline and display", "\\(a\\) \\[b\\]\n",
     "<p><span class=\"math inline\">a</span> <span class=\"math display\">b</span></p>\n", 0},
    {"raw inline comment escaped", "`<!-- c -->`{=html}\n",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\" data-encoding=\"html\">&lt;!-- c --&gt;</script></p>\n", 0},
    {"other inline kinds", "~~x~~ ^2^ ~i~ ==m== `c`{#q} [s]{#s .c}\n",
     "<p><del>x</del> <sup>2</sup> <sub>i</sub> <mark>m</mark> <code id=\"q\">c</code> <span id=\"s\" class=\"c\">s</span></p>\n", 0},
    {"unreferenced definitions write no section", "[^x]: never\n\np\n", "<p>p</p>\n", 0},
    {"repeated references and backlinks", "a[^x] b[^y] c[^x]\n\n[^x]: X\n[^y]: Y\n",
     "<p>a<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> b<sup id=\"fnref-y\"><a href=\"#fn-y\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup> c<sup id=\"fnref-x-2\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-x\">\n<p>X <a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a> <a href=\"#fnref-x-2\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9<sup>2</sup></a></p>\n</li>\n<li id=\"fn-y\">\n<p>Y <a href=\"#fnref-y\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"body ending in a code block", "a[^x]\n\n[^x]: ```\n    code\n    ```\n",
     "<p>a<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-x\">\n<pre><code>code\n</code></pre>\n<a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a>\n</li>\n</ol>\n</section>\n", 0},
    {"body ending in a list", "a[^x]\n\n[^x]:\n    - i\n    - j\n",
     "<p>a<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-x\">\n<ul>\n<li>i</li>\n<li>j</li>\n</ul>\n<a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a>\n</li>\n</ol>\n</section>\n", 0},
    {"note then footnote", "a^[n *e*] b[^x]\n\n[^x]: X\n",
     "<p>a<sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> b<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note1\">\n<p>n <em>e</em> <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n<li id=\"fn-x\">\n<p>X <a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"label escaped for ids", "a[^\xC3\xA9]\n\n[^\xC3\xA9]: n\n",
     "<p>a<sup id=\"fnref-%C3%A9\"><a href=\"#fn-%C3%A9\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-%C3%A9\">\n<p>n <a href=\"#fnref-%C3%A9\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"label characters kept", "a[^N_1.a-(b)/~]\n\n[^N_1.a-(b)/~]: n\n",
     "<p>a<sup id=\"fnref-N_1.a-(b)/~\"><a href=\"#fn-N_1.a-(b)/~\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-N_1.a-(b)/~\">\n<p>n <a href=\"#fnref-N_1.a-(b)/~\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"footnote referencing a later one", "a[^x]\n\n[^x]: see[^y]\n[^y]: Y\n",
     "<p>a<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-x\">\n<p>see<sup id=\"fnref-y\"><a href=\"#fn-y\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup> <a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n<li id=\"fn-y\">\n<p>Y <a href=\"#fnref-y\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"footnote referencing itself", "a[^x]\n\n[^x]: self[^x]\n",
     "<p>a<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-x\">\n<p>self<sup id=\"fnref-x-2\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> <a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a> <a href=\"#fnref-x-2\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9<sup>2</sup></a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"note label skips an author's label", "a^[n][^__note1]\n\n[^__note1]: author\n",
     "<p>a<sup id=\"fnref-__note2\"><a href=\"#fn-__note2\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup><sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note2\">\n<p>n <a href=\"#fnref-__note2\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n<li id=\"fn-__note1\">\n<p>author <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"note inside a note is numbered in the section pass", "a^[b^[c]] d[^x]\n\n[^x]: X\n",
     "<p>a<sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> d<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note1\">\n<p>b<sup id=\"fnref-__note2\"><a href=\"#fn-__note2\" class=\"footnote-ref\" role=\"doc-noteref\">3</a></sup> <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n<li id=\"fn-x\">\n<p>X <a href=\"#fnref-x\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n<li id=\"fn-__note2\">\n<p>c <a href=\"#fnref-__note2\" class=\"footnote-backref\" role=\"doc-backlink\">\xE2\x86\xA9</a></p>\n</li>\n</ol>\n</section>\n", 0},
    {"image alt skips notes and raw inlines", "![a[^f] `r`{=html}b](u)\n\n[^f]: F\n",
     "<p><img src=\"u\" alt=\"af b\" /></p>\n", 0},
    {"table caption with attributes", "| a |\n|---|\n| 1 |\n: The *cap* {#t}\n",
     "<table id=\"t\">\n<caption>The <em>cap</em></caption>\n<thead>\n<tr><th>a</th></tr>\n</thead>\n<tbody>\n<tr><td>1</td></tr>\n</tbody>\n</table>\n", 0},
    {"no container below depth 0", "> > a\n", "<p>&gt; &gt; a</p>\n", kBlockDepth0},
    {"one container below depth 1", "> > a\n", "<blockquote>\n<p>&gt; a</p>\n</blockquote>\n", kBlockDepth1},
    {"nested quotes", "> > a\n", "<blockquote>\n<blockquote>\n<p>a</p>\n</blockquote>\n</blockquote>\n", 0},
    {"no parentheses in a destination at depth 0", "[a](b(c)d)\n", "<p>[a](b(c)d)</p>\n", kParenDepth0},
    {"parentheses in a destination", "[a](b(c)d)\n", "<p><a href=\"b(c)d\">a</a></p>\n", 0},
    {"class word ending in a two-byte letter", "::: voil\xC3\xA0\nx\n:::\n",
     "<div class=\"voil\xC3\xA0\">\n<p>x</p>\n</div>\n", 0},
    {"class word of Cyrillic letters", "::: \xD1\x85\xD0\xB0\nx\n:::\n",
     "<div class=\"\xD1\x85\xD0\xB0\">\n<p>x</p>\n</div>\n", 0},
    {"no-break space ends a class word", "::: a\xC2\xA0" "b\nx\n:::\n",
     "<div class=\"a\">\n<p>x</p>\n</div>\n", 0},
    {"unsafe attribute key left out", "# h {a\"x\"><svg/onload=alert(1)// ok=2}\n", "<h1 ok=\"2\">h</h1>\n", 0},
    {"tight item keeps its paragraph for an id", "- a\n- b\n  {: #p}\n",
     "<ul>\n<li>a</li>\n<li><p id=\"p\">b</p></li>\n</ul>\n", 0},
    {"tight item: two bare paragraphs stay two words", "- 1. a\n  [^n]:\n  b\n",
     "<ul>\n<li>1. a\nb</li>\n</ul>\n", 0},
    {"code block attributes on pre", "```{#c}\nx\n```\n", "<pre id=\"c\"><code>x\n</code></pre>\n", 0},
    {"html block: tokens become templates, the rest verbatim", "<div>{{ a }}&amp;</div>\n",
     "<div><template data-op=\"jinja:value\">a</template>&amp;</div>\n", kJinja},
    {"inverted and end templates", "{{^n}}\n{{/n}}\n",
     "<template data-op=\"jinja:inverted\">n</template>\n<template data-op=\"jinja:end\">n</template>\n", kJinja},
    {"script block without comment or script is verbatim", "```{dot}\na->b\n```\n",
     "<script type=\"text/dot-block\">\na->b\n</script>\n", 0},
    {"figure title and attributes", "![A cat](c.png \"T\"){#f}\n",
     "<figure id=\"f\">\n<img src=\"c.png\" alt=\"\" title=\"T\" />\n<figcaption>A cat</figcaption>\n</figure>\n", kFigures},
    {"heading, quote and break attributes", "# H {#h}\n\n> q\n{: .c}\n\n---\n{: .x}\n",
     "<h1 id=\"h\">H</h1>\n<blockquote class=\"c\">\n<p>q</p>\n</blockquote>\n<hr class=\"x\" />\n", 0},
    {"list item attributes", "- {: #i} a\n", "<ul>\n<li id=\"i\">a</li>\n</ul>\n", 0},
    {"inline template token", "a {{ v }}\n",
     "<p>a <template data-op=\"jinja:value\">v</template></p>\n", kJinja},
    {"inline math keeps one math class", "\\(x\\){.math .a}\n",
     "<p><span class=\"math a inline\">x</span></p>\n", 0},
    {"raw payload ending in part of a script tag is verbatim", "`x<scr`{=html}\n",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\">x<scr</script></p>\n", 0},
    {"raw payload ending in a whole script tag is escaped", "`x<SCRIPT`{=html}\n",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\" data-encoding=\"html\">x&lt;SCRIPT</script></p>\n", 0},
    {"raw inline verbatim", "`a&b`{=tex}\n",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">a&b</script></p>\n", 0},
    {"html inline verbatim", "x <a title=\"&\">\n", "<p>x <a title=\"&\"></p>\n", 0},
    {"image title then attributes", "![\"a\"](u \"t\"){#i}\n",
     "<p><img src=\"u\" alt=\"&quot;a&quot;\" title=\"t\" id=\"i\" /></p>\n", 0},
    {"NUL as U+FFFD in text, raw HTML, payloads and attributes",
     "<div>\0</div>\n\na\0 <b title=\"\0\"> `\0`{=tex} [x]{k=\"\0\"}\n"sv,
     "<div>\xEF\xBF\xBD</div>\n<p>a\xEF\xBF\xBD <b title=\"\xEF\xBF\xBD\"> <script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">\xEF\xBF\xBD</script> <span k=\"\xEF\xBF\xBD\">x</span></p>\n", 0},
};

TEST(MdToVedavi, ByteExact) {
  for (const MdCase& c : kCases) {
    EXPECT_EQ(render_document(parse(c.md, options_for(c.flags))), c.html) << c.name << "\n" << c.md;
  }
}

// Written in pieces (here one per top-level block), the same HTML: footnote numbers and notes
// carry over from piece to piece.
TEST(MdToVedavi, PiecesJoinToTheWholeDocument) {
  for (const MdCase& c : kCases) {
    const Document doc = parse(c.md, options_for(c.flags));
    std::string joined;
    for (const std::string& piece : render_document_pieces(doc, 1)) joined += piece;
    EXPECT_EQ(joined, c.html) << c.name;
  }
}

// One set of pieces written into again and again, by documents of more and of fewer pieces: the
// first pieces hold the HTML, those beyond are left empty, and nothing of an earlier document shows.
TEST(MdToVedavi, ReusedPiecesHoldOnlyTheLastDocument) {
  std::vector<std::string> pieces;
  for (const MdCase& c : kCases) {
    const Document doc = parse(c.md, options_for(c.flags));
    const std::size_t used = render_document_pieces(doc, 1, pieces);
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i < used) {
        EXPECT_FALSE(pieces[i].empty()) << c.name;
      } else {
        EXPECT_TRUE(pieces[i].empty()) << c.name;
      }
      joined += pieces[i];
    }
    EXPECT_EQ(joined, c.html) << c.name;
  }
}

// The anchors of md source as the binding lists them: the document's blocks, then the rendered
// footnotes'.
std::vector<Anchor> anchors_of(std::string_view md, bool jinja) {
  return document_anchors(parse(md, options_for(jinja ? unsigned{kJinja} : 0u)));
}

struct AnchorCase {
  const char* name;
  std::string_view md;
  bool jinja;
  std::vector<Anchor> expected;
};

TEST(Anchors, InDocumentOrder) {
  const AnchorCase cases[] = {
    {"no ids", "just text\n", false, {}},
    {"heading without text", "# {#h}\n", false, {{"h", "block", ""}}},
    {"heading text flattened", "# A *b* `c` {#h}\n", false, {{"h", "block", "A b c"}}},
    {"quote gives none, its paragraph does", "> q\n> {: #p}\n", false, {{"p", "block", "q"}}},
    {"heading before the span inside it", "# x [in]{#s} {#h}\n", false,
     {{"h", "block", "x in"}, {"s", "text", "in"}}},
    {"table without caption", "| a |\n|---|\n| 1 |\n{: #t}\n", false, {{"t", "caption", ""}}},
    {"table caption, then cells", "| a |\n|---|\n| [c]{#c} |\n: Cap *x* {#t}\n", false,
     {{"t", "caption", "Cap x"}, {"c", "text", "c"}}},
    {"line break collapses", "a\nb\n{: #p}\n", false, {{"p", "block", "a b"}}},
    {"Unicode blanks collapse and trim", "\xC2\xA0" "a\xE2\x80\x83" "b\xE3\x80\x80\n{: #u}\n", false,
     {{"u", "block", "a b"}}},
    {"footnote reference gives nothing, math its TeX", "# x[^f] \\(t^2\\) y {#h}\n\n[^f]: z\n", false,
     {{"h", "block", "x t^2 y"}}},
    {"footnote anchors after the whole document", "# m {#m}\n\na[^f]\n\n[^f]: in\n    {: #fp}\n\n# z {#z}\n", false,
     {{"m", "block", "m"}, {"z", "block", "z"}, {"fp", "block", "in"}}},
    {"containers without ids give nothing", "*a* [b]{.k} [l](u) **c**\n", false, {}},
    {"a span with an id inside one without", "x [a *[b]{#b}*]{.k}\n", false, {{"b", "text", "b"}}},
    {"spans inside links, emphasis and notes", "[l [s]{#s}](u) *[e]{#e}* ^[[n]{#n}]\n", false,
     {{"s", "text", "s"}, {"e", "text", "e"}, {"n", "text", "n"}}},
    {"image alt is walked (no implicit figures here)", "![Cap [s]{#s}](u){#f}\n", false, {{"s", "text", "s"}}},
    {"ids on code and superscript give nothing", "`c`{#c} ^s^{#s}\n", false, {}},
    {"panel title", "::: {.callout-note #pn}\n## Title {#tt}\nbody\n:::\n", false, {{"tt", "text", "Title"}}},
    {"list items give nothing, their paragraphs do", "- a\n  {: #a}\n- b\n", false, {{"a", "block", "a"}}},
    {"definition terms, then definitions", "Term [x]{#s} {#t}\n: def [d]{#d}\n", false,
     {{"t", "text", "Term x"}, {"s", "text", "x"}, {"d", "text", "d"}}},
    {"math, code and divs give nothing", "::: {#dv}\n\\[\ny\n\\]\n{: #m}\n\n```{#c}\nx\n```\n:::\n", false, {}},
    {"what raw html, templates and math contribute", "x <b> {{ body }} \\(e^x\\)\n{: #p}\n", true,
     {{"p", "block", "x body e^x"}}},
    {"templates reach the heading text", "# {{ v }} {#h}\n", true, {{"h", "block", "v"}}},
    {"a formula with an id is shown by its TeX", "E \\(m  c^2\\){#m} [x \\(y\\){#n}]{#s}\n", false,
     {{"m", "text", "m c^2"}, {"s", "text", "x y"}, {"n", "text", "y"}}},
    {"an unreferenced footnote is not rendered", "See [@x].\n\n[^1]: note [t]{#x}\n", false, {}},
    {"a footnote reached through another", "a[^x]\n\n[^x]: see[^y]\n[^y]: [t]{#t}\n[^z]: [u]{#u}\n", false,
     {{"t", "text", "t"}}},
    {"image alt renders no reference", "![a[^f]](u)\n\n[^f]: [t]{#t}\n", false, {}},
    {"the later definition of a label is rendered", "a[^f]\n\n[^f]: [one]{#one}\n\n[^f]: [two]{#two}\n", false,
     {{"two", "text", "two"}}},
    {"references in cells, captions and terms", "| [^a] |\n|---|\n: [^b]\n\n[^c]\n: d\n\n[^a]: [a]{#a}\n[^b]: [b]{#b}\n[^c]: [c]{#c}\n",
     false, {{"a", "text", "a"}, {"b", "text", "b"}, {"c", "text", "c"}}},
  };
  for (const AnchorCase& c : cases) EXPECT_EQ(anchors_of(c.md, c.jinja), c.expected) << c.name;
}

}  // namespace
}  // namespace vedavi
