// Implicit figures, footnote extraction and the finishing of drafts into blocks.
#include "block/finalize.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <utility>

#include "block/table_cells.h"
#include "block/warm.h"
#include "inline/cells.h"
#include "inline/scanner.h"
#include "base/internal_error.h"
#include "text/scan.h"

namespace vedavi::block {
namespace {

// The inline parse hands back coalesced lists already.
Inlines parse_leaf(std::string_view text, const InlineContext& ctx) {
  return inl::parse_inner(text, ctx);
}

Inline template_inline(TemplateToken token) {
  token.form = TemplateForm::Auto;  // the form served recognition only
  token.end = 0;
  return Inline(std::move(token));
}

// The context for texts the drafts hold in the tree's arena (paragraphs, headings, table rows).
InlineContext with_kept_text(const InlineContext& ctx) {
  InlineContext kept = ctx;
  kept.text_outlives_tree = true;
  return kept;
}

// A fence info that is one word of ASCII letters, digits, "-", "_" and "+": the language itself,
// with no attributes (as the fence info parser reads it).
bool is_plain_word(std::string_view info) {
  return !info.empty() && std::ranges::all_of(info, [](char c) {
    return scan::is_ascii_alnum(c) || c == '-' || c == '_' || c == '+';
  });
}

// Spent drafts of these kinds own no memory, nor anything the finished block took over.
static_assert(std::is_trivially_destructible_v<draft::Paragraph> && std::is_trivially_destructible_v<draft::Heading>);
constexpr std::size_t kParagraph = draft_index<draft::Paragraph>();
constexpr std::size_t kHeading = draft_index<draft::Heading>();
constexpr std::size_t kSplice = draft_index<draft::Splice>();

// One list of drafts waiting to be finished into the block list at `dest`.
struct Job {
  Drafts drafts;
  Blocks* dest;
  bool panel = false;  // the list of a panel div: a leading heading becomes its title
};

// Where the children of a block just finished go once its siblings are all in place.
struct ChildJob {
  std::size_t index;  // of the block in the destination list
  std::size_t item;   // list item number, for lists
  Drafts drafts;
  bool panel = false;
};

class Finisher {
 public:
  explicit Finisher(const InlineContext& ctx)
      : ctx_(ctx), kept_ctx_(with_kept_text(ctx)), rooms_(warm::kept_rooms()) {}

  Blocks run(Drafts drafts, std::size_t extra) {
    Blocks root;
    // The members of the top-level splices of reverted lists are counted in, told rather than
    // counted (a pass over every draft costs more than it saves); without them the range's own
    // room is the list's size.
    if (extra != 0) root.reserve(drafts.size() + extra);
    finish_range(drafts, 0, drafts.size(), root, false);
    drafts.clear_spent();
    // The top-level list is the parse's largest: its room serves the thread's next parse.
    warm::give_drafts(std::move(drafts));
    finish_jobs();
    return root;
  }

  // Finishes the top-level blocks one at a time, each with everything in it, into `scratch`,
  // and hands each to `emit`. `scratch` is recycled now and then, until `emit` answers that it
  // still refers to a block: from then on everything stays.
  template <class Emit>
  bool stream(Drafts& drafts, Arena& scratch, Emit&& emit) {
    bool keep = false;
    for (std::size_t i = 0; i < drafts.size(); ++i) {
      {
        Blocks finished;
        finish_range(drafts, i, i + 1, finished, false);
        finish_jobs();
        for (const Block& block : finished) keep = emit(block) || keep;
      }
      // Recycled once a block of it is full, not after each top-level block, which would cost
      // more than the finishing of a short paragraph.
      if (!keep && scratch.past_one_block()) scratch.recycle();
    }
    warm::give_drafts(std::move(drafts));
    return keep;
  }

 private:
  void finish_jobs() {
    while (!jobs_.empty()) {
      Job job = std::move(jobs_.back());
      jobs_.pop_back();
      finish_range(job.drafts, 0, job.drafts.size(), *job.dest, job.panel);
      job.drafts.clear_spent();
      rooms_.children.give(std::move(job.drafts));
    }
  }

