// Delimiter runs, brackets and links, trailing attributes, cross-references, angle constructs
// and bare autolinks, events and coalescing.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "inline/parse.h"
#include "inline/angle.h"
#include "inline/attrs.h"
#include "inline/autolink.h"
#include "inline/link.h"
#include "tests/cpp/support/inline_test_util.h"
#include "inline/xref.h"

namespace vedavi {
namespace {

using test::Parser;

struct Case {
  std::string_view input;
  std::string_view expected;
};

void expect_cases(const Parser& parse, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(parse(c.input), c.expected) << "input: " << c.input;
}

TEST(InlineEmphasis, Pairing) {
  Parser parse;
  expect_cases(parse, {
      {"*a **b** c*", R"~(emph["a " strong["b"] " c"])~"},
      {"***a***", R"~(emph[strong["a"]])~"},
      {"a*b*c", R"~("a" emph["b"] "c")~"},
      {"a_b_c", R"~("a_b_c")~"},
      {"*a**", R"~(emph["a"] "*")~"},
      {"~~a~~", R"~(strike["a"])~"},
      {"~~~a~~~", R"~("~~~a~~~")~"},
      {"~~a~~~", R"~("~~a~~~")~"},
      {"==a==", R"~(highlight["a"])~"},
      {"=a=", R"~("=a=")~"},
      {"===a===", R"~("===a===")~"},
      {"_a_b", R"~("_a_b")~"},
      {"*a*b", R"~(emph["a"] "b")~"},
      {"****", R"~("****")~"},
      {"**a**{.x}", R"~(strong{.x}["a"])~"},
      {"**a** {.x}", R"~(strong["a"] " {.x}")~"},
      {"**a**{.x}{#y}", R"~(strong{#y .x}["a"])~"},
      {"*a*{ref=page}", R"~(emph{ref=page}["a"])~"},
      {"**x [a*b**c*](d)", R"~("**x " link(d)["a" emph["b**c"]])~"},
      {"**a *b***", R"~(strong["a " emph["b"]])~"},
      {"*a _b* c_", R"~(emph["a _b"] " c_")~"},
      {"a * b * c", R"~("a * b * c")~"},
      {"**", R"~("**")~"},
  });
}

TEST(InlineBrackets, LinksImagesAndReferences) {
  Parser parse;
  parse.links["x"] = LinkRef{"/x", {}, std::string("T")};
  parse.links["ref"] = LinkRef{"/r", Attr::with_class("c"), {}};
  expect_cases(parse, {
      {"[x]", R"~(link(/x "T")["x"])~"},
      {"[x][]", R"~(link(/x "T")["x"])~"},
      {"[x][X]", R"~(link(/x "T")["x"])~"},
      {"[x][y]", R"~("[x][y]")~"},
      {"[y][x]", R"~(link(/x "T")["y"])~"},
      {"[a][ref]", R"~(link{.c}(/r)["a"])~"},
      {"![x]", R"~(image(/x "T")["x"])~"},
      {"[x]{.c}", R"~(span{.c}["x"])~"},
      {"![q]{.c}", R"~("![q]{.c}")~"},
      {"[a](u) and ]", R"~(link(u)["a"] " and ]")~"},
      {"[a [b](u) c](v)", R"~("[a " link(u)["b"] " c](v)")~"},
      {"![a [b](u)](v)", R"~(image(v)["a " link(u)["b"]])~"},
      {"[[x]{.c} y](u)", R"~(link(u)[span{.c}["x"] " y"])~"},
      {"^[a [b](u)]", R"~(note["a " link(u)["b"]])~"},
  });
  Parser plain;
  expect_cases(plain, {
      {"[x]", R"~("[x]")~"},
      {"[a](<b c>)", R"~(link(b c)["a"])~"},
      {"[a](b c)", R"~("[a](b c)")~"},
      {"[a](<b)", R"~("[a](<b)")~"},
      {"[a](u \"t\")", R"~(link(u "t")["a"])~"},
      {"[a](u 't')", R"~(link(u "t")["a"])~"},
      {"[a](u (t))", R"~(link(u "t")["a"])~"},
      {"[a](u \"\")", R"~(link(u)["a"])~"},
      {"[a](u \"t\" x)", R"~("[a](u "t" x)")~"},
      {"[a](<u>\"t\")", R"~(link(u "t")["a"])~"},
      {"[a]()", R"~(link()["a"])~"},
      {"[a](  )", R"~(link()["a"])~"},
      {"[a](u\\)v)", R"~(link(u)v)["a"])~"},
      {"[a](u&amp;v)", R"~(link(u&v)["a"])~"},
      {"[a](u\\&amp;v)", R"~(link(u&amp;v)["a"])~"},
      {"[a](u(b)", R"~("[a](u(b)")~"},
      {"[a](u \"(\")", R"~("[a](u "(")")~"},
      {"![x](u)", R"~(image(u)["x"])~"},
      {"[a](u){#i .c}", R"~(link{#i .c}(u)["a"])~"},
      {"[a](u){ref=page}", R"~(link{ref=page}(u)["a"])~"},
  });
  std::string deep = "[a](u";
  for (int i = 0; i < 32; ++i) deep += "(";
  for (int i = 0; i < 32; ++i) deep += ")";
  EXPECT_EQ(plain(deep + ")").substr(0, 4), "link");
  std::string deeper = "[a](u(" + deep.substr(5) + "))";
  EXPECT_EQ(plain(deeper).substr(0, 1), "\"");
}

TEST(InlineBrackets, CrossReferences) {
  Parser parse;
  expect_cases(parse, {
      {"[@fig-1]", R"~(link{data-ref=}(#fig-1)[])~"},
      {"[-@fig-1]", R"~(link{data-ref=bare}(#fig-1)[])~"},
      {"[see @sec-2]", R"~(link{data-ref=}(#sec-2)["see"])~"},
      {"[see -@sec-2]", R"~(link{data-ref=bare}(#sec-2)["see"])~"},
      {"[see@sec-2]", R"~("[see@sec-2]")~"},
      {"[see-@sec-2]", R"~("[see-@sec-2]")~"},
      {"[@a; @b]", R"~(span{data-refs=}[link{data-ref=}(#a)[] link{data-ref=}(#b)[]])~"},
      {"[see @a; @b]", R"~("[see @a; @b]")~"},
      {"[@a;]", R"~("[@a;]")~"},
      {"[@a; b]", R"~("[@a; b]")~"},
      {"[ @a ]", R"~(link{data-ref=}(#a)[])~"},
      {"[@]", R"~("[@]")~"},
      {"[@-a]", R"~("[@-a]")~"},
      {"[@a.b]", R"~("[@a.b]")~"},
      {"[@a b]", R"~("[@a b]")~"},
      {"[@a_b-C9]", R"~(link{data-ref=}(#a_b-C9)[])~"},
      {"[x@y]", R"~("[x@y]")~"},
      {"[*see* @a]", R"~(link{data-ref=}(#a)["*see*"])~"},
      {"[@fig-1]{ref=page}", R"~(link{data-ref=page}(#fig-1)[])~"},
      {"[-@fig-1]{ref=page}", R"~(link{data-ref=bare page}(#fig-1)[])~"},
      {"[@a; @b]{ref=page}",
       R"~(span{data-refs=}[link{data-ref=page}(#a)[] link{data-ref=page}(#b)[]])~"},
      {"[[@a] x](u)", R"~("[" link{data-ref=}(#a)[] " x](u)")~"},
  });
  EXPECT_EQ(inl::ref_seg_info(" see -@x ", true), (inl::XrefSeg{"x", "see", true}));
  EXPECT_EQ(inl::ref_seg_info("see @x", false), std::nullopt);
}

TEST(InlineAngle, AutolinksAndHtml) {
  Parser parse;
  expect_cases(parse, {
      {"<xy:a/b?c>", R"~(autolink(xy:a/b?c)"xy:a/b?c")~"},
      {"<ab:>", R"~(autolink(ab:)"ab:")~"},
      {"<a:b>", R"~("<a:b>")~"},
      {"<xy:a b>", R"~("<xy:a b>")~"},
      {"<xy:a\\b>", R"~(autolink(xy:a\b)"xy:a\b")~"},
      {"<me@ex.com>", R"~(autolink(mailto:me@ex.com email)"me@ex.com")~"},
      {"<!-- x -->", R"~(html_inline"<!-- x -->")~"},
      {"<!-->", R"~(html_inline"<!-->")~"},
      {"<!-- x", R"~("<!-- x")~"},
      {"<span class=\"a\">", R"~(html_inline"<span class="a">")~"},
      {"</span>", R"~(html_inline"</span>")~"},
      {"<SPAN>", R"~(html_inline"<SPAN>")~"},
      {"<foo>", R"~("<foo>")~"},
      {"<my-widget x=1>", R"~(html_inline"<my-widget x=1>")~"},
      {"<br/>", R"~(html_inline"<br/>")~"},
      {"<br />", R"~(html_inline"<br />")~"},
      {"<br / >", R"~("<br / >")~"},
      {"<span a=1b=2>", R"~("<span a=1b=2>")~"},
      {"<span a=>", R"~("<span a=>")~"},
      {"<span a=\"x>y\">", R"~(html_inline"<span a="x>y">")~"},
      {"</span x>", R"~("</span x>")~"},
      {"</ span>", R"~("</ span>")~"},
      {"<span>{.x}", R"~(html_inline"<span>" "{.x}")~"},
  });
  std::string scheme(33, 'a');
  EXPECT_EQ(parse.parse("<" + scheme + ":x>").front().kind(), InlineKind::Text);
  EXPECT_EQ(parse.parse("<" + scheme.substr(1) + ":x>").front().kind(), InlineKind::Autolink);
  const std::string open = "<span title=\"";
  const std::string fits = open + std::string(1024 - open.size() - 2, 'x') + "\">";
  ASSERT_EQ(fits.size(), 1024u);
  EXPECT_EQ(parse.parse(fits).front().kind(), InlineKind::HtmlInline);
  EXPECT_EQ(parse.parse(open + "x" + fits.substr(open.size())).front().kind(), InlineKind::Text);
  EXPECT_EQ(inl::html_tag_name_end("h1-x y"), 4u);
  EXPECT_EQ(inl::html_tag_name_end("1a"), std::nullopt);
}

TEST(InlineAutolinks, BareLinksAndAddresses) {
  Parser parse;
  parse.options.bare_autolinks = true;
  expect_cases(parse, {
      {"see www.a.bc.", R"~("see " autolink(http://www.a.bc)"www.a.bc" ".")~"},
      {"go to www.", R"~("go to www.")~"},  // "www." and punctuation only: no link
      {"www.,", R"~("www.,")~"},
      {"(http://a.bc/d_(e))", R"~("(" autolink(http://a.bc/d_(e))"http://a.bc/d_(e)" ")")~"},
      {"http://a.bc)", R"~(autolink(http://a.bc)"http://a.bc" ")")~"},
      {"http://a.bc&amp;", R"~(autolink(http://a.bc)"http://a.bc" "&")~"},
      {"http://a.bc;;", R"~(autolink(http://a.bc)"http://a.bc" ";;")~"},
      {"http://a_b.bc", R"~("http://a_b.bc")~"},
      {"http://a.bc-", R"~("http://a.bc-")~"},
      {"http:// x", R"~("http:// x")~"},
      {"awww.a.bc", R"~("awww.a.bc")~"},
      {"![www.a.bc]", R"~("![www.a.bc]")~"},
      {"< www.a.bc", R"~("< www.a.bc")~"},
      {"MAILTO:a@b.bc", R"~(autolink(mailto:a@b.bc email)"MAILTO:a@b.bc")~"},
      {"xmpp:a@b.bc/res", R"~(autolink(xmpp:a@b.bc/res)"xmpp:a@b.bc/res")~"},
      {"a@b.bc.", R"~(autolink(mailto:a@b.bc email)"a@b.bc" ".")~"},
      {"a@b.bc- x", R"~("a@b.bc- x")~"},
      {"a@b.bc-x", R"~(autolink(mailto:a@b.bc-x email)"a@b.bc-x")~"},
      {"a@b", R"~("a@b")~"},
      {"a@-b.bc", R"~("a@-b.bc")~"},
      {"x a@b.bc", R"~("x " autolink(mailto:a@b.bc email)"a@b.bc")~"},
      {"é a@b.bc", R"~("é " autolink(mailto:a@b.bc email)"a@b.bc")~"},
      {"x\xC2\xA0" "a@b.bc", "\"x\xC2\xA0\" autolink(mailto:a@b.bc email)\"a@b.bc\""},
  });
  EXPECT_TRUE(inl::is_email("a.b+c@d-e.f_g.hi"));
  EXPECT_FALSE(inl::is_email("a@b.c."));
  EXPECT_FALSE(inl::is_email("a b@c.d"));
  EXPECT_EQ(inl::bare_email_prefix("a@b.bc),"), "a@b.bc");
  const std::string word(300, 'a');
  EXPECT_EQ(inl::bounded_autolink_word(word, 0).size(), 255u);
  EXPECT_EQ(parse.parse(std::string(260, 'a') + "@b.bc").size(), 1u);  // the "@" lies past 255 bytes
}

TEST(InlineAttrs, TrailingBlocks) {
  Parser parse;
  expect_cases(parse, {
      {"`x`{.a}{#b}", R"~(code{#b .a}"x")~"},
      {"`x`{:anything}", R"~(code"x")~"},
      {"`x`{: #i}", R"~(code{#i}"x")~"},
      {"`x`{k='}'}", R"~(code{k=}}"x")~"},
      {"[a]{.s}{.t}", R"~(span{.s .t}["a"])~"},
      {"<b>x</b>{.y}", R"~(html_inline"<b>" "x" html_inline"</b>" "{.y}")~"},
  });
  Inline item = Inline(Inline::Emph{});
  inl::apply_ref_variant(item, "v");
  EXPECT_EQ(*item.attr()->find_pair("ref"), "v");
  Inline text = Inline(Inline::Text{"t"});
  inl::apply_ref_variant(text, "v");
  EXPECT_EQ(text.get_if<Inline::Text>()->text, "t");
}

TEST(InlineEvents, RangesAndOrder) {
  Parser parse;
  using K = InlineEventKind;
  auto ev = [](K kind, std::size_t s, std::size_t e, bool image = false, std::size_t be = 0) {
    return InlineEvent{kind, image, be, s, e};
  };
  EXPECT_EQ(parse.events("**a** b"), std::vector<InlineEvent>{ev(K::Strong, 0, 5)});
  EXPECT_EQ(parse.events("[x](u)"),
            (std::vector<InlineEvent>{ev(K::Link, 0, 6, false, 3), ev(K::LinkTail, 3, 6)}));
  EXPECT_EQ(parse.events("![x](u)"),
            (std::vector<InlineEvent>{ev(K::Link, 0, 7, true, 4), ev(K::LinkTail, 4, 7)}));
  EXPECT_EQ(parse.events("[x]{.c}"),
            (std::vector<InlineEvent>{ev(K::Span, 0, 7, false, 3), ev(K::Attrs, 3, 7)}));
  EXPECT_EQ(parse.events("plain"), std::vector<InlineEvent>{});
  EXPECT_EQ(parse.events("a [b"), std::vector<InlineEvent>{});
  EXPECT_EQ(parse.events("`c`{=html} <!--x--> <b>"),
            (std::vector<InlineEvent>{ev(K::RawInline, 0, 10), ev(K::Code, 0, 3),
                                      ev(K::Attrs, 3, 10), ev(K::Comment, 11, 19),
                                      ev(K::HtmlInline, 20, 23)}));
  Parser rich;
  rich.links["r"] = LinkRef{"/r", {}, {}};
  rich.footnotes = {"1"};
  rich.options.bare_autolinks = true;
  EXPECT_EQ(rich.events("[a][r] [r] x^2^ H~2~O \\(x\\) [^1] <a:bc> www.a.bc"),
            (std::vector<InlineEvent>{
                ev(K::RefLink, 0, 6, false, 3), ev(K::LinkTail, 3, 6), ev(K::RefLink, 7, 10, false, 10),
                ev(K::Superscript, 12, 15), ev(K::Subscript, 17, 20), ev(K::MathInline, 22, 27),
                ev(K::FootnoteRef, 28, 32), ev(K::Autolink, 40, 48)}));
  EXPECT_EQ(parse.events("**a**{.x} ^[n] [@r]"),
            (std::vector<InlineEvent>{ev(K::Strong, 0, 5), ev(K::Attrs, 5, 9), ev(K::Note, 10, 14),
                                      ev(K::Xref, 15, 19)}));
}

TEST(InlineCoalesce, MergesTextAndFlattensStrong) {
  auto text = [](std::string s) { return Inline(Inline::Text{std::move(s)}); };
  auto strong = [](Inlines kids, Attr a = {}) { return Inline(Inline::Strong{std::move(a), std::move(kids)}); };
  Inlines list;
  list.push_back(text("a"));
  list.push_back(text("b"));
  list.push_back(Inline(Inline::Emph{{}, Inlines{text("c"), text("d")}}));
  EXPECT_EQ(test::show(inl::coalesce(std::move(list))), R"~("ab" emph["cd"])~");
  EXPECT_EQ(test::show(inl::coalesce(Inlines{strong(Inlines{strong(Inlines{text("x")})})})),
            R"~(strong["x"])~");
  Attr id;
  id.id = "i";
  EXPECT_EQ(test::show(inl::coalesce(Inlines{strong(Inlines{strong(Inlines{text("x")}, id)})})),
            R"~(strong[strong{#i}["x"]])~");
  EXPECT_EQ(test::show(inl::coalesce(Inlines{strong(Inlines{strong(Inlines{text("x")})}, id)})),
            R"~(strong{#i}[strong["x"]])~");
  EXPECT_EQ(test::show(inl::coalesce(
                Inlines{strong(Inlines{text("a"), strong(Inlines{text("b")}), text("c")})})),
            R"~(strong["abc"])~");
  EXPECT_EQ(test::show(inl::coalesce(Inlines{Inline(Inline::Note{Inlines{text("a"), text("b")}})})),
            R"~(note["a" "b"])~");
  EXPECT_TRUE(inl::coalesce(Inlines{}).empty());
  Parser parse;
  Inlines once = inl::coalesce(parse.parse("*a* **b** [c](u) ^[d] e"));
  const std::string shown = test::show(once);
  EXPECT_EQ(test::show(inl::coalesce(std::move(once))), shown);
}

// Coalescing as a rebuild into fresh lists, bottom up, with recursion (fine at test depths): the
// in-place walk must give the same trees.
void reference_coalesce(Inlines& list) {
  Inlines out;
  auto push = [&out](Inline&& item) {
    if (auto* t = item.get_if<Inline::Text>(); t && !out.empty()) {
      if (auto* last = out.back().get_if<Inline::Text>()) {
        last->text += t->text;
        return;
      }
    }
    out.push_back(std::move(item));
  };
  for (Inline& item : list) {
    const InlineKind k = item.kind();
    const bool container = k == InlineKind::Emph || k == InlineKind::Strong ||
                           k == InlineKind::Strike || k == InlineKind::Highlight ||
                           k == InlineKind::Link || k == InlineKind::Image || k == InlineKind::Span;
    if (container) {
      Inlines& kids = *item.children();
      reference_coalesce(kids);
      auto plain_strong = [](const Inline& x) {
        return x.kind() == InlineKind::Strong && x.attr()->empty();
      };
      if (plain_strong(item)) {
        Inlines flat;
        for (Inline& kid : kids) {
          if (plain_strong(kid)) {
            for (Inline& g : *kid.children()) flat.push_back(std::move(g));
          } else {
            flat.push_back(std::move(kid));
          }
        }
        reference_coalesce(flat);
        kids = std::move(flat);
      }
    }
    push(std::move(item));
  }
  list = std::move(out);
}

Inlines random_inlines(std::mt19937& rng, int depth) {
  Inlines list;
  const int count = static_cast<int>(rng() % 5);
  for (int i = 0; i < count; ++i) {
    const unsigned pick = depth > 0 ? rng() % 9 : rng() % 3;
    Attr attr;
    if (rng() % 3 == 0) attr.id = "i";
    switch (pick) {
      case 0: case 1: list.push_back(Inline::Text{std::string(1, static_cast<char>('a' + rng() % 3))}); break;
      case 2: list.push_back(Inline::SoftBreak{}); break;
      case 3: case 4: list.push_back(Inline::Strong{attr, random_inlines(rng, depth - 1)}); break;
      case 5: list.push_back(Inline::Emph{attr, random_inlines(rng, depth - 1)}); break;
      case 6: list.push_back(Inline::Note{random_inlines(rng, depth - 1)}); break;
      case 7: list.push_back(Inline::Link{"u", std::nullopt, attr, random_inlines(rng, depth - 1)}); break;
      default: list.push_back(Inline::Span{attr, random_inlines(rng, depth - 1)}); break;
    }
  }
  return list;
}

TEST(InlineCoalesce, InPlaceMatchesRebuild) {
  std::mt19937 rng(11);
  for (int round = 0; round < 5000; ++round) {
    Inlines tree = random_inlines(rng, 4);
    Inlines expected = tree;
    reference_coalesce(expected);
    const std::string before = test::show(tree);
    EXPECT_EQ(test::show(inl::coalesce(std::move(tree))), test::show(expected)) << before;
  }
}

TEST(InlineLinkHelpers, Destinations) {
  EXPECT_EQ(inl::trim_link_space(" \t\nx\r "), "x");
  auto split = inl::parse_link_destination("<a>b", 32);
  ASSERT_TRUE(split);
  EXPECT_EQ(split->destination, "a");
  EXPECT_EQ(split->rest, "b");
  EXPECT_FALSE(inl::parse_link_destination("<", 32));
  EXPECT_FALSE(inl::parse_link_destination("a(b", 32));
  EXPECT_FALSE(inl::parse_link_destination("a)", 32));
  auto paren = inl::paren_content("a<)>b)c", 0, 32);
  ASSERT_TRUE(paren);
  EXPECT_EQ(paren->content, "a<)>b");
  EXPECT_FALSE(inl::paren_content("a<\n>)", 0, 32));
}

}  // namespace
}  // namespace vedavi
