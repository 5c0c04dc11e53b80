// Parse options from Python arguments: math-mode names and template-syntax tuples.
#pragma once

#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "convert.h"
#include "options.h"

namespace vedavi::py {

// (syntax, open, close, balance (str, str) or None, form, markers (open, inverted, close) or
// None), as Python passes one template syntax.
using TemplateTuple =
    std::tuple<std::string_view, std::string_view, std::string_view,
               std::optional<std::tuple<std::string_view, std::string_view>>, std::string_view,
               std::optional<std::tuple<std::string_view, std::string_view, std::string_view>>>;
using TemplatesArg = std::optional<List<TemplateTuple>>;

// "off", "on", "brackets", "dollars"; anything else raises ValueError.
MathMode parse_math_mode(std::string_view name);
// The syntaxes in order, or ValueError with the first rule a tuple breaks.
std::vector<TemplateDelimiter> parse_templates(const TemplatesArg& templates);

}  // namespace vedavi::py
