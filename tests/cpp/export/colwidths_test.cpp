// Column widths: the colgroup, the layout style, `width` as style, and the number formats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "export/number_format.h"
#include "export_util.h"

namespace vedavi::exporter::test {
namespace {

TEST(NumberFormat, FmtG) {
  const std::pair<double, std::string_view> cases[] = {
      {0.5, "0.5"}, {100, "100"}, {1234567, "1.23457e+06"}, {0.0000125, "1.25e-05"},
      {0.0001, "0.0001"}, {999999.7, "1000000"}, {100.0 / 3, "33.3333"}, {0.0, "0"}, {-0.0, "0"},
      {-2.5, "-2.5"}, {1e100, "1e+100"}, {1.0 / 3, "0.333333"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(fmt_g(value), text) << value;
}

TEST(NumberFormat, ParseFloat) {
  const std::pair<std::string_view, std::optional<double>> cases[] = {
      {"1", 1}, {"+1.5", 1.5}, {"-2", -2}, {"1.", 1}, {".5", 0.5}, {"1e3", 1000}, {"1E-1", 0.1},
      {"INF", std::numeric_limits<double>::infinity()}, {"-Infinity", -std::numeric_limits<double>::infinity()},
      {"1e999", std::numeric_limits<double>::infinity()}, {"1e-999", 0.0}, {"0.0000e999", 0.0},
      {"", std::nullopt}, {".", std::nullopt}, {"e5", std::nullopt}, {"1e", std::nullopt},
      {" 1", std::nullopt}, {"1 ", std::nullopt}, {"0x10", std::nullopt}, {"nan(1)", std::nullopt},
      {"++1", std::nullopt}, {"1_0", std::nullopt}};
  for (const auto& [text, value] : cases) EXPECT_EQ(parse_float(text), value) << text;
  EXPECT_TRUE(std::isnan(*parse_float("nAn")));
}

struct Case {
  std::string_view table;  // attributes, then content
  std::string_view html;
};

void check_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(run("<table " + std::string(c.table) + "</table>").html, c.html) << c.table;
  }
}

TEST(ColumnWidths, Colgroups) {
  check_cases({
      {"colwidths=\"1fr 3fr\">",
       "<table style=\"table-layout:fixed;width:100%\"><colgroup><col style=\"width:25%\"><col style=\"width:75%\"></colgroup></table>"},
      {"colwidths=\"120px 1fr 1fr\">",
       "<table style=\"table-layout:fixed;width:100%\"><colgroup><col style=\"width:120px\">"
       "<col style=\"width:calc((100% - 120px) * 0.5)\"><col style=\"width:calc((100% - 120px) * 0.5)\"></colgroup></table>"},
      {"colwidths=\"1fr 2fr 3em 4rem\">",
       "<table style=\"table-layout:fixed;width:100%\"><colgroup><col style=\"width:calc((100% - 3em - 4rem) * 0.333333)\">"
       "<col style=\"width:calc((100% - 3em - 4rem) * 0.666667)\"><col style=\"width:3em\"><col style=\"width:4rem\"></colgroup></table>"},
      {"colwidths=\" \" style=\"color:red; \">",
       "<table style=\"color:red;table-layout:fixed;width:100%\"><colgroup></colgroup></table>"},
      {"colwidths=\"1fr\" width=\"80%\">",
       "<table style=\"table-layout:fixed;width:100%;width:80%\"><colgroup><col style=\"width:100%\"></colgroup></table>"},
      // The colgroup follows the caption, also when white space comes first.
      {"colwidths=\"1fr\">\n<caption>c</caption>\n<tr><td>x",
       "<table style=\"table-layout:fixed;width:100%\">\n<caption><span class=\"caption-label\">Table 1</span>: c</caption>"
       "<colgroup><col style=\"width:100%\"></colgroup>\n<tbody><tr><td>x</td></tr></tbody></table>"},
      {"colwidths=\"1fr\">\n<tr><td>x",
       "<table style=\"table-layout:fixed;width:100%\"><colgroup><col style=\"width:100%\"></colgroup>\n<tbody><tr><td>x</td></tr></tbody></table>"},
  });
}

TEST(ColumnWidths, WidthAttribute) {
  check_cases({
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
      {"xfr 1fr", "bad colwidths value \"xfr\""},
      {"fr", "bad colwidths value \"fr\""},
      {"a\"\\fr", "bad colwidths value \"a\\\"\\\\fr\""},
      // Not finite, or a share that is not: never written as "NaN" or "inf".
      {"inffr", "bad colwidths value \"inffr\""},
      {"1fr nanfr", "bad colwidths value \"nanfr\""},
      {"1e999fr", "bad colwidths value \"1e999fr\""},
      {"1e308fr 1e308fr", "bad colwidths value \"1e308fr\""},
      {"0fr 0fr", "bad colwidths value \"0fr\""},
      {"1fr -1fr", "bad colwidths value \"1fr\""},
  };
  for (const auto& [colwidths, message] : cases) {
    EXPECT_EQ(run("<table colwidths='" + std::string(colwidths) + "'></table>").html,
              "error: " + std::string(message)) << colwidths;
  }
}

}  // namespace
}  // namespace vedavi::exporter::test
