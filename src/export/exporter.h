// The state of one export and its steps. Each step lives in the file of its concern; pipeline.cpp
// runs them in order. Node ids stay valid to the end: the Dom never frees a node.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/outcome.h"
#include "base/seeded_hash.h"
#include "export/export.h"
#include "export/splices.h"
#include "fast5ever/dom.h"
#include "resolve/resolve.h"

namespace vedavi::exporter {

using fast5ever::dom::Dom;
using fast5ever::dom::NodeId;

// The ids of the elements at and below the element children of `root`, in document order
// (template contents are not entered). Walks with an explicit stack.
std::vector<NodeId> element_list(const Dom& dom, NodeId root);

// The node's text split at white space and joined with single spaces.
std::string norm_text(const Dom& dom, NodeId node);

// The first element child of `node`, whatever its name.
std::optional<NodeId> first_element_child(const Dom& dom, NodeId node);
// The first element child of `node` that is the HTML element `name`.
std::optional<NodeId> first_child_tag(const Dom& dom, NodeId node, std::string_view name);

// A reference's target: the href after its first byte when that byte is a whole character and
// something follows it, else "".
std::string_view link_target(const Dom& dom, NodeId link);

// Tree edits the exporter makes only where they cannot fail; a failure is a bug.
[[noreturn, gnu::cold]] void edit_failed(fast5ever::dom::DomError error);
inline void must(fast5ever::dom::Status status) {
  if (!status) edit_failed(status.error());
}
template <class T>
T must(fast5ever::dom::Result<T> result) {
  if (!result) edit_failed(result.error());
  return std::move(result.value());
}

// A parsed cross-reference: its target id and its tokens.
struct ParsedRef {
  std::string target;
  RefTokens tokens;
};

class Exporter {
 public:
  Exporter(Dom dom, const HtmlExportOptions& options);

  // The twelve steps in order; the first failure ends the run, leaving the tree half rewritten.
  std::optional<Failure> run();

  Dom& dom() { return dom_; }
  std::vector<std::string>& warnings() { return warnings_; }

 private:
  // Steps 1 to 5: panels.cpp, ids.cpp.
  void rewrite_panels();
  void take_elements();
  void copy_data_ids();
  void generate_ids();
  void register_targets();
  bool is_referenced(std::string_view id) const { return referenced_.contains(id); }
  // Steps 6 and 7: xrefs.cpp, numbering.cpp.
  void find_refs();
  std::optional<Failure> rewrite_refs();
  void bake_ids();
  std::optional<Failure> resolve_refs();
  Outcome<ParsedRef> parse_ref(NodeId link) const;
  Outcome<std::pair<std::string, std::string>> resolve_ref(NodeId link, bool show_prefix,
                                                           bool plural) const;
  void set_ref(NodeId link, std::string_view text);
  void bake_id(NodeId link);
  void replace_group_children(NodeId group, const std::vector<NodeId>& collected);
  std::optional<Failure> number_headings(const std::vector<ParsedRef>& refs);
  void number_captions();
  // Steps 8 and 9: prefixes.cpp, raw_payloads.cpp.
  void prefix_ids();
  void splice_raw_payloads();
  // Step 10: colwidths.cpp.
  std::optional<Failure> apply_column_widths();
  // Step 11: code.cpp.
  std::optional<Failure> highlight_code();
  std::optional<Failure> highlight_block(NodeId pre);
  void apply_spans(NodeId code, std::string_view html);
  // Step 12: toc.cpp.
  void insert_toc();

  // Whether `node` still hangs below the document root, and is not replaced in this step: steps
  // that need a node's place skip the ones cut off.
  bool in_document(NodeId node) const;
  // At the end of the step, the top-level nodes of the HTML fragment `html` take the place of
  // `old` (which must be in the document).
  void replace_with_fragment(NodeId old, std::string_view html);

  Dom dom_;
  const HtmlExportOptions& options_;
  Resolver resolver_;
  std::vector<std::string> warnings_;
  std::vector<NodeId> elements_;  // taken at step 2; later steps iterate this list
  std::vector<NodeId> headings_;
  // Step 6: the reference groups, all their links, and the links outside any group.
  std::vector<NodeId> groups_;
  std::vector<std::vector<NodeId>> group_links_;
  std::vector<NodeId> singles_;
  // Step 5: the target of every reference (the ids the registry is asked about).
  std::unordered_set<std::string, SeededHash, std::equal_to<>> referenced_;
  bool has_highlighter_warning_ = false;
  Splices splices_;  // the replacements of the running step
};

}  // namespace vedavi::exporter
