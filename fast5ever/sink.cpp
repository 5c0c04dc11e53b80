// The tree sink: the tree builder's appends, inserts and moves carried out on a Dom's arena.
#include "fast5ever/sink.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace fast5ever::dom {

namespace {

// Where `node` sits among `siblings`, or siblings.size(). A node is listed at most once, and the
// tree builder works at the end of a child list (foster parenting inserts right before an open
// table, the adoption agency moves the last nodes), so the search runs from the back; from the
// front, every foster-parented node would cost a scan of all the siblings before it.
std::size_t position(const ChildList& siblings, NodeId node) {
  for (std::size_t i = siblings.size(); i > 0; --i) {
    if (siblings[i - 1] == node) return i - 1;
  }
  return siblings.size();
}

}  // namespace

// Builds the record in place: a node is large, and each move of its data copies the names.
template <class T, class... Args>
html5::Handle Sink::push(Args&&... args) {
  // Handles are 32 bits wide; the input length limit keeps parses far below that.
  if (dom_.nodes.size() >= std::numeric_limits<html5::Handle>::max()) {
    fail("too many nodes for the tree builder's handles");
  }
  Node& node = dom_.nodes.emplace_back();
  if constexpr (std::is_constructible_v<T, Args&&...>) {
    node.data.emplace<T>(std::forward<Args>(args)...);
  } else {  // compilers without parenthesised aggregate initialisation (clang before 16)
    node.data.emplace<T>(T{std::forward<Args>(args)...});
  }
  return static_cast<html5::Handle>(dom_.nodes.size() - 1);
}

Sink::Place Sink::parent_and_index(NodeId node) const {
  const std::optional<NodeId> parent = dom_.node(node).parent;
  if (!parent) fail("sibling has no parent");
  const ChildList& siblings = dom_.node(*parent).children;
  const std::size_t index = position(siblings, node);
  if (index == siblings.size()) fail("sibling not among its parent's children");
  return Place{*parent, index};
}

void Sink::detach(NodeId node) {
  std::optional<NodeId> parent = dom_.node(node).parent;
  dom_.nodes[node].parent.reset();
  if (!parent) return;
  ChildList& siblings = dom_.node_mut(*parent).children;
  const std::size_t index = position(siblings, node);
  if (index < siblings.size()) {
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(index));
  }
}

void Sink::insert_at(NodeId parent, std::size_t index, NodeId child) {
  dom_.node_mut(child).parent = parent;
  ChildList& siblings = dom_.node_mut(parent).children;
  if (index == siblings.size()) {
    siblings.push_back(child);
  } else {
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(index), child);
  }
}

Text* Sink::text_of(NodeId id) { return std::get_if<Text>(&dom_.node_mut(id).data); }

const QualName& Sink::elem_name(html5::Handle element) const {
  const Element* el = dom_.element(element);
  if (!el) fail("elem_name called on a non-element node");
  return el->name;
}

html5::Handle Sink::create_element(QualName name, std::vector<Attribute> attrs,
                                   html5::ElementFlags) {
  std::optional<NodeId> contents;
  if (name.is_html("template")) contents = push<Document>();
  return push<Element>(std::move(name), std::move(attrs), contents);
}

html5::Handle Sink::create_comment(std::string_view text) {
  return push<Comment>(std::string(text));
}

void Sink::append(html5::Handle parent, html5::NodeOrText child) {
  if (!child.is_text) {
    // The tree builder only appends detached nodes; detaching anyway keeps a node from ever being
    // listed under two parents.
    detach(child.node);
    insert_at(parent, dom_.node(parent).children.size(), child.node);
    return;
  }
  const ChildList& siblings = dom_.node(parent).children;
  if (!siblings.empty()) {
    if (Text* last = text_of(siblings.back())) {
      last->text += child.text;
      return;
    }
  }
  const NodeId text = push<Text>(std::string(child.text));  // `siblings` is stale from here
  insert_at(parent, dom_.nodes[parent].children.size(), text);
}

void Sink::append_before_sibling(html5::Handle sibling, html5::NodeOrText child) {
  if (child.is_text) {
    const Place place = parent_and_index(sibling);
    if (place.index > 0) {
      if (Text* previous = text_of(dom_.nodes[place.parent].children[place.index - 1])) {
        previous->text += child.text;
        return;
      }
    }
    insert_at(place.parent, place.index, push<Text>(std::string(child.text)));
    return;
  }
  // Detach first, so a node that sat earlier under the same parent lands right before `sibling`.
  detach(child.node);
  const Place place = parent_and_index(sibling);
  insert_at(place.parent, place.index, child.node);
}

void Sink::append_based_on_parent_node(html5::Handle element, html5::Handle prev_element,
                                       html5::NodeOrText child) {
  if (dom_.node(element).parent) {
    append_before_sibling(element, child);
  } else {
    append(prev_element, child);
  }
}

void Sink::append_doctype_to_document(std::string_view name, std::string_view public_id,
                                      std::string_view system_id) {
  NodeId doctype =
      push<Doctype>(std::string(name), std::string(public_id), std::string(system_id));
  insert_at(0, dom_.node(0).children.size(), doctype);
}

html5::Handle Sink::get_template_contents(html5::Handle target) {
  const Element* el = dom_.element(target);
  if (!el || !el->template_contents) fail("get_template_contents called on a non-template node");
  return static_cast<html5::Handle>(*el->template_contents);
}

// Compares whole qualified names (prefix, namespace and local name); attributes added earlier in
// the same call count as present.
void Sink::add_attrs_if_missing(html5::Handle target, std::vector<Attribute> attrs) {
  Element* el = dom_.element(target);
  if (!el) return;
  for (Attribute& attr : attrs) {
    bool present = std::any_of(el->attrs.begin(), el->attrs.end(),
                               [&](const Attribute& have) { return have.name == attr.name; });
    if (!present) el->attrs.push_back(std::move(attr));
  }
}

// Appends the children at the end of the new parent without merging text where the lists meet.
void Sink::reparent_children(html5::Handle node, html5::Handle new_parent) {
  dom_.node(new_parent);
  ChildList moving = std::move(dom_.node_mut(node).children);
  dom_.nodes[node].children.clear();
  for (NodeId child : moving) dom_.node(child);
  for (NodeId child : moving) dom_.nodes[child].parent = new_parent;
  ChildList& target = dom_.nodes[new_parent].children;
  target.insert(target.end(), moving.begin(), moving.end());
}

}  // namespace fast5ever::dom
