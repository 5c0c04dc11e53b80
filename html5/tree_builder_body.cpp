// The "in body" insertion mode.
#include <algorithm>
#include <string>

#include "html5/tree_builder.h"
#include "html5/tree_builder_text.h"

namespace html5 {

namespace {

bool is_start(const Token& t) { return t.kind == TokenKind::Tag && t.tag.kind == TagKind::Start; }

const Attribute* find_attribute(const Tag& tag, std::string_view name) {
  for (const Attribute& a : tag.attrs) {
    if (a.name.ns == Namespace::None && a.name.local == name) return &a;
  }
  return nullptr;
}

}  // namespace

TreeBuilder::Step TreeBuilder::in_body(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: return body_characters(t);
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Eof: return body_eof(t);
    case TokenKind::Tag: return is_start(t) ? body_start_tag(t) : body_end_tag(t);
    default: return Step::Done;
  }
}

TreeBuilder::Step TreeBuilder::body_characters(Token& t) {
  std::string_view text = t.text;
  std::string without_nulls;
  if (text.find('\0') != std::string_view::npos) {
    error("Unexpected null character");
    for (char c : text) {
      if (c != '\0') without_nulls.push_back(c);
    }
    text = without_nulls;
    if (text.empty()) return Step::Done;
  }
  reconstruct_formatting();
  insert_text(text);
  if (frameset_ok_ && !all_whitespace(text)) frameset_ok_ = false;
  return Step::Done;
}

TreeBuilder::Step TreeBuilder::body_eof(Token& t) {
  if (!template_modes_.empty()) return in_template(t);
  stop_parsing();
  return Step::Done;
}

void TreeBuilder::close_p_element() {
  generate_implied_end_tags(Kind::P);
  if (!current_is(Kind::P)) error("Unclosed elements before p end");
  pop_until(Kind::P);
}

