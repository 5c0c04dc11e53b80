// The writer's driver (a loop over an explicit frame stack), the block walk and the simple blocks:
// paragraphs, headings, thematic breaks, block quotes, fenced divs and raw HTML blocks.
#include "markdown/renderer.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/internal_error.h"
#include "fast5ever/parse.h"
#include "fast5ever/serialize.h"
#include "markdown/attrs.h"
#include "markdown/html.h"
#include "markdown/writer.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::markdown {
namespace {

// The elements of VEDAVI's inlines, and HTML's phrasing elements an md source may hold as inline
// HTML: within a list item these keep the item's text on its lines. Sorted, for a binary search.
constexpr std::array<std::string_view, 46> kInlineTags = {
    "a", "abbr", "acronym", "b", "bdi", "bdo", "big", "br", "button", "cite", "code", "data",
    "del", "dfn", "em", "font", "i", "img", "input", "ins", "kbd", "label", "mark", "math",
    "nobr", "output", "picture", "q", "rp", "rt", "ruby", "s", "samp", "small", "span", "strike",
    "strong", "sub", "sup", "svg", "template", "time", "tt", "u", "var", "wbr"};
static_assert(std::is_sorted(kInlineTags.begin(), kInlineTags.end()));

std::string_view trim_end_view(std::string_view text) { return unicode::trim_end(text); }

bool is_inline_tag(std::string_view name) {
  return std::binary_search(kInlineTags.begin(), kInlineTags.end(), name);
}

// Inline too, in an item or a cell: a custom element (a name with "-", which md holds as inline
// HTML), and a raw payload from a span (`x`{=tex}), whose text, unlike a fenced payload's, ends
// without a line feed.
bool is_inline_extra(const Dom& dom, NodeId node) {
  const auto parent = dom.node(node).parent;
  if (!parent || !(dom.is_tag(*parent, "li") || dom.is_tag(*parent, "td") || dom.is_tag(*parent, "th"))) {
    return false;
  }
  const std::string_view name = dom.element(node)->name.local;
  if (name.find('-') != std::string_view::npos) return true;
  if (name != "script" || dom.attr(node, "type") != std::optional<std::string_view>("application/vnd.vedavi.raw")) {
    return false;
  }
  const auto& children = dom.node(node).children;
  if (children.size() != 1) return false;
  const auto* text = std::get_if<fast5ever::dom::Text>(&dom.node(children[0]).data);
  return text != nullptr && !text->text.empty() && text->text.back() != '\n';
}

// The elements the HTML parser reopens when a block interrupts them: a block may stand below a
// nest of them however deep. Sorted, for a binary search.
constexpr std::array<std::string_view, 14> kReopenedTags = {
    "a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u"};
static_assert(std::is_sorted(kReopenedTags.begin(), kReopenedTags.end()));

bool is_reopened(const fast5ever::dom::Element& element) {
  return element.name.ns == html5::Namespace::Html &&
         std::binary_search(kReopenedTags.begin(), kReopenedTags.end(), element.name.local);
}

// An HTML element whose name the reader takes no tag for: the HTML parser read `<a-b="">` as
// one name.
bool has_unreadable_name(const Dom& dom, NodeId node) {
  const auto* element = dom.element(node);
  return element != nullptr && element->name.ns == html5::Namespace::Html &&
         !is_readable_tag_name(element->name.local);
}

// Visits `children` in order, going into the children of each one `through` accepts instead of
// visiting it (with a stack: such elements may nest however deep), until `visit` returns true.
// Returns whether it did.
template <class Through, class Visit>
bool visit_through(const Dom& dom, const fast5ever::dom::ChildList& children, Through through, Visit visit) {
  std::vector<std::pair<const NodeId*, const NodeId*>> stack;
  stack.emplace_back(children.begin(), children.end());
  while (!stack.empty()) {
    auto& [next, end] = stack.back();
    if (next == end) {
      stack.pop_back();
      continue;
    }
    const NodeId child = *next++;
    if (through(child)) {
      const auto& inner = dom.walk_children(child);
      stack.emplace_back(inner.begin(), inner.end());
    } else if (visit(child)) {
      return true;
    }
  }
  return false;
}

// Whether a paragraph's md would open with a comment or a custom element's tag, or be empty.
// Elements whose names the reader takes no tag for are written by their content, so their
// content is looked through.
bool opens_html_block(const Dom& dom, NodeId paragraph) {
  std::optional<bool> opens;
  const auto unreadable = [&](NodeId child) { return has_unreadable_name(dom, child); };
  visit_through(dom, dom.walk_children(paragraph), unreadable, [&](NodeId child) {
    if (is_blank_text(dom, child)) return false;
    opens = opens_html_block_line(dom, child);
    return true;
  });
  return opens.value_or(true);
}

}  // namespace

