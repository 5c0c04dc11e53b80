// Column widths: the colgroup, the layout style, `width` as style, and the number formats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "export/number_format.h"
#include "export_util.h"

namespace vedavi::exporter::test {
namespace {

TEST(NumberFormat, FmtGAndParseFloat) {
  const std::pair<double, std::string_view> formatted[] = {
      {0.5, "0.5"},        {100, "100"},           {1234567, "1.23457e+06"}, {0.0000125, "1.25e-05"},
      {0.0001, "0.0001"},  {999999.7, "1000000"},  {100.0 / 3, "33.3333"},   {0.0, "0"},
      {-0.0, "0"},         {-2.5, "-2.5"},         {1e100, "1e+100"},        {1.0 / 3, "0.333333"}};
  for (const auto& [value, text] : formatted) EXPECT_EQ(fmt_g(value), text) << value;
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<std::string_view, std::optional<double>> parsed[] = {
      {"1", 1}, {"+1.5", 1.5}, {"-2", -2}, {"1.", 1}, {".5", 0.5}, {"1e3", 1000}, {"1E-1", 0.1}, {"INF", inf},
      {"-Infinity", -inf}, {"1e999", inf}, {"1e-999", 0.0}, {"0.0000e999", 0.0}, {"", std::nullopt},
      {".", std::nullopt}, {"e5", std::nullopt}, {"1e", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt},
      {"0x10", std::nullopt}, {"nan(1)", std::nullopt}, {"++1", std::nullopt}, {"1_0", std::nullopt}};
  for (const auto& [text, value] : parsed) EXPECT_EQ(parse_float(text), value) << text;
  EXPECT_TRUE(std::isnan(*parse_float("nAn")));
}

// Each source is a table's attributes, then its content.
void check_tables(const std::vector<std::pair<std::string, std::string>>& cases) {
  std::vector<Case> tables;
  for (const auto& [table, html] : cases) tables.push_back({"<table " + table + "</table>", nullptr, html});
  check_cases(tables);
}

TEST(ColumnWidths, Colgroups) {
  const std::string fixed = "<table style=\"table-layout:fixed;width:100%\">";
  const std::string one_col = "<colgroup><col style=\"width:100%\"></colgroup>";
  check_tables({
      {"colwidths=\"1fr 3fr\">", fixed + "<colgroup><col style=\"width:25%\"><col style=\"width:75%\"></colgroup></table>"},
      {"colwidths=\"120px 1fr 1fr\">",
       fixed + "<colgroup><col style=\"width:120px\"><col style=\"width:calc((100% - 120px) * 0.5)\">"
               "<col style=\"width:calc((100% - 120px) * 0.5)\"></colgroup></table>"},
      {"colwidths=\"1fr 2fr 3em 4rem\">",
       fixed + "<colgroup><col style=\"width:calc((100% - 3em - 4rem) * 0.333333)\">"
               "<col style=\"width:calc((100% - 3em - 4rem) * 0.666667)\"><col style=\"width:3em\"><col "
               "style=\"width:4rem\"></colgroup></table>"},
      {"colwidths=\" \" style=\"color:red; \">",
       "<table style=\"color:red;table-layout:fixed;width:100%\"><colgroup></colgroup></table>"},
      {"colwidths=\"1fr\" width=\"80%\">", "<table style=\"table-layout:fixed;width:100%;width:80%\">" + one_col + "</table>"},
      // The colgroup follows the caption, also when white space comes first.
      {"colwidths=\"1fr\">\n<caption>c</caption>\n<tr><td>x",
       fixed + "\n<caption><span class=\"caption-label\">Table 1</span>: c</caption>" + one_col +
           "\n<tbody><tr><td>x</td></tr></tbody></table>"},
      {"colwidths=\"1fr\">\n<tr><td>x", fixed + one_col + "\n<tbody><tr><td>x</td></tr></tbody></table>"},
      // `width` becomes style when it is a length.
      {"width=50>", "<table style=\"width:50px\"></table>"},
      {"width=\"50%\">", "<table style=\"width:50%\"></table>"},
      {"width=\"2.5rem\" style=\"x;\">", "<table style=\"x;width:2.5rem\"></table>"},
      {"width=auto>", "<table width=\"auto\"></table>"},
      {"width=-5>", "<table width=\"-5\"></table>"},
      {"width=\"10 px\">", "<table width=\"10 px\"></table>"},
      {"width=inf>", "<table width=\"inf\"></table>"},
      {"width=NaNem>", "<table width=\"NaNem\"></table>"},
  });
}

TEST(ColumnWidths, RefusedWeights) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"xfr 1fr", "xfr"}, {"fr", "fr"}, {"a\"\\fr", "a\\\"\\\\fr"},
      // Not finite, or a share that is not: never written as "NaN" or "inf".
      {"inffr", "inffr"}, {"1fr nanfr", "nanfr"}, {"1e999fr", "1e999fr"}, {"1e308fr 1e308fr", "1e308fr"},
      {"0fr 0fr", "0fr"}, {"1fr -1fr", "1fr"},
  };
  for (const auto& [colwidths, shown] : cases) {
    EXPECT_EQ(run("<table colwidths='" + std::string(colwidths) + "'></table>").html,
              "error: bad colwidths value \"" + std::string(shown) + "\"") << colwidths;
  }
}

}  // namespace
}  // namespace vedavi::exporter::test
