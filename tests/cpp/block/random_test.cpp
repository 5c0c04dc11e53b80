// Random documents from block-level pieces: every span mode parses them, and what the trace says
// stays inside the source.
#include <gtest/gtest.h>

#include <random>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    out.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return out;
}

TEST(RandomDocuments, TraceStaysInsideTheSource) {
  const std::string_view pieces[] = {
      "> ", "- ", "1. ", "2. ", "\t", " ", "  ", "\n", "\n\n", "```", "~~~", ":::", "::: a",
      "<div>", "</div>", "<div markdown=1>", "<!--", "-->", "|", "a | b", "---", "-|-", "{: #a}",
      "[a]: /u", "[^n]: ", "# ", "a", "b c", "\xC2\xA0", "$$", "\\[", "^", ": ", "* ", "[ ] ",
      "    ", "<p>", "<b ", "'", "\"", "{.x}", "=", "\xC2", "\xA0", "\xE2\x80", "\v", "\f",
      "\x85", "`", "~", "#", "](", "\\",
  };
  std::mt19937 rng(12345);
  Options options = testing::default_options();
  options.math = MathMode::Brackets;
  options.frontmatter = true;
  options.max_block_depth = 6;
  for (int round = 0; round < 3000; ++round) {
    std::string src;
    std::size_t n = rng() % 40;
    for (std::size_t k = 0; k < n; ++k) src += pieces[rng() % std::size(pieces)];
    if (round % 7 == 0) src.push_back('\0');
    std::vector<std::string_view> lines = split(src);
    std::vector<std::string> diagnostics;
    for (std::uint8_t mode = 0; mode <= 3; ++mode) {
      Parsed p = parse_source(src, options, mode);
      std::vector<std::string> messages;
      for (const auto& d : p.document.diagnostics) messages.push_back(d.message);
      if (mode == 0)
        diagnostics = messages;
      else
        EXPECT_EQ(messages, diagnostics) << src;
      std::size_t last_start = 0;
      for (const auto& s : p.trace.spans) {
        EXPECT_LE(s.start, s.end) << src;
        EXPECT_LE(s.end, lines.size()) << src;
        EXPECT_GE(s.start, last_start) << src;
        last_start = s.start;
      }
      if (mode != 3) continue;
      ASSERT_EQ(p.trace.line_offsets.size(), lines.size()) << src;
      for (std::size_t l = 0; l < lines.size(); ++l) EXPECT_LE(p.trace.line_offsets[l], lines[l].size()) << src;
      for (const auto& e : p.trace.records) {
        if (auto* s = std::get_if<SyntaxRecord>(&e)) {
          ASSERT_LT(s->line, lines.size()) << src;
          EXPECT_LT(s->start, s->end) << src;
          EXPECT_LE(s->end, lines[s->line].size()) << src;
        }
      }
    }
  }
}

// The drafts of span mode 0 and the block listing of the other modes come from one build: the
// spans of the mode-0 drafts are the listing without the driver's own definition spans.
TEST(RandomDocuments, EveryModeBuildsTheSameBlocks) {
  const std::string_view pieces[] = {
      "> ", "- ", "1. ", "2. ", "\t", "  ", "    ", "\n", "\n\n", "```", "~~~ x", "::: a", ":::",
      "<div>", "</div>", "<div markdown=1>", "<!--", "-->", "| a | b |", "|-|:-:|", "a | b",
      "---", "{: #a}", "[a]: /u", "[^n]: ", "# ", "## h {.c}", "text", "more words", ": ",
      "Term\n: def\n", "$$", "^", "[ ] ", "* ", "\xC2\xA0", "x\\|y",
  };
  std::mt19937 rng(2024);
  Options options = testing::default_options();
  options.math = MathMode::Dollars;
  options.max_block_depth = 8;
  auto listing = [](const std::vector<BlockSpan>& spans) {
    std::string out;
    for (const auto& s : spans)
      if (s.kind != "attr_def" && s.kind != "link_ref")
        out += std::string(s.kind) + " " + std::to_string(s.start) + "-" + std::to_string(s.end) +
               " d" + std::to_string(s.depth) + "\n";
    return out;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string src;
    for (std::size_t k = rng() % 40; k > 0; --k) src += pieces[rng() % std::size(pieces)];
    std::vector<BlockSpan> from_drafts;
    draft_spans(parse_source(src, options, 0).drafts, 0, from_drafts);
    std::string expected = listing(from_drafts);
    for (std::uint8_t mode = 1; mode <= 3; ++mode)
      EXPECT_EQ(listing(parse_source(src, options, mode).trace.spans), expected)
          << "mode " << int(mode) << ": " << src;
  }
}

}  // namespace
}  // namespace vedavi::block
