// Table cells: the many short texts of a table, most of them words alone.
#include "inline/cells.h"

#include <cstddef>
#include <new>

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

// The content of a cell whose syntax bytes are the two backticks of one code span, the first
// at `at` (its first syntax byte): the text before the span, the span, the text after it, as
// parse_inner's line path makes them. Empty for any other cell, which parse_inner reads. Such
// cells ("`name()`", "`name()` words") are frequent, and the line path's look at them costs
// more than this one.
[[gnu::noinline]] Inlines code_cell(std::string_view text, std::size_t at, const InlineContext& ctx) {
  const std::size_t close = simple_code_span_close(text, at);
  if (close == std::string_view::npos) return {};
  const std::size_t after = close + 1;
  const std::string_view content = text.substr(at + 1, close - at - 1);
  const std::string_view rest = text.substr(after);
  // An attribute block after the span is the scan's; so is any other syntax byte, even inside
  // the span (an address may reach into it).
  if ((!rest.empty() && rest[0] == '{') || cell_look::find_syntax_byte(content) != content.size() ||
      cell_look::find_syntax_byte(rest) != rest.size())
    return {};
  const bool borrow = ctx.text_outlives_tree;
  const auto str = [&](std::string_view s) { return borrow ? Str::borrowed(s) : Str(s); };
  // Made in room of their own, sized for them.
  const std::size_t count = 1 + (at != 0) + !rest.empty();
  std::size_t bytes = count * sizeof(Inline);
  auto* const room = static_cast<Inline*>(current_arena().allocate_room(bytes, true));
  Inline* end = room;
  if (at != 0) ::new (end++) Inline(Inline::Text{str(text.substr(0, at))});
  if (ctx.events != nullptr) ctx.events->push_back(InlineEvent{InlineEventKind::Code, false, 0, at, after});
  ::new (end++) Inline(Inline::Code{Attr{}, str(content)});
  if (!rest.empty()) ::new (end++) Inline(Inline::Text{str(rest)});
  return Inlines(room, count, bytes / sizeof(Inline));
}

// The bytes at which the scan may do more than read text: its triggers ("[" and "!" are no
// syntax byte of their own) and every syntax byte, which bare links start from.
constexpr ByteTable kCellStops = [] {
  ByteTable table = kMaybeSyntax;
  table['['] = table['!'] = true;
  return table;
}();
static_assert(marks_no_word_bytes(kCellStops));

// The content of a cell whose first syntax byte, at `at`, starts a "*" or "**" that pairs with a
// run as long after it as plain emphasis (as try_plain_emphasis judges), the cell holding no other
// byte at which the scan does more than read text: the text before, the emphasis, the text after,
// as the scan makes them. Empty for any other cell, which the scan reads. Such cells ("*word*",
// "a *word* b") are frequent, and setting up a scan costs many times this look.
[[gnu::noinline]] Inlines emphasis_cell(std::string_view text, std::size_t at, const InlineContext& ctx) {
  // Events come from the scan, and a text that is no view of the tree's is copied by it.
  if (ctx.events != nullptr || !ctx.text_outlives_tree) return {};
  constexpr char ch = '*';
  const std::size_t n = text.size();
  if (find_marked_beyond_words(text, 0, at, kCellStops) != at) return {};
  const std::size_t length = at + 1 < n && text[at + 1] == ch ? 2 : 1;
  const std::size_t from = at + length;
  if (from >= n || text[from] == ch) return {};
  const std::size_t q = find_marked_beyond_words(text, from, n, kCellStops);
  const std::size_t after = q + length;
  if (after > n || text[q] != ch || text[after - 1] != ch) return {};
  if (after < n && (text[after] == ch || text[after] == '{')) return {};
  if (find_marked_beyond_words(text, after, n, kCellStops) != n) return {};
  if (!pairs_as_plain_emphasis(text, at, from, q, after, ch)) return {};
  // The cell's list and the emphasis's one text in one room, each slice its list's own (and so
  // aligned as a list's room).
  static_assert(sizeof(Inline) % alignof(std::max_align_t) == 0);
  const std::size_t count = 1 + (at != 0) + (after != n);
  std::size_t bytes = (count + 1) * sizeof(Inline);
  auto* const room = static_cast<Inline*>(current_arena().allocate_room(bytes, true));
  Inline* const inner = room + count;
  ::new (inner) Inline(Inline::Text{Str::borrowed(text.substr(from, q - from))});
  Inlines children(inner, 1, 1);
  Inline* end = room;
  if (at != 0) ::new (end++) Inline(Inline::Text{Str::borrowed(text.substr(0, at))});
  if (length == 2) ::new (end++) Inline(Inline::Strong{Attr{}, std::move(children)});
  else ::new (end++) Inline(Inline::Emph{Attr{}, std::move(children)});
  if (after != n) ::new (end++) Inline(Inline::Text{Str::borrowed(text.substr(after))});
  return Inlines(room, count, count);
}

}  // namespace

// To the scan at once when the byte at `at` alone asks for it, else through parse_inner's own look.
Inlines parse_syntax_cell(std::string_view text, std::size_t at, const InlineContext& ctx) {
  if (text[at] == '*') {
    if (Inlines cell = emphasis_cell(text, at, ctx); !cell.empty()) return cell;
  }
  if (byte_needs_scan(text, at, ctx)) return InlineScanner(text, ctx).run();
  if (text[at] == '`') {
    if (Inlines cell = code_cell(text, at, ctx); !cell.empty()) return cell;
  }
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
