// The classed byte ranges of md source that the highlighter wraps in spans: gathered from one
// span-mode-3 parse (frontmatter lines, consumed markers, container prefixes, inline constructs,
// HTML comments, heading and definition lines), then written around the escaped text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "block/build.h"
#include "inline/line_map.h"

namespace vedavi::highlight {

// The theme scopes a range may show as, numbered so that a range holds one byte for its scope.
inline constexpr std::string_view kScopeNames[] = {
    "punctuation-special", "label",        "attribute",        "markup-link-url",
    "markup-italic",       "markup-bold",  "markup-strikethrough", "markup-highlight",
    "markup-raw-block",    "comment",      "markup-heading"};

// A theme scope, held as its number in `kScopeNames`.
class Scope {
 public:
  // A name of the table; any other is an internal fault.
  constexpr Scope(std::string_view name) {
    for (std::size_t k = 0; k < std::size(kScopeNames); ++k) {
      if (kScopeNames[k] == name) {
        index_ = static_cast<std::uint8_t>(k);
        return;
      }
    }
    unknown_scope();
  }
  constexpr Scope(const char* name) : Scope(std::string_view(name)) {}
  // The scope the block parser gave a consumed marker: its scopes lead the table, in its order.
  constexpr explicit Scope(block::SyntaxScope scope) : index_(static_cast<std::uint8_t>(scope)) {}

  std::string_view name() const { return kScopeNames[index_]; }
  friend constexpr bool operator==(Scope, Scope) = default;

 private:
  [[noreturn, gnu::cold]] static void unknown_scope();

  std::uint8_t index_ = 0;
};

static_assert(Scope(block::SyntaxScope::PunctuationSpecial) == Scope("punctuation-special") &&
              Scope(block::SyntaxScope::Label) == Scope("label") &&
              Scope(block::SyntaxScope::Attribute) == Scope("attribute") &&
              Scope(block::SyntaxScope::MarkupLinkUrl) == Scope("markup-link-url"));

// A range [start, end) of the source and the theme scope it shows as ("markup-italic", ...). The
// offsets take 32 bits (the span-mode parse refuses a source of 4 GiB or more) and the scope a
// byte: a source of short lines has a few ranges a line, and they stand beside the output as it
// is written.
struct ClassedRange {
  ClassedRange(std::size_t range_start, std::size_t range_end, Scope range_scope)
      : start(static_cast<std::uint32_t>(range_start)),
        end(static_cast<std::uint32_t>(range_end)),
        scope(range_scope) {}
  std::uint32_t start;
  std::uint32_t end;
  Scope scope;
  friend bool operator==(const ClassedRange&, const ClassedRange&) = default;
};

// The ranges of `text` (LF line ends only) in collection order, which decides between ranges
// of equal start and end. Unfiltered: a range may be empty or cut a character.
std::vector<ClassedRange> gather_ranges(std::string_view text, const Options& options,
                                        const block::Parsed& parsed, const inl::LineMap& map);

// Appends `text` escaped, with each range wrapped in a span of class `prefix` + scope. Empty
// ranges, ranges past the text or off character boundaries are dropped; the rest are sorted by
// start ascending and end descending (equal ranges nest in the given order, identical ones
// render once); a range that would cross the end of the span around it is left out.
void write_ranges(std::string_view text, std::vector<ClassedRange> ranges, std::string_view prefix,
                  std::string& out);
// The same, cut into pieces of about `piece_bytes` or more, each whole UTF-8 and in order, so that
// a caller copying the output elsewhere may let each go once it is copied. The ranges are freed
// before it returns.
std::vector<std::string> write_ranges_in_pieces(std::string_view text, std::vector<ClassedRange> ranges,
                                                std::string_view prefix, std::size_t piece_bytes);

}  // namespace vedavi::highlight
