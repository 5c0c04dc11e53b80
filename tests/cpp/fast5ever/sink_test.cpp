#include "fast5ever/sink.h"

#include <gtest/gtest.h>

#include "base/internal_error.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using html5::Namespace;
using html5::NodeOrText;
using testing_helpers::expect_sound;

QualName html(std::string local) { return QualName{"", Namespace::Html, std::move(local)}; }

Attribute plain(std::string name, std::string value) {
  return Attribute{QualName{"", Namespace::None, std::move(name)}, std::move(value)};
}

std::vector<NodeId> kids(const Sink& sink, NodeId id) {
  const ChildList& list = sink.dom().node(id).children;
  return {list.begin(), list.end()};
}

const std::string& text(const Sink& sink, NodeId id) {
  return std::get<Text>(sink.dom().node(id).data).text;
}

TEST(SinkAppend, MergesTextIntoATrailingTextNode) {
  Sink sink;
  auto p = sink.create_element(html("p"), {}, {});
  sink.append(0, NodeOrText::of_node(p));
  sink.append(p, NodeOrText::of_text("a"));
  sink.append(p, NodeOrText::of_text("b"));
  ASSERT_EQ(kids(sink, p).size(), 1u);
  EXPECT_EQ(text(sink, kids(sink, p)[0]), "ab");
  auto br = sink.create_element(html("br"), {}, {});
  sink.append(p, NodeOrText::of_node(br));
  sink.append(p, NodeOrText::of_text("c"));
  ASSERT_EQ(kids(sink, p).size(), 3u);
  EXPECT_EQ(text(sink, kids(sink, p)[2]), "c");
  EXPECT_EQ(sink.dom().to_html(0), "<p>ab<br>c</p>");
  expect_sound(sink.dom());
}

TEST(SinkAppend, BeforeSiblingMergesOnlyIntoThePreviousText) {
  Sink sink;
  auto a = sink.create_element(html("a"), {}, {});
  auto b = sink.create_element(html("b"), {}, {});
  sink.append(0, NodeOrText::of_node(a));
  sink.append(0, NodeOrText::of_text("t"));
  sink.append(0, NodeOrText::of_node(b));
  // No previous sibling: a new first child.
  sink.append_before_sibling(a, NodeOrText::of_text("0"));
  // Previous sibling is Text "t": merged there, not into `b` or later.
  sink.append_before_sibling(b, NodeOrText::of_text("u"));
  // Previous sibling of `t` is the element `a`: a new node.
  NodeId t = kids(sink, 0)[2];
  sink.append_before_sibling(t, NodeOrText::of_text("v"));
  EXPECT_EQ(sink.dom().to_html(0), "0<a></a>vtu<b></b>");
  EXPECT_EQ(kids(sink, 0).size(), 5u);
  expect_sound(sink.dom());
}

TEST(SinkAppend, BeforeSiblingMovesANodeDetachingItFirst) {
  Sink sink;
  std::vector<html5::Handle> ids;
  for (const char* name : {"a", "b", "c"}) {
    ids.push_back(sink.create_element(html(name), {}, {}));
    sink.append(0, NodeOrText::of_node(ids.back()));
  }
  sink.append_before_sibling(ids[2], NodeOrText::of_node(ids[0]));
  EXPECT_EQ(kids(sink, 0), (std::vector<NodeId>{ids[1], ids[0], ids[2]}));
  expect_sound(sink.dom());
}

TEST(SinkAppend, AnAttachedNodeMovesInsteadOfBeingListedTwice) {
  Sink sink;
  auto a = sink.create_element(html("a"), {}, {});
  auto b = sink.create_element(html("b"), {}, {});
  sink.append(0, NodeOrText::of_node(a));
  sink.append(0, NodeOrText::of_node(b));
  sink.append(b, NodeOrText::of_node(a));
  EXPECT_EQ(sink.dom().to_html(0), "<b><a></a></b>");
  expect_sound(sink.dom());
}

