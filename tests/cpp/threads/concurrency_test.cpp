// The core shares no mutable state between calls: every entry run on eight threads at once gives
// what it gives on one. Run under ThreadSanitizer (tools/run_tsan.sh) this also checks for races.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "block/parse.h"
#include "block/trace.h"
#include "fast5ever/parse.h"
#include "fast5ever/serialize.h"
#include "highlight/highlight.h"
#include "render/anchors.h"
#include "render/renderer.h"
#include "resolve/heading_nums.h"
#include "resolve/raw_payload.h"
#include "resolve/resolve.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

// Each entry's result as bytes, so that runs compare by equality.
std::vector<std::pair<const char*, std::function<std::string()>>> entries(const std::string& md, const std::string& html,
                                                                         const Options& options) {
  return {
      {"md2vedavi", [=] { return render_document(parse(md, options)); }},
      {"blocks",
       [=] { return block::testing::spans_dump(block::into_spans(block::parse_source(md, options, 2).trace, true)); }},
      {"anchors",
       [=] {
         std::vector<Anchor> anchors;
         for (const Block& block : parse(md, options).blocks) anchor_block(block, anchors);
         std::string text;
         for (const Anchor& anchor : anchors) text += anchor.id + ' ' + anchor.text + '\n';
         return text;
       }},
      {"highlight_md", [=] { return highlight::highlight_md(md, "hl-"); }},
      {"parse_fragment",
       [=] {
         std::string out;
         fast5ever::append_html(fast5ever::dom::parse_fragment(html), 0, out);
         return out;
       }},
      {"decode_raw", [] { return decode_raw("aGVsbG8gd29ybGQ=", "base64").payload.value_or(""); }},
      {"services",
       [] {
         Resolver resolver;
         resolver.register_target("sec-a", "block", "A");
         auto nums = HeadingNums::named("legal");
         nums.value().advance(0);
         nums.value().advance(1);
         return resolver.core("sec-a", ref_tokens("text").value()).value() + nums.value().full(1) +
                std::to_string(schemes().size());
       }},
  };
}

TEST(Concurrency, EightThreadsGiveWhatOneGives) {
  const std::string md = test::repeat(
      "---\ntitle: T\n---\n# Head {#sec-a}\n\n> quote *em* **strong** ~~s~~ `code` [link](/u \"t\")\n"
      "- item [x]{.c} <span>raw</span>\n  1. nested ^sup^ ~sub~ ==hl== [@sec-a]\n\n"
      "| a | b |\n|---|--:|\n| 1 | 2 |\n\n```py {.x}\ncode\n```\n\n::: note\nbody[^n]\n:::\n\n"
      "[^n]: a note\n\n\\[ x^2 \\] and \\(y\\) https://example.com &amp; &copy;\n\n"
      "![fig](i.png){#fig-a}\n\nTerm\n: definition\n\n<div>\n<!-- c -->\n</div>\n\n", 20);
  Options options = block::testing::default_options();
  options.bare_autolinks = options.frontmatter = true;
  options.math = MathMode::Brackets;
  for (const auto& [name, entry] : entries(md, render_document(parse(md, options)), options)) {
    const std::string expected = entry();
    std::vector<std::string> results(8);
    std::vector<std::thread> threads;
    for (std::string& result : results) {
      threads.emplace_back([&entry, &result] { for (int round = 0; round < 3; ++round) result = entry(); });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::string& result : results) EXPECT_EQ(result, expected) << name;
  }
}

}  // namespace
}  // namespace vedavi
