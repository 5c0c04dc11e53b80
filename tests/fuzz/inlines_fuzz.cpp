// seeds: md
// inlines: every node's range (and a link's destination range) lies inside the source on
// character boundaries, its texts are valid UTF-8, and listing twice gives the same nodes.
#include "fuzz_util.h"
#include "inline/spans.h"

using namespace vedavi;

namespace {

void check_node(std::string_view src, const inl::InlineNode& node) {
  fuzz::require_range(src, node.start, node.end, "inline node ranges lie on characters");
  if (const auto* link = std::get_if<inl::inline_data::Link>(&node.data)) {
    if (link->url_span) {
      fuzz::require_range(src, link->url_span->begin, link->url_span->end,
                          "link destination ranges lie on characters");
    }
    fuzz::require_utf8(link->url, "link urls are valid UTF-8");
  } else if (const auto* text = std::get_if<inl::inline_data::Text>(&node.data)) {
    fuzz::require_utf8(text->text, "inline texts are valid UTF-8");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::split_input(data, size);
  const Options options = fuzz::md_options(input.knobs);
  const std::vector<inl::InlineNode> nodes = inl::list_inlines(input.text, options);
  for (const inl::InlineNode& node : nodes) check_node(input.text, node);
  const std::vector<inl::InlineNode> again = inl::list_inlines(input.text, options);
  fuzz::require(again.size() == nodes.size(), "listing inlines twice gives the same nodes");
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    fuzz::require(again[i].start == nodes[i].start && again[i].end == nodes[i].end &&
                      again[i].kind == nodes[i].kind && again[i].depth == nodes[i].depth,
                  "listing inlines twice gives the same nodes");
  }
  return 0;
}
