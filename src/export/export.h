// The exporter's entry: VEDAVI HTML and the options of one export in, finished HTML and its
// warnings out, or the message that ended the export. Takes strings and callables; may use base,
// text, resolve, highlight, html5 and fast5ever.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/outcome.h"
#include "resolve/heading_nums.h"
#include "resolve/resolve.h"

namespace vedavi::exporter {

// How code blocks are highlighted; the value is also what the highlighter hook is told.
enum class HlMode : std::uint8_t {
  Spans = 0,  // the highlighter's HTML replaces the content of the code element
  Toks = 1,   // the highlighter's `toks` attribute goes onto an `hl-code` wrapper of the `pre`
  Off = 2,    // nothing is highlighted
};

// How cross-references are treated.
enum class RefsMode : std::uint8_t {
  Strict = 0,   // a bad reference ends the export
  Ids = 1,      // nothing is resolved: links point at their target id, captions stay unnumbered
  Lenient = 2,  // a bad reference becomes a warning and is rewritten as in Ids
};

// Which headings get numbers. Absent (in the options) means: "decimal", and only when a
// reference needs a heading number.
struct NeverNumber {};
struct SchemeName {
  std::string name;  // a built-in scheme of HeadingNums::named
};
struct SchemeLevels {
  std::vector<LevelSpec> levels;  // (lvlText, numFmt) pairs for HeadingNums::create
};
using NumberHeadings = std::variant<NeverNumber, SchemeName, SchemeLevels>;

// What a hook gives back: a message that ends the export, or an optional string.
using HookResult = Outcome<std::optional<std::string>>;
// (code text, language): a new language name, or none for "no language from now on".
using LangHook =
    std::function<HookResult(std::string_view code, std::optional<std::string_view> lang)>;
// (outer HTML of the block, language, code text before highlighting): replacement HTML, or none.
using WrapHook = std::function<HookResult(std::string_view html, std::optional<std::string_view> lang,
                                          std::string_view code)>;
// (code text, language, mode): the highlighter's HTML, or none to leave the block plain.
using HighlightHook =
    std::function<HookResult(std::string_view code, std::string_view lang, HlMode mode)>;

struct HtmlExportOptions {
  std::vector<std::pair<std::string, RefTypeWords>> reftypes;  // laid over sec, fig and tbl
  std::optional<NumberHeadings> number_headings;
  HlMode hl = HlMode::Off;
  bool toc = false;
  RefsMode refs = RefsMode::Strict;
  std::string id_prefix;  // before every id; empty for none
  std::string fn_salt;    // between the prefix and footnote ids; empty for none
  // Hooks: empty for none. Called synchronously, in document order of the code blocks, never kept.
  LangHook hl_lang;
  WrapHook code_wrap;
  HighlightHook hl_fn;
  bool auto_ids = false;  // headings without an id get a generated one
  bool gh_ids = false;    // generated ids use the second slug rule
};

struct ExportOutput {
  std::string html;
  std::vector<std::string> warnings;  // in the order they arose
};

// Never fails on malformed HTML; fails only for the reasons the options can cause (a strict
// reference, a numbering scheme, colwidths weights, a hook's message).
Outcome<ExportOutput> export_html(std::string_view src, const HtmlExportOptions& options);

// The text the highlighter-missing warning reads; added at most once per export.
inline constexpr std::string_view kNoHighlighterWarning =
    "highlighting requested but no highlighter provided: code blocks render plain "
    "(from Python, pip install 'vedavi[hl]')";

}  // namespace vedavi::exporter
