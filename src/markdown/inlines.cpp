// Inline nodes: text, comments and the inline elements of VEDAVI as md inline syntax; whatever
// has no md form as its serialised HTML.
#include <algorithm>
#include <variant>

#include "fast5ever/serialize.h"
#include "markdown/attrs.h"
#include "markdown/html.h"
#include "markdown/renderer.h"
#include "text/escape.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::markdown {
namespace {

using fast5ever::dom::Text;

bool is_void_or_raw_text(std::string_view tag) {
  static constexpr std::string_view kTags[] = {
      "area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input",
      "keygen", "link", "meta", "param", "source", "track", "wbr", "script", "style", "textarea",
      "title", "xmp", "iframe", "noembed", "noframes", "noscript", "plaintext"};
  for (std::string_view name : kTags) {
    if (name == tag) return true;
  }
  return false;
}

// The text below `node` as written: a note's back-link (an unclosed code element may hold it)
// is left to the reader's renderer.
std::string text_without_back_links(const Dom& dom, NodeId node) {
  std::string text;
  std::vector<NodeId> stack{node};
  while (!stack.empty()) {
    const NodeId current = stack.back();
    stack.pop_back();
    if (const auto* piece = std::get_if<Text>(&dom.node(current).data)) text += piece->text;
    if (is_back_link(dom, current)) continue;
    const auto& children = dom.walk_children(current);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return text;
}

// TeX is written as it stands, so a line of it that could open a block ("---", "# x", "> x", a
// blank line...) would end the paragraph: only lines opening with a letter or a backslash (after
// spaces, which the reader drops) are taken to go on in it.
bool lines_stay_in_paragraph(std::string_view tex) {
  for (std::size_t end = tex.find('\n'); end != std::string_view::npos; end = tex.find('\n', end + 1)) {
    std::size_t start = end + 1;
    while (start < tex.size() && (tex[start] == ' ' || tex[start] == '\t')) ++start;
    if (start == tex.size() || (!scan::is_ascii_alpha(tex[start]) && tex[start] != '\\')) return false;
  }
  return true;
}

// Delimiter runs open and close only next to text that is not white space: empty emphasis, or
// emphasis whose text starts or ends with a space, keeps its tags.
char marker_char(const Dom& dom, NodeId node) {
  const auto tag = dom.tag(node).value_or("");
  return tag == "em" || tag == "strong" ? '*' : tag == "del" ? '~' : tag == "mark" ? '=' : 0;
}

// So does emphasis whose first or last child is emphasis of the same character: the two
// markers would run together.
bool delimiters_fit(const Dom& dom, NodeId node) {
  const std::string text = text_without_back_links(dom, node);
  if (text.empty() || unicode::trim(text).size() != text.size()) return false;
  const auto& children = dom.node(node).children;
  const char mark = marker_char(dom, node);
  for (NodeId edge : {children.front(), children.back()}) {
    if (marker_char(dom, edge) == mark || dom.is_tag(edge, "br")) return false;
  }
  return true;
}

// Neither white space nor punctuation, as the reader's flanking rules see characters.
bool is_word_char(char32_t c) {
  const bool punct = c < 0x80 ? scan::is_ascii_punctuation(c) : unicode::is_punctuation(c);
  return !punct && !unicode::is_white_space(c);
}

bool text_starts_with_word_char(const Dom& dom, NodeId node) {
  const auto* text = std::get_if<Text>(&dom.node(node).data);
  return text != nullptr && !text->text.empty() && is_word_char(utf8::decode(text->text, 0).cp);
}

bool text_ends_with_word_char(const Dom& dom, NodeId node) {
  const auto* text = std::get_if<Text>(&dom.node(node).data);
  return text != nullptr && !text->text.empty() &&
         is_word_char(utf8::prev_char(text->text, text->text.size()));
}

// Whether marks around `node`'s content open and close there on re-reading: after a word
// character a mark opens only before one, and before a word character it closes only after one.
// (An element writes punctuation first, so only text counts inside.)
bool marks_flank(const Dom& dom, NodeId node, std::string_view written, bool before_word) {
  const auto& children = dom.node(node).children;
  const bool after_word = !written.empty() && is_word_char(utf8::prev_char(written, written.size()));
  if (after_word && !text_starts_with_word_char(dom, children.front())) return false;
  return !before_word || text_ends_with_word_char(dom, children.back());
}

// Whether a link stands anywhere inside `node`: the reader deactivates every "[" before a link's
// own, so a bracketed span around one would read back as text. (The HTML parser caps nesting, so
// asking this of every span of a nest stays linear.)
bool holds_link(const Dom& dom, NodeId node) {
  std::vector<NodeId> stack(dom.node(node).children.begin(), dom.node(node).children.end());
  while (!stack.empty()) {
    const NodeId current = stack.back();
    stack.pop_back();
    if (dom.element(current) == nullptr) continue;
    if (dom.is_tag(current, "a") && dom.attr(current, "href")) return true;
    const auto& children = dom.node(current).children;
    stack.insert(stack.end(), children.begin(), children.end());
  }
  return false;
}

bool writes_brackets(const Dom& dom, NodeId node) {
  if (dom.is_tag(node, "span")) return !has_classes(dom, node, "math", "inline");
  return dom.is_tag(node, "a") && dom.attr(node, "href") && !is_back_link(dom, node);
}

// Whether a bare "]" may end the element before `frame.next`: what follows must not read on as
// a link target, a reference label, attributes or a definition.
bool closes_bracket(const Dom& dom, const BlockNodes& is_block, const NodeId* next, const NodeId* end) {
  if (next == end || is_block(*next)) return true;  // the paragraph ends there
  const auto* text = std::get_if<Text>(&dom.node(*next).data);
  if (text == nullptr) return false;
  return text->text.empty() ||
         std::string_view("([{:").find(text->text.front()) == std::string_view::npos;
}

}  // namespace

// What a text child needs to know of its neighbours: whether a br stands before it (its leading
// line feed is then the break's own) and whether a bracketed link or span follows it.
TextContext DomRenderer::context_of(const Frame& frame, NodeId child) {
  TextContext context;
  if (dom_.is_tag(child, "br")) {
    // A note's back-link after the break writes nothing: the break ends the note's text.
    const NodeId* after = frame.next;
    while (after != frame.end && (is_blank_text(dom_, *after) || is_back_link(dom_, *after))) ++after;
    context.ends_parent = after == frame.end || is_block(*after) ||
                          std::holds_alternative<fast5ever::dom::Comment>(dom_.node(*after).data);
    return context;
  }
  if (!std::holds_alternative<Text>(dom_.node(child).data)) {
    context.closes_bracket = closes_bracket(dom_, block_nodes_, frame.next, frame.end);
    context.before_word = frame.next != frame.end && text_starts_with_word_char(dom_, *frame.next);
    return context;
  }
  context.before_link = frame.next != frame.end && writes_brackets(dom_, *frame.next);
  // A note's back-link writes nothing: what follows it is what the text stands before.
  const NodeId* after = frame.next;
  while (after != frame.end && is_back_link(dom_, *after)) ++after;
  // Nor does white space bring an inline node: a block may follow it (a notes section moved to
  // the end leaves its white space behind).
  const NodeId* inline_after = after;
  while (inline_after != frame.end && (is_blank_text(dom_, *inline_after) || is_back_link(dom_, *inline_after)))
    ++inline_after;
  // In an inline walk every node is written inline, a raw payload (`x`{=tex}) too.
  context.before_inline =
      inline_after != frame.end && (frame.walk == Walk::Inlines || !is_block(*inline_after));
  context.ends_parent = (inline_after == frame.end || is_block(*inline_after)) &&
                       (dom_.element(frame.node) == nullptr || is_block(frame.node));
  const NodeId* current = frame.next - 1;
  context.after_break = current != frame.begin && dom_.is_tag(*(current - 1), "br");
  context.after_element = current != frame.begin && dom_.element(*(current - 1)) != nullptr &&
                          (frame.walk == Walk::Inlines || !is_block(*(current - 1)));
  context.after_note_ref = current != frame.begin && dom_.is_tag(*(current - 1), "sup") &&
                           footnote_label(dom_, *(current - 1)).has_value();
  return context;
}

void DomRenderer::inline_node(NodeId node, TextContext context) {
  const auto& data = dom_.node(node).data;
  if (const auto* text_node = std::get_if<Text>(&data)) {
    text(text_node->text, context);
  } else if (const auto* element = std::get_if<fast5ever::dom::Element>(&data)) {
    if (element->name.ns != html5::Namespace::Html) {
      payload_inline(dom_, node, cells_open_ > 0, out());
    } else if (element->name.local == "br") {
      // A backslash break needs text before it on its line and text after it on the next
      // line (a comment there would open an HTML block); otherwise the break keeps its tag.
      break_as_html_ = context.ends_parent || at_content_line_start() || headings_open_ > 0;
      if (break_as_html_) {
        html(node);
      } else {
        out() += "\\\n";
      }
    } else {
      inline_element(node, element->name.local, context);
    }
  } else {
    // A comment at a line start would open an HTML block, ending the paragraph: the line feed
    // before it is written as a space.
    std::string& text = out();
    const std::size_t floor = sinks_[depth_].floor;
    const bool comment = std::holds_alternative<fast5ever::dom::Comment>(data);
    std::size_t end = text.size();
    while (end > floor && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (end > floor && text[end - 1] == '\n' && comment) {
      while (end > floor && std::string_view(" \t\n").find(text[end - 1]) != std::string_view::npos) --end;
      text.resize(end);
      text += ' ';
    }
    if (comment) {
      html_on_one_line(node);
    } else {
      html(node);  // doctypes, processing instructions
    }
  }
}

void DomRenderer::text(std::string_view text, TextContext context) {
  // The line feed after a backslash break is the break's own (spaces before it are dropped on
  // reading); after a break kept as a tag it is text.
  if (context.after_break && !break_as_html_) {
    const std::size_t line_feed = text.find_first_not_of(" \t");
    if (line_feed != std::string_view::npos && text[line_feed] == '\n') text.remove_prefix(line_feed + 1);
  }
  context.line_indent = line_indent();
  // The reader drops white space at a line start, and a line feed there would end the
  // paragraph; four spaces would even start indented code.
  if ((context.line_indent == 0 && at_content_line_start()) || at_item_content_start()) {
    // Tabs and carriage returns that open the text (not indentation after a line feed) are
    // the text's own: written as references, which the reader does not drop.
    while (!text.empty() && (text.front() == '\t' || text.front() == '\r')) {
      out() += text.front() == '\t' ? "&#9;" : "&#13;";
      text.remove_prefix(1);
      context.line_indent = 4;
    }
    if (context.line_indent == 0 || at_item_content_start()) {
      text.remove_prefix(std::min(text.find_first_not_of(" \t\n\r"), text.size()));
    }
  }
  if (headings_open_ > 0 && text.find('\n') != std::string_view::npos) {
    std::string line(text);
    std::replace(line.begin(), line.end(), '\n', ' ');
    return escape_markdown(line, context, out());
  }
  escape_markdown(text, context, out());
}

void DomRenderer::inline_element(NodeId node, std::string_view tag,
                                 const TextContext& context) {
  if (tag == "em" || tag == "strong" || tag == "del" || tag == "mark") {
    const std::string_view marker = tag == "em" ? "*" : tag == "strong" ? "**" : tag == "del" ? "~~" : "==";
    // Right after a run of the same character the marker would join that run, and inside
    // emphasis of the same kind the runs could pair otherwise on re-reading.
    const bool joins_run = !out().empty() && out().back() == marker[0];
    std::size_t& open = open_marks_[mark_index(marker)];
    if (joins_run || open > 0 || !delimiters_fit(dom_, node) ||
        !marks_flank(dom_, node, out(), context.before_word) || !sayable(attrs_without_classes(dom_, node))) {
      html_with_md_content(node);
      return;
    }
    ++open;
    out() += marker;
    push_children(node, Walk::Inlines, Close::Delimited);
  } else if (tag == "a") {
    link(node, context);
  } else if (tag == "sup") {
    if (const auto label = footnote_label(dom_, node)) {
      if (std::binary_search(note_labels_.begin(), note_labels_.end(), *label)) {
        out() += "[^";
        out() += *label;
        out() += ']';
        written_refs_.push_back(*label);
      } else {
        html(node);  // no definition is written for it: "[^label]" would read back as text
      }
    } else {
      text_delimited(node, '^');
    }
  } else if (tag == "sub") {
    text_delimited(node, '~');
  } else if (tag == "img" && dom_.attr(node, "src") &&
             sayable(attrs_without_classes(dom_, node, {"src", "alt", "title"}))) {
    image(node);
  } else if (tag == "code") {
    code(node);
  } else if (tag == "span" && has_classes(dom_, node, "math", "inline")) {
    math_span(node, "\\(", "\\)", "inline");
  } else if (tag == "span" && has_classes(dom_, node, "math", "display")) {
    math_span(node, "\\[", "\\]", "display");  // display math inside a paragraph or heading
  } else if (tag == "span" && attrs_without_classes(dom_, node).empty()) {
    html_with_md_content(node);  // "[t]" alone reads back as text
  } else if (tag == "span" && xref(node, context)) {
    return;
  } else if (tag == "span" && dom_.attr(node, "data-refs")) {
    html_with_md_content(node);  // "[...]{data-refs=...}" reads back as text
  } else if (tag == "span" && (!sayable(attrs_without_classes(dom_, node)) || holds_link(dom_, node))) {
    html_with_md_content(node);
  } else if (tag == "span") {
    out() += '[';
    push_children(node, Walk::Inlines, Close::Span);
  } else if (tag == "script") {
    if (!raw_inline(node)) html(node);
  } else if (tag == "template") {
    if (!render_template(node)) html_on_one_line(node);
  } else {
    html_with_md_content(node);
  }
}

// The reader ends math at the first closer no backslash escapes: TeX holding one, or ending in a
// backslash that would escape it, keeps its tags around md text.
void DomRenderer::math_span(NodeId node, std::string_view open, std::string_view close,
                            std::string_view kind) {
  std::string tex;
  fast5ever::append_text(dom_, node, tex);
  const std::size_t end = tex.size();
  tex += close;
  if (scan::find_unescaped(tex, 0, close) != end || !lines_stay_in_paragraph(tex)) {
    html_with_md_content(node);
    return;
  }
  out() += open;
  out() += tex;
  trailing_attrs(attrs_without_classes(dom_, node, {}, {"math", kind}), out());
}

void DomRenderer::html(NodeId node) { append_reader_html(dom_, node, out()); }

// HTML serialised whole in a run of text (a comment, a template): a line inside it could open a
// block of its own ("<tr", "# ...", "<blockquote>") and end the paragraph on the way back, so it
// is kept on one line, its line feeds written as spaces.
void DomRenderer::html_on_one_line(NodeId node) {
  const std::size_t begin = out().size();
  html(node);
  std::replace(out().begin() + static_cast<std::ptrdiff_t>(begin), out().end(), '\n', ' ');
}

// An element without an md form keeps its tags as inline HTML, while its children are written as
// md: the reader parses the text between inline tags as md, so raw text there could change
// meaning. Void elements, raw-text elements and templates are serialised whole.
void DomRenderer::html_with_md_content(NodeId node) {
  const auto* element = dom_.element(node);
  const std::string_view tag = element->name.local;
  switch (html_kind(dom_, node)) {
    case HtmlKind::Hidden:
      payload_inline(dom_, node, cells_open_ > 0, out());
      return;
    case HtmlKind::Content:
      // The reader would show the tags as text: the content stays, in a bracketed span when
      // there are attributes to keep.
      // (A bracketed span holding a link would read back as text: its attributes have no form.)
      if (const Attr attr = attrs_without_classes(dom_, node);
          attr.empty() || !sayable(attr) || holds_link(dom_, node)) {
        push_children(node, Walk::Inlines, Close::Nothing);
      } else {
        out() += '[';
        push_children(node, Walk::Inlines, Close::Span);
      }
      return;
    case HtmlKind::Dialect:
      break;
  }
  if (is_void_or_raw_text(tag) || element->template_contents) {
    html(node);
    return;
  }
  append_start_tag(dom_, node, out());
  push_children(node, Walk::Inlines, Close::HtmlEnd);
}

// A link whose text is its own address, written "<address>" as the reader's autolinks are;
// "[url](url)" would read back with a second link inside.
bool DomRenderer::autolink(NodeId node) {
  const auto& children = dom_.node(node).children;
  const auto* element = dom_.element(node);
  if (children.size() != 1 || element->attrs.size() != 1) return false;
  const auto* text = std::get_if<Text>(&dom_.node(children[0]).data);
  const std::string_view href = *dom_.attr(node, "href");
  if (text == nullptr || (text->text != href && "mailto:" + text->text != href)) return false;
  if (text->text.find(':') == std::string::npos && text->text.find('@') == std::string::npos) {
    return false;
  }
  // The reader's output would percent-encode the address but not the text.
  if (std::any_of(href.begin(), href.end(), [](char c) { return url_percent_encodes(static_cast<unsigned char>(c)); })) return false;
  out() += '<';
  out() += text->text;
  out() += '>';
  return true;
}

void DomRenderer::link(NodeId node, const TextContext& context) {
  if (is_back_link(dom_, node)) return;  // the renderer rebuilds back-links
  if (!dom_.attr(node, "href")) {
    html_with_md_content(node);
    return;
  }
  if (autolink(node) || xref(node, context)) return;
  // The reader adds a "ref" pair to a link's "data-ref": the two together have no md form.
  if (const Attr attr = attrs_without_classes(dom_, node, {"href", "title"});
      !sayable(attr) || (attr.find_pair("ref") && attr.find_pair("data-ref"))) {
    html_with_md_content(node);
    return;
  }
  out() += '[';
  push_children(node, Walk::Inlines, Close::Link);
}

void DomRenderer::close_link(NodeId node) {
  target_and_title(*dom_.attr(node, "href"), dom_.attr(node, "title"),
                   attrs_without_classes(dom_, node, {"href", "title"}));
}

// "](target \"title\")" and the trailing attributes, closing the bracketed text of a link or an
// image. The reader takes an empty quoted title for none, so an empty one goes with the
// attributes, where it stays.
void DomRenderer::target_and_title(std::string_view url, std::optional<std::string_view> title, Attr attrs) {
  std::string& text = out();
  text += "](";
  // Before a title an empty target is "<>": the reader would take the title for the target.
  text += url.empty() && title && !title->empty() ? std::string("<>") : escape_target(url);
  if (title && !title->empty()) {
    text += " \"";
    text += escape_title(*title);
    text += '"';
  }
  text += ')';
  if (title && title->empty()) {
    // First among the pairs, where the reader puts a title of its own.
    attrs.pairs_mut().emplace(attrs.pairs_mut().begin(), "title", "");
  }
  trailing_attrs(attrs, text);
}

// Superscript and subscript keep only their text, which the reader takes literally: escaping it
// would grow it by a backslash each round. Text that cannot stand between the marks keeps the
// element's tags instead (so does a "~" mark right after another "~", which would not open).
void DomRenderer::text_delimited(NodeId node, char mark) {
  std::string content;
  fast5ever::append_text(dom_, node, content);
  const bool after_tilde = mark == '~' && !out().empty() && out().back() == '~';
  if (!delimited_text_fits(content, mark) || after_tilde || !sayable(attrs_without_classes(dom_, node))) {
    html_with_md_content(node);
    return;
  }
  std::string& text = out();
  text += mark;
  text += content;
  text += mark;
  trailing_attrs(attrs_without_classes(dom_, node), text);
}

void DomRenderer::image(NodeId img) {
  out() += "![";
  alt_text(img);
  image_tail(img);
}

// A line feed in the alt text would read back as a space: it is written as a reference.
void DomRenderer::alt_text(NodeId img) {
  const std::string_view alt = dom_.attr(img, "alt").value_or("");
  std::size_t begin = 0;
  for (std::size_t end = alt.find('\n'); end != std::string_view::npos; end = alt.find('\n', begin)) {
    escape_markdown(alt.substr(begin, end - begin), TextContext{}, out());
    out() += "&#10;";
    begin = end + 1;
  }
  escape_markdown(alt.substr(begin), TextContext{}, out());
}

void DomRenderer::image_tail(NodeId img) {
  target_and_title(*dom_.attr(img, "src"), dom_.attr(img, "title"),
                   attrs_without_classes(dom_, img, {"src", "alt", "title"}));
}

// An empty code span has no md form ("``" reads back as text): it stays HTML. One holding a line
// end or a tab would read back with a space there: it keeps its tags around md text.
// An element below `node` written with its tags, looked for through those whose tags are left
// out (their content alone is written).
bool DomRenderer::holds_tagged_element(NodeId node) const {
  const auto& children = dom_.node(node).children;
  std::vector<NodeId> pending(children.begin(), children.end());
  while (!pending.empty()) {
    const NodeId child = pending.back();
    pending.pop_back();
    if (dom_.element(child) == nullptr || is_back_link(dom_, child)) continue;  // no back-link is written
    if (html_kind(dom_, child) != HtmlKind::Content) return true;
    pending.insert(pending.end(), dom_.node(child).children.begin(), dom_.node(child).children.end());
  }
  return false;
}

void DomRenderer::code(NodeId node) {
  std::string content = text_without_back_links(dom_, node);
  if (content.empty()) {
    html(node);
    return;
  }
  // In a heading or a table cell, which are one line, a line end comes back as a space whatever
  // form the span takes: written as one from the start, the second round writes the same.
  if (headings_open_ > 0 || cells_open_ > 0) std::replace(content.begin(), content.end(), '\n', ' ');
  // So does one holding markup (the HTML parser reopens an unclosed code element around the
  // next paragraph's links and emphasis).
  if (holds_tagged_element(node) || content.find_first_of("\r\n\t") != std::string::npos ||
      !sayable(attrs_without_classes(dom_, node))) {
    html_with_md_content(node);
    return;
  }
  // A span of three backticks or more at a line start would open a fenced code block.
  // So does one right after a backtick, whose fence would join that backtick's run.
  if ((longest_run(content, '`') >= 2 && line_indent() <= 3) || out().ends_with('`')) {
    html_with_md_content(node);
    return;
  }
  code_span(content, cells_open_ > 0, out());
  trailing_attrs(attrs_without_classes(dom_, node), out());
}

}  // namespace vedavi::markdown
