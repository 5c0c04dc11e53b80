// Running an export in tests: the output HTML, or "error: " and the message; warnings apart.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "export/export.h"

namespace vedavi::exporter::test {

struct Exported {
  std::string html;  // or "error: {message}"
  std::vector<std::string> warnings;
};

inline Exported run(std::string_view src, const HtmlExportOptions& options = {}) {
  Outcome<ExportOutput> out = export_html(src, options);
  if (!out) return {"error: " + out.message(), {}};
  return {std::move(out.value().html), std::move(out.value().warnings)};
}

// One export a case: `set` adjusts the options, `html` and `warnings` are what comes out.
struct Case {
  std::string src;
  std::function<void(HtmlExportOptions&)> set;
  std::string html;
  std::vector<std::string> warnings = {};
};

inline void check_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    HtmlExportOptions options;
    if (c.set) c.set(options);
    const Exported out = run(c.src, options);
    EXPECT_EQ(out.html, c.html) << c.src;
    EXPECT_EQ(out.warnings, c.warnings) << c.src;
  }
}

}  // namespace vedavi::exporter::test
