// The plain text of inline lists.
#include "render/render.h"

namespace vedavi::render {

void append_plain(std::span<const Inline> inlines, std::string& out) {
  // Pending ranges of sibling lists, innermost last: a walk without recursion.
  std::vector<std::span<const Inline>> stack;
  stack.push_back(inlines);
  while (!stack.empty()) {
    std::span<const Inline>& top = stack.back();
    if (top.empty()) {
      stack.pop_back();
      continue;
    }
    const Inline& node = top.front();
    top = top.subspan(1);
    node.visit(
        [&](const auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, Inline::Text> || std::is_same_v<T, Inline::Superscript> ||
                        std::is_same_v<T, Inline::Subscript> || std::is_same_v<T, Inline::Code> ||
                        std::is_same_v<T, Inline::Autolink>) {
            out += x.text;
          } else if constexpr (std::is_same_v<T, Inline::HtmlInline>) {
            out += x.raw;
          } else if constexpr (std::is_same_v<T, Inline::SoftBreak> ||
                               std::is_same_v<T, Inline::HardBreak>) {
            out += ' ';
          } else if constexpr (std::is_same_v<T, Inline::MathInline>) {
            out += x.tex;
          } else if constexpr (std::is_same_v<T, TemplateToken>) {
            out += x.source;
          } else if constexpr (std::is_same_v<T, Inline::FootnoteRef>) {
            out += x.label;
          } else if constexpr (std::is_same_v<T, Inline::Operation>) {
            // Arguments in order: push them last-first so the first is walked first.
            for (auto arg = x.args.rbegin(); arg != x.args.rend(); ++arg)
              stack.push_back(std::span<const Inline>(arg->value));
          } else if constexpr (std::is_same_v<T, Inline::RawInline>) {
            // Raw output contributes nothing.
          } else {
            stack.push_back(std::span<const Inline>(x.children));
          }
        });
  }
}

std::string plain(std::span<const Inline> inlines) {
  std::string out;
  append_plain(inlines, out);
  return out;
}

}  // namespace vedavi::render
