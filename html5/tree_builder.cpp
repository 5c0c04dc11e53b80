// The tree builder's driver and its shared state: the stack of open elements (indexed by kind so
// that scope checks cost O(1)), the list of active formatting elements, and node insertion.
#include "html5/tree_builder.h"

#include <algorithm>
#include <cassert>
#include <string>

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

bool is_form_associated(Kind k) {
  switch (k) {
    case Kind::Button: case Kind::Fieldset: case Kind::Input: case Kind::Object:
    case Kind::Select: case Kind::Textarea: case Kind::Img:
      return true;
    default:
      return false;
  }
}

bool is_annotation_xml_html_encoding(const Tag& tag) {
  for (const Attribute& a : tag.attrs) {
    if (a.name.ns == Namespace::None && a.name.local == "encoding") {
      return ascii_iequal(a.value, "text/html") || ascii_iequal(a.value, "application/xhtml+xml");
    }
  }
  return false;
}

}  // namespace

TreeBuilder::TreeBuilder(TreeSink& sink, const TreeBuilderOptions& options)
    : sink_(sink), options_(options), document_(sink.get_document()),
      kind_positions_(kKindCount), quirks_mode_(options.quirks_mode) {}

TreeBuilder::TreeBuilder(TreeSink& sink, Handle context_element, const TreeBuilderOptions& options)
    : TreeBuilder(sink, options) {
  const QualName& name = sink_.elem_name(context_element);
  OpenElement context;
  context.node = context_element;
  context.ns = name.ns;
  context.kind = element_kind(name.ns, name.local);
  context.html_integration_point =
      context.kind == Kind::SvgForeignObject || context.kind == Kind::SvgDesc ||
      context.kind == Kind::SvgTitle ||
      sink_.is_mathml_annotation_xml_integration_point(context_element);
  context_ = context;

  // The root element the fragment's nodes go into.
  Tag html;
  html.name = "html";
  Handle root = create_element(html, Namespace::Html);
  sink_.append(document_, NodeOrText::of_node(root));
  push(OpenElement{root, Kind::Html, Namespace::Html, false});
  if (context.kind == Kind::Template) template_modes_.push_back(Mode::InTemplate);
  reset_insertion_mode();
  // The fragment's form element pointer would be the nearest form ancestor of the context; the
  // context element here has no ancestors, so it stays empty.
}

// --- driver -------------------------------------------------------------------------------------

TokenSinkResult TreeBuilder::process_token(Token& token, std::uint64_t line) {
  if (stopped_) return TokenSinkResult::proceed();
  sink_.set_current_line(line);
  if (token.kind == TokenKind::ParseError) {
    error(token.text);
    return TokenSinkResult::proceed();
  }
  if (ignore_lf_) {
    ignore_lf_ = false;
    if (token.kind == TokenKind::Characters && !token.text.empty() && token.text.front() == '\n') {
      token.text.remove_prefix(1);
      if (token.text.empty()) return TokenSinkResult::proceed();
    }
  }
  result_.reset();
  token_ = &token;
  if (token.kind == TokenKind::NullCharacter) {
    // Handled as a character run holding U+0000; the rules that care drop or replace it.
    token.kind = TokenKind::Characters;
    token.text = std::string_view("\0", 1);
    while (dispatch(token) == Step::Reprocess) {
    }
    token.kind = TokenKind::NullCharacter;
    token.text = {};
  } else {
    while (dispatch(token) == Step::Reprocess) {
    }
  }
  token_ = nullptr;
  return result_.value_or(TokenSinkResult::proceed());
}

void TreeBuilder::end() {
  if (stopped_) return;
  Token eof;
  eof.kind = TokenKind::Eof;
  token_ = &eof;
  while (!stopped_ && dispatch(eof) == Step::Reprocess) {
  }
  token_ = nullptr;
  stop_parsing();
}

void TreeBuilder::stop_parsing() {
  if (stopped_) return;
  stopped_ = true;
  while (!open_.empty()) pop();
}

bool TreeBuilder::adjusted_current_node_present_but_not_in_html_namespace() const {
  return !open_.empty() && adjusted_current().ns != Namespace::Html;
}

