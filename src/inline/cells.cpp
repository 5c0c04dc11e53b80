// Table cells: the many short texts of a table, most of them words alone.
#include "inline/cells.h"

#include <cstddef>
#include <cstdint>
#include <optional>
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

// The bytes at which the scan may do more than read text: its triggers ("[" and "!" are no
// syntax byte of their own) and every syntax byte, which bare links start from.
constexpr ByteTable kCellStops = [] {
  ByteTable table = kMaybeSyntax;
  table['['] = table['!'] = true;
  return table;
}();
static_assert(marks_no_word_bytes(kCellStops));

// One inline of a cell read without the scan: a stretch of text, or a construct whose text (the
// code, the emphasis's text, the link's label) is [from, to), the link's destination [url, url_end).
struct CellPiece {
  enum Kind : std::uint8_t { Text, Code, Emph, Strong, Link } kind;
  std::size_t from, to;
  std::size_t url = 0, url_end = 0;
};

// The content of a cell made of plain text and the constructs the scan makes at once: code spans
// of one backtick (see simple_code_span_close), plain emphasis (see try_plain_emphasis) and plain
// links (see try_plain_link), with no other byte at which the scan does more than read text, and
// none in a span's code or a link's label, where a bare link might begin or end. Such cells
// ("`name()`", "*word*", "a [word](https://...) b") are most of a table's, and setting up a scan
// costs many times this look. Empty for any other cell, which the scan reads.
[[gnu::noinline]] Inlines quick_cell(std::string_view text, const InlineContext& ctx) {
  // Events come from the scan, and a text that is no view of the tree's is copied by it.
  if (ctx.events != nullptr || !ctx.text_outlives_tree) return {};
  constexpr std::size_t kMaxPieces = 8;
  CellPiece pieces[kMaxPieces];
  std::size_t count = 0, children = 0;
  const std::size_t n = text.size();
  const auto next_stop = [&](std::size_t from) {
    return find_marked_beyond_words(text, from, n, kCellStops);
  };
  std::size_t start = 0;  // of the text not yet taken
  for (std::size_t i = next_stop(0); i < n; i = next_stop(start)) {
    // Room for a text and a construct here, and a text after the last.
    if (count + 3 > kMaxPieces) return {};
    CellPiece piece;
    std::size_t end;
    switch (text[i]) {
      case '`': {
        const std::size_t close = simple_code_span_close(text, i);
        if (close == std::string_view::npos || next_stop(i + 1) != close) return {};
        piece = {CellPiece::Code, i + 1, close};
        end = close + 1;
        break;
      }
      case '*': {
        const std::size_t length = i + 1 < n && text[i + 1] == '*' ? 2 : 1;
        const std::size_t from = i + length;
        if (from >= n || text[from] == '*') return {};
        const std::size_t q = next_stop(from);
        end = q + length;
        if (end > n || text[q] != '*' || text[end - 1] != '*') return {};
        if (end < n && text[end] == '*') return {};
        if (!pairs_as_plain_emphasis(text, i, from, q, end, '*')) return {};
        piece = {length == 2 ? CellPiece::Strong : CellPiece::Emph, from, q};
        ++children;
        break;
      }
      case '[': {
        // "[^" may be a footnote reference.
        const std::size_t from = i + 1;
        const std::size_t r = next_stop(from);
        if (r == from || r + 1 >= n || text[r] != ']' || text[r + 1] != '(' || text[from] == '^') return {};
        const std::size_t stop = bare_destination_close(text, r + 2);
        if (stop == kNoNode) return {};
        piece = {CellPiece::Link, from, r, r + 2, stop};
        end = stop + 1;
        ++children;
        break;
      }
      default:
        return {};
    }
    // Attribute blocks after a construct are the scan's.
    if (end < n && text[end] == '{') return {};
    if (i > start) pieces[count++] = {CellPiece::Text, start, i};
    pieces[count++] = piece;
    start = end;
  }
  if (start < n) pieces[count++] = {CellPiece::Text, start, n};
  // The cell's list and each construct's one text in one room, each slice its list's own (and
  // so aligned as a list's room).
  static_assert(sizeof(Inline) % alignof(std::max_align_t) == 0);
  Arena& arena = current_arena();
  std::size_t bytes = (count + children) * sizeof(Inline);
  auto* const room = static_cast<Inline*>(arena.allocate_room(bytes, true));
  Inline* child = room + count;
  const auto view = [&](std::size_t from, std::size_t to) { return Str::borrowed(text.substr(from, to - from)); };
  const auto one_text = [&](const CellPiece& piece) {
    ::new (child) Inline(Inline::Text{view(piece.from, piece.to)});
    return Inlines(child++, 1, 1);
  };
  for (std::size_t k = 0; k < count; ++k) {
    const CellPiece& piece = pieces[k];
    Inline* const at = room + k;
    switch (piece.kind) {
      case CellPiece::Text: ::new (at) Inline(Inline::Text{view(piece.from, piece.to)}); break;
      case CellPiece::Code: ::new (at) Inline(Inline::Code{Attr{}, view(piece.from, piece.to)}); break;
      case CellPiece::Emph: ::new (at) Inline(Inline::Emph{Attr{}, one_text(piece)}); break;
      case CellPiece::Strong: ::new (at) Inline(Inline::Strong{Attr{}, one_text(piece)}); break;
      case CellPiece::Link:
        ::new (at) Inline(Boxed<Inline::Link>(
            arena, Inline::Link{view(piece.url, piece.url_end), std::nullopt, Attr{}, one_text(piece)}));
        break;
    }
  }
  return Inlines(room, count, count);
}

}  // namespace

// To the scan at once when the byte at `at` alone asks for it, else through parse_inner's own look.
Inlines parse_syntax_cell(std::string_view text, std::size_t at, const InlineContext& ctx) {
  // A "[" is no syntax byte: a link's first is its "]".
  if (const char c = text[at]; c == '*' || c == '`' || c == ']') {
    if (Inlines cell = quick_cell(text, ctx); !cell.empty()) return cell;
  }
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
