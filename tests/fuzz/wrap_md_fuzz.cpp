// seeds: md
// wrap_md: the output is valid UTF-8, the same each time, and wrapping it again changes nothing.
#include "chunk/wrap.h"
#include "fuzz_util.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const std::optional<std::uint64_t> width =
      (input.knobs & 1) ? std::nullopt : std::optional<std::uint64_t>(1 + (input.knobs >> 1));
  const std::string wrapped = fuzz::require_stable([&] { return chunk::wrap_md(input.text, width); },
                                                   "wrapping twice gives the same");
  fuzz::require_utf8(wrapped, "wrap_md output is valid UTF-8");
  fuzz::require(chunk::wrap_md(wrapped, width) == wrapped, "wrap_md is idempotent");
}
