// The block parser driver: line ends, frontmatter, the lines between top-level blocks
// (blank and separator lines, attribute-definition lines, link definitions), the container line
// loop, and the passes over the drafts.
#include "block/parse.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <new>

#include "block/finalize.h"
#include "block/lists.h"
#include "block/scan.h"
#include "block/warm.h"
#include "model/frontmatter.h"
#include "base/internal_error.h"
#include "model/line.h"

namespace vedavi::block {

namespace {

bool takes_attributes(const DraftBlock& b) {
  return std::holds_alternative<draft::Paragraph>(b) || std::holds_alternative<Boxed<draft::Figure>>(b) ||
         std::holds_alternative<draft::Heading>(b) || std::holds_alternative<draft::BlockQuote>(b) ||
         std::holds_alternative<draft::List>(b) || std::holds_alternative<draft::DefinitionList>(b) ||
         std::holds_alternative<draft::CodeBlock>(b) ||
         std::holds_alternative<draft::ThematicBreak>(b) || std::holds_alternative<Boxed<draft::Table>>(b) ||
         std::holds_alternative<draft::Div>(b) || std::holds_alternative<draft::MathBlock>(b);
}

// Room in `drafts`, full after `done` of `lines` lines, for the drafts of the lines left at the
// rate of those so far. A document whose lines are all blocks not parted by blank lines (a
// million headings) then gets its room at once, instead of by doubling, which at its last step
// holds the old list and one twice its size; the growth is at least a quarter, so that a rate
// rising along the document still costs linear time.
void reserve_projected(Drafts& drafts, std::size_t done, std::size_t lines) {
  const std::size_t size = drafts.size();
  const std::size_t left = lines - std::min(done, lines);
  const std::size_t projected = done == 0 ? left : size * left / done + 1;
  drafts.reserve(size + std::min(std::max(projected, size / 4 + 16), left + 16));
}

// The draft list's room in the span modes; the settled drafts are taken at three quarters of it.
constexpr std::size_t kStreamBatch = 256;

// In the span modes the drafts are read only for their spans: each top-level draft that no
// later line can change becomes its spans while the lines are read, and goes, so that the draft
// list stays short however many blocks the source has. Later lines may change the last draft (a
// definition list after blank lines joins it; the attribute lines after it are read by the time
// the drafts are taken), the ordered-list rule's decision on a pending single-item list, and
// whether a paragraph is an implicit figure (its image may use a link definition further on);
// such drafts, and all after them, wait.
class SpanStream {
 public:
  SpanStream(std::uint8_t mode, bool figures) : mode_(mode), figures_(figures) {}

  // Once enough drafts have come, the spans of the settled ones at the front of `drafts`, which
  // go; `done` of `lines` lines are read.
  void take_settled(Drafts& drafts, std::size_t done, std::size_t lines) {
    if (drafts.size() < next_) return;
    take_front(drafts, done, lines);
    // Drafts that wait are looked at again once as many more have come.
    next_ = std::max(kStreamBatch * 3 / 4, 2 * drafts.size());
  }

  // The spans of the drafts left once every line is read, figures decided.
  void take_rest(Drafts& drafts, const InlineContext& ctx) {
    read(drafts, drafts.size());
    scan_.end();
    enforce_front(drafts, drafts.size(), taken_, scan_);
    if (figures_) decide_figures(drafts, ctx);
    reserve_at_rate(spans, span_count(drafts), 1, 1);
    draft_spans(drafts, 0, spans, mode_);
  }

  std::vector<BlockSpan> spans;

 private:
  void take_front(Drafts& drafts, std::size_t done, std::size_t lines) {
    if (drafts.size() < 2) return;
    std::size_t n = read(drafts, drafts.size() - 1);
    n = std::min(n, scan_.decided() - taken_);
    if (figures_)
      for (std::size_t k = 0; k < n; ++k)
        if (may_hold_figure(std::span<Draft>(&drafts[k], 1))) n = k;
    if (n == 0) return;
    const std::size_t m = enforce_front(drafts, n, taken_, scan_);
    taken_ += n;
    reserve_at_rate(spans, span_count(std::span<Draft>(drafts.data(), m)), done, lines);
    draft_spans(std::span<Draft>(drafts.data(), m), 0, spans, mode_);
    drafts.erase(drafts.begin(), drafts.begin() + static_cast<std::ptrdiff_t>(m));
  }

  // The ordered-list scan reads the first `n` drafts; returns `n`.
  std::size_t read(const Drafts& drafts, std::size_t n) {
    for (std::size_t k = scan_.read_count() - taken_; k < n; ++k) scan_.read(drafts[k].block);
    return n;
  }

  RevertScan scan_;
  std::size_t next_ = kStreamBatch * 3 / 4;  // the size of the draft list that calls for a take
  std::size_t taken_ = 0;  // drafts read and gone, counted before any list turned into text
  std::uint8_t mode_;
  bool figures_;
};

// Attribute-definition lines waiting for the next block.
struct Pending {
  Attr attr;
  std::vector<std::size_t> lines;
  bool flag = false;
  std::size_t first = 0;

