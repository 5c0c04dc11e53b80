// Template tokens of host template languages: the configured syntaxes, the recogniser used by
// the block and inline parsers, whole-line tokens and tokens inside raw HTML.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vedavi {

// Where a syntax applies: in both contexts, only inside text, or only as a whole line.
enum class TemplateForm : std::uint8_t { Auto = 0, Inline = 1, Block = 2 };

enum class TemplateTokenKind : std::uint8_t {
  Var = 0,           // a value
  Open = 1,          // a section opens
  OpenInverted = 2,  // an inverted section opens
  Close = 3,         // a section closes
  Unknown = 4,
};

struct TemplateMarkers {
  std::string open;
  std::string inverted;
  std::string close;
  friend bool operator==(const TemplateMarkers&, const TemplateMarkers&) = default;
};

struct TemplateBalance {
  char32_t open;
  char32_t close;
  friend bool operator==(const TemplateBalance&, const TemplateBalance&) = default;
};

// One configured template syntax. A delimiter with an empty open or close is never used.
struct TemplateDelimiter {
  std::string syntax;
  std::string open;
  std::string close;
  std::optional<TemplateMarkers> markers;
  std::optional<TemplateBalance> balance;
  TemplateForm form = TemplateForm::Auto;
  friend bool operator==(const TemplateDelimiter&, const TemplateDelimiter&) = default;
};

// One recognised token.
struct TemplateToken {
  std::string syntax;
  std::string source;  // the token as written, open and close included
  std::string body;    // between open and close, untrimmed
  std::string name;
  TemplateForm form = TemplateForm::Auto;
  TemplateTokenKind kind = TemplateTokenKind::Var;
  std::size_t end = 0;  // just past the close, in the text that was searched
  friend bool operator==(const TemplateToken&, const TemplateToken&) = default;
};

// A token found inside raw HTML.
struct HtmlToken {
  std::string syntax;
  std::string body;
  std::string name;
  std::size_t start = 0;
  std::size_t end = 0;
  bool table_context = false;  // the token stands where a table row could
  TemplateTokenKind kind = TemplateTokenKind::Var;
  friend bool operator==(const HtmlToken&, const HtmlToken&) = default;
};

// `template` is a keyword, hence the plural.
namespace templates {

// "auto", "inline", "block"; none for any other word.
std::optional<TemplateForm> form_from_name(std::string_view name);
// The kind as the Python node data names it: "var", "open" (also for inverted), "close", "unknown".
std::string_view kind_node_word(TemplateTokenKind kind);
// The kind as VEDAVI HTML names it: "value", "section", "inverted", "end", "unknown".
std::string_view kind_html_word(TemplateTokenKind kind);

// What earlier calls of `token_at` over one text learned, so that trying every position of that
// text stays linear: per delimiter, how far the last search for its close looked, and for a
// delimiter with a balance pair an index of where a body starting at any offset ends (built once,
// in one pass). Use one cache per text and delimiter list; a different text clears it.
class CloseCache {
 public:
  // The end of a body that starts at `from` for delimiter number `index` of the list: the first
  // close, or for a balanced delimiter the first close at depth 0 outside quotes and escapes.
  std::optional<std::size_t> body_end(std::string_view text, std::size_t index,
                                      const TemplateDelimiter& delimiter, std::size_t from);

 private:
  struct Entry {
    bool searched = false;
    std::size_t searched_from = 0;
    std::optional<std::size_t> found;  // none: no close at or after searched_from
    std::vector<std::uint32_t> balanced_ends;  // per start offset; empty until first needed
  };
  std::optional<std::size_t> find_close(std::string_view text, Entry& entry, std::string_view close,
                                        std::size_t from);

  const char* text_data_ = nullptr;
  std::size_t text_size_ = 0;
  std::vector<Entry> entries_;
};

// A token that starts exactly at `pos`. `block_context` selects the Auto and Block forms,
// otherwise Auto and Inline.
std::optional<TemplateToken> token_at(std::string_view text, std::size_t pos,
                                      std::span<const TemplateDelimiter> delimiters,
                                      bool block_context);
// The same, sharing close searches with earlier calls over the same text.
std::optional<TemplateToken> token_at(std::string_view text, std::size_t pos,
                                      std::span<const TemplateDelimiter> delimiters,
                                      bool block_context, CloseCache& cache);

// A token that makes up the whole (trimmed) line; offsets refer to the trimmed line.
std::optional<TemplateToken> line_token(std::string_view line,
                                        std::span<const TemplateDelimiter> delimiters);

// The tokens inside raw HTML, in source order, skipping tags, comments, CDATA and raw-text
// elements.
std::vector<HtmlToken> html_tokens(std::string_view html,
                                   std::span<const TemplateDelimiter> delimiters);

}  // namespace templates
}  // namespace vedavi
