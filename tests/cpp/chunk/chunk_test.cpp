// The chunkers: how a text starts, stage sizes, heading trails, top-level boundaries, the level,
// structural and greedy chunkers, and chunks that put back together give the source.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "chunk/boundaries.h"
#include "chunk/breadcrumb.h"
#include "chunk/chunk.h"
#include "chunk/greedy.h"
#include "chunk/stages.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::chunk {
namespace {

std::string words_of(std::size_t n) { return n ? "w" + test::repeat(" w", n - 1) : ""; }

std::vector<std::string> texts(const std::vector<MdChunk>& chunks) {
  std::vector<std::string> out;
  for (const MdChunk& c : chunks) out.push_back(c.text);
  return out;
}

using Texts = std::vector<std::string>;
using Chunks = std::vector<MdChunk>;

TEST(InitialStart, FirstNonBlankLineDecides) {
  const std::pair<std::string_view, Start> cases[] = {
      {"   \n\n### Notes\n", {false, 3}}, {"####### x", {}}, {"#tag", {}}, {"#", {}},
      {" # x", {}}, {"", {}}, {"#\tx", {}}, {"## a\r\nb", {false, 2}}, {"\r\n# a", {false, 1}},
      {"para\n# h", {}}, {"\xC2\xA0\n# h", {false, 1}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(initial_start(text), expected) << text;
}

TEST(Stages, MaximaAndHugeCountsSaturate) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const auto s = stages(700), huge = stages(kMax);
  EXPECT_EQ((std::vector<std::uint64_t>{s[0].max_words, s[1].max_words, s[2].max_words, s[3].max_words}),
            (std::vector<std::uint64_t>{525, 700, 875, 1050}));
  EXPECT_EQ((std::vector<std::uint64_t>{huge[0].max_words, huge[2].max_words, huge[3].max_words}),
            (std::vector<std::uint64_t>{kMax / 4 * 3 + 2, kMax, kMax}));  // (2^64-1)*3/4, exactly
  EXPECT_TRUE(keeps_whole(1312, 875) && keeps_whole(1574, 1050) && keeps_whole(kMax, kMax));
  EXPECT_FALSE(keeps_whole(1313, 875) || keeps_whole(1575, 1050) || keeps_whole(kMax, 1));
}

TEST(HeadingTrail, ChainOfShallowerLinesBeforeTheEnd) {
  struct Case {
    std::vector<std::string_view> chunks;
    std::uint8_t level;
    std::string_view expected;
  } cases[] = {
      {{"# A\ntext\n## B\n### C\nmore"}, 3, "# A\n## B\n"},
      {{"# A\n## B\n### C\n"}, 0, "# A\n## B\n### C\n"},
      {{"no headings\nhere"}, 2, ""},
      {{"# A\n", "## B\r\n", "text\n# C\n"}, 0, "# C\n"},
      {{"# A\n## B\n", "#### D\n### C\n"}, 0, "# A\n## B\n### C\n"},
      {{"#tag\n"}, 2, "#tag\n"},
      {{"# A\n########## deep\n"}, 0, "# A\n"},
      {{"# A\n######### nine\n"}, 0, "# A\n######### nine\n"},
      {{"```\n# not a heading, still a line\n```\n"}, 2, "# not a heading, still a line\n"},
  };
  for (const auto& c : cases) {
    HeadingTrail trail;
    for (std::string_view chunk : c.chunks) trail.feed(chunk);
    EXPECT_EQ(trail.breadcrumb(c.level), c.expected) << c.chunks.front();
  }
}

// "offset:kind[crumb]" per boundary, kind "p" for body or "hN".
std::string dump(const Boundaries& b) {
  std::string out;
  for (std::size_t i = 0; i < b.list.size(); ++i) {
    out += (i ? " " : "") + std::to_string(b.list[i].offset) + ':';
    out += b.list[i].is_body ? "p" : "h" + std::to_string(b.list[i].level);
    const std::string crumb = b.breadcrumb_of(i).text();
    if (!crumb.empty()) out += "[" + crumb + "]";
  }
  return out;
}

TEST(Boundaries, BlocksAndBreadcrumbs) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"para", "0:p"},
      {"# A\n## B\npara\n## C\npara\n", "0:h1 4:h2[# A] 9:p[# A\n## B] 14:h2[# A] 19:p[# A\n## C]"},
      {"# A\n### C\npara\n", "0:h1 4:h3[# A] 10:p[# A\n### C]"},
      {"## Scope {#scope}  \ntext\n", "0:h2 20:p[## Scope {#scope}]"},
      {"\n\npara\n", "0:p 2:p"},
      {"---\ntitle: x\n---\n# H\n", "0:p 17:h1"},
      {"\n\n# H\n", "0:h1 2:h1"},
      {"- ## not a cut\n- b\n\n> ## quoted\n", "0:p 20:p"},
      {"```\n# code\n```\n# after\n", "0:p 15:h1"},
      {"{: #a}\n[x]: /u\npara", "0:p 7:p 15:p"},
      {"# A\r\n\r\ntext\r\n", "0:h1 7:p[# A]"},
      {"# A\rtext\r## B\rmore", "0:h1 4:p[# A] 9:h2[# A] 14:p[# A\n## B]"},
      {"   \n", "0:p"},
  };
  for (const auto& [md, expected] : cases) EXPECT_EQ(dump(boundaries(md)), expected) << md;
  const Boundaries b = boundaries("# A b\n\nc d e\n\n## F\n");
  EXPECT_EQ(b.cumulative_words(), (std::vector<std::uint64_t>{0, 3, 6, 8}));
  EXPECT_EQ(b.breadcrumb_of(2).words, 3u);
}