  void reset() {
    attr = Attr{};
    lines.clear();
    flag = false;
  }
};

}  // namespace

Parsed parse_source(std::string_view source, const Options& options, std::uint8_t mode,
                    bool source_outlives) {
#ifdef VEDAVI_FAULT_INJECTION
  fault_point(source);
#endif
  // The tree's memory, freed when the document goes (or, inside a call that opened its own scope,
  // with the call's).
  ArenaScope arena;
  Parsed result;
  result.document.arena = arena.handle();
  std::string normalized;
  std::string_view text = source;
  if (source.find('\r') != std::string_view::npos) {
    normalized = line::normalize_line_ends(source);
    text = normalized;
  }
  // The layout's records hold lines and offsets in 32 bits.
  if (records_layout(mode) && text.size() >= std::numeric_limits<TraceIndex>::max()) throw std::bad_alloc();
  std::size_t frontmatter_lines = 0;
  if (options.frontmatter) {
    if (auto fm = frontmatter::extract(text)) {
      result.document.meta = std::move(fm->pairs);
      result.body_offset = fm->body_offset;
      std::string_view head = text.substr(0, std::min(fm->body_offset, text.size()));
      frontmatter_lines = line::split_lines(head).size();
    }
  }
  line::SourceLines lines(text, warm::take_lines());
  lines.blank_first(frontmatter_lines);

  Parser parser(std::move(lines), options, mode);
  // Line ends rewritten into a copy of the source: that copy goes with the parse. In the span
  // modes the drafts go with it too, so their texts may be views of what it reads.
  if (mode != 0)
    parser.kept_source = text;
  else if (source_outlives && normalized.empty())
    parser.kept_source = source;
  const line::SourceLines& src = parser.lines;
  // Moving a draft is dear (a variant of large kinds): growing the list by doubling would move
  // every draft about twice more. The span modes keep few; the list's room sets how many.
  Drafts drafts = mode == 0 ? warm::take_drafts() : Drafts();
  drafts.reserve(mode == 0 ? parser.nonblank_runs() : kStreamBatch);
  SpanStream stream(mode, options.implicit_figures);
  Pending pending;
  bool after_definition = false;
  // A "^" line since the last block: it ends the block before it, so the definition lists on
  // either side stay apart.
  bool separated = false;

  // The pending lines as a paragraph, at `at` in the drafts (their end unless given).
  auto literalize_pending = [&](std::size_t at = ~std::size_t{0}) {
    if (pending.lines.empty()) return;
    std::string joined;
    for (std::size_t k = 0; k < pending.lines.size(); ++k) {
      if (k) joined.push_back('\n');
      joined += line::trim(src[pending.lines[k]]);
    }
    BlockSpan span = BlockSpan::of("paragraph", pending.lines.front(), pending.lines.back() + 1);
    drafts.insert(drafts.begin() + static_cast<std::ptrdiff_t>(std::min(at, drafts.size())),
                  Draft{std::move(span), draft::Paragraph{{}, std::move(joined), pending.lines.front(), {}}});
    pending.reset();
  };

  std::size_t& i = parser.current;
  while (i < src.size()) {
    std::string_view t = line::trim(src[i]);
    if (t.empty() || t == "^") {
      // Most blank lines follow no attribute line: no call.
      if (!pending.lines.empty()) literalize_pending();
      if (!t.empty()) separated = true;
      ++i;
      continue;
    }
    // Byte tests: a prefix test here is an out-of-line compare for every block's first line.
    if (t.size() >= 3 && t[0] == '{' && t[1] == ':' && t.back() == '}') {
      Attr attr = attrs::parse_attrs_body(t.substr(2, t.size() - 3));
      bool attach = false;
      if (!pending.flag && i > 0 && !drafts.empty()) {
        std::string_view prev = line::trim(src[i - 1]);
        attach = !prev.empty() && prev != "^" && takes_attributes(drafts.back().block);
      }
      if (attach) {
        draft_attr(drafts.back().block)->merge(attr);
        if (!after_definition) drafts.back().span.end = i + 1;
      } else {
        // While attribute lines are pending, further ones join them (later lines win) instead
        // of going to the block before them.
        pending.attr.merge(attr);
        pending.lines.push_back(i);
        if (!pending.flag) pending.first = i;
        pending.flag = true;
      }
      ++i;
      continue;
    }
    if (auto def = parse_link_ref_at(src, i); def && def->end > i) {
      parser.add_link_def(def->label, std::move(def->def));
      if (pending.flag) {
        pending.flag = false;
        if (mode != 0) parser.trace.spans.push_back(BlockSpan::of("attr_def", pending.first, i));
      }
      if (mode != 0) parser.trace.spans.push_back(BlockSpan::of("link_ref", i, def->end));
      i = def->end;
      after_definition = true;
      continue;
    }

    // The new drafts are built in place at the end of the list: [first, end).
    if (mode != 0)
      stream.take_settled(drafts, i, src.size());
    else if (drafts.size() == drafts.capacity())
      reserve_projected(drafts, i, src.size());
    std::size_t first = drafts.size();
    parser.container_block(drafts);
    after_definition = false;
    if (!pending.attr.empty() && first < drafts.size() && takes_attributes(drafts[first].block)) {
      draft_attr(drafts[first].block)->merge(pending.attr);
      if (pending.flag) drafts[first].span.start = pending.first;
      pending.reset();
    } else if (!pending.lines.empty()) {
      literalize_pending(first);
      ++first;
    }
    // Definition lists with equal attributes join across blank lines: a joined list's items go
    // to the one before it, and the lists after it close up.
    std::size_t kept = first;
    for (std::size_t k = first; k < drafts.size(); ++k) {
      Draft& d = drafts[k];
      if (!separated && kept > 0) {
        auto* prev = std::get_if<draft::DefinitionList>(&drafts[kept - 1].block);
        auto* next = std::get_if<draft::DefinitionList>(&d.block);
        if (prev && next && prev->attr == next->attr) {
          for (auto& item : next->items) prev->items.push_back(std::move(item));
          drafts[kept - 1].span.end = d.span.end;
          continue;
        }
      }
      if (kept != k) drafts[kept] = std::move(d);
      ++kept;
      separated = false;
    }
    drafts.erase(drafts.begin() + static_cast<std::ptrdiff_t>(kept), drafts.end());
    separated = false;
  }
  literalize_pending();

  // Implicit figures need the inline parser; they are decided here, before the spans are taken.
  if (mode == 0) {
    result.spliced_extra = enforce_ordered_lists(drafts);
    if (options.implicit_figures)
      decide_figures(drafts, InlineContext{options, parser.link_defs, parser.footnote_labels, nullptr});
  } else {
    // The draft spans come in pre-order, already sorted by start line; the driver's own spans
    // (attribute definitions, link definitions) are merged in before spans of the same line.
    stream.take_rest(drafts, InlineContext{options, parser.link_defs, parser.footnote_labels, nullptr});
    std::vector<BlockSpan> tree = std::move(stream.spans);
    auto by_start = [](const BlockSpan& a, const BlockSpan& b) { return a.start < b.start; };
    if (!std::is_sorted(tree.begin(), tree.end(), by_start))
      std::stable_sort(tree.begin(), tree.end(), by_start);
    // Merged into `tree` from its back, so that the listing is not held twice.
    std::vector<BlockSpan>& own = parser.trace.spans;
    std::size_t t = tree.size(), o = own.size();
    tree.resize(t + o);
    for (std::size_t k = t + o; o > 0;) {
      if (t > 0 && !by_start(tree[t - 1], own[o - 1])) tree[--k] = std::move(tree[--t]);
      else tree[--k] = std::move(own[--o]);
    }
    own = std::move(tree);
  }

  std::vector<const UnclosedRecord*> unclosed;
  for (const UnclosedRecord& u : parser.trace.unclosed) unclosed.push_back(&u);
  std::stable_sort(unclosed.begin(), unclosed.end(),
                   [](const UnclosedRecord* a, const UnclosedRecord* b) { return a->line < b->line; });
  for (const UnclosedRecord* u : unclosed) {
    Diagnostic d;
    d.start = d.end = SourcePos{u->line + 1, 1};
    d.code = "unclosed";
    d.message = "unclosed " + std::string(u->construct) + " (expected '" + u->expected + "')";
    result.document.diagnostics.push_back(std::move(d));
  }

  // In span mode 0 the drafts are what the document is finished from, once their text is parsed
  // as inlines; in the other modes nothing reads them any more.
  if (mode == 0) result.drafts = std::move(drafts);
  // The few scopes of whole lines that finishing a block records go too.
  if (!records_full_layout(mode)) parser.trace.syntax = {};
  result.trace = std::move(parser.trace);
  result.link_defs = std::move(parser.link_defs);
  result.footnote_labels = std::move(parser.footnote_labels);
  result.nested_footnotes = parser.nested_footnotes;
  warm::give_lines(std::move(parser.lines).take_room());
  return result;
}

}  // namespace vedavi::block

namespace vedavi {

namespace {

Document parse_document(std::string_view source, const Options& options, bool source_outlives) {
  // The document's own arena: its memory goes with it, not with the call that made it.
  ArenaScope arena{ArenaScope::Fresh{}};
  block::Parsed parsed = block::parse_source(source, options, 0, source_outlives);
  block::finish_parse(parsed, options);
  return std::move(parsed.document);
}

}  // namespace

Document parse(std::string_view source, const Options& options) {
  return parse_document(source, options, false);
}

Document parse_kept_source(std::string_view source, const Options& options) {
  return parse_document(source, options, true);
}

Document parse_kept_source_streamed(std::string_view source, const Options& options, BlockSink& sink) {
  ArenaScope arena{ArenaScope::Fresh{}};
  block::Parsed parsed = block::parse_source(source, options, 0, true);
  block::finish_parse_streamed(parsed, options, sink);
  return std::move(parsed.document);
}

}  // namespace vedavi
