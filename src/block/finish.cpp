// Closing containers into drafts: the build tree becomes a tree of `Draft`s with their spans;
// paragraph lines give up their link definitions and attribute lines, fences become code, raw
// or script blocks, raw HTML is escaped.
#include <algorithm>

#include "block/build.h"
#include "block/html.h"
#include "block/scan.h"
#include "block/warm.h"
#include "base/internal_error.h"
#include "text/scan.h"

namespace vedavi::block {

namespace {

// `text`, a view into the source lines, as a draft keeps it: still a view when the source outlives
// the drafts, else copied into the tree's arena.
Str kept_text(std::string_view text, const Parser& p) {
  const std::string_view source = p.kept_source;
  const bool in_source = !source.empty() && text.data() >= source.data() &&
                         text.data() + text.size() <= source.data() + source.size();
  return in_source ? Str::borrowed(text) : Str(text);
}

bool is_container(const BuildKind k) {
  return holds<build::HtmlContainer>(k) ||
         holds<build::BlockQuote>(k) || holds<build::List>(k) ||
         holds<build::ListItem>(k) ||
         holds<build::FootnoteDef>(k) || holds<build::Div>(k);
}

std::optional<std::size_t> closing_line(const BuildKind k) {
  if (auto* d = get_if<build::Div>(k)) return d->end_line;
  if (auto* h = get_if<build::HtmlContainer>(k)) return h->end_line;
  return std::nullopt;
}

bool is_script_info(std::string_view info) {
  if (info.size() < 3 || info.front() != '{' || info.back() != '}') return false;
  for (char c : info.substr(1, info.size() - 2))
    if (!scan::is_ascii_alnum(c)) return false;
  return true;
}


}  // namespace

// Appends a draft of `kind` spanning `span` to `out`. Drafts are large variants: each is made in
// the list it stays in, not built aside and moved there.
template <class Kind>
void append_draft(Drafts& out, BlockSpan&& span, Kind&& kind) {
  Draft& draft = out.emplace_back();
  draft.span = std::move(span);
  using Held = std::decay_t<Kind>;
  if constexpr (detail::IsBoxedIn<Held, DraftBlock>::value)
    draft.block.emplace<Boxed<Held>>(std::forward<Kind>(kind));
  else
    draft.block.emplace<Held>(std::forward<Kind>(kind));
}

// Paragraph lines: leading link definitions, trailing attribute lines, then the text.
struct ParagraphParts {
  std::size_t defs_end = 0;   // lines [0, defs_end) are link definitions
  std::size_t attrs_start = 0;  // lines [attrs_start, n) are attribute lines
};

namespace {

template <class Line>
std::vector<LinkRefDefinition> link_defs_at_start(std::span<const Line> lines) {
  std::vector<LinkRefDefinition> defs;
  std::size_t i = 0;
  while (i < lines.size()) {
    auto def = parse_link_ref_at(lines, i);
    if (!def || def->end <= i) break;
    i = def->end;
    defs.push_back(std::move(*def));
  }
  return defs;
}

}  // namespace

std::vector<LinkRefDefinition> leading_link_defs(std::span<const line::Rest> lines) {
  // A definition begins with "["; most paragraphs do not, and need no logical copy of their
  // lines (a definition reads their indentation).
  if (lines.empty() || !line::trim_start(lines.front().text).starts_with("[")) return {};
  // A definition's label closes with "]:" on one line: most paragraphs that begin with a link
  // have none, and are not read as definitions at all.
  if (std::ranges::none_of(lines, [](const line::Rest& l) { return l.text.find("]:") != std::string_view::npos; }))
    return {};
  // Lines without padding are their text as it stands in the source: read in place.
  const bool unpadded = std::ranges::all_of(lines, [](const line::Rest& l) { return l.pad == 0; });
  if (unpadded) {
    std::vector<std::string_view> texts;
    texts.reserve(lines.size());
    for (const line::Rest& l : lines) texts.push_back(l.text);
    return link_defs_at_start(std::span<const std::string_view>(texts));
  }
  std::vector<std::string> logical;
  logical.reserve(lines.size());
  for (const line::Rest& l : lines) logical.push_back(l.str());
  return link_defs_at_start(std::span<const std::string>(logical));
}

static ParagraphParts split_paragraph(std::span<const line::Rest> lines, Parser* parser,
                                      std::size_t first_line) {
  ParagraphParts parts;
  std::size_t i = 0;
  // Most paragraphs do not begin with "[", as a definition does: they are told so here, without
  // a call and an empty list of definitions to return and tear down.
  const bool may_define = !lines.empty() && line::trim_start(lines.front().text).starts_with('[');
  if (may_define) {
    for (LinkRefDefinition& def : leading_link_defs(lines)) {
      if (parser) {
        if (records_layout(parser->mode))
          for (std::size_t k = i; k < def.end; ++k) {
            std::size_t l = first_line + k;
            std::size_t off = parser->line_offset(l);
            std::size_t len = l < parser->lines.size() ? parser->lines[l].size() : 0;
            if (off < len)
              parser->trace.syntax.emplace_back(l, off, len, SyntaxScope::MarkupLinkUrl);
          }
        parser->add_link_def(def.label, std::move(def.def));
      }
      i = def.end;
    }
  }
  parts.defs_end = i;
  std::size_t a = lines.size();
  while (a > i + 1 && is_attribute_line(lines[a - 1].text)) --a;
  parts.attrs_start = a;
  return parts;
}

// Appends the draft of a paragraph to `out`, none when its lines were all link definitions. The
// most frequent draft is filled in place, without even a paragraph built aside.
static void finish_paragraph(std::span<const line::Rest> lines, BlockSpan&& span, Parser& parser,
                             Drafts& out) {
  ParagraphParts parts = split_paragraph(lines, &parser, span.start);
  if (parts.defs_end >= lines.size()) return;
  Attr attr;
  for (std::size_t k = parts.attrs_start; k < lines.size(); ++k) {
    if (records_layout(parser.mode)) {
      std::size_t l = span.start + k;
      std::size_t off = parser.line_offset(l);
      std::size_t len = l < parser.lines.size() ? parser.lines[l].size() : 0;
      if (off < len) parser.trace.syntax.emplace_back(l, off, len, SyntaxScope::Attribute);
    }
    attr.merge(attrs::parse_attrs_body(attribute_line_body(lines[k].text)));
  }
  const Str text = paragraph_text(lines.subspan(parts.defs_end, parts.attrs_start - parts.defs_end),
                                  parser.kept_source);
  if (attr.empty() && !parser.options.templates.empty()) {
    if (auto tok = templates::line_token(text, parser.options.templates)) {
      append_draft(out, std::move(span), std::move(*tok));
      return;
    }
  }
  Draft& draft = out.emplace_back();
  auto& para = std::get<draft::Paragraph>(draft.block);
  para.attr = std::move(attr);
  para.text = text;
  para.text_line = span.start + parts.defs_end;
  draft.span = std::move(span);
}

// Appends the draft of a raw HTML block to `out`.
static void append_raw(Drafts& out, std::string text, std::size_t line, BlockSpan span,
                       Parser& parser) {
  RawHtmlText raw = escape_raw_html(std::move(text), line);
  for (std::size_t l : raw.unclosed_comment_lines)
    parser.trace.unclosed.push_back(UnclosedRecord{"comment", "-->", l});
  std::unique_ptr<std::vector<HtmlToken>> tokens;
  if (!parser.options.templates.empty()) {
    std::vector<HtmlToken> found = templates::html_tokens(raw.text, parser.options.templates);
    if (!found.empty()) tokens = std::make_unique<std::vector<HtmlToken>>(std::move(found));
  }
  append_draft(out, std::move(span), draft::HtmlBlock{std::move(raw.text), std::move(tokens)});
}

void ContainerBuilder::finish_children(std::uint32_t parent, std::size_t end, Drafts& result) {
  // Most top-level blocks are one leaf: no frame to run.
  const BuildNode& node = nodes[parent];
  if (node.child_count == 1 && !is_container(kind(node.first_child))) {
    const std::uint32_t child = node.first_child;
    const std::size_t start = nodes[child].start;
    finish_leaf(child, BlockSpan::of(span_kind_name(kind(child)), start, parser.drop_trailing_blanks(start, end)),
                result);
    return;
  }
  std::vector<FinishFrame>& frames = finish_frames_;
  frames.clear();
  frames.emplace_back(parent, end).next = nodes[parent].first_child;
  // The drafts of `parent` go straight after those already in `result`.
  frames.back().out.swap(result);
  run_finish();
  result.swap(frames.back().out);
  frames.pop_back();
}

void ContainerBuilder::run_finish() {
  using Frame = FinishFrame;
  Parser& p = parser;
  bool facts = records_facts(p.mode);
  std::vector<Frame>& frames = finish_frames_;
  while (true) {
    Frame& f = frames.back();
    if (f.next == BuildNode::kNone) {
      if (frames.size() == 1) return;
      // Read in place and popped once its parts are taken: a frame is large, and moving it out
      // first costs a copy of every member.
      Frame& done = f;
      Frame& up = frames[frames.size() - 2];
      up.rules_below = up.rules_below || done.rules_below;
      BuildKind k = kind(done.node);
      const std::size_t start = nodes[done.node].start;
      if (holds<build::ListItem>(k)) {
        add_item(up, done.node, std::move(done.out));
      } else if (auto* list = get_if<build::List>(k)) {
        std::unique_ptr<StreamedSpans> streamed;
        bool rules_below = done.rules_below || list->ordered;
        if (done.node == list_stream_.list)
          take_streamed(done.node, done.items, done.loose, rules_below, streamed);
        up.rules_below = up.rules_below || rules_below;
        append_draft(up.out, std::move(done.span), draft::List{std::move(list->attr), std::move(done.items),
                                           static_cast<std::uint32_t>(list->start), list->ordered,
                                           !done.loose, rules_below, std::move(streamed)});
      } else if (auto* q = get_if<build::BlockQuote>(k)) {
        std::unique_ptr<StreamedSpans> streamed;
        bool enforced = false;
        if (done.node == quote_stream_.quote) take_streamed_quote(done.out, streamed, enforced);
        append_draft(up.out, std::move(done.span),
                     draft::BlockQuote{std::move(q->attr), std::move(done.out), std::move(streamed), enforced});
      } else if (auto* fn = get_if<build::FootnoteDef>(k)) {
        p.footnote_labels.insert(fn->label);
        if (frames.size() > 2 || up.node != 0) p.nested_footnotes = true;  // `done` is still on top
        append_draft(up.out, std::move(done.span), draft::FootnoteDef{Str(fn->label), std::move(done.out)});
      } else if (auto* div = get_if<build::Div>(k)) {
        append_draft(up.out, std::move(done.span), draft::Div{std::move(div->attr), std::move(done.out)});
      } else if (auto* hc = get_if<build::HtmlContainer>(k)) {
        if (hc->outer_name) {
          append_draft(up.out, std::move(done.span), draft::Splice{std::move(done.out)});
        } else {
          Drafts members;
          append_raw(members, hc->open_tag + "\n", start,
                     BlockSpan::of("html_block", start, start + 1), p);
          for (Draft& d : done.out) members.push_back(std::move(d));
          if (hc->end_line)
            append_raw(members, "</" + hc->name + ">\n", *hc->end_line,
                       BlockSpan::of("html_block", *hc->end_line, *hc->end_line + 1), p);
          append_draft(up.out, std::move(done.span), draft::Splice{std::move(members)});
        }
      }
      frames.pop_back();
      continue;
    }

    std::uint32_t child = f.next;
    f.next = nodes[child].next_sibling;
    BuildKind k = kind(child);
    const std::size_t start = nodes[child].start;
    std::size_t child_end = f.next != BuildNode::kNone ? nodes[f.next].start : f.child_end;
    // An item of a list: its own span is read by no one (its list's and its children's are), and
    // an item of leaves alone, the most frequent, takes no frame.
    if (holds<build::ListItem>(k) && holds<build::List>(kind(f.node))) {
      if (holds_leaves_only(child)) {
        finish_item_of_leaves(f, child, child_end);
        continue;
      }
      Frame& opened = frames.emplace_back(child, child_end);
      opened.next = nodes[child].first_child;
      opened.out = rooms_->children.take(nodes[child].child_count);
      continue;
    }
    std::size_t pass_down = child_end;
    if (auto close = closing_line(k)) {
      if (*close + 1 < child_end) child_end = *close + 1;
      pass_down = *close;
    }
    BlockSpan span = BlockSpan::of(span_kind_name(k), start, p.drop_trailing_blanks(start, child_end));

    if (is_container(k)) {
      if (facts) {
        if (auto* div = get_if<build::Div>(k)) {
          span.set().fence_start = start;
          span.set().fence_end = div->end_line;
        }
      }
      if (holds<build::ListItem>(k) !=
          holds<build::List>(kind(f.node)))
        internal_failure(
            "internal error: entered unreachable code: `finish` takes the root and the List arm "
            "takes its items");
      Frame& opened = frames.emplace_back(child, pass_down, std::move(span));
      opened.next = nodes[child].first_child;
      // A child gives at most one draft or item, so one allocation holds them all.
      std::size_t n = nodes[child].child_count;
      if (holds<build::List>(k))
        opened.items = rooms_->items.take(n);
      else
        opened.out = rooms_->children.take(n);
      continue;
    }

    finish_leaf(child, std::move(span), f.out);
  }
}

bool ContainerBuilder::holds_leaves_only(std::uint32_t node) const {
  for (std::uint32_t c = nodes[node].first_child; c != BuildNode::kNone; c = nodes[c].next_sibling)
    if (is_container(kind(c))) return false;
  return true;
}

void ContainerBuilder::finish_item_of_leaves(FinishFrame& list, std::uint32_t item, std::size_t end) {
  // As a frame of the item would: each child's span ends where the next child starts.
  Drafts out = rooms_->children.take(nodes[item].child_count);
  for (std::uint32_t c = nodes[item].first_child; c != BuildNode::kNone;) {
    const std::uint32_t next = nodes[c].next_sibling;
    const std::size_t start = nodes[c].start;
    const std::size_t stop = next != BuildNode::kNone ? nodes[next].start : end;
    finish_leaf(c, BlockSpan::of(span_kind_name(kind(c)), start, parser.drop_trailing_blanks(start, stop)), out);
    c = next;
  }
  add_item(list, item, std::move(out));
}

void ContainerBuilder::add_item(FinishFrame& list, std::uint32_t item_node, Drafts&& children) {
  auto& item = get<build::ListItem>(kind(item_node));
  for (std::size_t c = 1; c < children.size() && !list.rules_below; ++c)
    list.rules_below = std::holds_alternative<draft::Paragraph>(children[c - 1].block) &&
                       std::holds_alternative<draft::Paragraph>(children[c].block);
  // Made in the list's items, not aside and moved there.
  DraftListItem& di = list.items.emplace_back();
  di.attr = std::move(item.attr);
  if (get<build::List>(kind(list.node)).ordered) {
    di.source = item.source;
    di.content_offset = item.content_offset;
  }
  di.children = std::move(children);
  di.number = static_cast<std::size_t>(item.number);
  di.line = nodes[item_node].start;
  di.task = item.task;
  if (item.loose) list.loose = true;
}

void ContainerBuilder::finish_leaf(std::uint32_t child, BlockSpan&& span, Drafts& out) {
  Parser& p = parser;
  const bool facts = records_facts(p.mode);
  const BuildKind k = kind(child);
  const std::size_t start = nodes[child].start;
  if (auto* para = get_if<build::Paragraph>(k)) {
    finish_paragraph(lines_of(*para), std::move(span), p, out);
  } else if (auto* code = get_if<build::FencedCode>(k)) {
    const Str text = code->text.take_str(p.kept_source);
    std::string_view info = line::trim(code->info);
    // Read once: the facts and the code block share it.
    std::optional<attrs::FenceInfo> parsed_info;
    if (facts) {
      span.set().fence_start = start;
      span.set().info = std::string(info);
      const attrs::FenceInfo& fi = parsed_info.emplace(attrs::parse_fence_info(info));
      span.set().lang = fi.lang;
      span.set().info_has_attrs = fi.has_attrs;
      span.set().text = std::string(text);
    }
    auto raw = attrs::raw_attr(info);
    if (raw && raw->consumed == info.size()) {
      append_draft(out, std::move(span), draft::RawBlock{std::string(raw->format), std::string(text)});
    } else if (is_script_info(info)) {
      append_draft(out, std::move(span), draft::ScriptBlock{std::string(info.substr(1, info.size() - 2)),
                                               std::string(text)});
    } else if (parsed_info) {
      append_draft(out, std::move(span), draft::CodeBlock{std::move(parsed_info->attr), text, {}});
    } else {
      append_draft(out, std::move(span), draft::CodeBlock{{}, text, kept_text(info, p)});
    }
  } else if (auto* code = get_if<build::IndentedCode>(k)) {
    const Str text = code->text.take_str(p.kept_source);
    if (facts) span.set().text = std::string(text);
    append_draft(out, std::move(span), draft::CodeBlock{{}, text, {}});
  } else if (auto* math = get_if<build::MathBlock>(k)) {
    std::string tex = math->text.take();
    tex.resize(line::trim_end(tex).size());
    if (facts) span.set().text = tex;
    append_draft(out, std::move(span), draft::MathBlock{{}, std::move(tex), true});
  } else if (auto* h = get_if<build::Heading>(k)) {
    span.level = h->level;
    if (facts) {
      span.set().id = h->attr.id();
      span.set().text = std::string(h->text);
    }
    append_draft(out, std::move(span), draft::Heading{std::move(h->attr), kept_text(h->text, p), h->level});
  } else if (auto* tb = get_if<build::ThematicBreak>(k)) {
    append_draft(out, std::move(span), draft::ThematicBreak{std::move(tb->attr)});
  } else if (auto* dl = get_if<build::DefinitionList>(k)) {
    append_draft(out, std::move(span), draft::DefinitionList{std::move(dl->attr), std::move(dl->items)});
  } else if (auto* html = get_if<build::HtmlBlock>(k)) {
    append_raw(out, html->raw.take(), start, std::move(span), p);
  } else if (auto* boxed = get_if<build::TablePtr>(k)) {
    build::Table* t = boxed->get();
    if (facts) {
      span.set().id = t->attr.id();
      if (t->caption) {
        attrs::StrippedAttr cap = attrs::strip_trailing_attr(*t->caption);
        span.set().caption = std::move(cap.text);
        // The finished table merges the caption's attributes over its own, so the caption's
        // id is the one the document shows.
        if (cap.attr.id()) span.set().id = cap.attr.id();
      }
    }
    append_draft(out, std::move(span), draft::Table{std::move(t->attr), std::move(t->aligns), std::move(t->head),
                                       std::move(t->body), std::move(t->foot),
                                       std::move(t->tokens), std::move(t->caption), t->leading_pipe});
    spare_table_ = std::move(*boxed);
  }
}

}  // namespace vedavi::block