  // Finishes drafts [begin, end) of `drafts` onto `dest`; their child lists wait in `jobs_`.
  void finish_range(Drafts& drafts, std::size_t begin, std::size_t end, Blocks& dest, bool panel) {
    std::vector<ChildJob>& pending = pending_;
    pending.clear();
    dest.reserve(dest.size() + (end - begin));  // splices may add more
    // Most lists finished are one block (a list item's paragraph), which takes no walk.
    if (end - begin == 1 && drafts[begin].block.index() != kSplice) {
      finish_one(drafts[begin], dest, panel, pending);
      pend_children(dest, pending);
      return;
    }
    // Splice members stand in the splice's place: walk nested splices with a stack of lists.
    std::vector<std::pair<Drafts*, std::size_t>>& walk = walk_;
    walk.assign(1, {&drafts, begin});
    bool first = true;
    while (!walk.empty()) {
      auto& [list, i] = walk.back();
      if (i == (walk.size() == 1 ? end : list->size())) {
        // A splice's members are all spent, and so are those of any splice among them, whose
        // lists were emptied when they were left: the list holds no children.
        if (walk.size() > 1) list->clear_spent();
        walk.pop_back();
        continue;
      }
      Draft& draft = (*list)[i++];
      if (auto* splice = std::get_if<draft::Splice>(&draft.block)) {
        walk.emplace_back(&splice->members, 0);
        continue;
      }
      finish_one(draft, dest, panel && first, pending);
      first = false;
    }
    pend_children(dest, pending);
  }

  // Finishes `draft` onto `dest`.
  [[gnu::always_inline]] void finish_one(Draft& draft, Blocks& dest, bool panel_title,
                                         std::vector<ChildJob>& pending) {
    // The spent draft still holds what its block did not take over (a table's rows, an HTML
    // block's tokens): freed now, not with the whole list, so that the texts of a long list
    // never stand beside all of its finished blocks. Paragraphs and headings hold nothing.
    const std::size_t kind = draft.block.index();
    finish_block(std::move(draft.block), dest, panel_title, pending);
    if (kind != kParagraph && kind != kHeading) draft.block.emplace<draft::ThematicBreak>();
  }

  // Queues the child lists of the blocks just finished onto `dest`, which is complete.
  void pend_children(Blocks& dest, std::vector<ChildJob>& pending) {
    // The destination list is complete, so pointers into its blocks stay valid.
    for (ChildJob& c : pending) {
      Block& block = dest[c.index];
      Blocks* to = nullptr;
      if (auto* list = block.get_if<Block::List>()) to = &list->items[c.item].children;
      else to = block.children();
      jobs_.push_back(Job{std::move(c.drafts), to, c.panel});
    }
    pending.clear();
    if (pending.capacity() > kKeptPending) std::vector<ChildJob>().swap(pending);
  }

  static bool holds_paragraphs_only(const Drafts& drafts) {
    return std::ranges::all_of(drafts, [](const Draft& d) { return d.block.index() == kParagraph; });
  }
  // Finishes `drafts`, paragraphs all, onto `dest`, as a job for them would; their room is kept.
  void finish_paragraphs(Drafts& drafts, Blocks& dest) {
    dest.reserve(drafts.size());
    for (Draft& d : drafts) {
      auto& para = *std::get_if<draft::Paragraph>(&d.block);
      dest.emplace_back(Block::Paragraph{std::move(para.attr), parse_leaf(para.text, kept_ctx_)});
    }
    drafts.clear_spent();
    rooms_.children.give(std::move(drafts));
  }

