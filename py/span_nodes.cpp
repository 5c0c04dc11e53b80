// Span dictionaries of block spans, inline nodes and cross-reference items.
#include "span_nodes.h"

#include "convert.h"
#include "model/template.h"
#include "nodes.h"

namespace vedavi::py {
namespace {

Ref optional_int(const std::optional<std::size_t>& value) {
  return value ? new_int(*value) : new_none();
}

Ref optional_str(const std::optional<std::string>& value) {
  return value ? new_str(*value) : new_none();
}

// The keys of each data variant, after "type", "start", "end" and "depth".
struct DataKeys {
  const Ref& dict;
  const inl::InlineNode& node;
  std::string_view source;

  void operator()(const inl::inline_data::None&) const {}
  void operator()(const inl::inline_data::Link& link) const {
    set_item(dict, "form", new_str(link.reference ? "reference" : "inline"));
    set_item(dict, "url", new_str(link.url));
    set_item(dict, "title", optional_str(link.title));
    set_item(dict, "url_start", link.url_span ? new_int(link.url_span->begin) : new_none());
    set_item(dict, "url_end", link.url_span ? new_int(link.url_span->end) : new_none());
    if (link.alt) set_item(dict, "alt", new_str(*link.alt));
  }
  void operator()(const inl::inline_data::Text& text) const { set_item(dict, "text", new_str(text.text)); }
  void operator()(const inl::inline_data::Math& math) const {
    set_item(dict, "delimiter", new_str(math.delimiter));
    set_item(dict, "display", new_bool(math.delimiter == "$$" || math.delimiter == "\\["));
    set_item(dict, "tex", new_str(math.tex));
  }
  void operator()(const inl::inline_data::Raw& raw) const {
    set_item(dict, "format", new_str(raw.format));
    set_item(dict, "text", new_str(raw.text));
  }
  void operator()(const inl::inline_data::Attrs& attrs) const { set_item(dict, "id", optional_str(attrs.id)); }
  void operator()(const inl::inline_data::Xref& xref) const {
    set_item(dict, "refs", xref_refs(xref.refs));
    set_item(dict, "tokens", optional_str(xref.tokens));
  }
  void operator()(const inl::inline_data::Template& token) const {
    set_item(dict, "form", new_str("inline"));
    set_item(dict, "source", new_str(source.substr(node.start, node.end - node.start)));
    set_item(dict, "syntax", new_str(token.syntax));
    set_item(dict, "body", new_str(token.body));
    set_item(dict, "kind", new_str(templates::kind_node_word(token.kind)));
    set_item(dict, "name", new_str(token.name));
    set_item(dict, "inverted", new_bool(token.kind == TemplateTokenKind::OpenInverted));
  }
  void operator()(const inl::inline_data::Footnote& footnote) const {
    set_item(dict, "label", new_str(footnote.label));
  }
  void operator()(const inl::inline_data::Autolink& link) const { set_item(dict, "url", new_str(link.url)); }
};

}  // namespace

Ref block_span_node(const block::BlockSpan& span, std::size_t start, std::size_t end) {
  const block::SpanFacts& f = span.facts();
  Ref dict = check(PyDict_New());
  set_item(dict, "type", new_str(span.kind));
  set_item(dict, "start", new_int(start));
  set_item(dict, "end", new_int(end));
  set_item(dict, "depth", new_int(span.depth));
  if (f.attrs) set_item(dict, "attrs", attr_node(*f.attrs));
  if (f.info) {
    set_item(dict, "info", new_str(*f.info));
    set_item(dict, "info_has_attrs", new_bool(f.info_has_attrs.value_or(false)));
  }
  if (f.fence_start) set_item(dict, "fence_start", new_int(*f.fence_start));
  if (f.lang) set_item(dict, "lang", new_str(*f.lang));
  if (f.text) set_item(dict, "text", new_str(*f.text));
  if (span.level) set_item(dict, "level", new_int(*span.level));
  if (f.id) set_item(dict, "id", new_str(*f.id));
  if (f.caption) set_item(dict, "caption", new_str(*f.caption));
  if (f.panel) {
    Ref panel = check(PyDict_New());
    // Keys go in as str objects: a key may hold a NUL that a C string would cut off.
    for (const auto& [key, value] : f.panel->pairs()) {
      if (PyDict_SetItem(panel.get(), new_str(key).get(), new_str(value).get()) < 0)
        throw_error_already_set();
    }
    set_item(dict, "panel", std::move(panel));
    set_item(dict, "fence_end", optional_int(f.fence_end));
  }
  if (f.title_line) set_item(dict, "title_line", new_int(*f.title_line));
  if (f.url) set_item(dict, "url", new_str(*f.url));
  if (f.title) set_item(dict, "title", new_str(*f.title));
  if (f.syntax) {
    set_item(dict, "syntax", new_str(*f.syntax));
    set_item(dict, "form", new_str("block"));
  }
  if (f.body) set_item(dict, "body", new_str(*f.body));
  if (f.token_kind) {
    set_item(dict, "kind", new_str(templates::kind_node_word(*f.token_kind)));
    set_item(dict, "inverted", new_bool(*f.token_kind == TemplateTokenKind::OpenInverted));
  }
  if (f.name) set_item(dict, "name", new_str(*f.name));
  return dict;
}

Ref inline_span_node(const inl::InlineNode& node, std::string_view source) {
  Ref dict = check(PyDict_New());
  set_item(dict, "type", new_str(node.kind));
  set_item(dict, "start", new_int(node.start));
  set_item(dict, "end", new_int(node.end));
  set_item(dict, "depth", new_int(node.depth));
  std::visit(DataKeys{dict, node, source}, node.data);
  return dict;
}

Ref xref_refs(std::span<const inl::XrefSeg> refs) {
  return new_list(refs, [](const inl::XrefSeg& seg) {
    Ref dict = check(PyDict_New());
    set_item(dict, "target", new_str(seg.target));
    set_item(dict, "bare", new_bool(seg.bare));
    set_item(dict, "prefix", optional_str(seg.prefix));
    return dict;
  });
}

}  // namespace vedavi::py
