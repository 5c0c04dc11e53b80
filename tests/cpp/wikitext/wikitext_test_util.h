// Shared helpers of the wikitext tests: conversion straight to VEDAVI HTML, and table runs.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

#include "render/renderer.h"
#include "wikitext/parse.h"

namespace vedavi::wikitext::test {

struct Case {
  std::string_view wikitext;
  std::string_view html;
};

inline std::string to_html(std::string_view wikitext) {
  return render_document(document::parse(wikitext));
}

inline void expect_cases(std::span<const Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(to_html(c.wikitext), c.html) << "wikitext: " << c.wikitext;
}

}  // namespace vedavi::wikitext::test
