// Numbers in column widths: reading a decimal float the way the width grammar spells it, and
// writing one with six significant digits in the manner of printf's %g.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vedavi::exporter {

// The whole of `text` as a float: an optional sign, then digits with an optional fraction and
// exponent, or "inf", "infinity" or "nan" in any case. Nothing else, no white space; a number
// too large is infinite and one too small 0, as a correctly rounding reader gives them.
std::optional<double> parse_float(std::string_view text);

// Six significant digits, trailing zeros trimmed: 0.5 -> "0.5", 1234567 -> "1.23457e+06",
// 0.0000125 -> "1.25e-05", 999999.7 -> "1000000" (the form is chosen before rounding). For finite
// values only: callers refuse the others.
std::string fmt_g(double value);

// Trailing '0's and then '.'s removed when the text holds a '.'.
std::string_view trim_zeros(std::string_view text);

}  // namespace vedavi::exporter
