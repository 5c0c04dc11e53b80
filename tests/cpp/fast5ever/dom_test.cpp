// The Dom: reads, edits (and their refusals), copies, serialisation and deep trees.
#include "fast5ever/dom.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "base/internal_error.h"
#include "fast5ever/serialize.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using namespace testing_helpers;

TEST(DomReads, Descendants) {
  Dom dom;
  NodeId text = dom.create_text("x");
  EXPECT_EQ(dom.descendants(text), std::vector<NodeId>{text});
  // Template contents are entered without being listed.
  NodeId tmpl = make_template(dom);
  NodeId contents = *dom.element(tmpl)->template_contents;
  EXPECT_EQ(contents + 1, tmpl);  // the contents node is made first
  NodeId i = put(dom, contents, dom.create_element("i"));
  NodeId x = put(dom, i, dom.create_text("x"));
  NodeId b = put(dom, contents, dom.create_element("b"));
  put(dom, 0, tmpl);
  EXPECT_EQ(dom.descendants(0), (std::vector<NodeId>{0, tmpl, i, x, b}));
  EXPECT_TRUE(dom.element_children(tmpl).empty());
  EXPECT_EQ(dom.to_text(0), "x");
}

TEST(DomReads, ElementsOnly) {
  Dom dom;
  NodeId text = dom.create_text("t");
  for (NodeId id : {NodeId{0}, text, make_node(dom, Comment{"c"})}) {
    EXPECT_FALSE(dom.tag(id) || dom.attr(id, "class") || dom.has_class(id, "t") || dom.is_tag(id, "t")) << id;
    EXPECT_TRUE(dom.element_children(id).empty());
  }
  NodeId a = put(dom, 0, dom.create_element("a"));
  put(dom, 0, dom.create_text("t"));
  NodeId b = put(dom, 0, dom.create_element("b"));
  EXPECT_EQ(dom.element_children(0), (std::vector<NodeId>{a, b}));
  // is_tag wants the HTML namespace and the exact name; tag takes any.
  NodeId svg_a = make_foreign(dom, Namespace::Svg, "a");
  EXPECT_EQ(dom.tag(svg_a), "a");
  EXPECT_FALSE(dom.is_tag(svg_a, "a"));
  EXPECT_TRUE(dom.is_tag(a, "a"));
  EXPECT_FALSE(dom.is_tag(a, "A"));
}

TEST(DomReads, AttrMatchesDisplayNamesAndTakesTheFirst) {
  Dom dom;
  NodeId parsed = make_foreign(dom, Namespace::Svg, "a", {Attribute{QualName{"xlink", Namespace::XLink, "href"}, "p"}});
  NodeId made = dom.create_element("a", {{"xlink:href", "m"}, {"title", "1"}, {"title", "2"}});
  EXPECT_EQ(dom.attr(parsed, "xlink:href"), "p");
  EXPECT_EQ(dom.attr(made, "xlink:href"), "m");
  for (const char* miss : {"href", "xlinkhref", "xlink:hre"}) EXPECT_FALSE(dom.attr(parsed, miss)) << miss;
  EXPECT_FALSE(dom.attr(made, "href"));
  EXPECT_EQ(dom.attr(made, "title"), "1");
  EXPECT_FALSE(dom.attr(made, "TITLE"));
  EXPECT_EQ(attr_name(dom.element(parsed)->attrs[0]), "xlink:href");
  EXPECT_EQ(attr_name(Attribute{QualName{"", Namespace::Xml, "lang"}, ""}), "lang");
}

TEST(DomReads, HasClassSplitsAtAsciiWhitespaceOnly) {
  const struct {
    std::string value, name;
    bool expected;
  } cases[] = {
      {"  a\tb  ", "a", true}, {"  a\tb  ", "b", true}, {"  a\tb  ", "", false}, {"a\nb\fc\rd", "c", true},
      {"a\vb", "a", false},    {"a\vb", "a\vb", true},  {"a\u00a0b", "a", false}, {"ab", "a", false},
      {"", "", false},         {"x y", "x y", false},
  };
  for (const auto& c : cases) {
    Dom dom;
    EXPECT_EQ(dom.has_class(dom.create_element("p", {{"class", c.value}}), c.name), c.expected) << c.value << "/" << c.name;
  }
  Dom dom;
  NodeId twice = dom.create_element("p", {{"class", "a"}, {"class", "b"}});
  EXPECT_TRUE(dom.has_class(twice, "a"));
  EXPECT_FALSE(dom.has_class(twice, "b"));
}

