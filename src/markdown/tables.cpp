// Pipe tables: the acceptance check and the row, delimiter and caption lines.
#include "markdown/tables.h"

#include "markdown/attrs.h"
#include "markdown/renderer.h"
#include "text/unicode.h"

namespace vedavi::markdown {
namespace {

bool has_no_attrs(const Dom& dom, NodeId node) { return attrs_without_classes(dom, node).empty(); }

// Whether the text `node` stands in, below `cell`, is written as it stands: in code, math, a
// raw payload, a superscript or a subscript.
bool written_as_is(const Dom& dom, NodeId node, NodeId cell) {
  for (auto at = dom.node(node).parent; at && *at != cell; at = dom.node(*at).parent) {
    if (dom.is_tag(*at, "code") || dom.is_tag(*at, "script") || dom.is_tag(*at, "sup") ||
        dom.is_tag(*at, "sub")) {
      return true;
    }
    if (dom.is_tag(*at, "span") && (has_classes(dom, *at, "math", "inline") || has_classes(dom, *at, "math", "display"))) {
      return true;
    }
  }
  return false;
}

// A cell a pipe-table line holds whole: no attribute but align, no block, nothing that would
// break the line.
bool cell_fits(const Dom& dom, const BlockNodes& is_block, NodeId cell) {
  if (!attrs_without_classes(dom, cell, {"align"}).empty()) return false;
  for (NodeId child : dom.node(cell).children) {
    if (is_block(child)) return false;
  }
  for (NodeId inner : dom.descendants(cell)) {
    if (dom.is_tag(inner, "br")) return false;
    const auto* text = std::get_if<fast5ever::dom::Text>(&dom.node(inner).data);
    if (text != nullptr && text->text.find_first_of("\r\n") != std::string::npos) return false;
    // The reader takes "\|" in a cell for "|" before it reads the cell's inlines, so a "\|" that
    // a code span, math, a URL or an attribute value holds as it stands could not come back.
    // (Text elsewhere is escaped, both bytes.)
    if (text != nullptr && text->text.find("\\|") != std::string::npos && written_as_is(dom, inner, cell)) {
      return false;
    }
    if (const auto* element = dom.element(inner)) {
      for (const auto& attribute : element->attrs) {
        if (attribute.value.find("\\|") != std::string::npos) return false;
      }
    }
  }
  return true;
}

bool all_cells_named(const Dom& dom, NodeId row, std::string_view name, std::size_t count) {
  const auto& cells = dom.node(row).children;
  if (cells.size() != count || !has_no_attrs(dom, row)) return false;
  for (NodeId cell : cells) {
    if (!dom.is_tag(cell, name)) return false;
  }
  return true;
}

// The column's common alignment, or none when two cells disagree or one is not a valid value.
bool merge_alignment(const Dom& dom, NodeId cell, std::string_view& column) {
  const std::string_view align = dom.attr(cell, "align").value_or("");
  if (align.empty()) return true;
  if (align != "left" && align != "right" && align != "center") return false;
  if (column.empty()) column = align;
  return column == align;
}

struct Sections {
  std::optional<NodeId> thead, tbody, caption;
};

// Exactly one thead, at most one tbody and at most one caption, and nothing else: a second
// section would be lost in a pipe table, so such a table is refused. A header row without a body
// is what a pipe table of a header and a delimiter row reads as.
std::optional<Sections> table_sections(const Dom& dom, NodeId table) {
  const auto children = significant_children(dom, table);
  if (children.empty()) return std::nullopt;
  Sections sections;
  for (NodeId child : children) {
    std::optional<NodeId>* slot = dom.is_tag(child, "thead")   ? &sections.thead
                                  : dom.is_tag(child, "tbody") ? &sections.tbody
                                  : dom.is_tag(child, "caption") ? &sections.caption
                                                                 : nullptr;
    if (slot == nullptr || slot->has_value()) return std::nullopt;
    *slot = child;
  }
  if (!sections.thead) return std::nullopt;
  if (sections.caption && unicode::trim(dom.to_text(*sections.caption)).empty()) {
    return std::nullopt;
  }
  return sections;
}

}  // namespace

std::optional<PipeTable> pipe_table(const Dom& dom, const BlockNodes& is_block, NodeId table) {
  const auto sections = table_sections(dom, table);
  if (!sections) return std::nullopt;
  if (sections->caption && !has_no_attrs(dom, *sections->caption)) return std::nullopt;
  if (!has_no_attrs(dom, *sections->thead) ||
      (sections->tbody && !has_no_attrs(dom, *sections->tbody))) {
    return std::nullopt;
  }
  const auto head_rows = significant_children(dom, *sections->thead);
  if (head_rows.size() != 1 || !dom.is_tag(head_rows[0], "tr")) return std::nullopt;
  const std::size_t width = dom.node(head_rows[0]).children.size();
  if (width == 0 || !all_cells_named(dom, head_rows[0], "th", width)) return std::nullopt;
  PipeTable result{table, sections->caption, head_rows[0], sections->tbody,
                   std::vector<std::string_view>(width)};
  const auto body_rows =
      sections->tbody ? significant_children(dom, *sections->tbody) : std::vector<NodeId>{};
  for (NodeId row : body_rows) {
    if (!dom.is_tag(row, "tr") || !all_cells_named(dom, row, "td", width)) return std::nullopt;
  }
  auto column_fits = [&](NodeId row) {
    for (std::size_t k = 0; k < width; ++k) {
      const NodeId cell = dom.node(row).children[k];
      if (!cell_fits(dom, is_block, cell) || !merge_alignment(dom, cell, result.alignments[k])) return false;
    }
    return true;
  };
  if (!column_fits(head_rows[0])) return std::nullopt;
  for (NodeId row : body_rows) {
    if (!column_fits(row)) return std::nullopt;
  }
  return result;
}

void DomRenderer::table(NodeId node) {
  auto accepted = pipe_table(dom_, block_nodes_, node);
  if (!accepted || !sayable(attrs_without_classes(dom_, node))) {
    raw_block(node);
    return;
  }
  const NodeId header = accepted->header_row;
  accepted->md_begin = out().size();
  tables_.push_back(std::move(*accepted));
  table_row(header, Close::HeaderRow);
}

void DomRenderer::table_row(NodeId row, Close close) {
  out() += '|';
  push_children(row, Walk::RowCells, close);
}

void DomRenderer::close_header_row() {
  std::string& text = out();
  text += "\n|";
  for (std::string_view align : tables_.back().alignments) {
    text += align == "left" ? ":--- |" : align == "right" ? "---: |" : align == "center" ? ":---: |" : "--- |";
  }
  text += '\n';
  if (const auto body = tables_.back().body)
    push_children(*body, Walk::TableRows, Close::BodyRows);
  else
    close_body_rows();
}

void DomRenderer::close_body_rows() {
  const auto caption = tables_.back().caption;
  if (!caption) {
    close_table();
    return;
  }
  out() += ": ";
  push_children(*caption, Walk::Inlines, Close::Caption);
}

// The reader takes a group that ends the caption line for the table's attributes: a caption
// whose last inline writes one (`*x*{.c}`) keeps the table in HTML.
void DomRenderer::close_caption() {
  const PipeTable& table = tables_.back();
  if (out().ends_with('}') && out().size() >= table.md_begin) {
    const NodeId node = table.table;
    out().resize(table.md_begin);
    tables_.pop_back();
    raw_block(node);
    return;
  }
  out() += '\n';
  close_table();
}

void DomRenderer::close_table() {
  ial(attrs_without_classes(dom_, tables_.back().table), out());
  out() += '\n';
  tables_.pop_back();
}

void escape_cell_pipes(std::string& md, std::size_t begin) {
  std::size_t bare = 0;
  for (std::size_t i = begin; i < md.size(); ++i) {
    if (md[i] == '\\') {
      ++i;
    } else if (md[i] == '|') {
      ++bare;
    }
  }
  if (bare == 0) return;
  std::string escaped;
  escaped.reserve(md.size() - begin + bare);
  for (std::size_t i = begin; i < md.size(); ++i) {
    if (md[i] == '\\' && i + 1 < md.size()) {
      escaped += md[i];
      escaped += md[++i];
      continue;
    }
    if (md[i] == '|') escaped += '\\';
    escaped += md[i];
  }
  md.replace(begin, std::string::npos, escaped);
}

}  // namespace vedavi::markdown