bool opens_html_block_line(const Dom& dom, NodeId node) {
  if (std::holds_alternative<fast5ever::dom::Comment>(dom.node(node).data)) return true;
  const auto* element = dom.element(node);
  return element != nullptr && element->name.ns == html5::Namespace::Html &&
         element->name.local.find('-') != std::string_view::npos && is_readable_tag_name(element->name.local);
}

bool BlockNodes::operator()(NodeId node) const {
  if (blocks_[node] != kUnknown) return blocks_[node] == kYes;
  const auto* element = dom_.element(node);
  const bool block = element != nullptr &&
                     ((!is_inline_tag(element->name.local) && !is_inline_extra(dom_, node)) || holds_block(node));
  blocks_[node] = block ? kYes : kNo;
  return block;
}

// Depth first with a stack of its own; a frame looks at its children in order, goes down into a
// reopened one not yet known, and on coming back looks at that child again, known now.
bool BlockNodes::holds_block(NodeId element) const {
  if (holds_[element] != kUnknown) return holds_[element] == kYes;
  stack_.assign(1, Step{element, 0});
  while (!stack_.empty()) {
    Step& step = stack_.back();
    const auto& children = dom_.node(step.node).children;
    bool found = false;
    bool down = false;
    for (; step.next < children.size(); ++step.next) {
      const NodeId child = children[step.next];
      const auto* inner = dom_.element(child);
      if (inner == nullptr) continue;
      if (!is_inline_tag(inner->name.local) || holds_[child] == kYes) {
        found = true;
        break;
      }
      if (holds_[child] == kUnknown && is_reopened(*inner)) {
        stack_.push_back(Step{child, 0});
        down = true;
        break;
      }
    }
    if (down) continue;
    holds_[step.node] = found ? kYes : kNo;
    stack_.pop_back();
  }
  return holds_[element] == kYes;
}

DomRenderer::DomRenderer(const Dom& dom, std::vector<std::string> referenced)
    : dom_(dom),
      block_nodes_(dom),
      note_refs_(std::move(referenced)),
      note_labels_(defined_note_labels(dom, note_refs_)) { sinks_.emplace_back(); }

void DomRenderer::blocks(NodeId node, std::string& out) {
  const std::size_t start = out.size();
  sinks_[0].text = std::move(out);
  sinks_[0].floor = 0;
  depth_ = 0;
  push_children(node, Walk::Blocks, Close::Nothing);
  run();
  apply_indents(sinks_[0]);
  out = std::move(sinks_[0].text);
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), kKeptSpace, ' ');
}

// ---- output sinks ----

void DomRenderer::push_sink(std::string_view start, std::size_t floor) {
  ++depth_;
  if (depth_ == sinks_.size()) sinks_.emplace_back();
  Sink& sink = sinks_[depth_];
  sink.text.assign(start);
  sink.floor = floor;
  sink.owner = depth_;
  sink.begin = 0;
  sink.marker = floor > 0;
  sink.indents.clear();
}

std::string DomRenderer::pop_sink() {
  apply_indents(sinks_[depth_]);
  std::string text = std::move(sinks_[depth_].text);
  sinks_[depth_].text = std::string();
  --depth_;
  return text;
}

// A list item writes into the text of the sink it stands in, so that nesting copies nothing;
// its continuation lines are indented once, when that text is done.
void DomRenderer::push_shared_sink(std::string_view marker) {
  const std::size_t owner = sinks_[depth_].owner;
  ++depth_;
  if (depth_ == sinks_.size()) sinks_.emplace_back();
  std::string& text = sinks_[owner].text;
  Sink& sink = sinks_[depth_];
  sink.owner = owner;
  sink.begin = text.size();
  text += marker;
  sink.floor = text.size();
  sink.marker = !marker.empty();
  sink.indents.clear();
}

std::size_t DomRenderer::pop_shared_sink() {
  return sinks_[depth_--].begin;
}

// Writes the pending continuation indents into the sink's text in one pass: every line that
// starts after a line feed inside an indented range gets the widths of all ranges around it.
void DomRenderer::apply_indents(Sink& sink) {
  if (sink.indents.empty()) return;
  struct Event {
    std::size_t at;
    std::ptrdiff_t width;
  };
  std::vector<Event> events;
  events.reserve(sink.indents.size() * 2);
  for (const Indent& indent : sink.indents) {
    const auto width = static_cast<std::ptrdiff_t>(indent.width);
    events.push_back({indent.begin, width});
    events.push_back({indent.end, -width});
  }
  std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });
  const std::string& text = sink.text;
  std::string indented;
  indented.reserve(text.size() + text.size() / 4);
  std::size_t next_event = 0;
  std::ptrdiff_t width = 0;
  std::size_t copied = 0;
  for (std::size_t line_end = text.find('\n'); line_end != std::string::npos; line_end = text.find('\n', line_end + 1)) {
    while (next_event < events.size() && events[next_event].at <= line_end) width += events[next_event++].width;
    if (width == 0) continue;
    indented.append(text, copied, line_end + 1 - copied);
    indented.append(static_cast<std::size_t>(width), ' ');
    copied = line_end + 1;
  }
  indented.append(text, copied, std::string::npos);
  sink.text = std::move(indented);
  sink.indents.clear();
}

