// Throughput of the HTML5 tokenizer alone, into a sink that only counts. Not part of the build;
// from the repository root:
//   c++ -O2 -std=c++20 -Isrc -I. bench/tokenizer_bench.cpp html5/tokenizer*.cpp \
//       html5/named_entities.cpp src/text/utf8.cpp -o /tmp/tokenizer_bench
//   /tmp/tokenizer_bench [page.html [rounds]]
// Without a file it tokenizes a generated page of paragraphs, links, tables and references.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "html5/tokenizer.h"

namespace {

class CountingSink : public html5::TokenSink {
 public:
  std::size_t tokens = 0;
  std::size_t bytes = 0;
  html5::TokenSinkResult process_token(html5::Token& token, std::uint64_t) override {
    ++tokens;
    bytes += token.text.size() + token.tag.name.size();
    for (const auto& attr : token.tag.attrs) bytes += attr.value.size();
    return {};
  }
};

std::string generated_page() {
  std::string page = "<!DOCTYPE html><html><head><title>Bench</title></head><body>\n";
  for (int i = 0; i < 4000; ++i) {
    page += "<div class=\"section s" + std::to_string(i) + "\" id=sec-" + std::to_string(i) + ">\n";
    page += "<p>Some <b>bold</b> and <i>italic</i> text with a <a href=\"https://example.com/page?id=";
    page += std::to_string(i) + "&amp;lang=en\" title='link'>link</a> &mdash; and &lt;escaped&gt; markup.</p>\n";
    page += "<table><tr><td>1</td><td>2</td></tr></table><!-- comment " + std::to_string(i) + " -->\n</div>\n";
  }
  return page + "</body></html>\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  if (argc > 1) {
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot read %s\n", argv[1]);
      return 1;
    }
    std::stringstream bytes;
    bytes << file.rdbuf();
    input = bytes.str();
  } else {
    input = generated_page();
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;
  CountingSink sink;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) html5::tokenize(input, sink);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu bytes, %zu tokens per round, %d rounds: %.1f MB/s (%zu)\n", input.size(),
              sink.tokens / static_cast<std::size_t>(rounds > 0 ? rounds : 1), rounds,
              static_cast<double>(input.size()) * rounds / seconds / 1e6, sink.bytes % 10);
  return 0;
}