  // Appends the block finished from `draft` to `dest`, built in place.
  void finish_block(DraftBlock&& draft, Blocks& dest, bool panel_title,
                    std::vector<ChildJob>& pending) {
    const std::size_t index = dest.size();
    std::visit(
        [&](auto&& d) {
          using T = std::decay_t<decltype(d)>;
          if constexpr (std::is_same_v<T, draft::Paragraph>) {
            dest.emplace_back(Block::Paragraph{std::move(d.attr), parse_leaf(d.text, kept_ctx_)});
          } else if constexpr (std::is_same_v<T, Boxed<draft::Figure>>) {
            draft::Figure& f = d.value();
            dest.emplace_back(Block::Figure{std::move(f.attr), std::move(f.caption), std::move(f.image)});
          } else if constexpr (std::is_same_v<T, draft::Heading>) {
            if (panel_title)
              dest.emplace_back(Block::PanelTitle{std::move(d.attr), parse_leaf(d.text, kept_ctx_)});
            else
              dest.emplace_back(Block::Heading{std::move(d.attr), parse_leaf(d.text, kept_ctx_), d.level});
          } else if constexpr (std::is_same_v<T, draft::BlockQuote>) {
            pending.push_back(ChildJob{index, 0, std::move(d.children), false});
            dest.emplace_back(Block::BlockQuote{std::move(d.attr), {}});
          } else if constexpr (std::is_same_v<T, draft::List>) {
            Block::List list{std::move(d.attr), {}, d.start, d.ordered, d.tight};
            list.items.reserve(d.items.size());
            for (std::size_t k = 0; k < d.items.size(); ++k) {
              DraftListItem& item = d.items[k];
              list.items.push_back(ListItem{std::move(item.attr), {}, item.task});
              // An item of paragraphs alone, the most frequent, is finished here: no job waits
              // for it, as nothing of it waits for its siblings (paragraphs hold no children).
              if (holds_paragraphs_only(item.children)) {
                finish_paragraphs(item.children, list.items.back().children);
                continue;
              }
              pending.push_back(ChildJob{index, k, std::move(item.children), false});
            }
            d.items.clear();  // each item's own was moved out
            rooms_.items.give(std::move(d.items));
            dest.emplace_back(std::move(list));
          } else if constexpr (std::is_same_v<T, draft::DefinitionList>) {
            Block::DefinitionList out{std::move(d.attr), {}};
            for (DraftDefinitionItem& item : d.items) {
              DefinitionItem finished;
              for (const std::string& term : item.terms) {
                attrs::StrippedAttr split = attrs::strip_trailing_attr(term);
                finished.terms.push_back(DefinitionTerm{std::move(split.attr), parse_leaf(split.text, ctx_)});
              }
              for (const std::string& definition : item.definitions)
                finished.definitions.push_back(parse_leaf(definition, ctx_));
              out.items.push_back(std::move(finished));
            }
            dest.emplace_back(std::move(out));
          } else if constexpr (std::is_same_v<T, draft::CodeBlock>) {
            // Most infos are one plain language word and most blocks have no attribute lines: the
            // word is the info and the language as it stands, and there are no attributes.
            if (d.attr.empty() && is_plain_word(d.fence_info)) {
              dest.emplace_back(Block::CodeBlock{Attr(), d.fence_info, d.text, d.fence_info});
              return;
            }
            attrs::FenceInfo fi = read_fence_info(d.fence_info, std::move(d.attr));
            // The info and the language are most often the fence's own text, already kept.
            const Str info = fi.info == d.fence_info.view() ? d.fence_info : Str(fi.info);
            std::optional<Str> lang;
            if (fi.lang) {
              const std::size_t at = info.find(*fi.lang);
              lang = at != std::string_view::npos ? Str::borrowed(info.substr(at, fi.lang->size())) : Str(*fi.lang);
            }
            dest.emplace_back(Block::CodeBlock{std::move(fi.attr), info, d.text, lang});
          } else if constexpr (std::is_same_v<T, draft::HtmlBlock>) {
            dest.emplace_back(Block::HtmlBlock{std::move(d.raw), d.tokens ? std::move(*d.tokens) : std::vector<HtmlToken>()});
          } else if constexpr (std::is_same_v<T, draft::ThematicBreak>) {
            dest.emplace_back(Block::ThematicBreak{std::move(d.attr)});
          } else if constexpr (std::is_same_v<T, Boxed<draft::Table>>) {
            dest.emplace_back(finish_table(std::move(d.value())));
          } else if constexpr (std::is_same_v<T, draft::Div>) {
            std::optional<Attr> panel = d.attr.panel();
            pending.push_back(ChildJob{index, 0, std::move(d.children), panel.has_value()});
            dest.emplace_back(Block::Div{panel ? std::move(*panel) : std::move(d.attr), {}});
          } else if constexpr (std::is_same_v<T, draft::MathBlock>) {
            dest.emplace_back(Block::MathBlock{std::move(d.attr), std::move(d.tex), d.display});
          } else if constexpr (std::is_same_v<T, Boxed<draft::RawBlock>>) {
            dest.emplace_back(Block::RawBlock{std::move(d.value().format), std::move(d.value().text)});
          } else if constexpr (std::is_same_v<T, Boxed<TemplateToken>>) {
            TemplateToken token = std::move(d.value());
            token.form = TemplateForm::Auto;
            token.end = 0;
            dest.emplace_back(std::move(token));
          } else if constexpr (std::is_same_v<T, Boxed<draft::ScriptBlock>>) {
            dest.emplace_back(Block::ScriptBlock{std::move(d.value().lang), std::move(d.value().text)});
          } else {
            // Footnote definitions and splices never get here.
            internal_failure(
                "internal error: entered unreachable code: footnotes move out and containers "
                "splice before finalize_blocks");
          }
        },
        std::move(draft));
  }

