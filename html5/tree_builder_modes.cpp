// Insertion modes around the body: the document's start (initial to after head), raw text, and the
// modes after the body and of framesets.
#include <array>
#include <string_view>

#include "html5/tree_builder.h"
#include "html5/tree_builder_text.h"

namespace html5 {

namespace {

bool starts_with_icase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && ascii_iequals(s.substr(0, prefix.size()), prefix);
}

constexpr std::string_view kQuirkyPublicPrefixes[] = {
    "+//Silmaril//dtd html Pro v0r11 19970101//",
    "-//AS//DTD HTML 3.0 asWedit + extensions//",
    "-//AdvaSoft Ltd//DTD HTML 3.0 asWedit + extensions//",
    "-//IETF//DTD HTML 2.0 Level 1//",
    "-//IETF//DTD HTML 2.0 Level 2//",
    "-//IETF//DTD HTML 2.0 Strict Level 1//",
    "-//IETF//DTD HTML 2.0 Strict Level 2//",
    "-//IETF//DTD HTML 2.0 Strict//",
    "-//IETF//DTD HTML 2.0//",
    "-//IETF//DTD HTML 2.1E//",
    "-//IETF//DTD HTML 3.0//",
    "-//IETF//DTD HTML 3.2 Final//",
    "-//IETF//DTD HTML 3.2//",
    "-//IETF//DTD HTML 3//",
    "-//IETF//DTD HTML Level 0//",
    "-//IETF//DTD HTML Level 1//",
    "-//IETF//DTD HTML Level 2//",
    "-//IETF//DTD HTML Level 3//",
    "-//IETF//DTD HTML Strict Level 0//",
    "-//IETF//DTD HTML Strict Level 1//",
    "-//IETF//DTD HTML Strict Level 2//",
    "-//IETF//DTD HTML Strict Level 3//",
    "-//IETF//DTD HTML Strict//",
    "-//IETF//DTD HTML//",
    "-//Metrius//DTD Metrius Presentational//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 2.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 2.0 Tables//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML Strict//",
    "-//Microsoft//DTD Internet Explorer 3.0 HTML//",
    "-//Microsoft//DTD Internet Explorer 3.0 Tables//",
    "-//Netscape Comm. Corp.//DTD HTML//",
    "-//Netscape Comm. Corp.//DTD Strict HTML//",
    "-//O'Reilly and Associates//DTD HTML 2.0//",
    "-//O'Reilly and Associates//DTD HTML Extended 1.0//",
    "-//O'Reilly and Associates//DTD HTML Extended Relaxed 1.0//",
    "-//SQ//DTD HTML 2.0 HoTMetaL + extensions//",
    "-//SoftQuad Software//DTD HoTMetaL PRO 6.0::19990601::extensions to HTML 4.0//",
    "-//SoftQuad//DTD HoTMetaL PRO 4.0::19971010::extensions to HTML 4.0//",
    "-//Spyglass//DTD HTML 2.0 Extended//",
    "-//Sun Microsystems Corp.//DTD HotJava HTML//",
    "-//Sun Microsystems Corp.//DTD HotJava Strict HTML//",
    "-//W3C//DTD HTML 3 1995-03-24//",
    "-//W3C//DTD HTML 3.2 Draft//",
    "-//W3C//DTD HTML 3.2 Final//",
    "-//W3C//DTD HTML 3.2//",
    "-//W3C//DTD HTML 3.2S Draft//",
    "-//W3C//DTD HTML 4.0 Frameset//",
    "-//W3C//DTD HTML 4.0 Transitional//",
    "-//W3C//DTD HTML Experimental 19960712//",
    "-//W3C//DTD HTML Experimental 970421//",
    "-//W3C//DTD W3 HTML//",
    "-//W3O//DTD W3 HTML 3.0//",
    "-//WebTechs//DTD Mozilla HTML 2.0//",
    "-//WebTechs//DTD Mozilla HTML//",
};

QuirksMode quirks_of_doctype(const Doctype& d, bool iframe_srcdoc) {
  if (iframe_srcdoc) return QuirksMode::NoQuirks;  // never quirky, whatever the doctype
  if (d.force_quirks || !d.name || *d.name != "html") return QuirksMode::Quirks;
  std::string_view pub = d.public_id ? std::string_view(*d.public_id) : std::string_view();
  std::string_view sys = d.system_id ? std::string_view(*d.system_id) : std::string_view();
  if (d.public_id) {
    if (ascii_iequals(pub, "-//W3O//DTD W3 HTML Strict 3.0//EN//") ||
        ascii_iequals(pub, "-/W3C/DTD HTML 4.0 Transitional/EN") || ascii_iequals(pub, "HTML")) {
      return QuirksMode::Quirks;
    }
    for (std::string_view prefix : kQuirkyPublicPrefixes) {
      if (starts_with_icase(pub, prefix)) return QuirksMode::Quirks;
    }
  }
  if (d.system_id &&
      ascii_iequals(sys, "http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd")) {
    return QuirksMode::Quirks;
  }
  bool html401 = d.public_id && (starts_with_icase(pub, "-//W3C//DTD HTML 4.01 Frameset//") ||
                                 starts_with_icase(pub, "-//W3C//DTD HTML 4.01 Transitional//"));
  if (html401 && !d.system_id) return QuirksMode::Quirks;
  if (d.public_id && (starts_with_icase(pub, "-//W3C//DTD XHTML 1.0 Frameset//") ||
                      starts_with_icase(pub, "-//W3C//DTD XHTML 1.0 Transitional//"))) {
    return QuirksMode::LimitedQuirks;
  }
  if (html401) return QuirksMode::LimitedQuirks;
  return QuirksMode::NoQuirks;
}

bool is_start(const Token& t) { return t.kind == TokenKind::Tag && t.tag.kind == TagKind::Start; }
bool is_end(const Token& t) { return t.kind == TokenKind::Tag && t.tag.kind == TagKind::End; }

}  // namespace

