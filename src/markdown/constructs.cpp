// Code blocks, display math, figures, panels and template elements.
#include <algorithm>

#include "fast5ever/serialize.h"
#include "markdown/attrs.h"
#include "markdown/renderer.h"
#include "text/unicode.h"

namespace vedavi::markdown {
namespace {

// The language of a code element's first "language-" class, removed from `attr` with its twins.
std::optional<std::string> take_language(Attr& attr) {
  const auto found = std::find_if(attr.classes().begin(), attr.classes().end(), [](const std::string& c) {
    return c.size() >= 9 && c.starts_with("language-");
  });
  if (found == attr.classes().end()) return std::nullopt;
  std::string language = found->substr(9);
  const std::string full = *found;
  std::erase(attr.classes_mut(), full);
  return language;
}

// A word the info string can hold bare: what the reader takes as the whole language.
bool bare_language(std::string_view language) {
  return !language.empty() && language.find_first_of(" \t\n\r\f\v{}`~") == std::string_view::npos;
}

// The language as the info string's word: the reader unescapes backslashes and decodes
// character references in it, and reads a word opening with "." or "#" as attributes.
std::string info_word(std::string_view language) {
  std::string word;
  for (const char c : language) {
    if (c == '&') {
      word += "&amp;";
      continue;
    }
    if (c == '\\' || (word.empty() && (c == '.' || c == '#'))) word += '\\';
    word += c;
  }
  return word;
}

std::optional<std::string> usable_template_name(std::string_view text) {
  const std::string_view trimmed = unicode::trim(text);
  if (trimmed.empty() || trimmed.find_first_of("\r\n") != std::string_view::npos ||
      trimmed.find("{{") != std::string_view::npos || trimmed.find("}}") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(trimmed);
}

struct TemplateParts {
  std::string name;
  std::optional<NodeId> body;
};

// A template's name and body. The body is the lone content child, or a lone argument without a
// name; any other shape (a named argument, arguments beside the content) has no md form.
std::optional<TemplateParts> template_parts(const Dom& dom, NodeId node) {
  const auto* element = dom.element(node);
  if (element == nullptr || !element->template_contents || !dom.attr(node, "data-op")) {
    return std::nullopt;
  }
  const auto children = significant_children(dom, *element->template_contents);
  for (NodeId child : children) {
    if (!dom.attr(child, "data-arg") && !dom.attr(child, "data-content")) return std::nullopt;
  }
  TemplateParts parts;
  if (children.size() > 1) return std::nullopt;
  if (children.size() == 1) {
    if (!dom.attr(children[0], "data-content") && dom.attr(children[0], "data-name")) {
      return std::nullopt;
    }
    parts.body = children[0];
  }
  if (auto name = usable_template_name(dom.attr(node, "data-name").value_or(""))) {
    parts.name = std::move(*name);
  } else {
    const std::string_view op = *dom.attr(node, "data-op");
    const std::size_t colon = op.rfind(':');
    auto last = usable_template_name(colon == std::string_view::npos ? op : op.substr(colon + 1));
    parts.name = last ? std::move(*last) : "empty";
  }
  return parts;
}

}  // namespace

// The info string of a code block, or none when md cannot spell it. The reader turns "```py" into
// a code element of class language-py alone, and "```{.py ...}" into the same code element in a
// pre that also has class py: so the braced form is used only when the pre has that class. Without
// a language the reader still makes the first class one, which must then be one md can spell.
std::optional<std::string> DomRenderer::code_info(NodeId pre, NodeId code) const {
  Attr attr = attrs_without_classes(dom_, pre);
  Attr code_attr = attrs_without_classes(dom_, code);
  const auto language = take_language(code_attr);
  attr.merge(code_attr);
  if (!sayable(attr)) return std::nullopt;
  if (!language && !attr.classes().empty() && !bare_language(attr.classes().front())) return std::nullopt;
  if (!language) return attr.empty() ? "" : "{" + attrs_body(attr) + "}";
  if (!bare_language(*language)) return std::nullopt;
  if (attr.empty()) return info_word(*language);
  if (!attr.has_class(*language)) return std::nullopt;
  std::erase(attr.classes_mut(), *language);
  std::string info = "{.";
  append_attr_word(*language, info);
  // The language opens the group, so a body starting with ":" needs no space of its own.
  if (!attr.empty()) info += " " + std::string(unicode::trim_start(attrs_body(attr)));
  return info + "}";
}

void DomRenderer::code_block(NodeId pre, NodeId code) {
  const auto info = code_info(pre, code);
  if (!info) {
    raw_block(pre);
    return;
  }
  std::string text;
  fast5ever::append_text(dom_, code, text);
  fenced_block(*info, text, out());
}

void DomRenderer::display_math(NodeId div) {
  if (!attribute_line_reads_back(attrs_without_classes(dom_, div, {}, {"math", "display"}))) {
    raw_block(div);
    return;
  }
  std::string& text = out();
  text += "\\[\n";
  fast5ever::append_text(dom_, div, text);
  text += "\n\\]\n";
  ial(attrs_without_classes(dom_, div, {}, {"math", "display"}), text);
  text += '\n';
}

bool DomRenderer::figure(NodeId node) {
  const auto children = significant_children(dom_, node);
  if (children.empty() || children.size() > 2) return false;
  if (!dom_.is_tag(children[0], "img") || !dom_.attr(children[0], "src")) return false;
  if (children.size() == 2 && !dom_.is_tag(children[1], "figcaption")) return false;
  if (!sayable(attrs_without_classes(dom_, node)) ||
      !sayable(attrs_without_classes(dom_, children[0], {"src", "alt", "title"}))) {
    return false;
  }
  out() += "![";
  if (children.size() == 1) {
    alt_text(children[0]);
    Frame frame{node, nullptr, nullptr, nullptr, Walk::Inlines, Close::Figure};
    frame.partner = children[0];
    close_figure(frame);
    return true;
  }
  push_children(children[1], Walk::Inlines, Close::Figure);
  frames_.back().node = node;
  frames_.back().partner = children[0];
  return true;
}

void DomRenderer::close_figure(const Frame& frame) {
  image_tail(frame.partner);
  out() += '\n';
  ial(attrs_without_classes(dom_, frame.node), out());
  out() += '\n';
}

void DomRenderer::panel(NodeId div) {
  push_sink();
  push_children(div, Walk::Panel, Close::Panel);
  const auto& children = dom_.node(div).children;
  const auto title = std::find_if(children.begin(), children.end(),
                                  [&](NodeId child) { return dom_.element(child) != nullptr; });
  frames_.back().partner = title != children.end() ? *title : 0;
}

void DomRenderer::panel_title(NodeId header) {
  out() += "## ";
  ++headings_open_;
  heading_start_ = out().size();
  push_children(header, Walk::Inlines, Close::Heading);
}

void DomRenderer::close_panel(NodeId div) {
  const std::string body = pop_sink();
  fenced_div(attrs_without_classes(dom_, div), body, out());
}

bool DomRenderer::render_template(NodeId node) {
  const auto parts = template_parts(dom_, node);
  if (!parts) return false;
  std::string& text = out();
  text += parts->body ? "{{#" : "{{";
  text += parts->name;
  text += "}}";
  if (!parts->body) return true;
  const auto& children = dom_.node(*parts->body).children;
  const bool has_block = std::any_of(children.begin(), children.end(),
                                     [&](NodeId child) { return is_block(child); });
  if (has_block) {
    text += '\n';
    push_sink();
    push_children(*parts->body, Walk::Blocks, Close::TemplateBlocks);
  } else {
    push_children(*parts->body, Walk::Inlines, Close::TemplateInline);
  }
  frames_.back().node = node;
  return true;
}

void DomRenderer::close_template(NodeId node, bool blocks) {
  if (blocks) {
    const std::string body = pop_sink();
    out() += unicode::trim_end(body);
    out() += '\n';
  }
  out() += "{{/";
  out() += template_parts(dom_, node)->name;
  out() += "}}";
}

}  // namespace vedavi::markdown