TEST(Boundaries, ManyBlocksUnderOneLongHeadingShareItsBreadcrumb) {
  const std::string md = "# " + std::string(100000, 'x') + "\n" + test::repeat("\npara\n", 20000);
  const Boundaries b = boundaries(md);
  ASSERT_EQ(b.list.size(), 20001u);
  EXPECT_EQ(b.breadcrumbs.size(), 2u);
  EXPECT_EQ(b.breadcrumb_of(20000).text(), md.substr(0, 100002));
}

TEST(LevelChunker, SeparatorsMergingBreadcrumbsAndKinds) {
  const std::string w300 = words_of(300), w400 = words_of(400), w600 = words_of(600);
  EXPECT_EQ(md_chunks("", 700), (Chunks{{"", true, 0}}));
  EXPECT_EQ(md_chunks(" \n\t ", 700), (Chunks{{" \n\t ", true, 0}}));
  const std::string small = "# T\n\n" + words_of(1000) + "\n\n" + words_of(500);
  EXPECT_EQ(md_chunks(small, 700), (Chunks{{small, false, 1}}));
  // Stage 1 with target 700: max 525, half 262; pieces above half stay apart.
  EXPECT_EQ(md_chunks("intro\n## A\n" + w400 + "\n## B\n" + w400, 700),
            (Chunks{{"intro\n## A\n" + w400, true, 0}, {"\n## B\n" + w400, false, 2}}));
  // 1, 201, 401, 601 words before a 200-word piece: the fourth closes the first chunk.
  const std::string s = "\n## S\n" + words_of(198);
  EXPECT_EQ(md_chunks("x" + test::repeat(s, 6), 700),
            (Chunks{{"x" + test::repeat(s, 4), true, 0}, {test::repeat(s, 2), false, 2}}));
  const std::string intro = "# Guide\n" + w300, s1 = "\n## One\n" + w600, s2 = "\n## Two\n" + w600;
  EXPECT_EQ(md_chunks(intro + s1 + s2, 700),
            (Chunks{{intro, false, 1}, {"# Guide\n" + s1, false, 2}, {"# Guide\n" + s2, false, 2}}));
  const auto body = md_chunks("## H\n" + words_of(1000) + "\n\n" + words_of(1000), 700);
  EXPECT_EQ(body, (Chunks{{"## H\n" + words_of(1000), false, 2},
                          {"## H\n\n\n" + words_of(1000), true, 0}}));
  // The last flush reuses the breadcrumb computed for the second chunk, though "# New" came
  // in between.
  const std::string tail = "\n## B\n" + w300 + "\n## C\n" + words_of(10);
  EXPECT_EQ(texts(md_chunks("# Old\n" + w300 + "\n## A\n" + w300 + "\n# New\n" + tail, 700)),
            (Texts{"# Old\n" + w300, "# Old\n\n## A\n" + w300 + "\n# New\n", "# Old\n" + tail}));
}

// A later stage splits no breadcrumb from the text it heads, so no chunk is a breadcrumb alone.
TEST(LevelChunker, BreadcrumbStaysWithItsText) {
  struct Case {
    std::string_view md;
    std::uint64_t target;
    Texts expected;
  } cases[] = {
      {"# A\n\npara\n\n## B\n\ntext\n", 1,
       {"# A", "# A\n\n\npara\n", "# A\n\n## B", "# A\n## B\n\n\ntext\n"}},
      {"# A\n\n## B\n\n### C\n\nx y\n\nz\n", 1,
       {"# A\n", "# A\n\n## B\n", "# A\n## B\n\n### C", "# A\n## B\n### C\n\n\nx y",
        "# A\n## B\n### C\n\n\nz\n"}},
  };
  for (const auto& c : cases) {
    const Chunks chunks = md_chunks(c.md, c.target);
    EXPECT_EQ(texts(chunks), c.expected) << c.md;
  }
}

TEST(LevelChunker, ManyHeadingsStayLinear) {
  const auto chunks = md_chunks(test::repeat("\n## h\nsome words here\n\n### k\nmore\n", 100000), 50);
  ASSERT_GT(chunks.size(), 1000u);
  EXPECT_EQ(chunks[1].text.substr(0, 6), "\n## h\n");
}

