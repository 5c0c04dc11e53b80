#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "fast5ever/dom.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using html5::Namespace;
using testing_helpers::expect_sound;
using testing_helpers::kids;
using testing_helpers::make_foreign;
using testing_helpers::make_template;
using testing_helpers::put;

struct Abc {
  Dom dom;
  NodeId p, x, y, z;
  Abc() {
    p = put(dom, 0, dom.create_element("p"));
    x = put(dom, p, dom.create_text("x"));
    y = put(dom, p, dom.create_element("y"));
    z = put(dom, p, dom.create_text("z"));
  }
};

TEST(InsertBefore, CreatedNodesAreDetachedWithTheNextId) {
  Dom dom;
  EXPECT_EQ(dom.create_text("a"), 1u);
  NodeId el = dom.create_element("template", {{"a", "1"}, {"b:c", "2"}});
  EXPECT_EQ(el, 2u);
  const Element& e = *dom.element(el);
  EXPECT_EQ(e.name, (QualName{"", Namespace::Html, "template"}));
  EXPECT_FALSE(e.template_contents);
  ASSERT_EQ(e.attrs.size(), 2u);
  EXPECT_EQ(e.attrs[1].name, (QualName{"", Namespace::None, "b:c"}));
  EXPECT_FALSE(dom.node(el).parent);
}

TEST(InsertBefore, MovingInsideTheSameParentRemovesFirst) {
  Abc t;
  ASSERT_TRUE(t.dom.insert_before(t.p, t.x, t.y));
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.x, t.y, t.z}));
  ASSERT_TRUE(t.dom.insert_before(t.p, t.x, t.z));
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.y, t.x, t.z}));
  ASSERT_TRUE(t.dom.insert_before(t.p, t.y));
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.x, t.z, t.y}));
  expect_sound(t.dom);
}

TEST(InsertBefore, NodeBeforeItselfIsNotAChildAndStaysDetached) {
  Abc t;
  Status status = t.dom.insert_before(t.p, t.x, t.x);
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), DomError::NotAChild);
  EXPECT_FALSE(t.dom.node(t.x).parent);
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.y, t.z}));
  expect_sound(t.dom);
}

TEST(InsertBefore, CyclesAreRefusedUnchanged) {
  Abc t;
  NodeId a = put(t.dom, t.y, t.dom.create_element("a"));
  const std::vector<Node> before = t.dom.nodes;
  struct Case {
    NodeId parent, node;
  };
  for (Case c : {Case{a, t.p}, Case{t.y, t.y}, Case{a, t.y}, Case{a, a}}) {
    Status status = t.dom.insert_before(c.parent, c.node);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), DomError::WouldCycle);
    EXPECT_EQ(t.dom.nodes.size(), before.size());
    for (NodeId id = 0; id < before.size(); ++id) {
      EXPECT_EQ(t.dom.nodes[id].children, before[id].children);
      EXPECT_EQ(t.dom.nodes[id].parent, before[id].parent);
    }
  }
  EXPECT_EQ(to_string(DomError::WouldCycle), "WouldCycle");
}

TEST(InsertBefore, DocumentUnderItsOwnDescendantIsRefused) {
  Abc t;
  const std::string html = t.dom.to_html(0);
  Status status = t.dom.insert_before(t.y, 0);
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), DomError::WouldCycle);
  EXPECT_EQ(t.dom.to_html(0), html);
  expect_sound(t.dom);
}

TEST(InsertBefore, DocumentIntoItselfAppendsItsChildrenAgain) {
  Abc t;
  NodeId q = put(t.dom, 0, t.dom.create_element("q"));
  ASSERT_TRUE(t.dom.insert_before(0, 0));
  EXPECT_EQ(kids(t.dom, 0), (std::vector<NodeId>{t.p, q}));
  expect_sound(t.dom);
}