  Block::Table finish_table(draft::Table&& d) {
    Block::Table table;
    table.attr = std::move(d.attr);
    if (d.caption) {
      attrs::StrippedAttr split = attrs::strip_trailing_attr(*d.caption);
      table.caption = parse_leaf(split.text, ctx_);
      table.attr.merge(split.attr);
    }
    table.head_rows = finalize_table_rows(d.head, ctx_);
    table.rows = finalize_table_body(d.body, d.aligns, d.leading_pipe, ctx_);
    table.foot_rows = finalize_table_rows(d.foot, ctx_);
    for (auto& [row, token] : d.tokens) table.tokens.push_back(TableToken{row, template_inline(std::move(token))});
    table.aligns.assign(d.aligns.begin(), d.aligns.end());
    return table;
  }

  const InlineContext& ctx_;
  // For paragraphs and headings, whose texts the drafts hold in the tree's arena.
  const InlineContext kept_ctx_;
  // Spent child and item lists leave their room here for the thread's next parse.
  warm::KeptRooms& rooms_;
  std::vector<Job> jobs_;
  // The splice walk of `finish_list`, kept across calls so that a list costs no allocation for
  // it.
  std::vector<std::pair<Drafts*, std::size_t>> walk_;
  // The child lists of the range being finished, kept across calls as long as it is small: it
  // grows with the longest list and, kept at that size, would stand amid the finished tree
  // until the end instead of being freed with its list.
  static constexpr std::size_t kKeptPending = 256;
  std::vector<ChildJob> pending_;
};

}  // namespace

void decide_figures(Drafts& drafts, const InlineContext& ctx) {
  std::vector<Drafts*> lists{&drafts};
  while (!lists.empty()) {
    Drafts* list = lists.back();
    lists.pop_back();
    for (Draft& draft : *list) {
      for (Drafts* children : children_mut(draft.block)) lists.push_back(children);
      auto* para = std::get_if<draft::Paragraph>(&draft.block);
      if (!para || para->text.size() < 2 || !para->text.starts_with("![")) continue;
      Inlines parsed = parse_leaf(para->text, ctx);
      if (parsed.size() != 1 || parsed[0].kind() != InlineKind::Image) continue;
      Inline image = std::move(parsed[0]);
      auto& img = *image.get_if<Inline::Image>();
      draft::Figure figure;
      figure.attr = std::move(para->attr);
      if (img.attr.id() && !figure.attr.id()) figure.attr.set_id(std::move(img.attr.id_mut()));
      img.attr.set_id(std::nullopt);
      for (std::string& c : img.attr.classes_mut()) figure.attr.push_class(std::move(c));
      img.attr.classes_mut().clear();
      figure.caption = img.children;
      figure.image = std::move(image);
      draft.block.emplace<Boxed<draft::Figure>>(std::move(figure));
    }
  }
}

void take_footnotes(Drafts& drafts, std::vector<DraftFootnote>& out, bool nested) {
  if (!nested) {
    for (Draft& draft : drafts)
      if (auto* note = std::get_if<draft::FootnoteDef>(&draft.block)) {
        out.push_back(DraftFootnote{std::string(note->label), std::move(note->children)});
        draft.block.emplace<draft::Splice>();
      }
    return;
  }
  // An explicit stack in place of recursion: the lists nested in a draft are walked before the
  // draft itself. A definition taken out leaves an empty splice, which finishes into nothing, so
  // that no list closes up behind it (moving every later draft).
  struct Frame {
    Drafts* list;
    std::size_t i = 0;           // the draft being looked at
    std::size_t next_child = 0;  // the next child list of draft i to walk
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{&drafts});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.i == f.list->size()) {
      stack.pop_back();
      continue;
    }
    Draft& draft = (*f.list)[f.i];
    if (Drafts* child = nth_child_list(draft.block, f.next_child)) {
      ++f.next_child;
      stack.push_back(Frame{child});
      continue;
    }
    if (auto* note = std::get_if<draft::FootnoteDef>(&draft.block)) {
      out.push_back(DraftFootnote{std::string(note->label), std::move(note->children)});
      draft.block.emplace<draft::Splice>();
    }
    ++f.i;
    f.next_child = 0;
  }
}

