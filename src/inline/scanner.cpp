// The inline parser's entry, its fast path and the dispatch at each offset of the scan.
#include "inline/scanner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "inline/xref.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

// Inlined: with a literal needle the comparison becomes a few byte tests, and "." and ":", which
// prose is full of, are tested at each of theirs.
[[gnu::always_inline]] inline bool has_at(std::string_view text, std::size_t i,
                                          std::string_view needle) {
  if (i > text.size() || text.size() - i < needle.size()) return false;
  for (std::size_t k = 0; k < needle.size(); ++k)
    if (text[i + k] != needle[k]) return false;
  return true;
}

// What the scan would make of a text: nothing but the text (Plain); its lines as texts between
// soft breaks, with code spans among them (Lines); or more (Scan).
enum class TextShape : std::uint8_t { Plain, Lines, Scan };

#if defined(__SSE2__)

// The marked bytes of sixteen, as bit masks by what they ask of text_shape: `scan` bytes send the
// text to the scan wherever they stand, line feeds and backticks (`breaks`) are counted, and the
// rest (`look`) depend on their neighbours. Which class "]" and "$" fall in depends on the
// options, given as all-ones or all-zero masks. Prose marks a byte in most blocks, so the classes
// are told apart here, without a branch per byte.
struct ShapeMasks {
  unsigned scan, breaks, look;
};

struct ShapeOptions {
  __m128i close_scans, close_looks, dollar_scans, dollar_looks, links;
};

// The classes of a block as byte masks (all ones where a byte is in the class).
struct ShapeBytes {
  __m128i scan, breaks, look;
};

[[gnu::always_inline]] inline ShapeBytes shape_bytes(__m128i chunk, const ShapeOptions& o) {
  const auto is = [&](char c) { return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)); };
  const auto either = [](__m128i a, __m128i b) { return _mm_or_si128(a, b); };
  // The options pick classes byte by byte, so each class takes one mask.
  const __m128i close = is(']'), dollar = is('$');
  // "~" and "^" are one bit apart: setting it tells both at once.
  const __m128i tilde_caret = _mm_cmpeq_epi8(_mm_or_si128(chunk, _mm_set1_epi8(0x20)), _mm_set1_epi8('~'));
  const __m128i always = either(
      either(either(is('&'), is('*')), either(is('<'), is('\\'))), either(tilde_caret, is('@')));
  const __m128i scan = either(always, either(_mm_and_si128(close, o.close_scans),
                                             _mm_and_si128(dollar, o.dollar_scans)));
  const __m128i look = either(
      either(either(is('_'), is('=')), _mm_and_si128(either(is(':'), is('.')), o.links)),
      either(_mm_and_si128(close, o.close_looks), _mm_and_si128(dollar, o.dollar_looks)));
  return ShapeBytes{scan, either(is('\n'), is('`')), look};
}

[[gnu::always_inline]] inline unsigned bits_of(__m128i bytes) {
  return static_cast<unsigned>(_mm_movemask_epi8(bytes));
}

[[gnu::always_inline]] inline ShapeMasks shape_masks(__m128i chunk, const ShapeOptions& o) {
  const ShapeBytes b = shape_bytes(chunk, o);
  return ShapeMasks{bits_of(b.scan), bits_of(b.breaks), bits_of(b.look)};
}

// shape_masks of a text shorter than a block, by offset. Its bytes are gathered by two
// overlapping loads from both ends (or, below four bytes, its first, middle and last byte), so
// nothing past the text is read; the rest of the block is NUL, which no class holds. A byte read
// twice sets its bit twice.
ShapeMasks short_shape_masks(const unsigned char* bytes, std::size_t size, const ShapeOptions& o) {
  const auto load32 = [](const unsigned char* at) {
    std::uint32_t word;
    std::memcpy(&word, at, 4);
    return _mm_cvtsi32_si128(static_cast<int>(word));
  };
  // Each maps a mask of the gathered block to offsets.
  ShapeMasks m;
  if (size >= 8) {
    m = shape_masks(
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + size - 8))),
        o);
    const auto at = [&](unsigned mask) { return (mask & 0xFFu) | (mask >> 8) << (size - 8); };
    return ShapeMasks{at(m.scan), at(m.breaks), at(m.look)};
  }
  if (size >= 4) {
    m = shape_masks(_mm_unpacklo_epi32(load32(bytes), load32(bytes + size - 4)), o);
    const auto at = [&](unsigned mask) { return (mask & 0xFu) | (mask >> 4) << (size - 4); };
    return ShapeMasks{at(m.scan), at(m.breaks), at(m.look)};
  }
  const std::uint32_t gathered = std::uint32_t{bytes[0]} | std::uint32_t{bytes[size / 2]} << 8 |
                                 std::uint32_t{bytes[size - 1]} << 16;
  m = shape_masks(_mm_cvtsi32_si128(static_cast<int>(gathered)), o);
  const auto at = [&](unsigned mask) {
    return (mask & 1u) | (mask >> 1 & 1u) << (size / 2) | (mask >> 2 & 1u) << (size - 1);
  };
  return ShapeMasks{at(m.scan), at(m.breaks), at(m.look)};
}

