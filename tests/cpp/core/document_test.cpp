#include "document.h"

#include <gtest/gtest.h>

#include "frontmatter.h"
#include "link_ref.h"
#include "options.h"
#include "render.h"

namespace vedavi {
namespace {

Inline text(std::string s) { return Inline::Text{std::move(s)}; }

// A chain of `depth` emphasis nodes around one text.
Inlines deep_inlines(std::size_t depth) {
  Inlines root;
  root.push_back(text("x"));
  for (std::size_t i = 0; i < depth; ++i) {
    Inline::Emph emph;
    emph.children = std::move(root);
    root = Inlines();
    root.push_back(std::move(emph));
  }
  return root;
}

// A chain of `depth` nested list items, block quotes and divs, with a paragraph at the bottom.
Blocks deep_blocks(std::size_t depth) {
  Blocks root;
  root.push_back(Block::Paragraph{{}, deep_inlines(3)});
  for (std::size_t i = 0; i < depth; ++i) {
    Blocks next;
    switch (i % 3) {
      case 0: next.push_back(Block::BlockQuote{{}, std::move(root)}); break;
      case 1: next.push_back(Block::Div{{}, std::move(root)}); break;
      default: {
        Block::List list;
        list.items.push_back(ListItem{{}, std::move(root), std::nullopt});
        next.push_back(std::move(list));
      }
    }
    root = std::move(next);
  }
  return root;
}

std::size_t inline_depth(const Inlines& list) {
  std::size_t depth = 0;
  const Inlines* cur = &list;
  while (!cur->empty() && (*cur)[0].children()) {
    cur = (*cur)[0].children();
    ++depth;
  }
  return depth;
}

TEST(DocumentTree, DeepInlinesCopyAndDestroyWithoutRecursion) {
  Inlines deep = deep_inlines(1'000'000);
  Inlines copy = deep;
  EXPECT_EQ(inline_depth(copy), 1'000'000u);
  EXPECT_EQ(render::plain(copy), "x");
}

TEST(DocumentTree, DeepBlocksCopyAndDestroyWithoutRecursion) {
  Document doc;
  doc.blocks = deep_blocks(1'000'000);
  Document copy = doc;
  std::size_t depth = 0;
  const Block* cur = &copy.blocks[0];
  while (true) {
    const Blocks* kids = cur->children();
    if (!kids) {
      if (auto* list = cur->get_if<Block::List>()) kids = &list->items[0].children;
    }
    if (!kids) break;
    cur = &(*kids)[0];
    ++depth;
  }
  EXPECT_EQ(depth, 1'000'000u);
  EXPECT_EQ(cur->kind(), BlockKind::Paragraph);
}

}  // namespace
}  // namespace vedavi
