// The md entry as a whole: source in, finished document (meta, blocks, footnotes, diagnostics) out.
#include <gtest/gtest.h>

#include <string>

#include "block/parse.h"
#include "model/document.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

TEST(Parse, Documents) {
  struct Case {
    std::string source;
    std::string expected;
    bool figures = false;
    bool autolinks = true;
  };
  std::string longest = test::repeat("\xF0\x9F\x98\x80", 999);  // the longest label, 4-byte characters
  const Case cases[] = {
      {"", ""},
      {"# Title\n\nSome *text*[^n].\n\n[^n]: The note.\n",
       "heading level=1\n  text \"Title\"\nparagraph\n  text \"Some \"\n  emph\n    text \"text\"\n"
       "  footnote_ref \"n\"\n  text \".\"\nfootnote n\n  paragraph\n    text \"The note.\"\n"},
      {"![cap](a.png)\n", "paragraph\n  image \"a.png\"\n    text \"cap\"\n"},
      {"a www.b.c://d", "paragraph\n  text \"a www.b.c://d\"\n", false, false},
      {"![cap](a.png)\n", "figure\n  caption\n    text \"cap\"\n  image \"a.png\"\n    text \"cap\"\n", true},
      // Only a leading, closed block gives meta pairs.
      {"---\na: 1\nb: x\n---\ntext\n", "meta a: 1\nmeta b: x\nparagraph\n  text \"text\"\n"},
      {"text\n---\na: 1\n---\n", "paragraph\n  text \"text\"\nthematic_break\nparagraph\n  text \"a: 1\"\nthematic_break\n"},
      {"---\na: 1\n", "thematic_break\nparagraph\n  text \"a: 1\"\n"},
      // Unclosed blocks point at the line of their opener, column 1.
      {"```\ncode", "code_block info=\"\" \"code\\n\"\ndiagnostic unclosed 1:1 unclosed fenced code block (expected '```')\n"},
      {"text\n\n~~~\ncode\n",
       "paragraph\n  text \"text\"\ncode_block info=\"\" \"code\\n\"\n"
       "diagnostic unclosed 3:1 unclosed fenced code block (expected '~~~')\n"},
      {"\\[\nx", "math_block \"x\" display\ndiagnostic unclosed 1:1 unclosed math block (expected '\\]')\n"},
      {"::: a\n::: b\nx\n",
       "div {.a}\n  div {.b}\n    paragraph\n      text \"x\"\ndiagnostic unclosed 1:1 unclosed fenced div (expected ':::')\n"
       "diagnostic unclosed 2:1 unclosed fenced div (expected ':::')\n"},
      {"- item\n\n  ```\n  code\n",
       "list bullet loose\n  item\n    paragraph\n      text \"item\"\n    code_block info=\"\" \"code\\n\"\n"
       "diagnostic unclosed 3:1 unclosed fenced code block (expected '```')\n"},
      // Labels that normalise alike name one definition: the first in source order.
      {"[Foo  Bar]: /first\n[foo bar]: /second\n\n[FOO\tBAR]\n", "paragraph\n  link \"/first\"\n    text \"FOO\\tBAR\"\n"},
      {"[a]: /one\n\n[A]\n\n[a]: /two\n", "paragraph\n  link \"/one\"\n    text \"A\"\n"},
      {"[Foo\nBar]: /split\n[foo bar]: /second\n\n[foo bar]\n", "paragraph\n  link \"/split\"\n    text \"foo bar\"\n"},
      {"[\u0130]: /dot\n\n[i\u0307]\n", "paragraph\n  link \"/dot\"\n    text \"i\u0307\"\n"},
      {"[" + longest + "]: /longest\n\n[" + longest + "]\n", "paragraph\n  link \"/longest\"\n    text \"" + longest + "\"\n"},
  };
  for (const Case& c : cases) {
    Options options = test::default_options();
    options.frontmatter = true;
    options.implicit_figures = c.figures;
    options.bare_autolinks = c.autolinks;
    const Document doc = parse(c.source, options);
    EXPECT_EQ(debug_string(doc), c.expected) << c.source;
    for (const Diagnostic& d : doc.diagnostics) {
      EXPECT_EQ(d.end, d.start) << c.source;
      EXPECT_EQ(d.aux, std::nullopt) << c.source;
      EXPECT_EQ(d.flags, 0) << c.source;
    }
  }
}

}  // namespace
}  // namespace vedavi
