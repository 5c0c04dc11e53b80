// Table cells: the many short texts of a table, most of them words alone.
#include "inline/cells.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <new>

#include "inline/parse.h"
#include "inline/scanner.h"
#include "text/utf8.h"

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
// The same less the bytes from which bare links are found, which the memo reads: the scan's
// triggers with "$", which its block search finds.
constexpr ByteTable kGapStops = [] {
  ByteTable table = kCellStops;
  table[':'] = table['.'] = table['@'] = false;
  return table;
}();
static_assert(kGapStops == kTriggerTable<true>);

// The ASCII characters after which the scan tries a bare link in a run of text (`is_boundary`
// of each), as the scan's own table has them.
constexpr ByteTable kLinkBoundaries = byte_table(std::string_view("([{:;'\"/*~ \t\n\v\f\r\0", 18));

// Whether the scan, reading text, tries a bare link at the candidate `q` (not the run's start).
bool boundary_before(std::string_view text, std::size_t q) {
  const auto byte = static_cast<unsigned char>(text[q - 1]);
  if (byte < 0x80) return kLinkBoundaries[byte];
  return is_boundary(utf8::prev_char(text, q));
}

// One inline of a cell read without the scan: a stretch of text, or a construct whose text (the
// code, the emphasis's text, the link's label) is [from, to), the link's destination [url, url_end);
// a bare link's autolink is the `url`th made.
struct CellPiece {
  enum Kind : std::uint8_t { Text, Code, Emph, Strong, Link, Autolink } kind;
  std::size_t from, to;
  std::size_t url = 0, url_end = 0;
};

// The content of a cell made of text, bare links and the constructs the scan makes at once: code
// spans of one backtick (see simple_code_span_close), plain emphasis (see try_plain_emphasis) and
// plain links (see try_plain_link), with no other byte at which the scan does more than read text
// or look for a bare link, and none of those in a span's code, an emphasis's text or a link's
// label. Bare links are found where the scan would find them, from the same memo. Such cells
// ("`name()`", "*word*", "a [word](https://...) b", "a https://... b") are most of a table's,
// and setting up a scan costs many times this look. Empty for any other cell, which the scan
// reads.
template <bool kWithBareLinks>
[[gnu::noinline]] Inlines quick_cell(std::string_view text, const InlineContext& ctx) {
  // Events come from the scan, and a text that is no view of the tree's is copied by it.
  if (ctx.events != nullptr || !ctx.text_outlives_tree) return {};
  constexpr std::size_t kMaxPieces = 8;
  CellPiece pieces[kMaxPieces];
  std::size_t count = 0, children = 0;
  // The bare links' autolinks, made as found; room only, as each is written before it is read.
  alignas(Inline::Autolink) unsigned char link_room[kMaxPieces * sizeof(Inline::Autolink)];
  auto* const links = reinterpret_cast<Inline::Autolink*>(link_room);
  std::size_t link_count = 0;
  const std::size_t n = text.size();
  const auto next_stop = [&](std::size_t from) {
    return find_marked_beyond_words(text, from, n, kCellStops);
  };
  Arena& arena = current_arena();
  // Without bare links, the bytes they are found from end the cell's quick read like any other
  // stop, and no link is looked for. With them, the scan tries one at each candidate the memo
  // names where a run starts (at the text's start and after each construct) or after a
  // boundary, in the text between the constructs; a link may reach over later stop bytes.
  const ByteTable& gap_stops = kWithBareLinks ? kGapStops : kCellStops;
  const bool bare = kWithBareLinks && ctx.options.bare_autolinks;
  AutolinkMemo memo;
  std::size_t start = 0;      // of the text not yet taken
  std::size_t run_start = 0;  // where the scan's dispatch would try a link at once
  std::size_t pos = 0;        // where the search for what comes next goes on
  for (;;) {
    const std::size_t candidate = bare ? memo.next_link_candidate(text, pos) : n;
    std::size_t i;
    if constexpr (kWithBareLinks) i = find_trigger<true>(text, pos, candidate);
    else i = find_marked_beyond_words(text, pos, candidate, gap_stops);
    // A candidate that is a stop byte is the construct's, as in the scan.
    if (i == candidate && i < n && !gap_stops[static_cast<unsigned char>(text[i])]) {
      if (candidate == run_start || boundary_before(text, candidate)) {
        if (auto link = bare_link(text, candidate, &memo, false, true, &arena)) {
          if (count + 3 > kMaxPieces) return {};
          if (candidate > start) pieces[count++] = {CellPiece::Text, start, candidate};
          ::new (links + link_count) Inline::Autolink(std::move(link->autolink));
          pieces[count++] = {CellPiece::Autolink, 0, 0, link_count++};
          start = run_start = pos = link->end;
          continue;
        }
      }
      pos = candidate + 1;  // a candidate is an ASCII byte
      continue;
    }
    if (i >= n) break;
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
        // A bare link may start inside (an address's local part reaches back over "*").
        if (bare && memo.next_link_candidate(text, from) < q) return {};
        piece = {length == 2 ? CellPiece::Strong : CellPiece::Emph, from, q};
        ++children;
        break;
      }
      case '[': {
        // "[^" may be a footnote reference.
        const std::size_t from = i + 1;
        const std::size_t r = next_stop(from);
        if (r == from || r + 1 >= n || text[r] != ']' || text[r + 1] != '(' || text[from] == '^') return {};
        if (bare && memo.next_link_candidate(text, from) < r) return {};
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
    start = run_start = pos = end;
  }
  if (start < n) pieces[count++] = {CellPiece::Text, start, n};
  // The cell's list and each construct's one text in one room, each slice its list's own (and
  // so aligned as a list's room).
  static_assert(sizeof(Inline) % alignof(std::max_align_t) == 0);
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
      case CellPiece::Autolink:
        ::new (at) Inline(Boxed<Inline::Autolink>(arena, std::move(links[piece.url])));
        break;
    }
  }
  return Inlines(room, count, count);
}

}  // namespace

// To the scan at once when the byte at `at` alone asks for it, else through parse_inner's own look.
Inlines parse_syntax_cell(std::string_view text, std::size_t at, const InlineContext& ctx) {
  // A "[" is no syntax byte: a link's first is its "]". A cell whose first syntax byte is none
  // of a bare link's is most often read without looking for one.
  const char c = text[at];
  if (c == '*' || c == '`' || c == ']') {
    if (Inlines cell = quick_cell<false>(text, ctx); !cell.empty()) return cell;
  } else if (c == ':' || c == '@' || c == '.') {
    if (Inlines cell = quick_cell<true>(text, ctx); !cell.empty()) return cell;
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
