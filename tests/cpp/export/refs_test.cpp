// Cross-references by mode, heading numbers and caption numbers.
#include <gtest/gtest.h>

#include "export_util.h"

namespace vedavi::exporter::test {
namespace {

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
      {"<h2>A</h2><h3>B</h3><h2>C</h2>",
       refs(RefsMode::Ids, SchemeLevels{{{"", "decimal"}, {"%2", "upperRoman"}}}),
       "<h2><span class=\"heading-number\">I</span> A</h2><h3>B</h3><h2><span class=\"heading-number\">II</span> C</h2>"},
      {"<h2>A</h2>", refs(RefsMode::Ids, SchemeLevels{{{"", "Decimal"}}}),
       "error: unknown numFmt \"Decimal\""},
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

}  // namespace
}  // namespace vedavi::exporter::test
