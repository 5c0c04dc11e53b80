// The editable HTML tree: node reads, attribute lookups and the edits that keep the tree sound.
#include "fast5ever/dom.h"

#include <algorithm>
#include <string>

#include "base/internal_error.h"

namespace fast5ever::dom {

void fail_out_of_range(NodeId id, std::size_t size) {
  vedavi::internal_failure("dom: node id " + std::to_string(id) +
                           " out of range (the arena holds " + std::to_string(size) + " nodes)");
}

void fail(std::string_view message) { vedavi::internal_failure("dom: " + std::string(message)); }

std::string_view to_string(DomError error) {
  switch (error) {
    case DomError::NotAChild: return "NotAChild";
    case DomError::WouldCycle: return "WouldCycle";
    case DomError::NotAnElement: return "NotAnElement";
    case DomError::NotTextual: return "NotTextual";
  }
  return "DomError";
}

std::string attr_name(const Attribute& attr) {
  if (attr.name.prefix.empty()) return attr.name.local;
  return attr.name.prefix + ":" + attr.name.local;
}

bool attr_name_is(const Attribute& attr, std::string_view name) {
  const std::string& prefix = attr.name.prefix;
  const std::string& local = attr.name.local;
  if (prefix.empty()) return name == local;
  return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
         name[prefix.size()] == ':' && name.ends_with(local);
}

namespace {

const Attribute* find_attr(const Element& element, std::string_view name) {
  for (const Attribute& attr : element.attrs) {
    if (attr_name_is(attr, name)) return &attr;
  }
  return nullptr;
}

constexpr bool is_class_separator(char c) {
  return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

QualName html_name(std::string_view local) {
  return QualName{"", html5::Namespace::Html, std::string(local)};
}

QualName plain_attr_name(std::string_view name) {
  return QualName{"", html5::Namespace::None, std::string(name)};
}

}  // namespace

Dom::Dom() { nodes.push_back(Node{std::nullopt, {}, Document{}}); }

const Element* Dom::element(NodeId id) const { return std::get_if<Element>(&node(id).data); }

Element* Dom::element(NodeId id) { return std::get_if<Element>(&node_mut(id).data); }

bool Dom::is_document(NodeId id) const { return std::holds_alternative<Document>(node(id).data); }

// ---- Reads ----------------------------------------------------------------------------------

const ChildList& Dom::walk_children(NodeId id) const {
  const Node& n = node(id);
  if (const auto* el = std::get_if<Element>(&n.data); el && el->template_contents) {
    return node(*el->template_contents).children;
  }
  return n.children;
}

std::vector<NodeId> Dom::descendants(NodeId id) const {
  std::vector<NodeId> out;
  std::vector<NodeId> stack{id};
  while (!stack.empty()) {
    const NodeId current = stack.back();
    stack.pop_back();
    out.push_back(current);
    const ChildList& children = walk_children(current);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return out;
}

std::vector<NodeId> Dom::element_children(NodeId id) const {
  std::vector<NodeId> out;
  for (NodeId child : node(id).children) {
    if (element(child)) out.push_back(child);
  }
  return out;
}

std::optional<std::string_view> Dom::tag(NodeId id) const {
  if (const Element* el = element(id)) return std::string_view(el->name.local);
  return std::nullopt;
}

bool Dom::is_tag(NodeId id, std::string_view local) const {
  const Element* el = element(id);
  return el && el->name.is_html(local);
}

std::optional<std::string_view> Dom::attr(NodeId id, std::string_view name) const {
  const Element* el = element(id);
  if (!el) return std::nullopt;
  if (const Attribute* found = find_attr(*el, name)) return std::string_view(found->value);
  return std::nullopt;
}

bool Dom::has_class(NodeId id, std::string_view class_name) const {
  const Element* el = element(id);
  if (!el || class_name.empty()) return false;
  const Attribute* classes = find_attr(*el, "class");
  if (!classes) return false;
  std::string_view rest = classes->value;
  while (!rest.empty()) {
    std::size_t begin = 0;
    while (begin < rest.size() && is_class_separator(rest[begin])) ++begin;
    std::size_t end = begin;
    while (end < rest.size() && !is_class_separator(rest[end])) ++end;
    if (rest.substr(begin, end - begin) == class_name) return true;
    rest.remove_prefix(end);
  }
  return false;
}

// ---- Edits ----------------------------------------------------------------------------------

NodeId Dom::create_text(std::string_view text) {
  nodes.push_back(Node{std::nullopt, {}, Text{std::string(text)}});
  return nodes.size() - 1;
}

NodeId Dom::create_element(std::string_view local,
                           const std::vector<std::pair<std::string, std::string>>& attrs) {
  Element el{html_name(local), {}, std::nullopt};
  el.attrs.reserve(attrs.size());
  for (const auto& [name, value] : attrs) {
    el.attrs.push_back(Attribute{plain_attr_name(name), value});
  }
  nodes.push_back(Node{std::nullopt, {}, std::move(el)});
  return nodes.size() - 1;
}

// Whether `node` is `parent` or one of its ancestors. The climb also leaves a template's contents
// for the template element that owns them: putting a template inside its own contents would
// otherwise loop every walk that enters the contents.
bool Dom::would_cycle(NodeId parent, NodeId node_id) const {
  NodeId current = parent;
  for (std::size_t steps = 0; steps <= nodes.size(); ++steps) {
    if (current == node_id) return true;
    const Node& n = node(current);
    if (n.parent) {
      current = *n.parent;
      continue;
    }
    if (current == 0 || !std::holds_alternative<Document>(n.data)) return false;
    // A parentless Document other than the root may be a template's contents: find its owner.
    // The parser creates the owner right after its contents, so look there first.
    auto owns = [&](NodeId id) {
      const auto* el = std::get_if<Element>(&nodes[id].data);
      return el && el->template_contents == current;
    };
    NodeId owner = current + 1;
    if (owner >= nodes.size() || !owns(owner)) {
      owner = 0;
      while (owner < nodes.size() && !owns(owner)) ++owner;
      if (owner == nodes.size()) return false;
    }
    current = owner;
  }
  fail("parent links form a cycle");
}

Status Dom::insert_before(NodeId parent, NodeId node_id, std::optional<NodeId> before) {
  node(parent);
  if (before) node(*before);
  // A Document node passes its children on, so it may be re-inserted into itself; below itself it
  // would make the tree cyclic like any other node.
  const bool moves_children = is_document(node_id);
  if (moves_children ? parent != node_id && would_cycle(parent, node_id)
                     : would_cycle(parent, node_id)) {
    return DomError::WouldCycle;
  }

  ChildList moving;
  if (moves_children) {
    moving = std::move(node_mut(node_id).children);
    node_mut(node_id).children.clear();
    for (NodeId child : moving) node_mut(child).parent.reset();
  } else {
    detach(node_id);
    moving.push_back(node_id);
  }

  ChildList& siblings = node_mut(parent).children;
  auto at = siblings.end();
  if (before) {
    at = std::find(siblings.begin(), siblings.end(), *before);
    if (at == siblings.end()) return DomError::NotAChild;
  }
  siblings.insert(at, moving.begin(), moving.end());
  for (NodeId moved : moving) node_mut(moved).parent = parent;
  return Ok{};
}

Status Dom::replace_child(NodeId parent, NodeId new_child, NodeId old_child) {
  node(parent);
  node(old_child);
  if (new_child == old_child) {
    node(new_child);
    return Ok{};
  }
  Status inserted = insert_before(parent, new_child, old_child);
  if (inserted) detach(old_child);
  return inserted;
}

Status Dom::append_all(NodeId parent, std::span<const NodeId> nodes) {
  node(parent);
  if (nodes.empty()) return Ok{};
  for (const NodeId id : nodes) {
    if (is_document(id) || would_cycle(parent, id)) return DomError::WouldCycle;
  }
  // A node listed twice ends where its last move puts it.
  std::vector<bool> moving(this->nodes.size(), false);
  std::vector<NodeId> order;
  for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
    if (!moving[*it]) order.push_back(*it);
    moving[*it] = true;
  }
  std::reverse(order.begin(), order.end());
  for (const NodeId id : order) {
    const std::optional<NodeId> from = node(id).parent;
    if (!from || !moving[id]) continue;  // unlinked, or taken out with a sibling before it
    ChildList& siblings = node_mut(*from).children;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [&](NodeId child) {
                                    if (!moving[child]) return false;
                                    moving[child] = false;
                                    return true;
                                  }),
                   siblings.end());
  }
  ChildList& children = node_mut(parent).children;
  for (const NodeId id : order) {
    node_mut(id).parent = parent;
    children.push_back(id);
  }
  return Ok{};
}

