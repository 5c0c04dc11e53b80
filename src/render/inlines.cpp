// VEDAVI HTML of inlines: the inline walk and every inline kind.
#include <algorithm>

#include "text/escape.h"
#include "text/escape_scan.h"
#include "render/plain_inlines.h"
#include "render/render.h"
#include "render/renderer.h"
#include "render/staged_out.h"

namespace vedavi {
namespace {

using escape_scan::Markup;

// "<tag" A ">": the opening of the containers written as one element with their attributes.
void open_element(std::string_view tag, const Attr& attr, std::string& out) {
  out += '<';
  out += tag;
  attrs_html(attr, out);
  out += '>';
}

void text_element(std::string_view tag, const Attr& attr, std::string_view text,
                  std::string_view close, std::string& out) {
  open_element(tag, attr, out);
  escape_text_inline(text, out);
  out += close;
}

void title_attr(const std::optional<std::string>& title, std::string& out) {
  if (!title) return;
  out += " title=\"";
  escape_attr(*title, out);
  out += '"';
}

void image(const Inline::Image& image, std::string& out) {
  out += "<img src=\"";
  escape_url_attr(image.url, out);
  out += "\" alt=\"";
  escape_attr(render::plain(image.children), out);
  out += '"';
  title_attr(image.title, out);
  attrs_html(image.attr, out);
  out += " />";
}

void math_inline(const Inline::MathInline& math, std::string& out) {
  Attr attr = math.attr;
  attr.push_class("math");
  attr.push_class(math.display ? "display" : "inline");
  text_element("span", attr, math.tex, "</span>", out);
}

void operation_arg_open(const OperationArg& arg, std::string& out) {
  out += "<div data-arg";
  if (arg.name) {
    out += " data-name=\"";
    escape_attr(*arg.name, out);
    out += '"';
  }
  out += '>';
}

}  // namespace

std::string render_inlines(std::span<const Inline> inlines, InlineHtmlMemo* memo) {
  std::string out;
  Renderer renderer;
  renderer.use_memo(memo);
  renderer.inlines(inlines, out);
  return out;
}

void Renderer::inlines(std::span<const Inline> inlines, std::string& out) {
  // Inline lists are many short pieces: written staged (render/staged_out.h).
  StagedOut staged(out);
  this->inlines(inlines, staged);
  staged.flush();
}

void Renderer::inlines(std::span<const Inline> inlines, StagedOut& out) {
  // Many lists (a table cell, a plain paragraph) hold no container: they are written without
  // a frame of their own.
  std::optional<InlineFrame> opened = write_siblings(inlines, out);
  if (!opened) return;
  const std::size_t base = inline_stack_.size();
  inline_stack_.push_back(InlineFrame{inlines, {}});
  inline_stack_.push_back(*opened);
  while (inline_stack_.size() > base) {
    InlineFrame& top = inline_stack_.back();
    if (top.operation != nullptr) {
      if (top.next_arg == top.operation->args.size()) {
        out.append("</template>");
        inline_stack_.pop_back();
        continue;
      }
      const OperationArg& arg = top.operation->args[top.next_arg++];
      operation_arg_open(arg, out.string());
      inline_stack_.push_back(InlineFrame{arg.value, "</div>"});
      continue;
    }
    if (auto frame = write_siblings(top.rest, out)) {
      inline_stack_.push_back(*frame);
    } else {
      out.append(top.close);
      inline_stack_.pop_back();
    }
  }
}

using plain_inline::write_plain;

// Flattened: the staged writing of the common kinds is inlined here, its pieces of literal markup
// fixed-size stores.
[[gnu::flatten]] std::optional<Renderer::InlineFrame> Renderer::write_siblings(
    std::span<const Inline>& rest, StagedOut& out) {
  if (memo_ != nullptr && !memo_->empty()) return write_siblings_with_memo(rest, out.string());
  const Inline* node = rest.data();
  const Inline* const end = node + rest.size();
  while (node != end) {
    const Inline& current = *node++;
    // Text is most of the nodes, and soft breaks the most of the rest.
    if (const auto* text = std::get_if<Inline::Text>(&current.data)) {
      out.append_escaped_text(joined_lines(text->text, node, end));
      continue;
    }
    if (current.kind() == InlineKind::SoftBreak) {
      out.append("\n");
      continue;
    }
    if (write_plain(current, out)) continue;
    if (auto frame = open_inline(current, out.string())) {
      rest = std::span<const Inline>(node, end);
      return frame;
    }
  }
  rest = {};
  return std::nullopt;
}

std::optional<Renderer::InlineFrame> Renderer::write_siblings_with_memo(std::span<const Inline>& rest,
                                                                        std::string& out) {
  const Inline* node = rest.data();
  const Inline* const end = node + rest.size();
  while (node != end) {
    const Inline& current = *node++;
    if (!memo_->empty()) {
      if (const auto entry = memo_->find(&current); entry != memo_->end()) {
        out += entry->second;
        memo_->erase(entry);
        continue;
      }
    }
    if (auto frame = open_inline(current, out)) {
      rest = std::span<const Inline>(node, end);
      return frame;
    }
  }
  rest = {};
  return std::nullopt;
}

std::string_view Renderer::joined_lines(std::string_view text, const Inline*& next,
                                        const Inline* end) const {
  // Each line is a text of its own and the soft break between two writes the line feed the source
  // holds there, so a paragraph's lines, read where they stand, are one stretch of the source:
  // written as one, with one escape and one append. The byte after a text is read only when the
  // next text starts one byte on, so it lies between the two; whoever's byte it is, a line feed
  // there writes what the soft break would. Not with a memo, which may hold the HTML of any of
  // them.
  if (text.empty()) return text;
  while (end - next >= 2 && next[0].kind() == InlineKind::SoftBreak) {
    const auto* line = next[1].get_if<Inline::Text>();
    const char* stop = text.data() + text.size();
    if (line == nullptr || line->text.empty() || line->text.data() != stop + 1 || *stop != '\n')
      break;
    text = std::string_view(text.data(), text.size() + 1 + line->text.size());
    next += 2;
  }
  return text;
}

std::optional<Renderer::InlineFrame> Renderer::children_frame(std::span<const Inline> children,
                                                              std::string_view close,
                                                              std::string& out) {
  // With a memo a child may have HTML of its own: the walk writes it.
  if (memo_ == nullptr &&
      std::ranges::all_of(children, [](const Inline& c) { return c.kind() == InlineKind::Text; })) {
    for (const Inline& child : children) escape_text_inline(child.get_if<Inline::Text>()->text, out);
    out += close;
    return std::nullopt;
  }
  return InlineFrame{children, close};
}

std::optional<Renderer::InlineFrame> Renderer::open_inline(const Inline& node, std::string& out) {
  switch (node.kind()) {
    case InlineKind::Text:
      escape_text(node.get_if<Inline::Text>()->text, out);
      return std::nullopt;
    case InlineKind::SoftBreak:
      out += '\n';
      return std::nullopt;
    case InlineKind::HardBreak:
      out += "<br />\n";
      return std::nullopt;
    case InlineKind::Emph: {
      const auto& emph = *node.get_if<Inline::Emph>();
      open_element("em", emph.attr, out);
      return children_frame(emph.children, "</em>", out);
    }
    case InlineKind::Strong: {
      const auto& strong = *node.get_if<Inline::Strong>();
      open_element("strong", strong.attr, out);
      return children_frame(strong.children, "</strong>", out);
    }
    case InlineKind::Strike: {
      const auto& strike = *node.get_if<Inline::Strike>();
      open_element("del", strike.attr, out);
      return children_frame(strike.children, "</del>", out);
    }
    case InlineKind::Superscript: {
      const auto& sup = *node.get_if<Inline::Superscript>();
      text_element("sup", sup.attr, sup.text, "</sup>", out);
      return std::nullopt;
    }
    case InlineKind::Subscript: {
      const auto& sub = *node.get_if<Inline::Subscript>();
      text_element("sub", sub.attr, sub.text, "</sub>", out);
      return std::nullopt;
    }
    case InlineKind::Highlight: {
      const auto& mark = *node.get_if<Inline::Highlight>();
      open_element("mark", mark.attr, out);
      return children_frame(mark.children, "</mark>", out);
    }
    case InlineKind::Code: {
      const auto& code = *node.get_if<Inline::Code>();
      text_element("code", code.attr, code.text, "</code>", out);
      return std::nullopt;
    }
    case InlineKind::Link: {
      const auto& link = *node.get_if<Inline::Link>();
      out += "<a href=\"";
      escape_url_attr_inline(link.url, out);
      out += '"';
      title_attr(link.title, out);
      attrs_html(link.attr, out);
      out += '>';
      return children_frame(link.children, "</a>", out);
    }
    case InlineKind::Image:
      image(*node.get_if<Inline::Image>(), out);
      return std::nullopt;
    case InlineKind::Autolink: {
      const auto& autolink = *node.get_if<Inline::Autolink>();
      out += "<a href=\"";
      const bool url_kept = escape_url_attr_inline(autolink.url, out);
      out += "\">";
      // Most texts are the url's last bytes (the url itself, or after "http://" or "mailto:"). A
      // url copied as it stands holds none of the bytes text escaping rewrites, so neither do they.
      const std::string_view url = autolink.url, text = autolink.text;
      if (url_kept && text.size() <= url.size() && text.data() + text.size() == url.data() + url.size()) {
        out += text;
      } else {
        escape_text(text, out);
      }
      out += "</a>";
      return std::nullopt;
    }
    case InlineKind::HtmlInline:
      append_markup(node.get_if<Inline::HtmlInline>()->raw, out);
      return std::nullopt;
    case InlineKind::Operation: {
      const auto& operation = *node.get_if<Inline::Operation>();
      out += "<template data-op=\"";
      escape_attr(operation.syntax, out);
      out += ':';
      escape_attr(operation.action, out);
      out += "\" data-name=\"";
      escape_attr(operation.name, out);
      out += "\">";
      return InlineFrame{{}, {}, &operation};
    }
    case InlineKind::TemplateToken: {
      const auto& token = *node.get_if<TemplateToken>();
      template_html(token.syntax, token.body, token.kind, token.name, out);
      return std::nullopt;
    }
    case InlineKind::MathInline:
      math_inline(*node.get_if<Inline::MathInline>(), out);
      return std::nullopt;
    case InlineKind::FootnoteRef:
      footnote_ref(node.get_if<Inline::FootnoteRef>()->label, out);
      return std::nullopt;
    case InlineKind::Note:
      note(node.get_if<Inline::Note>()->children, out);
      return std::nullopt;
    case InlineKind::Span: {
      const auto& span = *node.get_if<Inline::Span>();
      open_element("span", span.attr, out);
      return children_frame(span.children, "</span>", out);
    }
    case InlineKind::RawInline: {
      const auto& raw = *node.get_if<Inline::RawInline>();
      raw_data_open(raw.format, raw.text, out);
      raw_payload(raw.text, out);
      out += "</script>";
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace vedavi
