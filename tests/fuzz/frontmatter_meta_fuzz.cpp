// seeds: md
// frontmatter_meta: the pairs are valid UTF-8 and agree with the pairs the full parse reports.
#include "block/parse.h"
#include "fuzz_util.h"
#include "model/frontmatter.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const StringPairs pairs = frontmatter::meta_pairs(input.text);
  for (const auto& [key, value] : pairs) {
    fuzz::require_utf8(key, "frontmatter keys are valid UTF-8");
    fuzz::require_utf8(value, "frontmatter values are valid UTF-8");
  }
  Options options = fuzz::md_options(input.knobs);
  options.frontmatter = true;
  fuzz::require(parse(input.text, options).meta == pairs, "frontmatter_meta agrees with the parse");
}
