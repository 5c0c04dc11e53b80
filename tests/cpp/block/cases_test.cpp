// The block structure md source parses into (drafts of span mode 0), case by case.
#include <gtest/gtest.h>

#include <string>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::default_options;
using testing::parse_dump;
using testing::spans_dump;

struct Case {
  std::string_view src;
  std::string_view expected;
};

void expect_drafts(std::initializer_list<Case> cases, const Options& options = default_options()) {
  for (const auto& c : cases) EXPECT_EQ(parse_dump(c.src, options), c.expected) << "source: " << c.src;
}

void expect_spans(std::initializer_list<Case> cases, std::uint8_t mode = 1) {
  for (const auto& c : cases)
    EXPECT_EQ(spans_dump(parse_source(c.src, default_options(), mode).trace.spans), c.expected) << c.src;
}

TEST(Containers, QuotesAndListsHaveNoLazyLines) {
  expect_drafts({
      {"> a\nb", "quote\n  p a\np b\n"}, {"- a\nb", "ul tight\n  item\n    p a\np b\n"},
      {"- a\n\n- b", "ul loose\n  item\n    p a\n  item\n    p b\n"},
      {"- a\n\n  more", "ul loose\n  item\n    p a\n    p more\n"}, {"-\n\n  x", "ul tight\n  item\np x\n"},
      {"- a\n* b", "ul tight\n  item\n    p a\nul tight\n  item\n    p b\n"},
      {"> > x", "quote\n  quote\n    p x\n"}, {">\tx", "quote\n  p x\n"},
      {">\t\tx", "quote\n  code   x\\n\n"}, {"-\tx", "ul tight\n  item\n    p x\n"},
      {"-\t\tx", "ul tight\n  item\n    code   x\\n\n"}, {"- a\n \tb", "ul tight\n  item\n    p a\\nb\n"},
      {"-\vx", "p -\vx\n"}, {"-\fx", "ul tight\n  item\n    p x\n"}, {"a\n\xC2\xA0\nb", "p a\np b\n"},
      {"- a\n\xC2\xA0\n- b", "ul loose\n  item\n    p a\n  item\n    p b\n"},
      {"- a\n  - b\n- c", "ul tight\n  item\n    p a\n    ul tight\n      item\n        p b\n  item\n    p c\n"},
      {"> a\n>\n> b", "quote\n  p a\n  p b\n"}, {"> a\n\n> b", "quote\n  p a\nquote\n  p b\n"},
      {"a\n> b", "p a\nquote\n  p b\n"}, {"- a\n---", "ul tight\n  item\n    p a\nhr\n"},
      {"- a\n  ---", "ul tight\n  item\n    p a\n    hr\n"},
      {"- a\n\n---", "ul tight\n  item\n    p a\nhr\n"},
      {"- ```\n  a\n  ```\n  b", "ul tight\n  item\n    code a\\n\n    p b\n"},
      {">     a\n>\n>     b", "quote\n  code a\\n\\nb\\n\n"}, {"[^n]: a\n\nb", "footnote n\n  p a\np b\n"},
      {"> - a\n>\n> - b", "quote\n  ul loose\n    item\n      p a\n    item\n      p b\n"},
      // Only the item the blank line separates becomes loose.
      {"- - a\n\n  - b", "ul tight\n  item\n    ul loose\n      item\n        p a\n      item\n        p b\n"},
      {"- a\n  > b\n\n  c", "ul loose\n  item\n    p a\n    quote\n      p b\n    p c\n"},
      {"- {: .x}\n  y", "ul tight\n  item{.x}\n    p y\n"}, {"- {: bad", "ul tight\n  item\n    p {: bad\n"},
      {"- [x]", "ul tight\n  item\n    p [x]\n"}, {"- [x]\tdone", "ul tight\n  item\n    p [x]\tdone\n"},
      // An item whose first content is an html block keeps the indented text after the blank.
      {"- <div>\n\n  y\n", "ul tight\n  item\n    html <div>\\n\\ny\\n\n"},
  });
  expect_spans({{"a\n> b", "paragraph 0-1 d0\nblock_quote 1-2 d0\nparagraph 1-2 d1\n"},
                {"a\n- b", "paragraph 0-1 d0\nlist 1-2 d0\nparagraph 1-2 d1\n"}});
}