// The spaces that open the current line, 4 when it holds anything else. Only the line's tail is
// scanned, back to its last line feed or the sink's marker.
int DomRenderer::line_indent() {
  const Sink& sink = sinks_[depth_];
  const std::string& text = out();
  int spaces = 0;
  for (std::size_t i = text.size(); i > sink.floor; --i) {
    const char c = text[i - 1];
    if (c == '\n') break;
    if (c != ' ' || ++spaces > 3) return 4;
  }
  return spaces;
}

// The output stands at the start of a content line: after a line feed, or at the start of a
// sink that has no marker of its own.
bool DomRenderer::at_content_line_start() {
  const Sink& sink = sinks_[depth_];
  const std::string& text = out();
  return text.size() == sink.floor ? !sink.marker : text.back() == '\n';
}

// ---- the driver ----

void DomRenderer::push(NodeId node, const NodeId* begin, const NodeId* end, Walk walk, Close close) {
  frames_.push_back(Frame{node, begin, begin, end, walk, close});
}

void DomRenderer::push_children(NodeId node, Walk walk, Close close) {
  const auto& children = dom_.walk_children(node);
  push(node, children.begin(), children.end(), walk, close);
}

void DomRenderer::run() {
  while (!frames_.empty()) {
    Frame& top = frames_.back();
    if (top.next == top.end) {
      const Frame done = top;
      frames_.pop_back();
      finish(done);
      continue;
    }
    const NodeId child = *top.next++;
    step(top, child);  // may push frames: `top` is not used after this
  }
}

void DomRenderer::step(Frame& frame, NodeId child) {
  switch (frame.walk) {
    case Walk::Inlines:
      inline_node(child, context_of(frame, child));
      return;
    case Walk::Blocks:
    case Walk::ItemBlocks:
      step_blocks(frame, child);
      return;
    case Walk::Panel:
      if (frame.counter == 0 && child == frame.partner && dom_.is_tag(child, "header")) {
        frame.counter = 1;
        panel_title(child);
      } else {
        // Loose text in a panel is a run of its own, as in any other block container.
        step_blocks(frame, child);
      }
      return;
    case Walk::ListItems:
      if (dom_.is_tag(child, "li")) list_item(frame, child);
      return;
    case Walk::Notes:
      if (dom_.is_tag(child, "li")) footnote(child);
      return;
    case Walk::TableRows:
      if (dom_.is_tag(child, "tr")) table_row(child, Close::Row);
      return;
    case Walk::RowCells:
      out() += ' ';
      ++cells_open_;
      push_children(child, Walk::Inlines, Close::Cell);
      frames_.back().cell_begin = out().size();
      return;
  }
}

