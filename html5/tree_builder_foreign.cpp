// Tokens inside SVG and MathML content.
#include <string>

#include "html5/tree_builder.h"
#include "html5/tree_builder_text.h"

namespace html5 {

namespace {

bool breaks_out_of_foreign(const Tag& tag, Kind kind) {
  if (tag.kind == TagKind::End) return kind == Kind::Br || kind == Kind::P;
  if (has_flag(kind, kBreaksOutOfForeign)) return true;
  if (kind != Kind::Font) return false;
  for (const Attribute& a : tag.attrs) {
    if (a.name.ns != Namespace::None) continue;
    if (a.name.local == "color" || a.name.local == "face" || a.name.local == "size") return true;
  }
  return false;
}

}  // namespace

TreeBuilder::Step TreeBuilder::foreign_content(Token& t) {
  switch (t.kind) {
    case TokenKind::Characters: {
      if (t.text.find('\0') == std::string_view::npos) {
        insert_text(t.text);
      } else {
        error("Unexpected null character");
        std::string replaced;
        for (char c : t.text) {
          if (c == '\0') {
            replaced += "\xEF\xBF\xBD";
          } else {
            replaced.push_back(c);
          }
        }
        insert_text(replaced);
      }
      for (char c : t.text) {
        if (c != '\0' && !is_whitespace(c)) {
          frameset_ok_ = false;
          break;
        }
      }
      return Step::Done;
    }
    case TokenKind::Comment: insert_comment(t.text); return Step::Done;
    case TokenKind::Doctype: error("Unexpected doctype"); return Step::Done;
    case TokenKind::Tag: break;
    default: return Step::Done;
  }
  Tag& tag = t.tag;
  if (breaks_out_of_foreign(tag, tk_)) {
    error("HTML tag in foreign content");
    while (!open_.empty()) {
      const OpenElement& node = current();
      if (node.ns == Namespace::Html || has_flag(node.kind, kMathMlTextIntegration) ||
          node.html_integration_point) {
        break;
      }
      pop();
    }
    return step(mode_, t);
  }
  if (tag.kind == TagKind::Start) {
    Namespace ns = adjusted_current().ns;
    if (ns == Namespace::MathMl) {
      adjust_mathml_attributes(tag.attrs);
    } else if (ns == Namespace::Svg) {
      std::string_view adjusted = adjust_svg_tag_name(tag.name);
      if (adjusted.data() != tag.name.data()) tag.name = std::string(adjusted);
      adjust_svg_attributes(tag.attrs);
    }
    adjust_foreign_attributes(tag.attrs);
    bool self_closing = tag.self_closing;
    insert_element(tag, ns, element_kind(ns, tag.name));
    if (self_closing) pop();
    return Step::Done;
  }
  // An end tag: close the nearest foreign element of that name, or hand the tag to the HTML rules
  // once an HTML element is reached.
  if (tag.name == "script" && current().ns == Namespace::Svg &&
      sink_.elem_name(current().node).local == "script") {
    pop();
    return Step::Done;
  }
  if (!ascii_iequals(sink_.elem_name(current().node).local, tag.name)) {
    error("Unexpected end tag in foreign content");
  }
  // The foreign elements on top of the nearest HTML element are searched for the name; failing
  // that, the HTML rules get the tag.
  auto top = static_cast<std::int64_t>(open_.size()) - 1;
  std::int64_t html = top_mark(kMarkHtml);
  if (html == top) return Step::Done;  // only the fragment's root is open
  std::int64_t match = top_named("f" + tag.name);
  if (match > html) {
    pop_until_node(open_[static_cast<std::size_t>(match)].node);
    return Step::Done;
  }
  return step(mode_, t);
}

}  // namespace html5
