// Pipe tables: recognition of the header and delimiter rows, and body rows, captions, section
// tokens and attribute lines while a table is the open leaf.
#include "block/table.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "block/build.h"
#include "block/scan.h"
#include "block/table_cells.h"
#include "model/line.h"

namespace vedavi::block {

using line::Rest;
using table_cells::for_each_cell;
using table_cells::for_each_piece;

namespace {

constexpr std::size_t kFirstBodyRows = 8;

// Room for `n` bytes of a row's text in the parse's arena.
char* arena_room(std::size_t n) { return static_cast<char*>(current_arena().allocate(n, 1)); }

// Whether `text` lies in `source` (empty when the parse keeps no source).
bool lies_in(std::string_view text, std::string_view source) {
  return !source.empty() && text.data() >= source.data() &&
         text.data() + text.size() <= source.data() + source.size();
}

}  // namespace

std::vector<std::string> raw_table_cells(std::string_view line) {
  std::vector<std::string> cells;
  cells.reserve(static_cast<std::size_t>(std::count(line.begin(), line.end(), '|')) + 1);
  std::string rebuilt;
  const auto room = [&](std::size_t n) {
    rebuilt.resize(n);
    return rebuilt.data();
  };
  for_each_cell(line, true, room, [&](std::string_view cell) { cells.emplace_back(cell); });
  return cells;
}

std::optional<std::vector<std::string>> split_table_row(std::string_view line) {
  if (line.find('|') == std::string_view::npos) return std::nullopt;
  auto cells = raw_table_cells(line);
  if (!cells.empty() && cells.front().empty()) cells.erase(cells.begin());
  if (!cells.empty() && cells.back().empty()) cells.pop_back();
  return cells;
}

std::vector<std::size_t> table_pipe_offsets(std::string_view text) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '|') {
      out.push_back(i);
    }
  }
  return out;
}

std::optional<TableRowText> header_row(std::string_view line, std::span<const Align> aligns,
                                       bool in_place) {
  // Room for the cells and an empty first and last one; a line with more is no header.
  const std::size_t room = aligns.size() + 2;
  auto* const cells = static_cast<TableRowText::Cell*>(
      current_arena().allocate(room * sizeof(TableRowText::Cell), alignof(TableRowText::Cell)));
  std::size_t count = 0;
  for_each_cell(line, in_place, arena_room, [&](std::string_view cell) {
    if (count < room) cells[count] = TableRowText::Cell{cell.data(), cell.size(), Align::None};
    ++count;
  });
  if (count > room) return std::nullopt;
  // As in `split_table_row`: an empty first and an empty last cell are no cells.
  std::size_t first = 0;
  if (count != 0 && cells[0].size == 0) first = 1;
  if (count > first && cells[count - 1].size == 0) --count;
  if (count - first != aligns.size()) return std::nullopt;
  for (std::size_t i = 0; i < aligns.size(); ++i) cells[first + i].align = aligns[i];
  TableRowText row;
  row.cells = std::span<const TableRowText::Cell>(cells + first, aligns.size());
  return row;
}

namespace {

// The alignment of a delimiter cell with a colon on the left, the right, both or neither.
Align align_of(bool left, bool right) {
  return left && right ? Align::Center : left ? Align::Left : right ? Align::Right : Align::None;
}

// The alignment and dash count of one delimiter cell (":--", "-:", ":-:", "---": dashes between
// colons), none for a cell that is not one.
std::optional<std::pair<Align, std::size_t>> delimiter_cell(std::string_view c) {
  std::size_t begin = 0;
  std::size_t end = c.size();
  while (begin < end && c[begin] == ':') ++begin;
  if (begin == end) return std::nullopt;
  while (c[end - 1] == ':') --end;
  for (std::size_t i = begin; i < end; ++i)
    if (c[i] != '-') return std::nullopt;
  const bool left = begin != 0;
  const bool right = end != c.size();
  return std::pair{align_of(left, right), end - begin};
}

// A delimiter row of at most kQuickRowBytes ASCII bytes is read in one pass over its bytes, its
// cells kept until the row is known to be one: no search for a backslash first, no pieces
// trimmed and read again. A byte from 0x80 up may be white space that only the full reading
// trims, which tells it apart.
constexpr std::size_t kQuickRowBytes = 128;
struct QuickCell {
  Align align;
  std::size_t dashes;
};
enum class QuickRead { Row, None, Unsure };

// The reading of the trimmed delimiter row `t` (at most kQuickRowBytes) as read_delimiter_row
// does it, with its cells in `cells` (room for kQuickRowBytes / 2 + 1) and their number in
// `count` when it is a row; Unsure when a byte of `t` is from 0x80 up.
QuickRead quick_delimiter_row(std::string_view t, QuickCell* cells, std::size_t& count) {
  // Where the current piece stands: a cell is ":" * "-" + ":" *, with white space around it.
  enum Phase : unsigned char { Before, Leading, Dashes, Trailing, After };
  Phase phase = Before;
  std::size_t leading = 0;
  std::size_t dashes = 0;
  std::size_t trailing = 0;
  std::size_t pieces = 0;
  bool empty_before = false;  // an empty piece after the first: the last, or the row is none
  count = 0;
  const auto end_piece = [&] {
    const std::size_t k = pieces++;
    // An empty first and an empty last piece are no cells; an empty cell between is no delimiter.
    if (empty_before) return false;
    if (phase == Before) {
      empty_before = k != 0;
      return true;
    }
    if (dashes == 0) return false;
    cells[count++] = QuickCell{align_of(leading != 0, trailing != 0), dashes};
    phase = Before;
    leading = dashes = trailing = 0;
    return true;
  };
  const std::size_t n = t.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char ch = t[i];
    switch (ch) {
      case '|':
        if (!end_piece()) return QuickRead::None;
        break;
      case ':':
        if (phase <= Leading) {
          phase = Leading;
          ++leading;
        } else if (phase <= Trailing) {
          phase = Trailing;
          ++trailing;
        } else {
          return QuickRead::None;
        }
        break;
      case '-': {
        if (phase > Dashes) return QuickRead::None;
        phase = Dashes;
        // A cell's dashes come in one run: counted at once, not a turn of the switch each.
        std::size_t end = i + 1;
        while (end < n && t[end] == '-') ++end;
        dashes += end - i;
        i = end - 1;
        break;
      }
      case ' ': case '\t': case '\n': case '\v': case '\f': case '\r':
        if (phase != Before) phase = After;
        break;
      default:
        return static_cast<unsigned char>(ch) >= 0x80 ? QuickRead::Unsure : QuickRead::None;
    }
  }
  if (!end_piece()) return QuickRead::None;
  return pieces > 1 && count != 0 ? QuickRead::Row : QuickRead::None;
}

