// Lists: one marker line per li, continuation lines indented by the marker's width, task boxes,
// item attribute lines and the list's attribute line.
#include <algorithm>
#include <charconv>

#include "markdown/attrs.h"
#include "markdown/html.h"
#include "markdown/renderer.h"
#include "text/unicode.h"

namespace vedavi::markdown {
namespace {

}  // namespace

// The list's start: an optional "+" and ASCII digits, as an unsigned 64-bit number; else 1.
std::uint64_t start_number(const Dom& dom, NodeId list) {
  std::string_view value = dom.attr(list, "start").value_or("");
  if (value.starts_with('+')) value.remove_prefix(1);
  if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos) return 1;
  std::uint64_t number = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  return error == std::errc{} && end == value.data() + value.size() ? number : 1;
}

namespace {

// The task box an li opens with: its first child is an input of type checkbox.
std::optional<std::string_view> task_box(const Dom& dom, NodeId li) {
  const auto& children = dom.node(li).children;
  if (children.empty() || !dom.is_tag(children[0], "input")) return std::nullopt;
  if (dom.attr(children[0], "type") != std::optional<std::string_view>("checkbox")) return std::nullopt;
  return dom.attr(children[0], "checked") ? "[x] " : "[ ] ";
}

// The first item of a list, or none.
std::optional<NodeId> first_item(const Dom& dom, NodeId list) {
  for (NodeId child : dom.node(list).children) {
    if (dom.is_tag(child, "li")) return child;
  }
  return std::nullopt;
}

// An item whose content opens with a list whose first item is empty: that list starts on the
// line after the marker, or the empty item's marker would read as the item's text.
bool opens_with_empty_line(const Dom& dom, NodeId li) {
  for (NodeId child : dom.node(li).children) {
    if (is_blank_text(dom, child)) continue;
    if (!dom.is_tag(child, "ul") && !dom.is_tag(child, "ol")) return false;
    const auto item = first_item(dom, child);
    return item && significant_children(dom, *item).empty();
  }
  return false;
}

}  // namespace

void DomRenderer::list(NodeId node, bool ordered, char marker) {
  push_children(node, Walk::ListItems, Close::List);
  Frame& frame = frames_.back();
  frame.counter = start_number(dom_, node);
  frame.width = ordered ? 1 : 0;  // the list frame's width marks an ordered list
  frame.marker = marker;
  frame.loose = is_loose(node);
}

// A list is loose when an item holds a paragraph element, or when an item's blocks are written
// with a blank line between two of them: its items are then separated by a blank line, without
// which they would read back tight.
// An inline element holding blocks counts by what it holds: its tags go, its blocks are written
// one after another as at the top level.
bool DomRenderer::is_loose(NodeId list) const {
  std::vector<NodeId> pending;
  for (NodeId li : dom_.node(list).children) {
    if (!dom_.is_tag(li, "li")) continue;
    pending.assign(dom_.node(li).children.begin(), dom_.node(li).children.end());
    while (!pending.empty()) {
      const NodeId child = pending.back();
      pending.pop_back();
      if (dom_.is_tag(child, "p")) return true;
      if (!is_content_wrapper(child)) continue;
      if (significant_children(dom_, child).size() > 1) return true;
      pending.insert(pending.end(), dom_.node(child).children.begin(), dom_.node(child).children.end());
    }
  }
  const auto& items = dom_.node(list).children;
  return std::any_of(items.begin(), items.end(), [&](NodeId li) {
    return dom_.is_tag(li, "li") && item_needs_blank_line(li);
  });
}

// Whether writing the item tight would still put a blank line between two of its blocks, or
// between a block and a run of text, as the block walk does (a table cannot follow text on the
// next line, text cannot follow a code block): the reader makes such a list loose.
bool DomRenderer::item_needs_blank_line(NodeId li) const {
  const auto& children = dom_.node(li).children;
  std::optional<NodeId> last_block;
  bool in_run = false;
  bool after_list = false;
  for (const NodeId* child = children.begin() + (task_box(dom_, li) ? 1 : 0); child != children.end(); ++child) {
    if (is_block(*child)) {
      if (in_run ? !interrupts_paragraph(*child) : last_block && !follows_tightly_after(*last_block, *child))
        return true;
      in_run = false;
      last_block = *child;
      after_list = interrupts_paragraph(*child);
      continue;
    }
    if (!in_run && (is_blank_text(dom_, *child) || is_back_link(dom_, *child))) continue;
    if (!in_run && last_block && !after_list) return true;
    in_run = true;
    last_block.reset();
  }
  return false;
}

