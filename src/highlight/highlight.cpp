// The md source highlighter (placeholder until the span gathering lands: escaped text only).
#include "highlight/highlight.h"

#include "text/escape.h"

namespace vedavi::highlight {

std::string highlight_md(std::string_view src, std::string_view class_prefix) {
  std::string out;
  out.reserve(src.size() + src.size() / 8);
  escape_text(src, out);
  return out;
}

}  // namespace vedavi::highlight
