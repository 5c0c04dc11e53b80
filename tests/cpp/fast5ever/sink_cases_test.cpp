// What a fragment parse leaves in the arena beyond the reachable tree: refused shadow roots and
// the doctypes it never makes.
#include <gtest/gtest.h>

#include <string>

#include "fast5ever/parse.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using testing_helpers::expect_sound;

std::vector<NodeId> arena_templates(const Dom& dom) {
  std::vector<NodeId> found;
  for (NodeId id = 0; id < dom.nodes.size(); ++id)
    if (dom.is_tag(id, "template")) found.push_back(id);
  return found;
}

// The sink refuses every declarative shadow root: the template made for the attachment stays in
// the arena, unlinked and empty, and an ordinary template with its own contents takes its place.
TEST(SinkArena, RefusedShadowRootLeavesAnUnlinkedTemplate) {
  for (const char* mode : {"open", "closed"}) {
    Dom dom = parse_fragment(std::string("<div><template shadowrootmode=") + mode + "><i>x</i></template></div>");
    const std::vector<NodeId> templates = arena_templates(dom);
    ASSERT_EQ(templates.size(), 2u) << mode;
    const NodeId refused = templates[0], used = templates[1];
    EXPECT_FALSE(dom.node(refused).parent) << mode;
    EXPECT_TRUE(dom.node(refused).children.empty()) << mode;
    const auto refused_contents = dom.element(refused)->template_contents;
    ASSERT_TRUE(refused_contents) << mode;
    EXPECT_TRUE(dom.node(*refused_contents).children.empty()) << mode;

    ASSERT_TRUE(dom.node(used).parent) << mode;
    EXPECT_TRUE(dom.is_tag(*dom.node(used).parent, "div")) << mode;
    const auto contents = dom.element(used)->template_contents;
    ASSERT_TRUE(contents) << mode;
    EXPECT_NE(*contents, *refused_contents) << mode;
    EXPECT_EQ(dom.to_html(*contents), "<i>x</i>") << mode;
    expect_sound(dom);
  }
  Dom plain = parse_fragment("<div><template><i>x</i></template></div>");
  EXPECT_EQ(arena_templates(plain).size(), 1u);
}

TEST(SinkArena, FragmentParsesMakeNoDoctype) {
  for (const char* input : {"<!DOCTYPE html><p>t", "<p>t<!doctype html>", "<!DOCTYPE>"}) {
    Dom dom = parse_fragment(input);
    for (const Node& node : dom.nodes) EXPECT_FALSE(std::holds_alternative<Doctype>(node.data)) << input;
  }
}

}  // namespace
}  // namespace fast5ever::dom
