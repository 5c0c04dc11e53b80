// seeds: md
// md_chunks: the chunks are valid UTF-8 and come out the same each time. (They need not cut the
// source: a later stage may split a breadcrumb from its piece, which leaves it a chunk of its own.)
#include "chunk/chunk.h"
#include "fuzz_util.h"

using namespace vedavi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split_input(data, size);
  const std::uint64_t target = 1 + input.knobs;
  const std::vector<chunk::MdChunk> chunks = chunk::md_chunks(input.text, target);
  fuzz::require(!chunks.empty(), "md_chunks gives at least one chunk");
  for (const chunk::MdChunk& c : chunks) {
    fuzz::require_utf8(c.text, "chunks are valid UTF-8");
  }
  fuzz::require(chunk::md_chunks(input.text, target) == chunks, "chunking twice gives the same");
  return 0;
}