TEST(SinkAppend, BasedOnParentNode) {
  Sink sink;
  auto table = sink.create_element(html("table"), {}, {});
  auto prev = sink.create_element(html("div"), {}, {});
  // Detached element: append to the previous element.
  sink.append_based_on_parent_node(table, prev, NodeOrText::of_text("x"));
  EXPECT_EQ(sink.dom().to_html(prev), "<div>x</div>");
  // Attached: insert before it.
  sink.append(0, NodeOrText::of_node(table));
  sink.append_based_on_parent_node(table, prev, NodeOrText::of_text("y"));
  EXPECT_EQ(sink.dom().to_html(0), "y<table></table>");
}

TEST(SinkAppend, SiblingWithoutParentIsAnInternalError) {
  Sink sink;
  auto a = sink.create_element(html("a"), {}, {});
  EXPECT_THROW(sink.append_before_sibling(a, NodeOrText::of_text("x")), vedavi::InternalError);
  EXPECT_THROW(sink.append(99, NodeOrText::of_text("x")), vedavi::InternalError);
}

TEST(SinkReparent, MovesChildrenWithoutMergingText) {
  Sink sink;
  auto from = sink.create_element(html("a"), {}, {});
  auto to = sink.create_element(html("b"), {}, {});
  sink.append(from, NodeOrText::of_text("1"));
  auto i = sink.create_element(html("i"), {}, {});
  sink.append(from, NodeOrText::of_node(i));
  sink.append(to, NodeOrText::of_text("0"));
  sink.reparent_children(from, to);
  EXPECT_TRUE(kids(sink, from).empty());
  ASSERT_EQ(kids(sink, to).size(), 3u);
  EXPECT_EQ(text(sink, kids(sink, to)[0]), "0");
  EXPECT_EQ(text(sink, kids(sink, to)[1]), "1");
  EXPECT_EQ(sink.dom().node(i).parent, std::optional<NodeId>(to));
  expect_sound(sink.dom());
}

TEST(SinkTemplate, ContentsAreCreatedFirst) {
  Sink sink;
  auto tmpl = sink.create_element(html("template"), {}, {true, false});
  EXPECT_EQ(tmpl, 2u);
  EXPECT_TRUE(std::holds_alternative<Document>(sink.dom().node(1).data));
  EXPECT_EQ(sink.get_template_contents(tmpl), 1u);
  // A foreign `template` is an ordinary element.
  auto svg = sink.create_element(QualName{"", Namespace::Svg, "template"}, {}, {});
  EXPECT_EQ(svg, 3u);
  EXPECT_THROW(sink.get_template_contents(svg), vedavi::InternalError);
  EXPECT_THROW(sink.get_template_contents(0), vedavi::InternalError);
  EXPECT_FALSE(sink.attach_declarative_shadow(0, tmpl, {plain("shadowrootmode", "open")}));
}

TEST(SinkNames, ElemNameAndNonElements) {
  Sink sink;
  auto el = sink.create_element(QualName{"", Namespace::MathMl, "mi"}, {}, {});
  EXPECT_EQ(sink.elem_name(el), (QualName{"", Namespace::MathMl, "mi"}));
  auto comment = sink.create_comment("c");
  EXPECT_THROW(sink.elem_name(comment), vedavi::InternalError);
  EXPECT_FALSE(sink.is_mathml_annotation_xml_integration_point(el));
  EXPECT_TRUE(sink.same_node(el, el));
  EXPECT_FALSE(sink.same_node(el, comment));
}

TEST(SinkAttrs, AddIfMissingComparesWholeNames) {
  Sink sink;
  auto el = sink.create_element(html("html"), {plain("lang", "en")}, {});
  Attribute xlink{QualName{"xlink", Namespace::XLink, "href"}, "x"};
  sink.add_attrs_if_missing(el, {plain("lang", "de"), plain("dir", "1"), plain("dir", "2"),
                                 xlink, plain("href", "h")});
  const auto& attrs = sink.dom().element(el)->attrs;
  ASSERT_EQ(attrs.size(), 4u);
  EXPECT_EQ(attrs[0].value, "en");
  EXPECT_EQ(attrs[1].value, "1");
  EXPECT_EQ(attrs[2], xlink);
  EXPECT_EQ(attrs[3].value, "h");
  auto comment = sink.create_comment("c");
  sink.add_attrs_if_missing(comment, {plain("a", "b")});  // ignored
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
