// Inline HTML comments end where an HTML5 tokenizer ends them; what follows is text again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

TEST(InlineHtmlComments, EndWhereAnHtml5TokenizerEndsThem) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a <!-- --!><script>x</script> --> b", R"~("a " html_inline"<!-- --!>" "<script>x</script> --> b")~"},
      {"<!-->x -->", R"~(html_inline"<!-->" "x -->")~"},
      // Several openers before one close share one search.
      {"<!-- <!-- a --!> <!-- b", R"~(html_inline"<!-- <!-- a --!>" " <!-- b")~"},
  };
  const test::Parser parse;
  for (const Case& c : cases) EXPECT_EQ(parse(c.input), c.expected) << "input: " << c.input;
}

}  // namespace
}  // namespace vedavi
