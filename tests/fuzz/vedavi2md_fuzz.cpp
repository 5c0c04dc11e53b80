// seeds: md
// vedavi2md: md written back from md2vedavi's output is valid UTF-8 and the same bytes each
// time, and a second round (parse, render, write) of it gives the same md again.
#include "block/parse.h"
#include "fuzz_util.h"
#include "markdown/writer.h"
#include "render/renderer.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const auto round_trip = [](std::string_view md) {
    return markdown::vedavi_to_md(render_document(parse(md, fuzz::md_options(0)), md.size()));
  };
  const std::string md =
      fuzz::require_stable([&] { return round_trip(input.text); }, "writing twice gives the same bytes");
  fuzz::require_utf8(md, "vedavi2md output is valid UTF-8");
  fuzz::require(round_trip(md) == md, "a second round gives the same md");
}