// Calls `cell(align, dashes)` for each cell of the delimiter row `line`, in order; false when the
// line is none, which may come after some calls.
template <class F>
bool read_delimiter_row(std::string_view line, F&& cell) {
  // A backslash stays in its cell (or turns an escaped pipe into one), where only colons and
  // dashes may stand: it rules the row out. Without one the cells are the pieces between the
  // pipes, read in place in one pass.
  const std::string_view t = line::trim(line);
  if (t.size() <= kQuickRowBytes) {
    QuickCell cells[kQuickRowBytes / 2 + 1];
    std::size_t count = 0;
    switch (quick_delimiter_row(t, cells, count)) {
      case QuickRead::Row:
        for (std::size_t i = 0; i < count; ++i) cell(cells[i].align, cells[i].dashes);
        return true;
      case QuickRead::None:
        return false;
      case QuickRead::Unsure:
        break;
    }
  }
  if (t.find('\\') != std::string_view::npos) return false;
  std::size_t pieces = 0;
  std::size_t cells = 0;
  bool empty_before = false;  // an empty piece after the first: the last, or the row is none
  bool ok = true;
  for_each_piece(t, [&](std::size_t begin, std::size_t end) {
    const std::size_t k = pieces++;
    if (!ok) return;
    // An empty first and an empty last piece are no cells; an empty cell between is no delimiter.
    if (empty_before) {
      ok = false;
      return;
    }
    const std::string_view c = line::trim(std::string_view(t.data() + begin, end - begin));
    if (c.empty()) {
      empty_before = k != 0;
      return;
    }
    const auto read = delimiter_cell(c);
    if (!read) {
      ok = false;
      return;
    }
    cell(read->first, read->second);
    ++cells;
  });
  return ok && pieces > 1 && cells != 0;
}

// The dash counts of a delimiter row as relative column widths: "3fr 1fr 2fr", written once
// into a string of its final size.
std::string widths_text(std::span<const std::size_t> widths) {
  char digits[24];
  std::size_t size = widths.size() * 3 - 1;  // "fr" and a separating space each, digits below
  for (std::size_t w : widths)
    size += static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, w).ptr - digits);
  std::string text(size, ' ');
  char* at = text.data();
  for (std::size_t w : widths) {
    at = std::to_chars(at, text.data() + size, w).ptr;
    *at++ = 'f';
    *at++ = 'r';
    ++at;  // the space before the next width, or one past the end
  }
  return text;
}

}  // namespace

std::optional<DelimiterRow> delimiter_row(std::string_view line) {
  DelimiterRow row;
  if (!read_delimiter_row(line, [&](Align align, std::size_t dashes) {
        row.aligns.push_back(align);
        row.widths.push_back(dashes);
      }))
    return std::nullopt;
  return row;
}

