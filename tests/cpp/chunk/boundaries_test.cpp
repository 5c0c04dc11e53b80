// Top-level block boundaries and their breadcrumbs.
#include <gtest/gtest.h>

#include "chunk/boundaries.h"

namespace vedavi::chunk {
namespace {

// "offset:kind[crumb]" per boundary, kind "p" for body or "hN".
std::string dump(std::string_view md) {
  const Boundaries b = boundaries(md);
  std::string out;
  for (std::size_t i = 0; i < b.list.size(); ++i) {
    if (i) out += ' ';
    out += std::to_string(b.list[i].offset) + ':';
    out += b.list[i].is_body ? "p" : "h" + std::to_string(b.list[i].level);
    const std::string crumb = b.breadcrumb_of(i).text();
    if (!crumb.empty()) out += "[" + crumb + "]";
  }
  return out;
}

TEST(Boundaries, BlocksAndBreadcrumbs) {
  struct Case {
    std::string_view md, expected;
  } cases[] = {
      {"para", "0:p"},
      {"# A\n## B\npara\n## C\npara\n",
       "0:h1 4:h2[# A] 9:p[# A\n## B] 14:h2[# A] 19:p[# A\n## C]"},
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
  for (const auto& c : cases) EXPECT_EQ(dump(c.md), c.expected) << c.md;
}

TEST(Boundaries, CumulativeWordsCoverTheSource) {
  const Boundaries b = boundaries("# A b\n\nc d e\n\n## F\n");
  EXPECT_EQ(b.cumulative_words(), (std::vector<std::uint64_t>{0, 3, 6, 8}));
  EXPECT_EQ(b.breadcrumb_of(2).words, 3u);
}

TEST(Boundaries, ManyBlocksUnderOneLongHeadingShareItsBreadcrumb) {
  std::string md = "# " + std::string(100000, 'x') + "\n";
  for (int i = 0; i < 20000; ++i) md += "\npara\n";
  const Boundaries b = boundaries(md);
  ASSERT_EQ(b.list.size(), 20001u);
  EXPECT_EQ(b.breadcrumbs.size(), 2u);
  EXPECT_EQ(b.breadcrumb_of(20000).text(), md.substr(0, 100002));
}

}  // namespace
}  // namespace vedavi::chunk
