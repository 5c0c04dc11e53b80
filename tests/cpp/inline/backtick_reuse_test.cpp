// One backtick-run index serves text after text: after `reset` it answers for the new text as a
// plain scan does, whatever lengths the earlier texts held.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "inline/code.h"

namespace vedavi {
namespace {

TEST(InlineBacktickRuns, ResetServesTheNextText) {
  constexpr std::string_view texts[] = {
      "`a` ``b`` ```c```", "``x` `y``", "no ticks", "`````long````` `", "` `` ``` ``",
      "````````````````````` 17+ `````````````````````", "`a``b`", "",
  };
  inl::BacktickRuns reused;
  for (int round = 0; round < 2; ++round) {
    for (std::string_view text : texts) {
      reused.reset();
      for (std::size_t p = 0; p < text.size(); ++p) {
        if (text[p] != '`' || (p > 0 && text[p - 1] == '`')) continue;
        const auto with = inl::code_span(text, p, &reused);
        const auto without = inl::code_span(text, p);
        ASSERT_EQ(with.has_value(), without.has_value()) << text << " at " << p;
        if (with) {
          EXPECT_EQ(with->end, without->end) << text << " at " << p;
        }
      }
    }
  }
}

// Whether the first span of a text closes at the next run (answered without the index) or not
// (the index is built), every later span is found as a plain scan finds it.
TEST(InlineBacktickRuns, AnswersBeforeAndAfterTheIndexAgree) {
  std::mt19937 rng(3);
  for (int round = 0; round < 2000; ++round) {
    std::string text(rng() % 40, 'a');
    for (char& c : text) c = "``a "[rng() % 4];
    for (std::size_t first = 0; first < text.size(); ++first) {
      inl::BacktickRuns runs;
      for (std::size_t p = first; p < text.size(); ++p) {
        if (text[p] != '`' || (p > 0 && text[p - 1] == '`')) continue;
        const auto with = inl::code_span(text, p, &runs);
        const auto without = inl::code_span(text, p);
        ASSERT_EQ(with.has_value(), without.has_value()) << text << " at " << p;
        if (with) {
          ASSERT_EQ(with->end, without->end) << text << " at " << p;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vedavi
