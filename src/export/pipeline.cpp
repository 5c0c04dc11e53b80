// The export entry and the order of its steps, with the walks and text helpers the steps share.
#include <utility>

#include "base/internal_error.h"
#include "export/exporter.h"
#include "fast5ever/parse.h"
#include "text/unicode.h"

namespace vedavi::exporter {

void edit_failed(fast5ever::dom::DomError error) {
  internal_failure("export: tree edit failed with " + std::string(fast5ever::dom::to_string(error)));
}

std::vector<NodeId> element_list(const Dom& dom, NodeId root) {
  std::vector<NodeId> out;
  std::vector<NodeId> stack;
  const auto push_children = [&](NodeId parent) {
    const auto& children = dom.node(parent).children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if (dom.element(*it) != nullptr) stack.push_back(*it);
    }
  };
  push_children(root);
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    out.push_back(id);
    push_children(id);
  }
  return out;
}

std::string norm_text(const Dom& dom, NodeId node) {
  const std::string text = dom.to_text(node);
  std::string out;
  for (std::string_view word : unicode::split_white_space(text)) {
    if (!out.empty()) out += ' ';
    out += word;
  }
  return out;
}

std::optional<NodeId> first_element_child(const Dom& dom, NodeId node) {
  for (NodeId child : dom.node(node).children) {
    if (dom.element(child) != nullptr) return child;
  }
  return std::nullopt;
}

std::optional<NodeId> first_child_tag(const Dom& dom, NodeId node, std::string_view name) {
  for (NodeId child : dom.node(node).children) {
    if (dom.is_tag(child, name)) return child;
  }
  return std::nullopt;
}

std::string_view link_target(const Dom& dom, NodeId link) {
  const std::optional<std::string_view> href = dom.attr(link, "href");
  if (!href || href->size() < 2 || static_cast<unsigned char>((*href)[0]) >= 0x80) return {};
  return href->substr(1);
}

Exporter::Exporter(Dom dom, const HtmlExportOptions& options)
    : dom_(std::move(dom)), options_(options), resolver_(options.reftypes) {}

bool Exporter::in_document(NodeId node) const {
  while (true) {
    if (node == 0) return true;
    if (splices_.is_cut(node)) return false;
    const auto& parent = dom_.node(node).parent;
    if (!parent) return false;
    node = *parent;
  }
}

void Exporter::replace_with_fragment(NodeId old, std::string_view html) {
  const Dom fragment = fast5ever::dom::parse_fragment(html);
  splices_.replace(*dom_.node(old).parent, old, {dom_.import(fragment, 0)});
}

std::optional<Failure> Exporter::run() {
  rewrite_panels();
  take_elements();
  copy_data_ids();
  if (options_.auto_ids) generate_ids();
  // The references are found before the targets are registered, which looks only for theirs;
  // finding them changes nothing.
  find_refs();
  register_targets();
  if (auto failure = rewrite_refs()) return failure;
  if (!options_.id_prefix.empty() || !options_.fn_salt.empty()) prefix_ids();
  splice_raw_payloads();
  if (auto failure = apply_column_widths()) return failure;
  if (auto failure = highlight_code()) return failure;
  if (options_.toc) insert_toc();
  return std::nullopt;
}

Outcome<ExportOutput> export_html(std::string_view src, const HtmlExportOptions& options) {
  fault_point(src);
  Exporter exporter(fast5ever::dom::parse_fragment(src), options);
  if (std::optional<Failure> failure = exporter.run()) return std::move(*failure);
  ExportOutput output;
  output.html = exporter.dom().to_html(0);
  output.warnings = std::move(exporter.warnings());
  return output;
}

}  // namespace vedavi::exporter
