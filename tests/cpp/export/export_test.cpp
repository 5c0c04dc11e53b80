// The HTML export: code blocks and their hooks, column widths, cross-references and numbers,
// panels, ids, raw payloads, the table of contents, nodes that an earlier step cut out, and
// pages that read back unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <unordered_set>

#include "export/export.h"
#include "export/number_format.h"
#include "export/slug.h"
#include "fast5ever/parse.h"
#include "highlight/highlight.h"
#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::exporter::test {
namespace {

using vedavi::test::repeat;

HookResult some(std::string text) { return std::optional<std::string>(std::move(text)); }

// An export's HTML, or "error: " and the message; warnings apart.
struct Exported { std::string html; std::vector<std::string> warnings; };

Exported run(std::string_view src, const HtmlExportOptions& options = {}) {
  Outcome<ExportOutput> out = export_html(src, options);
  if (!out) return {"error: " + out.message(), {}};
  return {std::move(out.value().html), std::move(out.value().warnings)};
}

// One export a case: `set` adjusts the options, `html` and `warnings` are what comes out.
struct Case {
  std::string src;
  std::function<void(HtmlExportOptions&)> set;
  std::string html;
  std::vector<std::string> warnings = {};
};

void check_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    HtmlExportOptions options;
    if (c.set) c.set(options);
    const Exported out = run(c.src, options);
    EXPECT_EQ(out.html, c.html) << c.src;
    EXPECT_EQ(out.warnings, c.warnings) << c.src;
  }
}

constexpr std::string_view kPy = "<pre><code class=\"language-py numberLines\">a&lt;b</code></pre>";

// Hooks that log their calls ("hook: arguments") and answer from fixed strings: "" answers none,
// "\x01" fails, "-" leaves the hook out.
struct Hooks {
  std::vector<std::string> calls;
  std::string lang = "-", highlight = "-", wrap = "-";

  HookResult log(const std::string& answer, std::string call) {
    calls.push_back(std::move(call));
    if (answer == "\x01") return Failure{"hook failed"};
    return answer.empty() ? HookResult(std::nullopt) : some(answer);
  }
  HtmlExportOptions options(HlMode hl) {
    HtmlExportOptions o;
    o.hl = hl;
    const auto str = [](std::optional<std::string_view> s) { return std::string(s.value_or("<none>")); };
    if (lang != "-") {
      o.hl_lang = [=, this](std::string_view code, auto l) { return log(lang, "lang: " + str(code) + "|" + str(l)); };
    }
    if (highlight != "-") {
      o.hl_fn = [=, this](std::string_view code, std::string_view l, HlMode mode) {
        return log(highlight, "hl: " + str(code) + "|" + str(l) + "|" + std::to_string(int(mode)));
      };
    }
    if (wrap != "-") {
      o.code_wrap = [=, this](std::string_view html, auto l, std::string_view code) {
        return log(wrap, "wrap: " + str(html) + "|" + str(l) + "|" + str(code));
      };
    }
    return o;
  }
};

TEST(Code, WithoutHooks) {
  const std::string md = "<pre><code class=\"language-markdown\">";
  const std::string blocks = std::string(kPy) + std::string(kPy) + "<pre><code class=\"language-\">x</code></pre>";
  const auto hl = [](HlMode mode) { return [mode](HtmlExportOptions& o) { o.hl = mode; }; };
  check_cases({
      {std::string(kPy) + "<pre><code class=\"language-md\">#</code></pre>", nullptr,
       std::string(kPy) + "<pre><code class=\"language-md\">#</code></pre>"},  // off leaves blocks alone
      {blocks, hl(HlMode::Spans), blocks, {std::string(kNoHighlighterWarning)}},  // warned once
      // md blocks take the dialect highlighter.
      {md + "# a &lt;b&gt;</code></pre>", hl(HlMode::Spans), md + highlight::highlight_md("# a <b>", "hl-") + "</code></pre>"},
      {md + "# a &lt;b&gt;</code></pre>", hl(HlMode::Toks), md + highlight::highlight_md("# a <b>", "hl-") + "</code></pre>"},
  });
}

