// The container line loop: each line is matched against the open containers, continues an open
// fenced leaf or closes a fence, or opens containers and goes on to the leaf handlers.
#include <algorithm>

#include "block_build.h"
#include "block_html.h"
#include "block_scan.h"

namespace vedavi::block {

using line::Rest;

std::string_view span_kind_name(const BuildKind& kind) {
  static constexpr std::string_view kNames[] = {
      "html_container", "paragraph",  "block_quote",    "list",      "list",
      "footnote_def",   "definition_list", "div",       "code_block", "math_block",
      "paragraph",      "heading",    "thematic_break", "code_block", "html_block",
      "table"};
  return kNames[kind.index()];
}

Parser::Parser(std::vector<std::string_view> source_lines, const Options& opts,
               std::uint8_t span_mode)
    : lines(std::move(source_lines)), options(opts), mode(span_mode) {
  trace.mode = span_mode;
  std::size_t n = lines.size();
  blank_.resize(n);
  next_nonblank_.resize(n + 1, n);
  content_end_.resize(n + 1);
  for (std::size_t i = 0; i < n; ++i) blank_[i] = line::is_blank(lines[i]) ? 1 : 0;
  for (std::size_t i = n; i-- > 0;)
    next_nonblank_[i] = (i + 1 < n && !blank_[i + 1]) ? i + 1 : next_nonblank_[i + 1];
  if (n > 0) next_nonblank_[n - 1] = n;
  content_end_[0] = 0;
  for (std::size_t e = 1; e <= n; ++e) content_end_[e] = blank_[e - 1] ? content_end_[e - 1] : e;
  if (mode == 3) trace.line_offsets.assign(n, 0);
}

std::size_t Parser::drop_trailing_blanks(std::size_t start, std::size_t end) const {
  if (end > lines.size()) end = lines.size();
  if (end <= start) return end;
  return std::max(start, content_end_[end]);
}

void Parser::add_link_def(const std::string& label, LinkRef def) {
  link_defs.try_emplace(attrs::normalize_label(label), std::move(def));
}

ContainerBuilder::ContainerBuilder(Parser& p) : options(p.options), parser(p) {
  nodes.push_back(BuildNode{{}, build::Root{}, 0, 0});
  stack.push_back(0);
  record_syntax = p.mode == 3;
}

std::uint32_t ContainerBuilder::open_node(BuildKind kind) {
  auto index = static_cast<std::uint32_t>(nodes.size());
  nodes.push_back(BuildNode{{}, std::move(kind), line, 0});
  nodes[stack.back()].children.push_back(index);
  return index;
}

void ContainerBuilder::push(std::uint32_t node) {
  std::size_t pos = stack.size();
  stack.push_back(node);
  ++stack_version_;
  const BuildKind& k = nodes[node].kind;
  if (std::holds_alternative<build::BlockQuote>(k)) {
    consumers_.push_back(pos);
    quotes_.push_back(pos);
  } else if (std::holds_alternative<build::ListItem>(k) ||
             std::holds_alternative<build::FootnoteDef>(k)) {
    consumers_.push_back(pos);
  } else if (std::holds_alternative<build::Div>(k)) {
    divs_.push_back(pos);
    divs_by_colons_[std::get<build::Div>(k).colons].push_back(pos);
  } else if (std::holds_alternative<build::HtmlContainer>(k)) {
    html_containers_.push_back(pos);
  }
}

void ContainerBuilder::cut(std::size_t depth) {
  if (depth >= stack.size()) return;
  if (depth == 0) depth = 1;  // the root stays open
  while (!divs_.empty() && divs_.back() >= depth) {
    std::size_t colons = std::get<build::Div>(nodes[stack[divs_.back()]].kind).colons;
    divs_by_colons_[colons].pop_back();
    divs_.pop_back();
  }
  stack.resize(depth);
  ++stack_version_;
  for (auto* v : {&consumers_, &quotes_, &html_containers_})
    while (!v->empty() && v->back() >= depth) v->pop_back();
}

std::optional<std::uint32_t> ContainerBuilder::last_child() const {
  const auto& ch = nodes[stack.back()].children;
  if (ch.empty()) return std::nullopt;
  return ch.back();
}

void ContainerBuilder::refresh_leaf_open() {
  if (!leaf_open) return;
  auto c = last_child();
  if (!c) {
    leaf_open = false;
    return;
  }
  const BuildKind& k = nodes[*c].kind;
  if (std::holds_alternative<build::DefinitionList>(k) ||
      std::holds_alternative<build::Paragraph>(k) ||
      std::holds_alternative<build::IndentedCode>(k) || std::holds_alternative<build::Table>(k))
    return;
  if (auto* f = std::get_if<build::FencedCode>(&k); f && !f->closed) return;
  if (auto* m = std::get_if<build::MathBlock>(&k); m && !m->closed) return;
  if (auto* h = std::get_if<build::HtmlBlock>(&k); h && !h->closed) return;
  leaf_open = false;
}

void ContainerBuilder::note_syntax(std::size_t start, std::size_t end, SyntaxScope scope) {
  if (record_syntax && start < end) syntax.push_back(SyntaxRecord{line, start, end, scope});
}

std::size_t ContainerBuilder::offset_of(const Rest& rest, const char* at) const {
  return content_offset + rest.pad + static_cast<std::size_t>(at - rest.text.data());
}

bool ContainerBuilder::item_has_content(std::uint32_t item) const {
  for (std::uint32_t c : nodes[item].children) {
    const BuildKind& k = nodes[c].kind;
    if (auto* code = std::get_if<build::IndentedCode>(&k)) {
      if (!code->text.empty()) return true;
    } else if (auto* html = std::get_if<build::HtmlBlock>(&k)) {
      if (!html->raw.empty()) return true;
    } else if (auto* p = std::get_if<build::Paragraph>(&k)) {
      for (const auto& l : p->lines)
        if (!line::is_blank(l)) return true;
    } else {
      return true;
    }
  }
  return false;
}

namespace {

bool quote_marker_matches(const Rest& rest) {
  if (rest.empty() || rest.indent() > 3) return false;
  std::string_view t = rest.trimmed_start();
  return !t.empty() && t[0] == '>';
}

}  // namespace

std::size_t ContainerBuilder::match_containers(Rest& rest, std::size_t limit) const {
  // Lists, divs and md-HTML containers always match, so only the consumers are examined. Once
  // the rest is blank every consumer up to the first block quote matches (an item below the
  // innermost container always has content: the container above it), so a blank line costs
  // no walk over the open containers.
  for (std::size_t ci = 0; ci < consumers_.size(); ++ci) {
    std::size_t pos = consumers_[ci];
    if (pos >= limit) break;
    if (rest.is_blank()) {
      auto q = std::lower_bound(quotes_.begin(), quotes_.end(), pos);
      std::size_t cutpos = (q != quotes_.end() && *q < limit) ? *q : limit;
      std::size_t top = stack.size() - 1;
      if (top >= pos && top < cutpos &&
          std::holds_alternative<build::ListItem>(nodes[stack[top]].kind) &&
          !item_has_content(stack[top]))
        cutpos = top;
      if (cutpos > pos) rest = Rest{};
      return cutpos;
    }
    const BuildKind& k = nodes[stack[pos]].kind;
    if (std::holds_alternative<build::BlockQuote>(k)) {
      if (!quote_marker_matches(rest)) return pos;
      rest = strip_quote_marker(rest);
    } else if (auto* item = std::get_if<build::ListItem>(&k)) {
      if (rest.indent() < item->content_column) return pos;
      rest = rest.strip_to(item->content_column);
    } else {  // footnote definition
      if (rest.indent() < 4) return pos;
      rest = rest.strip_to(4);
    }
  }
  return limit;
}

void ContainerBuilder::rebuild_blank_items() {
  if (blank_rebuilt_version_ == stack_version_ && blank_rebuilt_gen_ == blank_gen_) return;
  clear_blank_items();
  for (std::size_t pos = stack.size() - 1; pos > 0; --pos) {
    const BuildKind& k = nodes[stack[pos]].kind;
    if (std::holds_alternative<build::ListItem>(k))
      mark_blank_item(stack[pos]);
    else if (!std::holds_alternative<build::List>(k))
      break;
  }
  blank_rebuilt_version_ = stack_version_;
  blank_rebuilt_gen_ = blank_gen_;
}

namespace {

bool marker_fits(const build::List& list, const ListMarker& m) {
  if (m.ordered != list.ordered || m.marker != list.marker) return false;
  return !m.ordered || m.number == list.last || m.number == list.last + 1;
}

std::string fence_run(char c, std::size_t n) { return std::string(n, c); }

// Whether `rest` closes a fence of `length` characters `c`: at most 3 columns of indentation,
// exactly `length` fence characters, then only white space.
std::optional<std::size_t> closing_fence(const Rest& rest, char c, std::size_t length) {
  if (rest.indent() > 3) return std::nullopt;
  std::string_view t = rest.trimmed_start();
  std::size_t n = 0;
  while (n < t.size() && t[n] == c) ++n;
  if (n != length || !line::is_blank(t.substr(n))) return std::nullopt;
  return static_cast<std::size_t>(t.data() - rest.text.data());
}

}  // namespace

Drafts Parser::container_block() {
  ContainerBuilder b(*this);
  // The lookahead match of the next non-blank line, kept while neither changes.
  struct Lookahead {
    std::size_t line = ~std::size_t{0};
    std::uint64_t version = 0;
    std::size_t matched = 0;
    Rest rest;
  } ahead;
  auto match_ahead = [&](std::size_t next) -> const Lookahead& {
    if (ahead.line != next || ahead.version != b.stack_version_) {
      ahead.line = next;
      ahead.version = b.stack_version_;
      ahead.rest = Rest{0, lines[next]};
      ahead.matched = b.match_containers(ahead.rest, b.stack.size());
    }
    return ahead;
  };

  while (current < lines.size()) {
    b.line = current;
    std::string_view src = lines[current];
    Rest rest{0, src};

    // Container matching.
    std::size_t matched = b.match_containers(rest, b.stack.size());
    b.cut(matched);
    b.refresh_leaf_open();

    auto compute_offset = [&] {
      if (rest.empty()) {
        b.content_offset = src.size();
        return;
      }
      std::size_t view = static_cast<std::size_t>(rest.text.data() - src.data());
      if (rest.text.empty()) view = src.size();
      bool suffix = rest.pad <= view;
      for (std::size_t i = 0; suffix && i < rest.pad; ++i) suffix = src[view - rest.pad + i] == ' ';
      if (suffix) {
        b.content_offset = view - rest.pad;
      } else {
        std::size_t tab = src.find('\t');
        b.content_offset = tab == std::string_view::npos ? 0 : tab;
      }
    };
    if (b.record_syntax) {
      compute_offset();
      b.line_offsets.emplace_back(current, b.content_offset);
    }

    // An open fenced leaf takes the line.
    if (auto* math = b.last_child_as<build::MathBlock>(); math && !math->closed) {
      if (rest.trimmed() == math->closer) {
        math->closed = true;
        b.leaf_open = false;
      } else {
        rest.append_to(math->text);
        math->text.push_back('\n');
        b.leaf_open = true;
      }
      ++current;
      continue;
    }
    if (auto* code = b.last_child_as<build::FencedCode>(); code && !code->closed) {
      if (auto at = closing_fence(rest, code->fence_char, code->fence_length)) {
        code->closed = true;
        b.leaf_open = false;
        std::size_t s = b.offset_of(rest, rest.text.data() + *at);
        b.note_syntax(s, s + code->fence_length);
      } else {
        rest.strip_to(code->fence_indent).append_to(code->text);
        code->text.push_back('\n');
        b.leaf_open = true;
      }
      ++current;
      continue;
    }

    // Div closing fences.
    if (!b.divs_.empty() && rest.indent() <= 3) {
      std::string_view t = rest.trimmed();
      if (!t.empty() && t.find_first_not_of(':') == std::string_view::npos) {
        bool closed = false;
        auto same = b.divs_by_colons_.find(t.size());
        if (same != b.divs_by_colons_.end() && !same->second.empty()) {
          std::size_t pos = same->second.back();
          std::get<build::Div>(b.nodes[b.stack[pos]].kind).end_line = current;
          std::size_t s = b.offset_of(rest, t.data());
          b.cut(pos);
          b.note_syntax(s, s + t.size());
          b.leaf_open = false;
          closed = true;
        }
        if (closed) {
          ++current;
          continue;
        }
      }
    }

    // Raw HTML block continuation.
    if (auto* html = b.last_child_as<build::HtmlBlock>(); html && !html->closed) {
      bool consumed = true;
      if (std::holds_alternative<HtmlEndBlank>(html->end)) {
        if (rest.is_blank()) {
          html->closed = true;
          b.leaf_open = false;
          consumed = false;
        } else {
          rest.append_to(html->raw);
          html->raw.push_back('\n');
          b.leaf_open = true;
        }
      } else if (std::holds_alternative<HtmlEndComment>(html->end)) {
        std::size_t before = html->raw.size();
        rest.append_to(html->raw);
        html->raw.push_back('\n');
        html->closed = html->raw.find("-->", before) != std::string::npos;
        b.leaf_open = !html->closed;
      } else {
        auto& tag = std::get<HtmlEndTag>(html->end);
        std::string text = rest.str();
        std::string_view body = line::trim_end(text);
        std::size_t lt = body.rfind('<');
        std::optional<MarkdownOpenTag> open;
        if (b.below_depth_limit() && lt != std::string_view::npos)
          open = markdown_open_tag(body.substr(lt));
        if (open) {
          std::string piece(body.substr(0, lt));
          piece += open->text;
          tag.depth = update_html_tag_depth(piece, tag.name, tag.depth);
          html->raw += piece;
          html->raw.push_back('\n');
          html->closed = true;
          std::string outer = tag.name;
          std::size_t depth = tag.depth;
          b.push(b.open_node(build::HtmlContainer{std::nullopt, open->name, std::string(), outer,
                                                  depth}));
          b.leaf_open = false;
        } else {
          tag.depth = update_html_tag_depth(text, tag.name, tag.depth);
          html->raw += text;
          html->raw.push_back('\n');
          html->closed = tag.depth == 0;
          b.leaf_open = !html->closed;
        }
      }
      if (consumed) {
        ++current;
        continue;
      }
    }

    // md-HTML container closing.
    if (!b.html_containers_.empty()) {
      std::size_t pos = b.html_containers_.back();
      auto& hc = std::get<build::HtmlContainer>(b.nodes[b.stack[pos]].kind);
      std::string closing = "</" + hc.name + ">";
      std::string_view lead = rest.trimmed_start();
      bool closes = hc.outer_name ? lead.starts_with(closing) : rest.trimmed() == closing;
      if (closes) {
        hc.end_line = current;
        std::size_t s = b.offset_of(rest, lead.data());
        b.note_syntax(s, s + closing.size());
        std::optional<std::string> outer = hc.outer_name;
        std::size_t outer_depth = hc.outer_depth;
        b.cut(pos);
        b.leaf_open = false;
        if (outer) {
          std::string raw(lead);
          raw.push_back('\n');
          std::size_t depth = update_html_tag_depth(raw, *outer, outer_depth);
          bool done = depth == 0;
          b.open_node(build::HtmlBlock{std::move(raw), HtmlEndTag{*outer, depth}, done});
          b.leaf_open = !done;
        }
        ++current;
        continue;
      }
    }

    // Indented code continuation.
    if (b.last_child_as<build::IndentedCode>()) {
      auto& code = *b.last_child_as<build::IndentedCode>();
      bool take = false;
      if (!rest.is_blank()) {
        take = rest.indent() >= 4;
      } else if (std::size_t next = next_nonblank(current); next < lines.size()) {
        const Lookahead& a = match_ahead(next);
        take = a.matched == b.stack.size() && a.rest.indent() >= 4;
      }
      if (take) {
        rest.strip_to(4).append_to(code.text);
        code.text.push_back('\n');
        b.leaf_open = true;
        ++current;
        continue;
      }
    }

    // List level: the line did not match the list's last item.
    bool keep_blank_items = false;
    if (std::holds_alternative<build::List>(b.nodes[b.innermost()].kind)) {
      auto& list = std::get<build::List>(b.nodes[b.innermost()].kind);
      bool keep = false;
      if (rest.is_blank()) {
        if (std::size_t next = next_nonblank(current); next < lines.size()) {
          const Lookahead& a = match_ahead(next);
          if (a.matched == b.stack.size()) {
            auto m = list_marker(a.rest);
            if (m && marker_fits(list, *m)) {
              keep = true;
              keep_blank_items = true;
              b.clear_blank_items();
              b.mark_blank_item(b.nodes[b.innermost()].children.back());
            }
          }
        }
      } else if (!rest.equals("---")) {
        auto m = list_marker(rest);
        keep = m && marker_fits(list, *m);
      }
      if (!keep) b.cut(b.stack.size() - 1);
      b.refresh_leaf_open();
    }

    // Stop rules at the top level.
    if (b.stack.size() == 1) {
      if (!b.nodes[0].children.empty() && !b.leaf_open) break;
      if (rest.is_blank()) break;
    }

    // Blank line inside containers.
    if (rest.is_blank()) {
      if (!keep_blank_items) b.rebuild_blank_items();
      b.leaf_open = false;
      ++current;
      continue;
    }

    // Opening containers.
    bool stop_call = false;
    while (b.below_depth_limit()) {
      if (rest.equals("---")) break;
      if (quote_marker_matches(rest)) {
        std::uint32_t in = b.innermost();
        if (std::holds_alternative<build::ListItem>(b.nodes[in].kind) && b.in_blank_items(in))
          std::get<build::ListItem>(b.nodes[in].kind).loose = true;
        b.clear_blank_items();
        b.push(b.open_node(build::BlockQuote{}));
        rest = strip_quote_marker(rest);
        continue;
      }
      auto m = list_marker(rest);
      if (!m) break;
      if (b.leaf_open && !list_interrupts_paragraph(rest)) break;
      std::uint32_t in = b.innermost();
      auto* list = std::get_if<build::List>(&b.nodes[in].kind);
      if (!(list && marker_fits(*list, *m))) {
        if (b.stack.size() == 1 && !b.nodes[0].children.empty()) {
          stop_call = true;
          break;
        }
        if (std::holds_alternative<build::ListItem>(b.nodes[in].kind) && b.in_blank_items(in))
          std::get<build::ListItem>(b.nodes[in].kind).loose = true;
        b.push(b.open_node(build::List{{}, m->number, m->number, m->marker, m->ordered}));
        in = b.innermost();
        list = &std::get<build::List>(b.nodes[in].kind);
      }
      if (!b.nodes[in].children.empty()) {
        std::uint32_t last = b.nodes[in].children.back();
        if (b.in_blank_items(last)) std::get<build::ListItem>(b.nodes[last].kind).loose = true;
      }
      b.clear_blank_items();
      build::ListItem item;
      item.content_column = m->content_column;
      item.number = m->number;
      item.source = rest;
      list->last = m->number;
      Rest after = list_item_rest(rest, *m);
      // Item attribute block.
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
      // Task box.
      if (lead.size() >= 4 && lead[0] == '[' && (lead[1] == ' ' || lead[1] == 'x' || lead[1] == 'X') &&
          lead[2] == ']' && lead[3] == ' ') {
        item.task = lead[1] != ' ';
        after = Rest{0, lead.substr(4)};
      }
      item.content_offset =
          after.is_blank() ? item.source.size()
                           : rest.pad + static_cast<std::size_t>(after.text.data() - rest.text.data());
      b.push(b.open_node(std::move(item)));
      rest = after;
    }
    if (stop_call) break;

    // The leaf.
    if (b.record_syntax) {
      compute_offset();
      b.line_offsets.emplace_back(current, b.content_offset);
    }
    if (rest.is_blank()) {
      b.leaf_open = false;
      ++current;
      continue;
    }
    {
      std::uint32_t in = b.innermost();
      if (std::holds_alternative<build::ListItem>(b.nodes[in].kind) && b.in_blank_items(in))
        std::get<build::ListItem>(b.nodes[in].kind).loose = true;
    }
    b.clear_blank_items();
    b.append_leaf_inner(rest);
    ++current;
  }

  // End of the call.
  if (mode == 3) {
    std::vector<EditRegion> regions;
    b.collect_edit_regions(regions, current);
    for (auto& r : regions) trace.records.emplace_back(std::move(r));
    for (auto [l, off] : b.line_offsets)
      if (l < trace.line_offsets.size()) trace.line_offsets[l] = off;
    for (const auto& s : b.syntax) trace.records.emplace_back(s);
  }
  for (std::size_t pos = 1; pos < b.stack.size(); ++pos) {
    const BuildNode& node = b.nodes[b.stack[pos]];
    if (auto* div = std::get_if<build::Div>(&node.kind)) {
      trace.records.emplace_back(UnclosedRecord{"fenced div", fence_run(':', div->colons), node.start});
    } else if (auto* hc = std::get_if<build::HtmlContainer>(&node.kind)) {
      trace.records.emplace_back(UnclosedRecord{"markdown container", "</" + hc->name + ">", node.start});
      if (hc->outer_name)
        trace.records.emplace_back(
            UnclosedRecord{"raw HTML block", "</" + *hc->outer_name + ">", node.start});
    }
  }
  if (auto c = b.last_child()) {
    const BuildNode& node = b.nodes[*c];
    if (auto* html = std::get_if<build::HtmlBlock>(&node.kind); html && !html->closed) {
      if (std::holds_alternative<HtmlEndComment>(html->end))
        trace.records.emplace_back(UnclosedRecord{"raw HTML block", "-->", node.start});
      else if (auto* tag = std::get_if<HtmlEndTag>(&html->end))
        trace.records.emplace_back(UnclosedRecord{"raw HTML block", "</" + tag->name + ">", node.start});
    } else if (auto* math = std::get_if<build::MathBlock>(&node.kind); math && !math->closed) {
      trace.records.emplace_back(UnclosedRecord{"math block", std::string(math->closer), node.start});
    } else if (auto* code = std::get_if<build::FencedCode>(&node.kind); code && !code->closed) {
      trace.records.emplace_back(
          UnclosedRecord{"fenced code block", fence_run(code->fence_char, code->fence_length), node.start});
    }
  }
  return b.finish_children(0, current);
}

}  // namespace vedavi::block
