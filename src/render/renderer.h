// The VEDAVI HTML writer: a `Document` (or a part of one) as canonical VEDAVI HTML.
//
// Output is appended to the caller's string. Container blocks and inlines are walked with
// explicit stacks, so any nesting depth renders in constant native stack.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/document.h"

namespace vedavi {

class StagedOut;

// HTML already written for some inline nodes, by node address. A rendering that uses it copies a
// node's entry instead of walking the node again, and removes the entry: node callbacks, which
// hand every container its subtree's HTML, build each from the entries of the nodes below so that
// nothing is rendered twice. Only subtrees that render the same in any renderer (no footnote
// reference or note, whose numbers depend on what came before) may have an entry.
using InlineHtmlMemo = std::unordered_map<const Inline*, std::string>;

// The state of one rendering: footnote numbering, reference counts and inline notes. Made for
// one document (or one callback's default HTML) and dropped after it.
class Renderer {
 public:
  // A renderer that knows no footnote definitions (render_inlines, callback defaults).
  Renderer() = default;
  // A renderer whose footnote section draws bodies from `doc`'s footnotes; `doc` must outlive
  // it.
  explicit Renderer(const Document& doc);
  // The reference order points into the label map, so a renderer is never copied.
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // From now on, inline nodes with an entry in `memo` are written from it (see InlineHtmlMemo).
  void use_memo(InlineHtmlMemo* memo) { memo_ = memo; }

  void block(const Block& block, std::string& out);
  void blocks(std::span<const Block> blocks, std::string& out);
  // The same into a stage (render/staged_out.h), for a caller that writes many blocks in turn.
  // The block walk writes staged, as the inline walk does: the markup of blocks and the inline
  // lists within them go through one stage.
  void blocks(std::span<const Block> blocks, StagedOut& out);
  void inlines(std::span<const Inline> inlines, std::string& out);
  // Registers one reference to `label` and appends its markup.
  void footnote_ref(std::string_view label, std::string& out);
  // The footnote section for every label referenced so far (nothing when there is none). Call
  // once, after all content.
  void footnotes(std::string& out);
  // Grows with every inline note written: the footnote section reads a note's content again, so
  // its nodes must stay until then.
  std::size_t notes_written() const { return last_note_serial_; }

 private:
  // One open container of the block walk: a block list still to write, or a list whose items
  // are written one at a time; `close` ends it.
  struct BlockFrame {
    std::span<const Block> rest;
    std::string_view close;
    const Block::List* list = nullptr;
    std::size_t next_item = 0;
    bool is_tight_item = false;  // paragraphs bare, other blocks after a line break
    bool after_bare_paragraph = false;  // the item's last block written was a bare paragraph
  };
  // One open container of the inline walk: children still to write, or an operation whose
  // arguments are written one at a time; `close` ends it.
  struct InlineFrame {
    std::span<const Inline> rest;
    std::string_view close;
    const Inline::Operation* operation = nullptr;
    std::size_t next_arg = 0;
  };
  struct LabelState {
    std::size_t number = 0;  // 1-based position in reference order
    std::size_t count = 0;   // references written so far
    const Inlines* note = nullptr;  // the content of an inline note under this label
  };
  struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using LabelMap = std::unordered_map<std::string, LabelState, StringHash, std::equal_to<>>;

