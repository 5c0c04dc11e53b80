// Block rules: line ends, logical lines, headings, rules, preformatted text, block quotes, raw
// containers and extension blocks; then wiki and HTML lists, and tables.
#include "wikitext_test_util.h"

namespace vedavi::wikitext::test {
namespace {

TEST(WikitextBlocks, Table) {
  static constexpr Case kCases[] = {
    {"", ""},
    {"a\r\nb\rc", "<p>a\nb\nc</p>\n"},
    {"== Title ==", "<h2>Title</h2>\n"},
    {"== Title ===", "<p>== Title ===</p>\n"},
    {"=======x=======", "<p>=======x=======</p>\n"},
    {"==", "<p>==</p>\n"},
    {"----", "<hr />\n"},
    {"---", "<p>---</p>\n"},
    {" ----", "<pre><code>----</code></pre>\n"},
    {"{{Infobox\n| a = b\n}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"Infobox\"><div data-arg data-name=\"a\">b</div></template></p>\n"},
    {"{{x\ny", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{x\ny</script></p>\n"},
    {"<ref>a\n\nb",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><ref>a\n\nb</script></p>\n"},
    {"<!-- a\nb -->c", "<p>c</p>\n"},
    {"<blockquote>\nx\n\n y\n</blockquote>", "<blockquote>\n<p>x</p>\n<p>y</p>\n</blockquote>\n"},
    {"<blockquote>\nx\n\nrest",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><blockquote>\nx\n\nrest</script>\n"},
    {"<div class='a'>\n<div>\nx\n</div>\ny\n</div>\nz",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><div class='a'>\n<div>\nx\n</div>\ny\n</div></script>\n<p>z</p>\n"},
    {"<divider>\nx\n</div>\nafter",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><divider></script>\nx\n<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></div></script>\nafter</p>\n"},
    {"<GALLERY>\nx.png\n</gallery>\nafter",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><GALLERY>\nx.png\n</gallery></script>\n<p>after</p>\n"},
    {"<gallery/>\nx\ny",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><gallery/>\nx\ny</script>\n"},
    {"<math display='block'>x</math>", "<div class=\"math display\">x</div>\n"},
    {"<blockquote class=q>one\ntwo\n</blockquote>", "<blockquote class=\"q\">\n<p>one\ntwo</p>\n</blockquote>\n"},
    {"<blockquote>a</blockquote>", "<blockquote>\n<p>a</p>\n</blockquote>\n"},
    {"<div>\n<divider>\n</div>\nx\n</div>\nafter",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><div>\n<divider>\n</div>\nx\n</div></script>\n<p>after</p>\n"},
    {"<blockquote>q</blockquote> tail\nnext", "<blockquote>\n<p>q</p>\n</blockquote>\n<p>tail\nnext</p>\n"},
    {"<blockquote> first\nsecond\n</blockquote>", "<blockquote>\n<p>first\nsecond</p>\n</blockquote>\n"},
  };
  expect_cases(kCases);
}

// Lines that jump levels get implied items, so no line of a run is lost.
TEST(WikitextLists, Table) {
  static constexpr Case kCases[] = {
    {"* a\n** b\n* c", "<ul>\n<li>a\n<ul>\n<li>b</li>\n</ul>\n</li>\n<li>c</li>\n</ul>\n"},
    {"# a\n#* b", "<ol>\n<li>a\n<ul>\n<li>b</li>\n</ul>\n</li>\n</ol>\n"},
    {"* a\n# b", "<ul>\n<li>a</li>\n</ul>\n<ol>\n<li>b</li>\n</ol>\n"},
    {"; Term\n: Def 1\n: Def 2", "<dl>\n<dt>Term</dt>\n<dd>Def 1</dd>\n<dd>Def 2</dd>\n</dl>\n"},
    {"; T1\n; T2", "<dl>\n<dt>T1</dt>\n</dl>\n<dl>\n<dt>T2</dt>\n</dl>\n"},
    {": a\n:: b", "<blockquote>\n<p>a</p>\n<blockquote>\n<p>b</p>\n</blockquote>\n</blockquote>\n"},
    {":: b", "<blockquote>\n<p>b</p>\n</blockquote>\n"},
    {": <math>x^2</math>.", "<div class=\"math display\">x^2.</div>\n"},
    {": <math>x</math> and more",
     "<blockquote>\n<p><span class=\"math inline\">x</span> and more</p>\n</blockquote>\n"},
    {" <li>One</li>\n<LI class=x>Two\n<li>", "<ul>\n<li>One</li>\n<li>Two</li>\n<li></li>\n</ul>\n"},
    {"* a\n\n* b", "<ul>\n<li>a</li>\n</ul>\n<ul>\n<li>b</li>\n</ul>\n"},
    {"** a", "<ul>\n<li>\n<ul>\n<li>a</li>\n</ul>\n</li>\n</ul>\n"},
    {"* a\n*** b", "<ul>\n<li>a\n<ul>\n<li>\n<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>\n</li>\n</ul>\n"},
    {"*** deep\n* back",
     "<ul>\n<li>\n<ul>\n<li>\n<ul>\n<li>deep</li>\n</ul>\n</li>\n</ul>\n</li>\n<li>back</li>\n</ul>\n"},
    {"#:: x", "<ol>\n<li>\n<blockquote>\n<p>x</p>\n</blockquote>\n</li>\n</ol>\n"},
  };
  expect_cases(kCases);
}

// All or nothing: a table the VEDAVI table cannot hold is one paragraph of its markup, and the
// footnotes of its cells come from that paragraph alone.
TEST(WikitextTables, Table) {
  static constexpr Case kCases[] = {
    {"{| class=wikitable\n! A !! B\n|-\n| 1 || 2\n|}",
     "<table class=\"wikitable\">\n<thead>\n<tr><th>A</th><th>B</th></tr>\n</thead>\n<tbody>\n<tr><td>1</td><td>2</td></tr>\n</tbody>\n</table>\n"},
    {"{|\n! A\n|}", "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n</table>\n"},
    {"{| class=wikitable style=x\n! A\n|}", "<p>{| class=wikitable style=x\n! A\n|}</p>\n"},
    {"{|\n|+ Cap\n! A\n|}", "<table>\n<caption>Cap</caption>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n</table>\n"},
    {"{|\n|+ Cap\n|+ Two\n! A\n|}", "<p>{|\n|+ Cap\n|+ Two\n! A\n|}</p>\n"},
    {"{|\n| 1\n|}", "<p>{|\n| 1\n|}</p>\n"},
    {"{|\n! A !! B\n|-\n| 1\n|}", "<p>{|\n! A !! B\n|-\n| 1\n|}</p>\n"},
    {"{|\n! A\n|-\n| colspan=2 | x\n|}", "<p>{|\n! A\n|-\n| colspan=2 | x\n|}</p>\n"},
    {"{|\n! A\n|-\n| a | b\n|}",
     "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n<tbody>\n<tr><td>a | b</td></tr>\n</tbody>\n</table>\n"},
    {"{|\n! A\n|-\n| {{cite|url=x}}\n|}",
     "<p>{|\n! A\n|-\n| <template data-op=\"mediawiki:transclude\" data-name=\"cite\"><div data-arg data-name=\"url\">x</div></template>\n|}</p>\n"},
    {"{|\n! A\n|-\n| {{flag|FR}}\n|}",
     "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n<tbody>\n<tr><td><template data-op=\"mediawiki:transclude\" data-name=\"flag\"><div data-arg>FR</div></template></td></tr>\n</tbody>\n</table>\n"},
    {"{|\n! A\n|-\n| a {{!}} b\n|}",
     "<p>{|\n! A\n|-\n| a <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!}}</script> b\n|}</p>\n"},
    {"{|\n! A\n| 1\n|}", "<p>{|\n! A\n| 1\n|}</p>\n"},
    {"{|\n! A\n\n|}", "<p>{|\n! A\n\n|}</p>\n"},
    {"{|\n! A\nrest",
     "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{|\n! A\nrest</script>\n"},
    {"{|\n! A\n|-\n| <ref name=a>x</ref>\n|}",
     "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n<tbody>\n<tr><td><sup id=\"fnref-a\"><a href=\"#fn-a\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></td></tr>\n</tbody>\n</table>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-a\">\n<p>x <a href=\"#fnref-a\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"{|\n| <ref name=a>x</ref>\n|}",
     "<p>{|\n| <sup id=\"fnref-a\"><a href=\"#fn-a\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup>\n|}</p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-a\">\n<p>x <a href=\"#fnref-a\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
  };
  expect_cases(kCases);
}

}  // namespace
}  // namespace vedavi::wikitext::test