void DomRenderer::list_item(Frame& list, NodeId li) {
  const bool loose = list.loose;  // `list` is not used once frames are pushed
  if (loose && list.has_items) out() += '\n';
  list.has_items = true;
  std::string marker = {list.marker, ' '};
  if (list.width == 1) marker = std::to_string(list.counter++) + list.marker + ' ';
  const std::size_t width = marker.size();
  // The item's attributes stand right after its marker: a line after the item's text would go
  // to its paragraph. Alone on the marker's line, or the reader would take a text ending in "}"
  // as part of the group; a task box must follow them on that line.
  const auto box = task_box(dom_, li);
  std::size_t head = 0;
  if (const Attr attr = attrs_without_classes(dom_, li); !attr.empty()) {
    marker += "{: ";
    marker += attrs_body(attr);
    marker += box ? "} " : "}";
    if (!box) head = marker.size();
  }
  if (box) marker += *box;
  // The marker is the line start for escaping: item text "- x" must not read as a nested list.
  if (head == 0 && opens_with_empty_line(dom_, li)) head = marker.size();
  if (head > 0) marker += '\n';
  push_shared_sink(marker);
  const auto& children = dom_.node(li).children;
  const NodeId* begin = children.begin() + (box ? 1 : 0);
  bool any_block = false;
  for (const NodeId* child = begin; child != children.end() && !any_block; ++child) {
    any_block = is_block(*child);
  }
  // Item text that starts with a comment or a custom element would open an HTML block on the
  // marker's line, which takes the rest of the line as it stands: the block walk writes such a
  // run as HTML.
  const NodeId* first = std::find_if(begin, children.end(), [&](NodeId child) {
    return !is_blank_text(dom_, child);
  });
  if (first != children.end() && opens_html_block_line(dom_, *first)) {
    any_block = true;
  }
  push(li, begin, children.end(), Walk::Inlines, Close::ItemText);
  frames_.back().width = width;
  if (!any_block) return;
  frames_.back().next = frames_.back().end;  // the content goes through the block walk instead
  push_shared_sink({});
  push(li, begin, children.end(), Walk::ItemBlocks, Close::ItemBlocks);
  // In a loose list every item's text reads back as paragraphs.
  frames_.back().loose = loose;
}

void DomRenderer::close_item_blocks(const Frame&) { trim_end_from(pop_shared_sink()); }

// The item's text stands in the enclosing sink's text from `begin`: its first line ends without
// white space, and its further lines get the marker's width as indent once that text is done.
void DomRenderer::close_item_text(const Frame& frame) {
  const std::size_t content = sinks_[depth_].floor;
  const std::size_t begin = pop_shared_sink();
  trim_end_from(begin);
  std::string& text = out();
  // A task box reads as one only with white space after it, which an empty item's trimming took
  // (and the trimming of every enclosing item and quote would take again).
  if (text.size() < content && task_box(dom_, frame.node)) text += kKeptSpace;
  std::vector<Indent>& indents = sinks_[sinks_[depth_].owner].indents;
  const std::size_t first_end = text.find('\n', begin);
  if (first_end != std::string::npos) {
    std::size_t kept = first_end;
    while (kept > begin && (text[kept - 1] == ' ' || text[kept - 1] == '\t')) --kept;
    if (kept < first_end) {
      text.erase(kept, first_end - kept);
      // The nested items' ranges, recorded since `begin`, move with the text.
      for (auto indent = indents.rbegin(); indent != indents.rend() && indent->end >= kept; ++indent) {
        if (indent->begin >= first_end) indent->begin -= first_end - kept;
        indent->end -= first_end - kept;
      }
    }
  }
  text += '\n';
  if (text.find('\n', begin) + 1 < text.size()) indents.push_back(Indent{begin, text.size() - 1, frame.width});
}

