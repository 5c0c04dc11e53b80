// Span dictionaries of block spans, inline nodes and cross-reference items.
#include "span_nodes.h"

#include <cassert>
#include <cstdlib>  // defines __GLIBC__ on glibc

#include "model/template.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vedavi::py {
namespace {

using K = SpanKey;

constexpr std::array<const char*, std::size_t(SpanKey::Count)> kSpanKeyNames = {
    "type",  "start",  "end",        "depth",      "attrs",    "info",    "info_has_attrs",
    "fence_start", "lang", "text",   "level",      "id",       "caption", "panel",
    "fence_end", "title_line", "url", "title",     "syntax",   "form",    "body",
    "kind",  "inverted", "name",     "url_start",  "url_end",  "alt",     "delimiter",
    "display", "tex",   "format",    "refs",       "tokens",   "source",  "label",
    "target", "bare",   "prefix",    "classes",    "pairs"};

Ref optional_int(const std::optional<std::size_t>& value) {
  return value ? new_int(*value) : new_none();
}

// The keys of each data variant, after "type", "start", "end" and "depth".
struct DataKeys {
  SpanDicts& dicts;
  const Ref& dict;
  const inl::InlineNode& node;
  std::string_view source;

  void put(SpanKey key, Ref value) const { dicts.set(dict, key, std::move(value)); }

