// Random documents from block-level pieces: every span mode parses them into the same blocks and
// diagnostics, and what the trace says stays inside the source.
#include <gtest/gtest.h>

#include <random>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> out;
  for (std::size_t start = 0, nl; start < text.size(); start = nl + 1) {
    nl = std::min(text.find('\n', start), text.size());
    out.push_back(text.substr(start, nl - start));
  }
  return out;
}

// The block listing without the driver's own definition spans, which mode-0 drafts do not have.
std::string listing(const std::vector<BlockSpan>& spans) {
  std::vector<BlockSpan> blocks;
  for (const auto& s : spans)
    if (s.kind != "attr_def" && s.kind != "link_ref") blocks.push_back(s);
  return testing::spans_dump(blocks);
}

// The top-level drafts as the finish reads them. A top-level list the ordered-list rules turned
// back into text stands in the mode-0 drafts as a splice of its drafts that keeps the list's span,
// where the span modes, which take their spans before the rules have the whole run, splice those
// drafts into the run; the finish reads a splice's members as drafts in its place, and so are they
// listed. Splices of md-HTML containers, listed alike in every mode, stay. The members must lie
// inside the list's lines.
void dissolve_reverted_lists(Drafts& drafts, std::string_view src) {
  Drafts run;
  for (Draft& d : drafts) {
    auto* splice = std::get_if<draft::Splice>(&d.block);
    if (!splice || d.span.kind != "list") {
      run.push_back(std::move(d));
      continue;
    }
    EXPECT_GE(splice->members.size(), 2u) << src;  // a list turned into one draft is that draft
    for (Draft& m : splice->members) {
      EXPECT_GE(m.span.start, d.span.start) << src;
      EXPECT_LE(m.span.end, d.span.end) << src;
      run.push_back(std::move(m));
    }
  }
  drafts = std::move(run);
}

void check_modes(std::string_view src, const Options& options) {
  const std::vector<std::string_view> lines = split(src);
  Parsed drafts = parse_source(src, options, 0);
  dissolve_reverted_lists(drafts.drafts, src);
  std::vector<BlockSpan> from_drafts;
  draft_spans(drafts.drafts, 0, from_drafts);
  for (std::uint8_t mode = 1; mode <= 4; ++mode) {
    Parsed p = parse_source(src, options, mode);
    ASSERT_EQ(p.document.diagnostics, drafts.document.diagnostics) << src;
    EXPECT_EQ(listing(p.trace.spans), listing(from_drafts)) << "mode " << int(mode) << ": " << src;
    std::size_t last_start = 0;
    for (const auto& s : p.trace.spans) {
      EXPECT_LE(s.start, s.end) << src;
      EXPECT_LE(s.end, lines.size()) << src;
      EXPECT_GE(s.start, last_start) << src;
      last_start = s.start;
    }
    if (mode < 3) continue;
    ASSERT_EQ(p.trace.line_offsets.size(), lines.size()) << src;
    for (std::size_t l = 0; l < lines.size(); ++l) EXPECT_LE(p.trace.line_offsets[l], lines[l].size()) << src;
    for (const SyntaxRecord& s : p.trace.syntax) {
      ASSERT_LT(s.line, lines.size()) << src;
      EXPECT_LT(s.start, s.end) << src;
      EXPECT_LE(s.end, lines[s.line].size()) << src;
    }
  }
}

TEST(RandomDocuments, EveryModeAgreesAndStaysInsideTheSource) {
  const std::string_view bytes[] = {
      "> ", "- ", "1. ", "2. ", "\t", " ", "  ", "\n", "\n\n", "```", "~~~", ":::", "::: a",
      "<div>", "</div>", "<div markdown=1>", "<!--", "-->", "|", "a | b", "---", "-|-", "{: #a}",
      "[a]: /u", "[^n]: ", "# ", "a", "b c", "\xC2\xA0", "$$", "\\[", "^", ": ", "* ", "[ ] ",
      "    ", "<p>", "<b ", "'", "\"", "{.x}", "=", "\xC2", "\xA0", "\xE2\x80", "\v", "\f",
      "\x85", "`", "~", "#", "](", "\\",
  };
  const std::string_view blocks[] = {
      "> ", "- ", "1. ", "2. ", "\t", "  ", "    ", "\n", "\n\n", "```", "~~~ x", "::: a", ":::",
      "<div>", "</div>", "<div markdown=1>", "<!--", "-->", "| a | b |", "|-|:-:|", "a | b",
      "---", "{: #a}", "[a]: /u", "[^n]: ", "# ", "## h {.c}", "text", "more words", ": ",
      "Term\n: def\n", "$$", "^", "[ ] ", "* ", "\xC2\xA0", "x\\|y",
  };
  Options options = testing::default_options();
  options.frontmatter = true;
  options.max_block_depth = 6;
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string src;
    for (std::size_t k = rng() % 40; k > 0; --k) src += bytes[rng() % std::size(bytes)];
    if (round % 7 == 0) src.push_back('\0');
    check_modes(src, options);
  }
  options.frontmatter = false;
  options.math = MathMode::Dollars;
  options.max_block_depth = 8;
  rng.seed(2024);
  for (int round = 0; round < 3000; ++round) {
    std::string src;
    for (std::size_t k = rng() % 40; k > 0; --k) src += blocks[rng() % std::size(blocks)];
    check_modes(src, options);
  }
  // Documents of hundreds of blocks: the span modes take their spans while the lines are read,
  // a few hundred drafts at a time, so later blocks meet earlier ones that are already listed.
  // Only blocks that end by the next line or a blank one, so that there are many.
  options.implicit_figures = true;
  const std::string_view lines[] = {
      "1. a", "2. b", "3. c", "- x", "- 1. 2. a", "  1. y", "> q", "> 1. r", "[u]: /x", "![i][u]",
      "{: .c}", "{: #d}", "T", ": d", "T\n: d", "T\n: d", "1. a", "1. a", "# h", "## s", "p", "^", "| a |", "|-|", "---",
  };
  for (int round = 0; round < 150; ++round) {
    std::string src;
    for (std::size_t k = 600 + rng() % 1200; k > 0; --k) {
      src += lines[rng() % std::size(lines)];
      src += rng() % 2 == 0 ? "\n\n" : "\n";
    }
    check_modes(src, options);
  }
}

}  // namespace
}  // namespace vedavi::block
