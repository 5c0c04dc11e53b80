// Benchmark of the inline parser: ordinary prose, prose dense with constructs, and the
// adversarial inputs at two sizes (time per byte should stay flat). Not part of the build; from
// the repository root, after building build/dev:
//   c++ -O2 -std=c++20 -Isrc -I. bench/inline_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/inline_bench && /tmp/inline_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "inline.h"

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

std::string repeat(std::string_view unit, std::size_t n) {
  std::string out;
  out.reserve(unit.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += unit;
  return out;
}

}  // namespace

int main() {
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