// The number of bits set in a block's mask, without a call (the baseline target has no popcount
// instruction).
inline unsigned count_bits16(unsigned mask) {
  mask = mask - (mask >> 1 & 0x5555u);
  mask = (mask & 0x3333u) + (mask >> 2 & 0x3333u);
  mask = (mask + (mask >> 4)) & 0x0F0Fu;
  return (mask + (mask >> 8)) & 0x1Fu;
}

// Whether the byte of a `look` mask at offset `i` of a text asks for the scan.
bool looked_at_needs_scan(std::string_view text, std::size_t i) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::size_t next = i + 1 < n ? bytes[i + 1] : 0;
  switch (bytes[i]) {
    case '_': {
      // A run of "_" between two ASCII letters or digits ("snake_case") neither opens nor
      // closes: it reads as written. The run is judged at its first "_".
      if (i > 0 && bytes[i - 1] == '_') return false;
      if (i == 0 || !scan::is_ascii_alnum(text[i - 1])) return true;
      std::size_t end = i + 1;
      while (end < n && bytes[end] == '_') ++end;
      return end == n || !scan::is_ascii_alnum(text[end]);
    }
    case '=':
      return next == '=';
    case ']':
      return next == '(' || next == '[' || next == '{';
    case '$':
      return next == '$';
    case ':':
      return has_at(text, i, "://");
    default:  // '.'
      return i >= 3 && has_at(text, i - 3, "www.");
  }
}

// text_shape without templates, a block at a time. The answer does not depend on the order in
// which bytes are looked at, so each block's classes are taken whole.
TextShape text_shape_blockwise(std::string_view text, const InlineContext& ctx,
                               std::size_t& breaks) {
  const Options& o = ctx.options;
  const bool has_definitions = !ctx.links.empty();
  const auto all = [](bool b) { return b ? _mm_set1_epi8(-1) : _mm_setzero_si128(); };
  const ShapeOptions options{all(has_definitions), all(!has_definitions),
                             all(o.math == MathMode::Dollars), all(o.math == MathMode::Brackets),
                             all(o.bare_autolinks)};
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const auto needs_scan = [&](const ShapeMasks& m, std::size_t base) {
    if (m.scan != 0) return true;
    breaks += count_bits16(m.breaks);
    for (unsigned look = m.look; look != 0; look &= look - 1)
      if (looked_at_needs_scan(text, base + static_cast<std::size_t>(__builtin_ctz(look)))) return true;
    return false;
  };
  if (n < 16) {
    if (n != 0 && needs_scan(short_shape_masks(bytes, n, options), 0)) return TextShape::Scan;
    return breaks != 0 ? TextShape::Lines : TextShape::Plain;
  }
  // The line feeds and backticks of whole blocks are summed in the vector unit (a block's count
  // in a few instructions, no bit count of its mask) and added to `breaks` once at the end.
  __m128i counted = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const ShapeBytes b =
        shape_bytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)), options);
    if (bits_of(b.scan) != 0) return TextShape::Scan;
    for (unsigned look = bits_of(b.look); look != 0; look &= look - 1)
      if (looked_at_needs_scan(text, i + static_cast<std::size_t>(__builtin_ctz(look))))
        return TextShape::Scan;
    counted = _mm_add_epi64(counted, _mm_sad_epu8(_mm_and_si128(b.breaks, _mm_set1_epi8(1)),
                                                  _mm_setzero_si128()));
  }
  breaks += static_cast<std::size_t>(_mm_cvtsi128_si64(counted)) +
            static_cast<std::size_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(counted, counted)));
  if (i < n) {
    // The text's last block, overlapping bytes already looked at, which are shifted out.
    const ShapeMasks m =
        shape_masks(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + n - 16)), options);
    const auto shift = static_cast<unsigned>(16 - (n - i));
    if (needs_scan(ShapeMasks{m.scan >> shift, m.breaks >> shift, m.look >> shift}, i))
      return TextShape::Scan;
  }
  return breaks != 0 ? TextShape::Lines : TextShape::Plain;
}

#endif

