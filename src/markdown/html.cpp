// HTML the md reader keeps: the element kinds and a serialiser that leaves out what the reader
// would escape, walked with an explicit stack.
#include "markdown/html.h"

#include <algorithm>
#include <optional>
#include <array>
#include <vector>

#include "block/html.h"
#include "fast5ever/serialize.h"
#include "html5/tree_builder_tags.h"
#include "markdown/attrs.h"
#include "markdown/escape.h"
#include "text/scan.h"

namespace vedavi::markdown {
namespace {

using fast5ever::dom::Element;

// Elements whose text a browser does not show as text: document metadata, scripts and the
// embedded media whose content is fallback or data.
constexpr std::array<std::string_view, 23> kHiddenTags = {
    "head",  "title", "meta",   "style",  "script", "link",     "base",    "noscript",
    "object", "embed", "iframe", "video",  "audio",  "canvas",   "source",  "track",
    "param", "area",  "map",    "frame",  "frameset", "noframes", "noembed"};

void append_attr_value(std::string_view value, std::string& out) {
  std::size_t copied = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\n' && value[i] != '\r') continue;
    fast5ever::append_escaped_attr(value.substr(copied, i - copied), out);
    out += value[i] == '\n' ? "&#10;" : "&#13;";
    copied = i + 1;
  }
  fast5ever::append_escaped_attr(value.substr(copied), out);
}

class ReaderHtml {
 public:
  ReaderHtml(const Dom& dom, std::string& out) : dom_(dom), out_(out) {}

  void run(NodeId start) {
    // A raw block opened by a balanced container's tag ends where the reader's count of that
    // tag comes back to zero, a count that takes no notice of comments.
    if (const Element* element = dom_.element(start);
        element != nullptr && html_kind(dom_, start) == HtmlKind::Dialect &&
        block::is_balanced_html_container_tag(element->name.local)) {
      counted_tag_ = element->name.local;
    }
    write(start);
    while (!frames_.empty()) {
      Frame& top = frames_.back();
      if (top.next == top.end) {
        const Frame done = top;
        frames_.pop_back();
        if (done.tagged) {
          out_ += "</";
          out_ += dom_.element(done.node)->name.local;
          out_ += '>';
          line_blank_ = false;
        }
        if (done.preformatted) --preformatted_;
        continue;
      }
      write(*top.next++);  // may push: `top` is not used after this
    }
  }

 private:
  struct Frame {
    NodeId node;
    const NodeId* next;
    const NodeId* end;
    bool tagged;
    bool preformatted;
  };

  void write(NodeId node) {
    const auto& data = dom_.node(node).data;
    if (const auto* text = std::get_if<fast5ever::dom::Text>(&data)) {
      // The HTML parser drops a line feed right after a pre's start tag: text opening one that
      // comes first through an element left out needs a second (a direct child has it already).
      if (out_.size() == preformatted_start_ && text->text.starts_with('\n') &&
          dom_.node(node).parent != preformatted_node_) {
        out_ += '\n';
      }
      if (preformatted_ > 0) {
        fast5ever::append_escaped_text(text->text, out_);
        line_blank_ = false;
      } else {
        append_text_without_blank_lines(text->text);
      }
      return;
    }
    if (std::holds_alternative<fast5ever::dom::Comment>(data)) {
      append_comment(node);
      line_blank_ = false;
      return;
    }
    if (!std::holds_alternative<Element>(data)) return;  // doctypes, processing instructions
    const HtmlKind kind = html_kind(dom_, node);
    if (kind == HtmlKind::Hidden) return;
    // The renderer writes a note's back-link itself, and the space before it.
    if (is_back_link(dom_, node)) {
      while (!out_.empty() && out_.back() == ' ') out_.pop_back();
      return;
    }
    if (kind == HtmlKind::Dialect) line_blank_ = false;
    const std::string_view tag = dom_.element(node)->name.local;
    const bool tagged = kind == HtmlKind::Dialect;
    if (tagged) {
      append_start_tag(dom_, node, out_);
      if (block::is_void_html_tag(tag)) return;
    }
    const bool preformatted = tag == "pre" || tag == "textarea" || tag == "listing";
    if (preformatted) ++preformatted_;
    if (preformatted && tagged) {
      preformatted_start_ = out_.size();
      preformatted_node_ = node;
    }
    const auto& children = dom_.walk_children(node);
    frames_.push_back(Frame{node, children.begin(), children.end(), tagged, preformatted});
  }

  // A comment, with the "<" of each start or end tag of the counted tag in its text written as a
  // reference: as a tag it would end the raw block early or keep it open past its end.
  void append_comment(NodeId node) {
    const std::size_t start = out_.size();
    fast5ever::append_html(dom_, node, out_);
    if (counted_tag_.empty()) return;
    for (std::size_t i = out_.find('<', start + 1); i != std::string::npos; i = out_.find('<', i + 1)) {
      const std::size_t name = i + 1 + (i + 1 < out_.size() && out_[i + 1] == '/');
      const std::string_view rest = std::string_view(out_).substr(name);
      if (rest.size() < counted_tag_.size() || !scan::ascii_iequals(rest.substr(0, counted_tag_.size()), counted_tag_))
        continue;
      // The reader's name ends at the first byte that is no letter, digit or "-".
      const std::size_t after = name + counted_tag_.size();
      if (after < out_.size() && (scan::is_ascii_alnum(out_[after]) || out_[after] == '-')) continue;
      out_.replace(i, 1, "&lt;");
    }
  }

  // Text as HTML text, leaving out a line feed that would end a line holding only white space
  // (text nodes meet once hidden elements between them are left out, so this spans nodes).
  void append_text_without_blank_lines(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text) {
      if (c == '\n' || c == '\r') {
        if (line_blank_) continue;
        line_blank_ = true;
      } else if (c != ' ' && c != '\t') {
        line_blank_ = false;
      }
      kept += c;
    }
    fast5ever::append_escaped_text(kept, out_);
  }

