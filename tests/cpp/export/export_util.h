// Running an export in tests: the output HTML, or "error: " and the message; warnings apart.
#pragma once

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

}  // namespace vedavi::exporter::test