// The shape of a text, in one pass over its bytes: only those in the masks are looked at more
// closely. Line feeds and backticks are no reason to scan: most paragraphs of prose hold nothing
// else. Counts them into `breaks` as it goes.
TextShape text_shape(std::string_view text, const InlineContext& ctx, std::size_t& breaks) {
  constexpr TextShape Scan = TextShape::Scan;
  const Options& o = ctx.options;
  // With definitions, any "]" may close a reference ("[label]"); without, only "](", "][" or "]{"
  // starts something.
  const bool has_definitions = !ctx.links.empty();
  // The scan makes no inline of an empty text; where labels are defined, callers have always
  // seen that answer, and elsewhere an empty text inline.
  if (has_definitions && text.empty()) return Scan;
#if defined(__SSE2__)
  if (o.templates.empty()) return text_shape_blockwise(text, ctx, breaks);
#endif
  // Most documents have no templates: the constant mask serves them without a copy per text.
  ByteTable with_templates;
  bool skips_words = true;
  if (!o.templates.empty()) {
    with_templates = kMaybeSyntax;
    for (const TemplateDelimiter& d : o.templates) {
      if (d.open.empty()) return Scan;
      const auto first = static_cast<unsigned char>(d.open[0]);
      with_templates[first] = true;
      if (is_word_byte(first)) skips_words = false;
    }
  }
  const ByteTable& mask = o.templates.empty() ? kMaybeSyntax : with_templates;
  const auto next_marked = [&](std::size_t from) {
    return skips_words ? find_marked_beyond_words(text, from, text.size(), mask)
                       : find_marked(text, from, text.size(), mask);
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = next_marked(0); i < n; i = next_marked(i + 1)) {
    for (const TemplateDelimiter& d : o.templates)
      if (has_at(text, i, d.open)) return Scan;
    switch (bytes[i]) {
      case '\n':
      case '`':
        ++breaks;
        break;
      case '_': {
        // A run of "_" between two ASCII letters or digits ("snake_case") neither opens nor
        // closes: it reads as written (unless a template might start inside it).
        std::size_t end = i + 1;
        while (end < n && bytes[end] == '_') ++end;
        if (!o.templates.empty() || i == 0 || end == n || !scan::is_ascii_alnum(text[i - 1]) ||
            !scan::is_ascii_alnum(text[end]))
          return Scan;
        i = end - 1;
        break;
      }
      case '&': case '*': case '<': case '\\': case '~': case '^':
        return Scan;
      case '=':
        if (has_at(text, i, "==")) return Scan;
        break;
      case ']':
        if (has_definitions || has_at(text, i, "](") || has_at(text, i, "][") || has_at(text, i, "]{")) return Scan;
        break;
      case '$':
        if (o.math == MathMode::Dollars) return Scan;
        if (o.math == MathMode::Brackets && has_at(text, i, "$$")) return Scan;
        break;
      // "@" always needs the scan: it may make a cross-reference, whatever the autolink setting.
      case '@':
        return Scan;
      case ':':
        if (o.bare_autolinks && has_at(text, i, "://")) return Scan;
        break;
      case '.':
        if (o.bare_autolinks && i >= 3 && has_at(text, i - 3, "www.")) return Scan;
        break;
      default:
        break;
    }
  }
  return breaks != 0 ? TextShape::Lines : TextShape::Plain;
}

// The inlines of a text of TextShape::Lines: each line less its trailing spaces, as a text when
// any is left, then a soft break; code spans as the scan makes them. None when a backtick run
// opens no span or attributes follow one, which only the scan reads (a backtick run that opens
// none is a scan's first search to the end, so a text costs at most that once).
std::optional<Inlines> line_inlines(std::string_view text, std::size_t breaks,
                                    const InlineContext& ctx) {
  const bool borrow = ctx.text_outlives_tree;
  const std::size_t events_before = ctx.events != nullptr ? ctx.events->size() : 0;
  Inlines out;
  out.reserve(2 * breaks + 1);
  const auto push_text = [&](std::size_t from, std::size_t to) {
    if (to > from) {
      const std::string_view line = text.substr(from, to - from);
      out.emplace_back(Inline::Text{borrow ? Str::borrowed(line) : Str(line)});
    }
  };
  std::size_t start = 0;
  for (std::size_t at = find_any_of<'\n', '`'>(text, 0, text.size()); at < text.size();
       at = find_any_of<'\n', '`'>(text, at, text.size())) {
    if (text[at] == '\n') {
      std::size_t end = at;
      while (end > start && text[end - 1] == ' ') --end;
      push_text(start, end);
      out.emplace_back(Inline::SoftBreak{});
      start = at = at + 1;
      continue;
    }
    std::optional<CodeSpanText> span;
    if (const std::size_t close = simple_code_span_close(text, at); close != std::string_view::npos) {
      const std::string_view content = text.substr(at + 1, close - at - 1);
      span.emplace(CodeSpanText{borrow ? Str::borrowed(content) : Str(content), close + 1});
    } else {
      span = code_span_text(text, at, nullptr, borrow);
    }
    if (!span || (span->end < text.size() && text[span->end] == '{')) {
      if (ctx.events != nullptr) ctx.events->resize(events_before);  // the scan records its own
      return std::nullopt;
    }
    push_text(start, at);
    if (ctx.events != nullptr)
      ctx.events->push_back(InlineEvent{InlineEventKind::Code, false, 0, at, span->end});
    out.emplace_back(Inline::Code{Attr{}, std::move(span->text)});
    start = at = span->end;
  }
  push_text(start, text.size());
  return out;
}

}  // namespace

