// seeds: md
// vedavi2md: md written back from md2vedavi's output is valid UTF-8, the same bytes each time,
// and, but for templates, a second round (parse, render, write) gives the same md again. The md
// is read as md2vedavi reads it (bracket math, bare links, frontmatter), the reading the writer's
// md is meant for.
#include "block/parse.h"
#include "fuzz_util.h"
#include "markdown/writer.h"
#include "render/renderer.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const auto read = [](std::string_view md) {
    constexpr std::uint8_t kMd2VedaviKnobs = 2 | 4 | 16;
    return render_document(parse(md, fuzz::md_options(kMd2VedaviKnobs)), md.size());
  };
  const std::string html = read(input.text);
  const std::string md =
      fuzz::require_stable([&] { return markdown::vedavi_to_md(html); }, "writing twice gives the same bytes");
  fuzz::require_utf8(md, "vedavi2md output is valid UTF-8");
  // A template is written in md's template syntax, which this reading takes as text: its tree
  // comes back in another shape by design.
  if (html.find("<template") != std::string::npos) return;
  fuzz::require(markdown::vedavi_to_md(read(md)) == md, "a second round gives the same md");
}