TEST(Code, HooksInOrder) {
  struct Case { HlMode mode; std::string lang, highlight, wrap; std::string_view html; std::vector<std::string_view> calls; };
  const Case cases[] = {
      {HlMode::Spans, "python", "<pre><code><b>a</b>&lt;b</code></pre>", "",
       "<pre><code class=\"language-python\"><b>a</b>&lt;b</code></pre>", {"lang", "hl", "wrap"}},
      {HlMode::Spans, "py", "<p>1</p><p>2</p>", "-",
       "<pre><code class=\"language-py numberLines\"><p>1</p><p>2</p></code></pre>", {"lang", "hl"}},
      {HlMode::Spans, "", "-", "<figure>f</figure>", "<figure>f</figure>", {"lang", "wrap"}},
      {HlMode::Toks, "-", "<pre toks=\"a b\"><code>z</code></pre>", "-",
       "<hl-code toks=\"a b\"><pre><code class=\"language-py numberLines\">a&lt;b</code></pre></hl-code>", {"hl"}},
      {HlMode::Toks, "-", "text only", "-",
       "<hl-code toks=\"\"><pre><code class=\"language-py numberLines\">a&lt;b</code></pre></hl-code>", {"hl"}},
      {HlMode::Toks, "-", "", "<i>w</i>", "<i>w</i>", {"hl", "wrap"}},
      {HlMode::Off, "-", "-", "", std::string_view(kPy), {"wrap"}},
      {HlMode::Spans, "\x01", "-", "-", "error: hook failed", {"lang"}},
      {HlMode::Spans, "-", "\x01", "-", "error: hook failed", {"hl"}},
      {HlMode::Spans, "-", "-", "\x01", "error: hook failed", {"wrap"}},
  };
  for (const Case& c : cases) {
    Hooks hooks{{}, c.lang, c.highlight, c.wrap};
    EXPECT_EQ(run(kPy, hooks.options(c.mode)).html, c.html) << c.lang << " " << c.highlight << " " << c.wrap;
    std::vector<std::string_view> names;
    for (const std::string& call : hooks.calls) names.push_back(std::string_view(call).substr(0, call.find(':')));
    EXPECT_EQ(names, c.calls) << c.html;
  }
}

TEST(Code, HookArguments) {
  Hooks hooks{{}, "python", "<pre toks=\"t\"></pre>", ""};
  run(std::string(kPy) + "<pre><code>plain</code></pre><pre>no code</pre>", hooks.options(HlMode::Toks));
  EXPECT_EQ(hooks.calls, (std::vector<std::string>{
      "lang: a<b|py", "hl: a<b|python|1",
      "wrap: <hl-code toks=\"t\"><pre><code class=\"language-python\">a&lt;b</code></pre></hl-code>|python|a<b",
      "lang: plain|<none>", "hl: plain|python|1",
      "wrap: <hl-code toks=\"t\"><pre><code class=\"language-python\">plain</code></pre></hl-code>|python|plain"}));
  Hooks failing{{}, "\x01", "\x01", "\x01"};  // a failure stops at the first block
  EXPECT_EQ(run(std::string(kPy) + std::string(kPy), failing.options(HlMode::Off)).html, "error: hook failed");
  EXPECT_EQ(failing.calls.size(), 1u);
}

TEST(NumberFormat, FmtGAndParseFloat) {
  const std::pair<double, std::string_view> formatted[] = {
      {0.5, "0.5"},        {100, "100"},           {1234567, "1.23457e+06"}, {0.0000125, "1.25e-05"},
      {0.0001, "0.0001"},  {999999.7, "1000000"},  {100.0 / 3, "33.3333"},   {0.0, "0"},
      {-0.0, "0"},         {-2.5, "-2.5"},         {1e100, "1e+100"},        {1.0 / 3, "0.333333"}};
  for (const auto& [value, text] : formatted) EXPECT_EQ(fmt_g(value), text) << value;
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<std::string_view, std::optional<double>> parsed[] = {
      {"1", 1}, {"+1.5", 1.5}, {"-2", -2}, {"1.", 1}, {".5", 0.5}, {"1e3", 1000}, {"1E-1", 0.1}, {"INF", inf},
      {"-Infinity", -inf}, {"1e999", inf}, {"1e-999", 0.0}, {"0.0000e999", 0.0}, {"", std::nullopt},
      {".", std::nullopt}, {"e5", std::nullopt}, {"1e", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt},
      {"0x10", std::nullopt}, {"nan(1)", std::nullopt}, {"++1", std::nullopt}, {"1_0", std::nullopt}};
  for (const auto& [text, value] : parsed) EXPECT_EQ(parse_float(text), value) << text;
  EXPECT_TRUE(std::isnan(*parse_float("nAn")));
}