Inlines parse_inner(std::string_view text, const InlineContext& ctx) {
  std::size_t breaks = 0;
  switch (text_shape(text, ctx, breaks)) {
    case TextShape::Plain: {
      Inlines out;
      out.reserve(1);
      out.emplace_back(Inline::Text{ctx.text_outlives_tree ? Str::borrowed(text) : Str(text)});
      return out;
    }
    case TextShape::Lines:
      if (auto lines = line_inlines(text, breaks, ctx)) return std::move(*lines);
      break;
    case TextShape::Scan:
      break;
  }
  return InlineScanner(text, ctx).run();
}

namespace {

// Bytes that may start a construct other than a bare link.
// "&" starts nothing, but a literal run stops before it, so that only runs starting with one may
// hold a character reference.
constexpr ByteTable kTriggers = byte_table("\\`^~[]!*_=<\n&");
// The ASCII characters after which a bare link may start (`is_boundary` of each).
constexpr ByteTable kLinkBoundaries = byte_table(std::string_view("([{:;'\"/*~ \t\n\v\f\r\0", 18));

}  // namespace

ScanBuffers& InlineScanner::pick_buffers_slow(ScanBuffers* shared) {
  // A scan that stopped on an error may have left its state behind, and a scan started inside
  // another must not take the outer one's state.
  const bool owned = shared == nullptr || shared->in_use;
  ScanBuffers& b = owned ? own_buffers_.emplace() : *shared;
  b.start_scan();
  if (!b.tables_ready) {
    const Options& options = ctx_.options;
    b.trigger = kTriggers;
    if (options.math >= MathMode::Brackets) b.trigger['$'] = true;
    // The fixed triggers are punctuation; only a template may start with a word byte.
    static_assert(marks_no_word_bytes(kTriggers) && !is_word_byte('$'));
    b.trigger_skips_words = true;
    static_assert(kTriggerTable<false> == kTriggers);
    b.fixed_triggers = !options.templates.empty()          ? ScanBuffers::FixedTriggers::None
                       : options.math >= MathMode::Brackets ? ScanBuffers::FixedTriggers::WithDollar
                                                            : ScanBuffers::FixedTriggers::Plain;
    for (const TemplateDelimiter& d : options.templates) {
      if (d.open.empty()) continue;
      const auto first = static_cast<unsigned char>(d.open[0]);
      b.trigger[first] = true;
      if (is_word_byte(first)) b.trigger_skips_words = false;
    }
    b.tables_ready = true;
  }
  if (owned) {
    // Every trigger may push a node and the text before it another: room for that many, within
    // reason, spares a lone scan most of the node list's regrowth. Shared buffers keep the room
    // the earlier texts grew instead.
    std::size_t triggers = 0;
    for (unsigned char c : text_) triggers += b.trigger[c];
    b.nodes.reserve_first(2 * triggers + 2);
  }
  return b;
}

