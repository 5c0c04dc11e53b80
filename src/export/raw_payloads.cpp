// Step 9: raw payload scripts of format "html" are decoded and spliced into the tree; payloads of
// every other format are removed.
#include "export/exporter.h"
#include "resolve/raw_payload.h"

namespace vedavi::exporter {

inline constexpr std::string_view kRawType = "application/vnd.vedavi.raw";

void Exporter::splice_raw_payloads() {
  std::vector<NodeId> scripts;
  for (const NodeId element : elements_) {
    if (dom_.is_tag(element, "script") && dom_.attr(element, "type") == kRawType) {
      scripts.push_back(element);
    }
  }
  for (const NodeId script : scripts) {
    // A payload that an earlier step cut out of the document stays out, warning nothing.
    if (!in_document(script)) continue;
    const NodeId parent = *dom_.node(script).parent;
    if (dom_.attr(script, "data-format") != "html") {
      splices_.replace(parent, script, {});
      continue;
    }
    const std::string payload = dom_.to_text(script);
    const auto encoding = dom_.attr(script, "data-encoding");
    RawPayload decoded = decode_raw(payload, encoding);
    if (decoded.warning) warnings_.push_back(std::move(*decoded.warning));
    if (!decoded.payload) {
      splices_.replace(parent, script, {});
      continue;
    }
    replace_with_fragment(script, *decoded.payload);
  }
  splices_.apply(dom_);
}

}  // namespace vedavi::exporter
