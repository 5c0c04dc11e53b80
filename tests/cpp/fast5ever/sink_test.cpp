#include "fast5ever/sink.h"

#include <gtest/gtest.h>

#include "base/internal_error.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using html5::NodeOrText;
using namespace testing_helpers;

QualName html(std::string local) { return QualName{"", Namespace::Html, std::move(local)}; }
Attribute plain(std::string name, std::string value) { return {QualName{"", Namespace::None, std::move(name)}, std::move(value)}; }
std::vector<NodeId> kids(const Sink& sink, NodeId id) { return testing_helpers::kids(sink.dom(), id); }
const std::string& text(const Sink& sink, NodeId id) { return std::get<Text>(sink.dom().node(id).data).text; }

// Appended elements, then the document's html.
struct Made {
  Sink sink;
  std::vector<html5::Handle> ids;
  explicit Made(std::initializer_list<const char*> names) {
    for (const char* name : names) ids.push_back(sink.create_element(html(name), {}, {}));
  }
  void append(NodeId parent, NodeOrText child) { sink.append(parent, child); }
  std::string html_of(NodeId id = 0) const { return sink.dom().to_html(id); }
};

TEST(SinkAppend, TextMergesIntoATrailingTextNode) {
  Made m{"p", "br"};
  const NodeId p = m.ids[0];
  m.append(0, NodeOrText::of_node(p));
  m.append(p, NodeOrText::of_text("a"));
  m.append(p, NodeOrText::of_text("b"));
  ASSERT_EQ(kids(m.sink, p).size(), 1u);
  EXPECT_EQ(text(m.sink, kids(m.sink, p)[0]), "ab");
  m.append(p, NodeOrText::of_node(m.ids[1]));
  m.append(p, NodeOrText::of_text("c"));
  ASSERT_EQ(kids(m.sink, p).size(), 3u);
  EXPECT_EQ(text(m.sink, kids(m.sink, p)[2]), "c");
  EXPECT_EQ(m.html_of(), "<p>ab<br>c</p>");
  expect_sound(m.sink.dom());
}

TEST(SinkAppend, BeforeSiblingMergesOnlyIntoThePreviousText) {
  Made m{"a", "b"};
  m.append(0, NodeOrText::of_node(m.ids[0]));
  m.append(0, NodeOrText::of_text("t"));
  m.append(0, NodeOrText::of_node(m.ids[1]));
  m.sink.append_before_sibling(m.ids[0], NodeOrText::of_text("0"));  // no previous sibling: a new first child
  m.sink.append_before_sibling(m.ids[1], NodeOrText::of_text("u"));  // merged into "t", not into b or later
  m.sink.append_before_sibling(kids(m.sink, 0)[2], NodeOrText::of_text("v"));  // after the element a: new
  EXPECT_EQ(m.html_of(), "0<a></a>vtu<b></b>");
  EXPECT_EQ(kids(m.sink, 0).size(), 5u);
  expect_sound(m.sink.dom());
}

TEST(SinkAppend, AnAttachedNodeMoves) {
  Made m{"a", "b", "c"};
  for (NodeId id : m.ids) m.append(0, NodeOrText::of_node(id));
  m.sink.append_before_sibling(m.ids[2], NodeOrText::of_node(m.ids[0]));
  EXPECT_EQ(kids(m.sink, 0), (std::vector<NodeId>{m.ids[1], m.ids[0], m.ids[2]}));
  m.append(m.ids[1], NodeOrText::of_node(m.ids[0]));
  EXPECT_EQ(m.html_of(), "<b><a></a></b><c></c>");
  expect_sound(m.sink.dom());
}

TEST(SinkAppend, BasedOnParentNode) {
  Made m{"table", "div"};
  const NodeId table = m.ids[0], prev = m.ids[1];
  m.sink.append_based_on_parent_node(table, prev, NodeOrText::of_text("x"));  // detached: into prev
  EXPECT_EQ(m.html_of(prev), "<div>x</div>");
  m.append(0, NodeOrText::of_node(table));
  m.sink.append_based_on_parent_node(table, prev, NodeOrText::of_text("y"));  // attached: before it
  EXPECT_EQ(m.html_of(), "y<table></table>");
  EXPECT_THROW(m.sink.append_before_sibling(prev, NodeOrText::of_text("x")), vedavi::InternalError);  // no parent
  EXPECT_THROW(m.append(99, NodeOrText::of_text("x")), vedavi::InternalError);
}

