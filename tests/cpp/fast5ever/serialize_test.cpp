#include "fast5ever/serialize.h"

#include <gtest/gtest.h>

#include "base/internal_error.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using html5::Namespace;
using testing_helpers::make_foreign;
using testing_helpers::make_template;
using testing_helpers::put;

NodeId add(Dom& dom, NodeId parent, NodeData data) {
  dom.nodes.push_back(Node{std::nullopt, {}, std::move(data)});
  return put(dom, parent, dom.nodes.size() - 1);
}

TEST(Escaping, TextAndAttributeModes) {
  struct Case {
    std::string_view in, text, attr;
  };
  const Case cases[] = {
      {"a<b & c", "a&lt;b &amp; c", "a&lt;b &amp; c"},
      {"\"q\" <x>", "\"q\" &lt;x&gt;", "&quot;q&quot; &lt;x&gt;"},
      {"nb\u00a0sp", "nb&nbsp;sp", "nb&nbsp;sp"},
      {"\u00c2\u00a1 \u00e9 '", "\u00c2\u00a1 \u00e9 '", "\u00c2\u00a1 \u00e9 '"},
      {"\xc2", "\xc2", "\xc2"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    std::string text, attr;
    append_escaped_text(c.in, text);
    append_escaped_attr(c.in, attr);
    EXPECT_EQ(text, c.text) << c.in;
    EXPECT_EQ(attr, c.attr) << c.in;
  }
}

TEST(ToHtml, DocumentGivesChildrenAndElementsThemselves) {
  Dom dom;
  NodeId p = put(dom, 0, dom.create_element("p"));
  put(dom, p, dom.create_text("a"));
  put(dom, 0, dom.create_text("b"));
  EXPECT_EQ(dom.to_html(0), "<p>a</p>b");
  EXPECT_EQ(dom.to_html(p), "<p>a</p>");
  EXPECT_EQ(Dom().to_html(0), "");
}

TEST(ToHtml, RawTextElementsWriteTextAsItStands) {
  for (std::string_view raw : {"style", "script", "xmp", "iframe", "noembed", "noframes",
                               "plaintext", "noscript"}) {
    Dom dom;
    NodeId el = put(dom, 0, dom.create_element(raw));
    put(dom, el, dom.create_text("a<b & c"));
    EXPECT_EQ(dom.to_html(0), "<" + std::string(raw) + ">a<b & c</" + std::string(raw) + ">");
  }
  Dom dom;
  NodeId div = put(dom, 0, dom.create_element("div"));
  put(dom, div, dom.create_text("a<b & c"));
  NodeId svg_script = put(dom, 0, make_foreign(dom, Namespace::Svg, "script"));
  put(dom, svg_script, dom.create_text("<"));
  // Only the innermost element counts.
  NodeId script = put(dom, 0, dom.create_element("script"));
  NodeId inner = put(dom, script, dom.create_element("b"));
  put(dom, inner, dom.create_text("<"));
  EXPECT_EQ(dom.to_html(0),
            "<div>a&lt;b &amp; c</div><script>&lt;</script><script><b>&lt;</b></script>");
}

TEST(ToHtml, VoidElementsWriteNoEndTagAndNoTagsBelow) {
  Dom dom;
  NodeId br = put(dom, 0, dom.create_element("br"));
  put(dom, br, dom.create_text("x"));
  EXPECT_EQ(dom.to_html(0), "<br>x");

  Dom nested;
  NodeId br2 = put(nested, 0, nested.create_element("br", {{"a", "1"}}));
  NodeId em = put(nested, br2, nested.create_element("em"));
  put(nested, em, nested.create_text("x"));
  add(nested, em, Comment{"c"});
  NodeId script = put(nested, em, nested.create_element("script"));
  put(nested, script, nested.create_text("<"));
  put(nested, 0, nested.create_element("hr"));
  EXPECT_EQ(nested.to_html(0), "<br a=\"1\">x<!--c--><<hr>");

  Dom foreign;
  NodeId svg_br = put(foreign, 0, make_foreign(foreign, Namespace::Svg, "br"));
  put(foreign, svg_br, foreign.create_text("x"));
  EXPECT_EQ(foreign.to_html(0), "<br>x</br>");
}

TEST(ToHtml, NamesOfElementsAndAttributes) {
  Dom dom;
  NodeId rect = put(dom, 0, dom.create_element("svg:rect"));
  ASSERT_TRUE(dom.set_attr(rect, "xlink:href", "#a"));
  std::vector<Attribute> attrs = {
      {QualName{"xlink", Namespace::XLink, "href"}, "1"},
      {QualName{"xml", Namespace::Xml, "lang"}, "2"},
      {QualName{"", Namespace::Xmlns, "xmlns"}, "3"},
      {QualName{"xmlns", Namespace::Xmlns, "xlink"}, "4"},
      {QualName{"p", Namespace::Html, "odd"}, "5"},
      {QualName{"q", Namespace::None, "plain"}, "6"},
  };
  NodeId svg = make_foreign(dom, Namespace::Svg, "foreignObject", attrs);
  dom.element(svg)->name.prefix = "svg";
  put(dom, 0, svg);
  EXPECT_EQ(dom.to_html(0),
            "<svg:rect xlink:href=\"#a\"></svg:rect>"
            "<foreignObject xlink:href=\"1\" xml:lang=\"2\" xmlns=\"3\" xmlns:xlink=\"4\" "
            "unknown_namespace:odd=\"5\" plain=\"6\"></foreignObject>");
}

TEST(ToHtml, OtherNodeKinds) {
  Dom dom;
  add(dom, 0, Doctype{"html", "pub", "sys"});
  add(dom, 0, Comment{"a -- <b>"});
  add(dom, 0, ProcessingInstruction{"xml", "v=1"});
  NodeId p = put(dom, 0, dom.create_element("p", {{"title", "\"<&>\""}}));
  put(dom, p, dom.create_text("\u00a0"));
  EXPECT_EQ(dom.to_html(0),
            "<!DOCTYPE html><!--a -- <b>--><?xml v=1><p title=\"&quot;&lt;&amp;&gt;&quot;\">"
            "&nbsp;</p>");
}

TEST(ToHtml, TemplateWritesItsContents) {
  Dom dom;
  NodeId tmpl = make_template(dom);
  put(dom, 0, tmpl);
  NodeId contents = *dom.element(tmpl)->template_contents;
  NodeId i = put(dom, contents, dom.create_element("i"));
  put(dom, i, dom.create_text("x"));
  EXPECT_EQ(dom.to_html(tmpl), "<template><i>x</i></template>");
  EXPECT_EQ(dom.to_html(contents), "<i>x</i>");
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
  put(dom, p, dom.create_text("a"));
  NodeId em = put(dom, p, dom.create_element("em"));
  put(dom, em, dom.create_text("b"));
  add(dom, p, Comment{"c"});
  put(dom, p, dom.create_text("d"));
  EXPECT_EQ(dom.to_text(p), "abd");
  EXPECT_EQ(dom.to_text(em), "b");
  EXPECT_EQ(dom.to_text(dom.create_text("lone")), "lone");
}

}  // namespace
}  // namespace fast5ever::dom