void TreeBuilder::doctype_in_initial(const Doctype& d) {
  bool conforming = d.name && *d.name == "html" && !d.public_id &&
                    (!d.system_id || *d.system_id == "about:legacy-compat");
  if (!conforming) error("Bad doctype");
  if (!options_.drop_doctype) {
    sink_.append_doctype_to_document(d.name ? *d.name : std::string_view(),
                                     d.public_id ? *d.public_id : std::string_view(),
                                     d.system_id ? *d.system_id : std::string_view());
  }
  quirks_mode_ = quirks_of_doctype(d, options_.iframe_srcdoc);
  sink_.set_quirks_mode(quirks_mode_);
}

TreeBuilder::Step TreeBuilder::initial(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: {
      std::size_t n = leading_whitespace(t.text);
      t.text.remove_prefix(n);
      if (t.text.empty()) return Step::Done;
      break;
    }
    case TokenKind::Comment: append_comment_to(document_, t.text); return Step::Done;
    case TokenKind::Doctype:
      doctype_in_initial(t.doctype);
      mode_ = Mode::BeforeHtml;
      return Step::Done;
    default: break;
  }
  if (!options_.iframe_srcdoc) {
    error("Missing doctype");
    quirks_mode_ = QuirksMode::Quirks;
    sink_.set_quirks_mode(quirks_mode_);
  }
  mode_ = Mode::BeforeHtml;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::before_html(Token& t) {
  switch (t.kind) {
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Comment: append_comment_to(document_, t.text); return Step::Done;
    case TokenKind::Characters:
      t.text.remove_prefix(leading_whitespace(t.text));
      if (t.text.empty()) return Step::Done;
      break;
    case TokenKind::Tag:
      if (is_start(t) && tk_ == Kind::Html) {
        Handle html = create_element(t.tag, Namespace::Html);
        sink_.append(document_, NodeOrText::of_node(html));
        push(OpenElement{html, Kind::Html, Namespace::Html, false});
        mode_ = Mode::BeforeHead;
        return Step::Done;
      }
      if (is_end(t) && tk_ != Kind::Head && tk_ != Kind::Body && tk_ != Kind::Html &&
          tk_ != Kind::Br) {
        error("Unexpected end tag");
        return Step::Done;
      }
      break;
    default: break;
  }
  Tag html;
  html.name = "html";
  Handle node = create_element(html, Namespace::Html);
  sink_.append(document_, NodeOrText::of_node(node));
  push(OpenElement{node, Kind::Html, Namespace::Html, false});
  mode_ = Mode::BeforeHead;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::before_head(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters:
      t.text.remove_prefix(leading_whitespace(t.text));
      if (t.text.empty()) return Step::Done;
      break;
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Tag:
      if (is_start(t) && tk_ == Kind::Html) return in_body(t);
      if (is_start(t) && tk_ == Kind::Head) {
        head_element_ = insert_html_element(t.tag);
        mode_ = Mode::InHead;
        return Step::Done;
      }
      if (is_end(t) && tk_ != Kind::Head && tk_ != Kind::Body && tk_ != Kind::Html &&
          tk_ != Kind::Br) {
        error("Unexpected end tag");
        return Step::Done;
      }
      break;
    default: break;
  }
  head_element_ = insert_phantom("head");
  mode_ = Mode::InHead;
  return Step::Reprocess;
}

