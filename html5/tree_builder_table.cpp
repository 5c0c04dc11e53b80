// Insertion modes of tables (table, table text, caption, column group, table body, row, cell) and
// of template contents.
#include <string>

#include "html5/tree_builder.h"
#include "html5/tree_builder_text.h"

namespace html5 {

namespace {

bool is_start(const Token& t) { return t.kind == TokenKind::Tag && t.tag.kind == TagKind::Start; }
bool is_end(const Token& t) { return t.kind == TokenKind::Tag && t.tag.kind == TagKind::End; }

bool one_of(Kind k, std::initializer_list<Kind> kinds) {
  for (Kind x : kinds) {
    if (x == k) return true;
  }
  return false;
}

}  // namespace

TreeBuilder::Step TreeBuilder::table_anything_else(Token& t) {
  error("Unexpected token in table");
  return process_with_foster_parenting(t);
}

TreeBuilder::Step TreeBuilder::process_with_foster_parenting(Token& t) {
  foster_parenting_ = true;
  Step s = in_body(t);
  foster_parenting_ = false;
  return s;
}

TreeBuilder::Step TreeBuilder::in_table(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters:
      if (current().ns == Namespace::Html &&
          one_of(current().kind,
                 {Kind::Table, Kind::Tbody, Kind::Template, Kind::Tfoot, Kind::Thead, Kind::Tr})) {
        pending_table_text_.clear();
        pending_table_text_has_non_space_ = false;
        original_mode_ = mode_;
        mode_ = Mode::InTableText;
        return Step::Reprocess;
      }
      return table_anything_else(t);
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Eof: return in_body(t);
    default: break;
  }
  if (t.kind != TokenKind::Tag) return Step::Done;
  if (is_start(t)) {
    switch (tk_) {
      case Kind::Caption:
        clear_stack_back_to({Kind::Table, Kind::Template, Kind::Html});
        push_marker();
        insert_html_element(t.tag);
        mode_ = Mode::InCaption;
        return Step::Done;
      case Kind::Colgroup:
        clear_stack_back_to({Kind::Table, Kind::Template, Kind::Html});
        insert_html_element(t.tag);
        mode_ = Mode::InColumnGroup;
        return Step::Done;
      case Kind::Col:
        clear_stack_back_to({Kind::Table, Kind::Template, Kind::Html});
        insert_phantom("colgroup");
        mode_ = Mode::InColumnGroup;
        return Step::Reprocess;
      case Kind::Tbody: case Kind::Tfoot: case Kind::Thead:
        clear_stack_back_to({Kind::Table, Kind::Template, Kind::Html});
        insert_html_element(t.tag);
        mode_ = Mode::InTableBody;
        return Step::Done;
      case Kind::Td: case Kind::Th: case Kind::Tr:
        clear_stack_back_to({Kind::Table, Kind::Template, Kind::Html});
        insert_phantom("tbody");
        mode_ = Mode::InTableBody;
        return Step::Reprocess;
      case Kind::Table:
        error("Nested table");
        if (!in_scope(Kind::Table, Scope::Table)) return Step::Done;
        pop_until(Kind::Table);
        reset_insertion_mode();
        return Step::Reprocess;
      case Kind::Style: case Kind::Script: case Kind::Template: return in_head(t);
      case Kind::Input: {
        bool hidden = false;
        for (const Attribute& a : t.tag.attrs) {
          if (a.name.ns == Namespace::None && a.name.local == "type") {
            hidden = ascii_iequals(a.value, "hidden");
            break;
          }
        }
        if (!hidden) return table_anything_else(t);
        error("Input in table");
        insert_html_element(t.tag);
        pop();
        return Step::Done;
      }
      case Kind::Form:
        error("Form in table");
        if (has_open(Kind::Template) || form_element_) return Step::Done;
        form_element_ = insert_html_element(t.tag);
        pop();
        return Step::Done;
      default: return table_anything_else(t);
    }
  }
  switch (tk_) {
    case Kind::Table:
      if (!in_scope(Kind::Table, Scope::Table)) {
        error("Unexpected table end tag");
        return Step::Done;
      }
      pop_until(Kind::Table);
      reset_insertion_mode();
      return Step::Done;
    case Kind::Body: case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Html:
    case Kind::Tbody: case Kind::Td: case Kind::Tfoot: case Kind::Th: case Kind::Thead:
    case Kind::Tr:
      error("Unexpected end tag in table");
      return Step::Done;
    case Kind::Template: return in_head(t);
    default: return table_anything_else(t);
  }
}

