// Anchors of a parsed document.
//
// An anchor's text is the collapsed plain text of its node. Spans nest, and each span with an
// id needs the text of its own subtree; computing each subtree's text anew would cost time
// quadratic in the nesting depth. Instead one pass over a leaf's inlines writes the collapsed
// text of the whole leaf and notes where each span starts and ends in it: a subtree's collapsed
// text is that stretch with at most one space trimmed from either end.
#include "render/anchors.h"

#include <unordered_map>

#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi {
namespace {

// Appends text with every run of white space as one space.
class CollapsedText {
 public:
  void append(std::string_view piece) {
    std::size_t run_begin = 0;
    std::size_t pos = 0;
    while (pos < piece.size()) {
      const auto byte = static_cast<unsigned char>(piece[pos]);
      if (byte > 0x20 && byte < 0x80) {
        ++pos;
        continue;
      }
      const utf8::Decoded decoded = utf8::decode(piece, pos);
      if (!unicode::is_white_space(decoded.cp)) {
        pos += decoded.len;
        continue;
      }
      if (pos > run_begin) {
        text_.append(piece.substr(run_begin, pos - run_begin));
        in_space_ = false;
      }
      if (!in_space_) text_ += ' ';
      in_space_ = true;
      pos += decoded.len;
      run_begin = pos;
    }
    if (pos > run_begin) {
      text_.append(piece.substr(run_begin, pos - run_begin));
      in_space_ = false;
    }
  }
  void append_space() { append(" "); }

  std::size_t mark() const { return text_.size(); }

  // The collapsed, trimmed text written between two marks.
  std::string between(std::size_t begin, std::size_t end) const {
    std::string_view stretch = std::string_view(text_).substr(begin, end - begin);
    if (stretch.starts_with(' ')) stretch.remove_prefix(1);
    if (stretch.ends_with(' ')) stretch.remove_suffix(1);
    return std::string(stretch);
  }

 private:
  std::string text_;
  bool in_space_ = false;
};

// Walks an inline list once: writes its text through `text` (when given) and appends the
// anchors of spans with an id in document order.
void walk_inlines(std::span<const Inline> inlines, std::vector<Anchor>& anchors,
                  CollapsedText& text) {
  struct Frame {
    std::span<const Inline> rest;
    std::size_t anchor = SIZE_MAX;  // the slot of the span that opened this frame, if any
    std::size_t begin = 0;          // its mark
  };
  std::vector<Frame> stack;
  stack.push_back({inlines});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.rest.empty()) {
      if (top.anchor != SIZE_MAX) anchors[top.anchor].text = text.between(top.begin, text.mark());
      stack.pop_back();
      continue;
    }
    const Inline& node = top.rest.front();
    top.rest = top.rest.subspan(1);
    switch (node.kind()) {
      case InlineKind::Text: text.append(node.get_if<Inline::Text>()->text); break;
      case InlineKind::SoftBreak:
      case InlineKind::HardBreak: text.append_space(); break;
      case InlineKind::Superscript: text.append(node.get_if<Inline::Superscript>()->text); break;
      case InlineKind::Subscript: text.append(node.get_if<Inline::Subscript>()->text); break;
      case InlineKind::Code: text.append(node.get_if<Inline::Code>()->text); break;
      case InlineKind::Autolink: text.append(node.get_if<Inline::Autolink>()->text); break;
      case InlineKind::TemplateToken: text.append(node.get_if<TemplateToken>()->body); break;
      case InlineKind::MathInline: {
        // Written as a span, so a formula with an id is a target shown by its TeX.
        const auto& math = *node.get_if<Inline::MathInline>();
        const std::size_t begin = text.mark();
        text.append(math.tex);
        if (math.attr.id()) anchors.push_back(Anchor{*math.attr.id(), "text", text.between(begin, text.mark())});
        break;
      }
      case InlineKind::Span: {
        const auto& span = *node.get_if<Inline::Span>();
        Frame frame{span.children};
        if (span.attr.id()) {
          frame.anchor = anchors.size();
          frame.begin = text.mark();
          anchors.push_back(Anchor{*span.attr.id(), "text", {}});
        }
        stack.push_back(frame);
        break;
      }
      case InlineKind::Emph:
      case InlineKind::Strong:
      case InlineKind::Strike:
      case InlineKind::Highlight:
      case InlineKind::Link:
      case InlineKind::Image:
      case InlineKind::Note: stack.push_back({*node.children()}); break;
      case InlineKind::HtmlInline:
      case InlineKind::Operation:
      case InlineKind::FootnoteRef:
      case InlineKind::RawInline: break;
    }
  }
}

using InlineStack = std::vector<std::span<const Inline>>;

