// The list of active formatting elements (markers, the "three identical entries" rule,
// reconstruction) and the adoption agency algorithm that repairs misnested formatting elements.
#include <algorithm>
#include <cassert>
#include <string>
#include <vector>

#include "html5/tree_builder.h"

namespace html5 {

namespace {

// A small index per formatting kind (15 for any other kind), for per-kind counts.
std::size_t formatting_slot(Kind k) {
  switch (k) {
    case Kind::A: return 0;
    case Kind::B: return 1;
    case Kind::Big: return 2;
    case Kind::Code: return 3;
    case Kind::Em: return 4;
    case Kind::Font: return 5;
    case Kind::I: return 6;
    case Kind::Nobr: return 7;
    case Kind::S: return 8;
    case Kind::Small: return 9;
    case Kind::Strike: return 10;
    case Kind::Strong: return 11;
    case Kind::Tt: return 12;
    case Kind::U: return 13;
    default: return 15;
  }
}

}  // namespace

void TreeBuilder::push_marker() {
  FormattingEntry marker;
  marker.is_marker = true;
  marker.id = next_formatting_id_++;
  formatting_.push_back(std::move(marker));
  formatting_index_.set(formatting_.back().id, static_cast<std::uint32_t>(formatting_.size() - 1));
  if (++level_ == level_counts_.size()) level_counts_.emplace_back();
}

// Records the indices of the entries from `index` on, after the list changed there.
void TreeBuilder::index_formatting_from(std::size_t index) {
  for (std::size_t i = index; i < formatting_.size(); ++i) {
    formatting_index_.set(formatting_[i].id, static_cast<std::uint32_t>(i));
  }
}

void TreeBuilder::erase_formatting(std::size_t index) {
  const FormattingEntry& e = formatting_[index];
  if (e.is_marker) {
    // Only the last marker is ever erased, when the list is cleared back to it. Its level is
    // cleared in place for the next marker, but a large signature table is let go, since
    // clearing it would cost its size every time.
    LevelCounts& done = current_level();
    done.entries = 0;
    done.kinds.fill(0);
    done.indexed = false;
    if (done.signatures.bucket_count() > 64) {
      decltype(done.signatures)().swap(done.signatures);
    } else {
      done.signatures.clear();
    }
    for (auto& ids : done.kind_ids) ids.clear();
    if (level_ > 0) --level_;
  } else {
    formatting_node_ids_.erase(e.node);
    LevelCounts& counts = level_counts_[std::min<std::size_t>(e.level, level_)];
    --counts.entries;
    --counts.kinds[formatting_slot(e.kind)];
    if (counts.indexed) {
      auto it = counts.signatures.find(e.signature);
      if (it != counts.signatures.end() && --it->second == 0) counts.signatures.erase(it);
    }
  }
  formatting_index_.erase(e.id);
  formatting_.erase(formatting_.begin() + static_cast<std::ptrdiff_t>(index));
  index_formatting_from(index);
}

void TreeBuilder::clear_formatting_to_marker() {
  while (!formatting_.empty()) {
    bool marker = formatting_.back().is_marker;
    erase_formatting(formatting_.size() - 1);
    if (marker) return;
  }
}

namespace {

bool same_attributes(const std::vector<Attribute>& a, const std::vector<Attribute>& b) {
  if (a.size() != b.size()) return false;
  for (const Attribute& x : a) {
    auto it = std::find_if(b.begin(), b.end(), [&](const Attribute& y) { return y.name == x.name; });
    if (it == b.end() || it->value != x.value) return false;
  }
  return true;
}

// Independent of attribute order, as the comparison it stands in for.
std::uint64_t tag_signature(const Tag& tag) {
  std::hash<std::string_view> h;
  std::uint64_t sig = h(tag.name);
  for (const Attribute& a : tag.attrs) {
    std::uint64_t x = h(a.name.local) * 0x9E3779B97F4A7C15ull ^ h(a.value) ^
                      (static_cast<std::uint64_t>(a.name.ns) << 56);
    sig += x * 0xC2B2AE3D27D4EB4Full + (x >> 29);
  }
  return sig;
}

}  // namespace

void TreeBuilder::push_formatting(Handle node, Kind kind, const Tag& tag) {
  // Short lists are scanned; past this many entries a level counts its signatures instead.
  constexpr std::uint32_t kScanLimit = 16;
  std::uint64_t sig = tag_signature(tag);
  LevelCounts& counts = current_level();
  if (!counts.indexed && counts.entries > kScanLimit) {
    for (std::size_t i = formatting_.size(); i-- > 0 && !formatting_[i].is_marker;) {
      ++counts.signatures[formatting_[i].signature];
    }
    counts.indexed = true;
  }
  bool may_have_three = true;
  if (counts.indexed) {
    auto it = counts.signatures.find(sig);
    may_have_three = it != counts.signatures.end() && it->second >= 3;
  }
  if (may_have_three) {
    // With three identical entries after the last marker already, drop the earliest of them.
    int same = 0;
    for (std::size_t i = formatting_.size(); i-- > 0;) {
      const FormattingEntry& e = formatting_[i];
      if (e.is_marker) break;
      if (e.signature == sig && e.kind == kind && e.tag.name == tag.name &&
          same_attributes(e.tag.attrs, tag.attrs) && ++same == 3) {
        erase_formatting(i);
        break;
      }
    }
  }
  FormattingEntry entry;
  entry.node = node;
  entry.kind = kind;
  entry.id = next_formatting_id_++;
  entry.level = static_cast<std::uint32_t>(level_);
  entry.signature = sig;
  entry.tag = tag;
  formatting_index_.set(entry.id, static_cast<std::uint32_t>(formatting_.size()));
  formatting_node_ids_.set(node, entry.id);
  counts.kind_ids[formatting_slot(kind)].push_back(entry.id);
  formatting_.push_back(std::move(entry));
  ++counts.entries;
  ++counts.kinds[formatting_slot(kind)];
  if (counts.indexed) ++counts.signatures[sig];
}

void TreeBuilder::reconstruct_formatting() {
  if (formatting_.empty()) return;
  std::size_t i = formatting_.size() - 1;
  if (formatting_[i].is_marker || is_open(formatting_[i].node)) return;
  // Rewind to the entry after the last marker or open element.
  while (i > 0) {
    const FormattingEntry& prev = formatting_[i - 1];
    if (prev.is_marker || is_open(prev.node)) break;
    --i;
  }
  for (; i < formatting_.size(); ++i) {
    Tag tag = formatting_[i].tag;
    Handle node = insert_element(tag, Namespace::Html, formatting_[i].kind);
    set_formatting_node(i, node);
  }
}

void TreeBuilder::set_formatting_node(std::size_t index, Handle node) {
  formatting_node_ids_.erase(formatting_[index].node);
  formatting_[index].node = node;
  formatting_node_ids_.set(node, formatting_[index].id);
}

std::optional<std::size_t> TreeBuilder::formatting_position(Handle node) const {
  auto id = formatting_node_ids_.get(node);
  if (!id) return std::nullopt;
  return formatting_index_.get(*id);
}

std::optional<std::size_t> TreeBuilder::formatting_after_marker(Kind kind) {
  LevelCounts& counts = current_level();
  if (counts.kinds[formatting_slot(kind)] == 0) return std::nullopt;
  std::vector<std::uint32_t>& ids = counts.kind_ids[formatting_slot(kind)];
  while (!ids.empty()) {
    if (auto index = formatting_index_.get(ids.back())) return *index;
    ids.pop_back();
  }
  return std::nullopt;
}

// Puts the current level's ids of `kind` back in list order after an entry moved.
void TreeBuilder::sort_kind_ids(Kind kind) {
  std::vector<std::uint32_t>& ids = current_level().kind_ids[formatting_slot(kind)];
  std::erase_if(ids, [this](std::uint32_t id) { return !formatting_index_.contains(id); });
  std::sort(ids.begin(), ids.end(), [this](std::uint32_t a, std::uint32_t b) {
    return *formatting_index_.get(a) < *formatting_index_.get(b);
  });
}

bool TreeBuilder::adoption_agency(const Tag& tag) {
  Kind subject = html_kind(tag.name);
  if (current().ns == Namespace::Html && current().kind == subject &&
      !formatting_position(current().node)) {
    pop();
    return true;
  }
  for (int outer = 0; outer < 8; ++outer) {
    auto fe_index = formatting_after_marker(subject);
    if (!fe_index) return false;
    Handle fe = formatting_[*fe_index].node;
    auto fe_pos = formatting_open_position(fe);
    if (!fe_pos) {
      error("Formatting element not open");
      erase_formatting(*fe_index);
      return true;
    }
    if (static_cast<std::int64_t>(*fe_pos) < top_boundary(Scope::Default)) {
      error("Formatting element not in scope");
      return true;
    }
    if (current().node != fe) error("Misnested formatting element");

    std::optional<std::size_t> fb_pos;
    for (std::size_t i = *fe_pos + 1; i < open_.size(); ++i) {
      if (has_flag(open_[i].kind, kSpecial)) {
        fb_pos = i;
        break;
      }
    }
    if (!fb_pos) {
      pop_until_node(fe);
      if (auto j = formatting_position(fe)) {
        erase_formatting(*j);
      }
      return true;
    }
    OpenElement common_ancestor = open_[*fe_pos - 1];
    Handle furthest_block = open_[*fb_pos].node;
    std::size_t bookmark = *fe_index;

    // Walk up from the furthest block towards the formatting element. Elements dropped from the
    // stack are collected and removed in one pass, so a long walk stays linear.
    std::vector<std::size_t> dropped;  // stack positions, descending
    Handle last_node = furthest_block;
    std::size_t node_pos = *fb_pos;
    for (int inner = 1;; ++inner) {
      --node_pos;
      if (node_pos == *fe_pos) break;
      Handle node = open_[node_pos].node;
      auto node_entry = formatting_position(node);
      if (inner > 3 && node_entry) {
        erase_formatting(*node_entry);
        if (*node_entry < bookmark) --bookmark;
        node_entry.reset();
      }
      if (!node_entry) {
        dropped.push_back(node_pos);
        continue;
      }
      // Replace the node by a fresh copy made from its token.
      Tag copy = formatting_[*node_entry].tag;
      Handle fresh = create_element(copy, Namespace::Html);
      set_formatting_node(*node_entry, fresh);
      OpenElement& slot = open_[node_pos];
      if (formatting_open_positions_.erase(slot.node)) {
        formatting_open_positions_.set(fresh, static_cast<std::uint32_t>(node_pos));
      }
      slot.node = fresh;
      if (last_node == furthest_block) bookmark = *node_entry + 1;
      sink_.remove_from_parent(last_node);
      sink_.append(fresh, NodeOrText::of_node(last_node));
      last_node = fresh;
    }

    sink_.remove_from_parent(last_node);
    insert_at(appropriate_place(&common_ancestor), NodeOrText::of_node(last_node));

    Tag fe_tag = formatting_[*fe_index].tag;
    Kind fe_kind = formatting_[*fe_index].kind;
    Handle fresh = create_element(fe_tag, Namespace::Html);
    sink_.reparent_children(furthest_block, fresh);
    sink_.append(furthest_block, NodeOrText::of_node(fresh));

    // The formatting element's entry moves to the bookmark, holding the new element (the
    // signature counts stay as they are).
    set_formatting_node(*fe_index, fresh);
    FormattingEntry entry = std::move(formatting_[*fe_index]);
    formatting_.erase(formatting_.begin() + static_cast<std::ptrdiff_t>(*fe_index));
    if (*fe_index < bookmark) --bookmark;
    formatting_.insert(formatting_.begin() + static_cast<std::ptrdiff_t>(bookmark), std::move(entry));
    index_formatting_from(std::min(*fe_index, bookmark));
    if (bookmark != *fe_index) sort_kind_ids(fe_kind);

    OpenElement fresh_entry{fresh, fe_kind, Namespace::Html, false};
    if (dropped.empty()) {
      shift_segment(*fe_pos, *fb_pos, fresh_entry);
      continue;
    }
    // Rebuild the stack above the formatting element in one pass: drop the collected elements and
    // the formatting element, and put the new element right below the furthest block.
    std::size_t from = *fe_pos;
    unindex_from(from);
    std::vector<OpenElement> rest;
    rest.reserve(open_.size() - from);
    std::size_t d = dropped.size();
    for (std::size_t i = from; i < open_.size(); ++i) {
      const OpenElement& e = open_[i];
      if (i == from) {
        sink_.pop(e.node);
        continue;
      }
      if (d > 0 && dropped[d - 1] == i) {
        --d;
        sink_.pop(e.node);
        continue;
      }
      rest.push_back(e);
      if (e.node == furthest_block) rest.push_back(fresh_entry);
    }
    open_.resize(from);
    open_.insert(open_.end(), rest.begin(), rest.end());
    reindex_from(from);
  }
  return true;
}

}  // namespace html5
