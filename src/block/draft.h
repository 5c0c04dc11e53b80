// Drafts: blocks as the block parser closes them, before their text is parsed as inlines.
// Every pass after the line loop works on drafts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "model/attrs.h"
#include "block/trace.h"
#include "model/document.h"
#include "model/line.h"
#include "model/template.h"

namespace vedavi::block {

struct Draft;

// An owned list of drafts whose teardown never recurses, however deep the tree.
class Drafts : public std::vector<Draft> {
 public:
  using std::vector<Draft>::vector;
  Drafts() = default;
  Drafts(Drafts&&) noexcept = default;
  Drafts& operator=(Drafts&&) noexcept = default;
  Drafts(const Drafts&) = delete;
  Drafts& operator=(const Drafts&) = delete;
  ~Drafts();
  // Destroys every draft as the destructor does, never recursing, and keeps the list's room.
  void clear_keeping_room();
  // As `clear_keeping_room` for drafts that hold no child list (a finished range: its drafts
  // are spent): no walk over them for children.
  void clear_spent();
};

struct DraftListItem {
  Attr attr;
  // The item's line from the marker on, a view into the source that the ordered-list pass, its
  // only reader, outlives. Only ordered items keep it: they alone can be reverted to text.
  std::string_view source;
  std::size_t content_offset = 0;  // where the item's content starts in `source`
  Drafts children;
  std::size_t number = 1;
  std::size_t line = 0;
  std::optional<bool> task;
};

struct DraftDefinitionItem {
  std::vector<std::string> terms;
  std::vector<std::string> definitions;
};

// A header row before its cells are parsed: a view per cell, of the source when the parse keeps
// it and the line needs no rewriting, else of the row's one copy in the parse's arena. Either
// outlives the tree, so the parsed cells' runs of plain text may stay where they are. The cells
// themselves stand in the parse's arena too, made at their final number when the row is read, so
// a row costs one bump of the arena however many cells it has.
struct TableRowText {
  struct Cell {
    const char* data = nullptr;
    std::size_t size = 0;
    Align align = Align::None;
  };
  std::span<const Cell> cells;

  std::string_view cell_text(const Cell& cell) const { return std::string_view(cell.data, cell.size); }
};

// An optional view in the room of a view: absent while its data is null, so that a present empty
// view keeps a data pointer. Reads like std::optional<std::string_view>, which takes a word more
// in every draft slot.
class OptionalView {
 public:
  OptionalView() = default;
  OptionalView(std::string_view view) : view_(view.data() ? view : std::string_view("", 0)) {}
  explicit operator bool() const noexcept { return view_.data() != nullptr; }
  const std::string_view& operator*() const { return view_; }
  const std::string_view* operator->() const { return &view_; }
  void reset() { view_ = std::string_view(); }