// A block whose tree outgrows the room the builder keeps between blocks (a list of twenty
// thousand items with a quote each) is followed by blocks parsed as if it had not been there.
TEST(Containers, BlocksAfterAHugeBlockParseAsAlone) {
  std::string huge;
  for (int i = 0; i < 20000; ++i) huge += "- item\n  > q\n";
  for (std::string_view tail : {"\n# h\n\npara\n- x\n\n  y\n", "\na | b\n--|--\n1 | 2\n",
                                "\n1. a\n2. b\n\nTerm\n: def\n", "\n+ a\n  b | c\n  --|--\n"})
    // Compared whole: a diff of two dumps this long would take the test's memory.
    EXPECT_TRUE(parse_dump(huge + std::string(tail)) == parse_dump(huge) + parse_dump(tail)) << tail;
}

TEST(Containers, AHugeListFinishedInBatchesStillRevertsTheListsInItsFirstItems) {
  std::string huge = "- a\n\n  3. x\n";
  for (int i = 0; i < 3000; ++i) huge += "- item\n";
  EXPECT_TRUE(parse_dump(huge).starts_with("ul loose\n  item\n    p a\n    p 3. x\n  item\n"));
}

TEST(Containers, DepthLimitLeavesMarkersAsText) {
  Options o = default_options();
  o.max_block_depth = 2;
  expect_drafts({{"> > > x", "quote\n  quote\n    p > x\n"}}, o);
  o.max_block_depth = 1;
  expect_drafts({{"> ::: a\n> x", "quote\n  p ::: a\\nx\n"},
                 {"> [^n]: x", "quote\n  p [^n]: x\n"},
                 {"- <div markdown=1>\n  x", "ul tight\n  item\n    html <div markdown=1>\\nx\\n\n"},
                 {"::: a\n- x\n:::", "div{.a}\n  p - x\n"}},
                o);
  o.max_block_depth = 0;
  expect_drafts({{"> x\n- y", "p > x\np - y\n"}}, o);
}

