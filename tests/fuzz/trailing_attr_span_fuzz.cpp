// seeds: md
// trailing_attr_span: the range of a line's trailing attribute group lies inside the line on
// character boundaries, from a "{" to just past a "}".
#include "fuzz_util.h"
#include "model/attrs.h"

VEDAVI_FUZZ_TARGET(input) {
  const std::string_view line = input.text;
  if (const auto span = vedavi::attrs::trailing_attr_span(line)) {
    vedavi::fuzz::require_range(line, span->start, span->end, "the span lies inside the line");
    vedavi::fuzz::require(span->end - span->start >= 2 && line[span->start] == '{' &&
                              line[span->end - 1] == '}',
                          "the span runs from a { to a }");
  }
}