TEST(InsertBefore, TemplateInsideItsOwnContentsIsRefused) {
  Dom dom;
  NodeId tmpl = make_template(dom);
  put(dom, 0, tmpl);
  NodeId contents = *dom.element(tmpl)->template_contents;
  NodeId inner = put(dom, contents, dom.create_element("i"));
  for (NodeId parent : {contents, inner}) {
    Status status = dom.insert_before(parent, tmpl);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), DomError::WouldCycle);
  }
  // A copy's contents and their subtree come before it, so its owner is not the next id.
  NodeId copy = dom.import(dom, tmpl);
  NodeId copy_contents = *dom.element(copy)->template_contents;
  ASSERT_GT(copy, copy_contents + 1);
  Status copied = dom.insert_before(dom.node(copy_contents).children[0], copy);
  ASSERT_FALSE(copied);
  EXPECT_EQ(copied.error(), DomError::WouldCycle);
  // The contents' children may still go elsewhere, and back.
  NodeId elsewhere = put(dom, 0, dom.create_element("div"));
  ASSERT_TRUE(dom.insert_before(elsewhere, contents));
  ASSERT_TRUE(dom.insert_before(contents, elsewhere));
  expect_sound(dom);
}

TEST(InsertBefore, ImportedFragmentSplicesBeforeAndReplaces) {
  Dom fragment;
  NodeId f1 = put(fragment, 0, fragment.create_text("one"));
  put(fragment, 0, fragment.create_element("two"));
  (void)f1;

  Abc t;
  NodeId copy = t.dom.import(fragment, 0);
  EXPECT_TRUE(std::holds_alternative<Document>(t.dom.node(copy).data));
  ASSERT_TRUE(t.dom.insert_before(t.p, copy, t.y));
  EXPECT_EQ(t.dom.to_html(t.p), "<p>xone<two></two><y></y>z</p>");
  EXPECT_TRUE(kids(t.dom, copy).empty());
  expect_sound(t.dom);

  NodeId again = t.dom.import(fragment, 0);
  ASSERT_TRUE(t.dom.replace_child(t.p, again, t.y));
  EXPECT_EQ(t.dom.to_html(t.p), "<p>xone<two></two>one<two></two>z</p>");
  EXPECT_FALSE(t.dom.node(t.y).parent);
  expect_sound(t.dom);
}

TEST(InsertBefore, EmptyDocumentMovesNothing) {
  Abc t;
  Dom empty;
  NodeId copy = t.dom.import(empty, 0);
  EXPECT_TRUE(t.dom.insert_before(t.p, copy, t.z));
  Status missing = t.dom.insert_before(t.p, copy, 0);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), DomError::NotAChild);
}

TEST(ReplaceChild, SameNodeChangesNothing) {
  Abc t;
  ASSERT_TRUE(t.dom.replace_child(t.p, t.y, t.y));
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.x, t.y, t.z}));
}

TEST(ReplaceChild, NotAChildLeavesOldLinked) {
  Abc t;
  NodeId stray = t.dom.create_element("s");
  NodeId fresh = t.dom.create_text("f");
  Status status = t.dom.replace_child(t.p, fresh, stray);
  ASSERT_FALSE(status);
  EXPECT_EQ(status.error(), DomError::NotAChild);
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.x, t.y, t.z}));
}

TEST(Detach, UnlinksAndKeepsTheSubtree) {
  Abc t;
  NodeId a = put(t.dom, t.y, t.dom.create_element("a"));
  t.dom.detach(t.y);
  t.dom.detach(t.y);
  EXPECT_EQ(kids(t.dom, t.p), (std::vector<NodeId>{t.x, t.z}));
  EXPECT_EQ(kids(t.dom, t.y), std::vector<NodeId>{a});
  ASSERT_TRUE(t.dom.insert_before(t.p, t.y, t.x));
  EXPECT_EQ(t.dom.to_html(t.p), "<p><y><a></a></y>xz</p>");
}

