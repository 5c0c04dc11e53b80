// The block parser driver: line ends, frontmatter, the lines between top-level blocks
// (blank and separator lines, attribute-definition lines, link definitions), the container line
// loop, and the passes over the drafts.
#include "block/parse.h"

#include <algorithm>
#include <iterator>

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
  std::size_t frontmatter_lines = 0;
  if (options.frontmatter) {
    if (auto fm = frontmatter::extract(text)) {
      result.document.meta = std::move(fm->pairs);
      result.body_offset = fm->body_offset;
      std::string_view head = text.substr(0, std::min(fm->body_offset, text.size()));
      frontmatter_lines = line::split_lines(head).size();
    }
  }
  std::vector<std::string_view> lines = warm::take_lines();
  line::split_lines(text, lines);
  for (std::size_t i = 0; i < frontmatter_lines && i < lines.size(); ++i) lines[i] = std::string_view();

  Parser parser(std::move(lines), options, mode);
  // Line ends rewritten into a copy of the source: that copy goes with the parse.
  if (source_outlives && normalized.empty()) parser.kept_source = source;
  const std::vector<std::string_view>& src = parser.lines;
  Drafts drafts = warm::take_drafts();
  // Moving a draft is dear (a variant of large kinds): growing the list by doubling would move
  // every draft about twice more.
  drafts.reserve(parser.nonblank_runs());
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
      literalize_pending();
      if (!t.empty()) separated = true;
      ++i;
      continue;
    }
    if (t.size() >= 3 && t.starts_with("{:") && t.back() == '}') {
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
    if (auto def = parse_link_ref_at(std::span<const std::string_view>(src), i); def && def->end > i) {
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
    if (drafts.size() == drafts.capacity()) reserve_projected(drafts, i, src.size());
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

  enforce_ordered_lists(drafts);
  // Implicit figures need the inline parser; they are decided here, before the spans are taken.
  if (options.implicit_figures)
    decide_figures(drafts, InlineContext{options, parser.link_defs, parser.footnote_labels, nullptr});
  if (mode != 0) {
    // The draft spans come in pre-order, already sorted by start line; the driver's own spans
    // (attribute definitions, link definitions) are merged in before spans of the same line.
    std::vector<BlockSpan> tree;
    draft_spans(drafts, 0, tree);
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
  for (const TraceEvent& e : parser.trace.records)
    if (auto* u = std::get_if<UnclosedRecord>(&e)) unclosed.push_back(u);
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
  else warm::give_drafts(std::move(drafts));
  result.trace = std::move(parser.trace);
  result.link_defs = std::move(parser.link_defs);
  result.footnote_labels = std::move(parser.footnote_labels);
  warm::give_lines(std::move(parser.lines));
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