// Ordered lists that do not start at 1 or skip numbers turn back into text, their lines shown
// once from the list marker on, whichever way the item turns back. A top-level list that turns
// back into more than one draft leaves them in a splice where it stood (dumped "splice", its drafts
// below it), which the finish reads as those drafts in its place: the rules read the top-level run
// last, and the thousands of drafts after such a list in a long document are not moved up. Below
// the top level, where later rules still read the run, they are spliced into it.
TEST(ListReverting, RunsOfSiblingLists) {
  expect_drafts({
      {"1. a\n3. b", "p 1. a\np 3. b\n"},
      {"1. a\n2. b", "ol start=1 tight\n  item\n    p a\n  item\n    p b\n"},
      {"1. a\n1. b", "ol start=1 tight\n  item\n    p a\n  item\n    p b\n"},
      {"3. a\n\n4. b", "splice\n  p 3. a\n  p 4. b\n"},
      {"1. a\n\ntext\n\n1. b", "ol start=1 tight\n  item\n    p a\np text\nol start=1 tight\n  item\n    p b\n"},
      {"1. a\n\n# B\n\n2. b", "p 1. a\nh1 B\np 2. b\n"}, {"> 3. a\n> 4. b", "quote\n  p 3. a\\n4. b\n"},
      {"1. a\n\ntext\n\n2. b", "ol start=1 tight\n  item\n    p a\np text\nol start=2 tight\n  item\n    p b\n"},
      {"1. a\n2. b\n\ntext\n\n1. c", "ol start=1 tight\n  item\n    p a\n  item\n    p b\np text\np 1. c\n"},
      {"# A\n\n1. a\n\n## B\n\n2. b", "h1 A\nol start=1 tight\n  item\n    p a\nh2 B\nol start=2 tight\n  item\n    p b\n"},
      {"# A\n\n1. a\n\n# B\n\n2. b", "h1 A\np 1. a\nh1 B\np 2. b\n"},
      {"1. a\n\n- x\n\n2. b", "p 1. a\nul tight\n  item\n    p x\np 2. b\n"},
      {"- x\n  1. y", "ul tight\n  item\n    p x\\n1. y\n"}, {"1. [ ] task", "p 1. [ ] task\n"},
      {"1. # Title", "splice\n  p 1.\n  h1 Title\n"}, {"1. > q", "splice\n  p 1.\n  quote\n    p q\n"},
      {"1. - x", "splice\n  p 1.\n  ul tight\n    item\n      p x\n"},
      {"1. {: .c} # T", "splice\n  p 1. {: .c}\n  h1 T\n"},
      {"1.\n\n   text", "p 1.\np text\n"}, {"- x\n\n  1. y", "ul loose\n  item\n    p x\n    p 1. y\n"},
      {"1.\n   > q", "splice\n  p 1.\n  quote\n    p q\n"},
      {"2. - [x] a", "splice\n  p 2.\n  ul tight\n    item [x]\n      p a\n"},
      // Attribute lines given to a list that is reverted stay with its first paragraph.
      {"3. a\n{: .c}", "p{.c} 3. a\n"}, {"{: #i}\n1. a", "p{#i} 1. a\n"},
      {"{: #i}\n3. a\n   {: .x}", "p{#i .x} 3. a\n"},
      // The indentation before the marker is not shown, as for any paragraph line.
      {"   1. a", "p 1. a\n"}, {"  5) a", "p 5) a\n"}, {">  3. a", "quote\n  p 3. a\n"},
      {" 3. a\n  4. b", "p 3. a\\n4. b\n"}, {" 1. 1. a\n\n      b", "splice\n  p 1. 1. a\n  p b\n"},
      {" 1.\n    text", "p 1.\\ntext\n"}, {"  2. # h", "splice\n  p 2.\n  h1 h\n"},
      // Link definitions took the item's line: it comes back once, before the text after it.
      {"1. [a]: /u\n   b", "p 1. [a]: /u\\nb\n"}, {"1. 1. [a]: /u\n      b", "p 1. 1. [a]: /u\\nb\n"},
      {"1. 1. 1. x\n      y", "p 1. 1. 1. x\\ny\n"},
      // Reverted items nested on one line show the line up to the block the innermost one held.
      {"1. 2. - a", "splice\n  p 1. 2.\n  ul tight\n    item\n      p a\n"},
      {"1. 2. # h", "splice\n  p 1. 2.\n  h1 h\n"},
      {"1. 2. 3. > q", "splice\n  p 1. 2. 3.\n  quote\n    p q\n"},
      {"> 1. # T", "quote\n  p 1.\n  h1 T\n"}, {"- x\n\n  2. > q", "ul loose\n  item\n    p x\n    p 2.\n    quote\n      p q\n"},
      // A marker line that is its paragraph's last line is trimmed at the end, as any last line.
      {"1. 2. a \t", "p 1. 2. a\n"}, {"2. a a\u00a0\n3.", "p 2. a a\\n3.\n"},
      {"1. a\t\n[^a]:\na", "p 1. a\nfootnote a\np a\n"},
      // Lists below unordered ones, at any depth, are still looked at; a tight item's paragraphs
      // join once the list between them turns back.
      {"- > 3. a\n  > 4. b", "ul tight\n  item\n    quote\n      p 3. a\\n4. b\n"},
      {"- x\n  - y\n    3. z", "ul tight\n  item\n    p x\n    ul tight\n      item\n        p y\\n3. z\n"},
      {"- x\n\n  - y\n    3. z", "ul loose\n  item\n    p x\n    ul tight\n      item\n        p y\\n3. z\n"},
      {"* a\n* ::: d\n  2. b\n  :::", "ul tight\n  item\n    p a\n  item\n    div{.d}\n      p 2. b\n"},
  });
  expect_spans({{"3. a\n4. b", "paragraph 0-2 d0\n"}, {"{: #i}\n1. a\n{: .c}", "paragraph 0-3 d0\n"},
                {"3. a\n\n4. b", "paragraph 0-1 d0\nparagraph 2-3 d0\n"}});
}

