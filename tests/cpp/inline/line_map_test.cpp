// The source line map beyond what the inline node ranges show: segments between markers of a
// hand-made trace, template lines, raw HTML regions and the joined text of a unit.
#include <gtest/gtest.h>

#include <string>

#include "base/internal_error.h"
#include "block/parse.h"
#include "inline/line_map.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::inl {
namespace {

Options options_with(std::vector<TemplateDelimiter> templates = {}) {
  Options o = block::testing::default_options();
  o.math = MathMode::Brackets;
  o.templates = std::move(templates);
  return o;
}

// Ranges as "[b,e)" separated by spaces, units separated by " | ".
std::string show(const std::vector<ByteRange>& ranges) {
  std::string out;
  for (const ByteRange& r : ranges)
    out += (out.empty() ? "" : " ") + ("[" + std::to_string(r.begin) + "," + std::to_string(r.end) + ")");
  return out;
}

std::string units_of(std::string_view src, const Options& options = options_with()) {
  const block::Parsed parsed = block::parse_source(src, options, 3);
  const LineMap map(src, parsed.trace);
  std::string out;
  for (const Unit& unit : map.units(parsed.trace)) out += (out.empty() ? "" : " | ") + show(unit);
  return out;
}

TEST(LineMapSegments, ContentMinusMarkers) {
  block::Trace trace;
  trace.line_offsets = {2, 0, 9};
  // Line 1: one scope starts past the line and is dropped, one reaches past it and is cut.
  trace.records = {block::SyntaxRecord{1, 7, 9, block::SyntaxScope::Label},
                   block::SyntaxRecord{1, 2, 40, block::SyntaxScope::Attribute},
                   block::SyntaxRecord{2, 0, 1, block::SyntaxScope::PunctuationSpecial},
                   block::SyntaxRecord{7, 0, 1, block::SyntaxScope::PunctuationSpecial}};
  const LineMap map("> a\nxyzuvw\n# h {#x}", trace);
  EXPECT_EQ(show(map.segments(0)), "[2,3)");
  EXPECT_EQ(show(map.segments(1)), "[4,6)");
  ASSERT_EQ(map.scopes(1).size(), 1u);
  EXPECT_EQ(map.scopes(1)[0].end, 6u);
  EXPECT_EQ(map.content_offset(2), 8u);  // never past the line
  EXPECT_EQ(show(map.segments(2)), "");
  EXPECT_THROW(map.segments(3), InternalError);
  const LineMap bare("a\r\n\r\n\rb\n", block::Trace{});  // a trace without offsets
  EXPECT_EQ(bare.line_count(), 4u);
  EXPECT_EQ(bare.line(0), "a");
}

TEST(LineMapUnits, BlockTemplateLinesBelongToNoUnit) {
  TemplateDelimiter block_form{"t", "{%", "%}", std::nullopt, std::nullopt, TemplateForm::Block};
  const Options options = options_with({block_form});
  EXPECT_EQ(units_of("{% if x %}\ntext\n", options), "[11,15)");
  EXPECT_EQ(units_of("a\n{% if x %}\n", options), "[0,1)");
}

TEST(LineMapHtml, RegionsToTheEndOfTheirLastLine) {
  const std::string src = "<div>\r\n<!-- x -->\r\n</div>\r\n\r\npara\r\n";
  const block::Parsed parsed = block::parse_source(src, options_with(), 3);
  const LineMap map(src, parsed.trace);
  EXPECT_EQ(show(map.html_ranges(parsed.trace.records)), "[0,25)");
  EXPECT_EQ(show(map.line_pieces(ByteRange{0, 25})), "[0,5) [7,17) [19,25)");
}

TEST(JoinedTextMapping, OffsetsBackToTheSource) {
  JoinedText joined;
  joined.assign("> ab\r\n> cd", std::vector<ByteRange>{{2, 4}, {8, 10}});
  EXPECT_EQ(joined.text(), "ab\ncd");
  const std::size_t expected[] = {2, 3, 4, 8, 9, 10, 10};  // the joint maps to the line's end
  for (std::size_t p = 0; p < 7; ++p) EXPECT_EQ(joined.to_source(p), expected[p]) << p;
  std::vector<ByteRange> parts;
  joined.for_each_part(1, 5, [&](ByteRange r) { parts.push_back(r); });
  EXPECT_EQ(show(parts), "[3,4) [8,10)");
}

}  // namespace
}  // namespace vedavi::inl
