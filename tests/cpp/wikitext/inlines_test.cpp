// Inline markup, templates and parameters.
#include "wikitext_test_util.h"

#include "wikitext/inlines.h"

namespace vedavi::wikitext::test {
namespace {

TEST(WikitextInlines, Table) {
  static constexpr Case kCases[] = {
    {"''x'' and '''y''' and '''''z'''''",
     "<p><em>x</em> and <strong>y</strong> and <strong><em>z</em></strong></p>\n"},
    {"''a", "<p>''a</p>\n"},
    {"[[Main Page|the page]] [[Foo (bar)]] [[#Section]]",
     "<p><a href=\"./Main_Page\">the page</a> <a href=\"./Foo_%28bar%29\">Foo (bar)</a> <a href=\"#Section\">#Section</a></p>\n"},
    {"[[Category:Birds|Sparrow]]", "<p><a href=\"./Category:Birds\" data-mediawiki-category=\"Sparrow\"></a></p>\n"},
    {"[[File:A b.png|thumb|A caption]] [[Image:x.png]]",
     "<p><img src=\"./File:A_b.png\" alt=\"A caption\" data-mediawiki-source=\"[[File:A b.png|thumb|A caption]]\" /> <img src=\"./Image:x.png\" alt=\"\" data-mediawiki-source=\"[[Image:x.png]]\" /></p>\n"},
    {"[http://e.com/a_(b) Label] [http://e.com] [http://e.com http://e.com] [mailto:x y] [ftp://x y] [http://x",
     "<p><a href=\"http://e.com/a_%28b%29\">Label</a> <a href=\"http://e.com\">http://e.com</a> <a href=\"http://e.com\">http://e.com</a> <a href=\"mailto:x\">y</a> [ftp://x y] [http://x</p>\n"},
    {"a\nb &amp;", "<p>a\nb &amp;</p>\n"},
    {"__NOTOC__ __init__ x __NOTOC__",
     "<p><span data-mediawiki-behavior=\"NOTOC\"></span> __init__ x __NOTOC__</p>\n"},
    {"x<br />y <b>bold</b>",
     "<p>x<br />\ny <script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><b></script>bold<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></b></script></p>\n"},
    {"<small>s</small> <sup>2</sup> <sub>i</sub> <sup>[[x]]</sup> <span class=a id=b>t</span>",
     "<p><span class=\"small\">s</span> <sup>2</sup> <sub>i</sub> <script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script><a href=\"./x\">x</a><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script> <span id=\"b\" class=\"a\">t</span></p>\n"},
    {"<math>x</math> <math display='block'>y</math> <math>z",
     "<p><span class=\"math inline\">x</span> <span class=\"math display\">y</span> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><math>z</script></p>\n"},
    {"a<ref>Note</ref>",
     "<p>a<sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note1\">\n<p>Note <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"<ref name=n>Body</ref> <ref name=n /> <ref name=\"q\">Q</ref> <ref group=g>x</ref> <ref name=m>B</ref><ref name=m>C</ref>",
     "<p><sup id=\"fnref-n\"><a href=\"#fn-n\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> <sup id=\"fnref-n-2\"><a href=\"#fn-n\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> <sup id=\"fnref-q\"><a href=\"#fn-q\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><ref group=g>x</ref></script> <sup id=\"fnref-m\"><a href=\"#fn-m\" class=\"footnote-ref\" role=\"doc-noteref\">3</a></sup><sup id=\"fnref-m-2\"><a href=\"#fn-m\" class=\"footnote-ref\" role=\"doc-noteref\">3</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-n\">\n<p>Body <a href=\"#fnref-n\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a> <a href=\"#fnref-n-2\" class=\"footnote-backref\" role=\"doc-backlink\">↩<sup>2</sup></a></p>\n</li>\n<li id=\"fn-q\">\n<p>Q <a href=\"#fnref-q\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n<li id=\"fn-m\">\n<p>B <a href=\"#fnref-m\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a> <a href=\"#fnref-m-2\" class=\"footnote-backref\" role=\"doc-backlink\">↩<sup>2</sup></a></p>\n</li>\n</ol>\n</section>\n"},
    {"{{unclosed and more",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{unclosed and more</script></p>\n"},
    {"<!-- c -->x <!-- open", "<p>x </p>\n"},
    {"{{Infobox|a|x = b}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"Infobox\"><div data-arg>a</div><div data-arg data-name=\"x\">b</div></template></p>\n"},
    {"{{ Foo <!-- note --> |1}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"Foo\"><div data-arg>1</div></template></p>\n"},
    {"{{#invoke:Mod|main|k=v}}",
     "<p><template data-op=\"mediawiki:invoke\" data-name=\"Mod\"><div data-arg>main</div><div data-arg data-name=\"k\">v</div></template></p>\n"},
    {"{{#if: {{{1|}}} | yes | no}}",
     "<p><template data-op=\"mediawiki:function\" data-name=\"if\"><div data-arg><template data-op=\"mediawiki:parameter\" data-name=\"1\"><div data-arg></div></template></div><div data-arg>yes</div><div data-arg>no</div></template></p>\n"},
    {"{{#tag}}", "<p><template data-op=\"mediawiki:function\" data-name=\"tag\"></template></p>\n"},
    {"{{!}} {{!!}} {{!-}} {{Pipe}}",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!}}</script> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!!}}</script> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!-}}</script> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{Pipe}}</script></p>\n"},
    {"{{{1}}} {{{name|default}}}",
     "<p><template data-op=\"mediawiki:parameter\" data-name=\"1\"></template> <template data-op=\"mediawiki:parameter\" data-name=\"name\"><div data-arg>default</div></template></p>\n"},
    {"{{a|b={{c|d=e}}}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"a\"><div data-arg data-name=\"b\"><template data-op=\"mediawiki:transclude\" data-name=\"c\"><div data-arg data-name=\"d\">e</div></template></div></template></p>\n"},
    {"{{a|=x}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"a\"><div data-arg>=x</div></template></p>\n"},
    {"{{a|[[b|c]]}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"a\"><div data-arg><a href=\"./b\">c</a></div></template></p>\n"},
    {"[[a|b|c]]", "<p><a href=\"./a\">b|c</a></p>\n"},
    {"{{Foo <!-- x|1}}",
     "<p><template data-op=\"mediawiki:transclude\" data-name=\"Foo\"><div data-arg>1</div></template></p>\n"},
    {"<span>a<span>b</span>c</span> <span>open",
     "<p><span>a<span>b</span>c</span> <script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><span></script>open</p>\n"},
    {"<sup><ref name=z>q</ref>[[y]]</sup>",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script><sup id=\"fnref-z\"><a href=\"#fn-z\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup><a href=\"./y\">y</a><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-z\">\n<p>q <a href=\"#fnref-z\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"'''a ''b'' c'''", "<p><strong>a <em>b</em> c</strong></p>\n"},
    {"[[a|{{b|[[c]]}}]]",
     "<p><a href=\"./a\"><template data-op=\"mediawiki:transclude\" data-name=\"b\"><div data-arg><a href=\"./c\">c</a></div></template></a></p>\n"},
    {"<sup><sup>2</sup></sup>",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script><sup>2</sup><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script></p>\n"},
    {"{{#if<!--c-->:a|b}}",
     "<p><template data-op=\"mediawiki:function\" data-name=\"if\"><div data-arg>a</div><div data-arg>b</div></template></p>\n"},
    {"{{#if:<!--c-->x}}",
     "<p><template data-op=\"mediawiki:function\" data-name=\"if\"><div data-arg>x</div></template></p>\n"},
    {"<sup>a<br>b</sup> <sub>''i''</sub>",
     "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script>a<br />\nb<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script> <sub>i</sub></p>\n"},
  };
  expect_cases(kCases);
}

TEST(WikitextInlines, LinkTarget) {
  EXPECT_EQ(link_target("Main Page"), "./Main_Page");
  EXPECT_EQ(link_target(""), "./");
  EXPECT_EQ(link_target("http://x/a b(c)"), "http://x/a%20b%28c%29");
  EXPECT_EQ(link_target("#Sec tion"), "#Sec%20tion");
}

TEST(WikitextInlines, OperationArgumentsKeepTheirNames) {
  Notes notes;
  const Inlines inlines = document::inlines("{{a|b={{c|d=e}}|f}}", notes);
  ASSERT_EQ(inlines.size(), 1u);
  const auto* op = inlines[0].get_if<Inline::Operation>();
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->syntax, "mediawiki");
  ASSERT_EQ(op->args.size(), 2u);
  EXPECT_EQ(op->args[0].name, std::optional<std::string>("b"));
  EXPECT_EQ(op->args[1].name, std::nullopt);
  const auto* inner = op->args[0].value.at(0).get_if<Inline::Operation>();
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->name, "c");
}

}  // namespace
}  // namespace vedavi::wikitext::test
