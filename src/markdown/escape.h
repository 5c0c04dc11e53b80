// Escaping of md text, link targets and titles, code spans, and percent-decoding of fragments.
#pragma once

#include <string>
#include <string_view>

namespace vedavi::markdown {

// Where a piece of text lands, as far as escaping cares.
struct TextContext {
  // Spaces on the current output line before the text starts, or 4 when the line holds anything
  // else (a block marker of the writer's own, such as a list item's, does not count).
  int line_indent = 4;
  bool before_link = false;  // a link or bracketed span follows the text directly
  bool after_break = false;  // a br stands directly before the text
  bool ends_parent = false;  // br: nothing but white space or a comment follows before the run
                             // ends; text: nothing follows it in its parent
  bool closes_bracket = false;  // an element may end with a bare "]": nothing that reads on follows
  bool after_note_ref = false;  // a footnote reference stands directly before the text
  bool before_word = false;  // text opening with neither white space nor punctuation follows
  bool before_inline = false;  // text: an inline node follows it in its parent
  bool after_element = false;  // text: an element stands directly before it in its parent
};

// Whether superscript or subscript text can stand as it is between its marks: the reader takes
// that text literally (a backslash stays), so it must not be empty, hold white space or the mark,
// or end with a backslash; superscript text must not start with "[" (the reader's "^[" opens a
// note).
bool delimited_text_fits(std::string_view text, char mark);

// Appends `text` with a backslash before every character that would read back as syntax.
void escape_markdown(std::string_view text, TextContext context, std::string& out);

// "(" ")" escaped; the bytes the reader's output percent-encodes already so encoded, which keeps
// a second round's target the same.
std::string escape_target(std::string_view text);
// "\\", "\"", "<", parentheses and an "&" that starts a reference escaped; line ends
// written as references.
std::string escape_title(std::string_view text);
// "&#N;": how a character the reader would drop where it stands is written instead.
std::string char_reference(char32_t cp);

// `text` as a code span with a fence one backtick longer than its longest backtick run. Inside a
// pipe-table cell every "|" is escaped, which the table splitter removes again.
void code_span(std::string_view text, bool in_table_cell, std::string& out);

// "%XX" byte escapes decoded; the bytes then read as UTF-8 with invalid sequences as U+FFFD.
std::string unescape_fragment(std::string_view text);

}  // namespace vedavi::markdown
