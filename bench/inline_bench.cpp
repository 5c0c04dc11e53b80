// Benchmark of the inline parser: ordinary prose, prose dense with constructs, and the
// adversarial inputs at two sizes (time per byte should stay flat); then whole md documents
// (block and inline parse): the CommonMark examples concatenated and README-like prose. Not part
// of the build; from the repository root, after building build/dev:
//   c++ -O2 -std=c++20 -Isrc -I. bench/inline_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/inline_bench && /tmp/inline_bench [../shared/testdata/commonmark/spec.txt]
// "-d" as the first argument runs only the whole documents (for profilers).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "block/parse.h"
#include "inline/parse.h"

namespace {

using namespace vedavi;

Options bench_options() {
  Options o;
  o.max_block_depth = 128;
  o.max_link_paren_depth = 32;
  o.bare_autolinks = true;
  o.math = MathMode::Brackets;
  return o;
}

void measure(const char* name, const std::string& text) {
  using Clock = std::chrono::steady_clock;
  const Options options = bench_options();
  const LinkMap links;
  const FootnoteLabels footnotes{"1"};
  const InlineContext ctx{options, links, footnotes, nullptr};
  std::size_t sink = 0;
  int rounds = 0;
  const auto start = Clock::now();
  auto now = start;
  do {
    sink += inl::parse_inner(text, ctx).size();
    ++rounds;
    now = Clock::now();
  } while (now - start < std::chrono::milliseconds(300));
  const double seconds = std::chrono::duration<double>(now - start).count() / rounds;
  std::printf("%-28s %9zu B %9.1f MB/s %10.3f ms/round (%zu)\n", name, text.size(),
              text.size() / seconds / 1e6, seconds * 1e3, sink % 10);
}

std::string repeat(std::string_view unit, std::size_t n);

void measure_document(const char* name, const std::string& text) {
  using Clock = std::chrono::steady_clock;
  const Options options = bench_options();
  std::size_t sink = 0;
  int rounds = 0;
  const auto start = Clock::now();
  auto now = start;
  do {
    sink += parse(text, options).blocks.size();
    ++rounds;
    now = Clock::now();
  } while (now - start < std::chrono::milliseconds(500));
  const double seconds = std::chrono::duration<double>(now - start).count() / rounds;
  std::printf("%-28s %9zu B %9.1f MB/s %10.3f ms/round (%zu)\n", name, text.size(),
              text.size() / seconds / 1e6, seconds * 1e3, sink % 10);
}

// The md of every example in a CommonMark-style spec file, each followed by a blank line.
std::string spec_examples(const char* path) {
  std::ifstream in(path);
  if (!in) return {};
  constexpr std::string_view kFence = "```````````````````````````````` example";
  std::string out, line;
  bool in_md = false, in_example = false;
  while (std::getline(in, line)) {
    if (!in_example && line.starts_with(kFence)) {
      in_example = in_md = true;
    } else if (in_example && line == ".") {
      if (in_md) out += "\n";
      in_md = false;
    } else if (in_example && line.starts_with("````````````````````````````````")) {
      in_example = false;
    } else if (in_md) {
      for (std::size_t at; (at = line.find("\u2192")) != std::string::npos;) line.replace(at, 3, "\t");
      out += line;
      out += '\n';
    }
  }
  return out;
}

std::string readme_like(std::size_t bytes) {
  static constexpr std::string_view kUnit =
      "## Getting started\n\n"
      "Install the package with `pip install vedavi` and read the [guide](https://example.org/guide "
      "\"The guide\") first. The parser is *fast*, **exact** and never crashes on any input; see "
      "the [API reference][api] for details.\n\n"
      "- Parse md with `md2vedavi(text)`, which returns *canonical* HTML.\n"
      "- Convert back with `vedavi2md(html)`; links like <https://example.org> survive.\n"
      "- Options: `math`, `templates` and **bare autolinks** such as www.example.com.\n\n"
      "> A quoted note with _emphasis_ and a footnote.[^1]\n\n"
      "```python\nimport vedavi\nprint(vedavi.md2vedavi(\"*hi*\"))\n```\n\n"
      "[api]: https://example.org/api\n[^1]: The footnote text.\n\n";
  return repeat(kUnit, bytes / kUnit.size() + 1);
}

std::string repeat(std::string_view unit, std::size_t n) {
  std::string out;
  out.reserve(unit.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += unit;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool documents_only = argc > 1 && std::strcmp(argv[1], "-d") == 0;
  const char* spec = argc > 1 + documents_only ? argv[1 + documents_only]
                                               : "../shared/testdata/commonmark/spec.txt";
  if (std::string examples = spec_examples(spec); !examples.empty())
    measure_document("document: spec examples x8", repeat(examples, 8));
  measure_document("document: README-like", readme_like(1 << 20));
  if (documents_only) return 0;
  measure("prose", repeat("The quick brown fox jumps over the lazy dog, again and again. ", 2000));
  measure("prose, one emphasis",
          "*a* " + repeat("The quick brown fox jumps over the lazy dog, again and again. ", 2000));
  measure("paragraph, 150 B, dense",
          "Some *emph*, **strong**, `code`, [a link](http://x.y \"t\"){.c}, ^[a note], H~2~O, x^2^, "
          "==mark==, \\(x+y\\), <span>raw</span>, www.example.com, [^1]. ");
  measure("dense constructs",
          repeat("Some *emph*, **strong**, `code`, [a link](http://x.y \"t\"){.c}, ^[a note], "
                 "H~2~O, x^2^, ==mark==, \\(x+y\\), <span>raw</span>, www.example.com, [^1]. ",
                 500));
  struct Case {
    const char* name;
    std::string_view unit;
  };
  for (const Case& c : {Case{"nested *a **a", ""}, Case{"a_ ", "a_ "}, Case{"[ (](", "[ (]("},
                        Case{"[a](<b", "[a](<b"}, Case{"![[]()", "![[]()"}, Case{"<!--", "<!--"},
                        Case{"`a`{x=", "`a`{x="}, Case{"[^", "[^"}, Case{"a/ (autolinks)", "a/"}}) {
    for (std::size_t n : {20000, 80000}) {
      std::string text = c.unit.empty()
                             ? repeat("*a **a ", n / 2) + "b" + repeat(" a** a*", n / 2)
                             : repeat(c.unit, n);
      if (c.unit == "a/") text += "@";
      measure(c.name, text);
    }
  }
}
