// seeds: md
// md2vedavi: md source parses and renders as VEDAVI under every option the knob byte picks.
#include <optional>
#include <string>

#include "block/parse.h"
#include "fuzz_util.h"
#include "render/renderer.h"

namespace {

// Renders the blocks of a streamed parse as they come, as md2vedavi does for a large document.
class StreamRenderer : public vedavi::BlockSink {
 public:
  void start(const vedavi::Document& doc) override { renderer.emplace(doc); }
  bool block(const vedavi::Block& block) override {
    const std::size_t notes = renderer->notes_written();
    renderer->block(block, html);
    return renderer->notes_written() != notes;
  }
  void keep(vedavi::ArenaHandle blocks) override { kept = std::move(blocks); }

  vedavi::ArenaHandle kept;
  std::optional<vedavi::Renderer> renderer;
  std::string html;
};

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  using namespace vedavi;
  const Options options = fuzz::md_options(input.knobs);
  const Document doc = parse(input.text, options);
  const std::string html = render_document(doc, input.text.size());
  fuzz::require_utf8(html, "md2vedavi output is valid UTF-8");
  for (const Diagnostic& diagnostic : doc.diagnostics) {
    fuzz::require_utf8(diagnostic.message, "md2vedavi warnings are valid UTF-8");
  }
  for (const auto& [key, value] : doc.meta) {
    fuzz::require_utf8(key, "frontmatter keys are valid UTF-8");
    fuzz::require_utf8(value, "frontmatter values are valid UTF-8");
  }
  fuzz::require(render_document(doc) == html, "rendering a document twice gives the same bytes");
  fuzz::require(render_document(parse(input.text, options)) == html,
                "parsing and rendering twice gives the same bytes");
  StreamRenderer stream;
  // Holds the footnotes the stream renderer reads until the end.
  const Document rest = parse_kept_source_streamed(input.text, options, stream);
  stream.renderer->footnotes(stream.html);
  fuzz::require(stream.html == html, "a streamed parse renders the same bytes as the whole tree");
}
