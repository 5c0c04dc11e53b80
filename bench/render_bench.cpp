// Benchmark of the VEDAVI renderer alone: the CommonMark spec text five times over (about 1 MB,
// parsed once, outside the timing), text heavy in characters to escape, many footnotes, and
// 100,000-level inline nesting. Not part of the build; from the repository root, after a release
// build of the core in build/dev:
//   c++ -O2 -std=c++20 -Isrc -I. bench/render_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/render_bench && /tmp/render_bench [path to spec.txt]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "bench/bench_util.h"
#include "block/parse.h"
#include "model/options.h"
#include "render/renderer.h"

namespace {

using namespace vedavi;

using bench::measure;
std::string repeat(std::string_view piece, std::size_t n) { return bench::repeat_times(piece, n); }

void bench_source(const char* name, const std::string& source) {
  const Document doc = parse(source, fixed_tool_options());
  const std::size_t out_bytes = render_document(doc).size();
  measure(name, out_bytes, [&] { return render_document(doc).size(); });
}

}  // namespace

int main(int argc, char** argv) {
  const char* spec_path = argc > 1 ? argv[1] : "../shared/testdata/commonmark/spec.txt";
  std::ifstream file(spec_path, std::ios::binary);
  if (file) {
    std::stringstream text;
    text << file.rdbuf();
    bench_source("spec x5 (MB of output)", repeat(text.str(), 5));
  } else {
    std::printf("no spec text at %s: skipped\n", spec_path);
  }
  bench_source("escapes", repeat("a < b & c > d \"q\" <i>x</i> & more plain text here\n\n", 20000));
  bench_source("footnotes", repeat("text[^a] more^[a note] and[^b]\n\n", 20000) + "[^a]: A\n\n[^b]: B\n");
  bench_source("nested emphasis", repeat("*a ", 100000) + "b" + repeat("*", 100000));
  return 0;
}