TEST(LeafLines, AttributeAndSeparatorLines) {
  expect_drafts({
      {"{: .a}\n{: .b}\npara", "p{.a .b} para\n"}, {"# Title\n\n{: #top}\npara", "h1 Title\np{#top} para\n"},
      {"- a\n{: .c}", "ul{.c} tight\n  item\n    p a\n"}, {"- {: .c}text", "ul tight\n  item{.c}\n    p text\n"}, {"```\nx\n```\n{: .c}", "code{.c} x\\n\n"},
      {"{: #a}\n[x]: /u\npara", "p{#a} para\n"}, {"# T\n[x]: /u\n{: .c}", "h1{.c} T\n"},
      // Blocks without attributes leave the line pending for the next block.
      {"<div>\n</div>\n{: .c}\npara", "html <div>\\n</div>\\n\np{.c} para\n"},
      {"{: .c}\n<div>\nx\n</div>", "p {: .c}\nhtml <div>\\nx\\n</div>\\n\n"}, {"{: .c}", "p {: .c}\n"},
      {"p\n{: #a\\.b.c}", "p{#a.b .c} p\n"}, {"> p\n> {: .a}\n> {: #x .b}", "quote\n  p{#x .a .b} p\n"},
      // The first line left after the definitions is never an attribute line.
      {"> {: .a}", "quote\n  p {: .a}\n"}, {"> [x]: /u\n> {: .a}", "quote\n  p {: .a}\n"},
      {"> a  \n>    b  ", "quote\n  p a  \\nb\n"}, {"> [x]: /u\n> [y]: /v", "quote\n"}, {"^", ""},
      {"para\n^", "p para\\n^\n"},
      {"- a\n\n^\n\n- b", "ul tight\n  item\n    p a\nul tight\n  item\n    p b\n"},
      {"A\n\n^\n{: #a}\nB", "p A\np{#a} B\n"},
      {"A\n^\n{: #a}\nB", "p A\\n^\\n{: #a}\\nB\n"},  // directly after a paragraph line "^" is text
  });
  expect_spans({{"# T\n[x]: /u\n{: .c}", "heading 0-1 d0\nlink_ref 1-2 d0\n"},
                {"# T\n{: .c}\n\n{: #n}\np", "heading 0-2 d0\nparagraph 3-5 d0\n"},
                {"{: .c}\n\npara", "paragraph 0-1 d0\nparagraph 2-3 d0\n"},
                {"Term\n: one\n\nTerm2\n: two", "definition_list 0-5 d0\n"}});
}

