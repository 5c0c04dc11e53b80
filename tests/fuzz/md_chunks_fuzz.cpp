// seeds: md
// md_chunks: at least one chunk, valid UTF-8, the same each time. (They need not cut the source:
// a later stage may split a breadcrumb from its piece, which leaves it a chunk of its own.)
#include "chunk/chunk.h"
#include "fuzz_util.h"

VEDAVI_FUZZ_TARGET(input) {
  const auto chunks = [&] { return vedavi::chunk::md_chunks(input.text, 1 + input.knobs); };
  vedavi::fuzz::require(!chunks().empty(), "md_chunks gives at least one chunk");
  vedavi::fuzz::check_chunks(input.text, chunks, false);
}
