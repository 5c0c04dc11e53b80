// dialect_css and math_js: the fixed texts that exporters place into finished pages, the dialect's
// style sheet and the script that typesets math elements with KaTeX in the reader's browser.
#include <optional>
#include <string>
#include <string_view>

#include "frame.h"
#include "base/internal_error.h"

namespace vedavi::py {
namespace {

// One rule per line: selector, " { ", declarations each ending in ";", " }". The base sheet
// (template tokens, highlighted md source, panels and callouts) is followed by what previews
// add (cross-reference and anchor marks). The backslashes in `content` are CSS escapes.
constexpr std::string_view kStyleSheet =
    R"(.tmpl-tok { font-family: monospace; font-size: 0.85em; padding: 0.05em 0.4em; border-radius: 0.5em; border: 1px solid; white-space: nowrap; }
.tmpl-var { background: light-dark(oklch(0.96 0.06 95), oklch(0.3 0.05 95)); border-color: light-dark(oklch(0.8 0.12 85), oklch(0.55 0.1 85)); }
.tmpl-sect { background: light-dark(oklch(0.96 0.04 305), oklch(0.3 0.05 305)); border-color: light-dark(oklch(0.75 0.12 305), oklch(0.55 0.12 305)); }
.tmpl-filled { background: light-dark(oklch(0.95 0.05 155 / 0.6), oklch(0.32 0.05 155 / 0.6)); border-radius: 0.2em; }
tr.tmpl-row > td { padding: 0.1em 0.4em; border: none; }
pre code .hl-markup-bold { font-weight: bold; }
pre code .hl-markup-strikethrough { text-decoration: line-through; }
pre code .hl-markup-highlight { background: light-dark(oklch(0.93 0.09 95 / 0.7), oklch(0.45 0.08 95 / 0.45)); }
details > summary { cursor: pointer; font-weight: 600; }
[data-panel] { margin-block: 1em; padding: 0.75em 1em; border: 1px solid color-mix(in srgb, currentColor 25%, transparent); border-radius: 0.4em; }
[data-panel] > header, [data-panel] > summary { font-weight: 600; }
[data-callout] { border-inline-start: 0.3em solid var(--callout-color, #3979c3); }
[data-callout="tip"] { --callout-color: #28864a; }
[data-callout="important"] { --callout-color: #8653b8; }
[data-callout="warning"] { --callout-color: #a87800; }
[data-callout="caution"] { --callout-color: #c44040; }
a.xref { text-decoration: none; white-space: nowrap; }
a.xref::before { content: '\1F587'; font-size: 0.85em; margin-right: 0.1em; }
:is(h1,h2,h3,h4,h5,h6,figure,table)[data-id]::after { content: ' \2693' attr(data-id); }
:is(h1,h2,h3,h4,h5,h6,figure,table)[data-id]::after { font-size: 0.65em; font-weight: normal; opacity: 0.55; }
)";
constexpr std::size_t kBaseSheetSize = kStyleSheet.find("a.xref {");
static_assert(kBaseSheetSize == 1419 && kStyleSheet.size() == 1752);

// The typesetting function, split where the caller's extra KaTeX options go.
constexpr std::string_view kMathHead =
    "o => { for (const el of o.querySelectorAll('span.math:not([data-mathed]), "
    "div.math:not([data-mathed])')) { el.dataset.mathed = 1; katex.render(el.textContent, el, "
    "{displayMode: el.classList.contains('display'), throwOnError: false";
constexpr std::string_view kMathTail = "}); } }";

// Without a name the function is applied at once to the whole document; with one it is stored
// under that name for the page to call on any root later. Neither text is checked or escaped:
// `xtra` lands inside the KaTeX options, so callers pass ", option: value" or "".
std::string format_math_js(std::optional<std::string_view> func, std::string_view xtra) {
  if (func) fault_point(*func);
  fault_point(xtra);
  std::string js;
  js.reserve(kMathHead.size() + kMathTail.size() + xtra.size() + (func ? func->size() : 0) + 16);
  if (func) {
    js.append("const ").append(*func).append(" = ");
  } else {
    js.push_back('(');
  }
  js.append(kMathHead).append(xtra).append(kMathTail);
  js.append(func ? ";" : ")(document);");
  return js;
}

constexpr Signature kMathJs{"math_js", "math_js(func, xtra)\n--\n\n",
                            {required("func"), required("xtra")}};

Ref math_js(const Call& call) {
  const auto args = match(kMathJs, call);
  const auto func = args.get<std::optional<std::string_view>>(0);
  const auto xtra = args.get<std::string_view>(1);
  return new_str(format_math_js(func, xtra));
}

constexpr Signature kDialectCss{"dialect_css", "dialect_css(preview=False)\n--\n\n",
                                {with_default("preview")}};

Ref dialect_css(const Call& call) {
  const auto args = match(kDialectCss, call);
  const bool preview = args.get_or<bool>(0, false);
  return new_str(preview ? kStyleSheet : kStyleSheet.substr(0, kBaseSheetSize));
}

}  // namespace

PyMethodDef math_js_method = method<math_js>(kMathJs);
PyMethodDef dialect_css_method = method<dialect_css>(kDialectCss);

}  // namespace vedavi::py
