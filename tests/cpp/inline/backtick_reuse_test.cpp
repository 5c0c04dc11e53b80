// One backtick-run index serves text after text: after `reset` it answers for the new text as a
// plain scan does, whatever lengths the earlier texts held.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vedavi
