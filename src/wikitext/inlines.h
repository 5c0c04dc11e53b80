// Inline wikitext to `Inline` values: emphasis, links, images, categories, templates and
// parameters, behaviour switches, a few HTML elements, math, references and text.
//
// Content inside emphasis, links, spans, references and template arguments is converted by
// the same scanner through an explicit stack of frames, so any nesting depth converts in
// constant native stack.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/seeded_hash.h"
#include "model/document.h"
#include "wikitext/source.h"

namespace vedavi::wikitext {

// The footnotes of one conversion, in order of definition, with their labels indexed. A
// conversion that may be undone takes a mark and rolls back to it.
class Notes {
 public:
  bool has(std::string_view label) const { return labels_.find(label) != labels_.end(); }
  void add(Footnote footnote);
  std::size_t mark() const { return list_.size(); }
  void rollback(std::size_t mark);
  std::vector<Footnote> take() && { return std::move(list_); }

 private:
  std::vector<Footnote> list_;
  std::unordered_set<std::string, SeededHash, std::equal_to<>> labels_;
};

// The URL written for a link target: page names become "./Page_name", and "(", ")" and spaces
// are percent-encoded.
std::string link_target(std::string_view target);

namespace document {

// The inlines of a range of the source; named references add to `notes`.
Inlines inlines(Source& source, Range range, Notes& notes);
// The inlines of a text of its own.
Inlines inlines(std::string_view text, Notes& notes);
// Appends text with its character references decoded, a soft break at each line feed, merged
// into a text node that ends the list.
void push_text(Inlines& inlines, std::string_view text);
// The plain text of inlines made only of text, soft breaks (a space each) and emphasis, strong
// and span nodes; none for any other kind.
std::optional<std::string> inline_text(const Inlines& inlines);

}  // namespace document
}  // namespace vedavi::wikitext