// Whether an inline list holds a span or a formula with an id at any depth (in the containers
// walk_inlines enters). Most runs hold none, and without an id of their own they need no text at all.
// `pending` is the caller's scratch stack, left empty, so that the runs of a block share one
// allocation.
bool has_span_anchor(std::span<const Inline> inlines, InlineStack& pending) {
  std::span<const Inline> rest = inlines;
  while (true) {
    for (const Inline& node : rest) {
      if (node.kind() == InlineKind::Text) continue;
      const Attr* attr = node.kind() == InlineKind::Span         ? &node.get_if<Inline::Span>()->attr
                         : node.kind() == InlineKind::MathInline ? &node.get_if<Inline::MathInline>()->attr
                                                                 : nullptr;
      if (attr != nullptr && attr->id()) {
        pending.clear();
        return true;
      }
      if (const Inlines* children = node.children(); children != nullptr && !children->empty()) {
        pending.push_back(*children);
      }
    }
    if (pending.empty()) return false;
    rest = pending.back();
    pending.pop_back();
  }
}

// The anchors of one run of inlines that may belong to an anchored node (`attr` with `kind`):
// the node's anchor, with the text of the whole run, comes first.
void anchor_run(const Attr* attr, std::string_view kind, std::span<const Inline> inlines,
                std::vector<Anchor>& anchors, InlineStack& pending) {
  const bool has_own = attr != nullptr && attr->id();
  if (!has_own && !has_span_anchor(inlines, pending)) return;
  CollapsedText text;
  std::size_t own = SIZE_MAX;
  if (has_own) {
    own = anchors.size();
    anchors.push_back(Anchor{*attr->id(), kind, {}});
  }
  walk_inlines(inlines, anchors, text);
  if (own != SIZE_MAX) anchors[own].text = text.between(0, text.mark());
}

void anchor_table(const Block::Table& table, std::vector<Anchor>& anchors,
                  InlineStack& pending) {
  anchor_run(&table.attr, "caption", table.caption, anchors, pending);
  for (const auto* rows : {&table.head_rows, &table.rows, &table.foot_rows}) {
    for (const TableRow& row : *rows) {
      for (const TableCell& cell : row.cells) {
        anchor_run(nullptr, {}, cell.content, anchors, pending);
      }
    }
  }
}

void anchor_figure(const Block::Figure& figure, std::vector<Anchor>& anchors,
                   InlineStack& pending) {
  anchor_run(&figure.attr, "caption", figure.caption, anchors, pending);
  anchor_run(nullptr, {}, std::span<const Inline>(&figure.image, 1), anchors, pending);
}

void anchor_definition_list(const Block::DefinitionList& list, std::vector<Anchor>& anchors,
                            InlineStack& pending) {
  for (const DefinitionItem& item : list.items) {
    for (const DefinitionTerm& term : item.terms) {
      anchor_run(&term.attr, "text", term.inlines, anchors, pending);
    }
    for (const Inlines& definition : item.definitions) {
      anchor_run(nullptr, {}, definition, anchors, pending);
    }
  }
}

// Appends the labels of the footnote references that rendering `blocks` writes. An image's alt
// text is written as plain text, references and all, so none inside it counts; a figure writes
// its caption, not its image's alt.
void rendered_references(std::span<const Block> blocks, std::vector<std::string_view>& labels) {
  std::vector<std::span<const Block>> block_stack{blocks};
  std::vector<std::span<const Inline>> inline_stack;
  const auto push_rows = [&](const ArenaVector<TableRow>& rows) {
    for (const TableRow& row : rows)
      for (const TableCell& cell : row.cells) inline_stack.push_back(cell.content);
  };
  while (!block_stack.empty()) {
    const std::span<const Block> list = block_stack.back();
    block_stack.pop_back();
    for (const Block& block : list) {
      if (const Inlines* inlines = block.inlines()) inline_stack.push_back(*inlines);
      if (const Blocks* children = block.children()) block_stack.push_back(*children);
      if (const auto* items = block.get_if<Block::List>()) {
        for (const ListItem& item : items->items) block_stack.push_back(item.children);
      } else if (const auto* definitions = block.get_if<Block::DefinitionList>()) {
        for (const DefinitionItem& item : definitions->items) {
          for (const DefinitionTerm& term : item.terms) inline_stack.push_back(term.inlines);
          for (const Inlines& definition : item.definitions) inline_stack.push_back(definition);
        }
      } else if (const auto* table = block.get_if<Block::Table>()) {
        inline_stack.push_back(table->caption);
        push_rows(table->head_rows);
        push_rows(table->rows);
        push_rows(table->foot_rows);
      } else if (const auto* figure = block.get_if<Block::Figure>()) {
        inline_stack.push_back(figure->caption);
      }
    }
    while (!inline_stack.empty()) {
      const std::span<const Inline> inlines = inline_stack.back();
      inline_stack.pop_back();
      for (const Inline& node : inlines) {
        if (const auto* ref = node.get_if<Inline::FootnoteRef>()) {
          labels.push_back(ref->label);
        } else if (const auto* operation = node.get_if<Inline::Operation>()) {
          for (const OperationArg& arg : operation->args) inline_stack.push_back(arg.value);
        } else if (node.kind() != InlineKind::Image) {
          if (const Inlines* children = node.children()) inline_stack.push_back(*children);
        }
      }
    }
  }
}

}  // namespace

