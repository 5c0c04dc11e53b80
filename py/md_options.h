// The parse options of every md function: math-mode names, template-syntax tuples and their
// validation, and the flags each function passes as given or fixes.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "convert.h"
#include "model/options.h"

namespace vedavi::py {

// A template syntax as Python gives it: (syntax, open, close, balance, form, markers).
using TemplateBalanceArg = std::optional<std::tuple<std::string_view, std::string_view>>;
using TemplateMarkersArg =
    std::optional<std::tuple<std::string_view, std::string_view, std::string_view>>;
using TemplateArg = std::tuple<std::string_view, std::string_view, std::string_view,
                               TemplateBalanceArg, std::string_view, TemplateMarkersArg>;
using TemplatesArg = std::optional<List<TemplateArg>>;

// "off", "on", "brackets", "dollars", exactly; anything else raises ValueError.
MathMode parse_math_mode(std::string_view name);
// The syntaxes in the given order; the first invalid tuple raises ValueError.
std::vector<TemplateDelimiter> parse_templates(const TemplatesArg& templates);

// The flags and limits one function passes to the parser.
struct ParseFlags {
  bool bare_autolinks = true;
  bool implicit_figures = false;
  bool nested = false;
  bool frontmatter = true;
  std::size_t max_block_depth = 128;
  std::size_t max_link_paren_depth = 32;
};

// What each function passes: its own arguments where it takes them, fixed values otherwise.
ParseFlags md2vedavi_flags(bool bare_autolinks, bool implicit_figures, bool frontmatter,
                           std::optional<std::size_t> max_block_depth,
                           std::optional<std::size_t> max_link_paren_depth);
ParseFlags anchors_flags();
ParseFlags blocks_flags(bool implicit_figures, bool nested);
ParseFlags inlines_flags(bool bare_autolinks);
ParseFlags source_nodes_flags(bool implicit_figures);

// The options, after the math name and then the templates are checked (arguments are converted
// before this, so type errors come first).
Options make_options(std::string_view math, const TemplatesArg& templates, const ParseFlags& flags);

}  // namespace vedavi::py
