// seeds: md
// md_chunks_structural: the chunks, breadcrumbs aside, cut the source into its pieces, and come
// out the same each time.
#include "chunk/chunk.h"
#include "fuzz_util.h"

using namespace vedavi;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split_input(data, size);
  const std::uint64_t target = 1 + input.knobs;
  const std::vector<chunk::MdChunk> chunks = chunk::md_chunks_structural(input.text, target);
  fuzz::require_source_cut(input.text, chunks, "structural chunks cut the source");
  fuzz::require(chunk::md_chunks_structural(input.text, target) == chunks,
                "chunking twice gives the same");
  return 0;
}