// Each source is a table's attributes, then its content.
void check_tables(const std::vector<std::pair<std::string, std::string>>& cases) {
  std::vector<Case> tables;
  for (const auto& [table, html] : cases) tables.push_back({"<table " + table + "</table>", nullptr, html});
  check_cases(tables);
}

TEST(ColumnWidths, Colgroups) {
  const std::string fixed = "<table style=\"table-layout:fixed;width:100%\">";
  const std::string one_col = "<colgroup><col style=\"width:100%\"></colgroup>";
  check_tables({
      {"colwidths=\"1fr 3fr\">", fixed + "<colgroup><col style=\"width:25%\"><col style=\"width:75%\"></colgroup></table>"},
      {"colwidths=\"-0fr 1fr\">", fixed + "<colgroup><col style=\"width:0%\"><col style=\"width:100%\"></colgroup></table>"},
      {"colwidths=\"120px 1fr 1fr\">",
       fixed + "<colgroup><col style=\"width:120px\"><col style=\"width:calc((100% - 120px) * 0.5)\">"
               "<col style=\"width:calc((100% - 120px) * 0.5)\"></colgroup></table>"},
      {"colwidths=\"1fr 2fr 3em 4rem\">",
       fixed + "<colgroup><col style=\"width:calc((100% - 3em - 4rem) * 0.333333)\">"
               "<col style=\"width:calc((100% - 3em - 4rem) * 0.666667)\"><col style=\"width:3em\"><col "
               "style=\"width:4rem\"></colgroup></table>"},
      {"colwidths=\" \" style=\"color:red; \">",
       "<table style=\"color:red;table-layout:fixed;width:100%\"><colgroup></colgroup></table>"},
      {"colwidths=\"1fr\" width=\"80%\">", "<table style=\"table-layout:fixed;width:100%;width:80%\">" + one_col + "</table>"},
      // The colgroup follows the caption, also when white space comes first.
      {"colwidths=\"1fr\">\n<caption>c</caption>\n<tr><td>x",
       fixed + "\n<caption><span class=\"caption-label\">Table 1</span>: c</caption>" + one_col +
           "\n<tbody><tr><td>x</td></tr></tbody></table>"},
      {"colwidths=\"1fr\">\n<tr><td>x", fixed + one_col + "\n<tbody><tr><td>x</td></tr></tbody></table>"},
      // `width` becomes style when it is a length.
      {"width=50>", "<table style=\"width:50px\"></table>"}, {"width=\"50%\">", "<table style=\"width:50%\"></table>"},
      {"width=\"2.5rem\" style=\"x;\">", "<table style=\"x;width:2.5rem\"></table>"},
      {"width=auto>", "<table width=\"auto\"></table>"}, {"width=-5>", "<table width=\"-5\"></table>"},
      {"width=\"10 px\">", "<table width=\"10 px\"></table>"}, {"width=inf>", "<table width=\"inf\"></table>"},
      {"width=NaNem>", "<table width=\"NaNem\"></table>"},
  });
}

