// Test helpers: a compact dump of drafts and a parse with default options.
#pragma once

#include <string>
#include <string_view>

#include "block/parse.h"

namespace vedavi::block::testing {

inline Options default_options() {
  Options o;
  o.max_block_depth = 128;
  o.max_link_paren_depth = 32;
  return o;
}

inline std::string attr_text(const Attr& a) {
  std::string out;
  if (a.id) out += " #" + *a.id;
  for (const auto& c : a.classes) out += " ." + c;
  for (const auto& [k, v] : a.pairs) out += " " + k + "=" + v;
  return out.empty() ? out : "{" + out.substr(1) + "}";
}

inline std::string escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n')
      out += "\\n";
    else
      out.push_back(c);
  }
  return out;
}

// One draft a line, two spaces per level: "kind{attrs} payload".
inline void dump(const Drafts& drafts, std::string& out, int depth = 0) {
  auto pad = [&](int d) { out.append(static_cast<std::size_t>(2 * d), ' '); };
  for (const Draft& d : drafts) {
    pad(depth);
    std::visit(
        [&](const auto& b) {
          using T = std::decay_t<decltype(b)>;
          if constexpr (std::is_same_v<T, draft::Paragraph>) {
            out += "p" + attr_text(b.attr) + " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, draft::Heading>) {
            out += "h" + std::to_string(b.level) + attr_text(b.attr) + " " + b.text + "\n";
          } else if constexpr (std::is_same_v<T, draft::BlockQuote>) {
            out += "quote" + attr_text(b.attr) + "\n";
            dump(b.children, out, depth + 1);
          } else if constexpr (std::is_same_v<T, draft::List>) {
            out += std::string(b.ordered ? "ol" : "ul") + attr_text(b.attr) +
                   (b.ordered ? " start=" + std::to_string(b.start) : std::string()) +
                   (b.tight ? " tight" : " loose") + "\n";
            for (const auto& item : b.items) {
              pad(depth + 1);
              out += "item" + attr_text(item.attr);
              if (item.task) out += *item.task ? " [x]" : " [ ]";
              out += "\n";
              dump(item.children, out, depth + 2);
            }
          } else if constexpr (std::is_same_v<T, draft::DefinitionList>) {
            out += "dl" + attr_text(b.attr) + "\n";
            for (const auto& item : b.items) {
              for (const auto& t : item.terms) {
                pad(depth + 1);
                out += "dt " + t + "\n";
              }
              for (const auto& t : item.definitions) {
                pad(depth + 1);
                out += "dd " + t + "\n";
              }
            }
          } else if constexpr (std::is_same_v<T, draft::CodeBlock>) {
            out += "code" + attr_text(b.attr) + (b.lang ? " lang=" + *b.lang : std::string()) +
                   " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, draft::HtmlBlock>) {
            out += "html " + escape(b.raw) + "\n";
          } else if constexpr (std::is_same_v<T, draft::ThematicBreak>) {
            out += "hr" + attr_text(b.attr) + "\n";
          } else if constexpr (std::is_same_v<T, draft::Table>) {
            out += "table" + attr_text(b.attr) + (b.caption ? " caption=" + *b.caption : "") + "\n";
            auto row = [&](const char* tag, const TableRowText& r) {
              pad(depth + 1);
              out += tag;
              for (const auto& c : r.cells) out += " |" + c.content;
              out += "\n";
            };
            for (const auto& r : b.head) row("head", r);
            for (const auto& r : b.body) row("row", r);
          } else if constexpr (std::is_same_v<T, draft::Div>) {
            out += "div" + attr_text(b.attr) + "\n";
            dump(b.children, out, depth + 1);
          } else if constexpr (std::is_same_v<T, draft::MathBlock>) {
            out += "math " + escape(b.tex) + "\n";
          } else if constexpr (std::is_same_v<T, draft::RawBlock>) {
            out += "raw=" + b.format + " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, draft::ScriptBlock>) {
            out += "script=" + b.lang + " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, TemplateToken>) {
            out += "token " + b.source + "\n";
          } else if constexpr (std::is_same_v<T, draft::FootnoteDef>) {
            out += "footnote " + b.label + "\n";
            dump(b.children, out, depth + 1);
          } else if constexpr (std::is_same_v<T, draft::Splice>) {
            out += "splice\n";
            dump(b.members, out, depth + 1);
          } else {
            out += "figure\n";
          }
        },
        d.block);
  }
}

inline std::string dump(const Drafts& drafts) {
  std::string out;
  dump(drafts, out);
  return out;
}

inline std::string parse_dump(std::string_view src, const Options& options = default_options()) {
  return dump(parse_source(src, options, 0).drafts);
}

inline std::string spans_dump(const std::vector<BlockSpan>& spans) {
  std::string out;
  for (const auto& s : spans)
    out += std::string(s.kind) + " " + std::to_string(s.start) + "-" + std::to_string(s.end) +
           " d" + std::to_string(s.depth) + "\n";
  return out;
}

}  // namespace vedavi::block::testing
