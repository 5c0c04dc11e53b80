// DomRenderer: writes an HTML tree as md with an explicit stack of frames, one per open construct,
// and a stack of sub-render buffers for the constructs whose text is re-indented or fenced.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fast5ever/dom.h"
#include "markdown/escape.h"
#include "model/attrs.h"
#include "markdown/tables.h"

namespace vedavi::markdown {

using fast5ever::dom::Dom;
using fast5ever::dom::NodeId;

// Which nodes md writes as blocks: an element md has no inline form for, and an inline element
// holding one anywhere below it through elements the HTML parser reopens (it reopens an unclosed
// inline tag around the blocks after it, and its tags around blocks would not read back). What
// an element holds is remembered once found: asked of every node at every depth, a walk each time
// would be quadratic in the depth.
class BlockNodes {
 public:
  explicit BlockNodes(const Dom& dom)
      : dom_(dom), holds_(dom.nodes.size(), kUnknown), blocks_(dom.nodes.size(), kUnknown) {}
  bool operator()(NodeId node) const;

 private:
  enum : std::uint8_t { kUnknown, kNo, kYes };
  bool holds_block(NodeId element) const;

  struct Step {
    NodeId node;
    std::size_t next;  // the child to look at
  };
  const Dom& dom_;
  mutable std::vector<std::uint8_t> holds_;   // a block stands below the element
  mutable std::vector<std::uint8_t> blocks_;  // the answer, once asked
  mutable std::vector<Step> stack_;
};

// A comment or a custom element: at a line start, either opens an HTML block.
bool opens_html_block_line(const Dom& dom, NodeId node);
// An ordered list's start attribute: an optional "+" and ASCII digits; 1 otherwise.
std::uint64_t start_number(const Dom& dom, NodeId list);
// Writes a non-ASCII white-space character that ends `text` (after `floor`) as a reference.
void protect_trailing_space(std::string& text, std::size_t floor);
void protect_leading_space(std::string& text, std::size_t begin);
// Moves the footnote sections under `root` that are written as definitions after everything
// else, in document order: where the reader puts the notes.
void notes_last(Dom& dom, NodeId root, const std::vector<std::string>& referenced);
// The label of a footnote-reference sup: its one child is an `a.footnote-ref` to "#fn-label".
std::optional<std::string> footnote_label(const Dom& dom, NodeId sup);
// The labels the footnote references of the tree point to, sorted.
std::vector<std::string> referenced_note_labels(const Dom& dom);
// The labels of the notes written as definitions, sorted: a reference to any other note would
// read back as text.
std::vector<std::string> defined_note_labels(const Dom& dom, const std::vector<std::string>& referenced);

// A space no trimming of line ends takes: written as this byte, which valid UTF-8 never holds,
// and made a space once the whole output is written.
inline constexpr char kKeptSpace = '\xFF';

class DomRenderer {
 public:
  // `referenced`: the labels of the notes taken as referenced (sorted); only those are written as
  // definitions, and only references to them as "[^label]".
  DomRenderer(const Dom& dom, std::vector<std::string> referenced);

  // Appends the children of `node` as blocks to `out`.
  void blocks(NodeId node, std::string& out);
  // Whether every note written as a definition had a reference written as "[^label]"; when not,
  // the labels of those written, sorted, for the next writing.
  bool every_note_referenced() const;
  std::vector<std::string> written_note_refs() const;

