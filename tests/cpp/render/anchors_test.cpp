#include "render/anchors.h"

#include <gtest/gtest.h>

#include "build.h"

namespace vedavi {
namespace {

using namespace test;

std::vector<Anchor> anchors_of(const Blocks& blocks) {
  std::vector<Anchor> out;
  for (const Block& block : blocks) anchor_block(block, out);
  return out;
}

struct AnchorCase {
  const char* name;
  Blocks blocks;
  std::vector<Anchor> expected;
};

std::vector<AnchorCase> anchor_cases() {
  std::vector<AnchorCase> cases;
  cases.push_back({"paragraph without text", bls({para(ins({}), id_attr("p"))}), {{"p", "block", ""}}});
  cases.push_back({"heading text flattened",
                   bls({Block::Heading{id_attr("h"),
                                       ins({text("A "), emph(ins({text("b")})), text(" "),
                                            Inline::Code{{}, "c"}}),
                                       1}}),
                   {{"h", "block", "A b c"}}});
  cases.push_back({"quote gives none, its paragraph does",
                   bls({quote(bls({para(ins({text("q")}), id_attr("p"))}), id_attr("q"))}),
                   {{"p", "block", "q"}}});
  cases.push_back({"heading before its span",
                   bls({Block::Heading{id_attr("h"),
                                       ins({text("x "), span(ins({text(" in ")}), id_attr("s"))}),
                                       2}}),
                   {{"h", "block", "x in"}, {"s", "text", "in"}}});
  {
    Block::Table t;
    t.attr = id_attr("t");
    t.rows.push_back(TableRow{{}, {TableCell{{}, ins({span(ins({text("c")}), id_attr("c"))}), Align::None}}});
    cases.push_back({"table without caption", bls({t}), {{"t", "caption", ""}, {"c", "text", "c"}}});
  }
  cases.push_back({"breaks collapse and ends trim",
                   bls({para(ins({text("  a"), soft(), text("b\t\u3000 ")}), id_attr("p"))}),
                   {{"p", "block", "a b"}}});
  {
    TemplateToken token;
    token.body = " body ";
    token.source = "{{ body }}";
    cases.push_back({"what each inline contributes",
                     bls({para(ins({text("x"), fnref("f"), Inline::MathInline{{}, "e^x", false},
                                    Inline::HtmlInline{"<b>"}, Inline(token)}),
                               id_attr("p"))}),
                     {{"p", "block", "xe^x body"}}});
  }
  cases.push_back({"ids on other inlines give nothing",
                   bls({para(ins({emph(ins({span(ins({text("s")}), id_attr("s"))}), id_attr("e")),
                                  Inline::Code{id_attr("c"), "x"}}))}),
                   {{"s", "text", "s"}}});
  cases.push_back({"panel title and div",
                   bls({Block::Div{id_attr("d"), bls({Block::PanelTitle{id_attr("t"), ins({text("T")})}})}}),
                   {{"t", "text", "T"}}});
  {
    Block::List list{{}, {}, 1, false, true};
    list.items.push_back(ListItem{id_attr("i"), bls({para(ins({text("a")}), id_attr("a"))}), {}});
    list.items.push_back(ListItem{{}, bls({para(ins({text("b")}), id_attr("b"))}), {}});
    cases.push_back({"list items in order, item ids give nothing", bls({list}),
                     {{"a", "block", "a"}, {"b", "block", "b"}}});
  }
  {
    Block::DefinitionList dl;
    dl.items.push_back(DefinitionItem{
        {DefinitionTerm{id_attr("t1"), ins({text("one")})}, DefinitionTerm{id_attr("t2"), ins({text("two")})}},
        {ins({span(ins({text("d")}), id_attr("d"))})}});
    cases.push_back({"definition terms then definitions", bls({dl}),
                     {{"t1", "text", "one"}, {"t2", "text", "two"}, {"d", "text", "d"}}});
  }
  {
    Inline image = Inline::Image{"u", std::nullopt, {}, ins({span(ins({text("alt")}), id_attr("s"))})};
    cases.push_back({"figure caption then image alt",
                     bls({Block::Figure{id_attr("f"), ins({text("Cap")}), image}}),
                     {{"f", "caption", "Cap"}, {"s", "text", "alt"}}});
  }
  return cases;
}

TEST(Anchors, EdgeCases) {
  for (const AnchorCase& c : anchor_cases()) EXPECT_EQ(anchors_of(c.blocks), c.expected) << c.name;
}

TEST(Anchors, TextAndPushAnchor) {
  TemplateToken token;
  token.body = "b";
  EXPECT_EQ(inlines_text(ins({text(" a "), soft(), Inline(token), fnref("x")})), " a  b");
  std::vector<Anchor> list;
  push_anchor(Attr{}, "block", "text", list);
  EXPECT_TRUE(list.empty());
  push_anchor(id_attr("i"), "block", " \n a \u00A0 b\n", list);
  EXPECT_EQ(list, (std::vector<Anchor>{{"i", "block", "a b"}}));
}

}  // namespace
}  // namespace vedavi
