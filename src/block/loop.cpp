// The container line loop: each line is matched against the open containers, continues an open
// fenced leaf or closes a fence, or opens containers and goes on to the leaf handlers. One call
// builds the blocks up to the first line where the top level is complete.
#include "block/build.h"
#include "block/html.h"
#include "block/scan.h"
#include "text/scan.h"

namespace vedavi::block {

using line::Rest;

namespace {

bool marker_fits(const build::List& list, const ListMarker& m) {
  if (m.ordered != list.ordered || m.marker != list.marker) return false;
  return !m.ordered || m.number == list.last || m.number == list.last + 1;
}

bool quote_marker_matches(const Rest& rest) {
  if (rest.empty() || rest.indent() > 3) return false;
  std::string_view t = rest.trimmed_start();
  return !t.empty() && t[0] == '>';
}

// Whether a block quote or list item can open on `rest`: its first character after white space is
// ">" or begins a list marker. Every other line (most lines of text) skips the recognisers.
// The bytes that may begin a block quote or list marker, all below 64: one bit each.
bool opens_container_byte(char c) {
  constexpr auto bit = [](char b) { return std::uint64_t{1} << static_cast<unsigned>(b); };
  constexpr std::uint64_t kBytes = bit('>') | bit('-') | bit('+') | bit('*') | (std::uint64_t{0x3ff} << '0');
  const auto b = static_cast<unsigned char>(c);
  return b < 64 && ((kBytes >> b) & 1) != 0;
}
bool may_open_container(const Rest& rest) {
  std::string_view t = rest.trimmed_start();
  return !t.empty() && opens_container_byte(t[0]);
}

// Where a fence of `length` characters `c` closes in `rest`: at most 3 columns of indentation,
// exactly `length` fence characters, then only white space.
std::optional<std::size_t> closing_fence(const Rest& rest, char c, std::size_t length) {
  std::string_view t = rest.trimmed_start();
  // Most lines of code do not begin with the fence character: no indentation to measure.
  if (t.empty() || t[0] != c || rest.indent() > 3) return std::nullopt;
  const std::size_t n = run_length(t, c);
  if (n != length || !line::is_blank(t.substr(n))) return std::nullopt;
  return static_cast<std::size_t>(t.data() - rest.text.data());
}

// A line whose text begins with an ASCII letter: it opens no block and no container and bears
// no marker, so an open paragraph takes it as it is.
bool continues_as_text(const Rest& rest) {
  std::string_view lead = rest.trimmed_start();
  return !lead.empty() && scan::is_ascii_alpha(lead[0]);
}

// A line whose text begins with "|": no container, block or marker begins so, and an open
// table takes it as a row.
bool continues_as_row(const Rest& rest) { return rest.trimmed_start().starts_with('|'); }

template <class... Kinds>
bool is_any(BuildKind kind) {
  return (holds<Kinds>(kind) || ...);
}

void mark_loose_if_blank(ContainerBuilder& b, std::uint32_t node) {
  if (auto* item = get_if<build::ListItem>(b.kind(node)); item && b.in_blank_items(*item))
    item->loose = true;
}

// A row that goes on with the open table `b` ends with, taken as a paragraph's line of prose is
// in the loop: a line beginning with "|" closes no div or md-HTML container, opens no container
// and interrupts nothing, so the steps after this one would all pass it to the table. False,
// and nothing done, for any other line.
bool take_table_row(ContainerBuilder& b, BuildKind leaf, const Rest& rest) {
  if (!b.leaf_open || !continues_as_row(rest) || !b.options.templates.empty() ||
      holds<build::List>(b.kind(b.innermost())))
    return false;
  mark_loose_if_blank(b, b.innermost());
  b.clear_blank_items();
  // No caption, section token or attribute line begins with "|": the line is a row.
  b.add_table_row(*get<build::TablePtr>(leaf), rest);
  return true;
}

}  // namespace

const ContainerBuilder::Lookahead* ContainerBuilder::match_ahead() {
  std::size_t next = parser.next_nonblank(line);
  if (next >= parser.lines.size()) return nullptr;
  if (ahead_.line != next || ahead_.version != stack_version_) {
    ahead_.line = next;
    ahead_.version = stack_version_;
    ahead_.rest = Rest{0, parser.lines[next]};
    ahead_.matched = match_containers(ahead_.rest, stack.size());
  }
  return &ahead_;
}

void ContainerBuilder::write_content_offset(const Rest& rest) {
  std::string_view src = parser.lines[line];
  if (rest.empty()) {
    content_offset = src.size();
  } else {
    std::size_t view = rest.text.empty() ? src.size()
                                         : static_cast<std::size_t>(rest.text.data() - src.data());
    bool suffix = rest.pad <= view;
    for (std::size_t i = 0; suffix && i < rest.pad; ++i) suffix = src[view - rest.pad + i] == ' ';
    if (suffix) {
      content_offset = view - rest.pad;
    } else {
      // A tab was split while indentation was removed.
      std::size_t tab = src.find('\t');
      content_offset = tab == std::string_view::npos ? 0 : tab;
    }
  }
  // The last offset recorded for a line is the one that stays.
  if (line < parser.trace.line_offsets.size())
    parser.trace.line_offsets[line] = static_cast<TraceIndex>(content_offset);
}

bool ContainerBuilder::continue_fenced_leaf(BuildKind leaf, const Rest& rest) {
  if (auto* math = get_if<build::MathBlock>(leaf); math && !math->closed) {
    if (rest.trimmed() == math->closer) {
      math->closed = true;
      leaf_open = false;
    } else {
      append_text_line(math->text, rest);
      leaf_open = true;
    }
    return true;
  }
  if (auto* code = get_if<build::FencedCode>(leaf); code && !code->closed) {
    if (code->fence_indent == 0 && rest.pad == 0) {
      // Most lines of code: the fence took no indentation, so a line indented by spaces only
      // and not beginning with the fence character (within 3 columns) is taken as it stands,
      // the same bytes stripping would give.
      const std::string_view t = rest.text;
      const std::size_t i = line::count_leading_spaces(t);
      if (i == t.size() || (line::is_plain_ascii(t[i]) && (t[i] != code->fence_char || i > 3))) {
        append_text_line(code->text, rest);
        leaf_open = true;
        return true;
      }
    }
    if (auto at = closing_fence(rest, code->fence_char, code->fence_length)) {
      code->closed = true;
      leaf_open = false;
      std::size_t s = offset_of(rest, rest.text.data() + *at);
      note_syntax(s, s + code->fence_length);
    } else {
      // An unindented fence keeps its lines as they are, but for tabs in their indentation,
      // which become spaces: lines indented with spaces alone (most code) skip the stripping.
      bool as_is = code->fence_indent == 0 && rest.pad == 0;
      if (as_is) {
        const std::size_t lead = rest.text.find_first_not_of(' ');
        as_is = lead == std::string_view::npos || rest.text[lead] != '\t';
      }
      append_text_line(code->text, as_is ? rest : rest.strip_to(code->fence_indent));
      leaf_open = true;
    }
    return true;
  }
  return false;
}

bool ContainerBuilder::close_open_div(const Rest& rest) {
  if (rest.indent() > 3) return false;
  std::string_view t = rest.trimmed();
  if (t.empty() || t.find_first_not_of(':') != std::string_view::npos) return false;
  // A run of another length passes a div by: the innermost div with this fence closes.
  auto same = divs_by_colons_.find(t.size());
  if (same == divs_by_colons_.end() || same->second.empty()) return false;
  std::size_t pos = same->second.back();
  get<build::Div>(kind(stack[pos])).end_line = line;
  std::size_t s = offset_of(rest, t.data());
  cut(pos);
  note_syntax(s, s + t.size());
  leaf_open = false;
  return true;
}

bool ContainerBuilder::continue_html_block(const Rest& rest) {
  auto* html = last_child_as<build::HtmlBlock>();
  if (!html || html->closed) return false;
  if (std::holds_alternative<HtmlEndBlank>(html->end)) {
    if (rest.is_blank()) {
      // The blank line ends the block and goes on like any other line.
      html->closed = true;
      leaf_open = false;
      return false;
    }
    append_text_line(html->raw, rest);
    leaf_open = true;
    return true;
  }
  if (std::holds_alternative<HtmlEndComment>(html->end)) {
    append_text_line(html->raw, rest);
    // A close ("-->", "--!>") stands within one line, and never in its padding.
    // Most lines of a comment hold no ">" at all: no close is looked for on them.
    html->closed = rest.text.find('>') != std::string_view::npos &&
                   scan::find_comment_close(rest.text, 0).has_value();
    leaf_open = !html->closed;
    return true;
  }
  auto& tag = std::get<HtmlEndTag>(html->end);
  // The line is copied only when indentation was left as padding.
  std::string padded;
  const std::string_view text = rest.view(padded);
  std::string_view body = line::trim_end(text);
  std::size_t lt = body.rfind('<');
  std::optional<MarkdownOpenTag> open;
  if (below_depth_limit() && lt != std::string_view::npos) open = markdown_open_tag(body.substr(lt));
  if (open) {
    // An md-HTML opening tag at the end of the line: the rest of the element is md, inside a
    // container whose tags belong to the surrounding raw blocks.
    std::string piece(body.substr(0, lt));
    piece += open->text;
    tag.depth = update_html_tag_depth(piece, tag.name, tag.depth);
    piece.push_back('\n');
    html->raw.append_copy(piece);
    html->closed = true;
    build::HtmlContainer container{std::nullopt, std::move(open->name), std::string(), tag.name,
                                   tag.depth};
    push(open_node(std::move(container)));
    leaf_open = false;
    return true;
  }
  tag.depth = update_html_tag_depth(text, tag.name, tag.depth);
  append_text_line(html->raw, rest);
  html->closed = tag.depth == 0;
  leaf_open = !html->closed;
  return true;
}

bool ContainerBuilder::close_open_html_container(const Rest& rest) {
  std::size_t pos = html_containers_.back();
  auto& hc = get<build::HtmlContainer>(kind(stack[pos]));
  std::string closing = "</" + hc.name + ">";
  std::string_view lead = rest.trimmed_start();
  bool closes = hc.outer_name ? lead.starts_with(closing) : rest.trimmed() == closing;
  if (!closes) return false;
  hc.end_line = line;
  std::size_t s = offset_of(rest, lead.data());
  note_syntax(s, s + closing.size());
  std::optional<std::string> outer = hc.outer_name;
  std::size_t outer_depth = hc.outer_depth;
  cut(pos);
  leaf_open = false;
  if (outer) {
    // The rest of the line goes back to the raw block the container was opened in.
    std::string text(lead);
    text.push_back('\n');
    std::size_t depth = update_html_tag_depth(text, *outer, outer_depth);
    bool done = depth == 0;
    build::LineText raw;
    raw.append_copy(text);
    open_node(build::HtmlBlock{std::move(raw), HtmlEndTag{*outer, depth}, done});
    leaf_open = !done;
  }
  return true;
}

bool ContainerBuilder::continue_indented_code(const Rest& rest) {
  auto* code = last_child_as<build::IndentedCode>();
  if (!code) return false;
  // Most lines of code are spaces, then a printable byte: not blank, indented by the spaces
  // alone, and cut by moving past four columns of them.
  const std::size_t spaces = rest.leading_spaces();
  if (spaces < rest.text.size() && line::is_plain_ascii(rest.text[spaces])) {
    const std::size_t indent = rest.pad + spaces;
    if (indent < 4) return false;
    append_text_line(code->text, Rest{indent - 4, rest.text.substr(spaces)});
    leaf_open = true;
    return true;
  }
  bool take;
  if (!rest.is_blank()) {
    take = rest.indent() >= 4;
  } else {
    // A blank line belongs to the code when the code goes on after it.
    const Lookahead* a = match_ahead();
    take = a && a->matched == stack.size() && a->rest.indent() >= 4;
  }
  if (!take) return false;
  append_text_line(code->text, rest.strip_to(4));
  leaf_open = true;
  return true;
}

bool ContainerBuilder::settle_list(const Rest& rest) {
  std::uint32_t list_node = innermost();
  auto& list = get<build::List>(kind(list_node));
  bool keep = false;
  bool blank_between_items = false;
  if (rest.is_blank()) {
    const Lookahead* a = match_ahead();
    if (a && a->matched == stack.size()) {
      auto m = list_marker(a->rest);
      if (m && marker_fits(list, *m)) {
        keep = true;
        blank_between_items = true;
        clear_blank_items();
        mark_blank_item(nodes[list_node].last_child);
      }
    }
  } else if (!rest.equals("---")) {
    const auto& m = marker_of(rest);
    keep = m && marker_fits(list, *m);
  }
  if (!keep) cut(stack.size() - 1);
  refresh_leaf_open();
  return blank_between_items;
}

void ContainerBuilder::open_list_item(Rest& rest, const ListMarker& m) {
  std::uint32_t in = innermost();
  auto* list = get_if<build::List>(kind(in));
  if (!(list && marker_fits(*list, m))) {
    mark_loose_if_blank(*this, in);
    push(open_node(build::List{{}, m.number, m.number, m.marker, m.ordered}));
    in = innermost();
    list = &get<build::List>(kind(in));
    if (stack.size() == 2) list_stream_.list = in;
  }
  if (nodes[in].has_children()) mark_loose_if_blank(*this, nodes[in].last_child);
  clear_blank_items();
  list->last = m.number;
  // An item of a top-level list: those before it are closed for good.
  if (in == list_stream_.list && worth_streaming(in)) stream_closed_items(in);

  build::ListItem item;
  item.content_column = m.content_column;
  item.number = m.number;
  // The indentation before the marker (spaces only, at most 3) is not part of what a reverted
  // item shows.
  const std::size_t marker_start = rest.indent();
  item.source = rest.from(marker_start).text;
  Rest after = list_item_rest(rest, m);
  // An attribute block for the item, on the whole rest or up to its first "}".
  std::string_view lead = after.trimmed_start();
  if (lead.starts_with("{:")) {
    std::string_view whole = after.trimmed();
    if (whole.size() >= 3 && whole.back() == '}') {
      item.attr.merge(attrs::parse_attrs_body(whole.substr(2, whole.size() - 3)));
      after = Rest{};
      lead = std::string_view();
    } else if (std::size_t close = lead.find('}'); close != std::string_view::npos) {
      item.attr.merge(attrs::parse_attrs_body(lead.substr(2, close - 2)));
      after = Rest{0, line::trim_start(lead.substr(close + 1))};
      lead = after.text;
    }
  }
  // A task box.
  if (lead.size() >= 4 && lead[0] == '[' && (lead[1] == ' ' || lead[1] == 'x' || lead[1] == 'X') &&
      lead[2] == ']' && lead[3] == ' ') {
    item.task = lead[1] != ' ';
    after = Rest{0, lead.substr(4)};
  }
  item.content_offset =
      after.is_blank() ? item.source.size()
                       : static_cast<std::size_t>(after.text.data() - item.source.data());
  push(open_node(std::move(item)));
  rest = after;
}

bool ContainerBuilder::open_containers(Rest& rest) {
  while (below_depth_limit()) {
    // Most rests are spaces, then a printable byte: the byte after the spaces is the lead, and
    // the spaces are the indentation, counted once for the questions below.
    const std::size_t spaces = rest.leading_spaces();
    const bool plain = spaces < rest.text.size() && line::is_plain_ascii(rest.text[spaces]);
    if (plain ? !opens_container_byte(rest.text[spaces]) : !may_open_container(rest)) break;
    if (rest.size() == 3 && rest.equals("---")) break;  // a thematic break
    if (plain ? rest.pad + spaces <= 3 && rest.text[spaces] == '>' : quote_marker_matches(rest)) {
      mark_loose_if_blank(*this, innermost());
      clear_blank_items();
      push(open_node(build::BlockQuote{}));
      if (stack.size() == 2) quote_stream_.quote = stack[1];
      rest = strip_quote_marker(rest);
      continue;
    }
    const std::optional<ListMarker> m = marker_of(rest);
    if (!m) break;
    if (leaf_open && !list_interrupts_paragraph(rest, *m)) break;
    auto* list = get_if<build::List>(kind(innermost()));
    bool reuse = list && marker_fits(*list, *m);
    if (!reuse && stack.size() == 1 && nodes[0].has_children()) return false;
    open_list_item(rest, *m);
  }
  return true;
}

void ContainerBuilder::report_open(Trace& trace) const {
  auto record = [&](std::string_view construct, std::string expected, std::size_t at) {
    trace.unclosed.push_back(UnclosedRecord{construct, std::move(expected), at});
  };
  for (std::size_t pos = 1; pos < stack.size(); ++pos) {
    const BuildNode& node = nodes[stack[pos]];
    const BuildKind k = kind(stack[pos]);
    if (auto* div = get_if<build::Div>(k)) {
      record("fenced div", std::string(div->colons, ':'), node.start);
    } else if (auto* hc = get_if<build::HtmlContainer>(k)) {
      record("markdown container", "</" + hc->name + ">", node.start);
      if (hc->outer_name) record("raw HTML block", "</" + *hc->outer_name + ">", node.start);
    }
  }
  auto c = last_child();
  if (!c) return;
  const BuildNode& node = nodes[*c];
  const BuildKind k = kind(*c);
  if (auto* html = get_if<build::HtmlBlock>(k); html && !html->closed) {
    if (std::holds_alternative<HtmlEndComment>(html->end))
      record("raw HTML block", "-->", node.start);
    else if (auto* tag = std::get_if<HtmlEndTag>(&html->end))
      record("raw HTML block", "</" + tag->name + ">", node.start);
  } else if (auto* math = get_if<build::MathBlock>(k); math && !math->closed) {
    record("math block", std::string(math->closer), node.start);
  } else if (auto* code = get_if<build::FencedCode>(k); code && !code->closed) {
    record("fenced code block", std::string(code->fence_length, code->fence_char), node.start);
  }
}

void Parser::container_block(Drafts& out) {
  ContainerBuilder& b = builder_;
  b.reset();
  for (; current < lines.size(); ++current) {
    b.line = current;
    Rest rest{0, lines[current]};

    b.cut(b.match_containers(rest, b.stack.size()));
    // The last child of the innermost container: whether the leaf is still open, and the steps
    // for an open leaf, which run only when the container ends with one of their kind; none of
    // the steps changes the tree unless it consumes the line.
    auto last = b.last_child();
    const BuildKind leaf = last ? b.kind(*last) : BuildKind();
    if (b.leaf_open) b.leaf_open = last && takes_lines(leaf);
    b.record_content_offset(rest);
    // A line of prose that goes on with an open paragraph: it closes no div or md-HTML
    // container, opens no container, interrupts nothing and starts no table or definition, so it
    // is appended without the steps below.
    // (A paragraph that stands in a list itself, at the depth limit, is left to the list's
    // settling.)
    if (b.leaf_open && holds<build::Paragraph>(leaf) && continues_as_text(rest) &&
        b.options.templates.empty() && !holds<build::List>(b.kind(b.innermost()))) {
      mark_loose_if_blank(b, b.innermost());
      b.clear_blank_items();
      b.append_line(*get_if<build::Paragraph>(leaf), rest);
      continue;
    }
    // A row of an open table, as frequent as prose in some documents: a line beginning with "|"
    // closes no div or md-HTML container, so it is taken before the steps that look for those.
    if (is_any<build::TablePtr>(leaf) && take_table_row(b, leaf, rest)) continue;
    if ((is_any<build::FencedCode, build::MathBlock>(leaf) && b.continue_fenced_leaf(leaf, rest)) ||
        b.close_div(rest) || (is_any<build::HtmlBlock>(leaf) && b.continue_html_block(rest)) ||
        b.close_html_container(rest) ||
        (is_any<build::IndentedCode>(leaf) && b.continue_indented_code(rest)))
      continue;

    bool blank_between_items = false;
    if (holds<build::List>(b.kind(b.innermost())))
      blank_between_items = b.settle_list(rest);

    // Stop rules at the top level.
    if (b.stack.size() == 1 && ((b.nodes[0].has_children() && !b.leaf_open) || rest.is_blank()))
      break;

    if (rest.is_blank()) {
      if (!blank_between_items) b.rebuild_blank_items();
      b.leaf_open = false;
      continue;
    }

    if (!b.open_containers(rest)) break;

    b.record_content_offset(rest);
    if (rest.is_blank()) {  // a line of markers only
      b.leaf_open = false;
      continue;
    }
    mark_loose_if_blank(b, b.innermost());
    b.clear_blank_items();
    b.append_leaf_inner(rest);
  }

  if (records_layout(mode)) {
    b.collect_edit_regions(trace, 0, current);
    trace.take_syntax(b.syntax, current, lines.size());
  }
  // Most blocks end with the root alone and a leaf that cannot be left open: nothing to report.
  if (b.stack.size() > 1 || is_any<build::HtmlBlock, build::MathBlock, build::FencedCode>(
                                   b.last_child() ? b.kind(*b.last_child()) : BuildKind()))
    b.report_unclosed(trace);
  b.add_late_records(trace);
  b.finish_children(0, current, out);
  if (b.nodes.capacity() > ContainerBuilder::kKeptNodes) b.trim_room();
}

}  // namespace vedavi::block