TEST(DomReads, IdsOutsideTheArenaAbort) {
  Dom dom;
  NodeId past = dom.nodes.size();
  EXPECT_THROW(dom.tag(past), vedavi::InternalError);
  EXPECT_THROW(dom.descendants(past), vedavi::InternalError);
  EXPECT_THROW(dom.to_html(past), vedavi::InternalError);
  EXPECT_THROW((void)dom.insert_before(0, past), vedavi::InternalError);
  EXPECT_THROW((void)dom.insert_before(past, 0), vedavi::InternalError);
  EXPECT_THROW(dom.detach(past), vedavi::InternalError);
  EXPECT_THROW(dom.import(Dom(), 5), vedavi::InternalError);
  // Also an id met while walking.
  dom.nodes[put(dom, 0, dom.create_element("p"))].children.push_back(99);
  EXPECT_THROW(dom.descendants(0), vedavi::InternalError);
  EXPECT_THROW(dom.to_text(0), vedavi::InternalError);
  EXPECT_THROW(dom.to_html(0), vedavi::InternalError);
}

// <p>x<y></y>z</p> under the document.
struct Abc {
  Dom dom;
  NodeId p = put(dom, 0, dom.create_element("p"));
  NodeId x = put(dom, p, dom.create_text("x"));
  NodeId y = put(dom, p, dom.create_element("y"));
  NodeId z = put(dom, p, dom.create_text("z"));
  std::vector<NodeId> order() const { return kids(dom, p); }
};

// Parent links and child lists of every node.
std::string links(const Dom& dom) {
  std::string out;
  for (const Node& n : dom.nodes) {
    out += std::to_string(n.parent.value_or(999)) + ":";
    for (NodeId c : n.children) out += std::to_string(c) + ",";
    out += " ";
  }
  return out;
}

TEST(InsertBefore, CreatedNodesAreDetachedWithTheNextId) {
  Dom dom;
  EXPECT_EQ(dom.create_text("a"), 1u);
  ASSERT_EQ(dom.create_element("template", {{"a", "1"}, {"b:c", "2"}}), 2u);
  const Element& e = *dom.element(2);
  EXPECT_EQ(e.name, (QualName{"", Namespace::Html, "template"}));
  EXPECT_FALSE(e.template_contents || dom.node(2).parent);
  EXPECT_EQ(e.attrs, (std::vector<Attribute>{{{"", Namespace::None, "a"}, "1"}, {{"", Namespace::None, "b:c"}, "2"}}));
}

TEST(InsertBefore, MovesWithinAParentAndRefusesItselfAsReference) {
  Abc t;
  ASSERT_TRUE(t.dom.insert_before(t.p, t.x, t.y));
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.x, t.y, t.z}));
  ASSERT_TRUE(t.dom.insert_before(t.p, t.x, t.z));
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.y, t.x, t.z}));
  ASSERT_TRUE(t.dom.insert_before(t.p, t.y));
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.x, t.z, t.y}));
  // Before itself: taken out first, so no longer a child; it stays detached.
  EXPECT_EQ(refusal(t.dom.insert_before(t.p, t.x, t.x)), "NotAChild");
  EXPECT_FALSE(t.dom.node(t.x).parent);
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.z, t.y}));
  expect_sound(t.dom);
}

TEST(InsertBefore, CyclesAreRefusedUnchanged) {
  Abc t;
  NodeId a = put(t.dom, t.y, t.dom.create_element("a"));
  const std::string before = links(t.dom);
  // The document too, under its own descendant.
  for (auto [parent, node] : std::vector<std::pair<NodeId, NodeId>>{{a, t.p}, {t.y, t.y}, {a, t.y}, {a, a}, {t.y, 0}}) {
    EXPECT_EQ(refusal(t.dom.insert_before(parent, node)), "WouldCycle");
    EXPECT_EQ(links(t.dom), before);
  }
  EXPECT_EQ(to_string(DomError::WouldCycle), "WouldCycle");
  // The document into itself appends its children again.
  NodeId q = put(t.dom, 0, t.dom.create_element("q"));
  ASSERT_TRUE(t.dom.insert_before(0, 0));
  EXPECT_EQ(kids(t.dom, 0), (std::vector<NodeId>{t.p, q}));
  expect_sound(t.dom);
}