void Dom::detach(NodeId id) {
  Node& n = node_mut(id);
  if (!n.parent) return;
  NodeId parent = *n.parent;
  n.parent.reset();
  ChildList& siblings = node_mut(parent).children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
}

void Dom::clear_children(NodeId id) {
  ChildList former = std::move(node_mut(id).children);
  node_mut(id).children.clear();
  for (NodeId child : former) node_mut(child).parent.reset();
}

Status Dom::set_attr(NodeId id, std::string_view name, std::string_view value) {
  Element* el = element(id);
  if (!el) return DomError::NotAnElement;
  for (Attribute& attr : el->attrs) {
    if (attr_name_is(attr, name)) {
      attr.value.assign(value);
      return Ok{};
    }
  }
  el->attrs.push_back(Attribute{plain_attr_name(name), std::string(value)});
  return Ok{};
}

Result<std::optional<std::string>> Dom::remove_attr(NodeId id, std::string_view name) {
  Element* el = element(id);
  if (!el) return DomError::NotAnElement;
  auto found = std::find_if(el->attrs.begin(), el->attrs.end(),
                            [&](const Attribute& attr) { return attr_name_is(attr, name); });
  if (found == el->attrs.end()) return std::optional<std::string>{};
  std::optional<std::string> old = std::move(found->value);
  el->attrs.erase(found);
  return old;
}

