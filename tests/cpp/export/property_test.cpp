// Every exported page reads back unchanged through the HTML parser (no parse error repairs its
// tree), and holds each id once when its source did.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_set>

#include "export/export.h"
#include "fast5ever/parse.h"
#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::exporter {
namespace {

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
      const Outcome<ExportOutput> out = export_html(vedavi, variant);
      ASSERT_TRUE(out) << out.message();
      const fast5ever::dom::Dom page = fast5ever::dom::parse_fragment(out.value().html);
      EXPECT_EQ(page.to_html(0), out.value().html) << md.substr(0, 80);
      if (has_unique_ids) { EXPECT_TRUE(ids_unique(page)) << md.substr(0, 80); }
    }
  }
}

}  // namespace
}  // namespace vedavi::exporter
