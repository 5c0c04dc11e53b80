// The stack of open elements and its indexes: per kind, per scope boundary and per name, the
// positions of the open elements, so that "is there one in scope" and "which is the nearest" are
// answered without walking the stack.
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <string>

#include "html5/tree_builder.h"

namespace html5 {

const TreeBuilder::OpenElement& TreeBuilder::adjusted_current() const {
  if (context_ && open_.size() == 1) return *context_;
  return open_.back();
}

namespace {

// The marks each kind carries, apart from kMarkHtml (which depends on the namespace).
constexpr std::array<std::uint8_t, kKindCount> kMarksOfKind = [] {
  std::array<std::uint8_t, kKindCount> table{};
  for (std::size_t i = 0; i < kKindCount; ++i) {
    auto kind = static_cast<Kind>(i);
    std::uint32_t flags = kind_flags(kind);
    unsigned marks = 0;
    if (flags & kScopeDefault) marks |= 1u << 0 | 1u << 1 | 1u << 2;  // every scope but table
    if (flags & kScopeListItem) marks |= 1u << 1;
    if (flags & kScopeButton) marks |= 1u << 2;
    if (flags & kScopeTable) marks |= 1u << 3;
    if (flags & kSpecial) {
      marks |= 1u << 4;
      if (kind != Kind::Address && kind != Kind::Div && kind != Kind::P) marks |= 1u << 5;
    }
    table[i] = static_cast<std::uint8_t>(marks);
  }
  return table;
}();

std::uint8_t marks_of(Kind kind, Namespace ns) {
  unsigned html = ns == Namespace::Html ? 1u << 6 : 0u;
  return static_cast<std::uint8_t>(kMarksOfKind[static_cast<std::size_t>(kind)] | html);
}

}  // namespace

// The key of an element without a kind: its local name, lower-cased for foreign elements (their
// end tags match case-insensitively), behind a byte that keeps HTML and foreign names apart.
std::string TreeBuilder::name_key(const OpenElement& e) const {
  const std::string& local = sink_.elem_name(e.node).local;
  std::string key;
  key.reserve(local.size() + 1);
  key.push_back(e.ns == Namespace::Html ? 'h' : 'f');
  for (char c : local) key.push_back(e.ns != Namespace::Html && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
  return key;
}

std::int64_t TreeBuilder::top_named(std::string_view key) const {
  auto it = named_positions_.find(std::string(key));
  if (it == named_positions_.end() || it->second.empty()) return -1;
  return static_cast<std::int64_t>(it->second.back());
}

void TreeBuilder::index_at(std::size_t pos) {
  OpenElement& e = open_[pos];
  auto p = static_cast<std::uint32_t>(pos);
  e.marks = marks_of(e.kind, e.ns);
  for (unsigned m = e.marks; m != 0; m &= m - 1) marks_[std::countr_zero(m)].push_back(p);
  if (e.kind != Kind::Other) kind_positions_[static_cast<std::size_t>(e.kind)].push_back(p);
  if (e.kind == Kind::Other || e.ns != Namespace::Html) named_positions_[name_key(e)].push_back(p);
  if (e.marks & (1u << kMarkHtml) && has_flag(e.kind, kFormatting)) formatting_open_positions_.set(e.node, p);
}

void TreeBuilder::unindex_at(std::size_t pos) {
  const OpenElement& e = open_[pos];
  for (unsigned m = e.marks; m != 0; m &= m - 1) marks_[std::countr_zero(m)].pop_back();
  if (e.kind != Kind::Other) kind_positions_[static_cast<std::size_t>(e.kind)].pop_back();
  if (e.kind == Kind::Other || e.ns != Namespace::Html) {
    auto it = named_positions_.find(name_key(e));
    if (it != named_positions_.end()) {
      it->second.pop_back();
      if (it->second.empty()) named_positions_.erase(it);
    }
  }
  if (e.marks & (1u << kMarkHtml) && has_flag(e.kind, kFormatting)) formatting_open_positions_.erase(e.node);
}

void TreeBuilder::push(const OpenElement& e) {
  open_.push_back(e);
  index_at(open_.size() - 1);
}

void TreeBuilder::pop() {
  assert(!open_.empty());
  unindex_at(open_.size() - 1);
  OpenElement e = open_.back();
  open_.pop_back();
  sink_.pop(e.node);
}

void TreeBuilder::pop_until(Kind k) {
  while (!open_.empty()) {
    bool found = open_.back().kind == k;
    pop();
    if (found) return;
  }
}

void TreeBuilder::pop_until_one_of(std::initializer_list<Kind> kinds) {
  while (!open_.empty()) {
    Kind k = open_.back().kind;
    pop();
    if (std::find(kinds.begin(), kinds.end(), k) != kinds.end()) return;
  }
}

void TreeBuilder::pop_until_node(Handle node) {
  while (!open_.empty()) {
    bool found = open_.back().node == node;
    pop();
    if (found) return;
  }
}

void TreeBuilder::clear_stack_back_to(std::initializer_list<Kind> kinds) {
  while (!open_.empty() &&
         std::find(kinds.begin(), kinds.end(), open_.back().kind) == kinds.end()) {
    pop();
  }
}

// Drops the kind and boundary index entries of positions `index` and up (they sit at the ends of
// their lists), before the stack changes below its top.
void TreeBuilder::unindex_from(std::size_t index) {
  for (std::size_t i = open_.size(); i-- > index;) unindex_at(i);
}

void TreeBuilder::reindex_from(std::size_t index) {
  for (std::size_t i = index; i < open_.size(); ++i) index_at(i);
}

// Removes the element at `from` and puts `last` at `to`, the elements between moving down by one.
// The adoption agency does this with an element of the removed one's kind, so the segment keeps
// its mix of kinds and names: every index list keeps as many entries inside [from, to] and is
// rewritten in place, and the positions above `to` stay valid. This keeps repeated adoptions
// deep in a tall stack from costing the stack's height each.
void TreeBuilder::shift_segment(std::size_t from, std::size_t to, const OpenElement& last) {
  assert(from < to && to < open_.size());
  formatting_open_positions_.erase(open_[from].node);
  sink_.pop(open_[from].node);
  for (std::size_t i = from; i < to; ++i) open_[i] = open_[i + 1];
  open_[to] = last;
  open_[to].marks = marks_of(last.kind, last.ns);

  std::vector<std::pair<std::vector<std::uint32_t>*, std::uint32_t>> slots;
  for (std::size_t i = from; i <= to; ++i) {
    const OpenElement& e = open_[i];
    auto pos = static_cast<std::uint32_t>(i);
    for (unsigned m = e.marks; m != 0; m &= m - 1) slots.emplace_back(&marks_[std::countr_zero(m)], pos);
    if (e.kind != Kind::Other) slots.emplace_back(&kind_positions_[static_cast<std::size_t>(e.kind)], pos);
    if (e.kind == Kind::Other || e.ns != Namespace::Html) slots.emplace_back(&named_positions_[name_key(e)], pos);
    if (e.marks & (1u << kMarkHtml) && has_flag(e.kind, kFormatting)) formatting_open_positions_.set(e.node, pos);
  }
  std::stable_sort(slots.begin(), slots.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < slots.size();) {
    std::vector<std::uint32_t>& list = *slots[i].first;
    auto it = std::lower_bound(list.begin(), list.end(), static_cast<std::uint32_t>(from));
    for (; i < slots.size() && slots[i].first == &list; ++i) {
      assert(it != list.end() && *it <= to);
      *it++ = slots[i].second;
    }
  }
}

void TreeBuilder::remove_open_at(std::size_t index) {
  unindex_from(index);
  Handle node = open_[index].node;
  open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(index));
  reindex_from(index);
  sink_.pop(node);
}

std::optional<std::size_t> TreeBuilder::open_position(Handle node) const {
  if (auto pos = formatting_open_positions_.get(node)) return *pos;
  for (std::size_t i = open_.size(); i-- > 0;) {
    if (open_[i].node == node) return i;
  }
  return std::nullopt;
}

bool TreeBuilder::is_open(Handle node) const {
  // Only formatting elements are asked about; their positions are tracked.
  return formatting_open_positions_.contains(node);
}

bool TreeBuilder::any_in_scope(std::initializer_list<Kind> kinds, Scope s) const {
  std::int64_t top = -1;
  for (Kind k : kinds) top = std::max(top, top_position(k));
  return top >= 0 && top >= top_boundary(s);
}

bool TreeBuilder::node_in_scope(Handle node, Scope s) const {
  auto pos = open_position(node);
  return pos && static_cast<std::int64_t>(*pos) >= top_boundary(s);
}

void TreeBuilder::generate_implied_end_tags(Kind except) {
  while (!open_.empty()) {
    Kind k = open_.back().kind;
    if (k == except || !has_flag(k, kImpliedEnd)) return;
    pop();
  }
}

void TreeBuilder::generate_all_implied_end_tags_thoroughly() {
  while (!open_.empty() && has_flag(open_.back().kind, kThoroughlyImpliedEnd)) pop();
}

}  // namespace html5
