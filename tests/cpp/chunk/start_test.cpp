// How a text starts, the size arithmetic of the stages, and the heading trail of emitted chunks.
#include <gtest/gtest.h>

#include <limits>

#include "chunk/breadcrumb.h"
#include "chunk/chunk.h"
#include "chunk/stages.h"

namespace vedavi::chunk {
namespace {

TEST(InitialStart, FirstNonBlankLineDecides) {
  struct Case {
    std::string_view text;
    Start expected;
  } cases[] = {
      {"   \n\n### Notes\n", {false, 3}}, {"####### x", {}}, {"#tag", {}}, {"#", {}},
      {" # x", {}}, {"", {}}, {"#\tx", {}}, {"## a\r\nb", {false, 2}}, {"\r\n# a", {false, 1}},
      {"para\n# h", {}}, {"\xC2\xA0\n# h", {false, 1}},
  };
  for (const auto& c : cases) EXPECT_EQ(initial_start(c.text), c.expected) << c.text;
}

TEST(Stages, MaximaOfTarget700) {
  const auto s = stages(700);
  EXPECT_EQ(s[0].max_words, 525u);
  EXPECT_EQ(s[1].max_words, 700u);
  EXPECT_EQ(s[2].max_words, 875u);
  EXPECT_EQ(s[3].max_words, 1050u);
  EXPECT_TRUE(keeps_whole(1312, 875));
  EXPECT_FALSE(keeps_whole(1313, 875));
  EXPECT_TRUE(keeps_whole(1574, 1050));
  EXPECT_FALSE(keeps_whole(1575, 1050));
}

TEST(Stages, HugeCountsSaturateInsteadOfWrapping) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const auto s = stages(kMax);
  EXPECT_EQ(s[0].max_words, kMax / 4 * 3 + 2);  // (2^64-1)*3/4, exactly
  EXPECT_EQ(s[2].max_words, kMax);
  EXPECT_EQ(s[3].max_words, kMax);
  EXPECT_TRUE(keeps_whole(kMax, kMax));
  EXPECT_FALSE(keeps_whole(kMax, 1));
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

}  // namespace
}  // namespace vedavi::chunk
