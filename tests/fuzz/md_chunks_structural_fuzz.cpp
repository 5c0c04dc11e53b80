// seeds: md
// md_chunks_structural: the chunks, breadcrumbs aside, cut the source into its pieces, and come
// out the same each time.
#include "chunk/chunk.h"
#include "fuzz_util.h"

VEDAVI_FUZZ_TARGET(input) {
  vedavi::fuzz::check_chunks(
      input.text, [&] { return vedavi::chunk::md_chunks_structural(input.text, 1 + input.knobs); },
      true);
}
