// Brackets: "[", "![" and "^[" openers and their closing "]" as links, images, cross-references,
// spans, reference links and notes.
#include <algorithm>
#include <array>
#include <string>

#include "inline/scanner.h"
#include "inline/xref.h"
#include "model/link_ref.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

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
  // The opener's text is a literal that outlives any tree: a view, not a copy.
  const std::size_t node = push_node(Inline::Text{Str::borrowed(opener_text(kind))});
  buffers_.brackets.push_back(BracketOpener{node, pos, kind, true});
  buffers_.stacks_used = true;
  p_ = pos;
}

bool InlineScanner::opener_active(std::size_t index) const {
  const BracketOpener& b = buffers_.brackets[index];
  return b.active && !(b.kind == BracketKind::Link && index < link_openers_dead_below_);
}

void InlineScanner::pop_bracket() {
  buffers_.brackets.pop_back();
  link_openers_dead_below_ = std::min(link_openers_dead_below_, buffers_.brackets.size());
  // A later opener comes after every node there is now: no link can take these autolinks.
  if (buffers_.brackets.empty()) buffers_.bracketed_autolinks.clear();
}

const LinkRef* InlineScanner::find_definition(std::string_view label) const {
  // The key is made in room kept from one lookup to the next.
  std::string& key = buffers_.label_key;
  if (label.size() > attrs::kMaxLabelChars || !attrs::plain_label_key(label, key, true)) {
    if (label.size() > kMaxLabelBytes || !attrs::valid_link_label(label, false)) return nullptr;
    key = attrs::normalize_label(label);
  }
  auto it = ctx_.links.find(key);
  return it == ctx_.links.end() ? nullptr : &it->second;
}

