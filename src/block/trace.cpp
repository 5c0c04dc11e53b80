// Block spans from the draft tree, and edit regions from the build tree.
#include "block/trace.h"

#include <algorithm>

#include "block/build.h"
#include "block/scan.h"
#include "base/internal_error.h"
#include "render/render.h"

namespace vedavi::block {

std::string_view scope_name(SyntaxScope scope) {
  switch (scope) {
    case SyntaxScope::PunctuationSpecial: return "punctuation-special";
    case SyntaxScope::Label: return "label";
    case SyntaxScope::Attribute: return "attribute";
    case SyntaxScope::MarkupLinkUrl: return "markup-link-url";
  }
  return "punctuation-special";
}

void SpanKind::unknown_kind() {
  internal_failure("internal error: a block span kind outside the table of kinds");
}

void Trace::take_syntax(std::vector<SyntaxRecord>& block, std::size_t done, std::size_t lines) {
  if (!records_full_layout(mode)) {
    block.clear();
    return;
  }
  // A huge block's records are most often the first, or far more than those before it: the
  // first are taken over, not copied.
  if (syntax.empty()) {
    syntax.swap(block);
    return;
  }
  reserve_at_rate(syntax, block.size(), done, lines);
  syntax.insert(syntax.end(), block.begin(), block.end());
}

TraceIndex Trace::hold_prefix(std::string_view prefix) {
  if (prefix.empty()) return 0;
  auto [held, added] = prefix_numbers_.try_emplace(std::string(prefix), static_cast<TraceIndex>(prefixes.size()));
  if (added) prefixes.emplace_back(prefix);
  return held->second;
}

std::vector<BlockSpan> Trace::into_spans(bool nested) && {
  if (nested) return std::move(spans);
  std::vector<BlockSpan> out;
  for (auto& s : spans)
    if (s.depth == 0) out.push_back(std::move(s));
  return out;
}

std::vector<BlockSpan> into_spans(Trace trace, bool nested) {
  return std::move(trace).into_spans(nested);
}

namespace {

// The spans of a list's items finished early, after the list's own: a tight list joins each
// paragraph that follows a paragraph of its item into that one, as it joins the drafts.
// `spans` ends with the list's or quote's own span.
void append_streamed(std::unique_ptr<StreamedSpans>& held, bool tight, std::size_t depth,
                     std::vector<BlockSpan>& spans) {
  StreamedSpans& streamed = *held;
  std::vector<BlockSpan>& from = streamed.spans;
  const auto shift = static_cast<std::uint32_t>(depth);
  auto join = streamed.joins.begin();
  if (spans.size() == 1) {
    // The listing is this block's alone so far: it takes the streamed spans over, with its own
    // span in their first place, and they move up in place over the joined ones.
    from.front() = std::move(spans.front());
    spans.swap(from);
    std::size_t to = 1;
    for (std::size_t k = 1; k < spans.size(); ++k) {
      if (join != streamed.joins.end() && *join == k) {
        ++join;
        if (tight) {
          spans[to - 1].end = spans[k].end;
          continue;
        }
      }
      spans[k].depth += shift;
      if (to != k) spans[to] = std::move(spans[k]);
      ++to;
    }
    spans.erase(spans.begin() + static_cast<std::ptrdiff_t>(to), spans.end());
  } else {
    reserve_at_rate(spans, from.size() - 1, 1, 1);
    for (std::size_t k = 1; k < from.size(); ++k) {
      if (join != streamed.joins.end() && *join == k) {
        ++join;
        if (tight) {
          spans.back().end = from[k].end;
          continue;
        }
      }
      from[k].depth += shift;
      spans.push_back(std::move(from[k]));
    }
  }
  held.reset();
}

}  // namespace

void draft_spans(std::span<Draft> drafts, std::size_t depth, std::vector<BlockSpan>& spans, std::uint8_t mode) {
  const bool facts = records_facts(mode);
  const bool form = mode >= 2;
  struct Level {
    std::span<Draft> list;
    std::size_t next;
    std::size_t depth;
    bool panel_title;  // the first draft of this list is a panel's title heading
  };
  std::vector<Level> stack{{drafts, 0, depth, false}};
  while (!stack.empty()) {
    Level& lv = stack.back();
    if (lv.next == lv.list.size()) {
      stack.pop_back();
      continue;
    }
    std::size_t index = lv.next++;
    Draft& d = lv.list[index];
    std::size_t level_depth = lv.depth;
    BlockSpan span = std::move(d.span);
    span.depth = level_depth;
    if (const Attr* a = draft_attr(d.block); a && facts) span.set_attrs(*a);
    bool panel_title_child = false;
    if (auto* boxed_fig = std::get_if<Boxed<draft::Figure>>(&d.block)) {
      const draft::Figure* fig = &boxed_fig->value();
      span.kind = "figure";
      if (facts) {
        span.set().id = fig->attr.id();
        span.set().caption = render::plain(fig->caption);
      }
      if (auto* img = fig->image.get_if<Inline::Image>(); img && facts) {
        span.set().url = img->url;
        span.set().title = img->title;
      }
    } else if (auto* div = std::get_if<draft::Div>(&d.block)) {
      if (auto panel = div->attr.panel()) {
        span.kind = "panel";
        if (facts) span.set().panel = std::move(panel);
        if (!div->children.empty() && std::holds_alternative<draft::Heading>(div->children.front().block)) {
          if (facts) span.set().title_line = div->children.front().span.start;
          panel_title_child = true;
        }
      }
    } else if (auto* box = std::get_if<Boxed<TemplateToken>>(&d.block)) {
      const TemplateToken* tok = &box->value();
      span.kind = "template_token";
      if (facts) {
        span.set().syntax = tok->syntax;
        span.set().body = tok->body;
        span.set().name = tok->name;
        span.set().token_kind = tok->kind;
      }
      if (form) span.set().form = tok->form;
    }
    if (index == 0 && lv.panel_title) span.kind = "panel_title";
    if (keeps_span(mode, span.kind)) spans.push_back(std::move(span));
    if (auto* list = std::get_if<draft::List>(&d.block); list && list->streamed)
      append_streamed(list->streamed, list->tight, level_depth, spans);
    else if (auto* quote = std::get_if<draft::BlockQuote>(&d.block); quote && quote->streamed)
      append_streamed(quote->streamed, false, level_depth, spans);
    // Child lists are pushed, then reversed so that they are visited in order.
    std::size_t first = stack.size();
    for_each_child_list(d.block, [&](Drafts& list) {
      if (!list.empty()) stack.push_back(Level{list, 0, level_depth + 1, panel_title_child});
    });
    std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(first), stack.end());
  }
}