void TreeBuilder::generic_raw_text(Tag& tag, RawKind kind) {
  insert_html_element(tag);
  original_mode_ = mode_;
  mode_ = Mode::Text;
  result_ = TokenSinkResult::raw_data(kind);
}

TreeBuilder::Step TreeBuilder::in_head(Token& t) {
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
    case TokenKind::Tag:
      if (is_start(t)) {
        switch (tk_) {
          case Kind::Html: return in_body(t);
          case Kind::Base: case Kind::Basefont: case Kind::Bgsound: case Kind::Link:
          case Kind::Meta:
            insert_html_element(t.tag);
            pop();
            return Step::Done;
          case Kind::Title: generic_raw_text(t.tag, RawKind::Rcdata); return Step::Done;
          case Kind::Noscript:
            if (options_.scripting_enabled) {
              generic_raw_text(t.tag, RawKind::Rawtext);
            } else {
              insert_html_element(t.tag);
              mode_ = Mode::InHeadNoscript;
            }
            return Step::Done;
          case Kind::Noframes:
          case Kind::Style: generic_raw_text(t.tag, RawKind::Rawtext); return Step::Done;
          case Kind::Script: {
            InsertionPoint place = appropriate_place();
            Handle node = create_element(t.tag, Namespace::Html);
            // A fragment's scripts never run.
            if (context_) sink_.mark_script_already_started(node);
            insert_at(place, NodeOrText::of_node(node));
            push(OpenElement{node, Kind::Script, Namespace::Html, false});
            original_mode_ = mode_;
            mode_ = Mode::Text;
            result_ = TokenSinkResult::raw_data(RawKind::ScriptData);
            return Step::Done;
          }
          case Kind::Template: {
            push_marker();
            frameset_ok_ = false;
            mode_ = Mode::InTemplate;
            template_modes_.push_back(Mode::InTemplate);
            bool shadow = false;
            for (const Attribute& a : t.tag.attrs) {
              if (a.name.ns == Namespace::None && a.name.local == "shadowrootmode") {
                shadow = a.value == "open" || a.value == "closed";
                break;
              }
            }
            const OpenElement& host = adjusted_current();
            if (shadow && !(open_.size() == 1 && !context_)) {
              // A declarative shadow root: the template joins the stack only; if the sink
              // refuses to attach, an ordinary template takes its place.
              Handle host_node = host.node;
              Tag copy = t.tag;
              std::vector<Attribute> attrs = t.tag.attrs;
              Handle tmpl = insert_element(copy, Namespace::Html, Kind::Template,
                                          /*only_add_to_stack=*/true);
              if (sink_.attach_declarative_shadow(host_node, tmpl, attrs)) return Step::Done;
              pop();
            }
            insert_html_element(t.tag);
            return Step::Done;
          }
          case Kind::Head: error("Unexpected head"); return Step::Done;
          default: break;
        }
      } else {
        switch (tk_) {
          case Kind::Head:
            pop();
            mode_ = Mode::AfterHead;
            return Step::Done;
          case Kind::Body: case Kind::Html: case Kind::Br: break;
          case Kind::Template:
            if (!has_open(Kind::Template)) {
              error("Unexpected template end tag");
              return Step::Done;
            }
            generate_all_implied_end_tags_thoroughly();
            if (!current_is(Kind::Template)) error("Unclosed elements in template");
            pop_until(Kind::Template);
            clear_formatting_to_marker();
            template_modes_.pop_back();
            reset_insertion_mode();
            return Step::Done;
          default: error("Unexpected end tag"); return Step::Done;
        }
      }
      break;
    default: break;
  }
  pop();  // the head element
  mode_ = Mode::AfterHead;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::in_head_noscript(Token& t) {
  switch (t.kind) {
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Comment: return in_head(t);
    case TokenKind::Characters: {
      std::size_t n = leading_whitespace(t.text);
      insert_text(t.text.substr(0, n));
      t.text.remove_prefix(n);
      if (t.text.empty()) return Step::Done;
      break;
    }
    case TokenKind::Tag:
      if (is_start(t)) {
        switch (tk_) {
          case Kind::Html: return in_body(t);
          case Kind::Basefont: case Kind::Bgsound: case Kind::Link: case Kind::Meta:
          case Kind::Noframes: case Kind::Style:
            return in_head(t);
          case Kind::Head: case Kind::Noscript: error("Unexpected start tag"); return Step::Done;
          default: break;
        }
      } else {
        if (tk_ == Kind::Noscript) {
          pop();
          mode_ = Mode::InHead;
          return Step::Done;
        }
        if (tk_ != Kind::Br) {
          error("Unexpected end tag");
          return Step::Done;
        }
      }
      break;
    default: break;
  }
  error("Unexpected token in noscript");
  pop();
  mode_ = Mode::InHead;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::after_head(Token& t) {
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
    case TokenKind::Tag:
      if (is_start(t)) {
        switch (tk_) {
          case Kind::Html: return in_body(t);
          case Kind::Body:
            insert_html_element(t.tag);
            frameset_ok_ = false;
            mode_ = Mode::InBody;
            return Step::Done;
          case Kind::Frameset:
            insert_html_element(t.tag);
            mode_ = Mode::InFrameset;
            return Step::Done;
          case Kind::Base: case Kind::Basefont: case Kind::Bgsound: case Kind::Link:
          case Kind::Meta: case Kind::Noframes: case Kind::Script: case Kind::Style:
          case Kind::Template: case Kind::Title: {
            error("Head element after head");
            if (!head_element_) return in_head(t);  // after head always follows a head
            // The head goes back on the stack for the token, and leaves it again.
            Handle head = *head_element_;
            push(OpenElement{head, Kind::Head, Namespace::Html, false});
            Step s = in_head(t);
            if (auto pos = open_position(head)) remove_open_at(*pos);
            return s;
          }
          case Kind::Head: error("Unexpected head"); return Step::Done;
          default: break;
        }
      } else {
        switch (tk_) {
          case Kind::Template: return in_head(t);
          case Kind::Body: case Kind::Html: case Kind::Br: break;
          default: error("Unexpected end tag"); return Step::Done;
        }
      }
      break;
    default: break;
  }
  insert_phantom("body");
  mode_ = Mode::InBody;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::text(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: insert_text(t.text); return Step::Done;
    case TokenKind::Eof:
      error("Unexpected end of file in raw text");
      if (current_is(Kind::Script)) sink_.mark_script_already_started(current().node);
      pop();
      mode_ = original_mode_;
      return Step::Reprocess;
    case TokenKind::Tag:
      if (is_end(t)) {
        Handle node = current().node;
        bool script = tk_ == Kind::Script && current_is(Kind::Script);
        pop();
        mode_ = original_mode_;
        if (script) result_ = TokenSinkResult{TokenSinkResult::Kind::Script, node, RawKind::Rcdata};
        return Step::Done;
      }
      return Step::Done;
    default: return Step::Done;
  }
}

