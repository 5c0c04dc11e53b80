// seeds: md
// anchors: every anchor has an id, a known kind and collapsed text, all valid UTF-8.
#include "block/parse.h"
#include "fuzz_util.h"
#include "render/anchors.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const std::vector<Anchor> anchors = document_anchors(parse(input.text, fuzz::md_options(input.knobs)));
  for (const Anchor& anchor : anchors) {
    fuzz::require(!anchor.id.empty(), "anchors carry an id");
    fuzz::require(anchor.kind == "block" || anchor.kind == "caption" || anchor.kind == "text",
                  "anchor kinds are block, caption or text");
    fuzz::require_utf8(anchor.id, "anchor ids are valid UTF-8");
    fuzz::require_utf8(anchor.text, "anchor texts are valid UTF-8");
    fuzz::require(anchor.text.find("  ") == std::string::npos, "anchor texts are collapsed");
  }
}
