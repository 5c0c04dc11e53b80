// Brackets: "[", "![" and "^[" openers and their closing "]" as links, images, cross-references,
// spans, reference links and notes.
#include <algorithm>

#include "inline_scanner.h"
#include "inline_xref.h"
#include "link_ref.h"
#include "scan.h"
#include "unicode.h"
#include "utf8.h"

namespace vedavi::inl {
namespace {

std::string_view opener_text(BracketKind kind) {
  switch (kind) {
    case BracketKind::Link: return "[";
    case BracketKind::Image: return "![";
    case BracketKind::Note: return "^[";
  }
  return "[";
}

// A label longer than this many bytes has more than 999 characters.
constexpr std::size_t kMaxLabelBytes = attrs::kMaxLabelChars * 4;

}  // namespace

void InlineScanner::push_bracket(BracketKind kind, std::size_t pos) {
  flush_text();
  const std::size_t node = push_node(Inline(Inline::Text{std::string(opener_text(kind))}));
  brackets_.push_back(BracketOpener{node, pos, kind, true});
  p_ = pos;
}

bool InlineScanner::opener_active(std::size_t index) const {
  const BracketOpener& b = brackets_[index];
  return b.active && !(b.kind == BracketKind::Link && index < link_openers_dead_below_);
}

void InlineScanner::pop_bracket() {
  brackets_.pop_back();
  link_openers_dead_below_ = std::min(link_openers_dead_below_, brackets_.size());
}

const LinkRef* InlineScanner::find_definition(std::string_view label) const {
  if (label.size() > kMaxLabelBytes || !attrs::valid_link_label(label, false)) return nullptr;
  auto it = ctx_.links.find(attrs::normalize_label(label));
  return it == ctx_.links.end() ? nullptr : &it->second;
}

namespace {

// Whether the text can end a cross-reference item: "@" and id characters, then white space.
// Checked from the end, so brackets nested many levels deep are turned down without a scan.
bool ends_like_reference(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t prev = utf8::prev_boundary(text, end);
    if (!unicode::is_white_space(utf8::decode(text, prev).cp)) break;
    end = prev;
  }
  std::size_t i = end;
  while (i > 0 && (scan::is_ascii_alnum(text[i - 1]) || text[i - 1] == '_' || text[i - 1] == '-')) --i;
  return i < end && i > 0 && text[i - 1] == '@';
}

}  // namespace

std::optional<Inline> InlineScanner::cross_reference(std::string_view bracket_text) {
  if (!ends_like_reference(bracket_text)) return std::nullopt;
  const bool single = bracket_text.find(';') == std::string_view::npos;
  Inlines items;
  for (std::size_t b = 0;;) {
    const std::size_t semi = bracket_text.find(';', b);
    const std::string_view item_text =
        bracket_text.substr(b, semi == std::string_view::npos ? std::string_view::npos : semi - b);
    auto item = ref_item(item_text, single);
    if (!item) return std::nullopt;
    items.push_back(std::move(*item));
    if (semi == std::string_view::npos) break;
    b = semi + 1;
  }
  if (items.size() == 1) return std::move(items.front());
  Inline::Span span;
  span.attr.set_pair("data-refs", "");
  span.children = std::move(items);
  return Inline(std::move(span));
}

void InlineScanner::finish_bracket(const BracketOpener& top, Inline&& made, bool is_link) {
  process_delimiters(top.node + 1);
  Inlines children;
  take_nodes(nodes_[top.node].next, kNoNode, children);
  *made.children() = std::move(children);
  drop_delimiters_from(top.node);
  nodes_[top.node].value = std::move(made);
  pop_bracket();
  if (is_link) deactivate_link_openers();
}

