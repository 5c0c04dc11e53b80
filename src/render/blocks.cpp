// VEDAVI HTML of blocks: the document entry, the block walk, lists, tables, figures and
// definition lists.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "text/escape.h"
#include "text/escape_scan.h"
#include "base/internal_error.h"
#include "render/plain_inlines.h"
#include "render/renderer.h"
#include "render/staged_out.h"

namespace vedavi {
namespace {

// The raw HTML with each template token replaced by its template element.
void html_block(const Block::HtmlBlock& html, std::string& out) {
  std::string_view raw = html.raw;
  std::size_t pos = 0;
  for (const HtmlToken& token : html.tokens) {
    if (token.start < pos || token.end < token.start || token.end > raw.size()) {
      internal_failure("template tokens of an HTML block out of order");
    }
    append_markup(raw.substr(pos, token.start - pos), out);
    template_html(token.syntax, token.body, token.kind, token.name, out);
    pos = token.end;
  }
  append_markup(raw.substr(pos), out);
}

// The attributes of a block, when it has any.
void attrs_html(const Attr& attr, StagedOut& out) {
  if (!attr.empty()) write_attrs(attr, out);
}

void list_item_open(const ListItem& item, StagedOut& out) {
  out.append("<li");
  attrs_html(item.attr, out);
  out.append('>');
  if (item.task) {
    out.append("<input type=\"checkbox\" disabled=\"disabled\"");
    if (*item.task) out.append(" checked=\"checked\"");
    out.append(" /> ");
  }
}

void list_open(const Block::List& list, StagedOut& out) {
  const bool has_tasks =
      std::ranges::any_of(list.items, [](const ListItem& item) { return item.task.has_value(); });
  out.append(list.ordered ? "<ol" : "<ul");
  if (has_tasks && !list.attr.has_class("task-list")) {
    Attr attr = list.attr;
    attr.push_class("task-list");
    attrs_html(attr, out);
  } else {
    attrs_html(list.attr, out);
  }
  if (list.ordered && list.start != 1) {
    std::string& string = out.string();
    string += " start=\"";
    append_number(list.start, string);
    string += '"';
  }
  out.append(">\n");
}

void code_block_open(const Attr& attr, const std::optional<Str>& lang, StagedOut& out) {
  out.append("<pre");
  attrs_html(attr, out);
  out.append("><code");
  if (lang) {
    out.append(" class=\"language-");
    out.append_escaped_attr(*lang);
    out.append('"');
  }
  out.append('>');
}

// A heading's level, one digit but for levels a tree built by hand may hold.
void heading_level(std::size_t level, StagedOut& out) {
  if (level < 10) {
    out.append(static_cast<char>('0' + level));
  } else {
    append_number(level, out.string());
  }
}

void math_block(const Block::MathBlock& math, std::string& out) {
  Attr attr = math.attr;
  attr.push_class("math");
  attr.push_class("display");
  out += "<div";
  attrs_html(attr, out);
  out += '>';
  escape_text(math.tex, out);
  out += "</div>\n";
}

}  // namespace

Renderer::Renderer(const Document& doc) : definitions_(doc.footnotes) {
  for (std::size_t i = 0; i < definitions_.size(); ++i) {
    definition_index_[definitions_[i].label] = i;
  }
}

std::string render_document(const Document& doc, std::size_t expected_size) {
  std::string out;
  out.reserve(expected_size);
  Renderer renderer(doc);
  renderer.blocks(doc.blocks, out);
  renderer.footnotes(out);
  return out;
}

std::vector<std::string> render_document_pieces(const Document& doc, std::size_t piece_size) {
  std::vector<std::string> pieces;
  pieces.resize(render_document_pieces(doc, piece_size, pieces));
  return pieces;
}

std::size_t render_document_pieces(const Document& doc, std::size_t piece_size,
                                   std::vector<std::string>& pieces) {
  std::size_t used = 0;
  // The next piece to write: one held already, emptied with its room kept, or a new one.
  const auto next_piece = [&]() -> std::string& {
    if (used == pieces.size()) pieces.emplace_back();
    std::string& piece = pieces[used];
    piece.clear();
    piece.reserve(piece_size + piece_size / 4);
    return piece;
  };
  std::string* piece = &next_piece();
  // One stage for all the blocks of a piece.
  std::optional<StagedOut> staged(std::in_place, *piece);
  Renderer renderer(doc);
  // Top-level blocks are written one by one: the walk of a list of blocks writes each on its own,
  // so the pieces join to the HTML of the whole list.
  for (std::size_t i = 0; i < doc.blocks.size(); ++i) {
    const Block& block = doc.blocks[i];
    // The tree has left the caches since it was made. A table's box is asked for while the block
    // before it is written, so that its first read does not stall the table's start; the block
    // after that is asked for too, so that looking at its kind then does not stall either.
    if (i + 2 < doc.blocks.size()) __builtin_prefetch(&doc.blocks[i + 2]);
    if (i + 1 < doc.blocks.size())
      if (const auto* next = doc.blocks[i + 1].get_if<Block::Table>()) __builtin_prefetch(next);
    renderer.blocks(std::span<const Block>(&block, 1), *staged);
    if (piece->size() + staged->staged() >= piece_size) {
      staged->flush();
      ++used;
      piece = &next_piece();
      staged.emplace(*piece);
    }
  }
  staged->flush();
  renderer.footnotes(*piece);
  if (!piece->empty()) ++used;
  for (std::size_t i = used; i < pieces.size(); ++i) pieces[i].clear();
  return used;
}

void Renderer::block(const Block& block, std::string& out) {
  blocks(std::span<const Block>(&block, 1), out);
}

void Renderer::blocks(std::span<const Block> blocks, std::string& out) {
  StagedOut staged(out);
  this->blocks(blocks, staged);
  staged.flush();
}

// The hot paths of the writer are flattened: every call they make within this file, std::string's
// appends included, is inlined, so the many short pieces of literal markup become fixed-size
// stores rather than calls. Tables, figures and definition lists stay calls of their own, which
// keeps the walk small.
[[gnu::flatten]] void Renderer::blocks(std::span<const Block> blocks, StagedOut& out) {
  // Leaf blocks (most top-level ones) are written without a frame on the walk stack, up to the
  // first container.
  while (!blocks.empty()) {
    const Block& block = blocks.front();
    blocks = blocks.subspan(1);
    if (auto frame = open_block(block, out)) {
      const std::size_t base = block_stack_.size();
      block_stack_.push_back(BlockFrame{blocks, {}});
      block_stack_.push_back(*frame);
      walk_blocks(base, out);
      return;
    }
  }
}

// Flattened as blocks, and a call of its own rather than a second copy inside it.
[[gnu::flatten, gnu::noinline]] void Renderer::walk_blocks(std::size_t base, StagedOut& out) {
  while (block_stack_.size() > base) {
    BlockFrame& top = block_stack_.back();
    if (top.list != nullptr) {
      if (top.next_item == top.list->items.size()) {
        out.append(top.close);
        block_stack_.pop_back();
        continue;
      }
      const ListItem& item = top.list->items[top.next_item++];
      const bool is_tight = top.list->tight;
      list_item_open(item, out);
      if (!is_tight) out.append('\n');
      // Most tight items hold one bare paragraph: written here, as the item's frame would.
      if (is_tight && item.children.size() == 1) {
        const auto* paragraph = item.children.front().get_if<Block::Paragraph>();
        if (paragraph != nullptr && paragraph->attr.empty()) {
          inlines(paragraph->inlines, out);
          out.append("</li>\n");
          continue;
        }
      }
      block_stack_.push_back(BlockFrame{item.children, "</li>\n", nullptr, 0, is_tight});
      continue;
    }
    if (top.rest.empty()) {
      out.append(top.close);
      block_stack_.pop_back();
      continue;
    }
    const Block& block = top.rest.front();
    top.rest = top.rest.subspan(1);
    if (top.is_tight_item) {
      if (const auto* paragraph = block.get_if<Block::Paragraph>()) {
        // A tight item shows its paragraphs bare, unless the paragraph has attributes to keep
        // (an id that anchors lists must still exist in the HTML). Two bare paragraphs in a row
        // (a footnote definition between them moved out) are set apart by a line break, so that
        // the last word of one and the first of the next stay two words.
        if (paragraph->attr.empty()) {
          if (top.after_bare_paragraph) out.append('\n');
          top.after_bare_paragraph = true;
          inlines(paragraph->inlines, out);
        } else {
          top.after_bare_paragraph = false;
          out.append("<p");
          attrs_html(paragraph->attr, out);
          out.append('>');
          inlines(paragraph->inlines, out);
          out.append("</p>");
        }
        continue;
      }
      top.after_bare_paragraph = false;
      out.append('\n');
    }
    if (auto frame = open_block(block, out)) block_stack_.push_back(*frame);
  }
}

std::optional<Renderer::BlockFrame> Renderer::open_block(const Block& block, StagedOut& out) {
  switch (block.kind()) {
    case BlockKind::Paragraph: {
      const auto& paragraph = *block.get_if<Block::Paragraph>();
      out.append("<p");
      attrs_html(paragraph.attr, out);
      out.append('>');
      inlines(paragraph.inlines, out);
      out.append("</p>\n");
      return std::nullopt;
    }
    case BlockKind::Heading: {
      const auto& heading = *block.get_if<Block::Heading>();
      out.append("<h");
      heading_level(heading.level, out);
      attrs_html(heading.attr, out);
      out.append('>');
      inlines(heading.inlines, out);
      out.append("</h");
      heading_level(heading.level, out);
      out.append(">\n");
      return std::nullopt;
    }
    case BlockKind::PanelTitle: {
      const auto& title = *block.get_if<Block::PanelTitle>();
      out.append("<header");
      attrs_html(title.attr, out);
      out.append('>');
      inlines(title.inlines, out);
      out.append("</header>\n");
      return std::nullopt;
    }
    case BlockKind::BlockQuote: {
      const auto& quote = *block.get_if<Block::BlockQuote>();
      out.append("<blockquote");
      attrs_html(quote.attr, out);
      out.append(">\n");
      return BlockFrame{quote.children, "</blockquote>\n"};
    }
    case BlockKind::List: {
      const auto& list = *block.get_if<Block::List>();
      list_open(list, out);
      return BlockFrame{{}, list.ordered ? "</ol>\n" : "</ul>\n", &list};
    }
    case BlockKind::DefinitionList:
      definition_list(*block.get_if<Block::DefinitionList>(), out.string());
      return std::nullopt;
    case BlockKind::CodeBlock: {
      const auto& code = *block.get_if<Block::CodeBlock>();
      code_block_open(code.attr, code.lang, out);
      out.append_escaped_text(code.text);
      out.append("</code></pre>\n");
      return std::nullopt;
    }
    case BlockKind::HtmlBlock:
      html_block(*block.get_if<Block::HtmlBlock>(), out.string());
      return std::nullopt;
    case BlockKind::ThematicBreak:
      out.append("<hr");
      attrs_html(block.get_if<Block::ThematicBreak>()->attr, out);
      out.append(" />\n");
      return std::nullopt;
    case BlockKind::Table:
      table(*block.get_if<Block::Table>(), out);
      return std::nullopt;
    case BlockKind::Div: {
      const auto& div = *block.get_if<Block::Div>();
      out.append("<div");
      attrs_html(div.attr, out);
      out.append(">\n");
      return BlockFrame{div.children, "</div>\n"};
    }
    case BlockKind::MathBlock:
      math_block(*block.get_if<Block::MathBlock>(), out.string());
      return std::nullopt;
    case BlockKind::Figure:
      figure(*block.get_if<Block::Figure>(), out.string());
      return std::nullopt;
    case BlockKind::TemplateToken: {
      const auto& token = *block.get_if<TemplateToken>();
      template_html(token.syntax, token.body, token.kind, token.name, out.string());
      out.append('\n');
      return std::nullopt;
    }
    case BlockKind::RawBlock: {
      const auto& raw = *block.get_if<Block::RawBlock>();
      raw_data_open(raw.format, raw.text, out.string());
      raw_payload(raw.text, out.string());
      out.append("</script>\n");
      return std::nullopt;
    }
    case BlockKind::ScriptBlock: {
      const auto& script = *block.get_if<Block::ScriptBlock>();
      out.append("<script type=\"text/");
      escape_attr(script.lang, out.string());
      out.append("-block\"");
      if (raw_data_needs_encoding(script.text)) out.append(" data-encoding=\"html\"");
      out.append(">\n");
      raw_payload(script.text, out.string());
      out.append("</script>\n");
      return std::nullopt;
    }
  }
  return std::nullopt;
}

[[gnu::noinline]] void Renderer::definition_list(const Block::DefinitionList& list,
                                                 std::string& out) {
  out += "<dl";
  attrs_html(list.attr, out);
  out += ">\n";
  for (const DefinitionItem& item : list.items) {
    for (const DefinitionTerm& term : item.terms) {
      out += "<dt";
      attrs_html(term.attr, out);
      out += '>';
      inlines(term.inlines, out);
      out += "</dt>\n";
    }
    for (const Inlines& definition : item.definitions) {
      out += "<dd>";
      inlines(definition, out);
      out += "</dd>\n";
    }
  }
  out += "</dl>\n";
}

namespace {

// The markup before a cell without attributes, as one piece: what stands before its opening tag
// (nothing, the row's "<tr>" or the previous cell's close), then the tag, by tag (th, td) and
// alignment. A table of many small cells writes the markup between two of them in one piece.
enum CellLead : std::size_t { kAfterNothing, kAfterRowOpen, kAfterCell };
constexpr std::string_view kPlainCellOpen[3][2][4] = {
    {{"<th>", "<th align=\"left\">", "<th align=\"center\">", "<th align=\"right\">"},
     {"<td>", "<td align=\"left\">", "<td align=\"center\">", "<td align=\"right\">"}},
    {{"<tr><th>", "<tr><th align=\"left\">", "<tr><th align=\"center\">", "<tr><th align=\"right\">"},
     {"<tr><td>", "<tr><td align=\"left\">", "<tr><td align=\"center\">", "<tr><td align=\"right\">"}},
    {{"</th><th>", "</th><th align=\"left\">", "</th><th align=\"center\">", "</th><th align=\"right\">"},
     {"</td><td>", "</td><td align=\"left\">", "</td><td align=\"center\">", "</td><td align=\"right\">"}},
};
// What stands before a cell with attributes, and the row's end after the last cell, by lead.
constexpr std::string_view kCellLead[3][2] = {{"", ""}, {"<tr>", "<tr>"}, {"</th>", "</td>"}};
constexpr std::string_view kRowEnd[3][2] = {
    {"</tr>\n", "</tr>\n"}, {"<tr></tr>\n", "<tr></tr>\n"}, {"</th></tr>\n", "</td></tr>\n"}};

// Each piece padded to one size, so that a single fixed-size store writes any of them: the
// alignment, which varies from cell to cell, then picks a table entry rather than a branch.
struct PaddedPiece {
  char bytes[32] = {};
  std::uint8_t size = 0;
};
constexpr auto kPaddedCellOpen = [] {
  std::array<std::array<std::array<PaddedPiece, 4>, 2>, 3> padded{};
  for (std::size_t lead = 0; lead < 3; ++lead)
    for (std::size_t tag = 0; tag < 2; ++tag)
      for (std::size_t align = 0; align < 4; ++align) {
        const std::string_view piece = kPlainCellOpen[lead][tag][align];
        PaddedPiece& entry = padded[lead][tag][align];
        for (std::size_t i = 0; i < piece.size(); ++i) entry.bytes[i] = piece[i];
        entry.size = static_cast<std::uint8_t>(piece.size());
      }
  return padded;
}();

template <CellLead Lead>
void plain_cell_open(std::size_t tag, Align align, StagedOut& out) {
  const PaddedPiece& piece = kPaddedCellOpen[Lead][tag][static_cast<std::size_t>(align)];
  out.make_room(sizeof piece.bytes);
  out.put_first(piece.bytes, piece.size);
}

}  // namespace

void Renderer::table_row(const TableRow& row,
                                          std::span<const Align> column_aligns,
                                          std::string_view cell_tag, StagedOut& out) {
  const std::size_t tag = cell_tag == "th" ? 0 : 1;
  // Most cells are one text, written straight from it unless a memo may stand for it.
  const bool texts_direct = memo_ == nullptr;
  // Read once: each store into the stage could, as far as the compiler knows, change them.
  const TableCell* const row_cells = row.cells.data();
  const Align* const aligns = column_aligns.data();
  const std::size_t align_count = column_aligns.size();
  // One cell after `lead`, the markup owed before it.
  const auto cell_html = [&]<CellLead Lead>(std::size_t k) __attribute__((always_inline)) {
    const TableCell& cell = row_cells[k];
    // The cell's own alignment, else its column's; chosen without a branch, as both vary from
    // cell to cell.
    const Align column = k < align_count ? aligns[k] : Align::None;
    const Align align = cell.align == Align::None ? column : cell.align;
    const Inline::Text* text = texts_direct && cell.content.size() == 1
                                   ? std::get_if<Inline::Text>(&cell.content.front().data)
                                   : nullptr;
    // The common cell, one text without attributes, is written with room made once for both.
    if (text != nullptr && cell.attr.empty() &&
        out.make_room(sizeof(PaddedPiece::bytes) + text->text.size())) [[likely]] {
      const PaddedPiece& piece = kPaddedCellOpen[Lead][tag][static_cast<std::size_t>(align)];
      StagedOut::Cursor at = out.cursor();
      at.put_first(piece.bytes, piece.size);
      const std::size_t kept = at.put_kept<escape_scan::Markup::Text>(text->text);
      out.commit(at);
      if (kept != text->text.size()) [[unlikely]] escape_text_from(text->text, kept, out.string());
      return;
    }
    if (cell.attr.empty()) {
      plain_cell_open<Lead>(tag, align, out);
    } else {
      std::string& string = out.string();
      string += kCellLead[Lead][tag];
      string += '<';
      string += cell_tag;
      attrs_html(cell.attr, string);
      if (align != Align::None) {
        string += " align=\"";
        string += align_name(align);
        string += '"';
      }
      string += '>';
    }
    if (text != nullptr) {
      out.append_escaped_text(text->text);
      return;
    }
    if (!texts_direct) {
      inlines(cell.content, out);
      return;
    }
    // A cell of several nodes (a text beside a link, a code span, an emphasis) is written here
    // node by node; the inline walk takes over from the first node it is needed for.
    const Inline* node = cell.content.data();
    const Inline* const end = node + cell.content.size();
    for (; node != end; ++node) {
      if (const auto* part = std::get_if<Inline::Text>(&node->data)) {
        out.append_escaped_text(part->text);
      } else if (!plain_inline::write_plain(*node, out)) {
        inlines(std::span<const Inline>(node, end), out);
        return;
      }
    }
  };
  const std::size_t cells = row.cells.size();
  const bool row_attr = !row.attr.empty();
  if (row_attr) {
    std::string& string = out.string();
    string += "<tr";
    attrs_html(row.attr, string);
    string += '>';
  }
  if (cells == 0) {
    if (row_attr) {
      out.append(kRowEnd[kAfterNothing][tag]);
    } else {
      out.append(kRowEnd[kAfterRowOpen][tag]);
    }
    return;
  }
  if (row_attr) {
    cell_html.template operator()<kAfterNothing>(0);
  } else {
    cell_html.template operator()<kAfterRowOpen>(0);
  }
  for (std::size_t k = 1; k < cells; ++k) cell_html.template operator()<kAfterCell>(k);
  out.make_room(kRowEnd[kAfterCell][0].size());
  out.put(kRowEnd[kAfterCell][tag].data(), kRowEnd[kAfterCell][0].size());
}

// Flattened for the cells' markup, as the block walk; the rows of a group in one call, which
// saves and restores the registers the row writer uses once instead of per row.
[[gnu::flatten]] void Renderer::table_rows(std::span<const TableRow> rows,
                                           std::span<const Align> column_aligns,
                                           std::string_view cell_tag, StagedOut& out) {
  for (const TableRow& row : rows) table_row(row, column_aligns, cell_tag, out);
}

[[gnu::noinline]] void Renderer::table(const Block::Table& table, StagedOut& out) {
  // The rows and their cells stand back to back after the row list, in the order written, but
  // have left the caches since they were parsed: the first few kilobytes are asked for at once,
  // so that their misses overlap instead of each waiting for the one before.
  for (const ArenaVector<TableRow>* rows : {&table.head_rows, &table.rows}) {
    if (rows->empty()) continue;
    constexpr std::size_t kLine = 64;
    constexpr std::size_t kMostAhead = 4096;
    const std::size_t guess =
        rows->size() * (sizeof(TableRow) + table.aligns.size() * (sizeof(TableCell) + sizeof(Inline)));
    // Addresses as numbers: the span may run past the row list, and a prefetch never faults.
    const auto from = reinterpret_cast<std::uintptr_t>(rows->data());
    const std::size_t span = std::min(guess, kMostAhead);
    for (std::size_t at = 0; at < span; at += kLine) __builtin_prefetch(reinterpret_cast<const void*>(from + at));
  }
  out.append("<table");
  if (!table.attr.empty()) write_attrs(table.attr, out);
  out.append(">\n");
  if (!table.caption.empty()) {
    out.append("<caption>");
    inlines(table.caption, out);
    out.append("</caption>\n");
  }
  if (!table.head_rows.empty()) {
    out.append("<thead>\n");
    table_rows(std::span<const TableRow>(table.head_rows.data(), table.head_rows.size()), table.aligns,
               "th", out);
    out.append("</thead>\n");
  }
  if (!table.rows.empty() || !table.tokens.empty()) {
    out.append("<tbody>\n");
    // Token lines by the row they precede, in list order within one row.
    std::vector<const TableToken*> tokens;
    tokens.reserve(table.tokens.size());
    for (const TableToken& token : table.tokens) tokens.push_back(&token);
    std::ranges::stable_sort(tokens, {}, [](const TableToken* token) { return token->row; });
    auto next_token = tokens.begin();
    auto write_tokens_at = [&](std::size_t row) {
      while (next_token != tokens.end() && (*next_token)->row < row) ++next_token;
      for (; next_token != tokens.end() && (*next_token)->row == row; ++next_token) {
        inlines(std::span<const Inline>(&(*next_token)->token, 1), out);
        out.append('\n');
      }
    };
    if (tokens.empty()) {
      table_rows(std::span<const TableRow>(table.rows.data(), table.rows.size()), table.aligns, "td",
                 out);
    }
    for (std::size_t i = 0; i < table.rows.size() && !tokens.empty(); ++i) {
      write_tokens_at(i);
      table_rows(std::span<const TableRow>(&table.rows[i], 1), table.aligns, "td", out);
    }
    write_tokens_at(table.rows.size());
    out.append("</tbody>\n");
  }
  if (!table.foot_rows.empty()) {
    out.append("<tfoot>\n");
    table_rows(std::span<const TableRow>(table.foot_rows.data(), table.foot_rows.size()), table.aligns,
               "td", out);
    out.append("</tfoot>\n");
  }
  out.append("</table>\n");
}

[[gnu::noinline]] void Renderer::figure(const Block::Figure& figure, std::string& out) {
  out += "<figure";
  attrs_html(figure.attr, out);
  out += ">\n";
  if (const auto* image = figure.image.get_if<Inline::Image>()) {
    // The caption carries the text, so the image's own alternative text is left empty.
    out += "<img src=\"";
    escape_url_attr(image->url, out);
    out += "\" alt=\"\"";
    if (image->title) {
      out += " title=\"";
      escape_attr(*image->title, out);
      out += '"';
    }
    attrs_html(image->attr, out);
    out += " />";
  } else {
    // A callback may have replaced the image.
    inlines(std::span<const Inline>(&figure.image, 1), out);
  }
  if (!figure.caption.empty()) {
    out += "\n<figcaption>";
    inlines(figure.caption, out);
    out += "</figcaption>";
  }
  out += "\n</figure>\n";
}

}  // namespace vedavi
