// Wikitext to VEDAVI: block rules, lists, tables, inline markup, templates and parameters, as
// exact output; adversarial input at sizes where quadratic time or recursion would show; and
// properties over random input.
#include <gtest/gtest.h>

#include <random>
#include <span>

#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"
#include "wikitext/inlines.h"
#include "wikitext/parse.h"
#include "wikitext/source.h"

namespace vedavi::wikitext {
namespace {

using test::repeat;

struct Case {
  std::string_view wikitext, html;
};

std::string to_html(std::string_view wikitext) { return render_document(document::parse(wikitext)); }

void expect_cases(std::span<const Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(to_html(c.wikitext), c.html) << "wikitext: " << c.wikitext;
}

TEST(WikitextBlocks, Table) {
  static constexpr Case kCases[] = {
    {"", ""},
    {"a\r\nb\rc", "<p>a\nb\nc</p>\n"},
    {"== Title ==", "<h2>Title</h2>\n"},
    {"== Title ===", "<p>== Title ===</p>\n"},
    {"=======x=======", "<p>=======x=======</p>\n"},
    {"==", "<p>==</p>\n"},
    {"----", "<hr />\n"},
    {" ----", "<pre><code>----</code></pre>\n"},
    {"{{x\ny", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{x\ny</script></p>\n"},
    {"a <ref name=x b", "<p>a <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><ref name=x b</script></p>\n"},
    {"<ref>a\n\nb", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><ref>a\n\nb</script></p>\n"},
    {"<blockquote>\nx\n\n y\n</blockquote>", "<blockquote>\n<p>x</p>\n<p>y</p>\n</blockquote>\n"},
    {"<blockquote>\nx\n\nrest", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><blockquote>\nx\n\nrest</script>\n"},
    {"<div class='a'>\n<div>\nx\n</div>\ny\n</div>\nz", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><div class='a'>\n<div>\nx\n</div>\ny\n</div></script>\n<p>z</p>\n"},
    {"<divider>\nx\n</div>\nafter", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><divider></script>\nx\n<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></div></script>\nafter</p>\n"},
    {"<GALLERY>\nx.png\n</gallery>\nafter", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><GALLERY>\nx.png\n</gallery></script>\n<p>after</p>\n"},
    {"<gallery/>\nx\ny", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><gallery/>\nx\ny</script>\n"},
    {"<math display='block'>x</math>", "<div class=\"math display\">x</div>\n"},
    {"<blockquote class=q>one\ntwo\n</blockquote>", "<blockquote class=\"q\">\n<p>one\ntwo</p>\n</blockquote>\n"},
    {"<blockquote>a</blockquote>", "<blockquote>\n<p>a</p>\n</blockquote>\n"},
    {"<div>\n<divider>\n</div>\nx\n</div>\nafter", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><div>\n<divider>\n</div>\nx\n</div></script>\n<p>after</p>\n"},
    {"<blockquote>q</blockquote> tail\nnext", "<blockquote>\n<p>q</p>\n</blockquote>\n<p>tail\nnext</p>\n"},
  };
  expect_cases(kCases);
}

// Lines that jump levels get implied items, so no line of a run is lost.
TEST(WikitextLists, Table) {
  static constexpr Case kCases[] = {
    {"* a\n** b\n* c", "<ul>\n<li>a\n<ul>\n<li>b</li>\n</ul>\n</li>\n<li>c</li>\n</ul>\n"},
    {"* a\n# b", "<ul>\n<li>a</li>\n</ul>\n<ol>\n<li>b</li>\n</ol>\n"},
    {"; Term\n: Def 1\n: Def 2", "<dl>\n<dt>Term</dt>\n<dd>Def 1</dd>\n<dd>Def 2</dd>\n</dl>\n"},
    {"; T1\n; T2", "<dl>\n<dt>T1</dt>\n</dl>\n<dl>\n<dt>T2</dt>\n</dl>\n"},
    {": a\n:: b", "<blockquote>\n<p>a</p>\n<blockquote>\n<p>b</p>\n</blockquote>\n</blockquote>\n"},
    {": <math>x^2</math>.", "<div class=\"math display\">x^2.</div>\n"},
    {": <math>x</math> and more", "<blockquote>\n<p><span class=\"math inline\">x</span> and more</p>\n</blockquote>\n"},
    {" <li>One</li>\n<LI class=x>Two\n<li>", "<ul>\n<li>One</li>\n<li>Two</li>\n<li></li>\n</ul>\n"},
    {"* a\n\n* b", "<ul>\n<li>a</li>\n</ul>\n<ul>\n<li>b</li>\n</ul>\n"},
    {"#:: x", "<ol>\n<li>\n<blockquote>\n<p>x</p>\n</blockquote>\n</li>\n</ol>\n"},
  };
  expect_cases(kCases);
}

// All or nothing: a table the VEDAVI table cannot hold is one paragraph of its markup, and the
// footnotes of its cells come from that paragraph alone.
TEST(WikitextTables, Table) {
  static constexpr Case kCases[] = {
    {"{| class=wikitable\n! A !! B\n|-\n| 1 || 2\n|}", "<table class=\"wikitable\">\n<thead>\n<tr><th>A</th><th>B</th></tr>\n</thead>\n<tbody>\n<tr><td>1</td><td>2</td></tr>\n</tbody>\n</table>\n"},
    {"{| class=wikitable style=x\n! A\n|}", "<p>{| class=wikitable style=x\n! A\n|}</p>\n"},
    {"{|\n|+ Cap\n! A\n|}", "<table>\n<caption>Cap</caption>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n</table>\n"},
    {"{|\n|+ Cap\n|+ Two\n! A\n|}", "<p>{|\n|+ Cap\n|+ Two\n! A\n|}</p>\n"},
    {"{|\n! A !! B\n|-\n| 1\n|}", "<p>{|\n! A !! B\n|-\n| 1\n|}</p>\n"},
    {"{|\n! A\n|-\n| a | b\n|}", "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n<tbody>\n<tr><td>a | b</td></tr>\n</tbody>\n</table>\n"},
    {"{|\n! A\n|-\n| {{cite|url=x}}\n|}", "<p>{|\n! A\n|-\n| <template data-op=\"mediawiki:transclude\" data-name=\"cite\"><div data-arg data-name=\"url\">x</div></template>\n|}</p>\n"},
    {"{|\n! A\n|-\n| a {{!}} b\n|}", "<p>{|\n! A\n|-\n| a <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!}}</script> b\n|}</p>\n"},
    {"{|\n! A\n| 1\n|}", "<p>{|\n! A\n| 1\n|}</p>\n"},
    {"{|\n! A\n\n|}", "<p>{|\n! A\n\n|}</p>\n"},
    {"{|\n! A\nrest", "<script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{|\n! A\nrest</script>\n"},
    {"{|\n! A\n|-\n| <ref name=a>x</ref>\n|}", "<table>\n<thead>\n<tr><th>A</th></tr>\n</thead>\n<tbody>\n<tr><td><sup id=\"fnref-a\"><a href=\"#fn-a\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></td></tr>\n</tbody>\n</table>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-a\">\n<p>x <a href=\"#fnref-a\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"{|\n| <ref name=a>x</ref>\n|}", "<p>{|\n| <sup id=\"fnref-a\"><a href=\"#fn-a\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup>\n|}</p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-a\">\n<p>x <a href=\"#fnref-a\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
  };
  expect_cases(kCases);
}

TEST(WikitextInlines, Table) {
  static constexpr Case kCases[] = {
    {"''x'' and '''y''' and '''''z'''''", "<p><em>x</em> and <strong>y</strong> and <strong><em>z</em></strong></p>\n"},
    {"''a", "<p>''a</p>\n"},
    {"[[Main Page|the page]] [[Foo (bar)]] [[#Section]]", "<p><a href=\"./Main_Page\">the page</a> <a href=\"./Foo_%28bar%29\">Foo (bar)</a> <a href=\"#Section\">#Section</a></p>\n"},
    {"[[Category:Birds|Sparrow]]", "<p><a href=\"./Category:Birds\" data-mediawiki-category=\"Sparrow\"></a></p>\n"},
    {"[[File:A b.png|thumb|A caption]] [[Image:x.png]]", "<p><img src=\"./File:A_b.png\" alt=\"A caption\" data-mediawiki-source=\"[[File:A b.png|thumb|A caption]]\" /> <img src=\"./Image:x.png\" alt=\"\" data-mediawiki-source=\"[[Image:x.png]]\" /></p>\n"},
    {"[http://e.com/a_(b) Label] [http://e.com] [http://e.com http://e.com] [mailto:x y] [ftp://x y] [http://x", "<p><a href=\"http://e.com/a_%28b%29\">Label</a> <a href=\"http://e.com\">http://e.com</a> <a href=\"http://e.com\">http://e.com</a> <a href=\"mailto:x\">y</a> [ftp://x y] [http://x</p>\n"},
    {"a\nb &amp;", "<p>a\nb &amp;</p>\n"},
    {"__NOTOC__ __init__ x __NOTOC__", "<p><span data-mediawiki-behavior=\"NOTOC\"></span> __init__ x __NOTOC__</p>\n"},
    {"<small>s</small> <sup>2</sup> <sub>i</sub> <sup>[[x]]</sup> <span class=a id=b>t</span>", "<p><span class=\"small\">s</span> <sup>2</sup> <sub>i</sub> <script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script><a href=\"./x\">x</a><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script> <span id=\"b\" class=\"a\">t</span></p>\n"},
    {"<math>x</math> <math display='block'>y</math> <math>z", "<p><span class=\"math inline\">x</span> <span class=\"math display\">y</span> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><math>z</script></p>\n"},
    {"a<ref>Note</ref>", "<p>a<sup id=\"fnref-__note1\"><a href=\"#fn-__note1\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-__note1\">\n<p>Note <a href=\"#fnref-__note1\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n</ol>\n</section>\n"},
    {"<ref name=n>Body</ref> <ref name=n /> <ref name=\"q\">Q</ref> <ref group=g>x</ref> <ref name=m>B</ref><ref name=m>C</ref>", "<p><sup id=\"fnref-n\"><a href=\"#fn-n\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> <sup id=\"fnref-n-2\"><a href=\"#fn-n\" class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup> <sup id=\"fnref-q\"><a href=\"#fn-q\" class=\"footnote-ref\" role=\"doc-noteref\">2</a></sup> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\"><ref group=g>x</ref></script> <sup id=\"fnref-m\"><a href=\"#fn-m\" class=\"footnote-ref\" role=\"doc-noteref\">3</a></sup><sup id=\"fnref-m-2\"><a href=\"#fn-m\" class=\"footnote-ref\" role=\"doc-noteref\">3</a></sup></p>\n<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n<li id=\"fn-n\">\n<p>Body <a href=\"#fnref-n\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a> <a href=\"#fnref-n-2\" class=\"footnote-backref\" role=\"doc-backlink\">↩<sup>2</sup></a></p>\n</li>\n<li id=\"fn-q\">\n<p>Q <a href=\"#fnref-q\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a></p>\n</li>\n<li id=\"fn-m\">\n<p>B <a href=\"#fnref-m\" class=\"footnote-backref\" role=\"doc-backlink\">↩</a> <a href=\"#fnref-m-2\" class=\"footnote-backref\" role=\"doc-backlink\">↩<sup>2</sup></a></p>\n</li>\n</ol>\n</section>\n"},
    {"<!-- c -->x <!-- open", "<p>x </p>\n"},
    {"{{#invoke:Mod|main|k=v}}", "<p><template data-op=\"mediawiki:invoke\" data-name=\"Mod\"><div data-arg>main</div><div data-arg data-name=\"k\">v</div></template></p>\n"},
    {"{{#if: {{{1|}}} | yes | no}}", "<p><template data-op=\"mediawiki:function\" data-name=\"if\"><div data-arg><template data-op=\"mediawiki:parameter\" data-name=\"1\"><div data-arg></div></template></div><div data-arg>yes</div><div data-arg>no</div></template></p>\n"},
    {"{{#tag}}", "<p><template data-op=\"mediawiki:function\" data-name=\"tag\"></template></p>\n"},
    {"{{!}} {{!!}} {{!-}} {{Pipe}}", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!}}</script> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!!}}</script> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{!-}}</script> <script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">{{Pipe}}</script></p>\n"},
    {"{{{1}}} {{{name|default}}}", "<p><template data-op=\"mediawiki:parameter\" data-name=\"1\"></template> <template data-op=\"mediawiki:parameter\" data-name=\"name\"><div data-arg>default</div></template></p>\n"},
    {"{{a|b={{c|d=e}}}}", "<p><template data-op=\"mediawiki:transclude\" data-name=\"a\"><div data-arg data-name=\"b\"><template data-op=\"mediawiki:transclude\" data-name=\"c\"><div data-arg data-name=\"d\">e</div></template></div></template></p>\n"},
    {"{{a|=x}}", "<p><template data-op=\"mediawiki:transclude\" data-name=\"a\"><div data-arg>=x</div></template></p>\n"},
    {"{{Foo <!-- x|1}}", "<p><template data-op=\"mediawiki:transclude\" data-name=\"Foo\"><div data-arg>1</div></template></p>\n"},
    {"<span>a<span>b</span>c</span> <span>open", "<p><span>a<span>b</span>c</span> <script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><span></script>open</p>\n"},
    {"'''a ''b'' c'''", "<p><strong>a <em>b</em> c</strong></p>\n"},
    {"[[a|{{b|[[c]]}}]]", "<p><a href=\"./a\"><template data-op=\"mediawiki:transclude\" data-name=\"b\"><div data-arg><a href=\"./c\">c</a></div></template></a></p>\n"},
    {"<sup><sup>2</sup></sup>", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script><sup>2</sup><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script></p>\n"},
    {"{{#if<!--c-->:a|b}}", "<p><template data-op=\"mediawiki:function\" data-name=\"if\"><div data-arg>a</div><div data-arg>b</div></template></p>\n"},
    {"<sup>a<br>b</sup> <sub>''i''</sub>", "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"html\"><sup></script>a<br />\nb<script type=\"application/vnd.vedavi.raw\" data-format=\"html\"></sup></script> <sub>i</sub></p>\n"},
  };
  expect_cases(kCases);
}

TEST(WikitextInlines, LinkTarget) {
  for (const auto& [target, href] : {std::pair{"Main Page", "./Main_Page"}, {"", "./"},
                                     {"http://x/a b(c)", "http://x/a%20b%28c%29"}, {"#Sec tion", "#Sec%20tion"}})
    EXPECT_EQ(link_target(target), href);
}

constexpr std::size_t kUnits = 50'000;

std::size_t count(std::string_view haystack, std::string_view needle) {
  std::size_t found = 0;
  for (std::size_t pos = haystack.find(needle); pos != std::string_view::npos;
       pos = haystack.find(needle, pos + needle.size()))
    ++found;
  return found;
}

// An unclosed opener turns the rest of its paragraph into one raw inline; other openers without
// closers stay text, and an unclosed comment drops the rest of its text.
TEST(WikitextPathological, OpenersWithoutClosers) {
  constexpr std::string_view kRawOpen = "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">";
  for (std::string_view unit : {"{{", "[[", "{{{", "{{a|", "[[a|", "{{a|[[b|"}) {
    const std::string html = to_html(repeat(unit, kUnits));
    EXPECT_EQ(html.substr(0, kRawOpen.size()), kRawOpen) << unit;
    EXPECT_EQ(count(html, "<script"), 1u) << unit;
  }
  const std::string lines = to_html(repeat("{{a\n", kUnits));
  EXPECT_EQ(count(lines, "<script"), 1u);
  EXPECT_EQ(count(lines, "{{a"), kUnits);
  for (const auto& [unit, kept] : {std::pair{"<a ", "&lt;a"}, {"[http://x ", "[http://x"},
                                   {"<span>x ", "<span>"}, {"<sup>x ", "<sup>"}})
    EXPECT_EQ(count(to_html("a" + repeat(unit, kUnits)), kept), kUnits) << unit;
  EXPECT_EQ(to_html("a" + repeat("<!--", kUnits)), "<p>a</p>\n");
  EXPECT_EQ(count(to_html(repeat("'''''a", kUnits)), "<strong><em>a</em></strong>"), kUnits / 2);
  // The first table runs to the first closing line and fails; the later "|}" lines are text.
  const std::string tables = to_html(repeat("{|\n", kUnits) + repeat("|}\n", kUnits));
  EXPECT_EQ(count(tables, "<p>"), 2u);
  EXPECT_EQ(count(tables, "{|"), kUnits);
  EXPECT_EQ(count(tables, "|}"), kUnits);
}

// Long runs of openers, each position opening a construct that never closes: every answer the
// balancing scans remember is read and written in order of position.
TEST(WikitextPathological, LongRunsOfOpeners) {
  constexpr std::string_view kRaw = "<p><script type=\"application/vnd.vedavi.raw\" data-format=\"wikitext\">";
  for (std::string_view unit : {"{{", "{{{", "[[", "{{[["}) {
    const std::string input = repeat(unit, 400'000);
    EXPECT_EQ(to_html(input), std::string(kRaw) + input + "</script></p>\n") << unit;
  }
}

TEST(WikitextPathological, DeepNestingConvertsWithoutRecursion) {
  struct Nested {
    std::string input;
    std::string_view opener;
    std::size_t at_least;
  };
  const Nested cases[] = {
      {repeat("*", kUnits) + " a", "<ul>", kUnits},
      {repeat("#", kUnits) + " a", "<ol>", kUnits},
      {repeat("<span>", kUnits) + "x" + repeat("</span>", kUnits), "<span>", kUnits},
      {repeat("{{a|", kUnits) + "x" + repeat("}}", kUnits), "<template", kUnits},
      // Links inside a label are its text: one link.
      {repeat("[[a|", kUnits) + "x" + repeat("]]", kUnits), "<a href=\"./a\">x</a>", 1},
      {repeat("[[a|''", kUnits) + "x" + repeat("'']]", kUnits), "<em>", kUnits},
      {repeat("<ref>", kUnits) + "x" + repeat("</ref>", kUnits), "<script", 1},
      // Each failed superscript is converted once, not again inside every enclosing one.
      {repeat("<sup>", kUnits) + "x" + repeat("</sup>", kUnits), "<script", 1},
      // A parser function's first argument is not copied again by each enclosing function.
      {repeat("{{#if:<!---->", kUnits) + "x" + repeat("}}", kUnits), "<template", kUnits},
  };
  for (const auto& [input, opener, at_least] : cases)
    EXPECT_GE(count(to_html(input), opener), at_least) << opener;
  std::string notes;
  for (std::size_t i = 0; i < kUnits; ++i) notes += "<span><ref name=n" + std::to_string(i) + ">x</ref></span>";
  // A failed table rolls back nothing of the paragraph before it.
  EXPECT_EQ(document::parse(notes + "\n{|\n| a\n|}\n").footnotes.size(), kUnits);
}

// Markup that every rule of the converter reacts to; comments and named references, which drop
// text on purpose, are left out.
constexpr std::string_view kMarkup[] = {
    "\n", "\n", "\n\n", " ", " ", "*", "#", ":", ";", "{{", "}}", "{{{", "}}}", "[[", "]]", "|",
    "||", "!!", "=", "==", "''", "'''", "'''''", "{|", "|}", "|-", "|+", "!", "----", "<span>",
    "</span>", "<small>", "</small>", "<sup>", "</sup>", "<ref>", "</ref>", "<math>", "</math>",
    "<blockquote>", "</blockquote>", "<div>", "</div>", "<li>", "</li>", "<br>", "<b>",
    "[http://x ", "]", "[", "{", "__NOTOC__", "Category:", "File:", "<gallery>", "</gallery>",
    "<nowiki>", "</nowiki>", "#if:", "<"};

TEST(WikitextProperties, NoWordIsLost) {
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> pick_markup(0, std::size(kMarkup) - 1);
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    std::vector<std::string> words;
    for (std::size_t i = 0, pieces = 1 + random() % 60; i < pieces; ++i) {
      if (random() % 3 == 0) {
        words.push_back("w" + std::to_string(words.size()) + "x");
        input += words.back();
      } else {
        input += kMarkup[pick_markup(random)];
      }
    }
    const std::string html = to_html(input);
    for (const std::string& word : words) ASSERT_NE(html.find(word), std::string::npos) << word << " of: " << input;
  }
}

// The same scans without memory: a stack of openers, closers matching only the innermost.
std::optional<std::size_t> plain_balanced(std::string_view text, std::size_t inside,
                                          std::size_t limit, Brace brace) {
  static constexpr std::string_view kOpeners[] = {"{{", "{{{", "[["};
  static constexpr std::string_view kClosers[] = {"}}", "}}}", "]]"};
  auto at = [&](std::size_t pos, std::string_view s) {
    return limit - pos >= s.size() && text.substr(pos, s.size()) == s;
  };
  if (inside >= limit) return std::nullopt;
  std::vector<int> open{static_cast<int>(brace)};
  for (std::size_t pos = inside; pos < limit;) {
    if (at(pos, kClosers[open.back()])) {
      pos += kClosers[open.back()].size();
      open.pop_back();
      if (open.empty()) return pos - kClosers[static_cast<int>(brace)].size();
    } else if (at(pos, "{{{") || at(pos, "{{") || at(pos, "[[")) {
      const int kind = at(pos, "{{{") ? 1 : at(pos, "{{") ? 0 : 2;
      open.push_back(kind);
      pos += kOpeners[kind].size();
    } else {
      ++pos;
    }
  }
  return std::nullopt;
}

TEST(WikitextProperties, MemoisedSearchesMatchPlainScans) {
  std::mt19937 random(7);
  constexpr std::string_view kAlphabet = "{{}}[]]a|'>";
  for (int round = 0; round < 400; ++round) {
    std::string text;
    // Short texts keep their answers by position, longer ones in a table first.
    const std::size_t size = random() % (round % 2 ? 80 : 700);
    while (text.size() < size) text += kAlphabet[random() % kAlphabet.size()];
    Source source(text);
    for (int query = 0; query < 60; ++query) {
      const std::size_t from = size ? random() % (size + 1) : 0;
      const std::size_t limit = from + (size - from ? random() % (size - from + 1) : 0);
      const auto brace = static_cast<Brace>(random() % 3);
      ASSERT_EQ(source.balanced(from, limit, brace), plain_balanced(text, from, limit, brace))
          << text << " from " << from << " limit " << limit;
      for (Needle needle : {Needle::Gt, Needle::Quote2, Needle::Quote3}) {
        const std::size_t plain = text.find(needle_text(needle), from);
        const bool fits = plain != std::string::npos && plain + needle_text(needle).size() <= limit;
        ASSERT_EQ(source.find(needle, from, limit), fits ? std::optional(plain) : std::nullopt)
            << text << " from " << from;
      }
    }
  }
}

}  // namespace
}  // namespace vedavi::wikitext
