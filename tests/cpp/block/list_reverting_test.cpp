// Reverted ordered lists show each item's line from its list marker on, once, whichever way the
// item turns back into text; items nested on one line share that line instead of copying it.
#include <gtest/gtest.h>

#include <string>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

TEST(ListRevertingPaths, ShowTheLineFromTheMarkerOn) {
  struct Case {
    std::string_view src;
    std::string_view expected;
  };
  const Case cases[] = {
      // The indentation before the marker is not shown, as for any paragraph line.
      {"   1. a", "p 1. a\n"},
      {" 2. a", "p 2. a\n"},
      {"  5) a", "p 5) a\n"},
      {">  3. a", "quote\n  p 3. a\n"},
      {" 3. a\n  4. b", "p 3. a\\n4. b\n"},
      {" 1. 1. a\n\n      b", "p 1. 1. a\np b\n"},
      // The marker line on its own, before a child that starts on a later line or on it.
      {" 1.\n    text", "p 1.\\ntext\n"},
      {"  2. # h", "p 2.\nh1 h\n"},
      // Link definitions took the item's line: it comes back once, before the text after it.
      {"1. [a]: /u\n   b", "p 1. [a]: /u\\nb\n"},
      {"1. 1. [a]: /u\n      b", "p 1. 1. [a]: /u\\nb\n"},
      {"1. 1. 1. x\n      y", "p 1. 1. 1. x\\ny\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(testing::parse_dump(c.src, testing::default_options()), c.expected) << "source: " << c.src;
}

TEST(ListRevertingPaths, ItemsNestedOnOneLineShareIt) {
  // Each level once copied the rest of the line: quadratic in time and memory at this depth.
  Options deep = testing::default_options();
  deep.max_block_depth = SIZE_MAX;
  std::string markers;
  for (int i = 0; i < 20000; ++i) markers += "1. ";
  Parsed p = parse_source(markers + "x\n   y", deep, 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  const auto* para = std::get_if<draft::Paragraph>(&p.drafts[0].block);
  ASSERT_NE(para, nullptr);
  EXPECT_TRUE(para->text == markers + "x\ny") << "text of " << para->text.size() << " bytes";
}

}  // namespace
}  // namespace vedavi::block
