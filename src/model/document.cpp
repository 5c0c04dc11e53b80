// The document tree: kind names, attribute access, and the non-recursive copy of node lists.
#include "model/document.h"

#include <array>
#include <cassert>

namespace vedavi {
namespace {

constexpr std::array<std::string_view, kBlockKindCount> kBlockKindNames = {
    "paragraph", "heading",        "panel_title", "block_quote",    "list",
    "definition_list", "code_block", "html_block", "thematic_break", "table",
    "div",       "math_block",     "figure",      "template_token", "raw_block",
    "script_block",
};

constexpr std::array<std::string_view, kInlineKindCount> kInlineKindNames = {
    "text",        "soft_break", "hard_break",   "emph",           "strong",
    "strike",      "superscript", "subscript",   "highlight",      "code",
    "link",        "image",      "autolink",     "html_inline",    "operation",
    "template_token", "math_inline", "footnote_ref", "note",       "span",
    "raw_inline",
};

static_assert(std::variant_size_v<Block::Data> == kBlockKindCount);
static_assert(std::variant_size_v<Inline::Data> == kInlineKindCount);
static_assert(std::is_nothrow_move_constructible_v<Block>);
static_assert(std::is_nothrow_move_constructible_v<Inline>);
// Nodes live in an arena that is freed without visiting them.
static_assert(std::is_trivially_destructible_v<Block>);
static_assert(std::is_trivially_destructible_v<Inline>);

// The child lists that hang directly off one node (without passing through another list), in a
// fixed order, so that a node and its copy yield corresponding lists.
struct ChildLists {
  std::vector<Blocks*> blocks;
  std::vector<Inlines*> inlines;
  void clear() {
    blocks.clear();
    inlines.clear();
  }
};

// Calls `f` with the node's alternative, unboxed; a moved-from box is skipped, so that walks
// over dying lists neither read nor allocate an empty value.
template <class Node, class F>
void visit_held(Node& node, F&& f) {
  std::visit(
      [&](auto& alternative) {
        using Held = std::decay_t<decltype(alternative)>;
        if constexpr (!std::is_same_v<typename detail::Unboxed<Held>::type, Held>) {
          if (auto* value = alternative.get()) f(*value);
        } else {
          f(alternative);
        }
      },
      node.data);
}

void collect(Inline& node, ChildLists& out) {
  visit_held(
      node,
      [&](auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Inline::Operation>) {
          for (auto& arg : x.args) out.inlines.push_back(&arg.value);
        } else if constexpr (requires { x.children; }) {
          out.inlines.push_back(&x.children);
        }
      });
}

void collect_rows(ArenaVector<TableRow>& rows, ChildLists& out) {
  for (auto& row : rows)
    for (auto& cell : row.cells) out.inlines.push_back(&cell.content);
}

void collect(Block& node, ChildLists& out) {
  visit_held(
      node,
      [&](auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Block::List>) {
          for (auto& item : x.items) out.blocks.push_back(&item.children);
        } else if constexpr (std::is_same_v<T, Block::DefinitionList>) {
          for (auto& item : x.items) {
            for (auto& term : item.terms) out.inlines.push_back(&term.inlines);
            for (auto& def : item.definitions) out.inlines.push_back(&def);
          }
        } else if constexpr (std::is_same_v<T, Block::Table>) {
          collect_rows(x.head_rows, out);
          collect_rows(x.rows, out);
          collect_rows(x.foot_rows, out);
          out.inlines.push_back(&x.caption);
          for (auto& token : x.tokens) collect(token.token, out);
        } else if constexpr (std::is_same_v<T, Block::Figure>) {
          out.inlines.push_back(&x.caption);
          collect(x.image, out);
        } else if constexpr (requires { x.children; }) {
          out.blocks.push_back(&x.children);
        } else if constexpr (requires { x.inlines; }) {
          out.inlines.push_back(&x.inlines);
        }
      });
}

// Nesting depth of node-list copies running on this thread: up to the limit a list copies its
// nodes directly, deeper ones are copied by `DeepCopy` level by level.
thread_local std::size_t t_copy_depth = 0;
constexpr std::size_t kCopyDepthLimit = 64;

class CopyDepthScope {
 public:
  CopyDepthScope() { ++t_copy_depth; }
  ~CopyDepthScope() { --t_copy_depth; }
  CopyDepthScope(const CopyDepthScope&) = delete;
  CopyDepthScope& operator=(const CopyDepthScope&) = delete;
};

// While set, copying a node list yields an empty list: the deep copy below fills the lists
// itself, level by level, from its own work stack.
thread_local bool t_shallow_copy = false;

class ShallowCopyScope {
 public:
  ShallowCopyScope() : saved_(t_shallow_copy) { t_shallow_copy = true; }
  ~ShallowCopyScope() { t_shallow_copy = saved_; }
  ShallowCopyScope(const ShallowCopyScope&) = delete;
  ShallowCopyScope& operator=(const ShallowCopyScope&) = delete;

 private:
  bool saved_;
};