TEST(ClearChildren, LeavesTheNodeAloneAndChildrenIntact) {
  Abc t;
  NodeId a = put(t.dom, t.y, t.dom.create_element("a"));
  t.dom.clear_children(t.p);
  EXPECT_EQ(t.dom.descendants(t.p), std::vector<NodeId>{t.p});
  EXPECT_EQ(t.dom.descendants(t.y), (std::vector<NodeId>{t.y, a}));
  for (NodeId id : {t.x, t.y, t.z}) EXPECT_FALSE(t.dom.node(id).parent);
  expect_sound(t.dom);
}

TEST(Attributes, SetAppendsThenReplacesInPlace) {
  Dom dom;
  NodeId el = dom.create_element("p", {{"id", "i"}});
  ASSERT_TRUE(dom.set_attr(el, "class", "a b"));
  ASSERT_TRUE(dom.set_attr(el, "title", "t"));
  ASSERT_TRUE(dom.set_attr(el, "class", "c"));
  EXPECT_EQ(dom.to_html(el), "<p id=\"i\" class=\"c\" title=\"t\"></p>");
}

TEST(Attributes, SetFindsPrefixedNames) {
  Dom dom;
  NodeId el = make_foreign(dom, Namespace::Svg, "a",
                           {Attribute{QualName{"xlink", Namespace::XLink, "href"}, "old"}});
  ASSERT_TRUE(dom.set_attr(el, "xlink:href", "new"));
  ASSERT_EQ(dom.element(el)->attrs.size(), 1u);
  EXPECT_EQ(dom.element(el)->attrs[0].name.prefix, "xlink");
  EXPECT_EQ(dom.attr(el, "xlink:href"), "new");
}

TEST(Attributes, RemoveReturnsTheOldValue) {
  Dom dom;
  NodeId el = dom.create_element("p", {{"a", "1"}, {"b", "2"}, {"a", "3"}});
  auto removed = dom.remove_attr(el, "a");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed.value(), "1");
  EXPECT_EQ(dom.to_html(el), "<p b=\"2\" a=\"3\"></p>");
  auto none = dom.remove_attr(el, "c");
  ASSERT_TRUE(none);
  EXPECT_FALSE(none.value());
}

TEST(Attributes, NonElementsRefuseEdits) {
  Dom dom;
  NodeId text = dom.create_text("t");
  for (NodeId id : {NodeId{0}, text}) {
    EXPECT_EQ(dom.set_attr(id, "a", "b").error(), DomError::NotAnElement);
    EXPECT_EQ(dom.remove_attr(id, "a").error(), DomError::NotAnElement);
    EXPECT_EQ(dom.rename(id, "a").error(), DomError::NotAnElement);
  }
  EXPECT_TRUE(std::holds_alternative<Text>(dom.node(text).data));
}

TEST(Rename, ForeignElementBecomesHtml) {
  Dom dom;
  NodeId svg_a = make_foreign(dom, Namespace::Svg, "a",
                              {Attribute{QualName{"", Namespace::None, "x"}, "1"}});
  put(dom, svg_a, dom.create_text("t"));
  EXPECT_FALSE(dom.is_tag(svg_a, "a"));
  ASSERT_TRUE(dom.rename(svg_a, "a"));
  EXPECT_TRUE(dom.is_tag(svg_a, "a"));
  EXPECT_EQ(dom.to_html(svg_a), "<a x=\"1\">t</a>");
}

TEST(Import, NumbersContentsThenNodeThenChildren) {
  Dom other;
  NodeId div = put(other, 0, other.create_element("div", {{"k", "v"}}));
  NodeId tmpl = make_template(other);
  put(other, div, tmpl);
  NodeId contents = *other.element(tmpl)->template_contents;
  put(other, contents, other.create_text("in"));
  put(other, div, other.create_text("after"));

  Dom dom;
  NodeId base = dom.nodes.size();
  NodeId copy = dom.import(other, div);
  // div, then the template's contents and their text, then the template, then "after".
  EXPECT_EQ(copy, base);
  const Element& tmpl_copy = *dom.element(base + 3);
  EXPECT_EQ(tmpl_copy.template_contents, std::optional<NodeId>(base + 1));
  EXPECT_EQ(std::get<Text>(dom.node(base + 2).data).text, "in");
  EXPECT_EQ(std::get<Text>(dom.node(base + 4).data).text, "after");
  EXPECT_FALSE(dom.node(copy).parent);
  EXPECT_EQ(dom.to_html(copy), other.to_html(div));
  EXPECT_EQ(dom.to_html(copy), "<div k=\"v\"><template>in</template>after</div>");
  put(dom, 0, copy);
  expect_sound(dom);
}