TEST(LeafLines, HeadingsFencesCodeMathDivsAndTerms) {
  expect_drafts({
      {"___", "p ___\n"}, {"#\tx", "h1 x\n"}, {"#\fx", "h1 x\n"}, {"#\vx", "p #\vx\n"},
      {"## Title ## {#t}", "h2{#t} Title\n"}, {"### ###", "h3 \n"}, {"# foo#  #", "h1 foo#\n"},
      {"````\na\n```\n`````\n    ````\n````", "code a\\n```\\n`````\\n    ````\\n\n"},
      {"```js\nx\n```", "code lang=js x\\n\n"}, {"  ```\n  a\n b\nc\n```", "code a\\nb\\nc\\n\n"},
      {"~~~\n```\n~~~", "code ```\\n\n"}, {"```\n\tx\n```", "code     x\\n\n"},
      {"```\n  \tx\n   y\n```", "code     x\\n   y\\n\n"},  // spaces before a tab still expand it
      {"```\na\n```  ", "code a\\n\n"}, {"```\na\n``` x\n```", "code a\\n``` x\\n\n"},
      {"```{=html}\n<b>\n```", "raw=html <b>\\n\n"}, {"```{dot}\na\n```", "script=dot a\\n\n"},
      {"```#a{x\ncode\n```", "code lang=#a{x code\\n\n"},  // an unclosed brace is part of the word
      {"```{do t}\na\n```", "code lang={do a\\n\n"}, {"    a\n\n    more", "code a\\n\\nmore\\n\n"},
      {"    a\n      \n    b", "code a\\n  \\nb\\n\n"}, {"    a\n\ntext", "code a\\n\np text\n"},
      {"para\n    more", "p para\\nmore\n"}, {"para\n\n    code", "p para\ncode code\\n\n"},
      {"::: note :::\nx\n:::", "div{.note}\n  p x\n"}, {"::: :note: more\nx\n:::", "div{.note}\n  p x\n"},
      {"::: note {#x .y}\nx\n:::", "div{#x .note .y}\n  p x\n"}, {"::: ::::", "p ::: ::::\n"},
      {"[^n]:\n    text", "footnote n\n  p text\n"}, {"[^n]: a\n\n    b", "footnote n\n  p a\n  p b\n"},
      {"[^a\xC2\xA0" "b]: x", "p [^a\xC2\xA0" "b]: x\n"},
      {"[^ a]: x", "p [^ a]: x\n"},  // white space from the label's first byte on
      {"Term\n:    def", "dl\n  dt Term\n  dd  def\n"},
      {"Term\n: def\n: more", "dl\n  dt Term\n  dd def\n  dd more\n"},
      {"a\nb\n: d", "dl\n  dt a\n  dt b\n  dd d\n"},
      {"Term\n: one\n\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n\n\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt Term2\n  dd two\n"},
      {"Term\n: one\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n{: .x}\n\nTerm2\n: two", "dl{.x}\n  dt Term\n  dd one\ndl\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n\n^\n\nTerm2\n: two", "dl\n  dt Term\n  dd one\ndl\n  dt Term2\n  dd two\n"},
      {"Term\n: one\n^\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt ^\n  dt Term2\n  dd two\n"},
  });
  Options o = default_options();
  o.math = MathMode::On;
  expect_drafts({{"$$\nx\n$$", "p $$\\nx\\n$$\n"}, {"\\[\nx\n\\]", "p \\[\\nx\\n\\]\n"}}, o);
  o.math = MathMode::Dollars;
  expect_drafts({{"$$\n  x\n $$ ", "math   x\n"}, {"$$\nx\n\\]\n$$", "math x\\n\\]\n"}}, o);
}