TEST(AppendAll, EndsAsMovingOneNodeAfterTheOther) {
  // <p>x<y><a></a><b></b></y>z</p> and a detached <c>: each list moved at once and one by one.
  const std::vector<std::vector<char>> cases = {
      {},  {'x'}, {'z', 'x'}, {'a', 'x', 'b'}, {'y', 'a'}, {'a', 'y'}, {'c', 'z'}, {'x', 'a', 'x'},
  };
  for (const auto& names : cases) {
    Abc bulk, single;
    std::vector<NodeId> nodes;
    for (Abc* t : {&bulk, &single}) {
      const NodeId a = put(t->dom, t->y, t->dom.create_element("a"));
      const NodeId b = put(t->dom, t->y, t->dom.create_element("b"));
      const NodeId c = t->dom.create_element("c");
      nodes.clear();
      for (char n : names) nodes.push_back(n == 'x' ? t->x : n == 'y' ? t->y : n == 'z' ? t->z : n == 'a' ? a : n == 'b' ? b : c);
    }
    ASSERT_TRUE(bulk.dom.append_all(bulk.p, nodes));
    for (NodeId n : nodes) ASSERT_TRUE(single.dom.insert_before(single.p, n));
    EXPECT_EQ(links(bulk.dom), links(single.dom)) << std::string(names.begin(), names.end());
    expect_sound(bulk.dom);
  }
  // An ancestor of the new parent, or a document, moves nothing.
  Abc t;
  const std::string before = links(t.dom);
  EXPECT_EQ(refusal(t.dom.append_all(t.y, std::vector<NodeId>{t.x, t.p})), "WouldCycle");
  EXPECT_EQ(refusal(t.dom.append_all(t.p, std::vector<NodeId>{t.x, 0})), "WouldCycle");
  EXPECT_EQ(links(t.dom), before);
}

TEST(InsertBefore, TemplateInsideItsOwnContentsIsRefused) {
  Dom dom;
  NodeId tmpl = put(dom, 0, make_template(dom));
  NodeId contents = *dom.element(tmpl)->template_contents;
  NodeId inner = put(dom, contents, dom.create_element("i"));
  for (NodeId parent : {contents, inner}) EXPECT_EQ(refusal(dom.insert_before(parent, tmpl)), "WouldCycle");
  // A copy's contents and their subtree come before it, so its owner is not the next id.
  NodeId copy = dom.import(dom, tmpl);
  NodeId copy_contents = *dom.element(copy)->template_contents;
  ASSERT_GT(copy, copy_contents + 1);
  EXPECT_EQ(refusal(dom.insert_before(dom.node(copy_contents).children[0], copy)), "WouldCycle");
  // The contents' children may still go elsewhere, and back.
  NodeId elsewhere = put(dom, 0, dom.create_element("div"));
  ASSERT_TRUE(dom.insert_before(elsewhere, contents));
  ASSERT_TRUE(dom.insert_before(contents, elsewhere));
  expect_sound(dom);
}

TEST(InsertBefore, ImportedDocumentSplicesItsChildren) {
  Dom fragment;
  put(fragment, 0, fragment.create_text("one"));
  put(fragment, 0, fragment.create_element("two"));
  Abc t;
  NodeId copy = t.dom.import(fragment, 0);
  EXPECT_TRUE(std::holds_alternative<Document>(t.dom.node(copy).data));
  ASSERT_TRUE(t.dom.insert_before(t.p, copy, t.y));
  EXPECT_EQ(t.dom.to_html(t.p), "<p>xone<two></two><y></y>z</p>");
  EXPECT_TRUE(kids(t.dom, copy).empty());
  ASSERT_TRUE(t.dom.replace_child(t.p, t.dom.import(fragment, 0), t.y));
  EXPECT_EQ(t.dom.to_html(t.p), "<p>xone<two></two>one<two></two>z</p>");
  EXPECT_FALSE(t.dom.node(t.y).parent);
  expect_sound(t.dom);
  // An empty one moves nothing, but its reference must still be a child.
  NodeId empty = t.dom.import(Dom(), 0);
  EXPECT_TRUE(t.dom.insert_before(t.p, empty, t.z));
  EXPECT_EQ(refusal(t.dom.insert_before(t.p, empty, 0)), "NotAChild");
}

