// Step 1: disclosure panels become `details` with a `summary`; plain panels may get a `header`.
#include "export/exporter.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::exporter {
namespace {

// The title with its first character in full upper case ("ß..." -> "SS...").
std::string capitalised(std::string_view title) {
  const utf8::Decoded first = utf8::decode(title, 0);
  std::string out;
  unicode::append_uppercase(first.cp, out);
  out.append(title.substr(first.len));
  return out;
}

}  // namespace

void Exporter::rewrite_panels() {
  for (const NodeId panel : element_list(dom_, 0)) {
    if (!dom_.is_tag(panel, "div") || !dom_.attr(panel, "data-panel")) continue;
    const std::string disclosure(dom_.attr(panel, "data-disclosure").value_or("fixed"));
    const bool is_details = disclosure == "open" || disclosure == "closed";
    if (is_details) {
      must(dom_.rename(panel, "details"));
      if (disclosure == "open") {
        must(dom_.set_attr(panel, "open", ""));
      } else {
        must(dom_.remove_attr(panel, "open"));
      }
    }
    const std::optional<NodeId> first_element = first_element_child(dom_, panel);
    if (first_element && dom_.is_tag(*first_element, "header")) {
      if (is_details) must(dom_.rename(*first_element, "summary"));
      continue;
    }
    std::string title;
    if (const auto callout = dom_.attr(panel, "data-callout")) {
      title = *callout;
    } else if (is_details) {
      title = "details";
    }
    if (title.empty()) continue;
    const NodeId heading = dom_.create_element(is_details ? "summary" : "header");
    must(dom_.insert_before(heading, dom_.create_text(capitalised(title))));
    const auto& nodes = dom_.node(panel).children;
    const std::optional<NodeId> first = nodes.empty() ? std::nullopt : std::optional(nodes.front());
    must(dom_.insert_before(panel, heading, first));
  }
}

}  // namespace vedavi::exporter
