// The tree builder's driver: construction for a document or a fragment, token dispatch between
// the insertion modes and foreign content, parse errors, node insertion (foster parenting and
// template contents included) and resetting the insertion mode.
#include "html5/tree_builder.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

namespace html5 {

namespace {

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
      return ascii_iequals(a.value, "text/html") || ascii_iequals(a.value, "application/xhtml+xml");
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
  result_ = TokenSinkResult();
  if (!stopped_) run_token(token, line);
  // One return of the member, copied whole: with several differently built results the compiler
  // assembled the returned registers through narrow stack stores and wide loads, which stall.
  TokenSinkResult result;
  std::memcpy(&result, &result_, sizeof result);
  return result;
}

void TreeBuilder::run_token(Token& token, std::uint64_t line) {
  sink_.set_current_line(line);
  if (token.kind == TokenKind::ParseError) {
    error(token.text);
    return;
  }
  if (ignore_lf_) {
    ignore_lf_ = false;
    if (token.kind == TokenKind::Characters && !token.text.empty() && token.text.front() == '\n') {
      token.text.remove_prefix(1);
      if (token.text.empty()) return;
    }
  }
  token_ = &token;
  // Once per token, not per reprocessing: a rule that renames the tag sets `tk_` itself.
  tk_ = token.kind == TokenKind::Tag ? html_kind(token.tag.name) : Kind::Other;
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
}

void TreeBuilder::end() {
  if (stopped_) return;
  Token eof;
  eof.kind = TokenKind::Eof;
  token_ = &eof;
  tk_ = Kind::Other;
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
  // Nearly always the adjusted current node is an HTML element; the full test is out of line.
  if (open_.empty() || adjusted_current().ns == Namespace::Html || use_html_rules(t)) {
    return step(mode_, t);
  }
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

// --- inserting nodes ----------------------------------------------------------------------------

TreeBuilder::InsertionPoint TreeBuilder::place_inside(Handle parent, Kind kind, Namespace ns) {
  InsertionPoint p;
  p.parent = (kind == Kind::Template && ns == Namespace::Html) ? sink_.get_template_contents(parent)
                                                                : parent;
  return p;
}

TreeBuilder::InsertionPoint TreeBuilder::special_place(const OpenElement& target) {
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
    case InsertionPoint::Where::Foster:
      sink_.append_based_on_parent_node(place.parent, place.prev, child);
      return;
  }
}

// Takes the tag's name and attributes: the tokenizer starts every tag afresh.
Handle TreeBuilder::create_element(Tag& tag, Namespace ns) {
  ElementFlags flags;
  // Compared as views: the lengths differ for nearly every name, and then no bytes are.
  flags.is_template = ns == Namespace::Html && std::string_view(tag.name) == "template";
  flags.mathml_annotation_xml_integration_point =
      ns == Namespace::MathMl && tag.name == "annotation-xml" && is_annotation_xml_html_encoding(tag);
  return sink_.create_element(QualName{std::string(), ns, std::move(tag.name)}, std::move(tag.attrs),
                              flags);
}

Handle TreeBuilder::insert_element(Tag& tag, Namespace ns, Kind kind, bool only_add_to_stack) {
  assert(kind == element_kind(ns, tag.name));
  InsertionPoint place = appropriate_place();
  // SVG foreignObject, desc and title always hold HTML; MathML annotation-xml by its encoding.
  bool integration = kind == Kind::SvgForeignObject || kind == Kind::SvgDesc ||
                     kind == Kind::SvgTitle ||
                     (kind == Kind::MathAnnotationXml && is_annotation_xml_html_encoding(tag));
  bool form_associated = ns == Namespace::Html &&
                         (is_form_associated(kind) || (kind == Kind::Other && tag.name == "output"));
  Handle node = create_element(tag, ns);  // takes the tag's name and attributes
  if (form_element_ && form_associated && !has_open(Kind::Template)) {
    sink_.associate_with_form(node, *form_element_, place.parent, place.prev);
  }
  if (!only_add_to_stack) insert_at(place, NodeOrText::of_node(node));
  push(OpenElement{node, kind, ns, integration});
  return node;
}

Handle TreeBuilder::insert_phantom(std::string_view name) {
  Tag tag;
  tag.name = std::string(name);
  return insert_element(tag, Namespace::Html, html_kind(name));
}

void TreeBuilder::insert_formatting_element(Tag& tag) {
  Tag copy = tag;
  Kind kind = tk_;
  Handle node = insert_html_element(tag);
  push_formatting(node, kind, std::move(copy));
}

void TreeBuilder::insert_foreign_element(Tag& tag, Namespace ns) {
  insert_element(tag, ns, element_kind(ns, tag.name));
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