void InlineScanner::close_bracket() {
  const std::size_t r = p_;
  flush_text();
  auto literal = [&] {
    pending_.append(']');
    p_ = r + 1;
  };
  if (brackets_.empty()) return literal();
  if (!opener_active(brackets_.size() - 1)) {
    pop_bracket();
    return literal();
  }
  const BracketOpener top = brackets_.back();
  const std::size_t n = text_.size();

  if (top.kind == BracketKind::Note) {
    process_delimiters(top.node + 1);
    Inlines children;
    take_nodes(nodes_[top.node].next, kNoNode, children);
    drop_delimiters_from(top.node);
    nodes_[top.node].value = Inline(Inline::Note{std::move(children)});
    pop_bracket();
    emit(InlineEventKind::Note, top.pos - 2, r + 1);
    p_ = r + 1;
    return;
  }

  const bool is_image = top.kind == BracketKind::Image;
  const std::size_t start = top.pos - (is_image ? 2 : 1);
  const std::string_view bracket_text = text_.substr(top.pos, r - top.pos);

  // Inline link or image: "](destination "title")".
  if (r + 1 < n && text_[r + 1] == '(') {
    const std::size_t depth = ctx_.options.max_link_paren_depth;
    if (auto paren = paren_content(text_, r + 2, depth, &parens_)) {
      if (auto dt = parse_link_destination_title(paren->content, depth)) {
        const std::size_t e = paren->end;
        emit(InlineEventKind::Link, start, e, is_image, r + 1);
        emit(InlineEventKind::LinkTail, r + 1, e);
        Inline made = is_image ? Inline(Inline::Image{std::move(dt->destination), std::move(dt->title), Attr{}, {}})
                               : Inline(Inline::Link{std::move(dt->destination), std::move(dt->title), Attr{}, {}});
        finish_bracket(top, std::move(made), !is_image);
        p_ = apply_trailing_attrs(top.node, e);
        return;
      }
    }
  }

  if (!is_image) {
    if (auto xref = cross_reference(bracket_text)) {
      Inlines discarded;
      take_nodes(nodes_[top.node].next, kNoNode, discarded);
      drop_delimiters_from(top.node);
      nodes_[top.node].value = std::move(*xref);
      pop_bracket();
      deactivate_link_openers();
      emit(InlineEventKind::Xref, start, r + 1);
      p_ = apply_trailing_attrs(top.node, r + 1);
      return;
    }
    if (r + 1 < n && text_[r + 1] == '{') {
      if (auto group = read_braced_attr(r + 1)) {
        const std::size_t end = r + 1 + group->consumed;
        emit(InlineEventKind::Attrs, r + 1, end);
        emit(InlineEventKind::Span, start, end, false, r + 1);
        finish_bracket(top, Inline(Inline::Span{std::move(group->attr), {}}), false);
        p_ = apply_trailing_attrs(top.node, end);
        return;
      }
    }
  }

  if (!ctx_.links.empty()) {
    const auto label = r + 1 < n && text_[r + 1] == '[' ? attrs::scan_link_label(text_.substr(r + 1))
                                                        : std::nullopt;
    if (label) {
      // Full "[text][label]" or collapsed "[text][]".
      const std::string_view name = label->label.empty() ? bracket_text : std::string_view(label->label);
      if (const LinkRef* def = find_definition(name)) {
        const std::size_t end = r + 1 + label->consumed;
        emit(InlineEventKind::LinkTail, r + 1, end);
        emit(InlineEventKind::RefLink, start, end, is_image, r + 1);
        finish_bracket(top, link_or_image_shell(is_image, *def), !is_image);
        p_ = apply_trailing_attrs(top.node, end);
        return;
      }
    }
    // Shortcut "[text]", unless an empty or valid label right after it claims the brackets.
    const bool blocked =
        label && (label->label.empty() || attrs::valid_link_label(label->label, false));
    if (!blocked) {
      if (const LinkRef* def = find_definition(bracket_text)) {
        emit(InlineEventKind::RefLink, start, r + 1, is_image, r + 1);
        finish_bracket(top, link_or_image_shell(is_image, *def), !is_image);
        p_ = apply_trailing_attrs(top.node, r + 1);
        return;
      }
    }
  }

  pop_bracket();
  literal();
}

}  // namespace vedavi::inl
