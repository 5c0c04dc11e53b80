// md2vedavi(markdown, ...): md source to VEDAVI HTML, with node callbacks, warnings and the
// frontmatter pairs.
#include <cstdlib>  // defines __GLIBC__ on glibc
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "block/parse.h"
#include "callbacks.h"
#include "frame.h"
#include "md_options.h"
#include "render/renderer.h"

namespace vedavi::py {
namespace {

constexpr Signature kMd2Vedavi{
    "md2vedavi",
    "md2vedavi(markdown, *, math=\"brackets\", bare_autolinks=True, implicit_figures=False, "
    "frontmatter=True, templates=None, callbacks=None, max_block_depth=None, "
    "max_link_paren_depth=None)\n--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("bare_autolinks"),
     keyword_only("implicit_figures"), keyword_only("frontmatter"), keyword_only("templates"),
     keyword_only("callbacks"), keyword_only("max_block_depth"),
     keyword_only("max_link_paren_depth")}};

// The HTML is written in pieces of about this size and copied into the str from them: it is
// never held in one buffer that doubles as it grows.
constexpr std::size_t kHtmlPieceSize = std::size_t{256} << 10;

// From this size of input on, the freed tree's pages are given back before the output str is
// written. The str is one fresh mapping of its own; without this, the tree's freed heap (several
// times the input) would stay resident beside it and set the call's peak. Below it, the pages are
// kept for the next call: giving them back and faulting them in again costs a few percent of a
// call's time for a saving that is small in bytes.
constexpr std::size_t kReturnFreedTreeFrom = std::size_t{4} << 20;

void return_freed_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

Ref warning_list(const std::vector<Diagnostic>& diagnostics) {
  return new_list(diagnostics, [](const Diagnostic& diagnostic) {
    if (!diagnostic.start) return new_str(diagnostic.message);
    return new_str("line " + std::to_string(diagnostic.start->line) + ": " + diagnostic.message);
  });
}

Ref md2vedavi(const Call& call) {
  const auto args = match(kMd2Vedavi, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto math = args.get_or<std::string_view>(1, "brackets");
  const auto bare_autolinks = args.get_or<bool>(2, true);
  const auto implicit_figures = args.get_or<bool>(3, false);
  const auto frontmatter = args.get_or<bool>(4, true);
  const auto templates = args.get_or<TemplatesArg>(5, std::nullopt);
  const auto callbacks = args.get_or<std::optional<Dict>>(6, std::nullopt);
  const auto max_block_depth = args.get_or<std::optional<std::size_t>>(7, std::nullopt);
  const auto max_link_paren_depth = args.get_or<std::optional<std::size_t>>(8, std::nullopt);

  const Options options =
      make_options(math, templates,
                   md2vedavi_flags(bare_autolinks, implicit_figures, frontmatter, max_block_depth,
                                   max_link_paren_depth));

  const bool large = markdown.size() >= kReturnFreedTreeFrom;
  Document doc = released(
      [&] { return guarded("parsing markdown", [&] { return parse(markdown, options); }); });
  if (callbacks) run_callbacks(doc, callbacks->obj);
  Ref warnings = warning_list(doc.diagnostics);
  Ref pairs = new_list(doc.meta, [](const auto& pair) {
    Ref key = new_str(pair.first);
    Ref value = new_str(pair.second);
    return new_tuple(std::move(key), std::move(value));
  });
  const std::vector<std::string> pieces = released([&] {
    std::vector<std::string> out = guarded("rendering markdown", [&] {
      return render_document_pieces(doc, kHtmlPieceSize);
    });
    doc = Document{};  // a large tree is freed without holding the lock
    if (large) return_freed_memory();
    return out;
  });
  const std::vector<std::string_view> views(pieces.begin(), pieces.end());
  return new_tuple(new_large_str(views), std::move(warnings), std::move(pairs));
}

}  // namespace

PyMethodDef md2vedavi_method = method<md2vedavi>(kMd2Vedavi);

}  // namespace vedavi::py