void ContainerBuilder::collect_edit_regions(Trace& trace, std::uint32_t parent, std::size_t end,
                                            std::string_view outer) const {
  struct Level {
    std::uint32_t node;
    std::size_t end;
    std::uint32_t next;  // the next child to visit
    std::size_t prefix_len;
  };
  std::string prefix(outer);
  std::vector<Level> stack{{parent, end, nodes[parent].first_child, prefix.size()}};
  const Parser& p = parser;

  while (!stack.empty()) {
    Level& lv = stack.back();
    if (lv.next == BuildNode::kNone) {
      stack.pop_back();
      if (!stack.empty()) prefix.resize(stack.back().prefix_len);
      continue;
    }
    std::uint32_t child = lv.next;
    lv.next = nodes[child].next_sibling;
    std::size_t start = nodes[child].start;
    std::size_t child_end = lv.next != BuildNode::kNone ? nodes[lv.next].start : lv.end;
    const BuildKind k = kind(child);
    auto region = [&](std::size_t ts, std::size_t te, RegionKind kind) {
      reserve_at_rate(trace.regions, 1, start, p.lines.size());
      trace.regions.emplace_back(trace.hold_prefix(prefix), start, child_end, ts, te, kind);
    };
    std::size_t content_end = p.drop_trailing_blanks(start, child_end);
    if (holds<build::BlockQuote>(k)) {
      prefix += "> ";
    } else if (auto* item = get_if<build::ListItem>(k)) {
      prefix.append(item->content_column, ' ');
    } else if (holds<build::FootnoteDef>(k)) {
      prefix.append(4, ' ');
    } else if (holds<build::HtmlContainer>(k) ||
               holds<build::List>(k) || holds<build::Div>(k)) {
    } else {
      if (holds<build::DefinitionList>(k)) {
        region(start, content_end, RegionKind::DefinitionList);
      } else if (holds<build::TablePtr>(k)) {
        region(start, content_end, RegionKind::Table);
      } else if (holds<build::HtmlBlock>(k)) {
        region(start, content_end, RegionKind::HtmlBlock);
      } else if (holds<build::Heading>(k)) {
        if (records_full_layout(p.mode)) region(start, start + 1, RegionKind::Text);
      } else if (auto* para = get_if<build::Paragraph>(k)) {
        std::span<const line::Rest> lines = lines_of(*para);
        std::vector<LinkRefDefinition> defs = leading_link_defs(lines);
        std::size_t i = defs.empty() ? 0 : defs.back().end;
        std::size_t a = lines.size();
        while (a > i + 1 && is_attribute_line(lines[a - 1].text)) --a;
        if (i < a) region(start + i, start + a, RegionKind::Text);
      }
      continue;
    }
    stack.push_back(Level{child, child_end, nodes[child].first_child, prefix.size()});
  }
}

}  // namespace vedavi::block
