// seeds: md
// frontmatter_meta: the pairs are valid UTF-8 and agree with the pairs the full parse reports.
#include "block/parse.h"
#include "fuzz_util.h"
#include "model/frontmatter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vedavi::fuzz::Input input = vedavi::fuzz::split_input(data, size);
  const vedavi::StringPairs pairs = vedavi::frontmatter::meta_pairs(input.text);
  for (const auto& [key, value] : pairs) {
    vedavi::fuzz::require_utf8(key, "frontmatter keys are valid UTF-8");
    vedavi::fuzz::require_utf8(value, "frontmatter values are valid UTF-8");
  }
  vedavi::Options options = vedavi::fuzz::md_options(input.knobs);
  options.frontmatter = true;
  vedavi::fuzz::require(vedavi::parse(input.text, options).meta == pairs,
                        "frontmatter_meta agrees with the parse");
  return 0;
}