TEST(ColumnWidths, RefusedWeights) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"xfr 1fr", "\"xfr\""}, {"fr", "\"fr\""}, {"a\"\\fr", "\"a\\\"\\\\fr\""},
      // Not finite, or a share that is not: never written as "NaN" or "inf".
      {"inffr", "\"inffr\""}, {"1fr nanfr", "\"nanfr\""}, {"1e999fr", "\"1e999fr\""},
      {"1e308fr 1e308fr", "\"1e308fr\""},
      // Negative or adding up to zero: the table's value and the reason.
      {"0fr 0fr", "\"0fr 0fr\": the weights add up to zero"},
      {"120px -0fr", "\"120px -0fr\": the weights add up to zero"},
      {"1fr -1fr", "\"1fr -1fr\": the weight \"-1fr\" is negative"},
      {"-1fr 2fr", "\"-1fr 2fr\": the weight \"-1fr\" is negative"},
      {"2fr -1e-300fr", "\"2fr -1e-300fr\": the weight \"-1e-300fr\" is negative"},
  };
  for (const auto& [colwidths, message] : cases) {
    EXPECT_EQ(run("<table colwidths='" + std::string(colwidths) + "'></table>").html,
              "error: bad colwidths value " + std::string(message)) << colwidths;
  }
}

const std::string kNotFound =
    "cross-reference target #nope not found (targets are headings, paragraphs, figures, tables, spans, and "
    "definition terms with ids)";
const std::string kNeedsNumber = " needs a number its target does not have; pass number_headings or use {ref=text}";
const std::string kTwoSections =
    "<h2 id=\"sec-a\" data-id=\"sec-a\"><span class=\"heading-number\">1.</span> A</h2>"
    "<h2 id=\"sec-b\" data-id=\"sec-b\"><span class=\"heading-number\">2.</span> B</h2>"
    "<figure id=\"fig-b\" data-id=\"fig-b\"><img><figcaption><span class=\"caption-label\">Figure 1</span>"
    "</figcaption></figure>";

auto refs(RefsMode mode, std::optional<NumberHeadings> number_headings = std::nullopt) {
  return [=](HtmlExportOptions& o) { o.refs = mode, o.number_headings = number_headings; };
}

TEST(References, GroupsAndSingles) {
  const std::string sections = "<h2 id=sec-a>A</h2><h2 id=sec-b>B</h2><figure id=fig-b><img></figure>";
  const auto strict = refs(RefsMode::Strict);
  check_cases({
      {sections + "<span data-refs> x <a href=#sec-a data-ref></a>; <a href=#sec-b data-ref></a></span>", strict,
       kTwoSections + "<span>Sections <a href=\"#sec-a\">1</a> and <a href=\"#sec-b\">2</a></span>"},
      {sections + "<span data-refs><a href=#sec-a data-ref></a><a href=#fig-b data-ref></a></span>", strict,
       kTwoSections + "<span>Section <a href=\"#sec-a\">1</a> and <a href=\"#fig-b\">Figure 1</a></span>"},
      {"<h2 id=sec-a>A</h2><span data-refs><a href=#sec-a data-ref>x</a>,<a href=#nope data-ref></a></span>",
       refs(RefsMode::Ids),
       "<h2 id=\"sec-a\" data-id=\"sec-a\">A</h2>"
       "<span><a href=\"#sec-a\" class=\"xref\">x sec-a</a> and <a href=\"#nope\" class=\"xref\">nope</a></span>"},
      {"<h2><a href=#sec-a data-ref>see</a></h2><h3 id=sec-a>A</h3>", strict,
       "<h2><span class=\"heading-number\">1.</span> <a href=\"#sec-a\">see 1.1</a></h2>"
       "<h3 id=\"sec-a\" data-id=\"sec-a\"><span class=\"heading-number\">1.1.</span> A</h3>"},
      {"<h2 id=sec-a>A <i>b</i></h2><a href=#sec-a data-ref=text class=k></a>", strict,
       "<h2 id=\"sec-a\" data-id=\"sec-a\">A <i>b</i></h2><a href=\"#sec-a\" class=\"k\">Section A b</a>"},
      {"<table id=tbl-1><tr><td>x</td></tr></table><a href=#tbl-1 data-ref></a>", strict,
       "<table id=\"tbl-1\" data-id=\"tbl-1\"><caption><span class=\"caption-label\">Table 1</span></caption>"
       "<tbody><tr><td>x</td></tr></tbody></table><a href=\"#tbl-1\">Table 1</a>"},
      {"<a href=#nope data-ref>see</a>", strict, "error: " + kNotFound},
      {"<a href=#nope data-ref>see</a>", refs(RefsMode::Lenient), "<a href=\"#nope\" class=\"xref\">see nope</a>",
       {kNotFound}},
      {"<p id=eq-1>x</p><a href=#eq-1 data-ref></a>", strict,
       "error: unknown reference type 'eq'; pass reftypes= to define its prefix"},
      {"<p id=sec-1>x</p><a href=#sec-1 data-ref=\"page text\"></a>", strict,
       "error: conflicting data-ref tokens: ['page', 'text']"},
      {"<p id=sec-1>x</p><a href=#sec-1 data-ref></a>", strict, "error: cross-reference #sec-1" + kNeedsNumber},
      {"<h2 id=sec-a>A</h2><a href=#sec-a data-ref></a>", refs(RefsMode::Strict, NeverNumber{}),
       "error: cross-reference #sec-a" + kNeedsNumber},
      {"<a href=#nope data-ref></a><table><caption>c</caption></table>", refs(RefsMode::Ids),
       "<a href=\"#nope\" class=\"xref\">nope</a><table><caption>c</caption></table>"},
  });
}

