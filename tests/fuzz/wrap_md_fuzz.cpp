// seeds: md
// wrap_md: the output is valid UTF-8, the same each time, renders as the input does (soft line
// breaks aside), and wrapping it again changes nothing.
#include "block/parse.h"
#include "chunk/options.h"
#include "chunk/wrap.h"
#include "chunk/wrap_check.h"
#include "fuzz_util.h"
#include "render/renderer.h"

namespace {

std::string alike(std::string_view md) {
  using namespace vedavi;
  return chunk::alike_rendering(render_document(parse(md, chunk::parse_options())));
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const std::optional<std::uint64_t> width =
      (input.knobs & 1) ? std::nullopt : std::optional<std::uint64_t>(1 + (input.knobs >> 1));
  const std::string wrapped = fuzz::require_stable([&] { return chunk::wrap_md(input.text, width); },
                                                   "wrapping twice gives the same");
  fuzz::require_utf8(wrapped, "wrap_md output is valid UTF-8");
  fuzz::require(chunk::wrap_md(wrapped, width) == wrapped, "wrap_md is idempotent");
  fuzz::require(wrapped == input.text || alike(wrapped) == alike(input.text),
                "wrap_md keeps the rendered document, soft line breaks aside");
}
