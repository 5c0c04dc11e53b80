// blocks(markdown, ...): the block spans of md source with their line ranges and facts: the
// top-level blocks, or with `nested` every block at every depth, in source order.
#include "block/parse.h"
#include "block/trace.h"
#include "frame.h"
#include "md_options.h"
#include "span_nodes.h"

namespace vedavi::py {
namespace {

constexpr Signature kBlocks{
    "blocks",
    "blocks(markdown, *, math=\"brackets\", implicit_figures=False, templates=None, nested=False)\n"
    "--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("implicit_figures"),
     keyword_only("templates"), keyword_only("nested")}};

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
  SpanDicts dicts;
  const CollectorPause pause;
  return new_list(spans, [&](const block::BlockSpan& span) {
    return dicts.block(span, span.start, span.end);
  });
}

}  // namespace

PyMethodDef blocks_method = method<blocks>(kBlocks);

}  // namespace vedavi::py