Inlines InlineScanner::run() {
  const std::size_t n = text_.size();
  while (p_ < n) {
    const char c = text_[p_];
    if (!buffers_.trigger[static_cast<unsigned char>(c)]) {
      // Only a bare link can start here.
      if (!bare_autolinks_) {
        literal_run(n);
        continue;
      }
      const std::size_t candidate = autolinks_.next_link_candidate(text_, p_);
      if (candidate == p_ && take_bare_autolink()) continue;
      literal_run(candidate);
      continue;
    }
    // Every rule checks its own first character; checking it here as well spares a call per rule
    // at each trigger, and a line feed starts nothing but a template token.
    if (has_templates() && try_template()) continue;
    // One jump on the trigger; the rules tried at each are those that may start with it, in
    // the order they take precedence.
    switch (c) {
      case '\n':
        line_feed();
        continue;
      case '\\':
      case '$':
        if (try_bracket_math() || try_dollar_math()) continue;
        break;
      case '`':
        if (try_code_span()) continue;
        break;
      case '^':
        if (p_ + 1 < n && text_[p_ + 1] == '[') {
          push_bracket(BracketKind::Note, p_ + 2);
          continue;
        }
        if (try_superscript()) continue;
        break;
      case '~':
        if (!try_subscript()) delimiter_run();
        continue;
      case '[':
        // A footnote reference starts "[^" (or "![^").
        if (p_ + 1 < n && text_[p_ + 1] == '^' && try_footnote_ref()) continue;
        if (!try_plain_link()) push_bracket(BracketKind::Link, p_ + 1);
        continue;
      case '!':
        if (p_ + 2 < n && text_[p_ + 2] == '^' && try_footnote_ref()) continue;
        if (p_ + 1 < n && text_[p_ + 1] == '[') {
          push_bracket(BracketKind::Image, p_ + 2);
          continue;
        }
        break;
      case ']':
        close_bracket();
        continue;
      case '*':
      case '_':
        if (!try_plain_emphasis()) delimiter_run();
        continue;
      case '=':
        delimiter_run();
        continue;
      case '<':
        if (try_angle()) continue;
        break;
      default:
        break;
    }
    if (try_bare_autolink()) continue;
    if (c == '\\' && p_ + 1 < n && scan::is_ascii_punctuation(static_cast<unsigned char>(text_[p_ + 1]))) {
      escape();
      continue;
    }
    literal_run();
  }
  flush_text();
  process_delimiters(0);
  drop_unlinked_events();
  Inlines out;
  // Adjacent texts are joined here, on the way out, rather than moved down in a later pass.
  // Nodes are only ever appended, and a construct that takes some puts back at most one where
  // they stood, so the live list runs in index order: when no node died (most texts) it is the
  // array itself, read straight through rather than link by link.
  if (live_nodes_ == buffers_.nodes.size()) {
    if (live_nodes_ != 0) out = move_out_all();
  } else {
    out.reserve(arena_, live_nodes_);
    for (std::size_t k = head_; k != kNoNode; k = buffers_.nodes[k].next)
      push_coalesced(out, std::move(buffers_.nodes[k].value));
  }
  if (!needs_coalesce_) return out;
  return coalesce(std::move(out));
}

// ---- Nodes and events ------------------------------------------------------------------------

Inlines InlineScanner::move_out_all() {
  // Made in room of their own, sized for every node: no element asks whether the list is full.
  // Each inline is carried over as its bytes. Every alternative is a few pointers, sizes and
  // flags into the arena, none into the node itself, and needs no destructor: the copy is the
  // value, and the node's bytes are forgotten with the scan, so nothing is owned twice. The
  // variant's own move would jump on the kind through a table, a jump that the mix of kinds
  // in a text defeats at nearly every node, and empty the node it leaves.
  static_assert(std::is_trivially_destructible_v<Inline>);
  const std::size_t count = live_nodes_;
  std::size_t bytes = count * sizeof(Inline);
  Inline* const room = static_cast<Inline*>(arena_.allocate_room(bytes, true));
  Inline* end = room;
  bool last_is_text = false;
  // A chunk at a time, its nodes through a pointer held here: the bytes written might otherwise
  // be the scanner's own fields, read again for every node.
  constexpr std::size_t kChunk = ChunkedArray<ScanNode>::kChunk;
  for (std::size_t base = 0; base < count; base += kChunk) {
    const ScanNode* const chunk = &buffers_.nodes[base];
    const std::size_t chunk_size = std::min(kChunk, count - base);
    for (std::size_t k = 0; k < chunk_size; ++k) {
      const Inline& value = chunk[k].value;
      const bool is_text = value.kind() == InlineKind::Text;
      if (is_text && last_is_text) [[unlikely]] {
        std::get_if<Inline::Text>(&end[-1].data)->text += std::get_if<Inline::Text>(&value.data)->text;
        continue;
      }
      std::memcpy(static_cast<void*>(end), static_cast<const void*>(&value), sizeof(Inline));
      ++end;
      last_is_text = is_text;
    }
  }
  return Inlines(room, static_cast<std::size_t>(end - room), bytes / sizeof(Inline));
}

void InlineScanner::push_held_text() {
  // Every stretch appended to the pending text is one of the scanned text.
  push_node(Inline::Text{buffers_.pending.take(arena_, ctx_.text_outlives_tree)});
}

void InlineScanner::kill(std::size_t k) {
  Node& node = buffers_.nodes[k];
  if (!node.live) return;
  node.live = false;
  --live_nodes_;
  if (node.prev != kNoNode) buffers_.nodes[node.prev].next = node.next;
  else head_ = node.next;
  if (node.next != kNoNode) buffers_.nodes[node.next].prev = node.prev;
  else tail_ = node.prev;
  node.prev = node.next = kNoNode;
}