namespace {

// Whether the text can end a cross-reference item: "@" and id characters, then white space.
// Checked from the end, so brackets nested many levels deep are turned down without a scan.
bool ends_like_reference(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    // An ASCII byte is a whole character: only other characters are decoded.
    const auto byte = static_cast<unsigned char>(text[end - 1]);
    const std::size_t prev = byte < 0x80 ? end - 1 : utf8::prev_boundary(text, end);
    const char32_t c = byte < 0x80 ? byte : utf8::decode(text, prev).cp;
    if (!unicode::is_white_space(c)) break;
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

void InlineScanner::note_autolink(std::size_t node, bool bare, std::size_t event) {
  // Only an open bracket can later become a link around it.
  if (buffers_.brackets.empty()) return;
  buffers_.bracketed_autolinks.push_back(AutolinkRecord{node, event, bare});
}

void InlineScanner::drop_autolinks_from(std::size_t node) {
  auto& records = buffers_.bracketed_autolinks;
  auto first = std::partition_point(records.begin(), records.end(),
                                    [node](const AutolinkRecord& r) { return r.node < node; });
  records.erase(first, records.end());
}

void InlineScanner::unlink_bare_autolinks(std::size_t opener_node, Inlines& children) {
  auto& records = buffers_.bracketed_autolinks;
  auto first = std::partition_point(records.begin(), records.end(),
                                    [opener_node](const AutolinkRecord& r) { return r.node <= opener_node; });
  if (first == records.end()) return;
  // The recorded autolinks after the opener are exactly the autolinks of the link's text, and a
  // walk in document order meets them in node order.
  auto record = first;
  struct Level {
    Inlines* list;
    std::size_t next;
  };
  std::vector<Level> levels{{&children, 0}};
  while (!levels.empty() && record != buffers_.bracketed_autolinks.end()) {
    Level& level = levels.back();
    if (level.next == level.list->size()) {
      levels.pop_back();
      continue;
    }
    Inline& item = (*level.list)[level.next++];
    if (auto* link = item.get_if<Inline::Autolink>()) {
      if (record->bare) {
        item = Inline(Inline::Text{inline_text(link->text)});
        needs_coalesce_ = true;  // the text may now stand beside another
        if (record->event != kNoNode) buffers_.unlinked_events.push_back(record->event);
      }
      ++record;
    } else if (Inlines* inner = item.children()) {
      levels.push_back(Level{inner, 0});
    }
  }
  buffers_.bracketed_autolinks.erase(first, buffers_.bracketed_autolinks.end());
}

void InlineScanner::drop_events_of_unlinked() {
  std::sort(buffers_.unlinked_events.begin(), buffers_.unlinked_events.end());
  std::vector<InlineEvent>& events = *ctx_.events;
  std::size_t kept = buffers_.unlinked_events.front();
  for (std::size_t i = kept, k = 0; i < events.size(); ++i) {
    if (k < buffers_.unlinked_events.size() && buffers_.unlinked_events[k] == i) {
      ++k;
      continue;
    }
    events[kept++] = events[i];
  }
  events.resize(kept);
}

template <class Made>
void InlineScanner::finish_bracket(const BracketOpener& top, Made&& made, bool is_link) {
  process_delimiters(top.node + 1);
  take_nodes(buffers_.nodes[top.node].next, kNoNode, made.children);
  if (is_link) unlink_bare_autolinks(top.node, made.children);
  drop_delimiters_from(top.node);
  // Assigned as the alternative, the construct is built in the node's place.
  buffers_.nodes[top.node].value.data = std::forward<Made>(made);
  pop_bracket();
  if (is_link) deactivate_link_openers();
}

// Closing a bracket at the "]" at offset r: the forms are tried in order, the first that
// applies wins; with none the "]" is literal text.
void InlineScanner::close_bracket() {
  const std::size_t r = p_;
  flush_text();
  if (!buffers_.brackets.empty() && opener_active(buffers_.brackets.size() - 1)) {
    const BracketOpener top = buffers_.brackets.back();
    if (top.kind == BracketKind::Note) return close_note(top, r);
    if (close_inline_link(top, r)) return;
    if (top.kind == BracketKind::Link && (close_cross_reference(top, r) || close_span(top, r))) return;
    if (close_reference(top, r)) return;
  }
  if (!buffers_.brackets.empty()) pop_bracket();
  buffers_.pending.append(']');
  p_ = r + 1;
}

void InlineScanner::close_note(const BracketOpener& top, std::size_t r) {
  process_delimiters(top.node + 1);
  Inlines children;
  take_nodes(buffers_.nodes[top.node].next, kNoNode, children);
  drop_delimiters_from(top.node);
  buffers_.nodes[top.node].value.data = Inline::Note{std::move(children)};
  pop_bracket();
  emit(InlineEventKind::Note, top.pos - 2, r + 1);
  p_ = r + 1;
}

// "](destination "title")" after the bracket text.
bool InlineScanner::close_inline_link(const BracketOpener& top, std::size_t r) {
  if (r + 1 >= text_.size() || text_[r + 1] != '(') return false;
  const std::size_t from = r + 2;
  const std::size_t stop = bare_destination_end(from);
  std::optional<DestinationTitle> dt;
  std::size_t e;
  if (stop != kNoNode) {
    const std::string_view destination = text_.substr(from, stop - from);
    dt.emplace();
    dt->destination = ctx_.text_outlives_tree ? Str::borrowed(destination) : Str(destination);
    e = stop + 1;
  } else {
    const std::size_t depth = ctx_.options.max_link_paren_depth;
    const auto paren = paren_content(text_, from, depth, &parens_);
    if (!paren) return false;
    dt = parse_link_destination_title(paren->content, depth, ctx_.text_outlives_tree);
    if (!dt) return false;
    e = paren->end;
  }
  const bool is_image = top.kind == BracketKind::Image;
  emit(InlineEventKind::Link, opener_start(top), e, is_image, r + 1);
  emit(InlineEventKind::LinkTail, r + 1, e);
  if (is_image) {
    finish_bracket(top, Inline::Image{std::move(dt->destination), std::move(dt->title), Attr{}, {}}, false);
  } else {
    finish_bracket(top, Inline::Link{std::move(dt->destination), std::move(dt->title), Attr{}, {}}, true);
  }
  p_ = apply_trailing_attrs(top.node, e);
  return true;
}

namespace {

// The bytes that end a bare destination's search, and with them every control byte: a block of
// sixteen tests for those in a few comparisons (control bytes and the space as one range, the two
// parentheses as one pair), and the rare other control byte is passed over after.
constexpr ByteTable kDestinationStops = byte_table("\\<() \t\n\r&");
constexpr ByteTable kDestinationStopsOrControls = [] {
  ByteTable table = kDestinationStops;
  for (int c = 0; c <= ' '; ++c) table[c] = true;
  return table;
}();

std::size_t find_destination_stop(std::string_view text, std::size_t from) {
  const std::size_t n = text.size();
  for (std::size_t i = from;; ++i) {
#if defined(__SSE2__)
    i = find_by_mask(text, i, n, kDestinationStopsOrControls, [](__m128i chunk) {
      const auto is = [&](char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
      const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(chunk, _mm_set1_epi8(' ')), chunk);
      const __m128i parens = _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x01)), _mm_set1_epi8(')'));
      const __m128i hits = _mm_or_si128(_mm_or_si128(controls, parens),
                                        _mm_or_si128(_mm_or_si128(is('\\'), is('<')), is('&')));
      return static_cast<unsigned>(_mm_movemask_epi8(hits));
    });
#else
    i = find_marked(text, i, n, kDestinationStopsOrControls);
#endif
    if (i >= n || kDestinationStops[static_cast<unsigned char>(text[i])]) return i;
  }
}

}  // namespace

std::size_t bare_destination_close(std::string_view text, std::size_t from) {
  const std::size_t stop = find_destination_stop(text, from);
  return stop < text.size() && text[stop] == ')' && stop > from ? stop : kNoNode;
}

std::size_t InlineScanner::bare_destination_end(std::size_t from) const {
  return bare_destination_close(text_, from);
}

