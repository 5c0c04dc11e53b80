// The block walk over logical lines, shared by the block, list and table rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "model/document.h"
#include "wikitext/inlines.h"
#include "wikitext/source.h"

namespace vedavi::wikitext {

// The state of one conversion's walk.
struct Walk {
  explicit Walk(Source& normalised) : source(normalised) {}

  Source& source;
  std::vector<Range> lines;  // logical lines
  std::size_t index = 0;     // the line a rule looks at
  bool is_done = false;      // a rule took the rest of the text
  Blocks blocks;
  std::vector<Range> paragraph;  // consecutive lines of the paragraph being gathered
  Notes notes;

  std::string_view line_text(std::size_t i) const { return source.slice(lines[i]); }
  // Lines first..last (inclusive) as they stand in the text, line feeds between.
  Range span(std::size_t first, std::size_t last) const {
    return Range{lines[first].begin, lines[last].end};
  }
  Inlines inlines(Range range) { return document::inlines(source, range, notes); }
};

// A raw block of wikitext.
Block raw(std::string_view text);
// Ends the paragraph being gathered, as a paragraph or a display math block.
void flush_para(Walk& walk);

// The content of an HTML list item line ("<li>One</li>").
std::optional<Range> html_list_item(const Source& source, Range line);
// Rules at the current line; each flushes the paragraph and leaves `index` after its lines.
void html_list_run(Walk& walk);
bool is_wiki_list_line(std::string_view line);
void wiki_list_run(Walk& walk);
void table_rule(Walk& walk);

}  // namespace vedavi::wikitext
