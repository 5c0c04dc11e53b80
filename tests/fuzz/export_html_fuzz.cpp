// seeds: md
// export_html: VEDAVI HTML (md rendered first, or the text as it is) exports under options the
// two knob bytes pick, with no hooks or with hooks giving fixed, empty or no strings; the result
// (or the failure) is valid UTF-8 and the same each time.
#include "block/parse.h"
#include "export/export.h"
#include "fuzz_util.h"
#include "render/renderer.h"

using namespace vedavi;
using namespace vedavi::exporter;

namespace {

// Hooks that answer `answer` (none for "no string") whatever they are given.
void set_hooks(HtmlExportOptions& options, std::optional<std::string> lang,
               std::optional<std::string> wrap, std::optional<std::string> spans) {
  options.hl_lang = [lang](std::string_view, std::optional<std::string_view>) -> HookResult {
    return lang;
  };
  options.code_wrap = [wrap](std::string_view, std::optional<std::string_view>,
                             std::string_view) -> HookResult { return wrap; };
  options.hl_fn = [spans](std::string_view, std::string_view, HlMode) -> HookResult {
    return spans;
  };
}

std::optional<NumberHeadings> number_headings(std::uint8_t pick) {
  switch (pick & 3) {
    case 1: return NeverNumber{};
    case 2: return SchemeName{"decimal"};
    case 3: return SchemeLevels{{{"%1.", "decimal"}, {"%1.%2", "lowerLetter"}}};
    default: return std::nullopt;
  }
}

HtmlExportOptions export_options(std::uint8_t knobs, std::uint8_t more) {
  HtmlExportOptions options;
  options.hl = static_cast<HlMode>((knobs & 3) % 3);
  options.refs = static_cast<RefsMode>(((knobs >> 2) & 3) % 3);
  options.toc = (knobs & 16) != 0;
  options.auto_ids = (knobs & 32) != 0;
  options.gh_ids = (knobs & 64) != 0;
  options.number_headings = number_headings(more);
  if (more & 4) options.reftypes.push_back({"thm", RefTypeWords{"Theorem", "Theorems"}});
  if (more & 8) {
    options.id_prefix = "p-";
    options.fn_salt = "salt";
  }
  switch ((more >> 4) & 3) {
    case 1: set_hooks(options, "python", "<div class=\"w\">x</div>", "<span>h</span>"); break;
    case 2: set_hooks(options, "", "", ""); break;
    case 3: set_hooks(options, std::nullopt, std::nullopt, std::nullopt); break;
    default: break;
  }
  return options;
}

void check(const Outcome<ExportOutput>& out) {
  if (!out) return fuzz::require_utf8(out.message(), "export failures are valid UTF-8");
  fuzz::require_utf8(out.value().html, "export_html output is valid UTF-8");
  for (const std::string& warning : out.value().warnings) {
    fuzz::require_utf8(warning, "export warnings are valid UTF-8");
  }
}

bool same(const Outcome<ExportOutput>& a, const Outcome<ExportOutput>& b) {
  if (a.ok() != b.ok()) return false;
  if (!a) return a.message() == b.message();
  return a.value().html == b.value().html && a.value().warnings == b.value().warnings;
}

}  // namespace

// Two knob bytes, then the text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ArenaScope arena;
  const std::uint8_t knobs = size ? data[0] : 0;
  const fuzz::Input input = fuzz::split_input(data + (size ? 1 : 0), size ? size - 1 : 0);
  const std::string src = (input.knobs & 64) ? input.text
                                             : render_document(parse(input.text, fuzz::md_options(0)),
                                                               input.text.size());
  const HtmlExportOptions options = export_options(knobs, input.knobs);
  const Outcome<ExportOutput> out = export_html(src, options);
  check(out);
  fuzz::require(same(export_html(src, options), out), "exporting twice gives the same bytes");
  return 0;
}