TreeBuilder::Step TreeBuilder::in_table_text(Token& t) {
  if (t.kind == TokenKind::Characters) {
    for (char c : t.text) {
      if (c == '\0') {
        error("Unexpected null character");
        continue;
      }
      pending_table_text_.push_back(c);
      if (!is_whitespace(c)) pending_table_text_has_non_space_ = true;
    }
    return Step::Done;
  }
  std::string pending = std::move(pending_table_text_);
  pending_table_text_.clear();
  if (!pending.empty()) {
    Token chars;
    chars.kind = TokenKind::Characters;
    chars.text = pending;
    if (pending_table_text_has_non_space_) {
      Kind saved = tk_;
      table_anything_else(chars);
      tk_ = saved;
    } else {
      insert_text(pending);
    }
  }
  pending_table_text_has_non_space_ = false;
  mode_ = original_mode_;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::in_caption(Token& t) {
  if (t.kind == TokenKind::Tag) {
    bool closes = (is_end(t) && (tk_ == Kind::Caption || tk_ == Kind::Table)) ||
                  (is_start(t) && one_of(tk_, {Kind::Caption, Kind::Col, Kind::Colgroup,
                                               Kind::Tbody, Kind::Td, Kind::Tfoot, Kind::Th,
                                               Kind::Thead, Kind::Tr}));
    if (closes) {
      if (!in_scope(Kind::Caption, Scope::Table)) {
        error("Unexpected tag in caption");
        return Step::Done;
      }
      generate_implied_end_tags();
      if (!current_is(Kind::Caption)) error("Unclosed elements in caption");
      pop_until(Kind::Caption);
      clear_formatting_to_marker();
      mode_ = Mode::InTable;
      return is_end(t) && tk_ == Kind::Caption ? Step::Done : Step::Reprocess;
    }
    if (is_end(t) && one_of(tk_, {Kind::Body, Kind::Col, Kind::Colgroup, Kind::Html, Kind::Tbody,
                                  Kind::Td, Kind::Tfoot, Kind::Th, Kind::Thead, Kind::Tr})) {
      error("Unexpected end tag in caption");
      return Step::Done;
    }
  }
  return in_body(t);
}

TreeBuilder::Step TreeBuilder::in_column_group(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: {
      std::size_t n = leading_whitespace(t.text);
      insert_text(t.text.substr(0, n));
      t.text.remove_prefix(n);
      if (t.text.empty()) return Step::Done;
      break;
    }
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Eof: return in_body(t);
    case TokenKind::Tag:
      if (is_start(t)) {
        if (tk_ == Kind::Html) return in_body(t);
        if (tk_ == Kind::Col) {
          insert_html_element(t.tag);
          pop();
          return Step::Done;
        }
        if (tk_ == Kind::Template) return in_head(t);
      } else {
        if (tk_ == Kind::Colgroup) {
          if (!current_is(Kind::Colgroup)) {
            error("Unexpected colgroup end tag");
            return Step::Done;
          }
          pop();
          mode_ = Mode::InTable;
          return Step::Done;
        }
        if (tk_ == Kind::Col) {
          error("Unexpected col end tag");
          return Step::Done;
        }
        if (tk_ == Kind::Template) return in_head(t);
      }
      break;
    default: break;
  }
  if (!current_is(Kind::Colgroup)) {
    error("Unexpected token in column group");
    return Step::Done;
  }
  pop();
  mode_ = Mode::InTable;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::in_table_body(Token& t) {
  if (t.kind == TokenKind::Tag) {
    if (is_start(t)) {
      switch (tk_) {
        case Kind::Tr:
          clear_stack_back_to({Kind::Tbody, Kind::Tfoot, Kind::Thead, Kind::Template, Kind::Html});
          insert_html_element(t.tag);
          mode_ = Mode::InRow;
          return Step::Done;
        case Kind::Th: case Kind::Td:
          error("Cell outside a row");
          clear_stack_back_to({Kind::Tbody, Kind::Tfoot, Kind::Thead, Kind::Template, Kind::Html});
          insert_phantom("tr");
          mode_ = Mode::InRow;
          return Step::Reprocess;
        case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Tbody:
        case Kind::Tfoot: case Kind::Thead:
          break;
        default: return in_table(t);
      }
    } else {
      switch (tk_) {
        case Kind::Tbody: case Kind::Tfoot: case Kind::Thead:
          if (!in_scope(tk_, Scope::Table)) {
            error("Unexpected end tag in table body");
            return Step::Done;
          }
          clear_stack_back_to({Kind::Tbody, Kind::Tfoot, Kind::Thead, Kind::Template, Kind::Html});
          pop();
          mode_ = Mode::InTable;
          return Step::Done;
        case Kind::Table: break;
        case Kind::Body: case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Html:
        case Kind::Td: case Kind::Th: case Kind::Tr:
          error("Unexpected end tag in table body");
          return Step::Done;
        default: return in_table(t);
      }
    }
    // Start tags of other table parts and </table> close the section first.
    if (!any_in_scope({Kind::Tbody, Kind::Thead, Kind::Tfoot}, Scope::Table)) {
      error("No table section open");
      return Step::Done;
    }
    clear_stack_back_to({Kind::Tbody, Kind::Tfoot, Kind::Thead, Kind::Template, Kind::Html});
    pop();
    mode_ = Mode::InTable;
    return Step::Reprocess;
  }
  return in_table(t);
}

TreeBuilder::Step TreeBuilder::in_row(Token& t) {
  if (t.kind == TokenKind::Tag) {
    bool closes_row = false;
    if (is_start(t)) {
      switch (tk_) {
        case Kind::Th: case Kind::Td:
          clear_stack_back_to({Kind::Tr, Kind::Template, Kind::Html});
          insert_html_element(t.tag);
          mode_ = Mode::InCell;
          push_marker();
          return Step::Done;
        case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Tbody:
        case Kind::Tfoot: case Kind::Thead: case Kind::Tr:
          closes_row = true;
          break;
        default: return in_table(t);
      }
    } else {
      switch (tk_) {
        case Kind::Tr:
          if (!in_scope(Kind::Tr, Scope::Table)) {
            error("Unexpected tr end tag");
            return Step::Done;
          }
          clear_stack_back_to({Kind::Tr, Kind::Template, Kind::Html});
          pop();
          mode_ = Mode::InTableBody;
          return Step::Done;
        case Kind::Table: closes_row = true; break;
        case Kind::Tbody: case Kind::Tfoot: case Kind::Thead:
          if (!in_scope(tk_, Scope::Table)) {
            error("Unexpected end tag in row");
            return Step::Done;
          }
          closes_row = true;
          break;
        case Kind::Body: case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Html:
        case Kind::Td: case Kind::Th:
          error("Unexpected end tag in row");
          return Step::Done;
        default: return in_table(t);
      }
    }
    if (closes_row) {
      if (!in_scope(Kind::Tr, Scope::Table)) {
        error("No row open");
        return Step::Done;
      }
      clear_stack_back_to({Kind::Tr, Kind::Template, Kind::Html});
      pop();
      mode_ = Mode::InTableBody;
      return Step::Reprocess;
    }
  }
  return in_table(t);
}

void TreeBuilder::close_cell() {
  generate_implied_end_tags();
  if (!current_is(Kind::Td) && !current_is(Kind::Th)) error("Unclosed elements in cell");
  pop_until_one_of({Kind::Td, Kind::Th});
  clear_formatting_to_marker();
  mode_ = Mode::InRow;
}

TreeBuilder::Step TreeBuilder::in_cell(Token& t) {
  if (t.kind == TokenKind::Tag) {
    if (is_end(t)) {
      switch (tk_) {
        case Kind::Td: case Kind::Th:
          if (!in_scope(tk_, Scope::Table)) {
            error("Unexpected cell end tag");
            return Step::Done;
          }
          generate_implied_end_tags();
          if (!current_is(tk_)) error("Unclosed elements in cell");
          pop_until(tk_);
          clear_formatting_to_marker();
          mode_ = Mode::InRow;
          return Step::Done;
        case Kind::Body: case Kind::Caption: case Kind::Col: case Kind::Colgroup: case Kind::Html:
          error("Unexpected end tag in cell");
          return Step::Done;
        case Kind::Table: case Kind::Tbody: case Kind::Tfoot: case Kind::Thead: case Kind::Tr:
          if (!in_scope(tk_, Scope::Table)) {
            error("Unexpected end tag in cell");
            return Step::Done;
          }
          close_cell();
          return Step::Reprocess;
        default: break;
      }
    } else if (one_of(tk_, {Kind::Caption, Kind::Col, Kind::Colgroup, Kind::Tbody, Kind::Td,
                            Kind::Tfoot, Kind::Th, Kind::Thead, Kind::Tr})) {
      if (!any_in_scope({Kind::Td, Kind::Th}, Scope::Table)) {
        error("No cell open");
        return Step::Done;
      }
      close_cell();
      return Step::Reprocess;
    }
  }
  return in_body(t);
}

TreeBuilder::Step TreeBuilder::in_template(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: case TokenKind::Comment: case TokenKind::Doctype:
      return in_body(t);
    case TokenKind::Eof:
      if (!has_open(Kind::Template)) {
        stop_parsing();
        return Step::Done;
      }
      error("Unexpected end of file in template");
      pop_until(Kind::Template);
      clear_formatting_to_marker();
      template_modes_.pop_back();
      reset_insertion_mode();
      return Step::Reprocess;
    default: break;
  }
  if (t.kind != TokenKind::Tag) return Step::Done;
  if (is_end(t)) {
    if (tk_ == Kind::Template) return in_head(t);
    error("Unexpected end tag in template");
    return Step::Done;
  }
  Mode next;
  switch (tk_) {
    case Kind::Base: case Kind::Basefont: case Kind::Bgsound: case Kind::Link: case Kind::Meta:
    case Kind::Noframes: case Kind::Script: case Kind::Style: case Kind::Template:
    case Kind::Title:
      return in_head(t);
    case Kind::Caption: case Kind::Colgroup: case Kind::Tbody: case Kind::Tfoot:
    case Kind::Thead:
      next = Mode::InTable;
      break;
    case Kind::Col: next = Mode::InColumnGroup; break;
    case Kind::Tr: next = Mode::InTableBody; break;
    case Kind::Td: case Kind::Th: next = Mode::InRow; break;
    default: next = Mode::InBody; break;
  }
  template_modes_.pop_back();
  template_modes_.push_back(next);
  mode_ = next;
  return Step::Reprocess;
}

}  // namespace html5
