// Throughput of the HTML5 engine, tokenizer and tree builder together, parsing a whole document
// into a simple arena sink. Not part of the build; from the repository root:
//   c++ -O2 -DNDEBUG -std=c++20 -Isrc -I. bench/html5_bench.cpp html5/*.cpp src/utf8.cpp \
//       -o /tmp/html5_bench
//   /tmp/html5_bench [page.html [rounds]]
// Without a file it parses a generated page. bench/html5_compare.py runs it beside other parsers.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"

namespace {

std::string generated_page() {
  std::string page = "<!DOCTYPE html><html><head><title>Bench</title>"
                     "<meta charset=utf-8><link rel=stylesheet href=s.css></head><body>";
  for (int i = 0; i < 2000; ++i) {
    page += "<div class=\"section\" id=\"s" + std::to_string(i) + "\"><h2>Heading " +
            std::to_string(i) + "</h2><p>Some <b>bold</b> and <i>italic</i> text with a "
            "<a href=\"https://example.org/p?a=1&amp;b=2\">link</a> &mdash; and more text "
            "to fill the line.</p><ul><li>one<li>two<li>three &lt; four</ul>"
            "<table><tr><th>k<th>v<tr><td>1<td>2</table><!-- note --></div>\n";
  }
  return page + "</body></html>";
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  if (argc > 1) {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", argv[1]);
      return 1;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    input = buffer.str();
  } else {
    input = generated_page();
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;

  using Clock = std::chrono::steady_clock;
  std::size_t nodes = 0;
  double best = 1e300, total = 0;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    html5::testing::ArenaSink sink;
    sink.nodes.reserve(input.size() / 8);
    html5::parse_document(input, sink);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    nodes = sink.nodes.size();
    best = std::min(best, seconds);
    total += seconds;
  }
  const double mean = total / rounds;
  std::printf("html5 parse_document: %.1f MB/s mean, %.1f MB/s best (%.3f ms/round, %d rounds, "
              "%zu bytes, %zu nodes)\n",
              input.size() / mean / 1e6, input.size() / best / 1e6, mean * 1e3, rounds,
              input.size(), nodes);
  return 0;
}
