// vedavi2md(vedavi): VEDAVI HTML back to md source.
#include "frame.h"
#include "markdown/writer.h"

namespace vedavi::py {
namespace {

constexpr Signature kVedavi2Md{
    "vedavi2md",
    "vedavi2md(vedavi)\n--\n\n"
    "Render canonical VEDAVI as deterministic `md` dialect source.",
    {required("vedavi")}};

Ref vedavi2md(const Call& call) {
  const auto args = match(kVedavi2Md, call);
  const auto html = args.get<std::string_view>(0);
  const std::string md = released([&] {
    return guarded("rendering VEDAVI as Markdown", [&] { return markdown::vedavi_to_md(html); });
  });
  return new_str(md);
}

}  // namespace

PyMethodDef vedavi2md_method = method<vedavi2md>(kVedavi2Md);

}  // namespace vedavi::py
