// Footnotes in VEDAVI HTML: references, inline notes and the footnote section at the end.
//
// Document footnotes and inline notes share one numbering, in order of first reference. Bodies
// are rendered in the section pass, so a label first referenced from inside a body is numbered
// after every label of the main text and joins the same pass.

#include "text/escape.h"
#include "render/renderer.h"

namespace vedavi {
namespace {

// "fnref-" frag, then "-" k from the second reference on.
void reference_id(std::string_view fragment, std::size_t k, std::string& out) {
  out += "fnref-";
  out += fragment;
  if (k >= 2) {
    out += '-';
    append_number(k, out);
  }
}

}  // namespace

void Renderer::footnote_ref(std::string_view label, std::string& out) {
  auto found = labels_.find(label);
  if (found == labels_.end()) found = labels_.emplace(std::string(label), LabelState{}).first;
  LabelState& state = found->second;
  if (state.number == 0) {
    reference_order_.push_back(&*found);
    state.number = reference_order_.size();
  }
  state.count += 1;
  // The fragment holds nothing that needs an attribute escape.
  const std::string fragment = escape_fragment(label);
  out += "<sup id=\"";
  reference_id(fragment, state.count, out);
  out += "\"><a href=\"#fn-";
  out += fragment;
  out += "\" class=\"footnote-ref\" role=\"doc-noteref\">";
  append_number(state.number, out);
  out += "</a></sup>";
}

bool Renderer::is_label_taken(std::string_view label) const {
  return labels_.contains(label) || definition_index_.contains(label);
}

void Renderer::note(const Inlines& content, std::string& out) {
  // A generated label never takes one the author wrote, which would lose one of the bodies.
  std::string label;
  do {
    label = "__note";
    append_number(++last_note_serial_, label);
  } while (is_label_taken(label));
  labels_.emplace(label, LabelState{}).first->second.note = &content;
  footnote_ref(label, out);
}

void Renderer::footnote_body(const std::string& label, const LabelState& state,
                             std::string& out) {
  if (const auto definition = definition_index_.find(label);
      definition != definition_index_.end()) {
    blocks(definitions_[definition->second].blocks, out);
  } else if (state.note != nullptr) {
    out += "<p>";
    inlines(*state.note, out);
    out += "</p>\n";
  }
}

void Renderer::footnotes(std::string& out) {
  if (reference_order_.empty()) return;
  // Rendering a body may reference further labels; they join the order and this loop.
  std::vector<std::string> bodies;
  for (std::size_t i = 0; i < reference_order_.size(); ++i) {
    std::string body;
    footnote_body(reference_order_[i]->first, reference_order_[i]->second, body);
    bodies.push_back(std::move(body));
  }
  out += "<section class=\"footnotes\" role=\"doc-endnotes\">\n<ol>\n";
  std::string backlinks;
  for (std::size_t i = 0; i < reference_order_.size(); ++i) {
    const auto& [label, state] = *reference_order_[i];
    const std::string fragment = escape_fragment(label);
    backlinks.clear();
    for (std::size_t k = 1; k <= state.count; ++k) {
      if (k > 1) backlinks += ' ';
      backlinks += "<a href=\"#";
      reference_id(fragment, k, backlinks);
      backlinks += "\" class=\"footnote-backref\" role=\"doc-backlink\">\u21A9";
      if (k >= 2) {
        backlinks += "<sup>";
        append_number(k, backlinks);
        backlinks += "</sup>";
      }
      backlinks += "</a>";
    }
    out += "<li id=\"fn-";
    out += fragment;
    out += "\">\n";
    const std::string_view body = bodies[i];
    if (body.size() >= 5 && body.ends_with("</p>\n")) {
      out += body.substr(0, body.size() - 5);
      out += ' ';
      out += backlinks;
      out += "</p>\n</li>\n";
    } else {
      out += body;
      out += backlinks;
      out += "\n</li>\n";
    }
  }
  out += "</ol>\n</section>\n";
}

}  // namespace vedavi
