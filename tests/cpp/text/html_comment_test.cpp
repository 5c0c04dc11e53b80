// Where an HTML comment ends: as an HTML5 tokenizer ends it, so nothing after it hides inside it.
#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "text/scan.h"

namespace vedavi {
namespace {

TEST(HtmlCommentEnd, EndsWhereAnHtml5TokenizerEndsIt) {
  struct Case {
    std::string_view text;
    std::size_t lt;
    std::optional<std::size_t> end;
  };
  const Case cases[] = {
      {"<!-->x", 0, 5},            // the empty comments close at once
      {"<!--->x", 0, 6},
      {"x<!-->", 1, 6},
      {"<!---->", 0, 7},
      {"<!-- a -->", 0, 10},
      {"<!-- a --!> b -->", 0, 11},  // "--!>" ends it too
      {"<!-- a ---!>", 0, 12},
      {"<!--!> a", 0, std::nullopt},  // "--!>" needs its own dashes after the opener
      {"<!---!> a", 0, std::nullopt},
      {"<!-- a -- > b", 0, std::nullopt},
      {"<!-- a --\n> b", 0, std::nullopt},
      {"<!-- a", 0, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::html_comment_end(c.text, c.lt), c.end) << c.text;
}

}  // namespace
}  // namespace vedavi