  // Writes a leaf block whole, or a container's opening; returns the container's frame.
  std::optional<BlockFrame> open_block(const Block& block, StagedOut& out);
  // Writes the open containers above the stack height `base` to their ends.
  void walk_blocks(std::size_t base, StagedOut& out);
  void table(const Block::Table& table, StagedOut& out);
  // One table row; `cell_tag` is "th" or "td".
  void table_row(const TableRow& row, std::span<const Align> column_aligns,
                 std::string_view cell_tag, StagedOut& out);
  void table_rows(std::span<const TableRow> rows, std::span<const Align> column_aligns,
                  std::string_view cell_tag, StagedOut& out);
  void figure(const Block::Figure& figure, std::string& out);
  void definition_list(const Block::DefinitionList& list, std::string& out);
  // Writes a leaf inline whole, or a container's opening; returns the container's frame.
  std::optional<InlineFrame> open_inline(const Inline& inline_node, std::string& out);
  // A container's frame for `children` closed by `close`; none when the children are all texts
  // (most emphasis and link texts), which are then written here with the close.
  std::optional<InlineFrame> children_frame(std::span<const Inline> children, std::string_view close,
                                            std::string& out);
  // `text` (a text node's) together with the soft breaks and texts from `next` on that stand in
  // the source right after it, line feed and all; `next` is moved past those.
  std::string_view joined_lines(std::string_view text, const Inline*& next, const Inline* end) const;
  // The same into a stage: a table's cells write into the table's.
  void inlines(std::span<const Inline> inlines, StagedOut& out);
  // Writes the nodes of `rest` in order until one opens a container and returns its frame;
  // `rest` keeps the nodes after it (none when no container opened).
  std::optional<InlineFrame> write_siblings(std::span<const Inline>& rest, StagedOut& out);
  // The same, when a memo may stand for some of the nodes.
  std::optional<InlineFrame> write_siblings_with_memo(std::span<const Inline>& rest, std::string& out);
  void note(const Inlines& content, std::string& out);
  bool is_label_taken(std::string_view label) const;
  void footnote_body(const std::string& label, const LabelState& state, std::string& out);

  std::span<const Footnote> definitions_;
  // Label -> index into definitions_; a later definition of a label wins.
  std::unordered_map<std::string_view, std::size_t> definition_index_;
  LabelMap labels_;
  std::vector<LabelMap::value_type*> reference_order_;  // map nodes never move
  std::size_t last_note_serial_ = 0;
  InlineHtmlMemo* memo_ = nullptr;
  // Walk stacks, kept between calls to save allocations; each walk uses the part above the
  // height it found.
  std::vector<BlockFrame> block_stack_;
  std::vector<InlineFrame> inline_stack_;
};

// The whole document: every block, then the footnote section. `expected_size` is room reserved
// for the output up front (the source's size is a fair guess), sparing the regrowth copies.
std::string render_document(const Document& doc, std::size_t expected_size = 0);
// The same HTML in consecutive pieces of about `piece_size` bytes, each ending between two
// top-level blocks and so whole UTF-8. A caller that copies the HTML elsewhere holds it only once,
// never in one buffer grown by doubling (which holds the old and the new buffer at once, on top
// of the document, at the peak of a large call).
std::vector<std::string> render_document_pieces(const Document& doc, std::size_t piece_size);
// The same into `pieces`, reusing the strings it holds and their room: the first pieces hold the
// HTML and their number is returned; any beyond are left empty. A caller that keeps `pieces`
// between documents writes into memory it holds already.
std::size_t render_document_pieces(const Document& doc, std::size_t piece_size,
                                   std::vector<std::string>& pieces);
// An inline list on its own, with a renderer that knows no footnotes; no section is written.
std::string render_inlines(std::span<const Inline> inlines, InlineHtmlMemo* memo = nullptr);

// " id=\"…\"", " class=\"…\"" and the other pairs, each after one space. A pair whose key could
// not stand as an attribute name (empty, or holding white space, a control character or one of
// `" ' < > / =`) is left out, so that no key can open markup of its own. Inline: most elements
// have no attributes and leave at once, without a call.
void write_attrs(const Attr& attr, std::string& out);
inline void attrs_html(const Attr& attr, std::string& out) {
  if (!attr.empty()) write_attrs(attr, out);
}
// The same into a stage. Pairs of plain ASCII keys and values with nothing to escape (a table's
// column widths, most often) are stored there; any other set is written by the general writer.
void write_attrs(const Attr& attr, StagedOut& out);
// "<pre" A "><code" with the language class when a language is given, then ">".
std::string code_block_open(const Attr& attr, const std::optional<Str>& lang);
void append_code_block_open(const Attr& attr, const std::optional<Str>& lang,
                            std::string& out);
// The opening tag of a raw-payload script element.
void raw_data_open(std::string_view format, std::string_view payload, std::string& out);
// Whether a payload must be written HTML-escaped: it holds "<!--", or "<script" or "</script"
// in any ASCII case.
bool raw_data_needs_encoding(std::string_view payload);
// A payload, escaped when raw_data_needs_encoding says so.
void raw_payload(std::string_view payload, std::string& out);
// One template element, without a line break.
void template_html(std::string_view syntax, std::string_view body, TemplateTokenKind kind,
                   std::string_view name, std::string& out);

}  // namespace vedavi
