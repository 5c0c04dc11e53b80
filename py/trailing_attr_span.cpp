// trailing_attr_span(line): the byte range of a line's trailing attribute group.
#include "model/attrs.h"
#include "frame.h"

namespace vedavi::py {
namespace {

constexpr Signature kTrailingAttrSpan{
    "trailing_attr_span",
    "trailing_attr_span(line)\n--\n\n"
    "Byte range of the trailing attribute group of `line`, or None: the group\n"
    "`strip_trailing_attr` would consume, as the dialect's own grammar judges it.",
    {required("line")}};

Ref trailing_attr_span(const Call& call) {
  const auto args = match(kTrailingAttrSpan, call);
  const auto line = args.get<std::string_view>(0);
  const auto span = attrs::trailing_attr_span(line);
  if (!span) return new_none();
  Ref start = new_int(span->start);
  Ref end = new_int(span->end);
  return new_tuple(std::move(start), std::move(end));
}

}  // namespace

PyMethodDef trailing_attr_span_method = method<trailing_attr_span>(kTrailingAttrSpan);

}  // namespace vedavi::py
