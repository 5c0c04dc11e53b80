#include <gtest/gtest.h>

#include "build.h"
#include "render/render.h"
#include "render/renderer.h"

namespace vedavi {
namespace {

using namespace test;

struct InlineCase {
  const char* name;
  Inline node;
  std::string_view html;
};

Inline link(std::string url, Inlines children, std::optional<std::string> title = {},
            Attr attr = {}) {
  return Inline::Link{std::move(url), std::move(title), std::move(attr), std::move(children)};
}

std::vector<InlineCase> inline_cases() {
  std::vector<InlineCase> cases;
  cases.push_back({"text escaped", text("a < b & c > d \"q\""), "a &lt; b &amp; c &gt; d \"q\""});
  cases.push_back({"soft break", soft(), "\n"});
  cases.push_back({"hard break", Inline::HardBreak{}, "<br />\n"});
  cases.push_back({"emph", emph(ins({text("x")}), attr_of(".c")), "<em class=\"c\">x</em>"});
  cases.push_back({"strong", Inline::Strong{{}, ins({text("x")})}, "<strong>x</strong>"});
  cases.push_back({"strike", Inline::Strike{{}, ins({text("x")})}, "<del>x</del>"});
  cases.push_back({"superscript", Inline::Superscript{attr_of("#s"), "2<"},
                   "<sup id=\"s\">2&lt;</sup>"});
  cases.push_back({"subscript", Inline::Subscript{{}, "i"}, "<sub>i</sub>"});
  cases.push_back({"highlight", Inline::Highlight{{}, ins({text("x")})}, "<mark>x</mark>"});
  cases.push_back({"code", Inline::Code{{}, "a&b"}, "<code>a&amp;b</code>"});
  cases.push_back({"link with title and class",
                   link("a b<c>", ins({text("x")}), "T\"x", attr_of(".k")),
                   "<a href=\"a%20b%3Cc%3E\" title=\"T&quot;x\" class=\"k\">x</a>"});
  cases.push_back({"link url escapes", link("?a=1&b=%41&c=\xC3\xBC\t", ins({})),
                   "<a href=\"?a=1&amp;b=%41&amp;c=%C3%BC%09\"></a>"});
  cases.push_back({"image alt flattened",
                   Inline::Image{"u", std::nullopt, {},
                                 ins({text("x "), emph(ins({text("y")})), text(" z")})},
                   "<img src=\"u\" alt=\"x y z\" />"});
  cases.push_back({"image title then attrs",
                   Inline::Image{"u", "t", attr_of("#i"), ins({text("\"a\"")})},
                   "<img src=\"u\" alt=\"&quot;a&quot;\" title=\"t\" id=\"i\" />"});
  cases.push_back({"autolink has only href", Inline::Autolink{"mailto:a@b", "a@b", true},
                   "<a href=\"mailto:a@b\">a@b</a>"});
  cases.push_back({"html inline verbatim", Inline::HtmlInline{"<b>&</b>"}, "<b>&</b>"});
  {
    Inline::Operation op{"mediawiki", "transclude", "Infobox", {}};
    op.args.push_back(OperationArg{ins({text("a")}), std::nullopt});
    op.args.push_back(OperationArg{ins({text("b")}), "x"});
    cases.push_back({"operation", op,
                     "<template data-op=\"mediawiki:transclude\" data-name=\"Infobox\"><div "
                     "data-arg>a</div><div data-arg data-name=\"x\">b</div></template>"});
    cases.push_back({"operation without arguments", Inline::Operation{"s", "a", "n", {}},
                     "<template data-op=\"s:a\" data-name=\"n\"></template>"});
  }
  {
    TemplateToken token;
    token.syntax = "j";
    token.name = "v";
    cases.push_back({"template token", token, "<template data-op=\"j:value\">v</template>"});
  }
  cases.push_back({"math display", Inline::MathInline{{}, "x<1", true},
                   "<span class=\"math display\">x&lt;1</span>"});
  cases.push_back({"math inline keeps one math class", Inline::MathInline{attr_of(".math .a"), "x", false},
                   "<span class=\"math a inline\">x</span>"});
  cases.push_back({"span", span(ins({text("s")}), attr_of("#s")), "<span id=\"s\">s</span>"});
  cases.push_back({"raw inline comment escaped", Inline::RawInline{"html", "<!-- c -->"},
                   "<script type=\"application/vnd.vedavi.raw\" data-format=\"html\" "
                   "data-encoding=\"html\">&lt;!-- c --&gt;</script>"});
  cases.push_back({"raw inline verbatim", Inline::RawInline{"tex", "a&b"},
                   "<script type=\"application/vnd.vedavi.raw\" data-format=\"tex\">a&b</script>"});
  return cases;
}

TEST(RenderInlines, EachKindByteExact) {
  for (const InlineCase& c : inline_cases()) {
    EXPECT_EQ(render_inlines(std::span<const Inline>(&c.node, 1)), c.html) << c.name;
  }
}

TEST(RenderInlines, NestedContainersAndSiblings) {
  Inlines list = ins({text("a"), emph(ins({Inline::Strong{{}, ins({text("b")})}, text("c")})),
                      text("d")});
  EXPECT_EQ(render_inlines(list), "a<em><strong>b</strong>c</em>d");
}

TEST(RenderInlines, MemoEntriesStandInForTheirNodesOnce) {
  Inlines list = ins({text("a"), emph(ins({text("b")})), text("c")});
  const Inline* inner = &(*list[1].children())[0];
  InlineHtmlMemo memo{{&list[1], "<i>kept</i>"}, {inner, "unused"}};
  EXPECT_EQ(render_inlines(list, &memo), "a<i>kept</i>c");
  EXPECT_EQ(memo.size(), 1u);  // the entry used is gone; the one below it was never reached
  memo.clear();
  EXPECT_EQ(render_inlines(list, &memo), "a<em>b</em>c");
}

TEST(RenderInlines, ReferencesNumberedWithoutSection) {
  EXPECT_EQ(render_inlines(ins({fnref("x"), fnref("x")})),
            "<sup id=\"fnref-x\"><a href=\"#fn-x\" class=\"footnote-ref\" "
            "role=\"doc-noteref\">1</a></sup><sup id=\"fnref-x-2\"><a href=\"#fn-x\" "
            "class=\"footnote-ref\" role=\"doc-noteref\">1</a></sup>");
}

struct RawEncodingCase {
  std::string_view payload;
  bool needs_encoding;
};

TEST(RawPayload, NeedsEncoding) {
  const RawEncodingCase cases[] = {
      {"", false},          {"<!--", true},        {"x<!-", false},      {"<script", true},
      {"<ScRiPt>", true},   {"</SCRIPT>", true},   {"</scrip", false},   {"<scrip", false},
      {"< script", false},  {"a < b", false},      {"<<!--", true},      {"<!-", false},
  };
  for (const auto& c : cases) EXPECT_EQ(raw_data_needs_encoding(c.payload), c.needs_encoding) << c.payload;
}

TEST(PlainText, EveryKind) {
  TemplateToken token;
  token.source = "{{ v }}";
  Inline::Operation op{"s", "a", "n", {}};
  op.args.push_back(OperationArg{ins({text("p")}), std::nullopt});
  op.args.push_back(OperationArg{ins({text("q")}), "n"});
  Inlines list = ins({text("a"), soft(), Inline::HtmlInline{"<b>"}, fnref("L"),
                      Inline::RawInline{"html", "zzz"}, Inline(token), op,
                      Inline::MathInline{{}, "x^2", false}, Inline::Code{{}, "c"}});
  EXPECT_EQ(render::plain(list), "a <b>L{{ v }}pqx^2c");
}

}  // namespace
}  // namespace vedavi