void DomRenderer::step_blocks(Frame& frame, NodeId child) {
  const bool starts_run = !frame.in_run;
  if (is_block(child)) {
    if (frame.in_run) {
      finish_run(frame, child);
    } else if (follows_tightly(frame, child)) {
      trim_line_ends();
      out() += '\n';
    }
    frame.in_run = false;
    frame.last_block = child;
    // A list right after another of its kind takes the other marker, or the two would read back
    // as one list.
    char marker = 0;
    previous_marker_ = frame.marker;
    if (dom_.is_tag(child, "ul")) marker = frame.marker == '-' ? '*' : '-';
    ordered_after_ordered_ = false;
    if (dom_.is_tag(child, "ol")) {
      ordered_after_ordered_ = frame.marker == '.';
      marker = '.';
    }
    frame.marker = marker;
    frame.after_list = interrupts_paragraph(child);
    list_marker_ = marker == '.' ? 0 : marker;
    previous_ordered_last_ = frame.ordered_last;
    written_ordered_last_ = 0;
    // The reader's numbering rules look back along the run of sibling blocks: a bullet list or
    // a heading may end that run, after which no list continues an earlier one.
    if (dom_.is_tag(child, "ul") || is_heading(child)) frame.ordered_last = 0;
    const std::size_t index = static_cast<std::size_t>(&frame - frames_.data());
    block(child);  // may push frames: `frame` is not used after this
    list_marker_ = 0;
    previous_marker_ = 0;
    if (written_ordered_last_ != 0) frames_[index].ordered_last = written_ordered_last_;
    return;
  }
  // A note's back-link writes nothing (the renderer rebuilds it): alone, it must not open a run,
  // whose blank line would read back as nothing.
  if (starts_run && (is_blank_text(dom_, child) || is_back_link(dom_, child))) return;
  // A comment or a custom element at a line start opens an HTML block, which takes the rest of
  // its line as it stands: a run opened by one is written as HTML throughout.
  if (starts_run) {
    frame.raw_run = opens_html_block_line(dom_, child);
    // In a tight item, text after a nested block follows on the next line: a blank line there
    // would make the item loose.
    if (frame.walk == Walk::ItemBlocks && frame.after_list && !frame.loose) {
      trim_line_ends();
      out() += '\n';
    }
    frame.after_list = false;
  }
  frame.in_run = true;
  frame.last_block.reset();
  frame.marker = 0;
  if (frame.raw_run) {
    // The HTML block that the comment opens ends with the comment's line: what follows it in
    // the run stays on that line, unless it is another comment, which opens a block again.
    const auto is_comment = [&](NodeId node) {
      return std::holds_alternative<fast5ever::dom::Comment>(dom_.node(node).data);
    };
    if (is_blank_text(dom_, child) && frame.next != frame.end && is_comment(*frame.next)) {
      out() += '\n';  // white space between comments: the reader keeps no more of it
    } else if (starts_run || is_comment(child)) {
      // The block ends with the line holding the first "-->": a comment going on past its line
      // starts a line of its own, where it opens a block again.
      const auto& comment = dom_.node(child).data;
      if (!starts_run && !out().ends_with('\n') &&
          std::get<fast5ever::dom::Comment>(comment).text.find_first_of("\n\r") != std::string::npos) {
        while (out().ends_with(' ') || out().ends_with('\t')) out().pop_back();
        out() += '\n';
      }
      append_reader_html(dom_, child, out());
    } else {
      std::string html;
      append_reader_html(dom_, child, html);
      std::replace(html.begin(), html.end(), '\n', ' ');
      std::replace(html.begin(), html.end(), '\r', ' ');
      out() += html;
    }
    return;
  }
  inline_node(child, context_of(frame, child));
}

// Ends an inline run with a blank line. Inside a list item, a run followed directly by a nested
// list that may interrupt a paragraph ends with one line feed: the item stays tight, as it was.
void DomRenderer::finish_run(const Frame& frame, std::optional<NodeId> next_block) {
  trim_line_ends();
  const bool tight =
      frame.walk == Walk::ItemBlocks && !frame.loose && next_block && interrupts_paragraph(*next_block);
  out() += tight ? "\n" : "\n\n";
}

// White space that ends a paragraph is not kept by the reader: dropping it here keeps a second
// round from writing fewer blank lines than the first.
// Nothing has been written yet after a list item's marker: white space there would be dropped by
// the reader, and a line feed would leave the item's first line empty.
bool DomRenderer::at_item_content_start() {
  const Sink& sink = sinks_[depth_];
  const std::size_t size = out().size();
  return (sink.marker && size == sink.floor) ||
         (headings_open_ > 0 && size == heading_start_);  // after "## " likewise
}

void DomRenderer::trim_line_ends() { trim_end_from(sinks_[depth_].floor); }

// Drops spaces, tabs and line ends that end the output, back to `floor` at most.
void DomRenderer::trim_end_from(std::size_t floor) {
  std::string& text = out();
  std::size_t end = text.size();
  while (end > floor && std::string_view(" \t\n\r").find(text[end - 1]) != std::string_view::npos) {
    --end;
  }
  text.resize(end);
  protect_trailing_space(text, floor);
}

