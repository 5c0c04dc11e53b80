// The structural and greedy chunkers: cuts along top-level blocks, breadcrumbs, the greedy
// choice against a plain scan of every end, and chunks that put back together give the source.
#include <gtest/gtest.h>

#include <random>

#include "chunk/chunk.h"
#include "chunk/greedy.h"

namespace vedavi::chunk {
namespace {

std::string words_of(std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += i ? " w" : "w";
  return out;
}

std::vector<std::string> texts(const std::vector<MdChunk>& chunks) {
  std::vector<std::string> out;
  for (const MdChunk& c : chunks) out.push_back(c.text);
  return out;
}

TEST(StructuralChunker, EdgeCases) {
  EXPECT_TRUE(md_chunks_structural("", 700).empty());
  EXPECT_EQ(md_chunks_structural("# A\n", 700), (std::vector<MdChunk>{{"# A\n", false, 1}}));
  // A 5000-word fenced code block is never divided.
  const std::string code = "```\n" + words_of(5000) + "\n# not a heading\n```\n";
  const auto chunks =
      md_chunks_structural(words_of(600) + "\n\n" + code + "\n" + words_of(600) + "\n", 700);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[1].text, code + "\n");
}

TEST(StructuralChunker, BreadcrumbsAndCuts) {
  const std::string a = "# A\n\n" + words_of(500) + "\n\n";
  const std::string b = "## B\n\n" + words_of(500) + "\n\n";
  const std::string c = "## C\n\n- ## inside a list\n\n" + words_of(500) + "\n";
  const auto chunks = md_chunks_structural(a + b + c, 700);
  EXPECT_EQ(texts(chunks), (std::vector<std::string>{a, "# A\n\n" + b, "# A\n\n" + c}));
  EXPECT_EQ(chunks[2].level, 2);
}

TEST(StructuralChunker, DeepHeadingsAreCutOnlyAtTheLastStage) {
  const std::string a = "##### E\n\n" + words_of(1000) + "\n\n";
  const std::string b = "##### F\n\n" + words_of(1000) + "\n";
  // The second "##### F" joins the first chunk, too small to stand alone.
  EXPECT_EQ(texts(md_chunks_structural(a + b, 700)),
            (std::vector<std::string>{a + "##### F\n\n", "##### F\n\n" + words_of(1000) + "\n"}));
  // Below one and a half times a stage's maximum a range stays whole at stages 3 and 4.
  EXPECT_EQ(md_chunks_structural(a + b, 1400).size(), 1u);
}

TEST(GreedyChunker, EdgeCases) {
  EXPECT_TRUE(md_chunks_greedy("", 700, 200).empty());
  EXPECT_EQ(texts(md_chunks_greedy("one block\nof two lines\n", 700, 200)),
            (std::vector<std::string>{"one block\nof two lines\n"}));
  // 690 words before a body block cost 0.05 + 4; 1000 words before "## H" cost 1.5.
  const std::string head = words_of(690) + "\n\n" + words_of(310) + "\n\n";
  const std::string tail = "## H\n\n" + words_of(10) + "\n";
  EXPECT_EQ(texts(md_chunks_greedy(head + tail, 700, 200)), (std::vector<std::string>{head, tail}));
  // Under "# A" a later chunk that starts at a body block carries it.
  const auto chunks = md_chunks_greedy("# A\n\n" + words_of(10) + "\n\n" + words_of(10), 10, 1);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[1].text, "# A\n\n" + words_of(10));
  EXPECT_TRUE(chunks[1].is_body);
}

// The choice as a scan of every end: the earliest of least cost.
std::size_t scanned_best_end(const GreedyEnds& ends, std::size_t start, std::size_t n) {
  double best = 1.0 / 0.0;
  std::size_t best_end = n;
  for (std::size_t j = start + 1; j <= n; ++j) {
    const double c = ends.cost(start, j);
    if (c < best) {
      best = c;
      best_end = j;
    }
  }
  return best_end;
}