TEST(Import, FromItself) {
  Abc t;
  NodeId copy = t.dom.import(t.dom, t.p);
  put(t.dom, 0, copy);
  EXPECT_EQ(t.dom.to_html(0), "<p>x<y></y>z</p><p>x<y></y>z</p>");
  expect_sound(t.dom);
}

// Random edits from every operation keep the tree sound and every refusal leaves it as it was.
TEST(RandomEdits, KeepTheInvariants) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    Dom dom;
    Dom donor;
    put(donor, 0, donor.create_element("d"));
    put(donor, 0, donor.create_text("t"));
    for (int step = 0; step < 200; ++step) {
      auto pick = [&] { return NodeId(rng() % dom.nodes.size()); };
      switch (rng() % 11) {
        case 0: dom.create_text("t"); break;
        case 1: dom.create_element("e"); break;
        case 2: make_template(dom); break;
        case 3: dom.import(donor, rng() % 2 ? 0 : 1); break;
        case 4:
        case 5: {
          NodeId parent = pick(), node = pick();
          std::optional<NodeId> before;
          if (rng() % 2 && !dom.nodes[parent].children.empty()) before = pick();
          const Dom saved = dom;
          Status status = dom.insert_before(parent, node, before);
          if (!status && status.error() == DomError::WouldCycle) {
            EXPECT_EQ(dom.to_html(0), saved.to_html(0));
            for (NodeId id = 0; id < saved.nodes.size(); ++id) {
              EXPECT_EQ(dom.nodes[id].children, saved.nodes[id].children);
            }
          }
          break;
        }
        case 6: (void)dom.replace_child(pick(), pick(), pick()); break;
        case 7: dom.detach(pick()); break;
        case 8: if (rng() % 4 == 0) dom.clear_children(pick()); break;
        case 9: (void)dom.set_attr(pick(), "a", "v"); break;
        case 10: (void)dom.rename(pick(), "r"); break;
      }
      expect_sound(dom);
      if (testing::Test::HasFailure()) return;
    }
    (void)dom.to_html(0);
    (void)dom.to_text(0);
  }
}

// Deep trees come from edits and from formatting elements the parser reconstructs; nothing may
// recurse per level.
TEST(DeepTree, MillionLevelsWalkSerialiseCopyAndDestroy) {
  constexpr std::size_t kDepth = 1'000'000;
  auto dom = std::make_unique<Dom>();
  NodeId top = dom->create_text("x");
  for (std::size_t i = 0; i < kDepth; ++i) {
    NodeId wrapper = dom->create_element(i % 2 ? "b" : "i");
    ASSERT_TRUE(dom->insert_before(wrapper, top));
    top = wrapper;
  }
  put(*dom, 0, top);
  std::string html = dom->to_html(0);
  EXPECT_EQ(html.size(), kDepth / 2 * (3 + 4) * 2 + 1);
  EXPECT_EQ(html.substr(0, 6), "<b><i>");
  EXPECT_EQ(html.substr(html.size() - 8), "</i></b>");
  EXPECT_EQ(dom->to_text(0), "x");
  EXPECT_EQ(dom->descendants(0).size(), kDepth + 2);
  Dom copy;
  NodeId copied = copy.import(*dom, top);
  EXPECT_EQ(copy.to_html(copied), html);
  dom.reset();
}

}  // namespace
}  // namespace fast5ever::dom