// Other white space (a no-break space) that ends a block is dropped by the reader too: it is
// written as a character reference.
void protect_trailing_space(std::string& text, std::size_t floor) {
  if (text.size() > floor && (text.back() == '\f' || text.back() == '\v')) {
    const char last = text.back();
    text.pop_back();
    text += char_reference(static_cast<char32_t>(last));
    return;
  }
  if (text.size() <= floor || static_cast<unsigned char>(text.back()) < 0x80) return;
  const char32_t last = utf8::prev_char(text, text.size());
  if (!unicode::is_white_space(last)) return;
  std::size_t start = text.size() - 1;
  while (start > floor && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  text.resize(start);
  text += char_reference(last);
}

// White space other than a space that opens a cell is trimmed by the reader as well: a tab, a
// form feed, a vertical tab or a no-break space there is written as a character reference.
void protect_leading_space(std::string& text, std::size_t begin) {
  if (begin >= text.size()) return;
  const auto first = static_cast<unsigned char>(text[begin]);
  char32_t cp = first;
  std::size_t len = 1;
  if (first >= 0x80) {
    const auto decoded = utf8::decode(text, begin);
    cp = decoded.cp;
    len = decoded.len;
    if (!unicode::is_white_space(cp)) return;
  } else if (first != '\t' && first != '\f' && first != '\v') {
    return;
  }
  text.replace(begin, len, char_reference(cp));
}

void DomRenderer::finish(const Frame& frame) {
  if (frame.in_run) finish_run(frame, std::nullopt);
  switch (frame.close) {
    case Close::Nothing: return;
    case Close::Paragraph:
      // Content that writes nothing (an element whose tag name md cannot hold, say) leaves an
      // empty paragraph, which has no md form: it stays HTML, as one without content does.
      if (out().find_first_not_of(" \t\n", frame.text_begin) == std::string::npos) {
        out().resize(frame.text_begin);
        raw_block(frame.node);
        return;
      }
      trim_line_ends();
      out() += '\n';
      ial(attrs_without_classes(dom_, frame.node), out());
      out() += '\n';
      return;
    case Close::Heading:  // a panel's title too: its group stands on the heading line
      --headings_open_;
      trim_line_ends();
      // The reader trims the content's white space at both ends, as in a cell.
      protect_leading_space(out(), heading_start_);
      if (const Attr attr = attrs_without_classes(dom_, frame.node); !attr.empty()) {
        out() += ' ';
        trailing_attrs(attr, out());
      } else if (out().ends_with('}')) {
        out() += " #";  // a closing sequence keeps the content's own group from reading as the heading's
      }
      out() += "\n\n";
      return;
    case Close::Quote: close_quote(frame.node); return;
    case Close::Div: close_div(frame.node); return;
    case Close::Content:
      frames_.back().marker = frame.marker;
      frames_.back().ordered_last = frame.ordered_last;
      return;
    case Close::HtmlContainer: close_html_container(frame.node); return;
    case Close::Panel: close_panel(frame.node); return;
    case Close::ItemText: close_item_text(frame); return;
    case Close::ItemBlocks: close_item_blocks(frame); return;
    case Close::List: close_list(frame.node); return;
    case Close::Note: close_note(frame.node); return;
    case Close::Delimited: {
      const auto tag = *dom_.tag(frame.node);
      const std::string_view marker = tag == "em" ? "*" : tag == "strong" ? "**" : tag == "del" ? "~~" : "==";
      --open_marks_[mark_index(marker)];
      out() += marker;
      trailing_attrs(attrs_without_classes(dom_, frame.node), out());
      return;
    }
    case Close::Link: close_link(frame.node); return;
    case Close::Span:
      out() += ']';
      trailing_attrs(attrs_without_classes(dom_, frame.node), out());
      return;
    case Close::Figure: close_figure(frame); return;
    case Close::TemplateInline: close_template(frame.node, false); return;
    case Close::TemplateBlocks: close_template(frame.node, true); return;
    case Close::HeaderRow: close_header_row(); return;
    case Close::BodyRows: close_body_rows(); return;
    case Close::Caption: close_caption(); return;
    case Close::Row: out() += '\n'; return;
    case Close::HtmlEnd:
      out() += "</";
      out() += *dom_.tag(frame.node);
      out() += '>';
      return;
    case Close::Cell: {
      --cells_open_;
      std::string& text = out();
      escape_cell_pipes(text, frame.cell_begin);
      // The reader trims a cell: spaces at its ends go (a second round would not write them), other
      // white space there is written as references.
      while (text.size() > frame.cell_begin && text.back() == ' ') text.pop_back();
      if (text.back() == '\t') {
        text.pop_back();
        text += "&#9;";
      }
      protect_trailing_space(text, 0);
      const std::size_t content = std::min(text.find_first_not_of(' ', frame.cell_begin), text.size());
      text.erase(frame.cell_begin, content - frame.cell_begin);
      protect_leading_space(text, frame.cell_begin);
      text += " |";
      return;
    }
  }
}

// ---- blocks ----

void DomRenderer::block(NodeId node) {
  const auto tag = dom_.tag(node);
  if (!tag || dom_.element(node)->name.ns != html5::Namespace::Html) {
    if (tag) {
      payload_block(dom_, node, out());
    } else {
      inline_node(node);
    }
    return;
  }
  element_block(node, *tag);
}

void DomRenderer::element_block(NodeId node, std::string_view tag) {
  if (tag == "p") {
    // An empty paragraph has no md form (a blank line is no paragraph): it stays HTML. So does
    // one that opens with a comment or a custom element, which would open an HTML block of its
    // own.
    if (opens_html_block(dom_, node) || !sayable(attrs_without_classes(dom_, node))) {
      raw_block(node);
      return;
    }
    push_children(node, Walk::Inlines, Close::Paragraph);
    frames_.back().text_begin = out().size();
  } else if (tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6') {
    if (!sayable(attrs_without_classes(dom_, node))) {
      raw_block(node);
      return;
    }
    heading(node, tag);
  } else if (tag == "hr") {
    if (!attribute_line_reads_back(attrs_without_classes(dom_, node))) {
      raw_block(node);
      return;
    }
    // "---" opening the document would open frontmatter, closed by any later "---".
    if (depth_ == 0 && out().empty()) out() += '\n';
    out() += "---\n";
    ial(attrs_without_classes(dom_, node), out());
    out() += '\n';
  } else if (tag == "ul" || tag == "ol") {
    if (!list_sayable(node)) {
      raw_block(node);
      return;
    }
    const bool ordered = tag == "ol";
    if (ordered && !ordered_list_reads_back(node)) {
      raw_block(node);
      return;
    }
    // Ordered lists have one marker: one right after another is set apart by a separator line,
    // which the reader takes only between top-level blocks.
    if (ordered && ordered_after_ordered_) {
      if (depth_ > 0) {
        raw_block(node);
        return;
      }
      out() += "^\n\n";
    }
    list(node, ordered, list_marker_ != 0 ? list_marker_ : ordered ? '.' : '-');
  } else if (tag == "pre") {
    if (const auto code = sole_code(node)) {
      code_block(node, *code);
    } else {
      raw_block(node);
    }
  } else if (tag == "div") {
    const DivForm form = div_form(node);
    switch (form) {
      case DivForm::Math: display_math(node); return;
      case DivForm::Panel: panel(node); return;
      case DivForm::Html: raw_block(node); return;
      case DivForm::Fenced:
      case DivForm::HtmlContainer:
        push_sink();
        push_children(node, Walk::Blocks, form == DivForm::Fenced ? Close::Div : Close::HtmlContainer);
        return;
    }
  } else if (tag == "blockquote") {
    push_sink();
    const bool md = attribute_line_reads_back(attrs_without_classes(dom_, node));
    push_children(node, Walk::Blocks, md ? Close::Quote : Close::HtmlContainer);
  } else if (tag == "section" && dom_.has_class(node, "footnotes")) {
    footnotes(node);
  } else if (tag == "table") {
    table(node);
  } else if (tag == "figure") {
    if (!figure(node)) raw_block(node);
  } else if (tag == "script") {
    script_block(node);
  } else if (is_inline_tag(tag)) {
    content_block(node);  // an inline element holding blocks
  } else {
    raw_block(node);
  }
}

// The code element a pre holds alone, reached through elements whose tags are left out (the
// pre's HTML would hold it alone just the same, and read back as a code block).
std::optional<NodeId> DomRenderer::sole_code(NodeId pre) const {
  NodeId node = pre;
  for (;;) {
    const auto children = significant_children(dom_, node);
    if (children.size() != 1 || dom_.element(children[0]) == nullptr) return std::nullopt;
    if (dom_.is_tag(children[0], "code")) return children[0];
    if (html_kind(dom_, children[0]) != HtmlKind::Content) return std::nullopt;
    node = children[0];
  }
}

DomRenderer::DivForm DomRenderer::div_form(NodeId div) const {
  if (has_classes(dom_, div, "math", "display")) return DivForm::Math;
  if (dom_.attr(div, "data-panel")) return DivForm::Panel;
  if (has_inline_content(div)) return DivForm::Html;  // a fenced div would wrap the text in a paragraph
  return sayable(attrs_without_classes(dom_, div)) ? DivForm::Fenced : DivForm::HtmlContainer;
}

// An element md cannot express, as HTML the reader keeps: a dialect element with its tags, a
// hidden one as a raw HTML payload, any other by its content.
void DomRenderer::raw_block(NodeId node) {
  if (dom_.element(node) != nullptr) {
    switch (html_kind(dom_, node)) {
      case HtmlKind::Hidden:
        payload_block(dom_, node, out());
        return;
      case HtmlKind::Content:
        content_block(node);
        return;
      case HtmlKind::Dialect:
        break;
    }
  }
  std::string& text = out();
  const std::size_t start = text.size();
  append_reader_html(dom_, node, text);
  if (text.size() == start || text.back() != '\n') text += '\n';
  text += '\n';
}

bool DomRenderer::is_content_wrapper(NodeId node) const {
  const auto* element = dom_.element(node);
  return element != nullptr && element->name.ns == html5::Namespace::Html && is_inline_tag(*dom_.tag(node)) &&
         is_block(node);
}

// An element whose tags the reader would show as text: its content as blocks, in a fenced div
// when it has attributes to keep.
void DomRenderer::content_block(NodeId node) {
  if (const Attr attr = attrs_without_classes(dom_, node); attr.empty() || !sayable(attr)) {
    // Its blocks read back as the enclosing walk's own: a list there continues that walk's
    // alternation of markers and numbering, and hands them back when done.
    const std::uint64_t ordered_last = frames_.back().ordered_last;
    push_children(node, Walk::Blocks, Close::Content);
    frames_.back().marker = previous_marker_;
    frames_.back().ordered_last = ordered_last;
  } else {
    push_sink();
    push_children(node, Walk::Blocks, Close::Div);
  }
}

void DomRenderer::heading(NodeId node, std::string_view tag) {
  out().append(static_cast<std::size_t>(tag[1] - '0'), '#');
  out() += ' ';
  ++headings_open_;
  heading_start_ = out().size();
  push_children(node, Walk::Inlines, Close::Heading);
}

bool DomRenderer::is_heading(NodeId node) const {
  const auto tag = dom_.tag(node).value_or("");
  return tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6';
}

// The reader keeps an ordered list that starts at 1 with two items or more, or one that
// continues the numbering of the list written before it in the same run of blocks (its first
// number that list's last, or the next); it turns any other back into paragraphs. Those are
// written as HTML.
bool DomRenderer::ordered_list_reads_back(NodeId list) {
  std::uint64_t items = 0;
  for (NodeId child : dom_.node(list).children) items += dom_.is_tag(child, "li") ? 1 : 0;
  const std::uint64_t first = start_number(dom_, list);
  const std::uint64_t previous = previous_ordered_last_;
  previous_ordered_last_ = 0;
  const bool continues = previous != 0 && (first == previous || first == previous + 1);
  if (!(first == 1 && items >= 2) && !continues) return false;
  written_ordered_last_ = first + items - 1;
  return true;
}

// Text or an inline element that is not blank stands directly in the node.
bool DomRenderer::has_inline_content(NodeId node) const {
  const auto& children = dom_.walk_children(node);
  return std::any_of(children.begin(), children.end(), [&](NodeId child) {
    if (std::holds_alternative<fast5ever::dom::Text>(dom_.node(child).data)) return !is_blank_text(dom_, child);
    // A note's back-link writes nothing.
    return dom_.element(child) != nullptr && !is_block(child) && !is_back_link(dom_, child);
  });
}

// An empty quote still writes its ">" line: without one the quote would be lost.
void DomRenderer::close_quote(NodeId node) {
  const std::string body = pop_sink();
  std::string& text = out();
  const std::string_view content = trim_end_view(body);
  if (content.empty()) text += ">\n";
  for_each_line(content, [&](std::string_view line) {
    text += '>';
    if (!line.empty()) {
      text += ' ';
      text += line;
    }
    text += '\n';
  });
  ial(attrs_without_classes(dom_, node), text);
  text += '\n';
}

// A block whose attributes md cannot say, or whose attribute line is read only at the top level,
// as an md-HTML container: its tags on lines of their own around its content as md.
void DomRenderer::close_html_container(NodeId node) {
  const std::string body = pop_sink();
  std::string& text = out();
  append_start_tag(dom_, node, text, true);
  text += '\n';
  text += trim_end_view(body);
  text += "\n\n</";
  text += dom_.element(node)->name.local;
  text += ">\n\n";
}

// The reader takes an attribute line after a thematic break, a list, a quote or display math
// only between top-level blocks.
bool DomRenderer::attribute_line_reads_back(const Attr& attr) const {
  return attr.empty() || (depth_ == 0 && sayable(attr));
}

void DomRenderer::close_div(NodeId node) {
  const std::string body = pop_sink();
  fenced_div(attrs_without_classes(dom_, node), body, out());
}

// ---- entries ----

namespace {

// A definition no "[^label]" reference points to reads back as nothing, and whether a reference
// is written so depends on where it stands (inside an element kept as HTML it stays HTML). The
// first writing takes every reference in the tree as written; when one stayed HTML, the second
// takes only those it wrote; the third takes none (no definition, no "[^label]"), which always
// agrees.
constexpr int kNoteWritings = 3;

// Appends the md of `node`'s children, taking the notes `referenced` names as referenced; true
// when this writing is the last. Otherwise `referenced` holds what the next one takes.
bool write_once(const Dom& dom, NodeId node, std::vector<std::string>& referenced, int writing,
                std::string& out) {
  DomRenderer renderer(dom, referenced);
  renderer.blocks(node, out);
  if (writing == kNoteWritings || renderer.every_note_referenced()) return true;
  referenced = writing + 1 == kNoteWritings ? std::vector<std::string>{} : renderer.written_note_refs();
  return false;
}

}  // namespace

void write_markdown(const Dom& dom, NodeId node, std::string& out) {
  std::vector<std::string> referenced = referenced_note_labels(dom);
  const std::size_t start = out.size();
  for (int writing = 1; !write_once(dom, node, referenced, writing, out); ++writing) out.resize(start);
}

namespace {

// An element with a name the reader takes no tag for and no attributes to keep writes only its
// content.
bool is_nameless(const Dom& dom, NodeId node) {
  return has_unreadable_name(dom, node) && attrs_without_classes(dom, node).empty();
}

// Takes the nameless elements out of the tree, their content put in their place and texts that
// meet there joined: every choice the writer makes then sees the tree the reader builds from its
// output. Each node's children are gathered once, through nameless ones with a stack.
void unwrap_nameless(Dom& dom) {
  std::vector<NodeId> kept;
  const auto nameless = [&](NodeId node) { return is_nameless(dom, node); };
  for (NodeId node = 0; node < dom.nodes.size(); ++node) {
    const auto& children = dom.nodes[node].children;
    if (nameless(node) || std::none_of(children.begin(), children.end(), nameless)) continue;
    kept.clear();
    visit_through(dom, children, nameless, [&](NodeId child) {
      const auto* text = std::get_if<fast5ever::dom::Text>(&dom.nodes[child].data);
      auto* last = kept.empty() ? nullptr : std::get_if<fast5ever::dom::Text>(&dom.nodes[kept.back()].data);
      if (text != nullptr && last != nullptr) {
        last->text += text->text;
      } else {
        kept.push_back(child);
      }
      return false;
    });
    for (NodeId child : kept) dom.nodes[child].parent = node;
    dom.nodes[node].children.clear();
    dom.nodes[node].children.insert(dom.nodes[node].children.end(), kept.begin(), kept.end());
  }
}

// The reader's HTML holds a carriage return as it stands, which the HTML parser reads as a line
// end ("\r\n" as one): a tree holding one (from a reference) is written as the tree read back.
void carriage_returns_as_line_ends(std::string& text) {
  if (text.find('\r') == std::string::npos) return;
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      text[out++] = '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      text[out++] = text[i];
    }
  }
  text.resize(out);
}

