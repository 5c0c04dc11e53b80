// HTML in md blocks: tag vocabularies, the opening tag of an md-HTML container, the nesting depth
// that finds a raw block's closing tag, and the escaping of raw HTML text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vedavi::block {

// End of the tag name at the start of `text`: an ASCII letter, then letters, digits and "-".
std::optional<std::size_t> tag_name_end(std::string_view text);
// The lower-cased name of a line beginning with "<name" or "</name" followed by white space,
// "/", ">" or the end.
std::optional<std::string> html_tag_name(std::string_view line);

// Names are lower-case.
bool is_md_block_html_tag(std::string_view name);
bool is_md_html_tag(std::string_view name);
bool is_void_html_tag(std::string_view name);
bool is_balanced_html_container_tag(std::string_view name);

// End of an attribute value starting at `pos` (quoted, or unquoted and non-empty).
std::optional<std::size_t> parse_html_attr_value(std::string_view text, std::size_t pos);
// The text between a tag name and its ">" is a well-formed attribute list.
bool valid_open_tag_attrs(std::string_view text);

struct MarkdownOpenTag {
  std::string name;  // lower-case
  std::string text;  // the opening tag without its "markdown" attribute
};
// A trimmed line that is exactly an opening tag of a balanced element with markdown="1".
std::optional<MarkdownOpenTag> markdown_open_tag(std::string_view line);

// Offset of the ">" that ends a tag whose attributes start at `from`, skipping quoted attribute
// values; none when the tag never ends. One forward scan, for a single question about a text.
std::optional<std::size_t> tag_end(std::string_view text, std::size_t from);

// The same answers for many start positions of one text: they are computed together on first
// use, so asking from each "<" of a text such as "<b <b <b ..." stays linear.
class TagEndFinder {
 public:
  explicit TagEndFinder(std::string_view text) : text_(text) {}
  // Offset of the ">" at or after `from`, none when the tag never ends.
  std::optional<std::size_t> find(std::size_t from);

 private:
  std::string_view text_;
  std::vector<std::size_t> end_;  // per position; text_.size() means none
};

// The nesting depth of the element `name` after the tags of `line`.
std::size_t update_html_tag_depth(std::string_view line, std::string_view name, std::size_t depth);

struct RawHtmlText {
  std::string text;
  std::vector<std::size_t> unclosed_comment_lines;  // 0-based source lines
};
// Raw HTML passed through: tags of the dialect and comments stay, any other "<" that starts
// something tag-like becomes "&lt;"; unclosed comments are closed. Most raw HTML passes through
// unchanged: then `source` itself is the result, not a copy of it.
RawHtmlText escape_raw_html(std::string source, std::size_t first_line);

}  // namespace vedavi::block
