// The rendering a refilled paragraph is checked against.
#include "chunk/wrap_check.h"

#include "inline/parse.h"
#include "model/line.h"
#include "render/renderer.h"

namespace vedavi::chunk {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

std::string alike_rendering(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  std::size_t code_depth = 0;  // code elements do not nest, but a stray closing tag must not count
  bool pending_space = false;
  for (std::size_t i = 0; i < html.size(); ++i) {
    const char c = html[i];
    if (code_depth == 0 && is_space(c)) {
      pending_space = true;
      continue;
    }
    if (pending_space && !(c == '<' && i + 1 < html.size() && html[i + 1] == '/') && !out.empty())
      out += ' ';
    pending_space = false;
    if (c == '<') {
      const std::string_view rest = html.substr(i);
      if (rest.starts_with("<code>") || rest.starts_with("<code ")) ++code_depth;
      else if (rest.starts_with("</code>") && code_depth > 0) --code_depth;
    }
    out += c;
  }
  return out;
}

std::string paragraph_rendering(std::span<const std::string_view> lines, const InlineScope& scope) {
  std::string text;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k) text += '\n';
    text += line::trim_start(lines[k]);
  }
  const InlineContext ctx{scope.options, scope.links, scope.footnotes};
  return alike_rendering(render_inlines(inl::parse_inner(text, ctx)));
}

}  // namespace vedavi::chunk
