// Step 10: a table's `colwidths` becomes a `colgroup` of `col` widths with a fixed layout, and a
// presentational `width` becomes inline style.
#include <algorithm>
#include <array>
#include <cmath>

#include "export/exporter.h"
#include "export/number_format.h"
#include "text/unicode.h"

namespace vedavi::exporter {
namespace {

constexpr std::array<std::string_view, 13> kWidthUnits = {
    "px", "em", "rem", "%", "ch", "vw", "vh", "pt", "pc", "cm", "mm", "in", "ex"};

// The old style with its trailing ';' and ' ' dropped and one ';' added; "" without a style.
std::string style_base(const Dom& dom, NodeId table) {
  const std::optional<std::string_view> style = dom.attr(table, "style");
  if (!style) return {};
  std::string_view kept = *style;
  while (kept.ends_with(';') || kept.ends_with(' ')) kept.remove_suffix(1);
  std::string out(kept);
  out += ';';
  return out;
}

// A `colwidths` item: a weight "<number>fr" or a fixed CSS length taken as written.
struct ColumnWidth {
  std::string_view item;
  std::optional<double> weight;
};

void append_quoted(std::string_view text, std::string& out) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

// `value` is the item that cannot be read, or the table's whole value when `reason` says what is
// wrong with it.
[[gnu::cold]] Failure bad_colwidths(std::string_view value, std::string_view reason = {}) {
  std::string message = "bad colwidths value ";
  append_quoted(value, message);
  if (!reason.empty()) {
    message += ": ";
    message += reason;
  }
  return Failure{std::move(message)};
}

[[gnu::cold]] Failure negative_weight(std::string_view colwidths, std::string_view item) {
  std::string reason = "the weight ";
  append_quoted(item, reason);
  reason += " is negative";
  return bad_colwidths(colwidths, reason);
}

// The `width:` value of each column. A weight that is not a finite number, or whose share of
// the total is not (an overflowing total), is refused: it would write "NaN" or "inf" into the
// style. So are a negative weight, which would make a negative width or a share above the whole,
// and weights that add up to zero, which leave no share at all.
Outcome<std::vector<std::string>> column_styles(std::string_view colwidths) {
  std::vector<ColumnWidth> columns;
  double sum = 0;
  std::string fixed_total;
  for (const std::string_view item : unicode::split_white_space(colwidths)) {
    ColumnWidth column{item, std::nullopt};
    if (item.size() >= 2 && item.ends_with("fr")) {
      column.weight = parse_float(item.substr(0, item.size() - 2));
      if (!column.weight || !std::isfinite(*column.weight)) return bad_colwidths(item);
      if (*column.weight < 0) return negative_weight(colwidths, item);
      sum += *column.weight;
      if (!std::isfinite(sum)) return bad_colwidths(item);
    } else {
      fixed_total += fixed_total.empty() ? "" : " - ";
      fixed_total += item;
    }
    columns.push_back(column);
  }
  const bool has_weights = std::ranges::any_of(columns, [](const ColumnWidth& c) { return c.weight.has_value(); });
  if (has_weights && sum == 0) return bad_colwidths(colwidths, "the weights add up to zero");
  std::vector<std::string> styles;
  styles.reserve(columns.size());
  for (const ColumnWidth& column : columns) {
    if (!column.weight) {
      styles.push_back("width:" + std::string(column.item));
      continue;
    }
    const double share = *column.weight / sum;
    if (!std::isfinite(share * 100)) return bad_colwidths(column.item);
    styles.push_back(fixed_total.empty()
                         ? "width:" + fmt_g(share * 100) + "%"
                         : "width:calc((100% - " + fixed_total + ") * " + fmt_g(share) + ")");
  }
  return styles;
}

// After a leading `caption` (whatever white space precedes it), else before the first child:
// a table's content model puts the caption first.
std::optional<NodeId> colgroup_place(const Dom& dom, NodeId table) {
  const auto& children = dom.node(table).children;
  if (children.empty()) return std::nullopt;
  const std::optional<NodeId> first = first_element_child(dom, table);
  if (!first || !dom.is_tag(*first, "caption")) return children.front();
  const auto after = std::find(children.begin(), children.end(), *first) + 1;
  return after == children.end() ? std::nullopt : std::optional(*after);
}

// The `width` attribute as style, when it is a length of a known unit (a plain number counts
// as pixels) that is finite and not negative.
std::optional<std::string> width_style(std::string_view width) {
  std::string length(width);
  if (parse_float(width)) length += "px";
  for (const std::string_view unit : kWidthUnits) {
    if (length.size() <= unit.size() || !length.ends_with(unit)) continue;
    const std::optional<double> amount = parse_float(std::string_view(length).substr(0, length.size() - unit.size()));
    if (amount && *amount >= 0 && std::isfinite(*amount)) return "width:" + length;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Failure> Exporter::apply_column_widths() {
  for (const NodeId table : elements_) {
    if (!dom_.is_tag(table, "table")) continue;
    if (std::optional<std::string> colwidths = must(dom_.remove_attr(table, "colwidths"))) {
      Outcome<std::vector<std::string>> styles = column_styles(*colwidths);
      if (!styles) return Failure{styles.message()};
      const NodeId colgroup = dom_.create_element("colgroup");
      for (const std::string& style : styles.value()) {
        must(dom_.insert_before(colgroup, dom_.create_element("col", {{"style", style}})));
      }
      must(dom_.set_attr(table, "style", style_base(dom_, table) + "table-layout:fixed;width:100%"));
      must(dom_.insert_before(table, colgroup, colgroup_place(dom_, table)));
    }
    const std::optional<std::string_view> width = dom_.attr(table, "width");
    if (!width) continue;
    if (std::optional<std::string> style = width_style(*width)) {
      must(dom_.remove_attr(table, "width"));
      must(dom_.set_attr(table, "style", style_base(dom_, table) + *style));
    }
  }
  return std::nullopt;
}

}  // namespace vedavi::exporter
