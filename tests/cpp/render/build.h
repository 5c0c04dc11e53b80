// Small builders for documents written by hand in renderer tests.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "model/document.h"

namespace vedavi::test {

inline Inlines ins(std::initializer_list<Inline> list) { return Inlines(list.begin(), list.end()); }
inline Blocks bls(std::initializer_list<Block> list) { return Blocks(list.begin(), list.end()); }

inline Inline text(std::string s) { return Inline::Text{std::move(s)}; }
inline Inline emph(Inlines children, Attr attr = {}) { return Inline::Emph{std::move(attr), std::move(children)}; }
inline Inline span(Inlines children, Attr attr = {}) { return Inline::Span{std::move(attr), std::move(children)}; }
inline Inline fnref(std::string label) { return Inline::FootnoteRef{std::move(label)}; }
inline Inline note(Inlines children) { return Inline::Note{std::move(children)}; }
inline Inline soft() { return Inline::SoftBreak{}; }
inline Block para(Inlines inlines, Attr attr = {}) { return Block::Paragraph{std::move(attr), std::move(inlines)}; }
inline Block quote(Blocks children) { return Block::BlockQuote{{}, std::move(children)}; }

inline Attr id_attr(std::string id) {
  Attr attr;
  attr.set_id(std::move(id));
  return attr;
}

inline Document doc_of(Blocks blocks, std::vector<Footnote> footnotes = {}) {
  Document doc;
  doc.blocks = std::move(blocks);
  doc.footnotes = std::move(footnotes);
  return doc;
}

}  // namespace vedavi::test