TEST(HeadingAndCaptionNumbers, SchemesAndCounting) {
  check_cases({
      {"<h1>T</h1><h2>A</h2><h6>Z</h6><h3>B</h3>", refs(RefsMode::Ids, SchemeName{"decimal"}),
       "<h1>T</h1><h2><span class=\"heading-number\">1.</span> A</h2>"
       "<h6><span class=\"heading-number\">1.0.0.0.1.</span> Z</h6><h3><span class=\"heading-number\">1.1.</span> B</h3>"},
      {"<h2>A</h2><h3>B</h3><h2>C</h2>", refs(RefsMode::Ids, SchemeLevels{{{"", "decimal"}, {"%2", "upperRoman"}}}),
       "<h2><span class=\"heading-number\">I</span> A</h2><h3>B</h3><h2><span class=\"heading-number\">II</span> C</h2>"},
      {"<h2>A</h2>", refs(RefsMode::Ids, SchemeLevels{{{"", "Decimal"}}}), "error: unknown numFmt \"Decimal\""},
      // Only "text" references: nothing needs a number.
      {"<h2 id=sec-a>A</h2><a href=#sec-a data-ref=text></a>", refs(RefsMode::Strict),
       "<h2 id=\"sec-a\" data-id=\"sec-a\">A</h2><a href=\"#sec-a\">Section A</a>"},
      {"<table><tr><td>x</td></tr></table><table><caption>c</caption></table><figure id=f><img><figcaption>cap"
       "</figcaption></figure>", refs(RefsMode::Strict),
       "<table><tbody><tr><td>x</td></tr></tbody></table>"
       "<table><caption><span class=\"caption-label\">Table 1</span>: c</caption></table>"
       "<figure id=\"f\" data-id=\"f\"><img><figcaption><span class=\"caption-label\">Figure 1</span>: cap"
       "</figcaption></figure>"},
      {"<figure id=fig-1><img></figure><p id=eq-1>x</p><a href=#fig-1 data-ref></a><a href=#eq-1 data-ref=text></a>",
       [](auto& o) { o.reftypes = {{"fig", {"Fig.", "Figs."}}, {"eq", {"Eq.", "Eqs."}}}; },
       "<figure id=\"fig-1\" data-id=\"fig-1\"><img><figcaption><span class=\"caption-label\">Fig. 1</span></figcaption>"
       "</figure><p id=\"eq-1\" data-id=\"eq-1\">x</p><a href=\"#fig-1\">Fig. 1</a><a href=\"#eq-1\">Eq. x</a>"},
  });
}

