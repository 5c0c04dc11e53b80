// Filling one paragraph region: its hard-break segments, their tokens (inline constructs that must
// not be cut count as one token), and the layout of tokens into lines of a width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "inline/parse.h"

namespace vedavi::chunk {

// The words of one segment: runs of text between spaces, tabs and line ends outside inline
// constructs that must stay whole; inside those, each such character is one space.
struct Tokens {
  std::string text;                  // the tokens, back to back
  std::vector<std::size_t> ends;     // end of token k in `text` (token k starts at ends[k-1])
  std::string_view operator[](std::size_t k) const {
    const std::size_t begin = k == 0 ? 0 : ends[k - 1];
    return std::string_view(text).substr(begin, ends[k] - begin);
  }
  std::size_t size() const { return ends.size(); }
};

struct InlineScope {
  const Options& options;
  const LinkMap& links;
  const FootnoteLabels& footnotes;
  inl::ScanBuffers* buffers = nullptr;  // shared by the inline parses of one call
};

Tokens tokens_of(std::string_view segment, const InlineScope& scope);
// The same from the segment's inline events (sorted by start), when its parse is at hand.
Tokens tokens_of(std::string_view segment, std::span<const InlineEvent> events);

// Columns: characters, a tab advancing to the next multiple of 4.
std::uint64_t display_width(std::string_view text, std::uint64_t column = 0);

// Whether a line starting with `candidate` would start a block or an attribute line, so that a
// paragraph line must not break before it.
bool breaking_before_is_refused(std::string_view candidate);
// Whether a line holding `content` (after its markers) would be read as a block of its own;
// `is_continuation` when it is not the paragraph's first line.
bool ending_line_is_refused(std::string_view content, bool is_continuation);
// Whether a paragraph's first line holding `content` would rather open another block (a list
// item of any number among them): "-" followed by "1." on the next line is text, "- 1." a list.
bool opens_block(std::string_view content);
// Whether a break after `content` would change the text: that, or a hard break.
bool breaking_after_is_refused(std::string_view content, bool is_continuation);

struct Layout {
  std::string_view lead;    // the first line's own markers and indentation
  std::string_view prefix;  // what continuation lines start with
  std::optional<std::uint64_t> width;
  bool has_line = false;    // whether the region has produced a line yet
  // Set when a segment's last line alone would read as a block (a paragraph line "---  " trimmed
  // to "---"): the region must then stay as it is.
  bool is_unsafe = false;
};

// Appends the lines of one segment's tokens (at least one) to `lines`.
void lay_out(const Tokens& tokens, Layout& layout, std::vector<std::string>& lines);

}  // namespace vedavi::chunk
