// highlight_md(src, class_prefix="hl-"): md source as inner HTML with classed spans.
#include "frame.h"
#include "highlight/highlight.h"

namespace vedavi::py {
namespace {

constexpr Signature kHighlightMd{
    "highlight_md",
    "highlight_md(src, class_prefix=\"hl-\")\n--\n\n"
    "Classed-span inner HTML highlighting `src` as the `md` dialect itself:\n"
    "the same shape `hl='spans'` produces for code languages, using the theme\n"
    "scopes documented in `highlight`.",
    {required("src"), with_default("class_prefix")}};

// Holds the interpreter lock throughout: a small service, called per code block by exporters.
Ref highlight_md(const Call& call) {
  const auto args = match(kHighlightMd, call);
  const auto src = args.get<std::string_view>(0);
  const auto class_prefix = args.get_or<std::string_view>(1, "hl-");
  return new_str(highlight::highlight_md(src, class_prefix));
}

}  // namespace

PyMethodDef highlight_md_method = method<highlight_md>(kHighlightMd);

}  // namespace vedavi::py