TEST(RawHtml, BlocksCommentsAndMarkdownContainers) {
  expect_drafts({
      {"<div>\n\nafter", "html <div>\\n\\nafter\\n\n"}, {"<span>\nx", "p <span>\\nx\n"},
      // A heading tag holds md (it is no balanced container); a section stays raw.
      {"<h2>\n\n*a*\n\n</h2>", "html <h2>\\n\np *a*\nhtml </h2>\\n\n"},
      {"<h1>a\n\nb</h1>", "html <h1>a\\n\np b</h1>\n"},
      // Unknown tags and markup-like "<" are escaped, a lone "<" is not.
      {"<table>\n<foo> a < b\n</table>", "html <table>\\n&lt;foo> a < b\\n</table>\\n\n"},
      {"<div>\n<?php ?> <!x> </ z>\n</div>", "html <div>\\n&lt;?php ?> &lt;!x> &lt;/ z>\\n</div>\\n\n"},
      {"<!-- a -->\nb", "html <!-- a -->\\n\np b\n"}, {"</div>\nx", "html </div>\\nx\\n\n"},
      {"<hr>\nx", "html <hr>\\nx\\n\n"}, {"<div/>\nx", "html <div/>\\nx\\n\n"},
      {"<div>\n<!-- </div> -->\n</div>\nx", "html <div>\\n<!-- </div> -->\\n</div>\\n\np x\n"},
      {"<div>\n<div/>\n</div>\nx", "html <div>\\n<div/>\\n</div>\\n\np x\n"},
      {"<!-- note", "html <!-- note\\n-->\\n\n"}, {"<p>\n<!-- a", "html <p>\\n<!-- a\\n-->\\n\n"},
      // Comments end where an HTML5 tokenizer ends them; what follows is raw HTML again.
      {"<!---><script>x</script>\nb", "html <!--->&lt;script>x&lt;/script>\\n\np b\n"},
      {"<!-- a\nb --!>\nc", "html <!-- a\\nb --!>\\n\np c\n"},
      {"<div>\n<!--></div>\nx", "html <div>\\n<!--></div>\\n\np x\n"},
      {"<!--!>\nb", "html <!--!>\\nb\\n-->\\n\n"},
      // The first change may follow the first tag at once, and an unclosed comment may follow one.
      {"<div><x>\n\ny", "html <div>&lt;x>\\n\\ny\\n\n"}, {"<div>\n<x> <!-- a", "html <div>\\n&lt;x> <!-- a\\n-->\\n\n"},
      {"<div markdown=1 class=x>\n*a*\n</div>", "splice\n  html <div class=x>\\n\n  p *a*\n  html </div>\\n\n"},
      {"<div markdown=1>\na\n  </div>  ", "splice\n  html <div>\\n\n  p a\n  html </div>\\n\n"},
      {"<div markdown=1>\nx", "splice\n  html <div>\\n\n  p x\n"},  // never closed: no closing block
      {"<div markdown=1/>\nx", "html <div markdown=1/>\\nx\\n\n"},
      // "_" is a name character: a complete open tag on its own line opens a raw block.
      {"<my-box data_x=\"1\">\n*x*\n\n*y*\n</my-box>", "html <my-box data_x=\"1\">\\n*x*\\n\\n*y*\\n</my-box>\\n\n"},
  });
}

