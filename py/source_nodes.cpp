// source_nodes(markdown, ...): the block spans and the inline nodes of md source in one list,
// with byte ranges in the source, sorted by start and then by end descending.
#include "frame.h"
#include "inline/spans.h"
#include "md_options.h"
#include "span_nodes.h"

namespace vedavi::py {
namespace {

constexpr Signature kSourceNodes{
    "source_nodes",
    "source_nodes(markdown, *, math=\"brackets\", implicit_figures=False, templates=None)\n--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("implicit_figures"),
     keyword_only("templates")}};

Ref source_nodes(const Call& call) {
  const auto args = match(kSourceNodes, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto math = args.get_or<std::string_view>(1, "brackets");
  const auto implicit_figures = args.get_or<bool>(2, false);
  const auto templates = args.get_or<TemplatesArg>(3, std::nullopt);
  const Options options = make_options(math, templates, source_nodes_flags(implicit_figures));
  SpanList list(markdown);
  inl::ListingOrder order = released([&] {
    return guarded("parsing markdown source nodes",
                   [&] { return inl::stream_source_nodes(markdown, options, list); });
  });
  return std::move(list).finish(std::move(order));
}

}  // namespace

PyMethodDef source_nodes_method = method<source_nodes>(kSourceNodes);

}  // namespace vedavi::py