bool ContainerBuilder::start_table(build::Paragraph& para, std::uint32_t para_node,
                                   const Rest& rest) {
  if (para.count == 0) return false;
  // A delimiter row begins with "|", ":" or "-"; other lines are rejected before any cell is
  // split.
  std::string_view lead = rest.trimmed_start();
  if (lead.empty() || (lead[0] != '|' && lead[0] != ':' && lead[0] != '-')) return false;
  const Rest header = lines_of(para).back();
  if (header.text.find('|') == std::string_view::npos) return false;
  // The alignments, and the dash counts as relative column widths ("3fr 1fr 2fr"), which the
  // table takes only when they differ.
  ArenaVector<Align> aligns;
  aligns.reserve(8);
  ArenaVector<std::size_t> widths;
  widths.reserve(8);
  bool same_widths = true;
  const bool delimiter = read_delimiter_row(rest.text, [&](Align align, std::size_t dashes) {
    same_widths = same_widths && (widths.empty() || dashes == widths[0]);
    widths.push_back(dashes);
    aligns.push_back(align);
  });
  if (!delimiter) return false;
  auto head = header_row(header.text, aligns, lies_in(header.text, parser.kept_source));
  if (!head) return false;

  // Every member has its own initializer: made without make_unique's zeroing of the whole table
  // first. A finished table's box is taken again, emptied.
  build::TablePtr table;
  if (spare_table_) {
    table = std::move(spare_table_);
    *table = build::Table();
  } else {
    table.reset(new build::Table);
  }
  if (!same_widths) table->attr.set_owned_pair("colwidths", widths_text(widths));
  table->head.push_back(std::move(*head));
  table->aligns = std::move(aligns);
  table->leading_pipe = line::trim_start(header.text).starts_with("|");

  if (record_syntax && line > 0) {
    std::size_t base = parser.line_offset(line - 1) + header.pad;
    for (std::size_t p : table_pipe_offsets(header.text))
      syntax.push_back(SyntaxRecord{line - 1, base + p, base + p + 1,
                                    SyntaxScope::PunctuationSpecial});
    std::string_view t = rest.trimmed();
    if (!t.empty()) {
      std::size_t s = offset_of(rest, t.data());
      note_syntax(s, s + t.size());
    }
  }

  if (para.count == 1) {
    set_kind(para_node, std::move(table));
  } else {
    // The header line leaves the paragraph, whose range ends the paragraph lines.
    assert(para.first + para.count == paragraph_lines.size());
    paragraph_lines.pop_back();
    --para.count;
    std::uint32_t node = open_node(std::move(table));
    nodes[node].start = line - 1;
  }
  leaf_open = true;
  return true;
}

bool ContainerBuilder::continue_table(const Rest& rest) {
  build::Table& table = **last_child_as<build::TablePtr>();
  std::string_view lead = rest.trimmed_start();
  // A caption begins with ":"; most rows begin with "|" and are told apart without a call.
  if (!table.caption && lead.starts_with(':')) {
    if (auto after = caption_marker(lead)) {
      table.caption = std::string(line::trim(*after));
      std::size_t s = offset_of(rest, lead.data());
      note_syntax(s, s + 1);
      return true;
    }
  }
  std::string_view text = rest.text;  // the padding is white space that every use trims
  if (!options.templates.empty()) {
    std::string padded;
    if (auto tok = templates::line_token(rest.view(padded), options.templates)) {
      if (tok->kind == TemplateTokenKind::Open || tok->kind == TemplateTokenKind::OpenInverted ||
          tok->kind == TemplateTokenKind::Close) {
        table.tokens.emplace_back(table.body.size(), std::move(*tok));
        return true;
      }
    }
  }
  // Most rows begin with a pipe.
  const bool has_pipe = lead.starts_with('|') || text.find('|') != std::string_view::npos;
  if (!has_pipe && starts_block(rest)) return false;
  if (lead.starts_with("{:") && is_attribute_line(text)) {
    table.attr.merge(attrs::parse_attrs_body(attribute_line_body(text)));
    std::string_view t = rest.trimmed();
    std::size_t s = offset_of(rest, t.data());
    note_syntax(s, s + t.size(), SyntaxScope::Attribute);
    return true;
  }
  add_table_row(table, rest);
  return true;
}

void ContainerBuilder::add_table_row(build::Table& table, const Rest& rest) {
  std::string_view text = rest.text;  // the padding is white space that every use trims
  if (record_syntax) {
    const std::size_t base = offset_of(rest, text.data());
    for (std::size_t p : table_pipe_offsets(text)) note_syntax(base + p, base + p + 1);
  }
  // The row is split into its cells when it is finished, where they are parsed right away: the
  // line is kept as it stands, copied into the parse's arena unless the source outlives the tree.
  // Most tables run to a handful of rows: room for several from the first one on spares the body
  // the regrowths of doubling from one.
  if (table.body.empty()) table.body.reserve(kFirstBodyRows);
  if (!lies_in(text, parser.kept_source)) {
    const std::string_view t = line::trim(text);
    text = t.empty() ? std::string_view() : std::string_view(current_arena().copy(t), t.size());
  }
  table.body.push_back(text);
  leaf_open = true;
}

}  // namespace vedavi::block
