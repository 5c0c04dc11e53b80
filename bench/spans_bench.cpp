// Benchmark of the span listings and the md highlighter beside md2vedavi's core (parse and
// render), on the CommonMark spec text five times over (about 1 MB), the same text with CR LF
// line ends, and an input dense with inline constructs. The listings' Python dicts are not built
// here (bench/spans_compare.py times the Python functions). Not part of the build; from the
// repository root, after a release build of the core in build/dev:
//   c++ -O2 -std=c++20 -Isrc -I. bench/spans_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/spans_bench && /tmp/spans_bench [path to spec.txt]
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/bench_util.h"
#include "block/parse.h"
#include "model/options.h"
#include "highlight/highlight.h"
#include "inline/spans.h"
#include "render/renderer.h"

namespace {

using namespace vedavi;

void bench_input(const std::string& name, const std::string& source) {
  const Options options = fixed_tool_options();
  std::printf("%s: %zu bytes\n", name.c_str(), source.size());
  bench::measure("  md2vedavi core (parse, render)", source.size(),
                 [&] { return render_document(parse(source, options)).size(); });
  bench::measure("  inlines core", source.size(), [&] { return inl::list_inlines(source, options).size(); });
  bench::measure("  source_nodes core", source.size(),
                 [&] { return inl::list_source_nodes(source, options).size(); });
  bench::measure("  highlight_md", source.size(), [&] { return highlight::highlight_md(source, "hl-").size(); });
}

std::string with_crlf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) c == '\n' ? out.append("\r\n") : out.append(1, c);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const char* spec_path = argc > 1 ? argv[1] : "../shared/testdata/commonmark/spec.txt";
  std::ifstream file(spec_path, std::ios::binary);
  if (file) {
    std::stringstream text;
    text << file.rdbuf();
    const std::string spec = bench::repeat_times(text.str(), 5);
    bench_input("spec x5", spec);
    bench_input("spec x5, CR LF", with_crlf(spec));
  } else {
    std::printf("no spec text at %s: skipped\n", spec_path);
  }
  bench_input("dense inlines", bench::repeat_to_size("> *a* **b** `c` [d](u \"t\") ![e](v) <http://x.y> [@f] {.g}\n"
                                                     "> ~~h~~ ==i== ^j^ ~k~ \\(m\\) [n][r] www.o.p\n>\n", 1 << 20) +
                                   "\n[r]: /u\n");
  return 0;
}
