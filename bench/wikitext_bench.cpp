// Benchmark of the wikitext converter: parsing alone and rendering alone, on the generated
// article mix of wiki_compare.py, and on a few adversarial shapes. Not part of the build; from
// the repository root, after a build of the core in build/dev:
//   python3 bench/wiki_compare.py --write /tmp/mix.wiki
//   c++ -O2 -std=c++20 -Isrc -I. bench/wikitext_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/wikitext_bench && /tmp/wikitext_bench /tmp/mix.wiki
#include <fstream>
#include <sstream>
#include <string>

#include "bench/bench_util.h"
#include "render/renderer.h"
#include "wikitext/parse.h"

namespace {

using namespace vedavi;
using bench::measure;

void bench_text(const std::string& name, const std::string& text) {
  measure((name + ": parse").c_str(), text.size(),
          [&] { return wikitext::document::parse(text).blocks.size(); });
  const Document doc = wikitext::document::parse(text);
  measure((name + ": render").c_str(), text.size(),
          [&] { return render_document(doc, text.size()).size(); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::ifstream file(argv[1], std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    bench_text("article mix", text.str());
  }
  bench_text("unclosed templates", bench::repeat_times("{{a|", 250'000));
  bench_text("nested templates", bench::repeat_times("{{a|", 100'000) + "x" +
                                     bench::repeat_times("}}", 100'000));
  bench_text("deep list", bench::repeat_times("*", 500'000) + " a");
  return 0;
}
