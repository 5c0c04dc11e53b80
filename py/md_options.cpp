// Parse options from Python arguments.
#include "md_options.h"

#include "utf8.h"

namespace vedavi::py {
namespace {

// The one character of a string that holds exactly one.
std::optional<char32_t> single_char(std::string_view s) {
  if (s.empty()) return std::nullopt;
  const utf8::Decoded decoded = utf8::decode(s, 0);
  if (decoded.len != s.size()) return std::nullopt;
  return decoded.cp;
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
  for (const auto& [syntax, open, close, balance, form, markers] : templates->items) {
    if (syntax.empty()) raise(PyExc_ValueError, "template syntax must not be empty");
    if (open.empty() || close.empty()) {
      raise(PyExc_ValueError, "template delimiters must not be empty");
    }
    for (const TemplateDelimiter& earlier : out) {
      if (earlier.open == open) {
        raise(PyExc_ValueError, "each template opening delimiter must be unique");
      }
    }
    TemplateDelimiter delimiter;
    delimiter.syntax = std::string(syntax);
    delimiter.open = std::string(open);
    delimiter.close = std::string(close);
    if (balance) {
      const auto left = single_char(std::get<0>(*balance));
      const auto right = single_char(std::get<1>(*balance));
      if (!left || !right || *left == *right) {
        raise(PyExc_ValueError, "template balance must be a pair of different single characters");
      }
      delimiter.balance = TemplateBalance{*left, *right};
    }
    const auto parsed_form = templates::form_from_name(form);
    if (!parsed_form) raise(PyExc_ValueError, "template form must be 'auto', 'inline', or 'block'");
    delimiter.form = *parsed_form;
    if (markers) {
      delimiter.markers = TemplateMarkers{std::string(std::get<0>(*markers)),
                                          std::string(std::get<1>(*markers)),
                                          std::string(std::get<2>(*markers))};
    }
    out.push_back(std::move(delimiter));
  }
  return out;
}

}  // namespace vedavi::py