  void operator()(const inl::inline_data::None&) const {}
  void operator()(const inl::inline_data::Link& link) const {
    put(K::Form, dicts.word(link.reference ? "reference" : "inline"));
    put(K::Url, new_str(link.url));
    put(K::Title, optional_str(link.title));
    put(K::UrlStart, link.url_span ? new_int(link.url_span->begin) : new_none());
    put(K::UrlEnd, link.url_span ? new_int(link.url_span->end) : new_none());
    if (link.alt) put(K::Alt, new_str(*link.alt));
  }
  void operator()(const inl::inline_data::Text& text) const { put(K::Text, new_str(text.text)); }
  void operator()(const inl::inline_data::Math& math) const {
    put(K::Delimiter, dicts.word(math.delimiter));
    put(K::Display, new_bool(math.delimiter == "$$" || math.delimiter == "\\["));
    put(K::Tex, new_str(math.tex));
  }
  void operator()(const inl::inline_data::Raw& raw) const {
    put(K::Format, new_str(raw.format));
    put(K::Text, new_str(raw.text));
  }
  void operator()(const inl::inline_data::Attrs& attrs) const { put(K::Id, optional_str(attrs.id)); }
  void operator()(const inl::inline_data::Xref& xref) const {
    put(K::Refs, dicts.xref_refs(xref.refs));
    put(K::Tokens, optional_str(xref.tokens));
  }
  void operator()(const inl::inline_data::Template& token) const {
    put(K::Form, dicts.word("inline"));
    put(K::Source, new_str(source.substr(node.start, node.end - node.start)));
    put(K::Syntax, new_str(token.syntax));
    put(K::Body, new_str(token.body));
    put(K::Kind, dicts.word(templates::kind_node_word(token.kind)));
    put(K::Name, new_str(token.name));
    put(K::Inverted, new_bool(token.kind == TemplateTokenKind::OpenInverted));
  }
  void operator()(const inl::inline_data::Footnote& footnote) const {
    put(K::Label, new_str(footnote.label));
  }
  void operator()(const inl::inline_data::Autolink& link) const { put(K::Url, new_str(link.url)); }
};

// Below this input size the parse's heap is small, and what the allocator keeps serves the next
// call better than the pages saved.
constexpr std::size_t kGiveBackFrom = std::size_t{4} << 20;

void give_back_freed_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace

SpanDicts::SpanDicts() : keys_(kSpanKeyNames) {}

void SpanDicts::set(const Ref& dict, SpanKey key, Ref value) const {
  if (PyDict_SetItem(dict.get(), keys_[std::size_t(key)], value.get()) < 0) throw_error_already_set();
}

Ref SpanDicts::ranged(std::string_view kind, std::size_t start, std::size_t end, std::size_t depth) {
  Ref dict = check(PyDict_New());
  set(dict, K::Type, word(kind));
  set(dict, K::Start, new_int(start));
  set(dict, K::End, new_int(end));
  set(dict, K::Depth, new_int(depth));
  return dict;
}

Ref SpanDicts::block(const block::BlockSpan& span, std::size_t start, std::size_t end) {
  const block::SpanFacts& f = span.facts();
  Ref dict = ranged(span.kind, start, end, span.depth);
  if (f.attrs) set(dict, K::Attrs, attrs(*f.attrs));
  if (f.info) {
    set(dict, K::Info, new_str(*f.info));
    set(dict, K::InfoHasAttrs, new_bool(f.info_has_attrs.value_or(false)));
  }
  if (f.fence_start) set(dict, K::FenceStart, new_int(*f.fence_start));
  if (f.lang) set(dict, K::Lang, new_str(*f.lang));
  if (f.text) set(dict, K::Text, new_str(*f.text));
  if (span.level) set(dict, K::Level, new_int(*span.level));
  if (f.id) set(dict, K::Id, new_str(*f.id));
  if (f.caption) set(dict, K::Caption, new_str(*f.caption));
  if (f.panel) set_panel(dict, f);
  if (f.title_line) set(dict, K::TitleLine, new_int(*f.title_line));
  if (f.url) set(dict, K::Url, new_str(*f.url));
  if (f.title) set(dict, K::Title, new_str(*f.title));
  if (f.syntax) {
    set(dict, K::Syntax, new_str(*f.syntax));
    set(dict, K::Form, word("block"));
  }
  if (f.body) set(dict, K::Body, new_str(*f.body));
  if (f.token_kind) {
    set(dict, K::Kind, word(templates::kind_node_word(*f.token_kind)));
    set(dict, K::Inverted, new_bool(*f.token_kind == TemplateTokenKind::OpenInverted));
  }
  if (f.name) set(dict, K::Name, new_str(*f.name));
  return dict;
}

void SpanDicts::set_panel(const Ref& dict, const block::SpanFacts& facts) const {
  Ref panel = check(PyDict_New());
  // Keys go in as str objects: a key may hold a NUL that a C string would cut off.
  for (const auto& [key, value] : facts.panel->pairs()) {
    if (PyDict_SetItem(panel.get(), new_str(key).get(), new_str(value).get()) < 0)
      throw_error_already_set();
  }
  set(dict, K::Panel, std::move(panel));
  set(dict, K::FenceEnd, optional_int(facts.fence_end));
}

Ref SpanDicts::inline_node(const inl::InlineNode& node, std::string_view source) {
  Ref dict = ranged(node.kind, node.start, node.end, node.depth);
  std::visit(DataKeys{*this, dict, node, source}, node.data);
  return dict;
}

Ref SpanDicts::attrs(const Attr& attr) const {
  Ref dict = check(PyDict_New());
  set(dict, K::Id, optional_str(attr.id()));
  set(dict, K::Classes, new_list(attr.classes(), [](const std::string& name) { return new_str(name); }));
  set(dict, K::Pairs, new_str_pairs(attr.pairs()));
  return dict;
}

Ref SpanDicts::xref_refs(std::span<const inl::XrefSeg> refs) const {
  return new_list(refs, [this](const inl::XrefSeg& seg) {
    Ref dict = check(PyDict_New());
    set(dict, K::Target, new_str(seg.target));
    set(dict, K::Bare, new_bool(seg.bare));
    set(dict, K::Prefix, optional_str(seg.prefix));
    return dict;
  });
}

SpanList::SpanList(std::string_view markdown)
    : markdown_(markdown), thread_(PyThreadState_Get()), made_(check(PyList_New(0))) {}

template <class Build>
void SpanList::locked(Build&& build) {
  PyEval_RestoreThread(thread_);
  // Let go of the lock again also when building fails: the stream's caller takes it back.
  struct Release {
    ~Release() { PyEval_SaveThread(); }
  } release;
  const CollectorPause pause;
  build();
}

void SpanList::take_blocks(std::span<inl::SourceBlock> batch) {
  locked([&] {
    for (const inl::SourceBlock& block : batch) {
      if (PyList_Append(made_.get(), dicts_.block(block.span, block.start, block.end).get()) < 0)
        throw_error_already_set();
    }
  });
}

void SpanList::take_inlines(std::span<inl::InlineNode> batch) {
  locked([&] {
    for (const inl::InlineNode& node : batch) {
      if (PyList_Append(made_.get(), dicts_.inline_node(node, markdown_).get()) < 0)
        throw_error_already_set();
    }
  });
}

void SpanList::parse_released() {
  // The dicts come from the interpreter's own arenas, not from the heap the parse has freed, so
  // its pages would otherwise stay resident beside the whole result.
  if (markdown_.size() >= kGiveBackFrom) give_back_freed_memory();
}

Ref SpanList::finish(inl::ListingOrder order) && {
  // Moves the dicts into listing order in place, place i taking the one made at order[i]: each
  // cycle of the order is followed once, and a place done is marked as order[i] == i.
  assert(order.empty() || order.size() == std::size_t(PyList_GET_SIZE(made_.get())));
  PyObject** items = PySequence_Fast_ITEMS(made_.get());
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (order[i] == i) continue;
    PyObject* const first = items[i];
    std::size_t place = i;
    while (order[place] != i) {
      const std::size_t from = order[place];
      items[place] = items[from];
      order[place] = place;
      place = from;
    }
    items[place] = first;
    order[place] = place;
  }
  return std::move(made_);
}

}  // namespace vedavi::py