Blocks finalize_blocks(Drafts drafts, const InlineContext& ctx, std::size_t extra) {
  return Finisher(ctx).run(std::move(drafts), extra);
}

ArenaVector<TableRow> finalize_table_rows(std::span<const TableRowText> rows, const InlineContext& ctx) {
  // The rows' texts are in the parse's arena, as the tree is.
  const InlineContext kept = with_kept_text(ctx);
  ArenaVector<TableRow> out;
  out.reserve(rows.size());
  // The table's cells in one room, row after row, and beside them a slot for each cell's text
  // node, which a plain cell fills: no room of their own for each row's cells and each plain
  // cell's one node, and a table written later reads them in order. Each slice is aligned as a
  // list's room, which it becomes.
  static_assert(sizeof(TableCell) % alignof(std::max_align_t) == 0 &&
                sizeof(Inline) % alignof(std::max_align_t) == 0);
  std::size_t total = 0;
  for (const TableRowText& row : rows) total += row.cells.size();
  if (total == 0) {
    for (std::size_t i = 0; i < rows.size(); ++i) out.emplace_back();
    return out;
  }
  Arena& arena = current_arena();
  auto* cells = static_cast<TableCell*>(arena.allocate(total * sizeof(TableCell), alignof(std::max_align_t)));
  auto* texts = static_cast<Inline*>(arena.allocate(total * sizeof(Inline), alignof(std::max_align_t)));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TableRowText& row = rows[i];
    TableCell* const first = cells;
    for (const TableRowText::Cell& cell : row.cells)
      ::new (cells++) TableCell{Attr(), inl::parse_cell(row.cell_text(cell), kept, texts++), cell.align};
    const std::size_t n = row.cells.size();
    out.emplace_back().cells = ArenaVector<TableCell>(first, n, n);
  }
  return out;
}

