// Float reading and %g-style writing for column widths; locale-independent (<charconv>).
#include "export/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "text/scan.h"

namespace vedavi::exporter {
namespace {

std::size_t skip_digits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && scan::is_ascii_digit(text[pos])) ++pos;
  return pos;
}

// Whether `text` is digits with an optional fraction (at least one digit in all) and an optional
// exponent, and nothing else.
bool is_decimal(std::string_view text) {
  std::size_t pos = skip_digits(text, 0);
  std::size_t digits = pos;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fraction_end = skip_digits(text, pos + 1);
    digits += fraction_end - pos - 1;
    pos = fraction_end;
  }
  if (digits == 0) return false;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    const std::size_t exponent_end = skip_digits(text, pos);
    if (exponent_end == pos) return false;
    pos = exponent_end;
  }
  return pos == text.size();
}

// The decimal value of `text` (checked by is_decimal); out of range becomes infinity or 0.
double decimal_value(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc::result_out_of_range) return value;
  // Too large or too small: which one shows in the position of the first significant digit
  // against the exponent.
  const std::size_t exponent_at = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, exponent_at);
  long long exponent = 0;
  if (exponent_at != std::string_view::npos) {
    const std::string_view digits = text.substr(exponent_at + 1);
    const bool is_negative = digits.starts_with('-');
    const std::string_view magnitude = digits.substr(digits.starts_with('+') || is_negative);
    std::from_chars(magnitude.data(), magnitude.data() + magnitude.size(), exponent);
    if (is_negative) exponent = -exponent;
  }
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  const long long position = first < point ? (long long)(point - first) : -(long long)(first - point);
  return exponent + position > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

}  // namespace

std::optional<double> parse_float(std::string_view text) {
  bool is_negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    is_negative = text[0] == '-';
    text.remove_prefix(1);
  }
  double value = 0;
  if (scan::ascii_iequals(text, "inf") || scan::ascii_iequals(text, "infinity")) {
    value = std::numeric_limits<double>::infinity();
  } else if (scan::ascii_iequals(text, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
  } else if (is_decimal(text)) {
    value = decimal_value(text);
  } else {
    return std::nullopt;
  }
  return is_negative ? -value : value;
}

std::string_view trim_zeros(std::string_view text) {
  if (text.find('.') == std::string_view::npos) return text;
  while (text.ends_with('0')) text.remove_suffix(1);
  while (text.ends_with('.')) text.remove_suffix(1);
  return text;
}

namespace {

std::string fixed(double value, int decimals) {
  char buffer[400];  // the widest finite double in fixed notation with up to 9 decimals fits
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(trim_zeros(std::string_view(buffer, std::size_t(result.ptr - buffer))));
}

}  // namespace

std::string fmt_g(double value) {
  if (value == 0) return "0";
  const int exponent = int(std::floor(std::log10(std::fabs(value))));
  if (exponent >= -4 && exponent < 6) return fixed(value, 5 - exponent);
  std::string out = fixed(value / std::pow(10.0, exponent), 5);
  out += exponent < 0 ? "e-" : "e+";
  const int magnitude = std::abs(exponent);
  if (magnitude < 10) out += '0';
  out += std::to_string(magnitude);
  return out;
}

}  // namespace vedavi::exporter