void InlineScanner::take_nodes(std::size_t first, std::size_t stop, Inlines& out) {
  if (first == stop || first == kNoNode) return;
  // Counted first, so the list is allocated once rather than grown node by node.
  std::size_t count = 0;
  for (std::size_t k = first; k != stop && k != kNoNode; k = buffers_.nodes[k].next) ++count;
  out.reserve(out.size() + count);
  // The taken nodes are one stretch of the live list: it is cut out once, at its ends, rather
  // than node by node.
  const std::size_t before = buffers_.nodes[first].prev;
  bool last_is_text = !out.empty() && out.back().kind() == InlineKind::Text;
  std::size_t k = first;
  while (k != stop && k != kNoNode) {
    Node& node = buffers_.nodes[k];
    const bool is_text = node.value.kind() == InlineKind::Text;
    if (last_is_text && is_text) needs_coalesce_ = true;
    last_is_text = is_text;
    out.push_back(std::move(node.value));
    k = node.next;
    node.live = false;
    node.prev = node.next = kNoNode;
  }
  if (before != kNoNode) buffers_.nodes[before].next = k;
  else head_ = k;
  if (k != kNoNode) buffers_.nodes[k].prev = before;
  else tail_ = before;
  live_nodes_ -= count;
}

// ---- Trailing attribute blocks ---------------------------------------------------------------

std::size_t InlineScanner::read_attrs_at(std::size_t node, std::size_t p) {
  Inline& value = buffers_.nodes[node].value;
  std::size_t q = p;
  if (accepts_attrs(value.kind())) {
    while (auto block = read_attr(q)) {
      value.attr()->merge(block->attr);
      q += block->consumed;
    }
  }
  if (q > p) emit(InlineEventKind::Attrs, p, q);
  return q;
}

std::size_t InlineScanner::apply_attrs_at(std::size_t node, std::size_t p) {
  Inline& value = buffers_.nodes[node].value;
  std::size_t q = p;
  if (accepts_attrs(value.kind())) {
    while (auto block = read_attr(q)) {
      std::optional<std::string> variant;
      auto& pairs = block->attr.pairs_mut();
      for (auto it = pairs.begin(); it != pairs.end(); ++it) {
        if (it->first == "ref") {
          variant = std::move(it->second);
          pairs.erase(it);
          break;
        }
      }
      value.attr()->merge(block->attr);
      if (variant) apply_ref_variant(value, *variant);
      q += block->consumed;
    }
  }
  if (q > p) emit(InlineEventKind::Attrs, p, q);
  return q;
}

// ---- Dispatch rules --------------------------------------------------------------------------

bool InlineScanner::try_template() {
  const auto& templates = ctx_.options.templates;
  if (templates.empty() || text_[p_] == '`')
    return false;
  if (!template_closes_) template_closes_.emplace();
  auto token = templates::token_at(text_, p_, templates, false, *template_closes_);
  if (!token) return false;
  flush_text();
  const std::size_t end = token->end;
  emit(InlineEventKind::TemplateToken, p_, end);
  push_node(Inline(std::move(*token)));
  p_ = end;
  return true;
}

bool InlineScanner::try_bracket_math() {
  if (ctx_.options.math < MathMode::Brackets || p_ + 1 >= text_.size()) return false;
  const char a = text_[p_], b = text_[p_ + 1];
  std::string_view closer;
  MathMemo memo;
  bool display;
  if (a == '\\' && b == '[') {
    closer = "\\]", memo = kDisplayBracket, display = true;
  } else if (a == '\\' && b == '(') {
    closer = "\\)", memo = kParen, display = false;
  } else if (a == '$' && b == '$') {
    closer = "$$", memo = kDoubleDollar, display = true;
  } else {
    return false;
  }
  const std::size_t from = p_ + 2;
  if (from >= math_failed_from_[memo]) return false;
  const auto q = scan::find_unescaped(text_, from, closer);
  if (!q) {
    math_failed_from_[memo] = from;
    return false;
  }
  std::string_view tex = text_.substr(from, *q - from);
  if (memo == kDoubleDollar) tex = unicode::trim(tex);
  flush_text();
  emit(InlineEventKind::MathInline, p_, *q + 2);
  p_ = push_with_attrs(Inline::MathInline{Attr{}, std::string(tex), display}, *q + 2);
  return true;
}

bool InlineScanner::try_dollar_math() {
  if (ctx_.options.math != MathMode::Dollars || text_[p_] != '$') return false;
  const std::size_t from = p_ + 1;
  if (from >= math_failed_from_[kDollar] || from >= text_.size()) return false;
  const utf8::Decoded first = utf8::decode(text_, from);
  if (first.cp == '$' || unicode::is_white_space(first.cp)) return false;
  for (std::size_t i = from; i < text_.size();) {
    const utf8::Decoded d = utf8::decode(text_, i);
    if (d.cp == '$' && i > from && !unicode::is_white_space(utf8::prev_char(text_, i))) {
      const char after = i + 1 < text_.size() ? text_[i + 1] : '\0';
      if (after == '$') break;
      if (!scan::is_ascii_digit(after)) {
        flush_text();
        emit(InlineEventKind::MathInline, p_, i + 1);
        p_ = push_with_attrs(
            Inline::MathInline{Attr{}, std::string(text_.substr(from, i - from)), false}, i + 1);
        return true;
      }
    }
    i += d.len;
  }
  math_failed_from_[kDollar] = from;
  return false;
}

