// Pipe tables: recognition of the header and delimiter rows, and body rows, captions, section
// tokens and attribute lines while a table is the open leaf.
#include "block_table.h"

#include "block_build.h"
#include "block_scan.h"
#include "line.h"

namespace vedavi::block {

using line::Rest;

std::vector<std::string> raw_table_cells(std::string_view line) {
  std::string_view t = line::trim(line);
  std::vector<std::string> cells;
  std::string cell;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '\\' && i + 1 < t.size()) {
      if (t[i + 1] != '|') cell.push_back('\\');
      cell.push_back(t[++i]);
    } else if (c == '|') {
      cells.emplace_back(line::trim(cell));
      cell.clear();
    } else {
      cell.push_back(c);
    }
  }
  cells.emplace_back(line::trim(cell));
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

TableRowText draft_inline_table_row(std::vector<std::string> cells,
                                    const std::vector<Align>& aligns) {
  TableRowText row;
  row.cells.reserve(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i)
    row.cells.push_back({Attr{}, std::move(cells[i]), i < aligns.size() ? aligns[i] : Align::None});
  return row;
}

std::optional<DelimiterRow> delimiter_row(std::string_view line) {
  auto cells = split_table_row(line);
  if (!cells || cells->empty()) return std::nullopt;
  DelimiterRow row;
  for (const std::string& raw : *cells) {
    std::string_view c = line::trim(raw);
    bool left = !c.empty() && c.front() == ':';
    bool right = !c.empty() && c.back() == ':';
    std::size_t b = c.find_first_not_of(':');
    if (b == std::string_view::npos) return std::nullopt;
    std::size_t e = c.find_last_not_of(':');
    std::string_view dashes = c.substr(b, e + 1 - b);
    if (dashes.find_first_not_of('-') != std::string_view::npos) return std::nullopt;
    row.widths.push_back(dashes.size());
    row.aligns.push_back(left && right ? Align::Center
                         : left       ? Align::Left
                         : right      ? Align::Right
                                      : Align::None);
  }
  return row;
}

bool ContainerBuilder::start_table(build::Paragraph& para, std::uint32_t para_node,
                                   const Rest& rest) {
  if (para.lines.empty()) return false;
  const std::string& header = para.lines.back();
  auto head = split_table_row(header);
  if (!head) return false;
  std::string text = rest.str();
  auto delim = delimiter_row(text);
  if (!delim || delim->aligns.size() != head->size()) return false;

  build::Table table;
  bool equal = true;
  for (std::size_t w : delim->widths) equal = equal && w == delim->widths.front();
  if (!equal) {
    std::string widths;
    for (std::size_t i = 0; i < delim->widths.size(); ++i) {
      if (i) widths.push_back(' ');
      widths += std::to_string(delim->widths[i]) + "fr";
    }
    table.attr.set_pair("colwidths", widths);
  }
  for (auto& c : *head) c = std::string(line::trim(c));
  table.head.push_back(draft_inline_table_row(std::move(*head), delim->aligns));
  table.aligns = delim->aligns;
  table.leading_pipe = line::trim_start(header).starts_with("|");

  if (record_syntax && line > 0) {
    std::size_t header_offset = 0;
    for (auto it = line_offsets.rbegin(); it != line_offsets.rend(); ++it)
      if (it->first == line - 1) {
        header_offset = it->second;
        break;
      }
    for (std::size_t p : table_pipe_offsets(header))
      syntax.push_back(SyntaxRecord{line - 1, header_offset + p, header_offset + p + 1,
                                    SyntaxScope::PunctuationSpecial});
    std::string_view t = rest.trimmed();
    if (!t.empty()) {
      std::size_t s = offset_of(rest, t.data());
      note_syntax(s, s + t.size());
    }
  }

  if (para.lines.size() == 1) {
    nodes[para_node].kind = std::move(table);
  } else {
    para.lines.pop_back();
    std::uint32_t node = open_node(std::move(table));
    nodes[node].start = line - 1;
  }
  leaf_open = true;
  return true;
}

bool ContainerBuilder::continue_table(const Rest& rest) {
  auto& table = *last_child_as<build::Table>();
  std::string_view lead = rest.trimmed_start();
  if (!table.caption) {
    if (auto after = caption_marker(lead)) {
      table.caption = std::string(line::trim(*after));
      std::size_t s = offset_of(rest, lead.data());
      note_syntax(s, s + 1);
      return true;
    }
  }
  std::string text = rest.str();
  if (!options.templates.empty()) {
    if (auto tok = templates::line_token(text, options.templates)) {
      if (tok->kind == TemplateTokenKind::Open || tok->kind == TemplateTokenKind::OpenInverted ||
          tok->kind == TemplateTokenKind::Close) {
        table.tokens.emplace_back(table.body.size(), std::move(*tok));
        return true;
      }
    }
  }
  bool has_pipe = text.find('|') != std::string::npos;
  if (starts_block(rest) && !has_pipe) return false;
  if (is_attribute_line(text)) {
    table.attr.merge(attrs::parse_attrs_body(attribute_line_body(text)));
    std::string_view t = rest.trimmed();
    std::size_t s = offset_of(rest, t.data());
    note_syntax(s, s + t.size(), SyntaxScope::Attribute);
    return true;
  }
  if (record_syntax) {
    std::size_t base = content_offset;
    for (std::size_t p : table_pipe_offsets(text)) note_syntax(base + p, base + p + 1);
  }
  std::vector<std::string> cells;
  if (has_pipe) {
    cells = raw_table_cells(text);
    if (table.leading_pipe && !cells.empty() && cells.front().empty()) cells.erase(cells.begin());
  } else {
    cells.emplace_back(line::trim(text));
  }
  cells.resize(table.aligns.size());
  for (auto& c : cells) c = std::string(line::trim(c));
  table.body.push_back(draft_inline_table_row(std::move(cells), table.aligns));
  leaf_open = true;
  return true;
}

}  // namespace vedavi::block
