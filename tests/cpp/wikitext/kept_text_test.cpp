// Wikitext constructs of real articles that once lost or hid text, or wrote a link inside a
// link: each rule as exact output.
#include <gtest/gtest.h>

#include <span>

#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"
#include "wikitext/parse.h"

namespace vedavi::wikitext {
namespace {

struct Case {
  std::string_view wikitext, html;
};

std::string to_html(std::string_view wikitext) { return render_document(document::parse(wikitext)); }

void expect_cases(std::span<const Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(to_html(c.wikitext), c.html) << "wikitext: " << c.wikitext;
}

constexpr std::string_view kTable =
    "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n<tbody>\n<tr><td>1</td></tr>\n</tbody>\n</table>\n";

// What follows "|}" on the closing line opens the next paragraph, as it does when the table
// fails; the table comes first.
TEST(WikitextTableClosingLine, TextAfterTheCloserIsKept) {
  static constexpr Case kCases[] = {
    {"{|\n! A\n|-\n| 1\n|}Paragraph after.", "<p>Paragraph after.</p>\n"},
    {"{|\n! A\n|-\n| 1\n|} {{clear}}\nmore", "<p><template data-op=\"mediawiki:transclude\" data-name=\"clear\"></template>\nmore</p>\n"},
    {"{|\n! A\n|-\n| 1\n|}  \n\nnext", "<p>next</p>\n"},
    {"{|\n! A\n|-\n| 1\n  |}x\n== H ==", "<p>x</p>\n<h2>H</h2>\n"},
    {"{|\n! A\n|-\n| 1\n|}<ref>Source</ref>", "<p><sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note1\">\n<p>Source <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(to_html(c.wikitext), std::string(kTable) + std::string(c.html)) << c.wikitext;
}

// The first "</blockquote>" closes the quote wherever it stands on its line; the text after it
// is paragraph text, never part of a raw block.
TEST(WikitextBlockQuoteCloser, AnywhereOnItsLine) {
  static constexpr Case kCases[] = {
    {"<blockquote>\nq\n</blockquote> trailing\nafter\n== H ==", "<blockquote>\n<p>q</p>\n</blockquote>\n<p>trailing\nafter</p>\n<h2>H</h2>\n"},
    {"<blockquote>\none\ntwo.</blockquote>\nafter", "<blockquote>\n<p>one\ntwo.</p>\n</blockquote>\n<p>after</p>\n"},
    {"<blockquote>\na\n\nb</blockquote>c\n</blockquote>", "<blockquote>\n<p>a</p>\n<p>b</p>\n</blockquote>\n<p>c\n<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></blockquote></script></p>\n"},
    {"<blockquote>\nq\nno closer", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><blockquote>\nq\nno closer</script>\n"},
  };
  expect_cases(kCases);
}

// HTML allows white space before the ">" of a closing tag; every closer is matched so.
TEST(WikitextClosingTags, WhiteSpaceBeforeGreaterThan) {
  static constexpr Case kCases[] = {
    {"a<ref>x</ref >b\n\n== H ==", "<p>a<sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup>b</p>\n<h2>H</h2>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note1\">\n<p>x <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"<ref name=n>x</REF\n>", "<p><sup id=\"fnref-n\"><a href=\"#fn-n\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-n\">\n<p>x <a href=\"#fnref-n\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"<blockquote>\nq\n</blockquote >\nafter", "<blockquote>\n<p>q</p>\n</blockquote>\n<p>after</p>\n"},
    {"<math>x</math\t> y", "<p><span class=\"math inline\">x</span> y</p>\n"},
    {"<span>a</span > <sup>2</sup >", "<p><span>a</span> <sup>2</sup></p>\n"},
    {"<gallery>\nx.png\n</gallery >\nafter", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><gallery>\nx.png\n</gallery ></script>\n<p>after</p>\n"},
    {"<li>one</li >", "<ul>\n<li>one</li>\n</ul>\n"},
    {": <math>x</math >.", "<div class=\"math display\">x.</div>\n"},
    // Not a closer: something other than white space before ">".
    {"<span>a</span x> b", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><span></script>a<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></span x></script> b</p>\n"},
  };
  expect_cases(kCases);
}

constexpr std::string_view kNoteRef =
    "<sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup>";

// The output never holds a link inside a link: footnote references and category links of a
// label go right after the link, an inner link's label (its target when empty, or a bare URL)
// stays text of the outer one. A template's content is a document of its own, so links inside it stay links.
TEST(WikitextLinkLabels, NeverHoldALink) {
  const std::string note = std::string(kNoteRef);
  const std::pair<std::string_view, std::string> cases[] = {
    {"[[A|x<ref>n</ref>]] y", "<a href=\"./A\">x</a>" + note + " y"},
    {"[http://e.org x<ref>n</ref>]", "<a href=\"http://e.org\">x</a>" + note},
    {"[[A|''x<ref>n</ref>'' <span>s</span>]]", "<a href=\"./A\"><em>x</em> <span>s</span></a>" + note},
    {"[[Datei:x.jpg|mini|a [[B]] c]]", "<a href=\"./Datei:x.jpg\">mini|a B c</a>"},
    {"[[A|x [http://b c] y [http://d] z]]", "<a href=\"./A\">x c y http://d z</a>"},
    {"[[A|[[B|[[C|deep<ref>n</ref>]]]]]]", "<a href=\"./A\">deep</a>" + note},
    {"[[A|[[B|]] [[\nC\n|]]]]", "<a href=\"./A\">B C</a>"},  // an empty inner label keeps the target's words
    {"[[A|t [[Category:B|k]]]]", "<a href=\"./A\">t </a><a href=\"./Category:B\" data-mediawiki-category=\"k\"></a>"},
    {"[[A|x<ref>[[B]]</ref>]]", "<a href=\"./A\">x</a>" + note},
    {"[[A|{{t|[[c]]}}]]", "<a href=\"./A\"><template data-op=\"mediawiki:transclude\" data-name=\"t\"><div data-arg><a href=\"./c\">c</a></div></template></a>"},
    {"[[A|[[File:x.png|c]]]]", "<a href=\"./A\"><img src=\"./File:x.png\" alt=\"c\" data-mediawiki-source=\"[[File:x.png|c]]\" /></a>"},
  };
  for (const auto& [wikitext, paragraph] : cases) {
    const std::string html = to_html(wikitext);
    EXPECT_EQ(html.substr(0, html.find("\n")), "<p>" + paragraph + "</p>") << wikitext;
  }
}

// A named reference whose body is empty or blank reuses the label, as "<ref name=n/>" does: a
// later body still defines the footnote.
TEST(WikitextNamedReferences, BlankBodyIsReuse) {
  static constexpr std::string_view kDefined =
      "<li id=\"fn-n\">\n<p>body <a href=\"#fnref-n\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a> "
      "<a href=\"#fnref-n-2\" class=\"footnote-backref\" role=\"doc-backlink\">↩<sup>2</sup></a></p>";
  for (std::string_view first : {"<ref name=n></ref>", "<ref name=n> \n </ref>", "<ref name=n><!-- c --></ref>",
                                 "<ref name=n/>"}) {
    const std::string wikitext = "a" + std::string(first) + " b<ref name=n>body</ref>";
    EXPECT_NE(to_html(wikitext).find(kDefined), std::string::npos) << wikitext;
  }
  // The first definition with a body still wins.
  EXPECT_EQ(to_html("<ref name=n>one</ref><ref name=n>two</ref>").find("two"), std::string::npos);
}

// Comments at either end of a line do not count when it is tested as a heading.
TEST(WikitextHeadings, CommentsDoNotCount) {
  static constexpr Case kCases[] = {
    {"==Heading==<!-- c -->", "<h2>Heading</h2>\n"},
    {"<!-- a -->== H == <!-- b --> <!-- c -->", "<h2>H</h2>\n"},
    {"== H ==<!-- open", "<h2>H</h2>\n"},
    {"== A <!-- x -->B ==", "<h2>A B</h2>\n"},
    {"== H ==<!-- c --> x", "<p>== H == x</p>\n"},
  };
  expect_cases(kCases);
}

// "<nowiki>" content is literal text; "<nowiki/>" is nothing.
TEST(WikitextNowiki, ContentIsLiteralText) {
  static constexpr Case kCases[] = {
    {"<nowiki>[[x]] ''y'' {{t}}</nowiki>", "<p>[[x]] ''y'' {{t}}</p>\n"},
    {"<nowiki><br/></nowiki>", "<p>&lt;br/&gt;</p>\n"},
    {"<NOWIKI>&amp; a\nb</nowiki >", "<p>&amp; a\nb</p>\n"},
    {"[[x]]<nowiki />s", "<p><a href=\"./x\">x</a>s</p>\n"},
    {"<nowiki>[[x]]", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><nowiki></script><a href=\"./x\">x</a></p>\n"},
  };
  expect_cases(kCases);
}

// A "<" that no tag name, "/", "!" or "?" follows is text, never the start of a raw tag.
TEST(WikitextLessThan, TextUnlessMarkupFollows) {
  static constexpr Case kCases[] = {
    {"<pre>x < y</pre>", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><pre></script>x &lt; y<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></pre></script></p>\n"},
    {"a <3 b < br> <sup>x < y</sup>", "<p>a &lt;3 b &lt; br&gt; <sup>x &lt; y</sup></p>\n"},
    {"a</ x><!DOCTYPE y>", "<p>a<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></ x></script><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><!DOCTYPE y></script></p>\n"},
  };
  expect_cases(kCases);
}

// NUL reads as U+FFFD, as an HTML parser reads it, in text and attribute values alike.
TEST(WikitextNul, BecomesReplacementCharacter) {
  using namespace std::string_view_literals;
  const Case cases[] = {
    {"a\0b"sv, "<p>a\uFFFDb</p>\n"},
    {"<span data-name=\"x\0\">y</span>"sv, "<p><span data-name=\"x\uFFFD\">y</span></p>\n"},
    {"[[A\0|b]]"sv, "<p><a href=\"./A%EF%BF%BD\">b</a></p>\n"},
    {"<div>\0</div>"sv, "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><div>\uFFFD</div></script>\n"},
  };
  expect_cases(cases);
}

}  // namespace
}  // namespace vedavi::wikitext
