#include <gtest/gtest.h>

#include "build.h"
#include "render/renderer.h"

namespace vedavi {
namespace {

using namespace test;

std::string ref(std::string_view id, std::string_view frag, int number) {
  return "<sup id=\"" + std::string(id) + "\"><a href=\"#fn-" + std::string(frag) +
         "\" class=\"footnote-ref\" role=\"doc-noteref\">" + std::to_string(number) + "</a></sup>";
}

std::string backref(std::string_view id, int k) {
  std::string out = "<a href=\"#" + std::string(id) +
                    "\" class=\"footnote-backref\" role=\"doc-backlink\">\u21A9";
  if (k >= 2) out += "<sup>" + std::to_string(k) + "</sup>";
  return out + "</a>";
}

const std::string kOpen = "<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n";
const std::string kClose = "</ol>\n</section>\n";

Footnote footnote(std::string label, Blocks blocks) { return Footnote{std::move(label), std::move(blocks)}; }

TEST(Footnotes, UnreferencedDefinitionsWriteNoSection) {
  Document doc = doc_of(bls({para(ins({text("a")}))}), {footnote("x", bls({para(ins({text("X")}))}))});
  EXPECT_EQ(render_document(doc), "<p>a</p>\n");
}

TEST(Footnotes, RepeatedReferencesAndBacklinks) {
  Document doc = doc_of(bls({para(ins({text("a"), fnref("x"), text(" b"), fnref("y"), text(" c"),
                                       fnref("x")}))}),
                        {footnote("x", bls({para(ins({text("Text")}))})),
                         footnote("y", bls({para(ins({text("Y")}))}))});
  EXPECT_EQ(render_document(doc),
            "<p>a" + ref("fnref-x", "x", 1) + " b" + ref("fnref-y", "y", 2) + " c" +
                ref("fnref-x-2", "x", 1) + "</p>\n" + kOpen + "<li id=\"fn-x\">\n<p>Text " +
                backref("fnref-x", 1) + " " + backref("fnref-x-2", 2) + "</p>\n</li>\n" +
                "<li id=\"fn-y\">\n<p>Y " + backref("fnref-y", 1) + "</p>\n</li>\n" + kClose);
}

TEST(Footnotes, BodyNotEndingInParagraphKeepsItsBlock) {
  Document doc = doc_of(bls({para(ins({fnref("x")}))}),
                        {footnote("x", bls({Block::CodeBlock{{}, "", "c\n", std::nullopt}}))});
  EXPECT_EQ(render_document(doc), "<p>" + ref("fnref-x", "x", 1) + "</p>\n" + kOpen +
                                      "<li id=\"fn-x\">\n<pre><code>c\n</code></pre>\n" +
                                      backref("fnref-x", 1) + "\n</li>\n" + kClose);
}

TEST(Footnotes, MissingBodyGetsEmptyItem) {
  Document doc = doc_of(bls({para(ins({fnref("\xC3\xA9 1")}))}));
  EXPECT_EQ(render_document(doc),
            "<p>" + ref("fnref-%C3%A9%201", "%C3%A9%201", 1) + "</p>\n" + kOpen +
                "<li id=\"fn-%C3%A9%201\">\n" + backref("fnref-%C3%A9%201", 1) + "\n</li>\n" + kClose);
}

TEST(Footnotes, NoteThenFootnoteShareNumbering) {
  Document doc = doc_of(bls({para(ins({note(ins({text("n")})), fnref("x")}))}),
                        {footnote("x", bls({para(ins({text("X")}))}))});
  EXPECT_EQ(render_document(doc),
            "<p>" + ref("fnref-__note1", "__note1", 1) + ref("fnref-x", "x", 2) + "</p>\n" +
                kOpen + "<li id=\"fn-__note1\">\n<p>n " + backref("fnref-__note1", 1) +
                "</p>\n</li>\n<li id=\"fn-x\">\n<p>X " + backref("fnref-x", 1) + "</p>\n</li>\n" +
                kClose);
}

TEST(Footnotes, ReferencesInsideBodiesJoinTheSamePass) {
  Document doc = doc_of(bls({para(ins({fnref("a")}))}),
                        {footnote("a", bls({para(ins({text("A"), fnref("b"), fnref("a")}))})),
                         footnote("b", bls({para(ins({text("B")}))}))});
  EXPECT_EQ(render_document(doc),
            "<p>" + ref("fnref-a", "a", 1) + "</p>\n" + kOpen + "<li id=\"fn-a\">\n<p>A" +
                ref("fnref-b", "b", 2) + ref("fnref-a-2", "a", 1) + " " + backref("fnref-a", 1) +
                " " + backref("fnref-a-2", 2) + "</p>\n</li>\n<li id=\"fn-b\">\n<p>B " +
                backref("fnref-b", 1) + "</p>\n</li>\n" + kClose);
}

TEST(Footnotes, LaterDefinitionOfALabelWins) {
  Document doc = doc_of(bls({para(ins({fnref("x")}))}),
                        {footnote("x", bls({para(ins({text("first")}))})),
                         footnote("x", bls({para(ins({text("second")}))}))});
  const std::string html = render_document(doc);
  EXPECT_NE(html.find("<p>second "), std::string::npos);
  EXPECT_EQ(html.find("first"), std::string::npos);
}

TEST(Footnotes, GeneratedNoteLabelSkipsLabelsAlreadyTaken) {
  // The author's own "__note1" is defined, "__note2" referenced: the note becomes "__note3", and
  // all three bodies survive.
  Document doc = doc_of(bls({para(ins({fnref("__note2"), note(ins({text("mine")})), fnref("__note1")}))}),
                        {footnote("__note1", bls({para(ins({text("author")}))}))});
  EXPECT_EQ(render_document(doc),
            "<p>" + ref("fnref-__note2", "__note2", 1) + ref("fnref-__note3", "__note3", 2) +
                ref("fnref-__note1", "__note1", 3) + "</p>\n" + kOpen +
                "<li id=\"fn-__note2\">\n" + backref("fnref-__note2", 1) + "\n</li>\n" +
                "<li id=\"fn-__note3\">\n<p>mine " + backref("fnref-__note3", 1) + "</p>\n</li>\n" +
                "<li id=\"fn-__note1\">\n<p>author " + backref("fnref-__note1", 1) + "</p>\n</li>\n" +
                kClose);
}

TEST(Footnotes, NotesInsideNotesAreNumberedInTheSectionPass) {
  Document doc = doc_of(bls({para(ins({note(ins({text("a"), note(ins({text("b")}))}))}))}));
  EXPECT_EQ(render_document(doc),
            "<p>" + ref("fnref-__note1", "__note1", 1) + "</p>\n" + kOpen +
                "<li id=\"fn-__note1\">\n<p>a" + ref("fnref-__note2", "__note2", 2) + " " +
                backref("fnref-__note1", 1) + "</p>\n</li>\n<li id=\"fn-__note2\">\n<p>b " +
                backref("fnref-__note2", 1) + "</p>\n</li>\n" + kClose);
}

TEST(Footnotes, CallbackDefaultKnowsNoDefinitions) {
  // A fresh renderer over one block, then its footnote step: an empty body with its backlink.
  Renderer renderer;
  std::string out;
  renderer.block(para(ins({fnref("x")})), out);
  renderer.footnotes(out);
  EXPECT_EQ(out, "<p>" + ref("fnref-x", "x", 1) + "</p>\n" + kOpen + "<li id=\"fn-x\">\n" +
                     backref("fnref-x", 1) + "\n</li>\n" + kClose);
}

}  // namespace
}  // namespace vedavi
