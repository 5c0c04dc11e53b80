// HTML comments in raw HTML blocks end where an HTML5 tokenizer ends them: what follows is raw
// HTML again, escaped like any other, and no block stays open for a comment that has ended.
#include <gtest/gtest.h>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

TEST(RawHtmlComments, EndWhereAnHtml5TokenizerEndsThem) {
  struct Case {
    std::string_view src;
    std::string_view expected;
  };
  const Case cases[] = {
      // The empty comments: the script after them is text, and nothing is left unclosed.
      {"<!---><script>x</script>\nb", "html <!--->&lt;script>x&lt;/script>\\n\np b\n"},
      // "--!>" ends a comment on a later line too.
      {"<!-- a\nb --!>\nc", "html <!-- a\\nb --!>\\n\np c\n"},
      // A tag after an ended comment counts for the depth of its element.
      {"<div>\n<!--></div>\nx", "html <div>\\n<!--></div>\\n\np x\n"},
      // Comments that stay open are closed as before.
      {"<!--!>\nb", "html <!--!>\\nb\\n-->\\n\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(testing::parse_dump(c.src, testing::default_options()), c.expected) << "source: " << c.src;
}

}  // namespace
}  // namespace vedavi::block