TreeBuilder::Step TreeBuilder::after_body(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters:
      if (leading_whitespace(t.text) == t.text.size()) return in_body(t);
      break;
    case TokenKind::Comment: append_comment_to(open_[0].node, t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Eof: stop_parsing(); return Step::Done;
    case TokenKind::Tag:
      if (is_start(t) && tk_ == Kind::Html) return in_body(t);
      if (is_end(t) && tk_ == Kind::Html) {
        if (context_) {
          error("Unexpected html end tag");
          return Step::Done;
        }
        mode_ = Mode::AfterAfterBody;
        return Step::Done;
      }
      break;
    default: break;
  }
  error("Unexpected token after body");
  mode_ = Mode::InBody;
  return Step::Reprocess;
}

void TreeBuilder::insert_whitespace_only(std::string_view text) {
  std::string spaces;
  for (char c : text) {
    if (is_whitespace(c)) spaces.push_back(c);
  }
  if (spaces.size() != text.size()) error("Unexpected characters");
  insert_text(spaces);
}

TreeBuilder::Step TreeBuilder::in_frameset(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: insert_whitespace_only(t.text); return Step::Done;
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Eof:
      if (open_.size() != 1) error("Unexpected end of file in frameset");
      stop_parsing();
      return Step::Done;
    case TokenKind::Tag:
      if (is_start(t)) {
        switch (tk_) {
          case Kind::Html: return in_body(t);
          case Kind::Frameset: insert_html_element(t.tag); return Step::Done;
          case Kind::Frame: insert_html_element(t.tag); pop(); return Step::Done;
          case Kind::Noframes: return in_head(t);
          default: break;
        }
      } else if (tk_ == Kind::Frameset) {
        if (open_.size() == 1) {
          error("Unexpected frameset end tag");
          return Step::Done;
        }
        pop();
        if (!context_ && !current_is(Kind::Frameset)) mode_ = Mode::AfterFrameset;
        return Step::Done;
      }
      break;
    default: break;
  }
  error("Unexpected token in frameset");
  return Step::Done;
}