Status Dom::rename(NodeId id, std::string_view local) {
  Element* el = element(id);
  if (!el) return DomError::NotAnElement;
  el->name = html_name(local);
  return Ok{};
}

// Copies are numbered as a recursive copy would number them: a template's contents first, then
// the node, then its children's subtrees in order. Each frame is one node being copied; a
// finished frame hands its copy to the frame below, as contents or as the next child.
NodeId Dom::import(const Dom& other, NodeId id) {
  struct Frame {
    explicit Frame(NodeId from) : source(from) {}
    NodeId source;
    std::optional<NodeId> copy;      // set once the node itself is appended
    std::optional<NodeId> contents;  // the copied template contents
    bool contents_started = false;
    std::size_t next_child = 0;
  };
  other.node(id);
  std::vector<Frame> stack{Frame{id}};
  NodeId finished = 0;
  while (true) {
    Frame& frame = stack.back();
    const Node& source = other.node(frame.source);
    if (!frame.copy) {
      const auto* el = std::get_if<Element>(&source.data);
      if (el && el->template_contents && !frame.contents_started) {
        frame.contents_started = true;
        NodeId contents = *el->template_contents;
        other.node(contents);
        stack.push_back(Frame{contents});
        continue;
      }
      NodeData data = source.data;  // copied before the push: `other` may be this Dom
      if (auto* copy_el = std::get_if<Element>(&data)) copy_el->template_contents = frame.contents;
      nodes.push_back(Node{std::nullopt, {}, std::move(data)});
      frame.copy = nodes.size() - 1;
    }
    const Node& source_now = other.node(frame.source);
    if (frame.next_child < source_now.children.size()) {
      NodeId child = source_now.children[frame.next_child++];
      other.node(child);
      stack.push_back(Frame{child});
      continue;
    }
    finished = *frame.copy;
    stack.pop_back();
    if (stack.empty()) return finished;
    Frame& below = stack.back();
    if (!below.copy) {
      below.contents = finished;
    } else {
      nodes[finished].parent = *below.copy;
      nodes[*below.copy].children.push_back(finished);
    }
  }
}

}  // namespace fast5ever::dom
