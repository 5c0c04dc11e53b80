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

std::optional<std::size_t> empty_comment_end(std::string_view text, std::size_t lt) {
  const std::string_view at = text.substr(lt);
  if (at.starts_with("<!-->")) return lt + 5;
  if (at.starts_with("<!--->")) return lt + 6;
  return std::nullopt;
}

std::optional<CommentClose> find_comment_close(std::string_view text, std::size_t from) {
  for (std::size_t k = text.find("--", from); k != std::string_view::npos; k = text.find("--", k + 1)) {
    if (k + 2 < text.size() && text[k + 2] == '>') return CommentClose{k, k + 3};
    if (k + 3 < text.size() && text[k + 2] == '!' && text[k + 3] == '>') return CommentClose{k, k + 4};
  }
  return std::nullopt;
}

std::optional<std::size_t> html_comment_end(std::string_view text, std::size_t lt) {
  if (auto empty = empty_comment_end(text, lt)) return empty;
  const auto close = find_comment_close(text, lt + 4);
  if (!close) return std::nullopt;
  return close->end;
}

}  // namespace vedavi::scan
