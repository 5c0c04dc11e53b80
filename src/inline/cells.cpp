// Table cells: the many short texts of a table, most of them words alone.
#include "inline/cells.h"

#include "inline/parse.h"
#include "inline/scanner.h"

namespace vedavi::inl {
namespace {

// Whether the syntax byte at `at` alone sends the text to the scan, as the first pass would judge
// it (a byte that does so does it wherever it stands): the cell then goes to the scan at once,
// not through that pass as well.
bool byte_needs_scan(std::string_view text, std::size_t at, const InlineContext& ctx) {
  const char next = at + 1 < text.size() ? text[at + 1] : '\0';
  switch (text[at]) {
    case '&': case '*': case '<': case '\\': case '~': case '^': case '@':
      return true;
    case ']':
      return !ctx.links.empty() || next == '(' || next == '[' || next == '{';
    case ':':
      return ctx.options.bare_autolinks && next == '/' && at + 2 < text.size() && text[at + 2] == '/';
    case '.':
      // "www." opens a bare link: such cells skip the first pass, which would only find it again.
      return ctx.options.bare_autolinks && at >= 3 && text.substr(at - 3, 4) == "www.";
    case '$':
      return ctx.options.math == MathMode::Dollars || (ctx.options.math == MathMode::Brackets && next == '$');
    case '=':
      return next == '=';
    default:
      return false;
  }
}

}  // namespace

// To the scan at once when the byte at `at` alone asks for it, else through parse_inner's own look.
Inlines parse_syntax_cell(std::string_view text, std::size_t at, const InlineContext& ctx) {
  if (byte_needs_scan(text, at, ctx)) return InlineScanner(text, ctx).run();
  return parse_inner(text, ctx);
}

Inlines parse_cell(std::string_view text, const InlineContext& ctx) {
  // An empty text and templates are the first pass's to judge.
  if (text.empty() || !ctx.options.templates.empty()) return parse_inner(text, ctx);
  const std::size_t at = cell_look::find_syntax_byte(text);
  if (at != text.size()) return parse_syntax_cell(text, at, ctx);
  Inlines out;
  out.reserve(1);
  out.emplace_back(Inline::Text{ctx.text_outlives_tree ? Str::borrowed(text) : Str(text)});
  return out;
}

}  // namespace vedavi::inl