// The tree as the writer takes it, in one pass over the nodes (the rare nameless elements take a
// second): carriage returns as line ends, nameless elements unwrapped, and a line feed opening
// the text of a pre, textarea or listing doubled: the reader drops one right after the start tag,
// and the serialiser does not write one back, so each round of md would lose one.
void prepare(Dom& dom) {
  bool nameless = false;
  std::vector<NodeId> preformatted;
  for (NodeId id = 0; id < dom.nodes.size(); ++id) {
    fast5ever::dom::Node& node = dom.nodes[id];
    if (auto* text = std::get_if<fast5ever::dom::Text>(&node.data)) {
      carriage_returns_as_line_ends(text->text);
    } else if (auto* comment = std::get_if<fast5ever::dom::Comment>(&node.data)) {
      carriage_returns_as_line_ends(comment->text);
    } else if (auto* element = std::get_if<fast5ever::dom::Element>(&node.data)) {
      for (auto& attribute : element->attrs) carriage_returns_as_line_ends(attribute.value);
      if (element->name.ns != html5::Namespace::Html) continue;
      const std::string_view tag = element->name.local;
      if (tag == "pre" || tag == "textarea" || tag == "listing") preformatted.push_back(id);
      nameless = nameless || is_nameless(dom, id);
    }
  }
  if (nameless) unwrap_nameless(dom);
  for (NodeId id : preformatted) {
    const auto& children = dom.nodes[id].children;
    if (children.empty()) continue;
    auto* text = std::get_if<fast5ever::dom::Text>(&dom.nodes[children[0]].data);
    if (text != nullptr && text->text.starts_with('\n')) text->text.insert(0, 1, '\n');
  }
}

}  // namespace

std::string vedavi_to_md(std::string_view html) {
  fault_point(html);
  Dom dom = fast5ever::dom::parse_fragment(html);
  prepare(dom);
  std::vector<std::string> referenced = referenced_note_labels(dom);
  std::string out;
  out.reserve(html.size());
  // As write_markdown, but the sections of notes written as definitions move to the end first,
  // where the reader puts them: another writing starts from the tree as parsed.
  for (int writing = 1;; ++writing) {
    notes_last(dom, 0, referenced);
    if (write_once(dom, 0, referenced, writing, out)) return out;
    out.clear();
    dom = fast5ever::dom::parse_fragment(html);
    prepare(dom);
  }
}

}  // namespace vedavi::markdown
