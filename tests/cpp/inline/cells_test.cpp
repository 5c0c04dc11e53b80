// Table cells: the quick look that takes a cell of plain words as it stands gives what the full
// parse gives, for every length around the block sizes it reads and under every option.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "inline/cells.h"
#include "inline/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

TEST(TableCells, QuickLookAgreesWithTheFullParse) {
  std::mt19937 rng(4242);
  // Word bytes and near misses (bytes the parse reads in some other place, or not at all).
  const std::vector<std::string_view> words = {
      "a", "b", "Z", "9", " ", " ", "\t", "[", "!", "{", "}", "(", ")", "|", "#", "%", "-", "+",
      ",", ";", "/", "?", "'", "\"", "[", ">", "\x01", "\x7F", "\xC3\xA9", "\xE2\x80\x83", "www",
      "http"};
  // Syntax made by one kind of syntax byte each (under some options), so that a byte the look
  // misses shows.
  const std::vector<std::string_view> syntax = {
      "www.ab", "http://ab", " _ab_ ", "==ab==", "[ab](cd)", "[a]", "$ab$", "$$ab$$", "[@ab]",
      "ab@cd", "&amp;", "*ab*", "<b>", "\\!", "`ab`", "a\nb", "~~ab~~", "~ab~", "^ab^",
      // Cells of plain words, code spans, emphasis, links and bare links are read without the
      // scanner, which must be mirrored at each of its edges.
      "`f()`", "``a`b``", "` a `", "`a", "*a*b", "**a**", "*a **b***", "_a_", "*a*{.c}", "`a`{.c}",
      "[w](https://e.com/w/1)", "[w](u \"t\")", "[w](<u>)", "[*w*](u)", "[w](u){#i}", "[](u)", "[w](u",
      "https://www.a.org/b?q=1", "http://a.bc.", "www.a.net", "a.b@c.com", "mailto:a@b.co", "x:y", "a.b",
      "@a", "[^n]", "^[n]", "![i](u)", "[a]{.c}"};
  const TemplateDelimiter mustache{"m", "{{", "}}", {}, {}, TemplateForm::Auto};
  for (int round = 0; round < 20000; ++round) {
    test::Parser parse;
    parse.options.bare_autolinks = rng() % 2;
    parse.options.math = static_cast<MathMode>(rng() % 4);
    if (rng() % 7 == 0) parse.options.templates.push_back(mustache);
    if (rng() % 3 == 0) parse.links["a"] = LinkRef{"/a", {}, {}};
    // Words of every length around the blocks the look reads, with up to three pieces of syntax.
    std::string text;
    const std::size_t len = rng() % 40;
    while (text.size() < len) text += words[rng() % words.size()];
    for (std::size_t k = rng() % 4; k > 0; --k) {
      text.insert(rng() % (text.size() + 1), syntax[rng() % syntax.size()]);
    }
    for (bool kept : {false, true}) {
      InlineContext ctx{parse.options, parse.links, parse.footnotes, nullptr};
      ctx.text_outlives_tree = kept;
      const std::string full = test::show(inl::parse_inner(text, ctx));
      EXPECT_EQ(test::show(inl::parse_cell(text, ctx)), full) << "text: " << text << " round " << round;
      // The same with the slot a table gives each cell for its one text node.
      auto* slot = static_cast<Inline*>(current_arena().allocate(sizeof(Inline), alignof(std::max_align_t)));
      EXPECT_EQ(test::show(inl::parse_cell(text, ctx, slot)), full) << "text: " << text << " round " << round;
    }
  }
}

}  // namespace
}  // namespace vedavi
