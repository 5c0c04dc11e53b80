// Benchmark of the md block parser over a construct-dense document, a mostly-prose document and
// the adversarial block inputs, in span modes 0, 1 and 3. Not part of the build; from the
// repository root, after a release build of the core in build/dev:
//   c++ -O2 -std=c++20 -Isrc -I. bench/block_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/block_bench && /tmp/block_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "bench/bench_util.h"
#include "block/parse.h"

namespace {

using vedavi::Options;
using vedavi::block::parse_source;

using bench::measure;
std::string repeat(std::string_view piece, std::size_t n) { return bench::repeat_times(piece, n); }

std::string typical_document(std::size_t target) {
  const std::string_view section =
      "# Section heading {#sec}\n\n"
      "A paragraph of ordinary prose that runs over a couple of lines, with *emphasis*,\n"
      "`code` and a [link][ref] to keep the inline text realistic.\n\n"
      "- first item\n- second item\n  continued here\n  - nested item\n\n"
      "1. one\n2. two\n\n"
      "> A quoted paragraph\n> over two lines.\n\n"
      "```python {.numberLines}\ndef f(x):\n    return x + 1\n```\n\n"
      "| a | b | c |\n|---|:-:|--:|\n| 1 | 2 | 3 |\n| 4 | 5 | 6 |\n: Caption\n\n"
      "Term\n: Definition\n\n"
      "::: note\nInside a div.\n:::\n\n"
      "<div>\n<span>raw</span>\n</div>\n\n"
      "[ref]: https://example.com \"Title\"\n\n";
  std::string out;
  while (out.size() < target) out += section;
  return out;
}

// Mostly prose: paragraphs wrapped at about 80 columns, headings and short lists.
std::string prose_document(std::size_t target) {
  const std::string_view section =
      "## A heading for the next part\n\n"
      "Ordinary prose runs on for a few lines, as paragraphs in most documents do. It has\n"
      "*emphasis*, `code`, a [link](https://example.com) and plain words to fill the line,\n"
      "then goes on to a third line that ends the paragraph with a full stop.\n\n"
      "A second paragraph is shorter, but still wraps once at about eighty columns of\n"
      "text, which is how most people write md by hand.\n\n"
      "- a list item with some words\n- another item that is a little longer than that\n"
      "- and a third one\n\n";
  std::string out;
  while (out.size() < target) out += section;
  return out;
}

}  // namespace

int main() {
  Options options;
  options.max_block_depth = 128;
  options.max_link_paren_depth = 32;
  Options deep = options;
  deep.max_block_depth = 1'000'000;

  const std::string doc = typical_document(1 << 20);
  for (std::uint8_t mode : {0, 1, 3}) {
    std::string name = "typical 1 MB, mode " + std::to_string(mode);
    measure(name.c_str(), doc.size(), [&] { return parse_source(doc, options, mode).trace.spans.size(); });
  }
  const std::string prose = prose_document(1 << 20);
  for (std::uint8_t mode : {0, 1, 3}) {
    std::string name = "prose 1 MB, mode " + std::to_string(mode);
    measure(name.c_str(), prose.size(), [&] { return parse_source(prose, options, mode).trace.spans.size(); });
  }
  const std::string quotes = repeat("> ", 25000) + "a";
  measure("25 000 nested quotes", quotes.size(),
          [&] { return parse_source(quotes, deep, 0).trace.unclosed.size(); });
  const std::string blanks = repeat("- ", 30000) + "x\n" + std::string(30000, '\n');
  measure("30 000 nested items + blank lines", blanks.size(),
          [&] { return parse_source(blanks, deep, 0).trace.unclosed.size(); });
  const std::string quoted = "> " + repeat("- ", 30000) + "x\n" + repeat(">\n", 30000);
  measure("same inside a quote", quoted.size(),
          [&] { return parse_source(quoted, deep, 0).trace.unclosed.size(); });
  const std::string angle = "<div>\n" + repeat("<div <b '", 100000) + "\n";
  measure("raw HTML of unclosed tags", angle.size(),
          [&] { return parse_source(angle, options, 0).trace.unclosed.size(); });
  return 0;
}
