// blocks(markdown, ...): the block spans of md source with their line ranges and facts: the
// top-level blocks, or with `nested` every block at every depth, in source order.
#include "block/parse.h"
#include "block/trace.h"
#include "frame.h"
#include "md_options.h"
#include "nodes.h"

namespace vedavi::py {
namespace {

constexpr Signature kBlocks{
    "blocks",
    "blocks(markdown, *, math=\"brackets\", implicit_figures=False, templates=None, nested=False)\n"
    "--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("implicit_figures"),
     keyword_only("templates"), keyword_only("nested")}};

Ref optional_int(const std::optional<std::size_t>& value) {
  return value ? new_int(*value) : new_none();
}

// One block span; `start` and `end` as the caller reports them.
Ref block_span_dict(const block::BlockSpan& span, std::size_t start, std::size_t end) {
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
    for (const auto& [key, value] : f.panel->pairs) {
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

Ref blocks(const Call& call) {
  const auto args = match(kBlocks, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto math = args.get_or<std::string_view>(1, "brackets");
  const auto implicit_figures = args.get_or<bool>(2, false);
  const auto templates = args.get_or<TemplatesArg>(3, std::nullopt);
  const auto nested = args.get_or<bool>(4, false);
  const Options options = make_options(math, templates, blocks_flags(implicit_figures, nested));
  const std::vector<block::BlockSpan> spans = released([&] {
    return guarded("parsing markdown", [&] {
      block::Parsed parsed = block::parse_source(markdown, options, 2);
      return block::into_spans(std::move(parsed.trace), options.nested);
    });
  });
  return new_list(spans, [](const block::BlockSpan& span) {
    return block_span_dict(span, span.start, span.end);
  });
}

}  // namespace

PyMethodDef blocks_method = method<blocks>(kBlocks);

}  // namespace vedavi::py
