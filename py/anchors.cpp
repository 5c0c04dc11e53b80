// anchors(markdown, ...): the cross-reference targets of md source, without rendering it.
#include "render/anchors.h"

#include "block/parse.h"
#include "frame.h"
#include "md_options.h"
#include "nodes.h"

namespace vedavi::py {
namespace {

constexpr Signature kAnchors{
    "anchors", "anchors(markdown, *, math=\"brackets\", templates=None)\n--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("templates")}};

// Small services keep the lock: the parse runs guarded, with the lock held.
Ref anchors(const Call& call) {
  const auto args = match(kAnchors, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto math = args.get_or<std::string_view>(1, "brackets");
  const auto templates = args.get_or<TemplatesArg>(2, std::nullopt);

  const Options options = make_options(math, templates, anchors_flags());

  // `markdown` outlives the document, which is gone before this returns: its texts may stay views
  // of the source, which keeps the parse's peak near md2vedavi's.
  const std::vector<Anchor> found = guarded(
      "parsing markdown", [&] { return document_anchors(parse_kept_source(markdown, options)); });
  return new_list(found, [](const Anchor& anchor) {
    Ref dict = check(PyDict_New());
    set_item(dict, "id", new_str(anchor.id));
    set_item(dict, "kind", new_str(anchor.kind));
    set_item(dict, "text", new_str(anchor.text));
    return dict;
  });
}

}  // namespace

PyMethodDef anchors_method = method<anchors>(kAnchors);

}  // namespace vedavi::py