bool InlineScanner::try_code_span() {
  if (text_[p_] != '`') return false;
  const std::size_t n = text_.size();
  if (const std::size_t close = simple_code_span_close(text_, p_); close != std::string_view::npos) {
    const std::string_view content(text_.data() + p_ + 1, close - p_ - 1);
    finish_code_span(ctx_.text_outlives_tree ? Str::borrowed(content) : Str::copied_into(arena_, content),
                     close + 1);
    return true;
  }
  auto span = code_span_text(text_, p_, &buffers_.backticks, ctx_.text_outlives_tree);
  if (!span) {
    std::size_t end = p_;
    while (end < n && text_[end] == '`') ++end;
    buffers_.pending.append(text_.substr(p_, end - p_), false);
    p_ = end;
    return true;
  }
  finish_code_span(span->text, span->end);
  return true;
}

void InlineScanner::finish_code_span(Str code, std::size_t e) {
  flush_text();
  emit(InlineEventKind::Code, p_, e);
  // A raw marker opens with "{", which most spans have none of after them.
  if (auto raw = attr_block_at(e) ? attrs::raw_attr(text_.substr(e)) : std::nullopt) {
    const std::size_t end = e + raw->consumed;
    emit(InlineEventKind::Attrs, e, end);
    emit(InlineEventKind::RawInline, p_, end);
    push_node(Inline::RawInline{std::string(raw->format), std::string(code)});
    p_ = end;
    return;
  }
  p_ = push_with_attrs(Inline::Code{Attr{}, code}, e);
}

bool InlineScanner::try_superscript() {
  if (text_[p_] != '^') return false;
  const auto q = script_end(text_, p_ + 1, '^');
  if (!q) return false;
  flush_text();
  emit(InlineEventKind::Superscript, p_, *q + 1);
  p_ = push_with_attrs(Inline::Superscript{Attr{}, std::string(text_.substr(p_ + 1, *q - p_ - 1))},
                       *q + 1);
  return true;
}

bool InlineScanner::try_subscript() {
  if (text_[p_] != '~') return false;
  if (p_ + 1 < text_.size() && text_[p_ + 1] == '~') return false;
  if (p_ > 0 && text_[p_ - 1] == '~') return false;
  const auto q = script_end(text_, p_ + 1, '~');
  if (!q) return false;
  flush_text();
  emit(InlineEventKind::Subscript, p_, *q + 1);
  p_ = push_with_attrs(Inline::Subscript{Attr{}, std::string(text_.substr(p_ + 1, *q - p_ - 1))},
                       *q + 1);
  return true;
}

bool InlineScanner::try_footnote_ref() {
  const char c = text_[p_];
  if (c == '[') {
    auto ref = footnote_ref(text_, p_, ctx_.footnotes);
    if (!ref) return false;
    flush_text();
    emit(InlineEventKind::FootnoteRef, p_, ref->end);
    push_node(std::move(ref->inline_));
    p_ = ref->end;
    return true;
  }
  if (c == '!' && text_.substr(p_, 3) == "![^") {
    auto ref = footnote_ref(text_, p_ + 1, ctx_.footnotes);
    if (!ref) return false;
    flush_text();
    push_node(Inline::Text{"!"});
    emit(InlineEventKind::FootnoteRef, p_ + 1, ref->end);
    push_node(std::move(ref->inline_));
    p_ = ref->end;
    return true;
  }
  return false;
}

bool InlineScanner::try_angle() {
  if (text_[p_] != '<') return false;
  auto match = angle_or_html(text_, p_, &angles_);
  if (!match) return false;
  flush_text();
  const bool autolink = match->inline_.kind() == InlineKind::Autolink;
  if (autolink) {
    emit(InlineEventKind::Autolink, p_, match->end);
  } else {
    const bool comment = match->inline_.get_if<Inline::HtmlInline>()->raw.starts_with("<!--");
    emit(comment ? InlineEventKind::Comment : InlineEventKind::HtmlInline, p_, match->end);
  }
  const std::size_t node = push_node(std::move(match->inline_));
  if (autolink) note_autolink(node, false);
  p_ = match->end;
  return true;
}

bool InlineScanner::take_bare_autolink() {
  auto match = bare_link(text_, p_, &autolinks_, !buffers_.brackets.empty(), ctx_.text_outlives_tree, &arena_);
  if (!match) return false;
  flush_text();
  emit(InlineEventKind::Autolink, p_, match->end);
  const std::size_t node = push_node(Boxed<Inline::Autolink>(arena_, std::move(match->autolink)));
  // Only an open bracket records it (as note_autolink would tell after a call).
  if (!buffers_.brackets.empty())
    note_autolink(node, true, events_enabled_ ? ctx_.events->size() - 1 : kNoNode);
  p_ = match->end;
  return true;
}

