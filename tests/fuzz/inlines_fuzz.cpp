// seeds: md
// inlines: every node's range (and a link's destination range) lies inside the source on
// character boundaries, its texts are valid UTF-8, and listing twice gives the same nodes.
#include "fuzz_util.h"
#include "inline/spans.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const Options options = fuzz::md_options(input.knobs);
  const std::vector<inl::InlineNode> nodes = inl::list_inlines(input.text, options);
  const std::vector<inl::InlineNode> again = inl::list_inlines(input.text, options);
  fuzz::require(again.size() == nodes.size(), "listing inlines twice gives the same nodes");
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const inl::InlineNode& node = nodes[i];
    fuzz::require(again[i].start == node.start && again[i].end == node.end &&
                      again[i].kind == node.kind && again[i].depth == node.depth,
                  "listing inlines twice gives the same nodes");
    fuzz::require_range(input.text, node.start, node.end, "inline node ranges lie on characters");
    if (const auto* link = std::get_if<inl::inline_data::Link>(&node.data)) {
      if (const auto& url = link->url_span) {
        fuzz::require_range(input.text, url->begin, url->end, "link destination ranges lie on characters");
      }
      fuzz::require_utf8(link->url, "link urls are valid UTF-8");
    } else if (const auto* text = std::get_if<inl::inline_data::Text>(&node.data)) {
      fuzz::require_utf8(text->text, "inline texts are valid UTF-8");
    }
  }
}
