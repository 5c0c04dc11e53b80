// frontmatter_meta(src): the pairs of a leading frontmatter block, without parsing the document.
#include "frame.h"
#include "model/frontmatter.h"

namespace vedavi::py {
namespace {

constexpr Signature kFrontmatterMeta{
    "frontmatter_meta",
    "frontmatter_meta(src)\n--\n\n"
    "The flat `meta` pairs of a leading frontmatter block, by the dialect's rule,\n"
    "without parsing the document: `[]` when it opens with none.",
    {required("src")}};

// Small and bounded by the source: runs with the lock held.
Ref frontmatter_meta(const Call& call) {
  const auto args = match(kFrontmatterMeta, call);
  const auto src = args.get<std::string_view>(0);
  const StringPairs pairs = frontmatter::meta_pairs(src);
  return new_list(pairs, [](const auto& pair) {
    Ref key = new_str(pair.first);
    Ref value = new_str(pair.second);
    return new_tuple(std::move(key), std::move(value));
  });
}

}  // namespace

PyMethodDef frontmatter_meta_method = method<frontmatter_meta>(kFrontmatterMeta);

}  // namespace vedavi::py
