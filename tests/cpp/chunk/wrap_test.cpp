// The re-wrapper: cases of the paragraph fill, and properties of random documents: wrapping is
// idempotent, keeps every other block byte for byte, keeps what paragraphs render to and keeps
// CRLF line ends.
#include <gtest/gtest.h>

#include <random>

#include "block/parse.h"
#include "chunk/options.h"
#include "chunk/wrap.h"
#include "chunk/wrap_check.h"
#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::chunk {
namespace {

constexpr std::optional<std::uint64_t> kNone;

TEST(WrapMd, Cases) {
  struct Case {
    std::string_view md;
    std::optional<std::uint64_t> width;
    std::string_view expected;
  } cases[] = {
      {"", kNone, ""}, {"a\n", kNone, "a\n"}, {"a b", 1, "a\nb"},
      {"one\ntwo  \nthree\n", kNone, "one two three\n"}, {"one\\\ntwo\n", kNone, "one\\\ntwo\n"},
      {"aaaa bbbb cccc", 10, "aaaa bbbb\ncccc"}, {"aaaa bbbbb", 10, "aaaa bbbbb"},
      {"- aaaa bbbb cccc", 10, "- aaaa\n  bbbb\n  cccc"},
      {"> aaaa bbbb cccc", 10, "> aaaa\n> bbbb\n> cccc"}, {"aaaa # x", 5, "aaaa #\nx"},
      {"aaaa > x", 5, "aaaa >\nx"}, {"aaaa - item", 5, "aaaa -\nitem"},
      {"aaaa 1. item", 5, "aaaa 1.\nitem"}, {"aaaa 2. it", 6, "aaaa\n2. it"},
      {"aaaa : definition", 5, "aaaa :\ndefinition"}, {"aaaa {: .class}", 5, "aaaa {:\n.class}"},
      {"aaaa ---", 5, "aaaa ---"}, {"--- a b", 3, "--- a\nb"}, {"a $$ b", 1, "a\n$$ b"},
      {"a |-|-| b", 1, "a\n|-|-| b"}, {"-\n2.\n", kNone, "-\n2.\n"},
      {"-      ---\n\t a\nb\n", kNone, "-      ---\n\t a\nb\n"},
      {"1. x : d\n  [^n]: note\n", kNone, "1. x : d\n  [^n]: note\n"},
      {"2.\n  \t :\n  ***\n", kNone, "2.\n  \t :\n  ***\n"}, {"a\n``` `c` d\n", 1, "a\n``` `c` d\n"},
      {"  ---\n", kNone, "  ---\n"}, {"a\\\n---  ", 1, "a\\\n---  "}, {"a \\ b", 1, "a\n\\ b"},
      {"[x]: /u a", 1, "[x]: /u a"}, {"a \\  \nb", kNone, "a \\ b"}, {"{:x} b c", 3, "{:x} b\nc"},
      {"x `a b c` y", 3, "x\n`a b c`\ny"}, {"x `a\nb` y", kNone, "x `a b` y"},
      {"x \\(a b\\) y", 3, "x\n\\(a b\\)\ny"},
      {"x <https://e.org/a> y", 3, "x\n<https://e.org/a>\ny"},
      {"x [a b](/u \"t t\") y", 3, "x\n[a b](/u \"t t\")\ny"},
      {"# a b c d e f\n", 3, "# a b c d e f\n"}, {"```\na b c d\n```\n", 3, "```\na b c d\n```\n"},
      {"| a b | c |\n|---|---|\n", 3, "| a b | c |\n|---|---|\n"},
      {"<span class=x>a b\nc</span>\n", 3, "<span class=x>a b\nc</span>\n"},
      {"<div>\na b c\n</div>\n", 3, "<div>\na b c\n</div>\n"},
      {"[x]: /u\na b\nc\n{: .k}\n", kNone, "[x]: /u\na b c\n{: .k}\n"},
      {"a\r\nb\nc\rd\r\n", kNone, "a b c d\r\n"}, {"a\rb\n\nc", kNone, "a b\n\nc"},
      {"::: {.callout-note}\n## Note\na\nb\n:::\n", kNone, "::: {.callout-note}\n## Note\na b\n:::\n"},
      {"<div markdown=1>\na\nb\n</div>\n", kNone, "<div markdown=1>\na b\n</div>\n"},
      {"[^n]: a\n    b c\n", 8, "[^n]: a\n    b c\n"},
      {"---\nk: v\n---\nx\ny\n", kNone, "---\nk: v\n---\nx y\n"}, {"a\tb\t\n  c  ", kNone, "a b c"},
      {"\ta b", 4, "\ta b"}, {"- a b\n\n  c d e\n", 3, "- a\n  b\n\n  c\n  d\n  e\n"},
      {"a \xC2\xA0 b", kNone, "a \xC2\xA0 b"}, {"a \xC2\xA0 b", 1, "a \xC2\xA0\nb"},
      {"a\\\n\xC2\xA0", kNone, "a\\\n\xC2\xA0"},
      // The parser's content offset may fall inside the first line's white space (at a tab).
      {">  \ta\n> b", kNone, ">  \ta b"}, {"- a\n\n  >  \tb\n  > c", 4, "- a\n\n  >  \tb\n  > c"},
  };
  for (const auto& c : cases) EXPECT_EQ(wrap_md(c.md, c.width), c.expected) << c.md;
}

// A refill that would change what the text says leaves its paragraph as it was: white space that
// is syntax, lines whose joining makes a construct, a separator line, an item's start.
TEST(WrapMd, KeepsWhatTheTextSays) {
  struct Case {
    std::string_view md;
    std::optional<std::uint64_t> width;
    std::string_view expected;
  } cases[] = {
      // Runs of white space that are syntax: not a task box, an escaped space then a space (no
      // superscript or subscript), a code span's leading space and line feed.
      {"- [  ] not a todo\n", kNone, "- [  ] not a todo\n"},
      {"- [ ]\t[  ] \n", kNone, "- [ ]\t[  ] \n"}, {"- [ ]\n  x\n", kNone, "- [ ]\n  x\n"},
      {"x ^a\\  b^ y\n", kNone, "x ^a\\  b^ y\n"}, {"~a\\  b~\n", kNone, "~a\\  b~\n"},
      {"` \na\t`\n", kNone, "`  a `\n"}, {"`a  \nb` c\n", kNone, "`a   b` c\n"}, {"- [ ] a\n  b\n", kNone, "- [ ] a b\n"},
      // Joined lines that make a link or an item's attribute block.
      {"[foo](<\nbar>)\n", kNone, "[foo](<\nbar>)\n"}, {"[x]: /u\n\"t\" a\n", 1, "[x]: /u\n\"t\" a\n"}, {"- {:\n  .c} x\n", kNone, "- {:\n  .c} x\n"},
      {"- {: .c} a\n  b\n", kNone, "- {: .c} a b\n"},
      // A "^" left alone on the first line would separate blocks.
      {"^ https://example.com/a/very/long/path/that/does/not/fit/in/forty/columns\n", 40,
       "^ https://example.com/a/very/long/path/that/does/not/fit/in/forty/columns\n"},
      {"^ bbbb\n", 1, "^ bbbb\n"}, {"a ^ b", 1, "a\n^ b"},
      // A footnote's label stays with the first word after it.
      {"x[^1]\n\n[^1]: --- | a\n", 8, "x[^1]\n\n[^1]: --- |\n    a\n"},
      {"x[^1]\n\n[^1]: aaa | a\n", 8, "x[^1]\n\n[^1]: aaa\n    | a\n"},
      {"[^a b]:\nc d\n", 1, "[^a\nb]:\nc\nd\n"},
      // Only a footnote definition's label is one: joined lines that start like one are text.
      {"[^ `^\nCCCCCf]: C` &#4; &#]x\n", 20, "[^ `^ CCCCCf]: C`\n&#4; &#]x\n"},
      // A label-like start that is text: its backtick pairs with the ones after it.
      {"[^a`b]: c`\n`  `\n", kNone, "[^a`b]: c`\n`  `\n"},
      // White space the parser drops where a line starts would show once joined to the line before.
      {"a\n\x0b" "b\n", kNone, "a\n\x0b" "b\n"}, {"x ^[a\n\x0b" "b] y\n", kNone, "x ^[a\n\x0b" "b] y\n"}, {"\xC2\xA0 |---| [  ] ", 1, "\xC2\xA0 |---|\n[\n]"}, {"a\n\xC2\xA0" "b\n", kNone, "a\n\xC2\xA0" "b\n"},
      // The content offset before a marker a tab split: the markers stay where they are.
      {"  >\t-  >  \t\x01- `\t", 4, "  >\t-  >  \t\x01- `\t"},
      {"# T\n>  \n> q\n> > q\n>\t>\t\t2\t \t > v\n", 122, "# T\n>  \n> q\n> > q\n>\t>\t\t2\t \t > v\n"},
      // The items of a tight list turned back into text make one paragraph: a backtick of one
      // item closes a code span opened in the item before, which keeps that item's tab.
      {"3. a `b\t\n4. c`\n", kNone, "3. a `b\t\n4. c`\n"}, {"3. a\t b `c`\n4. d\n", kNone, "3. a b `c`\n4. d\n"},
      // ... and a line ending in a backslash becomes a hard break there.
      {"1. \\\t\n   1. {:}\n", kNone, "1. \\\t\n   1. {:}\n"},
      // An item turned back into text shows white space at the end of its only line: before the
      // next item's text, or before the next paragraph of a tight item.
      {"2. a\n   a\xC2\xA0\n3.\n", kNone, "2. a\n   a\xC2\xA0\n3.\n"},
      {"- 1. a\t\n  [^a]:\n  a\n", kNone, "- 1. a\t\n  [^a]:\n  a\n"},
      // A marker followed by white space the parser reads past (a vertical tab) and text.
      {"aaaa 1. \x0b a\n   1. a\n", 6, "aaaa 1. \x0b\na\n   1. a\n"},
      // An item's attribute block "{:}" before "} a" would become the whole line "{:}}".
      {"- {:}} a\n", 1, "- {:}} a\n"},
      // A footnote label needs no white space after it: "[l]:a" would become a link definition.
      {"[l]\n>[^a]:[l]:a a\n", 1, "[l]\n>[^a]:[l]:a a\n"}, {"[^a]:b c\n", 1, "[^a]:b\n    c\n"},
      // An attribute line below a line of "^" alone is the next block's.
      {"- a\n  ^\n{:.a}\na\n", kNone, "- a\n  ^\n{:.a}\na\n"},
      // An inline note's text ends before a link back: white space at its end shows.
      {"x ^[a\n\x0b]\n", kNone, "x ^[a\n\x0b]\n"},
  };
  for (const auto& c : cases) {
    const std::string once = wrap_md(c.md, c.width);
    EXPECT_EQ(once, c.expected) << c.md;
    EXPECT_EQ(wrap_md(once, c.width), once) << c.md;
  }
}

// What a refill may change in the rendering: white space between words and at an element's end,
// never inside a code span.
TEST(AlikeRendering, SoftBreaksAsideCodeExact) {
  struct Case {
    std::string_view a, b;
    bool alike;
  } cases[] = {
      {"<p>a\nb</p>\n", "<p>a  b</p>", true}, {"<p>a b\t</p>", "<p>a b</p>", true},
      {"<p>a b\xE2\x80\xA8</p>", "<p>a b</p>", true}, {"<p>a<em>b</em></p>", "<p>a <em>b</em></p>", false},
      {"<p>a\xC2\xA0" "b</p>", "<p>a b</p>", false}, {"<p><code> a</code></p>", "<p><code>a</code></p>", false},
      {"<p><code>a  b</code></p>", "<p><code>a b</code></p>", false},
      // A raw "<code>" tag counts up to the end of its line only.
      {"<p><code>a\nb  c</p>", "<p><code>a\nb c</p>", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(alike_rendering(c.a) == alike_rendering(c.b), c.alike) << c.a << " | " << c.b;
}

// Where a refill is known to say the same without rendering it: every byte that may read white
// space sits in a code span, an inline link or an autolink holding spaces alone, which a refill
// keeps whole and as it was, or is a backslash before a byte that is no break space.
TEST(ReadsWhiteSpaceOnlyInWholeConstructs, CodeSpansHoldingSpacesAlone) {
  constexpr auto kCode = InlineEventKind::Code;
  constexpr auto kLink = InlineEventKind::Link;
  struct Case {
    std::string_view text;
    std::vector<InlineEvent> events;
    bool expected;
  } cases[] = {
      {"a *b*\nc", {}, true},
      {"x `a  [b` y", {{kCode, false, 0, 2, 9}}, true},
      {"`a` <b> `c`", {{kCode, false, 0, 0, 3}, {kCode, false, 0, 8, 11}}, false},
      {"`a` b `", {{kCode, false, 0, 0, 3}}, false},
      {"x `a\tb` y", {{kCode, false, 0, 2, 7}}, false},
      {"x `a\nb` y", {{kCode, false, 0, 2, 7}}, false},
      // A link holding a code span, an autolink; a reference link is not whole.
      {"[`a`](u) b", {{kLink, false, 5, 0, 8}, {kCode, false, 0, 1, 4}}, true},
      {"[a](u \"t\tt\")", {{kLink, false, 3, 0, 12}}, false},
      {"x <http://e.org> y", {{InlineEventKind::Autolink, false, 0, 2, 16}}, true},
      {"[a] b", {{InlineEventKind::RefLink, false, 3, 0, 3}}, false},
      // A backslash before a byte other than a break space: an escape, math not closed.
      {"\\[a \\` \\\\ \\(b", {}, true}, {"a\\ b", {}, false}, {"a \\", {}, false},
      {"\\`a`", {{kCode, false, 0, 1, 4}}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(reads_white_space_only_in_whole_constructs(c.text, c.events), c.expected) << c.text;
}

// The refills that skip the rendering check are the ones it accepts.
TEST(WrapMd, CodeSpansStayWhole) {
  struct Case {
    std::string_view md;
    std::optional<std::uint64_t> width;
    std::string_view expected;
  } cases[] = {
      {"x `a  b` *c* d e\n", 5, "x\n`a  b`\n*c* d\ne\n"}, {"`a\nb` c\nd\n", kNone, "`a b` c d\n"},
      {"`` a ` b ``\nc `\n", kNone, "`` a ` b `` c `\n"}, {"x `\\` [y\nz\n", kNone, "x `\\` [y z\n"},
      {"x [a `b`](u \"t t\") <http://e.org>\ny\n", 3, "x\n[a `b`](u \"t t\")\n<http://e.org>\ny\n"},
      {"\\[`a`](u) \\(x\ny\n", 3, "\\[`a`](u)\n\\(x\ny\n"},
      {"x `a\tb` y\nz\n", kNone, "x `a b` y z\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(wrap_md(c.md, c.width), c.expected) << c.md;
}

TEST(WrapMd, LongParagraphStaysLinear) {
  const std::string md = test::repeat("word `code span` [link](/u) more\n", (2u << 20) / 33 + 1);
  const std::string wrapped = wrap_md(md, 80);
  EXPECT_EQ(wrapped.size(), md.size());  // every line end became a line end or a space
  EXPECT_EQ(wrap_md(wrapped, 80), wrapped);
}

// Spans of every block but paragraphs and the containers around them: kind and source lines.
std::vector<std::string> kept_blocks(std::string_view source) {
  std::string md(source);
  for (std::size_t at = md.find('\r'); at != std::string::npos; at = md.find('\r', at))
    md.replace(at, at + 1 < md.size() && md[at + 1] == '\n' ? 2 : 1, "\n");
  std::vector<std::string_view> lines;
  for (std::size_t b = 0; b <= md.size();) {
    const std::size_t e = std::min(md.find('\n', b), md.size());
    lines.push_back(std::string_view(md).substr(b, e - b));
    b = e + 1;
  }
  static const std::string_view kChanging[] = {"paragraph", "block_quote", "list", "div", "panel",
                                               "html_container", "footnote_def", "figure", "panel_title"};
  std::vector<std::string> out;
  for (const auto& s : block::parse_source(md, parse_options(), 1).trace.spans) {
    if (std::find(std::begin(kChanging), std::end(kChanging), s.kind) != std::end(kChanging)) continue;
    std::string text(s.kind);
    for (std::size_t l = s.start; l < s.end && l < lines.size(); ++l) (text += '|') += lines[l];
    out.push_back(std::move(text));
  }
  return out;
}

// The rendered document with every run of white space made one space, and none next to a tag
// (the parser keeps a paragraph's trailing tab, which wrapping trims).
std::string rendered(std::string_view md) {
  std::string out;
  for (char c : render_document(parse(md, parse_options()))) {
    const bool space = c == ' ' || c == '\n' || c == '\t';
    if (space && (out.empty() || out.back() == ' ' || out.back() == '>')) continue;
    if (c == '<' && !out.empty() && out.back() == ' ') out.pop_back();
    out += space ? ' ' : c;
  }
  return out;
}

TEST(WrapMd, RandomDocumentsKeepWhatTheyAre) {
  const std::string_view pieces[] = {
      "word", "two words", "a", "`code span`", "`a b`", "[link](/u)", "[ref]", "*em*", "**st**",
      "<https://e.org>", "\\(x y\\)", "#", "# h", ">", "-", "- item", "1.", "1. x", "2.", ":",
      ": d", "{: .c}", "{.c}", "---", "```", "| a | b |", "|---|---|", "<span a=b>", "<div>",
      "[x]: /u", "a\xC2\xA0" "z", "\\", "\t", "  ", "    ", "$x$", "[^n]", "[^n]: note", "***", "===",
      // Lists the parser turns back into text, and what their paragraphs may show.
      "`", "3.", "\x0b", "{:}", "^", "[^a]:",
  };
  const std::string_view joins[] = {" ", " ", " ", "\n", "\n", "\n\n", "\r\n", "\n> ", "\n  ",
                                    "\n3. ", "\n   1. ", "\t\n"};
  std::mt19937 rng(2024);
  for (int round = 0; round < 4000; ++round) {
    std::string md;
    for (std::size_t i = 0, n = rng() % 24; i < n; ++i) {
      md += pieces[rng() % std::size(pieces)];
      md += joins[rng() % std::size(joins)];
    }
    const std::optional<std::uint64_t> width =
        rng() % 4 ? std::optional<std::uint64_t>(1 + rng() % 20) : std::nullopt;
    const std::string once = wrap_md(md, width);
    ASSERT_EQ(wrap_md(once, width), once) << md;
    for (std::size_t at = once.find('\n'); at != std::string::npos && md.find("\r\n") != std::string::npos;
         at = once.find('\n', at + 1))
      ASSERT_TRUE(at > 0 && once[at - 1] == '\r') << md;
    ASSERT_EQ(kept_blocks(once), kept_blocks(md)) << md;
    ASSERT_EQ(rendered(once), rendered(md)) << md << "\n-- width " << width.value_or(0) << ":\n" << once;
    ASSERT_EQ(alike_rendering(render_document(parse(once, parse_options()))),
              alike_rendering(render_document(parse(md, parse_options()))))
        << md << "\n-- width " << width.value_or(0) << ":\n" << once;
  }
}

}  // namespace
}  // namespace vedavi::chunk
