// The parse options of every md function.
#include "md_options.h"

#include <string>

#include "errors.h"
#include "text/utf8.h"

namespace vedavi::py {
namespace {

// The one character of `s`, none when it holds another number of characters.
std::optional<char32_t> single_char(std::string_view s) {
  if (s.empty()) return std::nullopt;
  const utf8::Decoded d = utf8::decode(s, 0);
  if (d.len != s.size()) return std::nullopt;
  return d.cp;
}

}  // namespace

MathMode parse_math_mode(std::string_view name) {
  if (name == "off") return MathMode::Off;
  if (name == "on") return MathMode::On;
  if (name == "brackets") return MathMode::Brackets;
  if (name == "dollars") return MathMode::Dollars;
  raise(PyExc_ValueError, "math must be 'off', 'on', 'brackets', or 'dollars'");
}

std::vector<TemplateDelimiter> parse_templates(const TemplatesArg& templates) {
  std::vector<TemplateDelimiter> out;
  if (!templates) return out;
  out.reserve(templates->items.size());
  for (const TemplateArg& tuple : templates->items) {
    const auto& [syntax, open, close, balance, form, markers] = tuple;
    if (syntax.empty()) raise(PyExc_ValueError, "template syntax must not be empty");
    if (open.empty() || close.empty()) raise(PyExc_ValueError, "template delimiters must not be empty");
    for (const TemplateDelimiter& earlier : out)
      if (earlier.open == open) raise(PyExc_ValueError, "each template opening delimiter must be unique");
    TemplateDelimiter d;
    if (balance) {
      const auto first = single_char(std::get<0>(*balance));
      const auto second = single_char(std::get<1>(*balance));
      if (!first || !second || *first == *second)
        raise(PyExc_ValueError, "template balance must be a pair of different single characters");
      d.balance = TemplateBalance{*first, *second};
    }
    const auto parsed_form = templates::form_from_name(form);
    if (!parsed_form) raise(PyExc_ValueError, "template form must be 'auto', 'inline', or 'block'");
    d.syntax = std::string(syntax);
    d.open = std::string(open);
    d.close = std::string(close);
    d.form = *parsed_form;
    if (markers) {
      d.markers = TemplateMarkers{std::string(std::get<0>(*markers)), std::string(std::get<1>(*markers)),
                                  std::string(std::get<2>(*markers))};
    }
    out.push_back(std::move(d));
  }
  return out;
}

ParseFlags md2vedavi_flags(bool bare_autolinks, bool implicit_figures, bool frontmatter,
                           std::optional<std::size_t> max_block_depth,
                           std::optional<std::size_t> max_link_paren_depth) {
  ParseFlags flags;
  flags.bare_autolinks = bare_autolinks;
  flags.implicit_figures = implicit_figures;
  flags.frontmatter = frontmatter;
  flags.max_block_depth = max_block_depth.value_or(128);
  flags.max_link_paren_depth = max_link_paren_depth.value_or(32);
  return flags;
}

ParseFlags anchors_flags() { return ParseFlags{}; }

ParseFlags blocks_flags(bool implicit_figures, bool nested) {
  ParseFlags flags;
  flags.implicit_figures = implicit_figures;
  flags.nested = nested;
  return flags;
}

ParseFlags inlines_flags(bool bare_autolinks) {
  ParseFlags flags;
  flags.bare_autolinks = bare_autolinks;
  return flags;
}

ParseFlags source_nodes_flags(bool implicit_figures) {
  ParseFlags flags;
  flags.implicit_figures = implicit_figures;
  return flags;
}

Options make_options(std::string_view math, const TemplatesArg& templates, const ParseFlags& flags) {
  Options options;
  options.math = parse_math_mode(math);
  options.templates = parse_templates(templates);
  options.bare_autolinks = flags.bare_autolinks;
  options.implicit_figures = flags.implicit_figures;
  options.nested = flags.nested;
  options.frontmatter = flags.frontmatter;
  options.max_block_depth = flags.max_block_depth;
  options.max_link_paren_depth = flags.max_link_paren_depth;
  return options;
}

}  // namespace vedavi::py