 private:
  std::string_view view_;
};

// The spans of a list's items or a quote's children that were finished while its lines were
// still read (span modes): in order, one level below the list or quote, and for a list the
// positions of the paragraphs among them that join the paragraph before them when the list
// turns out tight. The first span is room for the list's or quote's own, so that a listing made
// of it alone takes these spans over instead of copying them.
struct StreamedSpans {
  std::vector<BlockSpan> spans;
  std::vector<std::uint32_t> joins;
};

namespace draft {
struct Paragraph {
  Attr attr;
  // In the parse's arena, so that the inline parse may leave its runs of plain text in place
  // rather than copy them into the tree.
  Str text;
  std::size_t text_line = 0;  // the line of the first text line (after link definitions)
  // While the ordered-list pass runs: the marker line of the reverted list items this paragraph
  // began in, a view into the source standing before `text` (which then holds only the lines
  // after it). Items nested on one line each widen the view instead of copying the rest of the
  // line once per level; the pass folds it into `text` before it returns.
  OptionalView marker_line;
};
struct Figure { Attr attr; Inlines caption; Inline image; };
struct Heading { Attr attr; Str text; std::uint8_t level = 1; };  // text: as a paragraph's
struct BlockQuote {
  Attr attr;
  Drafts children;
  // The spans of the children finished early, which stood before `children` (span modes only).
  std::unique_ptr<StreamedSpans> streamed = nullptr;
  // The ordered-list rules were applied to `children` as the lines were read: not again.
  bool enforced = false;
};
struct List {
  Attr attr;
  std::vector<DraftListItem> items;
  std::uint32_t start = 1;  // at most nine digits
  bool ordered = false;
  bool tight = true;
  // The ordered-list rules may change something below the items: an ordered list stands there (this
  // one too), or an item with two paragraphs in a row. Without, the rules' walks pass it by.
  bool rules_below = true;
  // The spans of the items finished early, which stood before `items`; none in span mode 0.
  std::unique_ptr<StreamedSpans> streamed = nullptr;
};
struct DefinitionList { Attr attr; std::vector<DraftDefinitionItem> items; };
struct CodeBlock {
  // Only the attributes from attribute lines after the block while `fence_info` is unread: the
  // fence's own go before them when the block is finished.
  Attr attr;
  Str text;  // a view of the source when the lines stand there as they are, else in the arena
  // The fence's info string (trimmed), read for its language and attributes only when the block
  // is finished, so that a draft holds no strings of its own for them. Empty without one, and
  // once read (the span modes read it as the draft is made, their spans show its attributes).
  Str fence_info;
};
struct HtmlBlock {
  std::string raw;
  // The template tokens of the raw text, none without templates: held out of line, as most blocks
  // have none.
  std::unique_ptr<std::vector<HtmlToken>> tokens;
};
struct ThematicBreak { Attr attr; };
// The alignments and rows stand in the parse's arena, as the rows' cells do: a table costs no
// allocation for them. A body row is its line, split into cells only as it is finished (by
// `table_cells::cut_body_row`), where each cell is parsed as soon as it is cut: the cells'
// views are made and read while the line is at hand, not kept from the line loop to the end.
// The line is a view of the source when the parse keeps it, else of its copy in the parse's arena.
struct Table {
  Attr attr;
  ArenaVector<Align> aligns;
  ArenaVector<TableRowText> head;
  ArenaVector<std::string_view> body;
  ArenaVector<TableRowText> foot;
  std::vector<std::pair<std::size_t, TemplateToken>> tokens;
  std::optional<std::string> caption;
  bool leading_pipe = false;  // the header row begins with "|": so may each body row
};
struct Div { Attr attr; Drafts children; };
struct MathBlock { Attr attr; std::string tex; bool display = true; };
struct RawBlock { std::string format; std::string text; };
struct ScriptBlock { std::string lang; std::string text; };
struct FootnoteDef { Str label; Drafts children; };
// Members that take its place among its siblings when blocks are finished.
struct Splice { Drafts members; };
}  // namespace draft

// Alternatives in tag order. Figures, tables, whole-line template tokens, raw and script blocks,
// the kinds larger than a paragraph or a list, are boxed: a draft slot is reserved for every run
// of non-blank lines, and their size would set every slot's. Code blocks keep their rare fence
// strings out of line instead.
using DraftBlock =
    std::variant<draft::Paragraph, Boxed<draft::Figure>, draft::Heading, draft::BlockQuote, draft::List,
                 draft::DefinitionList, draft::CodeBlock, draft::HtmlBlock, draft::ThematicBreak,
                 Boxed<draft::Table>, draft::Div, draft::MathBlock, Boxed<draft::RawBlock>, Boxed<TemplateToken>,
                 Boxed<draft::ScriptBlock>, draft::FootnoteDef, draft::Splice>;

struct Draft {
  BlockSpan span;
  DraftBlock block;
};

// Defined where a draft is a complete type, which clearing the list needs.
inline void Drafts::clear_spent() { std::vector<Draft>::clear(); }

// The tag of alternative `T` in `DraftBlock`.
template <class T, std::size_t I = 0>
constexpr std::size_t draft_index() {
  if constexpr (std::is_same_v<std::variant_alternative_t<I, DraftBlock>, T>) return I;
  else return draft_index<T, I + 1>();
}

// Whether a draft of this kind may hold child drafts: quotes, lists, divs, footnotes, splices.
// One test of the kind, before the walks look for the lists themselves.
inline bool may_nest(const DraftBlock& block) {
  constexpr auto bit = [](std::size_t index) { return std::uint32_t{1} << index; };
  constexpr std::uint32_t nesting =
      bit(draft_index<draft::BlockQuote>()) | bit(draft_index<draft::List>()) |
      bit(draft_index<draft::Div>()) | bit(draft_index<draft::FootnoteDef>()) |
      bit(draft_index<draft::Splice>());
  return block.index() < 32 && ((nesting >> block.index()) & 1);
}

// The child draft lists of a block: quote, div, footnote and splice children, and each list
// item's children in item order.
std::vector<Drafts*> children_mut(DraftBlock& block);
// Calls `f` with each child draft list of `block`, in the order of `children_mut`, without
// collecting them first.
template <class F>
void for_each_child_list(DraftBlock& block, F&& f) {
  if (!may_nest(block)) return;
  if (auto* q = std::get_if<draft::BlockQuote>(&block)) {
    f(q->children);
  } else if (auto* d = std::get_if<draft::Div>(&block)) {
    f(d->children);
  } else if (auto* l = std::get_if<draft::List>(&block)) {
    for (auto& item : l->items) f(item.children);
  } else if (auto* n = std::get_if<draft::FootnoteDef>(&block)) {
    f(n->children);
  } else if (auto* s = std::get_if<draft::Splice>(&block)) {
    f(s->members);
  }
}
// The child draft list number `k` of `block` in the order of `children_mut`; none past the last.
Drafts* nth_child_list(DraftBlock& block, std::size_t k);
// The text of a paragraph's lines: each from its first non-white character, joined by line ends,
// with the white space at its end trimmed. When the lines stand back to back in `kept_source` (no
// indentation or container markers before any but the first), that is a stretch of it, and the
// text is a view of it; otherwise it is written into the current arena. `kept_source` is empty
// unless the source outlives the document.
Str paragraph_text(std::span<const line::Rest> lines, std::string_view kept_source);
// How many spans the drafts give: one a draft, at every depth, and a list's streamed ones.
std::size_t span_count(std::span<Draft> drafts);
// Whether a paragraph of the drafts' trees may become an implicit figure: its text begins with
// an image, which may use a link definition further on.
bool may_hold_figure(std::span<Draft> drafts);
// A code block's fence info as the finished block holds it: the info string, the language and
// the attributes, the fence's own first and then `later`, those of the attribute lines after it.
attrs::FenceInfo read_fence_info(std::string_view fence_info, Attr&& later);
// The `Attr` of the kinds that carry one (paragraph, figure, heading, block quote, list,
// definition list, code block, thematic break, table, div, math block).
Attr* draft_attr(DraftBlock& block);

}  // namespace vedavi::block
