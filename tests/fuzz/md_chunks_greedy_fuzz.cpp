// seeds: md
// md_chunks_greedy: the chunks, breadcrumbs aside, cut the source into its pieces, and come out
// the same each time.
#include "chunk/chunk.h"
#include "fuzz_util.h"

VEDAVI_FUZZ_TARGET(input) {
  const std::uint64_t target = 1 + (input.knobs & 31), scale = 1 + (input.knobs >> 5) * 40;
  vedavi::fuzz::check_chunks(
      input.text, [&] { return vedavi::chunk::md_chunks_greedy(input.text, target, scale); }, true);
}
