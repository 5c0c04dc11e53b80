// wrap_md(markdown, width=None): md source with its paragraphs refilled to a width.
#include "chunk/wrap.h"
#include "frame.h"

namespace vedavi::py {
namespace {

constexpr Signature kWrapMd{"wrap_md", "wrap_md(markdown, width=None)\n--\n\n",
                            {required("markdown"), with_default("width")}};

Ref wrap_md(const Call& call) {
  const auto args = match(kWrapMd, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto width = args.get_or<std::optional<std::uint64_t>>(1, std::nullopt);
  if (width == 0u) raise(PyExc_ValueError, "width must be positive");
  const std::string out = released(
      [&] { return guarded("wrapping Markdown", [&] { return chunk::wrap_md(markdown, width); }); });
  return new_str(out);
}

}  // namespace

PyMethodDef wrap_md_method = method<wrap_md>(kWrapMd);

}  // namespace vedavi::py