void InlineScanner::escape() {
  const char c = text_[p_ + 1];
  if (ctx_.options.math == MathMode::On && (c == '(' || c == ')' || c == '[' || c == ']')) {
    buffers_.pending.append(text_.substr(p_, 2), false);
  } else if (c == '&') {
    buffers_.pending.append_escaped_ampersand();
  } else {
    buffers_.pending.append(c);
  }
  p_ += 2;
  escape_end_ = p_;
}

void InlineScanner::line_feed() {
  const std::string_view pending = buffers_.pending.view();
  if (pending.empty()) {
    push_node(Inline::SoftBreak{});
  } else if (pending.back() == '\\' && text_[p_ - 1] == '\\' && escape_end_ != p_) {
    // A backslash written directly before the line feed; an escaped one ("\\") stays text.
    buffers_.pending.drop_back(1);
    flush_text();
    push_node(Inline::HardBreak{});
  } else {
    std::size_t spaces = 0;
    while (spaces < pending.size() && pending[pending.size() - 1 - spaces] == ' ') ++spaces;
    if (spaces != 0) buffers_.pending.drop_back(spaces);  // most lines end in no space
    flush_text();
    push_node(Inline::SoftBreak{});
  }
  ++p_;
}

void InlineScanner::step_char(std::size_t& q) const {
  const auto byte = static_cast<unsigned char>(text_[q]);
  q += byte < 0x80 ? 1 : utf8::decode(text_, q).len;
}

bool InlineScanner::boundary_before(std::size_t q) const {
  const auto byte = static_cast<unsigned char>(text_[q - 1]);
  if (byte < 0x80) return kLinkBoundaries[byte];
  return is_boundary(utf8::prev_char(text_, q));
}

void InlineScanner::literal_run(std::size_t candidate) {
  const std::size_t n = text_.size();
  const std::size_t start = p_;
  // A candidate here is one whose link the dispatch tried; a character beyond ASCII is decoded
  // to be stepped over.
  if (candidate == start || static_cast<unsigned char>(text_[start]) >= 0x80) [[unlikely]] {
    literal_run_on(start, start);
    return;
  }
  // Up to the candidate only a trigger can stop the run (a bare link starts only at a candidate
  // the memo names, where may_start_bare_autolink holds, after a boundary).
  const std::size_t q = next_trigger(start + 1, candidate);
  if (q < candidate || q == n || buffers_.trigger[static_cast<unsigned char>(text_[q])]) {
    p_ = q;
    // Within the text by construction: no bounds test (and no call for its failure) is needed.
    buffers_.pending.append(std::string_view(text_.data() + start, q - start), text_[start] == '&');
    return;
  }
  const auto before = static_cast<unsigned char>(text_[q - 1]);
  if (before < 0x80 && kLinkBoundaries[before]) {
    literal_run_to_link(start, q);
    return;
  }
  // Past a candidate with no ASCII boundary before it, or one whose boundary needs decoding.
  literal_run_on(start, before < 0x80 ? q + 1 : q);
}

void InlineScanner::literal_run_to_link(std::size_t start, std::size_t q) {
  // The link is tried here, as the dispatch at the candidate would; when none starts there, the
  // run goes on past it, as the dispatch's next run would.
  buffers_.pending.append(text_.substr(start, q - start), text_[start] == '&');
  p_ = q;
  if (take_bare_autolink()) return;
  literal_run_on(q, q + 1);  // a candidate is an ASCII byte
}

void InlineScanner::literal_run_on(std::size_t start, std::size_t q) {
  const std::size_t n = text_.size();
  if (q == start) step_char(q);  // the dispatch tried this offset
  if (!bare_autolinks_) {
    q = next_trigger(q, n);
  } else {
    while (q < n) {
      const std::size_t candidate = autolinks_.next_link_candidate(text_, q);
      q = next_trigger(q, candidate);
      if (q < candidate || q == n) break;
      if (buffers_.trigger[static_cast<unsigned char>(text_[q])]) break;
      if (boundary_before(q)) {
        // As in literal_run_to_link, here in the loop (which that one ends in).
        buffers_.pending.append(text_.substr(start, q - start), text_[start] == '&');
        p_ = q;
        if (take_bare_autolink()) return;
        start = q;
      }
      ++q;  // a candidate is an ASCII byte
    }
  }
  buffers_.pending.append(text_.substr(start, q - start), text_[start] == '&');
  p_ = q;
}

}  // namespace vedavi::inl
