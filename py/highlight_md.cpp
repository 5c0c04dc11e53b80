// highlight_md(src, class_prefix="hl-"): md source as inner HTML with classed spans.
#include <string>
#include <string_view>
#include <vector>

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

// From this size of source on, the output is made in pieces that go as the str takes them: the
// output is several times the source, and whole it would stand twice.
constexpr std::size_t kPiecesFrom = std::size_t{64} << 10;
constexpr std::size_t kPieceBytes = std::size_t{128} << 10;

// Holds the interpreter lock throughout: a small service, called per code block by exporters.
Ref highlight_md(const Call& call) {
  const auto args = match(kHighlightMd, call);
  const auto src = args.get<std::string_view>(0);
  const auto class_prefix = args.get_or<std::string_view>(1, "hl-");
  if (src.size() < kPiecesFrom) return new_str(highlight::highlight_md(src, class_prefix));
  std::vector<std::string> pieces = highlight::highlight_md_pieces(src, class_prefix, kPieceBytes);
  const std::vector<std::string_view> views(pieces.begin(), pieces.end());
  // The str is a fresh mapping: what the call freed, and each piece once copied, would otherwise
  // stay resident beside it.
  return_freed_memory();
  return new_large_str(views, [&](std::size_t i) { free_piece(pieces[i]); });
}

}  // namespace

PyMethodDef highlight_md_method = method<highlight_md>(kHighlightMd);

}  // namespace vedavi::py