TreeBuilder::Step TreeBuilder::body_start_tag(Token& t) {
  Tag& tag = t.tag;
  switch (tk_) {
    case Kind::Html:
      error("Unexpected html start tag");
      if (!has_open(Kind::Template) && !open_.empty()) {
        sink_.add_attrs_if_missing(open_[0].node, std::move(tag.attrs));
      }
      return Step::Done;
    case Kind::Base: case Kind::Basefont: case Kind::Bgsound: case Kind::Link: case Kind::Meta:
    case Kind::Noframes: case Kind::Script: case Kind::Style: case Kind::Template:
    case Kind::Title:
      return in_head(t);
    case Kind::Body:
      error("Unexpected body start tag");
      if (open_.size() > 1 && open_[1].kind == Kind::Body && !has_open(Kind::Template)) {
        frameset_ok_ = false;
        sink_.add_attrs_if_missing(open_[1].node, std::move(tag.attrs));
      }
      return Step::Done;
    case Kind::Frameset:
      error("Unexpected frameset start tag");
      if (open_.size() > 1 && open_[1].kind == Kind::Body && frameset_ok_) {
        sink_.remove_from_parent(open_[1].node);
        while (open_.size() > 1) pop();
        insert_html_element(tag);
        mode_ = Mode::InFrameset;
      }
      return Step::Done;
    case Kind::Address: case Kind::Article: case Kind::Aside: case Kind::Blockquote:
    case Kind::Center: case Kind::Details: case Kind::Dialog: case Kind::Dir: case Kind::Div:
    case Kind::Dl: case Kind::Fieldset: case Kind::Figcaption: case Kind::Figure:
    case Kind::Footer: case Kind::Header: case Kind::Hgroup: case Kind::Main: case Kind::Menu:
    case Kind::Nav: case Kind::Ol: case Kind::P: case Kind::Search: case Kind::Section:
    case Kind::Summary: case Kind::Ul:
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      insert_html_element(tag);
      return Step::Done;
    case Kind::H1: case Kind::H2: case Kind::H3: case Kind::H4: case Kind::H5: case Kind::H6:
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      if (current().ns == Namespace::Html && has_flag(current().kind, kHeading)) {
        error("Nested heading");
        pop();
      }
      insert_html_element(tag);
      return Step::Done;
    case Kind::Pre: case Kind::Listing:
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      insert_html_element(tag);
      ignore_lf_ = true;
      frameset_ok_ = false;
      return Step::Done;
    case Kind::Form: {
      bool in_template = has_open(Kind::Template);
      if (form_element_ && !in_template) {
        error("Nested form");
        return Step::Done;
      }
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      Handle form = insert_html_element(tag);
      if (!in_template) form_element_ = form;
      return Step::Done;
    }
    case Kind::Li: case Kind::Dd: case Kind::Dt: {
      frameset_ok_ = false;
      // An open item of the same list kind closes unless a special element (other than address,
      // div and p) is nearer.
      std::int64_t pos = tk_ == Kind::Li ? top_position(Kind::Li)
                                         : std::max(top_position(Kind::Dd), top_position(Kind::Dt));
      if (pos >= 0 && pos >= top_mark(kMarkListItemStop)) {
        Kind k = open_[static_cast<std::size_t>(pos)].kind;
        generate_implied_end_tags(k);
        if (!current_is(k)) error("Unclosed elements in list item");
        pop_until(k);
      }
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      insert_html_element(tag);
      return Step::Done;
    }
    case Kind::Plaintext:
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      insert_html_element(tag);
      result_ = TokenSinkResult{TokenSinkResult::Kind::Plaintext, 0, RawKind::Rcdata};
      return Step::Done;
    case Kind::Button:
      if (in_scope(Kind::Button)) {
        error("Nested button");
        generate_implied_end_tags();
        pop_until(Kind::Button);
      }
      reconstruct_formatting();
      insert_html_element(tag);
      frameset_ok_ = false;
      return Step::Done;
    case Kind::A:
      if (auto i = formatting_after_marker(Kind::A)) {
        error("Nested a");
        Handle node = formatting_[*i].node;
        if (!adoption_agency(tag)) any_other_end_tag(tag);
        if (auto j = formatting_position(node)) {
          erase_formatting(*j);
        }
        if (auto p = formatting_open_position(node)) remove_open_at(*p);
      }
      reconstruct_formatting();
      insert_formatting_element(tag);
      return Step::Done;
    case Kind::B: case Kind::Big: case Kind::Code: case Kind::Em: case Kind::Font: case Kind::I:
    case Kind::S: case Kind::Small: case Kind::Strike: case Kind::Strong: case Kind::Tt:
    case Kind::U:
      reconstruct_formatting();
      insert_formatting_element(tag);
      return Step::Done;
    case Kind::Nobr:
      reconstruct_formatting();
      if (in_scope(Kind::Nobr)) {
        error("Nested nobr");
        if (!adoption_agency(tag)) any_other_end_tag(tag);
        reconstruct_formatting();
      }
      insert_formatting_element(tag);
      return Step::Done;
    case Kind::Applet: case Kind::Marquee: case Kind::Object:
      reconstruct_formatting();
      insert_html_element(tag);
      push_marker();
      frameset_ok_ = false;
      return Step::Done;
    case Kind::Table:
      if (quirks_mode_ != QuirksMode::Quirks && in_scope(Kind::P, Scope::Button)) close_p_element();
      insert_html_element(tag);
      frameset_ok_ = false;
      mode_ = Mode::InTable;
      return Step::Done;
    case Kind::Area: case Kind::Br: case Kind::Embed: case Kind::Img: case Kind::Keygen:
    case Kind::Wbr:
      reconstruct_formatting();
      insert_html_element(tag);
      pop();
      frameset_ok_ = false;
      return Step::Done;
    case Kind::Input: {
      if (context_ && context_->kind == Kind::Select) {
        error("Input in select");
        return Step::Done;
      }
      if (in_scope(Kind::Select)) {
        error("Input in select");
        pop_until(Kind::Select);
      }
      reconstruct_formatting();
      const Attribute* type = find_attribute(tag, "type");
      bool hidden = type && ascii_iequals(type->value, "hidden");
      insert_html_element(tag);
      pop();
      if (!hidden) frameset_ok_ = false;
      return Step::Done;
    }
    case Kind::Param: case Kind::Source: case Kind::Track:
      insert_html_element(tag);
      pop();
      return Step::Done;
    case Kind::Hr:
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      if (in_scope(Kind::Select)) {
        generate_implied_end_tags();
        if (in_scope(Kind::Option) || in_scope(Kind::Optgroup)) error("hr in option");
      }
      insert_html_element(tag);
      pop();
      frameset_ok_ = false;
      return Step::Done;
    case Kind::Image:
      error("image start tag");
      tag.name = "img";
      tk_ = Kind::Img;
      return Step::Reprocess;
    case Kind::Textarea:
      insert_html_element(tag);
      ignore_lf_ = true;
      original_mode_ = mode_;
      frameset_ok_ = false;
      mode_ = Mode::Text;
      result_ = TokenSinkResult::raw_data(RawKind::Rcdata);
      return Step::Done;
    case Kind::Xmp:
      if (in_scope(Kind::P, Scope::Button)) close_p_element();
      reconstruct_formatting();
      frameset_ok_ = false;
      generic_raw_text(tag, RawKind::Rawtext);
      return Step::Done;
    case Kind::Iframe:
      frameset_ok_ = false;
      generic_raw_text(tag, RawKind::Rawtext);
      return Step::Done;
    case Kind::Noembed:
      generic_raw_text(tag, RawKind::Rawtext);
      return Step::Done;
    case Kind::Noscript:
      if (!options_.scripting_enabled) break;
      generic_raw_text(tag, RawKind::Rawtext);
      return Step::Done;
    case Kind::Select:
      if (context_ && context_->kind == Kind::Select) {
        error("Nested select");
        return Step::Done;
      }
      if (in_scope(Kind::Select)) {
        error("Nested select");
        pop_until(Kind::Select);
        return Step::Done;
      }
      reconstruct_formatting();
      insert_html_element(tag);
      frameset_ok_ = false;
      return Step::Done;
    case Kind::Option:
      if (in_scope(Kind::Select)) {
        generate_implied_end_tags(Kind::Optgroup);
        if (in_scope(Kind::Option)) error("Nested option");
      } else if (current_is(Kind::Option)) {
        pop();
      }
      reconstruct_formatting();
      insert_html_element(tag);
      return Step::Done;
    case Kind::Optgroup:
      if (in_scope(Kind::Select)) {
        generate_implied_end_tags();
        if (in_scope(Kind::Option) || in_scope(Kind::Optgroup)) error("Nested optgroup");
      } else if (current_is(Kind::Option)) {
        pop();
      }
      reconstruct_formatting();
      insert_html_element(tag);
      return Step::Done;
    case Kind::Rb: case Kind::Rtc:
      if (in_scope(Kind::Ruby)) {
        generate_implied_end_tags();
        if (!current_is(Kind::Ruby)) error("Unclosed elements in ruby");
      }
      insert_html_element(tag);
      return Step::Done;
    case Kind::Rp: case Kind::Rt:
      if (in_scope(Kind::Ruby)) {
        generate_implied_end_tags(Kind::Rtc);
        if (!current_is(Kind::Ruby) && !current_is(Kind::Rtc)) error("Unclosed elements in ruby");
      }
      insert_html_element(tag);
      return Step::Done;
    case Kind::Math:
      reconstruct_formatting();
      adjust_mathml_attributes(tag.attrs);
      adjust_foreign_attributes(tag.attrs);
      insert_foreign_element(tag, Namespace::MathMl);
      return Step::Done;
    case Kind::Svg:
      reconstruct_formatting();
      adjust_svg_attributes(tag.attrs);
      adjust_foreign_attributes(tag.attrs);
      insert_foreign_element(tag, Namespace::Svg);
      return Step::Done;
    case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Frame: case Kind::Head:
    case Kind::Tbody: case Kind::Td: case Kind::Tfoot: case Kind::Th: case Kind::Thead:
    case Kind::Tr:
      error("Unexpected start tag in body");
      return Step::Done;
    default: break;
  }
  reconstruct_formatting();
  insert_html_element(tag);
  return Step::Done;
}

