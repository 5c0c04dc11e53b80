// The line table and draft list a thread keeps between parses: a parse gives the same result
// whatever parse of what size came before it on the thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::default_options;
using testing::spans_dump;

std::string repeated(std::string_view piece, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += piece;
  return out;
}

std::string results(const std::string& src) {
  const Parsed spans = parse_source(src, default_options(), 2);
  return debug_string(parse(src, default_options())) + "\n--\n" + spans_dump(spans.trace.spans);
}

TEST(WarmScratch, AParseIsTheSameWhateverCameBefore) {
  const std::vector<std::string> sources = {
      repeated("- a\n  1. b\n\n> q\n\n| x | y |\n|---|---|\n| 1 | 2 |\n\npara *e*\n\n", 300),
      "",
      "one line\n",
      repeated("> ", 2000) + "deep\n",
      repeated("w\n", 5000) + "\n# h\n",
      "a\r\nb\r\n\r\n- c\r\n",
  };
  std::vector<std::string> first;
  for (const std::string& src : sources) first.push_back(results(src));
  for (std::size_t i = sources.size(); i-- > 0;) EXPECT_EQ(results(sources[i]), first[i]) << i;
  for (std::size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(results(sources[i]), first[i]) << i;
}

}  // namespace
}  // namespace vedavi::block
