// wiki2vedavi(wikitext): MediaWiki wikitext to VEDAVI HTML, with the (always empty) warnings.
#include "frame.h"
#include "render/renderer.h"
#include "wikitext/parse.h"

namespace vedavi::py {
namespace {

constexpr Signature kWiki2Vedavi{"wiki2vedavi", "wiki2vedavi(wikitext)\n--\n\n",
                                 {required("wikitext")}};

Ref wiki2vedavi(const Call& call) {
  const auto args = match(kWiki2Vedavi, call);
  const auto wikitext = args.get<std::string_view>(0);
  Document doc = released([&] {
    return guarded("parsing wikitext", [&] { return wikitext::document::parse(wikitext); });
  });
  // The converter records no diagnostics, so the list stays empty.
  Ref warnings = new_list(doc.diagnostics, [](const Diagnostic& diagnostic) {
    if (!diagnostic.start) return new_str(diagnostic.message);
    return new_str("line " + std::to_string(diagnostic.start->line) + ": " + diagnostic.message);
  });
  const std::string html = released([&] {
    std::string out = guarded("rendering wikitext",
                              [&] { return render_document(doc, wikitext.size()); });
    doc = Document{};  // a large tree is freed without holding the lock
    return out;
  });
  return new_tuple(new_str(html), std::move(warnings));
}

}  // namespace

PyMethodDef wiki2vedavi_method = method<wiki2vedavi>(kWiki2Vedavi);

}  // namespace vedavi::py