TEST(GreedyEnds, SameChoiceAsAScanOfEveryEnd) {
  std::mt19937_64 rng(7);
  const std::uint64_t scales[] = {1, 3, 200, 1ull << 40, 1ull << 60, std::uint64_t(-1)};
  const std::uint64_t targets[] = {1, 5, 50, 700, std::uint64_t(-1) - 3};
  for (int round = 0; round < 3000; ++round) {
    const std::size_t n = 1 + rng() % 40;
    std::vector<std::uint64_t> w{0};
    std::vector<EndClass> classes(n);
    for (std::size_t j = 0; j < n; ++j) {
      w.push_back(w.back() + (j == 0 ? rng() % 2 : 1 + rng() % (round % 2 ? 3 : 300)));
      classes[j] = EndClass(rng() % 4);
    }
    const std::uint64_t target = targets[rng() % 5], scale = scales[rng() % 6];
    const GreedyEnds ends(w, classes, target, scale);
    for (std::size_t start = 0; start < n; ++start)
      ASSERT_EQ(ends.best_end(start), scanned_best_end(ends, start, n))
          << "round " << round << " start " << start;
  }
}

// Chunk texts with the breadcrumb of each later chunk taken off.
std::string rejoined(const std::vector<MdChunk>& chunks, std::string_view md) {
  std::string out;
  for (const MdChunk& c : chunks) {
    std::string_view text = c.text;
    if (!out.empty() && !md.substr(out.size()).starts_with(text)) {
      const std::size_t cut = text.find("\n\n");
      if (cut != std::string_view::npos) text.remove_prefix(cut + 2);
    }
    out += text;
  }
  return out;
}

TEST(BlockChunkers, ChunksWithoutBreadcrumbsGiveTheSource) {
  const std::string_view pieces[] = {
      "# A", "## B", "### C", "#### D", "##### E", "para", "w w w", "- item", "> quote", "```",
      "~~~", "| a | b |\n|---|---|", "---", "{: .c}", "[x]: /u", "<div>", "</div>", "::: n",
      ":::", "$$", "\n", "\n\n", "\r\n", "\r", "  ", "\t", "---\nk: v\n---", "- ## h", "1. x",
  };
  std::mt19937 rng(99);
  for (int round = 0; round < 2000; ++round) {
    std::string md;
    const std::size_t n = rng() % 30;
    for (std::size_t i = 0; i < n; ++i) {
      md += pieces[rng() % std::size(pieces)];
      md += rng() % 3 ? "\n" : " ";
    }
    const std::uint64_t target = 1 + rng() % 12;
    const auto structural = md_chunks_structural(md, target);
    const auto greedy = md_chunks_greedy(md, target, 1 + rng() % 5);
    ASSERT_EQ(rejoined(structural, md), md) << md;
    ASSERT_EQ(rejoined(greedy, md), md) << md;
    ASSERT_EQ(structural.empty(), md.empty());
    for (const MdChunk& c : structural) ASSERT_FALSE(c.text.empty()) << md;
  }
}

TEST(BlockChunkers, ManyHeadingsStayLinear) {
  std::string md;
  for (int i = 0; i < 100000; ++i) md += i % 3 ? "## h\n\ntext\n\n" : "# top\n\nmore words\n\n";
  const auto structural = md_chunks_structural(md, 700);
  const auto greedy = md_chunks_greedy(md, 700, 200);
  EXPECT_EQ(rejoined(structural, md), md);
  EXPECT_EQ(rejoined(greedy, md), md);
  EXPECT_GT(greedy.size(), 100u);
}

TEST(Chunkers, ATenMegabyteParagraphIsOneChunk) {
  std::string md;
  while (md.size() < (10u << 20)) md += "lorem ipsum dolor sit amet ";
  EXPECT_EQ(md_chunks_structural(md, 700), (std::vector<MdChunk>{{md, true, 0}}));
  EXPECT_EQ(md_chunks_greedy(md, 700, 200), (std::vector<MdChunk>{{md, true, 0}}));
  EXPECT_EQ(md_chunks(md, 700), (std::vector<MdChunk>{{md, true, 0}}));
}

}  // namespace
}  // namespace vedavi::chunk