bool InlineScanner::may_hold_link_candidate(std::size_t from, std::size_t r) const {
  // Where the memo has read the label's window, it answers at once.
  if (autolinks_.has_read(from)) return true;
  // A candidate's link reaches the byte that marks it (its scheme's ":", the "." of "www.", an
  // address's "@") over bytes that are no "]": inside a label, that byte is too. A label without
  // one needs no window read, which a text that is a link alone then never reads.
  for (std::size_t i = from; i < r; ++i)
    if (text_[i] == ':' || text_[i] == '@' || text_[i] == '.') return true;
  return false;
}

bool InlineScanner::try_plain_link() {
  // Inside another bracket a link would deactivate the link openers around it.
  if (!buffers_.brackets.empty()) return false;
  const std::size_t n = text_.size();
  const std::size_t from = p_ + 1;
  const std::size_t r = next_trigger(from, n);
  if (r == from || r + 1 >= n || text_[r] != ']' || text_[r + 1] != '(') return false;
  if (bare_autolinks_ && may_hold_link_candidate(from, r) && autolinks_.next_link_candidate(text_, from) < r)
    return false;
  const std::size_t stop = bare_destination_end(r + 2);
  if (stop == kNoNode) return false;
  flush_text();
  const std::size_t e = stop + 1;
  emit(InlineEventKind::Link, p_, e, false, r + 1);
  emit(InlineEventKind::LinkTail, r + 1, e);
  const bool borrow = ctx_.text_outlives_tree;
  const std::string_view label = text_.substr(from, r - from);
  const std::string_view destination = text_.substr(r + 2, stop - r - 2);
  Inline::Link link{borrow ? Str::borrowed(destination) : Str::copied_into(arena_, destination),
                    std::nullopt, Attr{}, {}};
  link.children.reserve(arena_, 1);
  link.children.emplace_back(Inline::Text{borrow ? Str::borrowed(label) : Str::copied_into(arena_, label)});
  p_ = apply_trailing_attrs(push_node(Boxed<Inline::Link>(arena_, std::move(link))), e);
  return true;
}

// "[@id]", "[see @id]", "[@a; @b]": the bracket text is taken as written, not as inlines.
bool InlineScanner::close_cross_reference(const BracketOpener& top, std::size_t r) {
  auto xref = cross_reference(text_.substr(top.pos, r - top.pos));
  if (!xref) return false;
  Inlines discarded;
  take_nodes(buffers_.nodes[top.node].next, kNoNode, discarded);
  drop_autolinks_from(top.node);
  drop_delimiters_from(top.node);
  buffers_.nodes[top.node].value = std::move(*xref);
  pop_bracket();
  deactivate_link_openers();
  emit(InlineEventKind::Xref, opener_start(top), r + 1);
  p_ = apply_trailing_attrs(top.node, r + 1);
  return true;
}

// "[text]{attributes}".
bool InlineScanner::close_span(const BracketOpener& top, std::size_t r) {
  if (r + 1 >= text_.size() || text_[r + 1] != '{') return false;
  auto group = read_braced_attr(r + 1);
  if (!group) return false;
  const std::size_t end = r + 1 + group->consumed;
  emit(InlineEventKind::Attrs, r + 1, end);
  emit(InlineEventKind::Span, opener_start(top), end, false, r + 1);
  finish_bracket(top, Inline::Span{std::move(group->attr), {}}, false);
  p_ = apply_trailing_attrs(top.node, end);
  return true;
}

// "[text][label]", "[text][]" and "[text]" naming a link reference definition.
bool InlineScanner::close_reference(const BracketOpener& top, std::size_t r) {
  if (ctx_.links.empty()) return false;
  const bool is_image = top.kind == BracketKind::Image;
  const std::string_view bracket_text = text_.substr(top.pos, r - top.pos);
  const auto label = r + 1 < text_.size() && text_[r + 1] == '['
                         ? attrs::scan_link_label(text_.substr(r + 1))
                         : std::nullopt;
  std::size_t end = r + 1;
  const LinkRef* def = nullptr;
  if (label) {
    const std::string_view name = label->label.empty() ? bracket_text : std::string_view(label->label);
    def = find_definition(name);
    if (def) end = r + 1 + label->consumed;
  }
  // A shortcut, unless an empty or valid label right after the brackets claims them.
  const bool blocked = label && (label->label.empty() || attrs::valid_link_label(label->label, false));
  if (!def && !blocked) def = find_definition(bracket_text);
  if (!def) return false;
  if (end > r + 1) emit(InlineEventKind::LinkTail, r + 1, end);
  emit(InlineEventKind::RefLink, opener_start(top), end, is_image, r + 1);
  // A link or image carrying the definition's destination, title and attributes.
  if (is_image) finish_bracket(top, Inline::Image{def->destination, def->title, def->attr, {}}, false);
  else finish_bracket(top, Inline::Link{def->destination, def->title, def->attr, {}}, true);
  p_ = apply_trailing_attrs(top.node, end);
  return true;
}

}  // namespace vedavi::inl
