// Leaf lines: what is left of a line after its container markers continues the open leaf
// (table, definition list, paragraph) or opens a new leaf, fenced div or footnote definition.
#include "block/build.h"
#include "block/html.h"
#include "block/scan.h"
#include "block/table.h"
#include "text/scan.h"
#include "text/utf8.h"

namespace vedavi::block {

using line::Rest;

namespace {

bool has_line_token(std::string_view text, const Options& options) {
  return !options.templates.empty() && templates::line_token(text, options.templates).has_value();
}

// A line whose text begins with an ASCII letter starts no block, bears no list, definition or
// table marker and opens no fence: most lines of prose, which skip those recognisers.
bool begins_with_letter(const Rest& rest) {
  std::string_view lead = rest.trimmed_start();
  return !lead.empty() && scan::is_ascii_alpha(lead[0]);
}

// The length of the first word of `s`: up to its first white space character or `stop`. Decoded
// character by character, so that a continuation byte (the 0xA0 of "à") is never read as
// U+00A0 and a word never ends inside a character.
std::size_t word_length(std::string_view s, char stop = '\0') {
  std::size_t w = 0;
  while (w < s.size() && (stop == '\0' || s[w] != stop)) {
    const utf8::Decoded d = utf8::decode(s, w);
    if (line::is_white_space(d.cp)) break;
    w += d.len;
  }
  return w;
}

}  // namespace

bool ContainerBuilder::paragraph_continues(const build::Paragraph& para, const Rest& rest,
                                           bool no_def_marker) const {
  if (!begins_with_letter(rest) &&
      (starts_block(rest) || (marker_of(rest) && list_interrupts_paragraph(rest, *marker_of(rest))) ||
       (!no_def_marker && def_marker(rest))))
    return false;
  if (!options.templates.empty()) {
    if (has_line_token(rest.str(), options)) return false;
    if (para.count == 1 && has_line_token(lines_of(para).front().str(), options)) return false;
  }
  return true;
}

void ContainerBuilder::append_leaf_inner(Rest rest) {
  // A footnote definition opens its first block from the text after "]:"; the loop takes that
  // text round again instead of a nested call.
  while (true) {
    const bool letter = begins_with_letter(rest);
    if (leaf_open) {
      if (last_child_as<build::TablePtr>()) {
        if (continue_table(rest)) return;
      } else if (auto* dl = last_child_as<build::DefinitionList>()) {
        if (is_attribute_line(rest.text)) {
          std::string_view t = rest.trimmed();
          std::size_t s = offset_of(rest, t.data());
          note_syntax(s, s + t.size(), SyntaxScope::Attribute);
          dl->attr.merge(attrs::parse_attrs_body(attribute_line_body(rest.text)));
          return;
        }
        if (auto def = def_marker(rest)) {
          std::size_t s = offset_of(rest, rest.trimmed_start().data());
          note_syntax(s, s + 1);
          if (dl->items.empty()) dl->items.emplace_back();
          dl->items.back().definitions.push_back(def->str());
          return;
        }
      } else if (auto c = last_child(); c && holds<build::Paragraph>(kind(*c))) {
        auto& para = get<build::Paragraph>(kind(*c));
        if (!letter && para.count != 0 && start_table(para, *c, rest)) return;
        if (!letter && para.count != 0) {
          if (auto def = def_marker(rest)) {
            std::size_t s = offset_of(rest, rest.trimmed_start().data());
            note_syntax(s, s + 1);
            build::DefinitionList dl;
            DraftDefinitionItem item;
            for (const Rest& l : lines_of(para))
              if (!l.is_blank()) item.terms.emplace_back(line::trim(l.text));
            item.definitions.push_back(def->str());
            dl.items.push_back(std::move(item));
            set_kind(*c, std::move(dl));
            leaf_open = true;
            return;
          }
        }
        // A line that is not a letter's was looked at for a definition marker just above.
        if (paragraph_continues(para, rest, !letter && para.count != 0)) {
          append_line(para, rest);
          return;
        }
      }
    }

    // A new leaf.
    if (letter && rest.indent() < 4) {
      open_paragraph(rest);
      return;
    }
    // Each opener begins with its own character: only the one the line begins with is tried.
    const std::string_view lead = rest.trimmed_start();
    const char first = lead.empty() ? '\0' : lead[0];
    if ((first == '`' || first == '~') && open_fence(rest)) return;
    if ((first == '\\' || first == '$') && open_math(rest)) return;
    if (first == ':' && open_div(rest)) return;
    if (first == '[' && below_depth_limit() && rest.indent() <= 3) {
      std::string_view t = lead;
      if (t.starts_with("[^")) {
        std::size_t close = t.find("]:");
        if (close != std::string_view::npos && close > 2) {
          std::string_view label = t.substr(2, close - 2);
          bool ok = true;
          for (std::size_t i = 0; ok && i < label.size();) {
            utf8::Decoded d = utf8::decode(label, i);
            ok = !line::is_white_space(d.cp);
            i += d.len;
          }
          if (ok) {
            std::size_t s = offset_of(rest, t.data());
            note_syntax(s, s + close + 2, SyntaxScope::MarkupLinkUrl);
            push(open_node(build::FootnoteDef{std::string(label)}));
            leaf_open = false;
            std::string_view text = line::trim_start(t.substr(close + 2));
            if (text.empty()) return;
            content_offset = offset_of(rest, text.data());
            rest = Rest{0, text};
            continue;
          }
        }
      }
    }
    if (rest.indent() >= 4) {
      build::LineText text;
      append_text_line(text, rest.strip_to(4));
      open_node(build::IndentedCode{std::move(text)});
      leaf_open = true;
      return;
    }
    if (first == '<' && open_html_container(rest)) {
      leaf_open = false;
      return;
    }
    if (first == '<' && open_html_block(rest)) {
      leaf_open = true;
      refresh_leaf_open();
      return;
    }
    if (first == '#' && open_atx_heading(rest)) {
      leaf_open = false;
      return;
    }
    if (rest.equals("---")) {
      std::size_t s = offset_of(rest, rest.text.data());
      note_syntax(s, s + 3);
      open_node(build::ThematicBreak{});
      leaf_open = false;
      return;
    }
    open_paragraph(rest);
    return;
  }
}

void ContainerBuilder::open_paragraph(const Rest& rest) {
  // Opened first: opening may let the closed sibling's paragraph lines go.
  const std::uint32_t node = open_node(build::Paragraph{});
  build::Paragraph& para = nodes[node].para;
  para.first = static_cast<std::uint32_t>(paragraph_lines.size());
  append_line(para, rest);
  leaf_open = true;
}

bool ContainerBuilder::open_fence(const Rest& rest) {
  if (rest.indent() > 3) return false;
  std::string_view lead = rest.trimmed_start();
  if (lead.empty() || (lead[0] != '`' && lead[0] != '~')) return false;
  // A fence is a run of at least three: most lines that begin with a backtick begin a code span.
  if (lead.size() < 3 || lead[1] != lead[0] || lead[2] != lead[0]) return false;
  // Fences are read on the logical line; its indentation is spaces only here.
  std::string padded;
  const std::string_view text = rest.view(padded);
  auto f = fence_start(text, lead[0]);
  if (!f) return false;
  if (record_syntax) {
    // Every position noted lies past the padding, in the rest's own text.
    const auto at = [&](std::size_t p) { return offset_of(rest, rest.text.data() + (p - rest.pad)); };
    std::size_t run = line::trim_start(text).data() - text.data();
    note_syntax(at(run), at(run + f->length));
    std::size_t info_pos = static_cast<std::size_t>(f->info.data() - text.data());
    std::string_view info = f->info;
    std::string_view lead = line::trim_start(info);
    std::size_t lead_pos = info_pos + static_cast<std::size_t>(lead.data() - info.data());
    if (!lead.empty() && lead[0] != '{') {
      const std::size_t w = word_length(lead, '{');
      note_syntax(at(lead_pos), at(lead_pos + w), SyntaxScope::Label);
    }
    if (std::size_t brace = info.find('{'); brace != std::string_view::npos) {
      if (auto a = attrs::parse_braced_attr(info.substr(brace)))
        note_syntax(at(info_pos + brace), at(info_pos + brace + a->consumed), SyntaxScope::Attribute);
    }
  }
  // The info follows the fence characters, so it lies in the source line even when the line was
  // written out with its padding.
  std::string_view info = f->info;
  if (rest.pad != 0)
    info = rest.text.substr(static_cast<std::size_t>(info.data() - text.data()) - rest.pad, info.size());
  open_node(build::FencedCode{info, {}, f->length, f->indent, f->fence_char, false});
  leaf_open = true;
  return true;
}

bool ContainerBuilder::open_math(const Rest& rest) {
  if (options.math != MathMode::Brackets && options.math != MathMode::Dollars) return false;
  std::string_view t = rest.trimmed();
  std::string_view closer;
  if (t == "\\[")
    closer = "\\]";
  else if (t == "$$")
    closer = "$$";
  else
    return false;
  open_node(build::MathBlock{{}, closer, false});
  leaf_open = true;
  return true;
}

bool ContainerBuilder::open_div(const Rest& rest) {
  if (!below_depth_limit() || rest.indent() > 3) return false;
  std::string_view t = rest.trimmed_start();
  std::size_t n = 0;
  while (n < t.size() && t[n] == ':') ++n;
  if (n < 3) return false;
  std::string_view after = line::trim(t.substr(n));
  if (after.empty() || after.find_first_not_of(':') == std::string_view::npos) return false;
  std::string_view info = after;
  while (!info.empty() && info.back() == ':') info.remove_suffix(1);
  info = line::trim(info);
  Attr attr;
  if (!info.starts_with("{")) {
    const std::size_t w = word_length(info);
    std::string_view word = info.substr(0, w);
    std::size_t b = word.find_first_not_of(':');
    std::size_t e = word.find_last_not_of(':');
    if (b != std::string_view::npos) attr.push_class(word.substr(b, e + 1 - b));
    if (std::size_t brace = info.find('{'); brace != std::string_view::npos)
      attr.merge(attrs::parse_fence_info(info.substr(brace)).attr);
  } else {
    attr.merge(attrs::parse_fence_info(info).attr);
  }
  std::size_t s = offset_of(rest, t.data());
  note_syntax(s, s + n);
  std::size_t a = offset_of(rest, after.data());
  note_syntax(a, a + after.size(), SyntaxScope::Attribute);
  push(open_node(build::Div{std::nullopt, std::move(attr), n}));
  leaf_open = false;
  return true;
}

bool ContainerBuilder::open_atx_heading(const Rest& rest) {
  if (rest.indent() > 3 || rest.is_blank()) return false;
  std::string_view t = rest.trimmed_start();
  std::size_t n = 0;
  while (n < t.size() && t[n] == '#') ++n;
  if (n < 1 || n > 6) return false;
  if (n < t.size() && !is_ascii_ws_byte(t[n])) return false;
  // The text is a view of the line: an attribute group at its end and a closing sequence only
  // shorten it.
  const std::string_view body = line::trim(t.substr(n));
  std::string_view text = body;
  Attr attr;
  if (!body.empty() && body.back() == '}') {
    attrs::StrippedAttr split = attrs::strip_trailing_attr(body);
    attr = std::move(split.attr);
    text = body.substr(0, split.text.size());  // what precedes the group
  }
  // Closing sequence.
  std::size_t end = text.size();
  std::size_t run = end;
  while (run > 0 && text[run - 1] == '#') --run;
  if (run == 0) {
    text = std::string_view();
  } else if (run < end && is_ascii_ws_byte(text[run - 1])) {
    text = line::trim_end(text.substr(0, run));
  }
  if (record_syntax) {
    std::size_t s = offset_of(rest, t.data());
    note_syntax(s, s + n);
    if (auto span = attrs::trailing_attr_span(rest.text)) {
      std::size_t base = offset_of(rest, rest.text.data());
      note_syntax(base + span->start, base + span->end, SyntaxScope::Attribute);
    }
  }
  open_node(build::Heading{std::move(attr), text, static_cast<std::uint8_t>(n)});
  return true;
}

bool ContainerBuilder::open_html_container(const Rest& rest) {
  if (!below_depth_limit()) return false;
  std::string_view t = rest.trimmed();
  auto tag = markdown_open_tag(t);
  if (!tag) return false;
  std::size_t s = offset_of(rest, t.data());
  note_syntax(s, s + t.size());
  push(open_node(build::HtmlContainer{std::nullopt, std::move(tag->name), std::move(tag->text),
                                      std::nullopt, 0}));
  return true;
}

bool ContainerBuilder::open_html_block(const Rest& rest) {
  std::string_view t = rest.trimmed_start();
  if (t.empty() || t[0] != '<') return false;
  // Read on the logical line; its text is kept only for a block that opens.
  std::string padded;
  const std::string_view whole = rest.view(padded);
  std::string_view lead = line::trim_start(whole);
  const auto raw = [&] {
    build::LineText text;
    append_text_line(text, rest);
    return text;
  };
  // The name of an opening tag, lowercased, read once for both kinds of block it may open.
  std::optional<std::string> open_name;
  if (lead.size() > 1 && lead[1] != '!' && lead[1] != '/' && lead[1] != '?') {
    if (auto len = tag_name_end(lead.substr(1))) {
      std::size_t after = 1 + *len;
      char c = after < lead.size() ? lead[after] : '>';
      if (is_ascii_ws_byte(c) || c == '\v' || c == '>' || c == '/') {
        std::string& name = open_name.emplace(lead.substr(1, *len));
        for (char& ch : name)
          if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        // The name decides first: most tags that begin a line cannot hold a balanced block.
        if (is_balanced_html_container_tag(name) && !is_void_html_tag(name)) {
          if (auto gt = tag_end(lead, after)) {
            bool self_closing = *gt > 0 && lead[*gt - 1] == '/';
            if (!self_closing && valid_open_tag_attrs(lead.substr(after, *gt - after))) {
              std::size_t depth = update_html_tag_depth(whole, name, 0);
              bool closed = depth == 0;
              open_node(build::HtmlBlock{raw(), HtmlEndTag{std::move(name), depth}, closed});
              return true;
            }
          }
        }
      }
    }
  }
  bool comment = lead.size() >= 4 && lead.substr(0, 4) == "<!--";
  if (comment) {
    bool closed = scan::html_comment_end(lead, 0).has_value();
    open_node(build::HtmlBlock{raw(), HtmlEndComment{}, closed});
    return true;
  }
  // An opening tag's name was read above; a closing tag's is read here.
  auto name = open_name ? std::move(open_name) : html_tag_name(lead);
  if (name && is_md_block_html_tag(*name)) {
    open_node(build::HtmlBlock{raw(), HtmlEndBlank{}, false});
    return true;
  }
  return false;
}

}  // namespace vedavi::block