ArenaVector<TableRow> finalize_table_body(std::span<const std::string_view> lines, std::span<const Align> aligns,
                                          bool leading_pipe, const InlineContext& ctx) {
  // As the rows of `finalize_table_rows`, with every row `aligns.size()` cells wide.
  const InlineContext kept = with_kept_text(ctx);
  ArenaVector<TableRow> out;
  out.reserve(lines.size());
  const std::size_t width = aligns.size();
  if (width == 0) {
    for (std::size_t i = 0; i < lines.size(); ++i) out.emplace_back();
    return out;
  }
  Arena& arena = current_arena();
  const std::size_t total = lines.size() * width;
  auto* cells = static_cast<TableCell*>(arena.allocate(total * sizeof(TableCell), alignof(std::max_align_t)));
  auto* texts = static_cast<Inline*>(arena.allocate(total * sizeof(Inline), alignof(std::max_align_t)));
  // A line with a backslash is rebuilt next to the cells, which its parsed text may point into.
  const auto room = [&arena](std::size_t n) { return static_cast<char*>(arena.allocate(n, 1)); };
  // Each line's cells are cut first, then parsed: the cutting loop stays small. The cuts of a
  // line stand on the stack unless the table is unusually wide.
  // The stack's slots are raw bytes: every cut is written before it is read, and zeroing 32
  // views for each table costs more than cutting a small table's cells.
  constexpr std::size_t kColumnsOnStack = 32;
  alignas(std::string_view) unsigned char cut_on_stack[kColumnsOnStack * sizeof(std::string_view)];
  std::vector<std::string_view> cut_on_heap;
  auto* cut = reinterpret_cast<std::string_view*>(cut_on_stack);
  if (width > kColumnsOnStack) {
    cut_on_heap.resize(width);
    cut = cut_on_heap.data();
  }
  for (const std::string_view line : lines) {
    TableCell* const first = cells;
    table_cells::cut_body_row(line, width, leading_pipe, room,
                              [&](std::string_view cell, std::size_t column) { ::new (cut + column) std::string_view(cell); });
    for (std::size_t column = 0; column < width; ++column)
      ::new (cells++) TableCell{Attr(), inl::parse_cell(cut[column], kept, texts++), aligns[column]};
    out.emplace_back().cells = ArenaVector<TableCell>(first, width, width);
  }
  return out;
}

void finish_parse_streamed(Parsed& parsed, const Options& options, BlockSink& sink) {
  inl::ScanBuffers buffers;
  const InlineContext ctx{options, parsed.link_defs, parsed.footnote_labels, nullptr, &buffers};
  std::vector<DraftFootnote> notes;
  if (!parsed.footnote_labels.empty()) take_footnotes(parsed.drafts, notes, parsed.nested_footnotes);
  // The footnotes first: the blocks' footnote references are numbered against them as they go.
  for (DraftFootnote& note : notes)
    parsed.document.footnotes.push_back(Footnote{std::move(note.label), finalize_blocks(std::move(note.drafts), ctx)});
  sink.start(parsed.document);
  ArenaScope scratch{ArenaScope::Fresh{}};
  if (Finisher(ctx).stream(parsed.drafts, *scratch.handle().get(),
                           [&](const Block& block) { return sink.block(block); }))
    sink.keep(scratch.handle());
  parsed.drafts = Drafts();
}

void finish_parse(Parsed& parsed, const Options& options) {
  inl::ScanBuffers buffers;
  const InlineContext ctx{options, parsed.link_defs, parsed.footnote_labels, nullptr, &buffers};
  std::vector<DraftFootnote> notes;
  // Every footnote definition registers its label as its draft is made, so a parse without
  // labels has no definition to move out and the walk over every draft is skipped.
  if (!parsed.footnote_labels.empty()) take_footnotes(parsed.drafts, notes, parsed.nested_footnotes);
  parsed.document.blocks = finalize_blocks(std::move(parsed.drafts), ctx, parsed.spliced_extra);
  parsed.drafts = Drafts();
  for (DraftFootnote& note : notes)
    parsed.document.footnotes.push_back(Footnote{std::move(note.label), finalize_blocks(std::move(note.drafts), ctx)});
}

}  // namespace vedavi::block