class DeepCopy {
 public:
  template <class T>
  void run(const NodeList<T>& src, NodeList<T>& dst) {
    ShallowCopyScope scope;
    copy_list(src, dst);
    while (!block_work_.empty() || !inline_work_.empty()) {
      if (!block_work_.empty()) {
        auto [from, to] = block_work_.back();
        block_work_.pop_back();
        descend(*from, *to);
      } else {
        auto [from, to] = inline_work_.back();
        inline_work_.pop_back();
        descend(*from, *to);
      }
    }
  }

 private:
  // Fills `dst` with shallow copies of `src`'s nodes and queues each pair. `dst` is filled once
  // and never grows afterwards, so the queued pointers stay valid.
  void copy_list(const Blocks& src, Blocks& dst) {
    dst.reserve(src.size());
    for (const Block& node : src) dst.push_back(node);
    for (std::size_t i = 0; i < src.size(); ++i) block_work_.emplace_back(&src[i], &dst[i]);
  }
  void copy_list(const Inlines& src, Inlines& dst) {
    dst.reserve(src.size());
    for (const Inline& node : src) dst.push_back(node);
    for (std::size_t i = 0; i < src.size(); ++i) inline_work_.emplace_back(&src[i], &dst[i]);
  }

  template <class Node>
  void descend(const Node& from, Node& to) {
    from_lists_.clear();
    to_lists_.clear();
    // `collect` only takes addresses; the source is not changed.
    collect(const_cast<Node&>(from), from_lists_);
    collect(to, to_lists_);
    assert(from_lists_.blocks.size() == to_lists_.blocks.size());
    assert(from_lists_.inlines.size() == to_lists_.inlines.size());
    for (std::size_t i = 0; i < from_lists_.blocks.size(); ++i)
      copy_list(*from_lists_.blocks[i], *to_lists_.blocks[i]);
    for (std::size_t i = 0; i < from_lists_.inlines.size(); ++i)
      copy_list(*from_lists_.inlines[i], *to_lists_.inlines[i]);
  }

  std::vector<std::pair<const Block*, Block*>> block_work_;
  std::vector<std::pair<const Inline*, Inline*>> inline_work_;
  ChildLists from_lists_;
  ChildLists to_lists_;
};

}  // namespace

template <class T>
NodeList<T>::NodeList(const NodeList& other) : ArenaVector<T>() {
  if (t_shallow_copy || other.empty()) return;
  if (t_copy_depth < kCopyDepthLimit) {
    // Shallow trees, nearly all of them, copy the ordinary way, node by node.
    CopyDepthScope scope;
    this->assign(other.begin(), other.end());
    return;
  }
  DeepCopy().run(other, *this);
}

template <class T>
NodeList<T>& NodeList<T>::operator=(const NodeList& other) {
  if (this != &other) {
    NodeList copy(other);
    this->swap(copy);
  }
  return *this;
}

template class NodeList<Block>;
template class NodeList<Inline>;

std::string_view align_name(Align align) {
  switch (align) {
    case Align::Left: return "left";
    case Align::Center: return "center";
    case Align::Right: return "right";
    case Align::None: break;
  }
  return "";
}

std::string_view kind_name(InlineKind kind) {
  return kInlineKindNames[static_cast<std::size_t>(kind)];
}
std::string_view kind_name(BlockKind kind) {
  return kBlockKindNames[static_cast<std::size_t>(kind)];
}
std::string_view Inline::kind_name() const { return vedavi::kind_name(kind()); }
std::string_view Block::kind_name() const { return vedavi::kind_name(kind()); }

namespace {

// The node's attributes, children or inline list: a pointer of `Result` (const for a const
// node) to its member `field`, or nullptr for the kinds without it.
template <class Result, class Node, class Field>
Result* member_of(Node& node, Field field) {
  return node.visit([&](auto& x) -> Result* {
    if constexpr (requires { field(x); }) return &field(x);
    else return nullptr;
  });
}

constexpr auto kAttrField = [](auto& x) -> auto& requires requires { x.attr; } { return x.attr; };
constexpr auto kChildrenField = [](auto& x) -> auto& requires requires { x.children; } { return x.children; };
constexpr auto kInlinesField = [](auto& x) -> auto& requires requires { x.inlines; } { return x.inlines; };

}  // namespace

Attr* Inline::attr() { return member_of<Attr>(*this, kAttrField); }
const Attr* Inline::attr() const { return member_of<const Attr>(*this, kAttrField); }
Attr* Block::attr() { return member_of<Attr>(*this, kAttrField); }
const Attr* Block::attr() const { return member_of<const Attr>(*this, kAttrField); }

Inlines* Inline::children() { return member_of<Inlines>(*this, kChildrenField); }
const Inlines* Inline::children() const { return member_of<const Inlines>(*this, kChildrenField); }

Inlines* Block::inlines() { return member_of<Inlines>(*this, kInlinesField); }
const Inlines* Block::inlines() const { return member_of<const Inlines>(*this, kInlinesField); }

Blocks* Block::children() { return member_of<Blocks>(*this, kChildrenField); }
const Blocks* Block::children() const { return member_of<const Blocks>(*this, kChildrenField); }

}  // namespace vedavi
