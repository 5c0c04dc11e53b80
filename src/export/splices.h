// Children replaced during a step, put into their parents once at its end: cutting a child out of
// a long sibling list one at a time searches the list each time, which made a page of many
// top-level code blocks or raw payloads quadratic.
#pragma once

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fast5ever/dom.h"

namespace vedavi::exporter {

using fast5ever::dom::Dom;
using fast5ever::dom::NodeId;

class Splices {
 public:
  // `old` (a child of `parent`) gives way to `nodes` (a Document node hands over its children).
  void replace(NodeId parent, NodeId old, std::vector<NodeId> nodes);
  // `old` gives way to the element `wrapper` and goes inside it, after its children.
  void wrap(NodeId parent, NodeId old, NodeId wrapper);
  // Whether `node` has been replaced (not wrapped) in this step.
  bool is_cut(NodeId node) const { return cut_.contains(node); }
  // Rebuilds each parent's children once, in the order the parents were first named.
  void apply(Dom& dom);

 private:
  struct Splice {
    std::vector<NodeId> nodes;
    std::optional<NodeId> wrapper;
  };
  void add(NodeId parent, NodeId old, Splice splice);

  std::vector<NodeId> parents_;
  std::unordered_set<NodeId> seen_parents_;
  std::unordered_map<NodeId, Splice> by_old_;
  std::unordered_set<NodeId> cut_;
};

}  // namespace vedavi::exporter
