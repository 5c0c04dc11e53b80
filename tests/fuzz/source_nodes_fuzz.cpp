// seeds: md
// source_nodes: every block span and inline node lies inside the source on character
// boundaries, sorted by start ascending and end descending.
#include "fuzz_util.h"
#include "inline/spans.h"

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  std::size_t last_start = 0, last_end = input.text.size();
  for (const inl::SourceNode& node : inl::list_source_nodes(input.text, fuzz::md_options(input.knobs))) {
    const auto [start, end] = std::visit(
        [](const auto& n) { return std::pair<std::size_t, std::size_t>{n.start, n.end}; }, node);
    fuzz::require_range(input.text, start, end, "source node ranges lie on characters");
    fuzz::require(start > last_start || (start == last_start && end <= last_end),
                  "source nodes are sorted by start, then by end descending");
    last_start = start;
    last_end = end;
  }
}