TEST(SinkReparent, MovesChildrenWithoutMergingText) {
  Made m{"a", "b", "i"};
  const NodeId from = m.ids[0], to = m.ids[1], i = m.ids[2];
  m.append(from, NodeOrText::of_text("1"));
  m.append(from, NodeOrText::of_node(i));
  m.append(to, NodeOrText::of_text("0"));
  m.sink.reparent_children(from, to);
  EXPECT_TRUE(kids(m.sink, from).empty());
  ASSERT_EQ(kids(m.sink, to).size(), 3u);
  EXPECT_EQ(text(m.sink, kids(m.sink, to)[0]), "0");
  EXPECT_EQ(text(m.sink, kids(m.sink, to)[1]), "1");
  EXPECT_EQ(m.sink.dom().node(i).parent, std::optional<NodeId>(to));
  expect_sound(m.sink.dom());
}

TEST(SinkNodes, TemplatesNamesAndAttributes) {
  Sink sink;
  auto tmpl = sink.create_element(html("template"), {}, {true, false});
  EXPECT_EQ(tmpl, 2u);  // its contents come first
  EXPECT_TRUE(std::holds_alternative<Document>(sink.dom().node(1).data));
  EXPECT_EQ(sink.get_template_contents(tmpl), 1u);
  auto svg = sink.create_element(QualName{"", Namespace::Svg, "template"}, {}, {});  // an ordinary element
  EXPECT_EQ(svg, 3u);
  EXPECT_THROW(sink.get_template_contents(svg), vedavi::InternalError);
  EXPECT_THROW(sink.get_template_contents(0), vedavi::InternalError);
  EXPECT_FALSE(sink.attach_declarative_shadow(0, tmpl, {plain("shadowrootmode", "open")}));

  auto mi = sink.create_element(QualName{"", Namespace::MathMl, "mi"}, {}, {});
  EXPECT_EQ(sink.elem_name(mi), (QualName{"", Namespace::MathMl, "mi"}));
  auto comment = sink.create_comment("c");
  EXPECT_THROW(sink.elem_name(comment), vedavi::InternalError);
  EXPECT_FALSE(sink.is_mathml_annotation_xml_integration_point(mi));
  EXPECT_TRUE(sink.same_node(mi, mi));
  EXPECT_FALSE(sink.same_node(mi, comment));

  // Missing attributes are added by whole name, the first of repeated ones; comments ignore them.
  auto el = sink.create_element(html("html"), {plain("lang", "en")}, {});
  Attribute xlink{QualName{"xlink", Namespace::XLink, "href"}, "x"};
  sink.add_attrs_if_missing(el, {plain("lang", "de"), plain("dir", "1"), plain("dir", "2"), xlink, plain("href", "h")});
  EXPECT_EQ(sink.dom().to_html(el), "<html lang=\"en\" dir=\"1\" xlink:href=\"x\" href=\"h\"></html>");
  EXPECT_EQ(sink.dom().element(el)->attrs[2], xlink);
  sink.add_attrs_if_missing(comment, {plain("a", "b")});
}

TEST(SinkMisc, DoctypeQuirksAndRemoval) {
  Sink sink;
  sink.append_doctype_to_document("html", "p", "s");
  sink.set_quirks_mode(html5::QuirksMode::Quirks);
  auto a = sink.create_element(html("a"), {}, {});
  sink.append(0, NodeOrText::of_node(a));
  sink.remove_from_parent(a);
  sink.remove_from_parent(a);
  sink.parse_error("ignored");
  Dom dom = sink.finish();
  EXPECT_EQ(dom.quirks_mode, html5::QuirksMode::Quirks);
  EXPECT_EQ(dom.to_html(0), "<!DOCTYPE html>");
  const auto& doctype = std::get<Doctype>(dom.node(1).data);
  EXPECT_EQ(doctype.public_id, "p");
  EXPECT_EQ(doctype.system_id, "s");
  EXPECT_FALSE(dom.node(a).parent);
}

}  // namespace
}  // namespace fast5ever::dom