TEST(ReplaceChild, SameNodeOrNotAChild) {
  Abc t;
  ASSERT_TRUE(t.dom.replace_child(t.p, t.y, t.y));
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.x, t.y, t.z}));
  EXPECT_EQ(refusal(t.dom.replace_child(t.p, t.dom.create_text("f"), t.dom.create_element("s"))), "NotAChild");
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.x, t.y, t.z}));
}

TEST(Detach, UnlinksAndKeepsTheSubtree) {
  Abc t;
  NodeId a = put(t.dom, t.y, t.dom.create_element("a"));
  t.dom.detach(t.y);
  t.dom.detach(t.y);
  EXPECT_EQ(t.order(), (std::vector<NodeId>{t.x, t.z}));
  EXPECT_EQ(kids(t.dom, t.y), std::vector<NodeId>{a});
  ASSERT_TRUE(t.dom.insert_before(t.p, t.y, t.x));
  EXPECT_EQ(t.dom.to_html(t.p), "<p><y><a></a></y>xz</p>");
  t.dom.clear_children(t.p);  // leaves the node alone and the children intact
  EXPECT_EQ(t.dom.descendants(t.p), std::vector<NodeId>{t.p});
  EXPECT_EQ(t.dom.descendants(t.y), (std::vector<NodeId>{t.y, a}));
  for (NodeId id : {t.x, t.y, t.z}) EXPECT_FALSE(t.dom.node(id).parent);
  expect_sound(t.dom);
}

TEST(Attributes, SetRemoveAndRename) {
  Dom dom;
  NodeId el = dom.create_element("p", {{"id", "i"}, {"a", "1"}, {"b", "2"}, {"a", "3"}});
  ASSERT_TRUE(dom.set_attr(el, "class", "a b"));
  ASSERT_TRUE(dom.set_attr(el, "title", "t"));
  ASSERT_TRUE(dom.set_attr(el, "class", "c"));  // replaced in place
  EXPECT_EQ(dom.remove_attr(el, "a").value(), "1");
  auto none = dom.remove_attr(el, "c");
  EXPECT_TRUE(none && !none.value());
  EXPECT_EQ(dom.to_html(el), "<p id=\"i\" b=\"2\" a=\"3\" class=\"c\" title=\"t\"></p>");
  // Prefixed names are found by their display name, and keep their prefix.
  NodeId svg_a = make_foreign(dom, Namespace::Svg, "a", {Attribute{QualName{"xlink", Namespace::XLink, "href"}, "old"}});
  ASSERT_TRUE(dom.set_attr(svg_a, "xlink:href", "new"));
  ASSERT_EQ(dom.element(svg_a)->attrs.size(), 1u);
  EXPECT_EQ(dom.element(svg_a)->attrs[0].name.prefix, "xlink");
  EXPECT_EQ(dom.attr(svg_a, "xlink:href"), "new");
  // A renamed foreign element becomes HTML.
  put(dom, svg_a, dom.create_text("t"));
  ASSERT_TRUE(dom.rename(svg_a, "a"));
  EXPECT_TRUE(dom.is_tag(svg_a, "a"));
  EXPECT_EQ(dom.to_html(svg_a), "<a xlink:href=\"new\">t</a>");
  NodeId text = dom.create_text("t");
  for (NodeId id : {NodeId{0}, text}) {
    EXPECT_EQ(refusal(dom.set_attr(id, "a", "b")) + refusal(dom.remove_attr(id, "a")) + refusal(dom.rename(id, "a")),
              "NotAnElementNotAnElementNotAnElement");
  }
  EXPECT_TRUE(std::holds_alternative<Text>(dom.node(text).data));
}