TreeBuilder::Step TreeBuilder::body_end_tag(Token& t) {
  Tag& tag = t.tag;
  switch (tk_) {
    case Kind::Template: return in_head(t);
    case Kind::Body:
    case Kind::Html:
      if (!in_scope(Kind::Body)) {
        error("Unexpected end tag");
        return Step::Done;
      }
      mode_ = Mode::AfterBody;
      return tk_ == Kind::Html ? Step::Reprocess : Step::Done;
    case Kind::Address: case Kind::Article: case Kind::Aside: case Kind::Blockquote:
    case Kind::Button: case Kind::Center: case Kind::Details: case Kind::Dialog: case Kind::Dir:
    case Kind::Div: case Kind::Dl: case Kind::Fieldset: case Kind::Figcaption: case Kind::Figure:
    case Kind::Footer: case Kind::Header: case Kind::Hgroup: case Kind::Listing: case Kind::Main:
    case Kind::Menu: case Kind::Nav: case Kind::Ol: case Kind::Pre: case Kind::Search:
    case Kind::Section: case Kind::Select: case Kind::Summary: case Kind::Ul:
      if (!in_scope(tk_)) {
        error("Unexpected end tag");
        return Step::Done;
      }
      generate_implied_end_tags();
      if (!current_is(tk_)) error("Unclosed elements");
      pop_until(tk_);
      return Step::Done;
    case Kind::Form:
      if (!has_open(Kind::Template)) {
        std::optional<Handle> node = form_element_;
        form_element_.reset();
        if (!node || !node_in_scope(*node)) {
          error("Unexpected form end tag");
          return Step::Done;
        }
        generate_implied_end_tags();
        if (current().node != *node) error("Unclosed elements in form");
        if (auto p = open_position(*node)) remove_open_at(*p);
        return Step::Done;
      }
      if (!in_scope(Kind::Form)) {
        error("Unexpected form end tag");
        return Step::Done;
      }
      generate_implied_end_tags();
      if (!current_is(Kind::Form)) error("Unclosed elements in form");
      pop_until(Kind::Form);
      return Step::Done;
    case Kind::P:
      if (!in_scope(Kind::P, Scope::Button)) {
        error("Unexpected p end tag");
        insert_phantom("p");
      }
      close_p_element();
      return Step::Done;
    case Kind::Li:
      if (!in_scope(Kind::Li, Scope::ListItem)) {
        error("Unexpected li end tag");
        return Step::Done;
      }
      generate_implied_end_tags(Kind::Li);
      if (!current_is(Kind::Li)) error("Unclosed elements in li");
      pop_until(Kind::Li);
      return Step::Done;
    case Kind::Dd: case Kind::Dt:
      if (!in_scope(tk_)) {
        error("Unexpected end tag");
        return Step::Done;
      }
      generate_implied_end_tags(tk_);
      if (!current_is(tk_)) error("Unclosed elements");
      pop_until(tk_);
      return Step::Done;
    case Kind::H1: case Kind::H2: case Kind::H3: case Kind::H4: case Kind::H5: case Kind::H6:
      if (!any_in_scope({Kind::H1, Kind::H2, Kind::H3, Kind::H4, Kind::H5, Kind::H6})) {
        error("Unexpected heading end tag");
        return Step::Done;
      }
      generate_implied_end_tags();
      if (!current_is(tk_)) error("Unclosed elements in heading");
      pop_until_one_of({Kind::H1, Kind::H2, Kind::H3, Kind::H4, Kind::H5, Kind::H6});
      return Step::Done;
    case Kind::A: case Kind::B: case Kind::Big: case Kind::Code: case Kind::Em: case Kind::Font:
    case Kind::I: case Kind::Nobr: case Kind::S: case Kind::Small: case Kind::Strike:
    case Kind::Strong: case Kind::Tt: case Kind::U:
      if (!adoption_agency(tag)) any_other_end_tag(tag);
      return Step::Done;
    case Kind::Applet: case Kind::Marquee: case Kind::Object:
      if (!in_scope(tk_)) {
        error("Unexpected end tag");
        return Step::Done;
      }
      generate_implied_end_tags();
      if (!current_is(tk_)) error("Unclosed elements");
      pop_until(tk_);
      clear_formatting_to_marker();
      return Step::Done;
    case Kind::Br:
      error("Unexpected br end tag");
      tag.kind = TagKind::Start;
      tag.attrs.clear();
      tag.self_closing = false;
      return Step::Reprocess;
    default:
      any_other_end_tag(tag);
      return Step::Done;
  }
}

// The nearest open HTML element of the tag's name closes, unless a special element is nearer.
void TreeBuilder::any_other_end_tag(const Tag& tag) {
  Kind k = html_kind(tag.name);
  std::int64_t pos = k != Kind::Other ? top_position(k) : top_named("h" + tag.name);
  if (pos < 0 || pos < top_mark(kMarkSpecial)) {
    error("Unexpected end tag");
    return;
  }
  Handle target = open_[static_cast<std::size_t>(pos)].node;
  generate_implied_end_tags(k);
  if (current().node != target) error("Unclosed elements");
  pop_until_node(target);
}

}  // namespace html5
