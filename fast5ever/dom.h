// The editable HTML tree: an arena of nodes naming each other by index, its reads and its edits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "fast5ever/child_list.h"
#include "html5/names.h"
#include "html5/tree_sink.h"

namespace fast5ever::dom {

using html5::Attribute;
using html5::QualName;

// A NodeId (child_list.h) indexes `Dom::nodes`; stable for the life of the Dom, since records are
// never removed.

struct Document {};

struct Doctype {
  std::string name;
  std::string public_id;
  std::string system_id;
};

struct Text {
  std::string text;
};

struct Comment {
  std::string text;
};

struct Element {
  QualName name;
  std::vector<Attribute> attrs;  // source order; duplicates are kept
  // The Document node holding a `template` element's contents; never a child of anything.
  std::optional<NodeId> template_contents;
};

struct ProcessingInstruction {
  std::string target;
  std::string data;
};

using NodeData = std::variant<Document, Doctype, Text, Comment, Element, ProcessingInstruction>;

struct Node {
  std::optional<NodeId> parent;  // absent for roots, detached nodes and template contents
  ChildList children;
  NodeData data;
};

enum class DomError : std::uint8_t { NotAChild, WouldCycle, NotAnElement, NotTextual };

// The variant's name: "NotAChild", "WouldCycle", "NotAnElement", "NotTextual".
std::string_view to_string(DomError error);

// A value or the DomError of a failed edit.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
  Result(DomError error) : error_(error) {}      // NOLINT
  bool has_value() const { return !error_.has_value(); }
  explicit operator bool() const { return has_value(); }
  const T& value() const { return value_; }
  T& value() { return value_; }
  DomError error() const { return *error_; }

 private:
  T value_{};
  std::optional<DomError> error_;
};

struct Ok {};
using Status = Result<Ok>;

// The attribute's display name: "prefix:local" when it has a non-empty prefix, else the local name.
// Every lookup by attribute name compares against this, byte for byte.
std::string attr_name(const Attribute& attr);
bool attr_name_is(const Attribute& attr, std::string_view name);

struct Dom {
  std::vector<Node> nodes;
  html5::QuirksMode quirks_mode = html5::QuirksMode::NoQuirks;

  // A tree holding node 0, an empty Document.
  Dom();

  // Reads. Every id is checked against the arena; one outside it is an internal failure
  // (vedavi::InternalError naming module dom), as is every broken contract below.
  const Node& node(NodeId id) const;
  Node& node_mut(NodeId id);
  // The children a walk enters: for a template element, its contents' children; else its own.
  const ChildList& walk_children(NodeId id) const;
  // The node and everything below it in document order; a template continues into its contents
  // (the contents node itself is not listed).
  std::vector<NodeId> descendants(NodeId id) const;
  std::vector<NodeId> element_children(NodeId id) const;
  std::optional<std::string_view> tag(NodeId id) const;  // local name, any namespace
  bool is_tag(NodeId id, std::string_view local) const;   // HTML namespace only
  std::optional<std::string_view> attr(NodeId id, std::string_view name) const;
  bool has_class(NodeId id, std::string_view class_name) const;

  // Edits. Nodes are never removed from the arena: an unlinked node keeps its id and subtree.
  NodeId create_text(std::string_view text);
  NodeId create_element(std::string_view local,
                        const std::vector<std::pair<std::string, std::string>>& attrs = {});
  // Moves `node` under `parent`, before `before` or last. A Document node moves its children
  // instead and stays, childless. WouldCycle, with nothing changed, when `node` is `parent` or an
  // ancestor of it (climbing from a template's contents to the template; a Document node may be
  // re-inserted into itself). NotAChild when `before` is not a child of `parent`: `node` has
  // then already left its old place and stays unlinked.
  Status insert_before(NodeId parent, NodeId node, std::optional<NodeId> before = std::nullopt);
  // Puts `new_child` (a Document: its children) where `old_child` is and unlinks `old_child`;
  // nothing happens when the two are the same node.
  Status replace_child(NodeId parent, NodeId new_child, NodeId old_child);
  // Moves each of `nodes`, in order, last under `parent`: as `insert_before(parent, node)` for
  // one node after the other, with each former parent's child list passed over once instead of
  // once for each node taken from it. None of `nodes` may be a Document node, nor `parent` or an
  // ancestor of it (checked: WouldCycle, with nothing changed).
  Status append_all(NodeId parent, std::span<const NodeId> nodes);
  void detach(NodeId id);
  void clear_children(NodeId id);
  Status set_attr(NodeId id, std::string_view name, std::string_view value);
  Result<std::optional<std::string>> remove_attr(NodeId id, std::string_view name);
  Status rename(NodeId id, std::string_view local);
  // Deep-copies the subtree of `other` at `id` into this Dom; returns the detached copy's root.
  NodeId import(const Dom& other, NodeId id);

  // Serialisation (serialize.cpp): a Document node yields its children's HTML, any other node
  // itself with its tags; `to_text` concatenates the Text nodes in `descendants` order.
  std::string to_html(NodeId id) const;
  std::string to_text(NodeId id) const;

  // The element record of `id`, or null for any other kind (after the bounds check).
  const Element* element(NodeId id) const;
  Element* element(NodeId id);

 private:
  bool is_document(NodeId id) const;
  bool would_cycle(NodeId parent, NodeId node) const;
};

// Internal failures naming module dom; out of line so that the checks stay small.
[[noreturn, gnu::cold]] void fail_out_of_range(NodeId id, std::size_t size);
[[noreturn, gnu::cold]] void fail(std::string_view message);

inline const Node& Dom::node(NodeId id) const {
  if (id >= nodes.size()) fail_out_of_range(id, nodes.size());
  return nodes[id];
}

inline Node& Dom::node_mut(NodeId id) {
  if (id >= nodes.size()) fail_out_of_range(id, nodes.size());
  return nodes[id];
}

}  // namespace fast5ever::dom