// The attribute group after an item's marker ends at its first "}": attributes holding one, or
// that md cannot say, keep the list in HTML.
bool DomRenderer::items_sayable(NodeId list) const {
  for (NodeId li : dom_.node(list).children) {
    if (!dom_.is_tag(li, "li")) continue;
    const Attr attr = attrs_without_classes(dom_, li);
    if (!attr.empty() && (!sayable(attr) || attrs_body(attr).find('}') != std::string::npos)) return false;
  }
  return true;
}

void DomRenderer::close_list(NodeId node) {
  ial(attrs_without_classes(dom_, node, {"start"}, {"task-list"}), out());
  out() += '\n';
}

// A block may follow a tight item's text on the next line when it can interrupt a paragraph: a
// block quote, fenced code, a div (but display math), an ATX heading, a thematic break, a bullet
// list, or an ordered list starting at 1, whose first item is not empty.
bool DomRenderer::interrupts_paragraph(NodeId list) const {
  // An inline element holding blocks, written without its tags, starts with its first block.
  while (is_content_wrapper(list) && attrs_without_classes(dom_, list).empty()) {
    const auto children = significant_children(dom_, list);
    if (children.empty() || !is_block(children.front())) return false;
    list = children.front();
  }
  const auto tag = dom_.tag(list).value_or("");
  if (tag == "div") return div_form(list) != DivForm::Math;
  if (tag == "blockquote" || tag == "pre" || tag == "hr" ||
      (tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6')) {
    return true;
  }
  const bool ordered = dom_.is_tag(list, "ol");
  if (!ordered && !dom_.is_tag(list, "ul")) return false;
  if (ordered && start_number(dom_, list) != 1) return false;
  const auto item = first_item(dom_, list);
  return item && !significant_children(dom_, *item).empty() && !opens_with_empty_line(dom_, *item);
}

// A list written with md markers: one with items, whose attributes and items md can say (an ordered
// one has numbering rules of its own besides).
bool DomRenderer::list_sayable(NodeId list) const {
  // A list without items has no md form (its marker-less source reads as nothing).
  const auto items = dom_.walk_children(list);
  if (std::none_of(items.begin(), items.end(), [&](NodeId c) { return dom_.is_tag(c, "li"); })) return false;
  return attribute_line_reads_back(attrs_without_classes(dom_, list, {"start"}, {"task-list"})) &&
         items_sayable(list);
}

// In a tight item a block follows the one before on the next line when that one cannot take it
// in (a quote would take a quote): a blank line between them would make the item loose.
bool DomRenderer::follows_tightly(const Frame& frame, NodeId block) const {
  if (frame.walk != Walk::ItemBlocks || frame.loose || !frame.last_block) return false;
  return follows_tightly_after(*frame.last_block, block);
}

bool DomRenderer::follows_tightly_after(NodeId last_block, NodeId block) const {
  const auto last = dom_.tag(last_block).value_or("");
  // A bullet list right after another takes the other marker, which starts a list of its own
  // below the other's items, even one whose first item is empty (which interrupts no paragraph).
  if (last == "ul" && dom_.is_tag(block, "ul") && list_sayable(last_block) && list_sayable(block))
    return true;
  if (!interrupts_paragraph(block)) return false;
  if (last == "blockquote") return !dom_.is_tag(block, "blockquote");
  // After a nested list, a block that is no list starts below the list's items; a list of its
  // marker would join it.
  if (last == "ul" || last == "ol") return !dom_.is_tag(block, "ul") && !dom_.is_tag(block, "ol");
  // A fenced div ends at its closing fence; a div written as HTML ends only at a blank line.
  if (last == "div") return div_form(last_block) == DivForm::Fenced;
  return last == "pre" || last == "hr" || (last.size() == 2 && last[0] == 'h' && last[1] >= '1' && last[1] <= '6');
}

}  // namespace vedavi::markdown
