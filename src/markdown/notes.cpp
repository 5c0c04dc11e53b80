// Footnote sections as footnote definitions, and script elements carrying payloads of another
// format (raw payloads and typed script blocks) as fenced blocks.
#include <algorithm>

#include "fast5ever/serialize.h"
#include "markdown/attrs.h"
#include "markdown/html.h"
#include "markdown/renderer.h"
#include "resolve/raw_payload.h"
#include "text/unicode.h"

namespace vedavi::markdown {
namespace {

constexpr std::string_view kRawType = "application/vnd.vedavi.raw";

// The first ol under the section, in document order.
std::optional<NodeId> first_list(const Dom& dom, NodeId section) {
  std::vector<NodeId> stack{section};
  while (!stack.empty()) {
    const NodeId node = stack.back();
    stack.pop_back();
    if (dom.is_tag(node, "ol")) return node;
    const auto& children = dom.walk_children(node);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return std::nullopt;
}

bool is_note_item(const Dom& dom, NodeId li) {
  const auto id = dom.attr(li, "id");
  return id && id->size() >= 3 && id->starts_with("fn-");
}

std::optional<std::string_view> raw_format(const Dom& dom, NodeId script) {
  if (dom.attr(script, "type") != std::optional<std::string_view>(kRawType)) return std::nullopt;
  return dom.attr(script, "data-format");
}

std::optional<std::string> script_text(const Dom& dom, NodeId script) {
  return decode_raw(dom.to_text(script), dom.attr(script, "data-encoding")).payload;
}

std::string note_item_label(const Dom& dom, NodeId li) { return unescape_fragment(dom.attr(li, "id")->substr(3)); }

// The list of notes a footnote section is written from, when every li of it names its note
// ("fn-label") and a reference points to each: the reader reads no definition without one.
// Otherwise the notes cannot be written as definitions.
std::optional<NodeId> note_list(const Dom& dom, NodeId section, const std::vector<std::string>& referenced) {
  const auto list = first_list(dom, section);
  if (!list) return std::nullopt;
  for (NodeId child : dom.node(*list).children) {
    if (!dom.is_tag(child, "li")) continue;
    if (!is_note_item(dom, child) ||
        !std::binary_search(referenced.begin(), referenced.end(), note_item_label(dom, child))) {
      return std::nullopt;
    }
  }
  return list;
}

bool is_note_section(const Dom& dom, NodeId node, const std::vector<std::string>& referenced) {
  return dom.is_tag(node, "section") && dom.has_class(node, "footnotes") && note_list(dom, node, referenced);
}

}  // namespace

std::optional<std::string> footnote_label(const Dom& dom, NodeId sup) {
  const auto& children = dom.node(sup).children;
  if (children.size() != 1 || !dom.is_tag(children[0], "a")) return std::nullopt;
  const auto href = dom.attr(children[0], "href");
  if (!href || href->size() < 4 || !href->starts_with("#fn-")) return std::nullopt;
  if (!dom.has_class(children[0], "footnote-ref")) return std::nullopt;
  return unescape_fragment(href->substr(4));
}

std::vector<std::string> referenced_note_labels(const Dom& dom) {
  std::vector<std::string> labels;
  for (NodeId node = 0; node < dom.nodes.size(); ++node) {
    if (!dom.is_tag(node, "sup")) continue;
    if (auto label = footnote_label(dom, node)) labels.push_back(std::move(*label));
  }
  std::sort(labels.begin(), labels.end());
  return labels;
}

// The reader gathers the notes after every other block, wherever their definitions stand: a
// section of notes the HTML parser put inside a block left open before it, or blocks after it (a
// tag it reopened there), would come out elsewhere on the second round. Written where the reader
// puts them from the start, a second round writes the same.
void notes_last(Dom& dom, NodeId root, const std::vector<std::string>& referenced) {
  if (referenced.empty()) return;  // no section can be written as definitions
  std::vector<NodeId> sections;
  std::vector<NodeId> stack{root};
  while (!stack.empty()) {
    const NodeId node = stack.back();
    stack.pop_back();
    if (node != root && is_note_section(dom, node, referenced)) {
      sections.push_back(node);  // with any sections inside it
      continue;
    }
    const auto& children = dom.walk_children(node);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  (void)dom.append_all(root, sections);  // never an ancestor of root
}

std::vector<std::string> defined_note_labels(const Dom& dom, const std::vector<std::string>& referenced) {
  std::vector<std::string> labels;
  if (referenced.empty()) return labels;
  for (NodeId node = 0; node < dom.nodes.size(); ++node) {
    if (!is_note_section(dom, node, referenced)) continue;
    for (NodeId li : dom.node(*note_list(dom, node, referenced)).children) {
      if (dom.is_tag(li, "li")) labels.push_back(note_item_label(dom, li));
    }
  }
  std::sort(labels.begin(), labels.end());
  return labels;
}

bool DomRenderer::every_note_referenced() const {
  const std::vector<std::string> written = written_note_refs();
  return std::includes(written.begin(), written.end(), note_labels_.begin(), note_labels_.end());
}

std::vector<std::string> DomRenderer::written_note_refs() const {
  std::vector<std::string> written = written_refs_;
  std::sort(written.begin(), written.end());
  written.erase(std::unique(written.begin(), written.end()), written.end());
  return written;
}

// A section whose notes cannot be written as definitions stays HTML, written once.
void DomRenderer::footnotes(NodeId section) {
  const auto list = note_list(dom_, section, note_refs_);
  if (!list) {
    raw_block(section);
    return;
  }
  push_children(*list, Walk::Notes, Close::Nothing);
}

// The reader puts a note's back-link in its last paragraph, and the writer leaves back-links
// out: an empty paragraph ending a note (a stray "</p>" makes one) would take the back-link on
// the way back and then be left out with it, so it is left out from the start; so is the empty
// one that then ends the note, back-links and white space between them written as nothing.
void DomRenderer::footnote(NodeId li) {
  push_sink();
  const auto& children = dom_.walk_children(li);
  const NodeId* end = children.end();
  for (;;) {
    const NodeId* last = end;
    while (last != children.begin() && (is_blank_text(dom_, *(last - 1)) || is_back_link(dom_, *(last - 1))))
      --last;
    if (last == children.begin()) break;
    const NodeId p = *(last - 1);
    if (!dom_.is_tag(p, "p") || !dom_.element(p)->attrs.empty() || !significant_children(dom_, p).empty()) break;
    end = last - 1;
  }
  push(li, children.begin(), end, Walk::Blocks, Close::Note);
}

void DomRenderer::close_note(NodeId li) {
  const std::string body = pop_sink();
  std::string& text = out();
  text += "[^";
  text += note_item_label(dom_, li);
  text += "]:";
  bool first = true;
  for_each_line(unicode::trim(body), [&](std::string_view line) {
    text += first ? " " : "    ";
    text += unicode::trim_end(line);
    text += '\n';
    first = false;
  });
  if (first) text += '\n';
  text += '\n';
}

void DomRenderer::script_block(NodeId script) {
  if (const auto format = raw_format(dom_, script)) {
    const auto payload = script_text(dom_, script);
    if (!payload) {
      raw_block(script);
      return;
    }
    fenced_block("{=" + std::string(*format) + "}", *payload, out());
    return;
  }
  const std::string_view type = dom_.attr(script, "type").value_or("");
  if (type.size() < 11 || !type.starts_with("text/") || !type.ends_with("-block")) {
    raw_block(script);
    return;
  }
  const auto payload = script_text(dom_, script);
  if (!payload) {
    raw_block(script);
    return;
  }
  std::string_view body = *payload;
  if (body.starts_with('\n')) body.remove_prefix(1);
  const std::string_view language = type.substr(5, type.size() - 11);
  fenced_block("{" + std::string(language) + "}", body, out());
}

bool DomRenderer::raw_inline(NodeId script) {
  const auto format = raw_format(dom_, script);
  if (!format) return false;
  const auto payload = script_text(dom_, script);
  if (!payload) return false;
  code_span(*payload, cells_open_ > 0, out());
  out() += "{=";
  out() += *format;
  out() += '}';
  return true;
}

}  // namespace vedavi::markdown