TreeBuilder::Step TreeBuilder::dispatch(Token& t) {
  tk_ = t.kind == TokenKind::Tag ? html_kind(t.tag.name) : Kind::Other;
  if (use_html_rules(t)) return step(mode_, t);
  return foreign_content(t);
}

bool TreeBuilder::use_html_rules(const Token& t) const {
  if (open_.empty() || t.kind == TokenKind::Eof) return true;
  const OpenElement& node = adjusted_current();
  if (node.ns == Namespace::Html) return true;
  bool start = t.kind == TokenKind::Tag && t.tag.kind == TagKind::Start;
  bool chars = t.kind == TokenKind::Characters;
  if (has_flag(node.kind, kMathMlTextIntegration)) {
    if (start && t.tag.name != "mglyph" && t.tag.name != "malignmark") return true;
    if (chars) return true;
  }
  if (node.kind == Kind::MathAnnotationXml && start && t.tag.name == "svg") return true;
  if (node.html_integration_point && (start || chars)) return true;
  return false;
}

TreeBuilder::Step TreeBuilder::step(Mode mode, Token& t) {
  switch (mode) {
    case Mode::Initial: return initial(t);
    case Mode::BeforeHtml: return before_html(t);
    case Mode::BeforeHead: return before_head(t);
    case Mode::InHead: return in_head(t);
    case Mode::InHeadNoscript: return in_head_noscript(t);
    case Mode::AfterHead: return after_head(t);
    case Mode::InBody: return in_body(t);
    case Mode::Text: return text(t);
    case Mode::InTable: return in_table(t);
    case Mode::InTableText: return in_table_text(t);
    case Mode::InCaption: return in_caption(t);
    case Mode::InColumnGroup: return in_column_group(t);
    case Mode::InTableBody: return in_table_body(t);
    case Mode::InRow: return in_row(t);
    case Mode::InCell: return in_cell(t);
    case Mode::InTemplate: return in_template(t);
    case Mode::AfterBody: return after_body(t);
    case Mode::InFrameset: return in_frameset(t);
    case Mode::AfterFrameset: return after_frameset(t);
    case Mode::AfterAfterBody: return after_after_body(t);
    case Mode::AfterAfterFrameset: return after_after_frameset(t);
  }
  return Step::Done;
}

void TreeBuilder::error(std::string_view message) {
  if (options_.exact_errors) {
    exact_error(message);
  } else {
    sink_.parse_error(message);
  }
}

namespace {

constexpr std::string_view kModeNames[] = {
    "initial", "before html", "before head", "in head", "in head noscript", "after head",
    "in body", "text", "in table", "in table text", "in caption", "in column group",
    "in table body", "in row", "in cell", "in template", "after body", "in frameset",
    "after frameset", "after after body", "after after frameset",
};

}  // namespace

// The message with the token and the insertion mode it met: "Unexpected end tag: </p> in body".
void TreeBuilder::exact_error(std::string_view message) {
  std::string text(message);
  if (token_) {
    text += ": ";
    switch (token_->kind) {
      case TokenKind::Tag:
        text += token_->tag.kind == TagKind::Start ? "<" : "</";
        text += token_->tag.name;
        text += ">";
        break;
      case TokenKind::Characters: text += "characters"; break;
      case TokenKind::NullCharacter: text += "null character"; break;
      case TokenKind::Comment: text += "comment"; break;
      case TokenKind::Doctype: text += "doctype"; break;
      case TokenKind::Eof: text += "end of file"; break;
      case TokenKind::ParseError: text += "tokenizer error"; break;
    }
  }
  text += " (";
  text += kModeNames[static_cast<std::size_t>(mode_)];
  text += ")";
  sink_.parse_error(text);
}

// --- the stack of open elements -----------------------------------------------------------------

const TreeBuilder::OpenElement& TreeBuilder::adjusted_current() const {
  if (context_ && open_.size() == 1) return *context_;
  return open_.back();
}