const std::string kRaw = "<script type=\"application/vnd.vedavi.raw\" data-format=";

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
      // The rule follows gh_ids: the two slugs of this text differ.
      {"<h2>1. Intro</h2>", auto_ids, "<h2 id=\"intro\">1. Intro</h2>"},
      {"<h2>1. Intro</h2>", [](auto& o) { o.auto_ids = o.gh_ids = true; }, "<h2 id=\"1-intro\">1. Intro</h2>"},
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
  // Unreserved, the taken set grows while series run: a taken id is skipped, and ids taken
  // before the growth are still found after it.
  SlugSeries series;
  series.take("a-3");
  std::vector<std::string> ids;
  for (int i = 0; i < 40; ++i) ids.push_back(series.next("a"));
  EXPECT_EQ(std::vector<std::string>(ids.begin(), ids.begin() + 4), (std::vector<std::string>{"a", "a-1", "a-2", "a-4"}));
  EXPECT_EQ(ids.back(), "a-40");
  EXPECT_EQ(series.next("a-3"), "a-3-1");
  EXPECT_EQ(series.next("a"), "a-41");
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

// Every exported page reads back unchanged through the HTML parser (no parse error repairs its
// tree), and holds each id once when its source did.
bool ids_unique(const fast5ever::dom::Dom& dom) {
  std::unordered_set<std::string> seen;
  for (fast5ever::dom::NodeId id : dom.descendants(0)) {
    if (auto value = dom.attr(id, "id"); value && !seen.emplace(*value).second) return false;
  }
  return true;
}

std::vector<std::string> corpus() {
  std::vector<std::string> docs = {
      "# Intro {#sec-intro}\n\nSee [@sec-intro] and [@sec-a; @fig-b] and [see @tbl-x]{ref=text}.\n\n"
      "::: {.callout-note}\n## Note\n\nbody\n:::\n\n::: {.details open=\"\"}\ninside\n:::\n\n"
      "| a | b |\n|---|-------|\n| 1 | 2 |\n: Cap {#tbl-x}\n\n```py\nprint(1)\n```\n\n```md\n# hi *there*\n```\n\n"
      "![A plot](x.png){#fig-b}\n\n## A {#sec-a}\n\nText[^1] and ^[an inline note].\n\n[^1]: Foot.\n\n"
      "## A\n\n### Same\n\n### Same\n\n```{=html}\n<b id=\"raw\">raw</b>\n```\n",
      "# One\n\n# One\n\n#### Deep\n\n## Two\n\n> ## Quoted\n\n- ## In a list\n\n| x |\n|:-:|\n| y |\n",
  };
  for (const char* name : {"testdata/commonmark/spec.txt", "testdata/pathological.md"}) {
    std::ifstream file(std::filesystem::path(VEDAVI_SHARED_DIR) / name);
    std::stringstream text;
    if (file && text << file.rdbuf()) docs.push_back(text.str());
  }
  return docs;
}

TEST(ExportedPages, ReadBackUnchangedWithUniqueIds) {
  std::vector<HtmlExportOptions> variants(3);
  variants[0].refs = variants[2].refs = RefsMode::Lenient;
  variants[1].refs = RefsMode::Ids;
  variants[1].auto_ids = variants[1].toc = true;
  variants[1].id_prefix = "p-";
  variants[1].fn_salt = "s";
  variants[1].hl = HlMode::Spans;
  variants[2].auto_ids = variants[2].gh_ids = variants[2].toc = true;
  variants[2].number_headings = SchemeName{"legal"};
  variants[2].hl = HlMode::Toks;
  variants[2].hl_fn = [](std::string_view code, std::string_view, HlMode) -> HookResult {
    return std::optional<std::string>("<pre toks=\"1 2\"><code><span>" + std::string(code) + "</span></code></pre>");
  };
  Options options = block::testing::default_options();
  options.bare_autolinks = options.frontmatter = true;
  options.math = MathMode::Brackets;
  for (const std::string& md : corpus()) {
    const std::string vedavi = render_document(parse(md, options));
    const bool has_unique_ids = ids_unique(fast5ever::dom::parse_fragment(vedavi));
    for (const HtmlExportOptions& variant : variants) {
      const Exported out = run(vedavi, variant);
      ASSERT_FALSE(out.html.starts_with("error: ")) << out.html;
      const fast5ever::dom::Dom page = fast5ever::dom::parse_fragment(out.html);
      EXPECT_EQ(page.to_html(0), out.html) << md.substr(0, 80);
      if (has_unique_ids) { EXPECT_TRUE(ids_unique(page)) << md.substr(0, 80); }
    }
  }
}

}  // namespace
}  // namespace vedavi::exporter::test