std::vector<Anchor> document_anchors(const Document& doc) {
  std::vector<Anchor> anchors;
  for (const Block& block : doc.blocks) anchor_block(block, anchors);
  if (doc.footnotes.empty()) return anchors;
  // A footnote reaches the rendered document when the text, or a footnote that reaches it,
  // references its label, and no later definition takes the label over.
  std::unordered_map<std::string_view, std::size_t> definition_of;
  for (std::size_t i = 0; i < doc.footnotes.size(); ++i) definition_of[doc.footnotes[i].label] = i;
  std::vector<bool> is_rendered(doc.footnotes.size(), false);
  std::vector<std::string_view> labels;
  rendered_references(doc.blocks, labels);
  while (!labels.empty()) {
    const auto found = definition_of.find(labels.back());
    labels.pop_back();
    if (found == definition_of.end() || is_rendered[found->second]) continue;
    is_rendered[found->second] = true;
    rendered_references(doc.footnotes[found->second].blocks, labels);
  }
  for (std::size_t i = 0; i < doc.footnotes.size(); ++i) {
    if (!is_rendered[i]) continue;
    for (const Block& block : doc.footnotes[i].blocks) anchor_block(block, anchors);
  }
  return anchors;
}

void anchor_block(const Block& root, std::vector<Anchor>& anchors) {
  // Block lists still to walk, innermost last.
  std::vector<std::span<const Block>> stack;
  InlineStack pending;
  stack.push_back(std::span<const Block>(&root, 1));
  while (!stack.empty()) {
    std::span<const Block>& top = stack.back();
    if (top.empty()) {
      stack.pop_back();
      continue;
    }
    const Block& block = top.front();
    top = top.subspan(1);
    switch (block.kind()) {
      case BlockKind::Paragraph:
      case BlockKind::Heading:
        anchor_run(block.attr(), "block", *block.inlines(), anchors, pending);
        break;
      case BlockKind::PanelTitle:
        anchor_run(block.attr(), "text", *block.inlines(), anchors, pending);
        break;
      case BlockKind::BlockQuote:
      case BlockKind::Div:
        stack.push_back(*block.children());
        break;
      case BlockKind::List: {
        // Items last-first, so the first item is walked first.
        const auto& items = block.get_if<Block::List>()->items;
        for (auto item = items.rbegin(); item != items.rend(); ++item) {
          stack.push_back(item->children);
        }
        break;
      }
      case BlockKind::DefinitionList:
        anchor_definition_list(*block.get_if<Block::DefinitionList>(), anchors, pending);
        break;
      case BlockKind::Table:
        anchor_table(*block.get_if<Block::Table>(), anchors, pending);
        break;
      case BlockKind::Figure:
        anchor_figure(*block.get_if<Block::Figure>(), anchors, pending);
        break;
      case BlockKind::CodeBlock:
      case BlockKind::HtmlBlock:
      case BlockKind::ThematicBreak:
      case BlockKind::MathBlock:
      case BlockKind::TemplateToken:
      case BlockKind::RawBlock:
      case BlockKind::ScriptBlock:
        break;
    }
  }
}

void anchor_inlines(std::span<const Inline> inlines, std::vector<Anchor>& anchors) {
  InlineStack pending;
  anchor_run(nullptr, {}, inlines, anchors, pending);
}

std::string inlines_text(std::span<const Inline> inlines) {
  // Uncollapsed: the same walk, with a writer that keeps white space as it stands.
  std::string text;
  std::vector<std::span<const Inline>> stack;
  stack.push_back(inlines);
  while (!stack.empty()) {
    std::span<const Inline>& top = stack.back();
    if (top.empty()) {
      stack.pop_back();
      continue;
    }
    const Inline& node = top.front();
    top = top.subspan(1);
    switch (node.kind()) {
      case InlineKind::Text: text += node.get_if<Inline::Text>()->text; break;
      case InlineKind::SoftBreak:
      case InlineKind::HardBreak: text += ' '; break;
      case InlineKind::Superscript: text += node.get_if<Inline::Superscript>()->text; break;
      case InlineKind::Subscript: text += node.get_if<Inline::Subscript>()->text; break;
      case InlineKind::Code: text += node.get_if<Inline::Code>()->text; break;
      case InlineKind::Autolink: text += node.get_if<Inline::Autolink>()->text; break;
      case InlineKind::TemplateToken: text += node.get_if<TemplateToken>()->body; break;
      case InlineKind::MathInline: text += node.get_if<Inline::MathInline>()->tex; break;
      case InlineKind::Emph:
      case InlineKind::Strong:
      case InlineKind::Strike:
      case InlineKind::Highlight:
      case InlineKind::Span:
      case InlineKind::Link:
      case InlineKind::Image:
      case InlineKind::Note: stack.push_back(*node.children()); break;
      case InlineKind::HtmlInline:
      case InlineKind::Operation:
      case InlineKind::FootnoteRef:
      case InlineKind::RawInline: break;
    }
  }
  return text;
}

void push_anchor(const Attr& attr, std::string_view kind, std::string_view raw_text,
                 std::vector<Anchor>& anchors) {
  if (!attr.id()) return;
  CollapsedText text;
  text.append(raw_text);
  anchors.push_back(Anchor{*attr.id(), kind, text.between(0, text.mark())});
}

}  // namespace vedavi