namespace {

std::uint8_t marks_of(Kind kind, Namespace ns) {
  std::uint32_t flags = kind_flags(kind);
  std::uint8_t marks = 0;
  auto mark = [&marks](int m) { marks = static_cast<std::uint8_t>(marks | (1u << m)); };
  if (flags & kScopeDefault) {
    mark(0);  // kMarkDefault
    mark(1);  // kMarkListItem
    mark(2);  // kMarkButton
  }
  if (flags & kScopeListItem) mark(1);
  if (flags & kScopeButton) mark(2);
  if (flags & kScopeTable) mark(3);
  if (flags & kSpecial) {
    mark(4);
    if (kind != Kind::Address && kind != Kind::Div && kind != Kind::P) mark(5);
  }
  if (ns == Namespace::Html) mark(6);
  return marks;
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
  for (int m = 0; m < kMarkCount; ++m) {
    if (e.marks & (1u << m)) marks_[m].push_back(p);
  }
  if (e.kind != Kind::Other) kind_positions_[static_cast<std::size_t>(e.kind)].push_back(p);
  if (e.kind == Kind::Other || e.ns != Namespace::Html) named_positions_[name_key(e)].push_back(p);
  if (e.marks & (1u << kMarkHtml) && has_flag(e.kind, kFormatting)) formatting_open_positions_[e.node] = p;
}

void TreeBuilder::unindex_at(std::size_t pos) {
  const OpenElement& e = open_[pos];
  for (int m = 0; m < kMarkCount; ++m) {
    if (e.marks & (1u << m)) marks_[m].pop_back();
  }
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
    for (int m = 0; m < kMarkCount; ++m) {
      if (e.marks & (1u << m)) slots.emplace_back(&marks_[m], pos);
    }
    if (e.kind != Kind::Other) slots.emplace_back(&kind_positions_[static_cast<std::size_t>(e.kind)], pos);
    if (e.kind == Kind::Other || e.ns != Namespace::Html) slots.emplace_back(&named_positions_[name_key(e)], pos);
    if (e.marks & (1u << kMarkHtml) && has_flag(e.kind, kFormatting)) formatting_open_positions_[e.node] = pos;
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

void TreeBuilder::insert_open_at(std::size_t index, const OpenElement& e) {
  unindex_from(index);
  open_.insert(open_.begin() + static_cast<std::ptrdiff_t>(index), e);
  reindex_from(index);
}

std::optional<std::size_t> TreeBuilder::open_position(Handle node) const {
  auto it = formatting_open_positions_.find(node);
  if (it != formatting_open_positions_.end()) return it->second;
  for (std::size_t i = open_.size(); i-- > 0;) {
    if (open_[i].node == node) return i;
  }
  return std::nullopt;
}

bool TreeBuilder::is_open(Handle node) const {
  // Only formatting elements are asked about; their positions are tracked.
  return formatting_open_positions_.count(node) != 0;
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

bool TreeBuilder::is_same_html_name(const OpenElement& e, Kind k, std::string_view name) const {
  if (e.ns != Namespace::Html) return false;
  if (k != Kind::Other) return e.kind == k;
  return e.kind == Kind::Other && sink_.elem_name(e.node).local == name;
}

// --- active formatting elements -----------------------------------------------------------------

void TreeBuilder::push_marker() {
  FormattingEntry marker;
  marker.is_marker = true;
  formatting_.push_back(std::move(marker));
  level_counts_.emplace_back();
}

void TreeBuilder::erase_formatting(std::size_t index) {
  const FormattingEntry& e = formatting_[index];
  if (e.is_marker) {
    // Only the last marker is ever erased, when the list is cleared back to it.
    level_counts_.pop_back();
    if (level_counts_.empty()) level_counts_.emplace_back();
  } else {
    LevelCounts& counts = level_counts_[std::min<std::size_t>(e.level, level_counts_.size() - 1)];
    auto it = counts.signatures.find(e.signature);
    if (it != counts.signatures.end() && --it->second == 0) counts.signatures.erase(it);
    --counts.kinds[formatting_slot(e.kind)];
  }
  formatting_.erase(formatting_.begin() + static_cast<std::ptrdiff_t>(index));
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
  std::uint64_t sig = tag_signature(tag);
  LevelCounts& counts = level_counts_.back();
  if (counts.signatures[sig] >= 3) {
    // Three identical entries after the last marker already: drop the earliest of them.
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
  entry.level = static_cast<std::uint32_t>(level_counts_.size() - 1);
  entry.signature = sig;
  entry.tag = tag;
  formatting_.push_back(std::move(entry));
  ++level_counts_.back().signatures[sig];
  ++level_counts_.back().kinds[formatting_slot(kind)];
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
    Handle node = insert_html_element(tag);
    formatting_[i].node = node;
  }
}

std::optional<std::size_t> TreeBuilder::formatting_position(Handle node) const {
  for (std::size_t i = formatting_.size(); i-- > 0;) {
    if (!formatting_[i].is_marker && formatting_[i].node == node) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> TreeBuilder::formatting_after_marker(Kind kind) const {
  if (level_counts_.back().kinds[formatting_slot(kind)] == 0) return std::nullopt;
  for (std::size_t i = formatting_.size(); i-- > 0;) {
    if (formatting_[i].is_marker) break;
    if (formatting_[i].kind == kind) return i;
  }
  return std::nullopt;
}

// --- inserting nodes ----------------------------------------------------------------------------

TreeBuilder::InsertionPoint TreeBuilder::place_inside(Handle parent, Kind kind, Namespace ns) {
  InsertionPoint p;
  p.parent = (kind == Kind::Template && ns == Namespace::Html) ? sink_.get_template_contents(parent)
                                                                : parent;
  return p;
}

TreeBuilder::InsertionPoint TreeBuilder::appropriate_place(const OpenElement* override_target) {
  const OpenElement& target = override_target ? *override_target : current();
  bool table_like = target.ns == Namespace::Html &&
                    (target.kind == Kind::Table || target.kind == Kind::Tbody ||
                     target.kind == Kind::Tfoot || target.kind == Kind::Thead ||
                     target.kind == Kind::Tr);
  if (!foster_parenting_ || !table_like) return place_inside(target.node, target.kind, target.ns);

  std::int64_t last_template = top_position(Kind::Template);
  std::int64_t last_table = top_position(Kind::Table);
  if (last_template >= 0 && (last_table < 0 || last_template > last_table)) {
    const OpenElement& t = open_[static_cast<std::size_t>(last_template)];
    return place_inside(t.node, t.kind, t.ns);
  }
  if (last_table < 0) return place_inside(open_[0].node, open_[0].kind, open_[0].ns);
  InsertionPoint p;
  p.where = InsertionPoint::Where::Foster;
  p.parent = open_[static_cast<std::size_t>(last_table)].node;
  p.prev = open_[static_cast<std::size_t>(last_table) - 1].node;
  return p;
}

void TreeBuilder::insert_at(const InsertionPoint& place, NodeOrText child) {
  switch (place.where) {
    case InsertionPoint::Where::LastChild: sink_.append(place.parent, child); return;
    case InsertionPoint::Where::BeforeSibling: sink_.append_before_sibling(place.parent, child); return;
    case InsertionPoint::Where::Foster:
      sink_.append_based_on_parent_node(place.parent, place.prev, child);
      return;
  }
}

TreeBuilder::OpenElement TreeBuilder::describe(Handle node, Kind kind, Namespace ns,
                                               const Tag* tag) const {
  OpenElement e{node, kind, ns, false};
  if (kind == Kind::SvgForeignObject || kind == Kind::SvgDesc || kind == Kind::SvgTitle) {
    e.html_integration_point = true;
  } else if (kind == Kind::MathAnnotationXml && tag) {
    e.html_integration_point = is_annotation_xml_html_encoding(*tag);
  }
  return e;
}

Handle TreeBuilder::create_element(Tag& tag, Namespace ns) {
  ElementFlags flags;
  flags.is_template = ns == Namespace::Html && tag.name == "template";
  flags.mathml_annotation_xml_integration_point =
      ns == Namespace::MathMl && tag.name == "annotation-xml" && is_annotation_xml_html_encoding(tag);
  return sink_.create_element(QualName{"", ns, tag.name}, std::move(tag.attrs), flags);
}

Handle TreeBuilder::insert_element(Tag& tag, Namespace ns, bool only_add_to_stack) {
  InsertionPoint place = appropriate_place();
  Kind kind = element_kind(ns, tag.name);
  bool integration = kind == Kind::MathAnnotationXml && is_annotation_xml_html_encoding(tag);
  Handle node = create_element(tag, ns);
  if (form_element_ && ns == Namespace::Html && is_form_associated(kind) &&
      !has_open(Kind::Template)) {
    sink_.associate_with_form(node, *form_element_, place.parent, place.prev);
  }
  if (!only_add_to_stack) insert_at(place, NodeOrText::of_node(node));
  OpenElement e = describe(node, kind, ns, nullptr);
  if (integration) e.html_integration_point = true;
  push(e);
  return node;
}

Handle TreeBuilder::insert_phantom(std::string_view name) {
  Tag tag;
  tag.name = std::string(name);
  return insert_html_element(tag);
}

void TreeBuilder::insert_formatting_element(Tag& tag) {
  Tag copy = tag;
  Kind kind = tk_;
  Handle node = insert_html_element(tag);
  push_formatting(node, kind, copy);
}

void TreeBuilder::insert_foreign_element(Tag& tag, Namespace ns) {
  insert_element(tag, ns);
  if (tag.self_closing) pop();
}

void TreeBuilder::insert_text(std::string_view text) {
  if (text.empty()) return;
  InsertionPoint place = appropriate_place();
  if (place.where == InsertionPoint::Where::LastChild && place.parent == document_) return;
  insert_at(place, NodeOrText::of_text(text));
}

void TreeBuilder::insert_comment(std::string_view text) {
  InsertionPoint place = appropriate_place();
  insert_at(place, NodeOrText::of_node(sink_.create_comment(text)));
}

void TreeBuilder::append_comment_to(Handle parent, std::string_view text) {
  sink_.append(parent, NodeOrText::of_node(sink_.create_comment(text)));
}

// --- resetting the insertion mode ---------------------------------------------------------------

void TreeBuilder::reset_insertion_mode() {
  // The nearest open element that decides the mode, found through the kind index rather than by
  // walking the stack.
  static constexpr Kind kDeciders[] = {Kind::Td, Kind::Th, Kind::Tr, Kind::Tbody, Kind::Thead,
                                       Kind::Tfoot, Kind::Caption, Kind::Colgroup, Kind::Table,
                                       Kind::Template, Kind::Head, Kind::Body, Kind::Frameset,
                                       Kind::Html};
  std::int64_t top = -1;
  for (Kind k : kDeciders) top = std::max(top, top_position(k));
  bool last = top <= 0;
  const OpenElement* node = nullptr;
  if (top > 0) {
    node = &open_[static_cast<std::size_t>(top)];
  } else if (context_) {
    node = &*context_;
  } else if (!open_.empty()) {
    node = &open_[0];
  }
  Kind k = node && node->ns == Namespace::Html ? node->kind : Kind::Other;
  switch (k) {
    case Kind::Td:
    case Kind::Th:
      if (!last) { mode_ = Mode::InCell; return; }
      break;
    case Kind::Tr: mode_ = Mode::InRow; return;
    case Kind::Tbody:
    case Kind::Thead:
    case Kind::Tfoot: mode_ = Mode::InTableBody; return;
    case Kind::Caption: mode_ = Mode::InCaption; return;
    case Kind::Colgroup: mode_ = Mode::InColumnGroup; return;
    case Kind::Table: mode_ = Mode::InTable; return;
    case Kind::Template:
      mode_ = template_modes_.empty() ? Mode::InBody : template_modes_.back();
      return;
    case Kind::Head:
      if (!last) { mode_ = Mode::InHead; return; }
      break;
    case Kind::Body: mode_ = Mode::InBody; return;
    case Kind::Frameset: mode_ = Mode::InFrameset; return;
    case Kind::Html:
      mode_ = head_element_ ? Mode::AfterHead : Mode::BeforeHead;
      return;
    default: break;
  }
  mode_ = Mode::InBody;
}

}  // namespace html5
