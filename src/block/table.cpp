// Pipe tables: recognition of the header and delimiter rows, and body rows, captions, section
// tokens and attribute lines while a table is the open leaf.
#include "block/table.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "block/build.h"
#include "block/scan.h"
#include "model/line.h"

namespace vedavi::block {

using line::Rest;

namespace {

constexpr std::size_t kFirstBodyRows = 8;

// `line::trim` of a cell. Cells are mostly padded with spaces: those are stripped here first, so
// that the full white-space trim finds printable bytes at both ends and decodes nothing. It runs
// once per cell and does about as much work as a call costs, so it is folded into the cell loops.
[[gnu::always_inline]] inline std::string_view trim_cell(std::string_view cell) {
  const char* begin = cell.data();
  const char* end = begin + cell.size();
  while (begin != end && *begin == ' ') ++begin;
  while (end != begin && end[-1] == ' ') --end;
  return line::trim(std::string_view(begin, std::size_t(end - begin)));
}

// Room for `n` bytes of a row's text in the parse's arena.
char* arena_room(std::size_t n) { return static_cast<char*>(current_arena().allocate(n, 1)); }

// Whether `text` lies in `source` (empty when the parse keeps no source).
bool lies_in(std::string_view text, std::string_view source) {
  return !source.empty() && text.data() >= source.data() &&
         text.data() + text.size() <= source.data() + source.size();
}

// Calls `f(begin, end)` with each piece of `t` between its "|" (and its ends), in order.
template <class F>
[[gnu::always_inline]] inline void for_each_piece(std::string_view t, F&& f) {
  std::size_t start = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: rows are a few dozen bytes with a pipe every few words, each of which
  // would be a search call of its own.
  const char* bytes = t.data();
  const std::size_t n = t.size();
  const __m128i pipe = _mm_set1_epi8('|');
  for (std::size_t i = 0; i < n;) {
    // The pipes of the next block of sixteen bytes, or of what is left, as a bit mask from `base`.
    const std::size_t base = i;
    unsigned mask = 0;
    if (n - i >= 16) {
      mask = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), pipe)));
      i += 16;
    } else if (n >= 16) {
      // The last block, overlapping bytes already looked at, which are shifted out.
      mask = static_cast<unsigned>(_mm_movemask_epi8(
                 _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + n - 16)), pipe))) >>
             (16 - (n - i));
      i = n;
    } else {
      for (; i < n; ++i) mask |= unsigned{bytes[i] == '|'} << (i - base);
    }
    for (; mask != 0; mask &= mask - 1) {
      const std::size_t at = base + static_cast<std::size_t>(__builtin_ctz(mask));
      f(start, at);
      start = at + 1;
    }
  }
#else
  for (std::size_t pipe = t.find('|'); pipe != std::string_view::npos; pipe = t.find('|', start)) {
    f(start, pipe);
    start = pipe + 1;
  }
#endif
  f(start, t.size());
}

// Calls `f` with each trimmed cell of `line`, split at unescaped "|". Without a backslash the
// cells are pieces of the trimmed line, or of its copy in `room(n)` (n bytes) unless `in_place`;
// with one they are rebuilt back to back in such a room, which they never outgrow: an escape keeps
// its two bytes, or one for "\|".
template <class Room, class F>
void for_each_cell(std::string_view line, bool in_place, Room&& room, F&& f) {
  std::string_view t = line::trim(line);
  if (t.find('\\') == std::string_view::npos) {
    if (!in_place && !t.empty()) {
      char* copy = room(t.size());
      std::memcpy(copy, t.data(), t.size());
      t = std::string_view(copy, t.size());
    }
    // Each piece lies in `t`: taken without substr's bounds check.
    for_each_piece(t, [&](std::size_t begin, std::size_t end) __attribute__((always_inline)) {
      f(trim_cell(std::string_view(t.data() + begin, end - begin)));
    });
    return;
  }
  char* const out = room(t.size());
  char* at = out;    // the end of the text rebuilt so far
  char* cell = out;  // where the current cell starts in it
  std::size_t i = 0;
  while (true) {
    std::size_t j = i;
    while (j < t.size() && t[j] != '|' && t[j] != '\\') ++j;
    std::memcpy(at, t.data() + i, j - i);
    at += j - i;
    if (j == t.size()) break;
    if (t[j] == '|') {
      f(trim_cell(std::string_view(cell, std::size_t(at - cell))));
      cell = at;
      i = j + 1;
    } else if (j + 1 < t.size()) {
      if (t[j + 1] != '|') *at++ = '\\';
      *at++ = t[j + 1];
      i = j + 2;
    } else {
      *at++ = '\\';
      i = j + 1;
    }
  }
  f(trim_cell(std::string_view(cell, std::size_t(at - cell))));
}

// Fills `row` with the cells of the body line `text`: as many as `aligns` has, extra cells dropped
// and missing ones empty. `in_place`: `text` outlives the tree, and cells may be views of it.
void add_body_row(TableRowText& row, std::string_view text, bool has_pipe,
                  std::span<const Align> aligns, bool leading_pipe, bool in_place) {
  const std::size_t width = aligns.size();
  auto* const cells = static_cast<TableRowText::Cell*>(
      current_arena().allocate(width * sizeof(TableRowText::Cell), alignof(TableRowText::Cell)));
  std::size_t count = 0;
  auto add = [&](std::string_view cell) {
    if (count < width) {
      cells[count] = TableRowText::Cell{cell.data(), cell.size(), aligns[count]};
      ++count;
    }
  };
  if (has_pipe) {
    bool first = true;
    for_each_cell(text, in_place, arena_room, [&](std::string_view cell) __attribute__((always_inline)) {
      // An empty cell before a leading pipe is no cell.
      if (!(first && leading_pipe && cell.empty())) add(cell);
      first = false;
    });
  } else {
    std::string_view cell = line::trim(text);
    if (!in_place && !cell.empty()) {
      char* copy = arena_room(cell.size());
      std::memcpy(copy, cell.data(), cell.size());
      cell = std::string_view(copy, cell.size());
    }
    add(cell);
  }
  while (count < width) add(std::string_view());
  row.cells = std::span<const TableRowText::Cell>(cells, width);
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
  const Align align = left && right ? Align::Center
                      : left        ? Align::Left
                      : right       ? Align::Right
                                    : Align::None;
  return std::pair{align, end - begin};
}

// Calls `cell(align, dashes)` for each cell of the delimiter row `line`, in order; false when the
// line is none, which may come after some calls.
template <class F>
bool read_delimiter_row(std::string_view line, F&& cell) {
  // A backslash stays in its cell (or turns an escaped pipe into one), where only colons and
  // dashes may stand: it rules the row out. Without one the cells are the pieces between the
  // pipes, read in place in one pass.
  if (line.find('\\') != std::string_view::npos) return false;
  const std::string_view t = line::trim(line);
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
  if (record_syntax) {
    std::size_t base = content_offset + rest.pad;
    for (std::size_t p : table_pipe_offsets(text)) note_syntax(base + p, base + p + 1);
  }
  // Most tables run to a handful of rows: room for several from the first one on spares the
  // body the regrowths (each moving every row) of doubling from one.
  if (table.body.empty()) table.body.reserve(kFirstBodyRows);
  add_body_row(table.body.emplace_back(), text, has_pipe, table.aligns, table.leading_pipe,
               lies_in(text, parser.kept_source));
  leaf_open = true;
  return true;
}

}  // namespace vedavi::block