TreeBuilder::Step TreeBuilder::after_frameset(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: insert_whitespace_only(t.text); return Step::Done;
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Eof: stop_parsing(); return Step::Done;
    case TokenKind::Tag:
      if (is_start(t) && tk_ == Kind::Html) return in_body(t);
      if (is_start(t) && tk_ == Kind::Noframes) return in_head(t);
      if (is_end(t) && tk_ == Kind::Html) {
        mode_ = Mode::AfterAfterFrameset;
        return Step::Done;
      }
      break;
    default: break;
  }
  error("Unexpected token after frameset");
  return Step::Done;
}

TreeBuilder::Step TreeBuilder::after_after_body(Token& t) {
  switch (t.kind) {
    case TokenKind::Comment: append_comment_to(document_, t.text); return Step::Done;
    case TokenKind::Doctype: return in_body(t);
    case TokenKind::Characters:
      if (leading_whitespace(t.text) == t.text.size()) return in_body(t);
      break;
    case TokenKind::Eof: stop_parsing(); return Step::Done;
    case TokenKind::Tag:
      if (is_start(t) && tk_ == Kind::Html) return in_body(t);
      break;
    default: break;
  }
  error("Unexpected token after body");
  mode_ = Mode::InBody;
  return Step::Reprocess;
}

TreeBuilder::Step TreeBuilder::after_after_frameset(Token& t) {
  switch (t.kind) {
    case TokenKind::Comment: append_comment_to(document_, t.text); return Step::Done;
    case TokenKind::Doctype: return in_body(t);
    case TokenKind::Characters: {
      // Whitespace is processed as in the body; anything else is dropped.
      std::string spaces;
      for (char c : t.text) {
        if (is_whitespace(c)) spaces.push_back(c);
      }
      if (spaces.size() != t.text.size()) error("Unexpected characters after frameset");
      if (!spaces.empty()) {
        Token ws;
        ws.kind = TokenKind::Characters;
        ws.text = spaces;
        return in_body(ws);
      }
      return Step::Done;
    }
    case TokenKind::Eof: stop_parsing(); return Step::Done;
    case TokenKind::Tag:
      if (is_start(t) && tk_ == Kind::Html) return in_body(t);
      if (is_start(t) && tk_ == Kind::Noframes) return in_head(t);
      break;
    default: break;
  }
  error("Unexpected token after frameset");
  return Step::Done;
}

}  // namespace html5
