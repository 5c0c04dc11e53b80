// inlines(markdown, ...): every inline construct of md source with its byte range in the source,
// its nesting depth and its facts, sorted by start and then by end descending.
#include "frame.h"
#include "inline/spans.h"
#include "md_options.h"
#include "span_nodes.h"

namespace vedavi::py {
namespace {

constexpr Signature kInlines{
    "inlines",
    "inlines(markdown, *, math=\"brackets\", bare_autolinks=True, templates=None)\n--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("bare_autolinks"),
     keyword_only("templates")}};

Ref inlines(const Call& call) {
  const auto args = match(kInlines, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto math = args.get_or<std::string_view>(1, "brackets");
  const auto bare_autolinks = args.get_or<bool>(2, true);
  const auto templates = args.get_or<TemplatesArg>(3, std::nullopt);
  const Options options = make_options(math, templates, inlines_flags(bare_autolinks));
  SpanList list(markdown);
  inl::ListingOrder order = released([&] {
    return guarded("parsing markdown inlines", [&] { return inl::stream_inlines(markdown, options, list); });
  });
  return std::move(list).finish(std::move(order));
}

}  // namespace

PyMethodDef inlines_method = method<inlines>(kInlines);

}  // namespace vedavi::py
