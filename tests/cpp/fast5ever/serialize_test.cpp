#include "fast5ever/serialize.h"

#include <gtest/gtest.h>

#include "base/internal_error.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using namespace testing_helpers;

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
