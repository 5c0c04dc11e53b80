// seeds: md
// md2vedavi: md source parses and renders as VEDAVI under every option the knob byte picks.
#include "block/parse.h"
#include "fuzz_util.h"
#include "render/renderer.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const Options options = fuzz::md_options(input.knobs);
  const Document doc = parse(input.text, options);
  const std::string html = render_document(doc, input.text.size());
  fuzz::require_utf8(html, "md2vedavi output is valid UTF-8");
  for (const Diagnostic& diagnostic : doc.diagnostics) {
    fuzz::require_utf8(diagnostic.message, "md2vedavi warnings are valid UTF-8");
  }
  for (const auto& [key, value] : doc.meta) {
    fuzz::require_utf8(key, "frontmatter keys are valid UTF-8");
    fuzz::require_utf8(value, "frontmatter values are valid UTF-8");
  }
  fuzz::require(render_document(doc) == html, "rendering a document twice gives the same bytes");
  fuzz::require(render_document(parse(input.text, options)) == html,
                "parsing and rendering twice gives the same bytes");
}
