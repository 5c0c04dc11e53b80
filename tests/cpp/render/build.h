// Small builders for documents written by hand in renderer tests.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "model/document.h"

namespace vedavi::test {

inline Inlines ins(std::initializer_list<Inline> list) {
  Inlines out;
  for (const Inline& node : list) out.push_back(node);
  return out;
}
inline Blocks bls(std::initializer_list<Block> list) {
  Blocks out;
  for (const Block& node : list) out.push_back(node);
  return out;
}

inline Inline text(std::string s) { return Inline::Text{std::move(s)}; }
inline Inline emph(Inlines children, Attr attr = {}) { return Inline::Emph{std::move(attr), std::move(children)}; }
inline Inline span(Inlines children, Attr attr = {}) { return Inline::Span{std::move(attr), std::move(children)}; }
inline Inline fnref(std::string label) { return Inline::FootnoteRef{std::move(label)}; }
inline Inline note(Inlines children) { return Inline::Note{std::move(children)}; }
inline Inline soft() { return Inline::SoftBreak{}; }

inline Block para(Inlines inlines, Attr attr = {}) {
  return Block::Paragraph{std::move(attr), std::move(inlines)};
}
inline Block quote(Blocks children, Attr attr = {}) {
  return Block::BlockQuote{std::move(attr), std::move(children)};
}

inline Attr id_attr(std::string id) {
  Attr attr;
  attr.id = std::move(id);
  return attr;
}
inline Attr attr_of(std::string_view body) {
  Attr attr;
  // "#x .a k=v" without relying on the brace grammar.
  std::size_t pos = 0;
  while (pos < body.size()) {
    std::size_t end = body.find(' ', pos);
    if (end == std::string_view::npos) end = body.size();
    std::string_view word = body.substr(pos, end - pos);
    if (word.starts_with('#')) attr.id = std::string(word.substr(1));
    else if (word.starts_with('.')) attr.push_class(word.substr(1));
    else if (auto eq = word.find('='); eq != std::string_view::npos)
      attr.pairs.emplace_back(std::string(word.substr(0, eq)), std::string(word.substr(eq + 1)));
    pos = end + 1;
  }
  return attr;
}

inline Document doc_of(Blocks blocks, std::vector<Footnote> footnotes = {}) {
  Document doc;
  doc.blocks = std::move(blocks);
  doc.footnotes = std::move(footnotes);
  return doc;
}

}  // namespace vedavi::test
