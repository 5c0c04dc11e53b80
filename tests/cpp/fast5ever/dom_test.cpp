#include "fast5ever/dom.h"

#include <gtest/gtest.h>

#include "base/internal_error.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using html5::Namespace;
using testing_helpers::make_foreign;
using testing_helpers::make_node;
using testing_helpers::make_template;
using testing_helpers::put;

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

}  // namespace
}  // namespace fast5ever::dom
