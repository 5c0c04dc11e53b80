// The md inline parser: the entry that turns one leaf's text into inlines, its event stream for
// the span listings, the highlighter and the re-wrapper, and the coalescing of inline lists.
//
// `inline` is a keyword, so the parser's functions live in the namespace `inl`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/document.h"
#include "model/link_ref.h"
#include "model/options.h"

namespace vedavi {

// Normalised label -> definition (the first definition of a label wins).
using LinkMap = std::unordered_map<std::string, LinkRef>;
// The labels of the footnotes a document defines, exactly as written.
using FootnoteLabels = std::unordered_set<std::string>;

enum class InlineEventKind : std::uint8_t {
  Emph, Strong, Strike, Highlight, Code, LinkTail, Link, Autolink, Xref, FootnoteRef, Attrs,
  TemplateToken, Comment, RefLink, Span, Note, Superscript, Subscript, MathInline, RawInline,
  HtmlInline,
};
inline constexpr std::size_t kInlineEventKindCount = 21;

// Where one recognised construct lies in the parsed text, as byte offsets [start, end).
struct InlineEvent {
  InlineEventKind kind = InlineEventKind::Emph;
  bool is_image = false;        // Link and RefLink only
  std::size_t bracket_end = 0;  // Link, RefLink and Span: just past the "]" of the bracket text
  std::size_t start = 0;
  std::size_t end = 0;
  friend bool operator==(const InlineEvent&, const InlineEvent&) = default;
};

namespace inl {
class ScanBuffers;
}

// What every inline parse of one document receives. `events`, when set, collects the events of
// every construct recognised.

struct InlineContext {
  const Options& options;
  const LinkMap& links;
  const FootnoteLabels& footnotes;
  std::vector<InlineEvent>* events = nullptr;
  // Scan state shared by the texts of one document (optional): spares each text its allocations.
  inl::ScanBuffers* buffers = nullptr;
  // The text parsed lives in the tree's arena (a paragraph's or heading's, held by its draft):
  // runs of it that read as written become views of it, not copies.
  bool text_outlives_tree = false;
};

namespace inl {

// The inlines of one leaf's text, coalesced. Never fails: what does not complete stays text.
Inlines parse_inner(std::string_view text, const InlineContext& ctx);
// As parse_inner, for table cells: most are a few words, which are taken as they stand after a
// quick look for any byte at which syntax may begin; a cell whose first such byte by itself asks
// for the scan goes to it without parse_inner's own look (cells.cpp).
Inlines parse_cell(std::string_view text, const InlineContext& ctx);

// Appends `item`, merging it into the last element when both are text. Inline: the scanner's
// result is built through it, one call per node.
// Texts and soft breaks, most of the nodes, are built as their own kind rather than moved as a
// whole variant, whose move goes through a table of every kind.
inline void push_coalesced(Inlines& list, Inline&& item) {
  if (auto* text = item.get_if<Inline::Text>()) {
    if (!list.empty()) {
      if (auto* last = list.back().get_if<Inline::Text>()) {
        last->text += text->text;
        return;
      }
    }
    list.emplace_back(Inline::Text{std::move(text->text)});
    return;
  }
  if (item.kind() == InlineKind::SoftBreak) {
    list.emplace_back(Inline::SoftBreak{});
    return;
  }
  list.push_back(std::move(item));
}
// No two adjacent texts at any depth (note contents excepted), and a strong without attributes
// directly inside a strong without attributes flattened. Walks without recursion.
Inlines coalesce(Inlines list);

// Sorts events by start ascending and, for equal starts, end descending (stable): an enclosing
// construct before the constructs it contains.
void sort_events(std::vector<InlineEvent>& events);
// The events of a text, sorted. The context's own sink is not used: each call records into a
// fresh one.
std::vector<InlineEvent> inline_events(std::string_view text, const InlineContext& ctx);
std::vector<InlineEvent> inline_events(std::string_view text, const Options& options,
                                       const LinkMap& links, const FootnoteLabels& footnotes);

}  // namespace inl
}  // namespace vedavi