TEST(Import, NumbersContentsThenNodeThenChildren) {
  Dom other;
  NodeId div = put(other, 0, other.create_element("div", {{"k", "v"}}));
  NodeId tmpl = put(other, div, make_template(other));
  put(other, *other.element(tmpl)->template_contents, other.create_text("in"));
  put(other, div, other.create_text("after"));
  Dom dom;
  NodeId copy = dom.import(other, div);
  // div, then the template's contents and their text, then the template, then "after".
  EXPECT_EQ(copy, 1u);
  EXPECT_EQ(dom.element(4)->template_contents, std::optional<NodeId>(2));
  EXPECT_EQ(std::get<Text>(dom.node(3).data).text, "in");
  EXPECT_EQ(std::get<Text>(dom.node(5).data).text, "after");
  EXPECT_FALSE(dom.node(copy).parent);
  EXPECT_EQ(dom.to_html(put(dom, 0, copy)), "<div k=\"v\"><template>in</template>after</div>");
  expect_sound(dom);
  Abc t;  // from itself
  put(t.dom, 0, t.dom.import(t.dom, t.p));
  EXPECT_EQ(t.dom.to_html(0), "<p>x<y></y>z</p><p>x<y></y>z</p>");
  expect_sound(t.dom);
}

// Random edits from every operation keep the tree sound and every refusal leaves it as it was.
TEST(RandomEdits, KeepTheInvariants) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40 && !HasFailure(); ++round) {
    Dom dom, donor;
    put(donor, 0, donor.create_element("d"));
    put(donor, 0, donor.create_text("t"));
    for (int step = 0; step < 200 && !HasFailure(); ++step) {
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
          const std::string saved = links(dom);
          Status status = dom.insert_before(parent, node, before);
          if (refusal(status) == "WouldCycle") {
            EXPECT_EQ(links(dom), saved);
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
    put(*dom, wrapper, top);
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
  EXPECT_EQ(copy.to_html(copy.import(*dom, top)), html);
  dom.reset();  // destroyed without recursion
}

NodeId add(Dom& dom, NodeId parent, NodeData data) { return put(dom, parent, make_node(dom, std::move(data))); }
NodeId add_text(Dom& dom, NodeId parent, std::string_view text) { return put(dom, parent, dom.create_text(text)); }

TEST(Escaping, TextAndAttributeModes) {
  const struct {
    std::string_view in, text, attr;
  } cases[] = {
      {"a<b & c", "a&lt;b &amp; c", "a&lt;b &amp; c"},
      {"\"q\" <x>", "\"q\" &lt;x&gt;", "&quot;q&quot; &lt;x&gt;"},
      {"nb\u00a0sp", "nb&nbsp;sp", "nb&nbsp;sp"},
      {"\u00c2\u00a1 \u00e9 '", "\u00c2\u00a1 \u00e9 '", "\u00c2\u00a1 \u00e9 '"},
      {"\xc2", "\xc2", "\xc2"},
      {"", "", ""},
      {std::string_view("a\0\"", 3), "a\xEF\xBF\xBD\"", "a\xEF\xBF\xBD&quot;"},
  };
  for (const auto& c : cases) {
    std::string text, attr;
    append_escaped_text(c.in, text);
    append_escaped_attr(c.in, attr);
    EXPECT_EQ(text, c.text) << c.in;
    EXPECT_EQ(attr, c.attr) << c.in;
  }
}

TEST(ToHtml, NodeKindsAndNames) {
  Dom dom;
  EXPECT_EQ(dom.to_html(0), "");
  add(dom, 0, Doctype{"html", "pub", "sys"});
  add(dom, 0, Comment{"a -- <b>"});
  add(dom, 0, ProcessingInstruction{"xml", "v=1"});
  NodeId p = put(dom, 0, dom.create_element("p", {{"title", "\"<&>\""}}));
  add_text(dom, p, "\u00a0");
  NodeId rect = put(dom, 0, dom.create_element("svg:rect"));
  ASSERT_TRUE(dom.set_attr(rect, "xlink:href", "#a"));
  NodeId svg = make_foreign(dom, Namespace::Svg, "foreignObject",
                            {{QualName{"xlink", Namespace::XLink, "href"}, "1"},
                             {QualName{"xml", Namespace::Xml, "lang"}, "2"},
                             {QualName{"", Namespace::Xmlns, "xmlns"}, "3"},
                             {QualName{"xmlns", Namespace::Xmlns, "xlink"}, "4"},
                             {QualName{"p", Namespace::Html, "odd"}, "5"},
                             {QualName{"q", Namespace::None, "plain"}, "6"}});
  dom.element(svg)->name.prefix = "svg";
  put(dom, 0, svg);
  add_text(dom, 0, "b");
  EXPECT_EQ(dom.to_html(0),
            "<!DOCTYPE html><!--a -- <b>--><?xml v=1><p title=\"&quot;&lt;&amp;&gt;&quot;\">&nbsp;</p>"
            "<svg:rect xlink:href=\"#a\"></svg:rect>"
            "<foreignObject xlink:href=\"1\" xml:lang=\"2\" xmlns=\"3\" xmlns:xlink=\"4\" "
            "unknown_namespace:odd=\"5\" plain=\"6\"></foreignObject>b");
  EXPECT_EQ(dom.to_html(p), "<p title=\"&quot;&lt;&amp;&gt;&quot;\">&nbsp;</p>");
}

TEST(ToHtml, RawTextElementsWriteTextAsItStands) {
  for (std::string_view raw : {"style", "script", "xmp", "iframe", "noembed", "noframes", "plaintext", "noscript"}) {
    Dom dom;
    add_text(dom, put(dom, 0, dom.create_element(raw)), "a<b & c");
    EXPECT_EQ(dom.to_html(0), "<" + std::string(raw) + ">a<b & c</" + std::string(raw) + ">");
  }
  Dom dom;
  add_text(dom, put(dom, 0, dom.create_element("div")), "a<b & c");
  add_text(dom, put(dom, 0, make_foreign(dom, Namespace::Svg, "script")), "<");
  // Only the innermost element counts.
  add_text(dom, put(dom, put(dom, 0, dom.create_element("script")), dom.create_element("b")), "<");
  EXPECT_EQ(dom.to_html(0), "<div>a&lt;b &amp; c</div><script>&lt;</script><script><b>&lt;</b></script>");
}

TEST(ToHtml, VoidElementsWriteNoEndTagAndNoTagsBelow) {
  Dom dom;
  NodeId br = put(dom, 0, dom.create_element("br", {{"a", "1"}}));
  add_text(dom, br, "y");
  NodeId em = put(dom, br, dom.create_element("em"));
  add_text(dom, em, "x");
  add(dom, em, Comment{"c"});
  add_text(dom, put(dom, em, dom.create_element("script")), "<");
  put(dom, 0, dom.create_element("hr"));
  add_text(dom, put(dom, 0, make_foreign(dom, Namespace::Svg, "br")), "x");
  EXPECT_EQ(dom.to_html(0), "<br a=\"1\">yx<!--c--><<hr><br>x</br>");
}

TEST(ToHtml, DocumentBelowTheStartIsAnInternalError) {
  Dom dom;
  NodeId p = put(dom, 0, dom.create_element("p"));
  NodeId doc = dom.import(Dom(), 0);
  dom.nodes[p].children.push_back(doc);
  dom.nodes[doc].parent = p;
  EXPECT_THROW(dom.to_html(0), vedavi::InternalError);
}

TEST(ToText, ConcatenatesTextInDocumentOrder) {
  Dom dom;
  NodeId p = put(dom, 0, dom.create_element("p", {{"title", "no"}}));
  add_text(dom, p, "a");
  NodeId em = put(dom, p, dom.create_element("em"));
  add_text(dom, em, "b");
  add(dom, p, Comment{"c"});
  add_text(dom, p, "d");
  EXPECT_EQ(dom.to_text(p), "abd");
  EXPECT_EQ(dom.to_text(em), "b");
  EXPECT_EQ(dom.to_text(dom.create_text("lone")), "lone");
}

}  // namespace
}  // namespace fast5ever::dom
