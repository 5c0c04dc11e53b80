// Step 8: every id gets the caller's prefix (footnote ids also the salt), and same-document
// links to those ids follow.
#include <unordered_set>

#include "export/exporter.h"

namespace vedavi::exporter {
namespace {

bool is_footnote_id(std::string_view id) { return id.starts_with("fn-") || id.starts_with("fnref-"); }

}  // namespace

void Exporter::prefix_ids() {
  const auto prefixed = [&](std::string_view id) {
    std::string out = options_.id_prefix;
    if (is_footnote_id(id)) out += options_.fn_salt;
    out += id;
    return out;
  };
  std::unordered_set<std::string, SeededHash, std::equal_to<>> existing;
  for (const NodeId element : elements_) {
    if (const auto id = dom_.attr(element, "id")) existing.emplace(*id);
  }
  for (const NodeId element : elements_) {
    if (const auto id = dom_.attr(element, "id")) must(dom_.set_attr(element, "id", prefixed(*id)));
    if (!dom_.is_tag(element, "a")) continue;
    const std::optional<std::string_view> href = dom_.attr(element, "href");
    if (!href || !href->starts_with('#') || !existing.contains(href->substr(1))) continue;
    must(dom_.set_attr(element, "href", "#" + prefixed(href->substr(1))));
  }
}

}  // namespace vedavi::exporter