 private:
  // How the children of a frame are written, one at a time.
  enum class Walk : std::uint8_t {
    Inlines,    // each child inline
    Blocks,     // block children as blocks, the rest in inline runs ended by a blank line
    ItemBlocks, // Blocks inside a list item, where a run directly before a nested list stays tight
    Panel,      // the title header as "## ", every other child with `block`
    ListItems,  // each li as an item
    Notes,      // each li as a footnote definition
    TableRows,  // each tr as a row line
    RowCells,   // each cell as " content |"
  };
  // What a frame writes once its children are done.
  enum class Close : std::uint8_t {
    Nothing, Paragraph, Heading, Quote, Div, HtmlContainer, Panel, ItemText, ItemBlocks, List, Note,
    Delimited, Link, Span, Figure, TemplateInline, TemplateBlocks, HeaderRow, BodyRows, Caption,
    Row, Cell, HtmlEnd, Content,
  };
  struct Frame {
    NodeId node;
    const NodeId* begin;  // the first child walked, not always the node's first child
    const NodeId* next;
    const NodeId* end;
    Walk walk;
    Close close;
    bool in_run = false;
    bool raw_run = false;         // block walk: the run is written as HTML
    bool after_list = false;      // block walk: the last block may be followed by text directly
    bool has_items = false;       // list: an item was written
    bool loose = false;           // list: items are separated by a blank line; item: has a p
    char marker = 0;              // list: "-" or "*", "." or ")"; block walk: the last list's
    std::size_t width = 0;        // list item: marker width
    std::uint64_t counter = 0;    // list: the next item number
    std::uint64_t ordered_last = 0;  // block walk: the last number of the ordered list written
                                     // last in this run of blocks, 0 for none
    NodeId partner = 0;           // figure: its img
    std::size_t cell_begin = 0;   // table cell: where its text starts in the output
    std::size_t text_begin = 0;   // paragraph: where its text starts in the output
    std::optional<NodeId> last_block{};  // block walk: the block written last, when no run followed
  };
  // Lines that start after a line feed in [begin, end) of a text get `width` more spaces.
  struct Indent {
    std::size_t begin, end, width;
  };
  // One sub-render. A sink owns its text, or writes into the text of an enclosing sink (a list
  // item's); the text before `floor` belongs to the writer's own marker or to enclosing sinks.
  struct Sink {
    std::string text;             // the owner's text
    std::size_t floor = 0;
    std::size_t owner = 0;        // the sink whose text this one writes into
    std::size_t begin = 0;        // a shared sink's start in that text
    bool marker = false;          // a marker of the writer's own ends at `floor`
    std::vector<Indent> indents;  // the owner's continuation indents, applied when it is done
  };

  // Output.
  std::string& out() { return sinks_[sinks_[depth_].owner].text; }
  void push_sink(std::string_view start = {}, std::size_t floor = 0);
  std::string pop_sink();
  void push_shared_sink(std::string_view marker);
  std::size_t pop_shared_sink();
  static void apply_indents(Sink& sink);
  void trim_end_from(std::size_t floor);
  int line_indent();
  bool at_content_line_start();
  bool at_item_content_start();
  void trim_line_ends();

  // The driver.
  void push(NodeId node, const NodeId* begin, const NodeId* end, Walk walk, Close close);
  void push_children(NodeId node, Walk walk, Close close);
  void run();
  void step(Frame& frame, NodeId child);
  void step_blocks(Frame& frame, NodeId child);
  void finish(const Frame& frame);
  void finish_run(const Frame& frame, std::optional<NodeId> next_block);

  // Blocks (renderer.cpp).
  void block(NodeId node);
  void element_block(NodeId node, std::string_view tag);
  void raw_block(NodeId node);
  void content_block(NodeId node);
  bool has_inline_content(NodeId node) const;
  // How a div is written: display math, a panel, HTML, a fenced div, or an HTML container whose
  // content is md.
  enum class DivForm : std::uint8_t { Math, Panel, Html, Fenced, HtmlContainer };
  DivForm div_form(NodeId div) const;
  bool is_heading(NodeId node) const;
  bool ordered_list_reads_back(NodeId list);
  void heading(NodeId node, std::string_view tag);
  void close_quote(NodeId node);
  void close_div(NodeId node);
  void close_html_container(NodeId node);
  bool attribute_line_reads_back(const Attr& attr) const;

