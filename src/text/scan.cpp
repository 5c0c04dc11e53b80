// Small byte-level scanning helpers shared by the md grammars.
#include "text/scan.h"

#include "text/utf8.h"

namespace vedavi::scan {

std::optional<std::size_t> find_unescaped(std::string_view text, std::size_t start,
                                          std::string_view needle) {
  bool escaped = false;
  for (std::size_t i = start; i < text.size();) {
    if (!escaped && text.compare(i, needle.size(), needle) == 0) return i;
    escaped = !escaped && text[i] == '\\';
    i += utf8::decode(text, i).len;
  }
  return std::nullopt;
}

}  // namespace vedavi::scan
