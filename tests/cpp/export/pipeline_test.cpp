// The pipeline around the references: panels, ids, id prefixes, raw payloads, the table of
// contents, and what happens to nodes that an earlier step cut out.
#include <gtest/gtest.h>

#include "export/slug.h"
#include "export_util.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::exporter::test {
namespace {

using vedavi::test::repeat;

const std::string kRaw = "<script type=\"application/vnd.vedavi.raw\" data-format=";

HookResult some(std::string text) { return std::optional<std::string>(std::move(text)); }

TEST(Pipeline, EmptyInputAndPanels) {
  check_cases({
      {"", nullptr, ""},
      {"", [](auto& o) { o.toc = true; }, "<nav class=\"toc\"><ol></ol></nav>"},
      {"", [](auto& o) { o.number_headings = SchemeName{"roman"}; }, "error: unknown numbering scheme 'roman'"},
      {"<div data-panel data-disclosure=open><p>x</p></div>", nullptr,
       "<details data-panel=\"\" data-disclosure=\"open\" open=\"\"><summary>Details</summary><p>x</p></details>"},
      {"<div data-panel data-disclosure=closed open><p>x</p></div>", nullptr,
       "<details data-panel=\"\" data-disclosure=\"closed\"><summary>Details</summary><p>x</p></details>"},
      {"<div data-panel data-disclosure=open data-callout=warning><p>x</p></div>", nullptr,
       "<details data-panel=\"\" data-disclosure=\"open\" data-callout=\"warning\" open=\"\"><summary>Warning</summary>"
       "<p>x</p></details>"},
      {"<div data-panel data-callout=warning>\n<p>x</p></div>", nullptr,
       "<div data-panel=\"\" data-callout=\"warning\"><header>Warning</header>\n<p>x</p></div>"},
      {"<div data-panel data-disclosure=fixed data-callout=\xc3\x9f><p>x</p></div>", nullptr,
       "<div data-panel=\"\" data-disclosure=\"fixed\" data-callout=\"\xc3\x9f\"><header>SS</header><p>x</p></div>"},
      {"<div data-panel><p>x</p></div>", nullptr, "<div data-panel=\"\"><p>x</p></div>"},
      {"<div data-panel data-disclosure=open>\n<header>T</header><p>x</p></div>", nullptr,
       "<details data-panel=\"\" data-disclosure=\"open\" open=\"\">\n<summary>T</summary><p>x</p></details>"},
      {"<div data-panel data-callout=note><header>T</header></div>", nullptr,
       "<div data-panel=\"\" data-callout=\"note\"><header>T</header></div>"},
      {"<div data-panel data-disclosure=open data-callout=\"\"><p>x</p></div>", nullptr,
       "<details data-panel=\"\" data-disclosure=\"open\" data-callout=\"\" open=\"\"><p>x</p></details>"},
  });
}

TEST(Ids, CopiesGeneratedIdsAndPrefixes) {
  const auto auto_ids = [](HtmlExportOptions& o) { o.auto_ids = true; };
  check_cases({
      {"<p id=a data-id=old>x</p><h2>T</h2>", nullptr, "<p id=\"a\" data-id=\"a\">x</p><h2>T</h2>"},
      {"<h2>Intro</h2><h2>Intro</h2><h2>Intro 1</h2>", auto_ids,
       "<h2 id=\"intro\">Intro</h2><h2 id=\"intro-1\">Intro</h2><h2 id=\"intro-1-1\">Intro 1</h2>"},
      {"<p id=intro>x</p><h2>Intro</h2>", auto_ids, "<p id=\"intro\" data-id=\"intro\">x</p><h2 id=\"intro-1\">Intro</h2>"},
      {"<h2>!!!</h2><h2>!!!</h2>", [](auto& o) { o.auto_ids = o.gh_ids = true; }, "<h2>!!!</h2><h2 id=\"-1\">!!!</h2>"},
      {"<h2 id=x>A</h2><h2 id=x>B</h2>", auto_ids, "<h2 id=\"x\" data-id=\"x\">A</h2><h2 id=\"x\" data-id=\"x\">B</h2>"},
      // The kindless div registered last replaces the span's text, as any later registration does.
      {"<span id=t>first</span><div id=t>second</div><a href=\"#t\" data-ref=\"\"></a>",
       [](auto& o) { o.refs = RefsMode::Strict; },
       "<span id=\"t\" data-id=\"t\">first</span><div id=\"t\" data-id=\"t\">second</div><a href=\"#t\">second</a>"},
      {"<h2 id=intro>I</h2><sup id=fnref-1><a href=\"#fn-1\">1</a></sup><li id=fn-1>"
       "<a href=\"#missing\">m</a><a href=\"other.html#intro\">o</a><a href=\"#intro\">i</a><p id=fnord>",
       [](auto& o) { o.id_prefix = "p-"; o.fn_salt = "x"; },
       "<h2 id=\"p-intro\" data-id=\"intro\">I</h2><sup id=\"p-xfnref-1\" data-id=\"fnref-1\"><a href=\"#p-xfn-1\">1</a>"
       "</sup><li id=\"p-xfn-1\" data-id=\"fn-1\"><a href=\"#missing\">m</a><a href=\"other.html#intro\">o</a>"
       "<a href=\"#p-intro\">i</a><p id=\"p-fnord\" data-id=\"fnord\"></p></li>"},
      {"<p id=a>x</p><p id=fn-1>y</p>", [](auto& o) { o.fn_salt = "s"; },
       "<p id=\"a\" data-id=\"a\">x</p><p id=\"sfn-1\" data-id=\"fn-1\">y</p>"},
  });
  const std::pair<std::string_view, std::string_view> defaults[] = {
      {"2. Results", "results"}, {"123", "section"}, {"\xc3\x9c" "berblick", "\xc3\xbc" "berblick"},
      {"A b_c.d-e", "a-b_c.d-e"}, {"C++ & C#", "c--c"}, {"", "section"}};
  for (const auto& [text, slug] : defaults) EXPECT_EQ(default_slug(text), slug) << text;
  const std::pair<std::string_view, std::string_view> gh[] = {{"Hello, World!", "hello-world"}, {"C++ & C#", "c--c"},
      {"!!!", ""}, {"a\tb\xc2\xa0" "c  d", "abc--d"}, {"1. Intro", "1-intro"}};
  for (const auto& [text, slug] : gh) EXPECT_EQ(gh_slug(text), slug) << text;
}

TEST(RawPayloadsAndToc, Cases) {
  const auto toc = [](HtmlExportOptions& o) { o.toc = true; };
  check_cases({
      {"<p>a</p>" + kRaw + "\"latex\">\\x</script><script type=\"text/x\">k</script>", nullptr,
       "<p>a</p><script type=\"text/x\">k</script>"},
      {"<div>" + kRaw + "\"html\"><h2 id=in>I</h2><b>x</b></script></div>", [](auto& o) { o.toc = true; o.id_prefix = "p-"; },
       "<nav class=\"toc\"><ol></ol></nav><div><h2 id=\"in\">I</h2><b>x</b></div>"},
      {kRaw + "\"html\" data-encoding=\"html\">&lt;i&gt;x&lt;/i&gt;</script>", nullptr, "<i>x</i>"},
      {"<p>a</p>" + kRaw + "\"html\" data-encoding=\"base64\">aGk</script>", nullptr, "<p>a</p>",
       {"malformed base64 VEDAVI raw payload: Invalid padding"}},
      {"<h1 id=a>A</h1><h2 id=b>B</h2><h2>C</h2><h1 id=d>D</h1>", toc,
       "<nav class=\"toc\"><ol><li><a href=\"#a\">A</a><ol><li><a href=\"#b\">B</a></li><li>C</li></ol></li>"
       "<li><a href=\"#d\">D</a></li></ol></nav><h1 id=\"a\" data-id=\"a\">A</h1><h2 id=\"b\" data-id=\"b\">B</h2>"
       "<h2>C</h2><h1 id=\"d\" data-id=\"d\">D</h1>"},
      {"<h2>A</h2><h1>B</h1>", toc, "<nav class=\"toc\"><ol><li>A</li><li>B</li></ol></nav><h2>A</h2><h1>B</h1>"},
      {"<h1>A</h1><h3>B</h3><h2>C</h2>", toc,
       "<nav class=\"toc\"><ol><li>A<ol><li>B</li></ol><ol><li>C</li></ol></li></ol></nav><h1>A</h1><h3>B</h3><h2>C</h2>"},
      {"<h2 id=i>Scope</h2>", [](auto& o) { o.toc = true; o.id_prefix = "p-"; o.number_headings = SchemeName{"decimal"}; },
       "<nav class=\"toc\"><ol><li><a href=\"#p-i\">1. Scope</a></li></ol></nav>"
       "<h2 id=\"p-i\" data-id=\"i\"><span class=\"heading-number\">1.</span> Scope</h2>"},
  });
}

// A group keeps only its links: a raw payload, a code block and a table inside it are cut out at
// the reference step, and later steps pass over them instead of failing on their missing place.
TEST(DetachedNodes, LaterStepsSkipThem) {
  HtmlExportOptions options;
  options.refs = RefsMode::Ids;
  options.hl = HlMode::Toks;
  int wraps = 0;
  options.hl_fn = [](std::string_view, std::string_view, HlMode) { return some("<i toks=t>"); };
  options.code_wrap = [&](std::string_view, std::optional<std::string_view>, std::string_view) {
    ++wraps;
    return some("<div>w</div>");
  };
  const Exported out = run("<span data-refs><a href=\"#x\" data-ref></a>" + kRaw + "\"html\">&</script>"
                           "<pre><code class=\"language-py\">1</code></pre><table colwidths=\"1fr\"><caption>c</caption>"
                           "</table></span><pre><code class=\"language-py\">2</code></pre>", options);
  EXPECT_EQ(out.html, "<span><a href=\"#x\" class=\"xref\">x</a></span><div>w</div>");
  EXPECT_EQ(wraps, 1);
}

TEST(DeepTrees, BuiltByLaterStepsAreWalkedWithoutRecursion) {
  // Each payload nests as deep as the parser allows, at the parser's deepest point.
  const std::string payload = repeat("<span>", 500);
  HtmlExportOptions options;
  options.code_wrap = [&](std::string_view html, std::optional<std::string_view>, std::string_view) {
    return some(payload + std::string(html));
  };
  const Exported out = run(repeat("<div>", 500) + repeat(kRaw + "\"html\">" + payload + "x</script>", 200) +
                           "<pre><code>c</code></pre>", options);
  std::size_t spans = 0;
  for (std::size_t at = 0; (at = out.html.find("<span>", at)) != std::string::npos; ++at) ++spans;
  EXPECT_EQ(spans, 201u * 500u);
  EXPECT_NE(out.html.find("<pre><code>c</code></pre>"), std::string::npos);
}

// Quadratic time would show at these sizes: every heading has the same text, every reference
// names the same target, and many siblings are replaced in one step (each parent's children are
// rebuilt once, not searched once per replaced child).
TEST(Linear, EqualSlugsReferencesToOneTargetAndReplacedSiblings) {
  HtmlExportOptions options;
  options.auto_ids = true;
  const Exported out = run(repeat("<h2>Same</h2>", 10'000) + "<span id=t>target text</span>" +
                           repeat("<a href=\"#t\" data-ref=\"text\"></a>", 10'000), options);
  EXPECT_NE(out.html.find("<h2 id=\"same-9999\">Same</h2><span"), std::string::npos);
  std::size_t texts = 0;
  for (std::size_t at = 0; (at = out.html.find(">target text</a>", at)) != std::string::npos; ++at) ++texts;
  EXPECT_EQ(texts, 10'000u);

  HtmlExportOptions toks;
  toks.hl = HlMode::Toks;
  toks.hl_fn = [](std::string_view, std::string_view, HlMode) { return some("<i toks=t>"); };
  EXPECT_EQ(run(repeat(kRaw + "\"latex\">x</script>" + kRaw + "\"html\">&lt;</script><pre><code class=\"language-py\">c"
                       "</code></pre>", 30'000), toks).html,
            repeat("&lt;<hl-code toks=\"t\"><pre><code class=\"language-py\">c</code></pre></hl-code>", 30'000));
}

}  // namespace
}  // namespace vedavi::exporter::test