  // Inlines (inlines.cpp).
  void inline_node(NodeId node, TextContext context = {});
  void inline_element(NodeId node, std::string_view tag, const TextContext& context);
  bool xref(NodeId node, const TextContext& context);
  void text(std::string_view text, TextContext context);
  void link(NodeId node, const TextContext& context);
  void close_link(NodeId node);
  void target_and_title(std::string_view url, std::optional<std::string_view> title, Attr attrs);
  void text_delimited(NodeId node, char mark);
  void image(NodeId img);
  void image_tail(NodeId img);
  void code(NodeId node);
  void html(NodeId node);
  void html_on_one_line(NodeId node);
  void alt_text(NodeId img);
  void math_span(NodeId node, std::string_view open, std::string_view close, std::string_view kind);
  void html_with_md_content(NodeId node);
  bool autolink(NodeId node);
  TextContext context_of(const Frame& frame, NodeId child);

  // Lists (lists.cpp).
  void list(NodeId node, bool ordered, char marker);
  void list_item(Frame& list, NodeId li);
  void close_item_blocks(const Frame& frame);
  void close_item_text(const Frame& frame);
  void close_list(NodeId node);
  bool items_sayable(NodeId list) const;
  bool list_sayable(NodeId list) const;
  bool interrupts_paragraph(NodeId list) const;
  bool follows_tightly(const Frame& frame, NodeId block) const;
  bool follows_tightly_after(NodeId last_block, NodeId block) const;
  bool is_loose(NodeId list) const;
  bool item_needs_blank_line(NodeId li) const;
  // An inline element holding blocks, whose content is written as blocks without its tags.
  bool is_content_wrapper(NodeId node) const;
  std::optional<NodeId> sole_code(NodeId pre) const;
  bool holds_tagged_element(NodeId node) const;

  // Tables (tables.cpp).
  void table(NodeId node);
  void table_row(NodeId row, Close close);
  void close_header_row();
  void close_body_rows();
  void close_caption();
  void close_table();

  // Code, math, figures, panels, templates (constructs.cpp).
  void code_block(NodeId pre, NodeId code);
  std::optional<std::string> code_info(NodeId pre, NodeId code) const;
  void display_math(NodeId div);
  bool figure(NodeId node);
  void close_figure(const Frame& frame);
  void panel(NodeId div);
  void panel_title(NodeId header);
  void close_panel(NodeId div);
  bool render_template(NodeId node);
  void close_template(NodeId node, bool blocks);

  // Footnote definitions and script payloads (notes.cpp).
  void footnotes(NodeId section);
  void footnote(NodeId li);
  void close_note(NodeId li);
  void script_block(NodeId script);
  bool raw_inline(NodeId script);

  bool is_block(NodeId node) const { return block_nodes_(node); }

  const Dom& dom_;
  const BlockNodes block_nodes_;
  const std::vector<std::string> note_refs_;    // as given
  const std::vector<std::string> note_labels_;  // defined_note_labels
  std::vector<std::string> written_refs_;       // labels written as "[^label]", in order
  std::vector<Sink> sinks_;  // [0..depth_] in use; the rest keep their capacity for reuse
  std::size_t depth_ = 0;
  std::vector<Frame> frames_;
  std::vector<PipeTable> tables_;  // the tables being written, innermost last
  std::size_t cells_open_ = 0;
  std::size_t headings_open_ = 0;
  std::size_t heading_start_ = 0;
  bool break_as_html_ = false;  // the last br was written as its tag, not as "\" and a line feed  // where the open heading's content starts in its sink  // a heading is one line: its line feeds are written as spaces
  char list_marker_ = 0;
  char previous_marker_ = 0;  // for the block being written: the marker of the block walk's last list
  std::uint64_t previous_ordered_last_ = 0;  // for the block being written: its run's last number
  std::uint64_t written_ordered_last_ = 0;   // set when that block is an ordered list in md
  bool ordered_after_ordered_ = false;       // that block is an ordered list right after another
  // Emphasis written with markers and still open, by marker ("*", "**", "~~", "==").
  std::array<std::size_t, 4> open_marks_{};
  static std::size_t mark_index(std::string_view marker) {
    return marker == "*" ? 0 : marker == "**" ? 1 : marker == "~~" ? 2 : 3;
  }  // the marker the next list block takes, 0 for its default
};

}  // namespace vedavi::markdown
