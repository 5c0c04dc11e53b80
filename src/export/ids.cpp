// Steps 2 to 5: the element list and the headings, `data-id` copies, generated heading ids and
// the registration of every element with an id as a cross-reference target.
#include <array>

#include "export/exporter.h"
#include "export/slug.h"

namespace vedavi::exporter {

namespace {

bool is_heading(const Dom& dom, NodeId node) {
  static constexpr std::array<std::string_view, 6> kHeadings = {"h1", "h2", "h3", "h4", "h5", "h6"};
  for (std::string_view name : kHeadings) {
    if (dom.is_tag(node, name)) return true;
  }
  return false;
}

}  // namespace

void Exporter::take_elements() {
  elements_ = element_list(dom_, 0);
  for (const NodeId element : elements_) {
    if (is_heading(dom_, element)) headings_.push_back(element);
  }
}

void Exporter::copy_data_ids() {
  for (const NodeId element : elements_) {
    if (const auto id = dom_.attr(element, "id")) must(dom_.set_attr(element, "data-id", std::string(*id)));
  }
}

void Exporter::generate_ids() {
  // Sized once: regrowing a table of this many strings costs more than filling it.
  std::vector<std::string_view> ids;
  for (const NodeId element : elements_) {
    if (const auto id = dom_.attr(element, "id")) ids.push_back(*id);
  }
  SlugSeries series;
  series.reserve(ids.size() + headings_.size());
  for (const std::string_view id : ids) series.take(id);
  for (const NodeId heading : headings_) {
    if (dom_.attr(heading, "id")) continue;
    const std::string slug =
        options_.gh_ids ? gh_slug(dom_.to_text(heading)) : default_slug(norm_text(dom_, heading));
    const std::string id = series.next(slug);
    if (!id.empty()) must(dom_.set_attr(heading, "id", id));
  }
}

void Exporter::register_targets() {
  // Only references read the registry, so only the targets they name are registered: a large
  // document with few references (the usual case) fills no table with every id it holds.
  for (const std::vector<NodeId>& links : group_links_) {
    for (const NodeId link : links) referenced_.emplace(link_target(dom_, link));
  }
  for (const NodeId link : singles_) referenced_.emplace(link_target(dom_, link));
  if (referenced_.empty()) return;
  resolver_.reserve_targets(referenced_.size());
  for (const NodeId element : elements_) {
    const auto id = dom_.attr(element, "id");
    if (!id || !referenced_.contains(*id)) continue;
    const std::optional<std::string_view> kind = target_kind(*dom_.tag(element));
    // Only the text of a target with a kind is ever read. A kindless element records its text
    // only to replace the text of an earlier element with the same id, which spares copying the
    // text of every identified wrapper around the targets.
    const bool needs_text = kind || resolver_.idtext().contains(*id);
    const std::optional<std::string> text =
        needs_text ? std::optional(norm_text(dom_, element)) : std::nullopt;
    resolver_.register_target(*id, kind, text);
  }
}

}  // namespace vedavi::exporter
