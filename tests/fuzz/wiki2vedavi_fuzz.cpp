// seeds: wiki
// wiki2vedavi: wikitext converts and renders as valid UTF-8, the same bytes each time.
#include "fuzz_util.h"
#include "render/renderer.h"
#include "wikitext/parse.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const Document doc = wikitext::document::parse(input.text);
  const std::string html = render_document(doc, input.text.size());
  fuzz::require_utf8(html, "wiki2vedavi output is valid UTF-8");
  fuzz::require(render_document(doc) == html, "rendering a document twice gives the same bytes");
  fuzz::require(render_document(wikitext::document::parse(input.text)) == html,
                "converting twice gives the same bytes");
}