  const Dom& dom_;
  std::string& out_;
  std::vector<Frame> frames_;
  std::size_t preformatted_ = 0;
  // Where the content of the preformatted element written last starts, and that element.
  std::size_t preformatted_start_ = std::string::npos;
  std::optional<NodeId> preformatted_node_;
  bool line_blank_ = false;  // the line written last holds only spaces and tabs so far
  std::string_view counted_tag_;  // the raw block's tag whose nesting the reader counts, if any
};

// A list item start tag closes an open li (a dd or dt tag an open dd or dt) that it reaches
// through elements that are not special (and address, div and p): an item standing below another
// that way (one a table fostered into an item) would be read back as the other's sibling. The
// walk up is bounded, so that many items below one long chain of wrappers cost no time quadratic
// in its length: an item below more wrappers than that is taken as closing one.
constexpr std::size_t kItemWalkLimit = 256;

bool is_heading_tag(std::string_view tag) {
  return tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6';
}

// An element's kind by its name alone.
HtmlKind kind_by_name(const Element& element) {
  if (element.name.ns != html5::Namespace::Html) return HtmlKind::Hidden;
  const std::string_view tag = element.name.local;
  // The HTML parser takes a name up to white space, "/" or ">": `<a-b="">` is an element the
  // reader, which takes letters, digits and "-" only, would show as text.
  if (is_readable_tag_name(tag) && block::is_md_html_tag(tag)) return HtmlKind::Dialect;
  if (std::find(kHiddenTags.begin(), kHiddenTags.end(), tag) != kHiddenTags.end()) return HtmlKind::Hidden;
  return HtmlKind::Content;
}

// Whether a heading stands right inside another, but for elements whose tags go (bounded as the
// walk for items is).
bool in_heading(const Dom& dom, NodeId node) {
  std::size_t steps = 0;
  for (auto parent = dom.node(node).parent; parent && ++steps <= kItemWalkLimit; parent = dom.node(*parent).parent) {
    const Element* element = dom.element(*parent);
    if (element == nullptr) return false;
    if (element->name.ns == html5::Namespace::Html && is_heading_tag(element->name.local)) return true;
    if (kind_by_name(*element) != HtmlKind::Content) return false;
  }
  return false;
}

bool closes_item_above(const Dom& dom, NodeId item, html5::Kind item_kind) {
  const bool definition = item_kind != html5::Kind::Li;
  std::size_t steps = 0;
  for (auto parent = dom.node(item).parent; parent; parent = dom.node(*parent).parent) {
    if (++steps > kItemWalkLimit) return true;
    const Element* element = dom.element(*parent);
    if (element == nullptr || element->name.ns != html5::Namespace::Html) return false;
    const html5::Kind kind = html5::html_kind(element->name.local);
    if (definition ? kind == html5::Kind::Dd || kind == html5::Kind::Dt : kind == html5::Kind::Li) return true;
    if (html5::has_flag(kind, html5::kSpecial) && kind != html5::Kind::Address && kind != html5::Kind::Div &&
        kind != html5::Kind::P) {
      return false;
    }
  }
  return false;
}

}  // namespace

bool is_back_link(const Dom& dom, NodeId node) {
  return dom.is_tag(node, "a") && dom.has_class(node, "footnote-backref");
}

bool is_readable_tag_name(std::string_view name) {
  return !name.empty() && scan::is_ascii_alpha(name[0]) &&
         std::all_of(name.begin(), name.end(),
                     [](char c) { return scan::is_ascii_alnum(c) || c == '-'; });
}

HtmlKind html_kind(const Dom& dom, NodeId node) {
  const Element* element = dom.element(node);
  if (element->name.ns != html5::Namespace::Html) return HtmlKind::Hidden;
  const std::string_view tag = element->name.local;
  if (const html5::Kind kind = html5::html_kind(tag);
      (kind == html5::Kind::Li || kind == html5::Kind::Dd || kind == html5::Kind::Dt) &&
      closes_item_above(dom, node, kind)) {
    return HtmlKind::Content;
  }
  // A heading's start tag closes a heading it is put in: one a table fostered into another, or
  // one inside elements whose tags go, is written by its content.
  if (is_heading_tag(tag) && in_heading(dom, node)) return HtmlKind::Content;
  return kind_by_name(*element);
}

void append_start_tag(const Dom& dom, NodeId node, std::string& out, bool markdown) {
  const Element* element = dom.element(node);
  out += '<';
  out += element->name.local;
  for (const auto& attribute : element->attrs) {
    const std::string name = fast5ever::dom::attr_name(attribute);
    if (!readable_attr_name(name)) continue;
    out += ' ';
    out += name;
    out += "=\"";
    append_attr_value(attribute.value, out);
    out += '"';
  }
  if (markdown) out += " markdown=\"1\"";
  out += '>';
}

void append_reader_html(const Dom& dom, NodeId node, std::string& out) {
  ReaderHtml(dom, out).run(node);
}

void payload_block(const Dom& dom, NodeId node, std::string& out) {
  std::string html;
  fast5ever::append_html(dom, node, html);
  fenced_block("{=html}", html, out);
}

void payload_inline(const Dom& dom, NodeId node, bool in_table_cell, std::string& out) {
  std::string html;
  fast5ever::append_html(dom, node, html);
  std::replace(html.begin(), html.end(), '\n', ' ');
  std::replace(html.begin(), html.end(), '\r', ' ');
  code_span(html, in_table_cell, out);
  out += "{=html}";
}

}  // namespace vedavi::markdown
