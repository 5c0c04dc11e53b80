// Step 7, numbers: heading numbers by scheme, and caption labels for figures and tables.
#include <variant>

#include "export/exporter.h"
#include "text/escape.h"

namespace vedavi::exporter {
namespace {

// The scheme headings are numbered by, or none; fails when the caller's scheme is rejected.
Outcome<std::optional<HeadingNums>> choose_scheme(const std::optional<NumberHeadings>& chosen,
                                                  bool is_needed) {
  Outcome<HeadingNums> nums = Failure{};
  if (!chosen) {
    if (!is_needed) return std::optional<HeadingNums>();
    nums = HeadingNums::named("decimal");
  } else if (const auto* name = std::get_if<SchemeName>(&*chosen)) {
    nums = HeadingNums::named(name->name);
  } else if (const auto* levels = std::get_if<SchemeLevels>(&*chosen)) {
    nums = HeadingNums::create(levels->levels);
  } else {
    return std::optional<HeadingNums>();  // never
  }
  if (!nums) return Failure{nums.message()};
  return std::optional(std::move(nums).value());
}

// Puts `label` at the start of `parent`: the element first, then the text node `after`.
void insert_label(Dom& dom, NodeId parent, NodeId label, std::string_view after) {
  const auto& children = dom.node(parent).children;
  const std::optional<NodeId> first = children.empty() ? std::nullopt : std::optional(children.front());
  const NodeId text = dom.create_text(after);
  must(dom.insert_before(parent, text, first));
  must(dom.insert_before(parent, label, text));
}

NodeId span_with_text(Dom& dom, std::string_view class_name, std::string_view text) {
  const NodeId span = dom.create_element("span", {{"class", std::string(class_name)}});
  must(dom.insert_before(span, dom.create_text(text)));
  return span;
}

}  // namespace

std::optional<Failure> Exporter::number_headings(const std::vector<ParsedRef>& refs) {
  bool is_needed = false;
  for (const ParsedRef& ref : refs) {
    const auto kind = resolver_.kinds().find(ref.target);
    if (kind != resolver_.kinds().end() && kind->second == "block" &&
        ref_variant(ref.tokens) != "text") {
      is_needed = true;
      break;
    }
  }
  Outcome<std::optional<HeadingNums>> scheme = choose_scheme(options_.number_headings, is_needed);
  if (!scheme) return Failure{scheme.message()};
  if (!scheme.value()) return std::nullopt;
  HeadingNums& nums = *scheme.value();
  for (const NodeId heading : headings_) {
    const std::size_t level = std::size_t(dom_.tag(heading)->at(1) - '1');
    if (!nums.advance(level)) continue;
    const std::string display = nums.display(level);
    if (display.empty()) continue;
    insert_label(dom_, heading, span_with_text(dom_, "heading-number", display), " ");
    // Numbers are recorded for references to read, so only for the targets they name.
    if (const auto id = dom_.attr(heading, "id"); id && is_referenced(*id)) {
      resolver_.set_headnum(*id, display, nums.full(level));
    }
  }
  return std::nullopt;
}

void Exporter::number_captions() {
  std::uint32_t figures = 0;
  std::uint32_t tables = 0;
  for (const NodeId element : elements_) {
    const bool is_figure = dom_.is_tag(element, "figure");
    if (!is_figure && !dom_.is_tag(element, "table")) continue;
    const std::string_view caption_name = is_figure ? "figcaption" : "caption";
    const std::optional<NodeId> caption = first_child_tag(dom_, element, caption_name);
    const auto id = dom_.attr(element, "id");
    if (!caption && !id) continue;
    const std::string_view key = is_figure ? "fig" : "tbl";
    const std::string label = resolver_.reftypes().find(key)->second.singular;
    const std::uint32_t n = ++(is_figure ? figures : tables);
    if (id && is_referenced(*id)) resolver_.set_capnum(*id, label, n);
    std::string text = label + " ";
    append_number(n, text);
    const NodeId span = span_with_text(dom_, "caption-label", text);
    if (caption) {
      insert_label(dom_, *caption, span, ": ");
      continue;
    }
    const NodeId new_caption = dom_.create_element(caption_name);
    must(dom_.insert_before(new_caption, span));
    const auto& children = dom_.node(element).children;
    const bool goes_first = !is_figure && !children.empty();
    must(dom_.insert_before(element, new_caption,
                            goes_first ? std::optional(children.front()) : std::nullopt));
  }
}

}  // namespace vedavi::exporter