TEST(Tables, CellsAlignsAndEnds) {
  expect_drafts({
      {"a | b\n:-x-: | --", "p a | b\\n:-x-: | --\n"}, {"a | b\n:-- | --:", "table\n  head |a |b\n"}, {"a|b\n-|-\n# h", "table\n  head |a |b\nh1 h\n"},
      {"a|b\n-|-\n# x | y", "table\n  head |a |b\n  row |# x |y\n"},
      {"a|b\n-|-\n> x | y", "table\n  head |a |b\nquote\n  p x | y\n"},
      {"a|b\n-|-\n:x", "table\n  head |a |b\n  row |:x |\n"},
      {"a|b\n-|-\n\nc|d", "table\n  head |a |b\np c|d\n"},
      // Cells lose tabs and every other white space around them; a header of another width
      // than the delimiter row is a paragraph.
      {"|\ta \t|\xC2\xA0 b\xE2\x80\x83|\n|-|-|\n| \t|\xC2\xA0x|", "table\n  head |a |b\n  row | |x\n"},
      {"|a|b|c|\n|-|-|", "p |a|b|c|\\n|-|-|\n"},
      // "\|" is a pipe inside a cell, any other backslash stays.
      {"| a \\| b |c\\d|\\\\|x\xC2\xA0|\n-|-|-|-\n\\a|\\",
       "table\n  head |a | b |c\\d |\\\\ |x\n  row |\\a |\\ | |\n"},
  });
  auto p = parse_source("a | b | c | d\n--- | :---: | :-- | --:", default_options(), 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  const auto& table = std::get<Boxed<draft::Table>>(p.drafts[0].block).value();
  EXPECT_EQ(std::vector<Align>(table.aligns.begin(), table.aligns.end()), (std::vector<Align>{Align::None, Align::Center, Align::Left, Align::Right}));
  ASSERT_EQ(table.head.size(), 1u);
  EXPECT_EQ(table.head[0].cells[1].align, Align::Center);
  expect_spans({{"p\na|b\n-|-\nc|d", "paragraph 0-1 d0\ntable 1-4 d0\n"}});
}

TEST(Tables, RowsBeginningWithAPipe) {
  // Such a row goes straight to the open table, in whatever container holds it, however far it
  // is indented; where the containers do not go on, it is text of its own.
  expect_drafts({
      {"|a|b|\n|-|-|\n|1|2|\n    |3|4|", "table\n  head |a |b\n  row |1 |2\n  row |3 |4\n"},
      {"a|b\n-|-\n|1|2", "table\n  head |a |b\n  row | |1\n"},  // no leading pipe in the header
      {"> |a|b|\n> |-|-|\n> |1|2|\n|3|4|", "quote\n  table\n    head |a |b\n    row |1 |2\np |3|4|\n"},
      {"- |a|b|\n  |-|-|\n  |1|2|\n|3|4|\n- |x|", "ul tight\n  item\n    table\n      head |a |b\n      row |1 |2\np |3|4|\nul tight\n  item\n    p |x|\n"},
      {"::: d\n|a|b|\n|-|-|\n|1|2|\n:::\n|3|", "div{.d}\n  table\n    head |a |b\n    row |1 |2\np |3|\n"},
      {"|a|b|\n|-|-|\n|1|2|\n\n|3|4|", "table\n  head |a |b\n  row |1 |2\np |3|4|\n"},
  });
}

TEST(Templates, WholeLineTokens) {
  Options o = default_options();
  o.templates.push_back(test::jinja_delimiter());
  expect_drafts({
      {"{{name}}", "token {{name}}\n"},
      // A token line ends its paragraph, so the attribute line after it is a paragraph of its own.
      {"{{name}}\n{: .c}", "token {{name}}\np {: .c}\n"},
      {"{: .c}\n{{name}}", "p {: .c}\ntoken {{name}}\n"},  // a token takes no attributes
      {"text\n{{name}}", "p text\ntoken {{name}}\n"}, {"{{name}}\ntext", "token {{name}}\np text\n"},
      {"a|b\n-|-\n{{#rows}}\n1|2\n{{/rows}}\n{{x}}", "table\n  head |a |b\n  row |1 |2\n  row |{{x}} |\n"},
  }, o);
  auto p = parse_source("a|b\n-|-\n{{#rows}}\n1|2\n{{/rows}}", o, 0);
  auto& table = std::get<Boxed<draft::Table>>(p.drafts.at(0).block).value();
  ASSERT_EQ(table.tokens.size(), 2u);
  EXPECT_EQ(table.tokens[0].first, 0u);
  EXPECT_EQ(table.tokens[1].first, 1u);
  EXPECT_EQ(table.tokens[1].second.kind, TemplateTokenKind::Close);
  auto spans = parse_source("{{name}}", o, 2);
  ASSERT_EQ(spans.trace.spans.size(), 1u);
  EXPECT_EQ(spans.trace.spans[0].kind, "template_token");
  EXPECT_EQ(spans.trace.spans[0].facts().name, "name");
}

TEST(LinkDefinitions, RegisteredAndRemoved) {
  auto parsed = parse_source("[a]: /x\n[a]: /y\n\npara\n[b]: /z", default_options(), 0);
  EXPECT_EQ(testing::dump(parsed.drafts), "p para\\n[b]: /z\n");
  ASSERT_EQ(parsed.link_defs.size(), 1u);
  EXPECT_EQ(parsed.link_defs.at("a").destination, "/x");
  auto inside = parse_source("> [q]: /q\n> text", default_options(), 0);
  EXPECT_EQ(testing::dump(inside.drafts), "quote\n  p text\n");
  EXPECT_EQ(inside.link_defs.count("q"), 1u);
  auto spread = parse_source("[foo\nbar]: /u\n\n[x\n\ny]: /v", default_options(), 0);
  EXPECT_EQ(spread.link_defs.count("foo bar"), 1u);
  EXPECT_EQ(spread.link_defs.size(), 1u);
  EXPECT_EQ(testing::dump(spread.drafts), "p [x\np y]: /v\n");
}

}  // namespace
}  // namespace vedavi::block