TEST(StructuralChunker, CutsAlongTopLevelBlocks) {
  EXPECT_TRUE(md_chunks_structural("", 700).empty());
  EXPECT_EQ(md_chunks_structural("# A\n", 700), (Chunks{{"# A\n", false, 1}}));
  // A 5000-word fenced code block is never divided.
  const std::string code = "```\n" + words_of(5000) + "\n# not a heading\n```\n";
  const std::string w600 = words_of(600);
  EXPECT_EQ(texts(md_chunks_structural(w600 + "\n\n" + code + "\n" + w600 + "\n", 700)),
            (Texts{w600 + "\n\n", code + "\n", w600 + "\n"}));
  const std::string a = "# A\n\n" + words_of(500) + "\n\n", b = "## B\n\n" + words_of(500) + "\n\n";
  const std::string c = "## C\n\n- ## inside a list\n\n" + words_of(500) + "\n";
  const auto chunks = md_chunks_structural(a + b + c, 700);
  EXPECT_EQ(texts(chunks), (Texts{a, "# A\n\n" + b, "# A\n\n" + c}));
  EXPECT_EQ(chunks[2].level, 2);
  // Deep headings are cut only at the last stage; the second "##### F" joins the first chunk,
  // too small to stand alone. Below one and a half times a stage's maximum a range stays whole.
  const std::string e = "##### E\n\n" + words_of(1000) + "\n\n", f = "##### F\n\n" + words_of(1000) + "\n";
  EXPECT_EQ(texts(md_chunks_structural(e + f, 700)), (Texts{e + "##### F\n\n", f}));
  EXPECT_EQ(md_chunks_structural(e + f, 1400).size(), 1u);
}

TEST(GreedyChunker, EdgeCases) {
  EXPECT_TRUE(md_chunks_greedy("", 700, 200).empty());
  EXPECT_EQ(texts(md_chunks_greedy("one block\nof two lines\n", 700, 200)),
            (Texts{"one block\nof two lines\n"}));
  // 690 words before a body block cost 0.05 + 4; 1000 words before "## H" cost 1.5.
  const std::string head = words_of(690) + "\n\n" + words_of(310) + "\n\n";
  const std::string tail = "## H\n\n" + words_of(10) + "\n";
  EXPECT_EQ(texts(md_chunks_greedy(head + tail, 700, 200)), (Texts{head, tail}));
  // Under "# A" a later chunk that starts at a body block carries it.
  const auto chunks = md_chunks_greedy("# A\n\n" + words_of(10) + "\n\n" + words_of(10), 10, 1);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[1], (MdChunk{"# A\n\n" + words_of(10), true, 0}));
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
    const GreedyEnds ends(w, classes, targets[rng() % 5], scales[rng() % 6]);
    for (std::size_t start = 0; start < n; ++start) {
      std::size_t best_end = n;  // the earliest end of least cost
      double best = 1.0 / 0.0;
      for (std::size_t j = start + 1; j <= n; ++j) {
        if (const double c = ends.cost(start, j); c < best) best = c, best_end = j;
      }
      ASSERT_EQ(ends.best_end(start), best_end) << "round " << round << " start " << start;
    }
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
    for (std::size_t i = 0, n = rng() % 30; i < n; ++i) {
      md += pieces[rng() % std::size(pieces)];
      md += rng() % 3 ? "\n" : " ";
    }
    const std::uint64_t target = 1 + rng() % 12;
    const auto structural = md_chunks_structural(md, target);
    ASSERT_EQ(rejoined(structural, md), md) << md;
    ASSERT_EQ(rejoined(md_chunks_greedy(md, target, 1 + rng() % 5), md), md) << md;
    ASSERT_EQ(structural.empty(), md.empty());
    for (const MdChunk& c : structural) ASSERT_FALSE(c.text.empty()) << md;
  }
}

TEST(BlockChunkers, ManyHeadingsStayLinearAndATenMegabyteParagraphIsOneChunk) {
  std::string md;
  for (int i = 0; i < 100000; ++i) md += i % 3 ? "## h\n\ntext\n\n" : "# top\n\nmore words\n\n";
  const auto greedy = md_chunks_greedy(md, 700, 200);
  EXPECT_EQ(rejoined(md_chunks_structural(md, 700), md), md);
  EXPECT_EQ(rejoined(greedy, md), md);
  EXPECT_GT(greedy.size(), 100u);
  const std::string para = test::repeat("lorem ipsum dolor sit amet ", (10u << 20) / 27 + 1);
  const Chunks one{{para, true, 0}};
  EXPECT_EQ(md_chunks_structural(para, 700), one);
  EXPECT_EQ(md_chunks_greedy(para, 700, 200), one);
  EXPECT_EQ(md_chunks(para, 700), one);
}

}  // namespace
}  // namespace vedavi::chunk
