// Wiki tables ("{|" ... "|}"): a "table" block when the table has the simple shape a VEDAVI
// table holds, else one paragraph of its markup. All or nothing: a failed table keeps none of
// its rows, and the footnotes its cells added are rolled back.
#include <string_view>

#include "text/unicode.h"
#include "wikitext/blocks.h"

namespace vedavi::wikitext {
namespace {

struct RowDraft {
  bool is_header = false;
  std::vector<Inlines> cells;
};

struct TableDraft {
  std::vector<RowDraft> rows;
  std::optional<RowDraft> open_row;
  Inlines caption;

  void finish_row() {
    if (open_row) rows.push_back(std::move(*open_row));
    open_row.reset();
  }
};

// Only "class=wikitable" (bare or double-quoted) may stand on the opening line.
std::optional<Attr> table_attrs(std::string_view opening_line) {
  const std::string_view text = unicode::trim(unicode::trim_start(opening_line).substr(2));
  for (std::string_view word : unicode::split_white_space(text))
    if (word != "class=wikitable" && word != "class=\"wikitable\"") return std::nullopt;
  if (text.empty()) return Attr{};
  return Attr::with_class("wikitable");
}

// One "!" or "|" line: its cells, added to the open row. False when the table cannot hold it.
bool cell_line(Walk& walk, Range line, TableDraft& draft) {
  const bool is_header = walk.source.slice(line).front() == '!';
  const Range cells{line.begin + 1, line.end};
  const std::string_view text = walk.source.slice(cells);
  if (text.find("{{!") != std::string_view::npos || text.find("{{pipe") != std::string_view::npos)
    return false;
  std::vector<Inlines> parsed;
  for (const Range piece : walk.source.split_top(cells, is_header ? "!!" : "||")) {
    const bool has_bar = walk.source.slice(piece).find('|') != std::string_view::npos;
    const auto bar = walk.source.find_top(piece, "|");
    const Range first{piece.begin, bar.value_or(piece.end)};
    if (has_bar && walk.source.slice(first).find('=') != std::string_view::npos) return false;
    parsed.push_back(walk.inlines(trim_range(walk.source, piece)));
  }
  if (!draft.open_row) draft.open_row = RowDraft{is_header, {}};
  else if (draft.open_row->is_header != is_header) return false;
  for (Inlines& cell : parsed) draft.open_row->cells.push_back(std::move(cell));
  return true;
}

// One line strictly inside the table.
bool table_line(Walk& walk, std::size_t index, TableDraft& draft) {
  const std::string_view raw_line = walk.line_text(index);
  const std::string_view t = unicode::trim_start(raw_line);
  const Range line{walk.lines[index].end - t.size(), walk.lines[index].end};
  if (t.empty()) return false;
  if (t.starts_with("|-")) {
    if (!unicode::trim(t.substr(2)).empty()) return false;
    draft.finish_row();
    return true;
  }
  if (t.starts_with("|+")) {
    if (!draft.caption.empty()) return false;
    draft.caption = walk.inlines(trim_range(walk.source, Range{line.begin + 2, line.end}));
    return true;
  }
  if (t.starts_with('!') || t.starts_with('|')) return cell_line(walk, line, draft);
  return false;
}

TableRow make_row(RowDraft&& draft) {
  TableRow row;
  for (Inlines& content : draft.cells) row.cells.push_back(TableCell{{}, std::move(content)});
  return row;
}

std::optional<Block::Table> build_table(Walk& walk, std::size_t closing, Attr attr) {
  TableDraft draft;
  for (std::size_t i = walk.index + 1; i < closing; ++i)
    if (!table_line(walk, i, draft)) return std::nullopt;
  draft.finish_row();
  if (draft.rows.empty() || !draft.rows.front().is_header || draft.rows.front().cells.empty())
    return std::nullopt;
  const std::size_t columns = draft.rows.front().cells.size();
  for (const RowDraft& row : draft.rows)
    if (row.cells.size() != columns) return std::nullopt;
  Block::Table table;
  table.attr = std::move(attr);
  table.aligns.assign(columns, Align::None);
  table.head_rows.push_back(make_row(std::move(draft.rows.front())));
  for (std::size_t r = 1; r < draft.rows.size(); ++r)
    table.rows.push_back(make_row(std::move(draft.rows[r])));
  table.caption = std::move(draft.caption);
  return table;
}

}  // namespace

void table_rule(Walk& walk) {
  flush_para(walk);
  std::size_t closing = walk.index + 1;
  while (closing < walk.lines.size() &&
         !unicode::trim_start(walk.line_text(closing)).starts_with("|}"))
    ++closing;
  if (closing == walk.lines.size()) {
    walk.blocks.push_back(raw(walk.source.slice(walk.span(walk.index, walk.lines.size() - 1))));
    walk.is_done = true;
    return;
  }
  const std::size_t notes_mark = walk.notes.mark();
  std::optional<Block::Table> table;
  if (auto attr = table_attrs(walk.line_text(walk.index)))
    table = build_table(walk, closing, std::move(*attr));
  if (table) {
    walk.blocks.push_back(std::move(*table));
    // Text after "|}" on the closing line opens the paragraph that follows the table.
    const Range closing_line = walk.lines[closing];
    const std::size_t bar = closing_line.end - unicode::trim_start(walk.line_text(closing)).size();
    const Range after = trim_range(walk.source, Range{bar + 2, closing_line.end});
    if (!after.empty()) walk.paragraph.push_back(after);
  } else {
    walk.notes.rollback(notes_mark);
    walk.blocks.push_back(Block::Paragraph{{}, walk.inlines(walk.span(walk.index, closing))});
  }
  walk.index = closing + 1;
}

}  // namespace vedavi::wikitext
