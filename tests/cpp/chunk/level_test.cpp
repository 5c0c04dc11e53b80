// The level chunker: separators, merging, breadcrumbs and kinds.
#include <gtest/gtest.h>

#include "chunk/chunk.h"

namespace vedavi::chunk {
namespace {

std::string words_of(std::size_t n, std::string_view word = "w") {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) out += ' ';
    out += word;
  }
  return out;
}

TEST(LevelChunker, SmallTexts) {
  EXPECT_EQ(md_chunks("", 700), (std::vector<MdChunk>{{"", true, 0}}));
  EXPECT_EQ(md_chunks(" \n\t ", 700), (std::vector<MdChunk>{{" \n\t ", true, 0}}));
  const std::string text = "# T\n\n" + words_of(1000) + "\n\n" + words_of(500);
  EXPECT_EQ(md_chunks(text, 700), (std::vector<MdChunk>{{text, false, 1}}));
}

TEST(LevelChunker, PiecesAboveHalfTheMaximumStayApart) {
  // Stage 1 with target 700: max 525, half 262.
  const std::string a = "intro\n## A\n" + words_of(400);
  const std::string text = a + "\n## B\n" + words_of(400);
  const auto chunks = md_chunks(text, 700);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunks[0].text, a);
  EXPECT_EQ(chunks[1].text, "\n## B\n" + words_of(400));
  EXPECT_EQ(chunks[1].level, 2);
  EXPECT_FALSE(chunks[1].is_body);
}

TEST(LevelChunker, SmallPiecesMergeUntilOverTheMaximum) {
  std::string text = "x";
  for (int i = 0; i < 6; ++i) text += "\n## S\n" + words_of(198);  // 200 words a piece
  const auto chunks = md_chunks(text, 700);
  ASSERT_EQ(chunks.size(), 2u);
  // 1, 201, 401, 601 words before a piece: the fourth section closes the first chunk.
  EXPECT_EQ(words(chunks[0].text), 801u);
  EXPECT_EQ(words(chunks[1].text), 400u);
}

TEST(LevelChunker, LaterChunksCarryTheHeadingsAbove) {
  const std::string s1 = "\n## One\n" + words_of(600);
  const std::string s2 = "\n## Two\n" + words_of(600);
  const std::string intro = "# Guide\n" + words_of(300);
  const auto chunks = md_chunks(intro + s1 + s2, 700);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].text, intro);
  EXPECT_EQ(chunks[1].text, "# Guide\n" + s1);
  EXPECT_EQ(chunks[2].text, "# Guide\n" + s2);
  EXPECT_EQ(chunks[0].level, 1);
}

TEST(LevelChunker, ParagraphPiecesAreBody) {
  const std::string text = "## H\n" + words_of(1000) + "\n\n" + words_of(1000);
  const auto chunks = md_chunks(text, 700);
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_FALSE(chunks[0].is_body);
  EXPECT_TRUE(chunks[1].is_body);
  EXPECT_EQ(chunks[1].text, "## H\n\n\n" + words_of(1000));
}

TEST(LevelChunker, ABreadcrumbOfTheSplitIsReused) {
  // The last flush reuses the breadcrumb computed for the second chunk, though "# New" came
  // in between.
  const std::string tail = "\n## B\n" + words_of(300) + "\n## C\n" + words_of(10);
  const std::string text =
      "# Old\n" + words_of(300) + "\n## A\n" + words_of(300) + "\n# New\n" + tail;
  const auto chunks = md_chunks(text, 700);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[1].text, "# Old\n\n## A\n" + words_of(300) + "\n# New\n");
  EXPECT_EQ(chunks[2].text, "# Old\n" + tail);
}

TEST(LevelChunker, ManyHeadingsStayLinear) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "\n## h\nsome words here\n\n### k\nmore\n";
  const auto chunks = md_chunks(text, 50);
  ASSERT_GT(chunks.size(), 1000u);
  EXPECT_EQ(chunks[1].text.substr(0, 6), "\n## h\n");
}

}  // namespace
}  // namespace vedavi::chunk
