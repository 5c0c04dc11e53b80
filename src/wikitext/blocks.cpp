// The entry: line ends, logical lines, and the block rules tried on each logical line.
#include "wikitext/blocks.h"

#include <algorithm>
#include <array>

#include "base/internal_error.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "wikitext/parse.h"
#include "wikitext/tags.h"

namespace vedavi::wikitext {
namespace {

// Line ends become "\n", and NUL becomes U+FFFD as an HTML parser reads it, so no NUL reaches
// the text, attribute values or raw payloads written from this text.
std::string normalise(std::string_view text) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::string out;
  out.reserve(text.size());
  std::size_t begin = 0;
  std::size_t cr = text.find('\r');
  std::size_t nul = text.find('\0');
  while (cr != kNone || nul != kNone) {
    const std::size_t stop = std::min(cr, nul);
    out.append(text, begin, stop - begin);
    if (stop == nul) {
      out += "\xEF\xBF\xBD";
      begin = stop + 1;
      nul = text.find('\0', begin);
    } else {
      out += '\n';
      begin = stop + 1 < text.size() && text[stop + 1] == '\n' ? stop + 2 : stop + 1;
      cr = text.find('\r', begin);
    }
  }
  out.append(text, begin);
  return out;
}

// How far a construct that may span line feeds reaches from `pos`, when one starts there.
std::optional<std::size_t> construct_end(Source& source, std::size_t pos) {
  const std::size_t end = source.size();
  const std::string_view text = source.text();
  if (text[pos] == '<') {
    if (source.starts_with(pos, end, "<!--")) {
      const auto close = source.find(Needle::CommentEnd, pos, end);
      if (!close) return std::nullopt;
      return *close + 3;
    }
    if (source.starts_with_fold(pos, end, "<ref") && pos + 4 < end &&
        is_tag_delimiter(text[pos + 4]))
      return pos + ref_len(source, pos, end);
    for (const auto& [name, closer] : {std::pair{"<math", Needle::MathClose},
                                       std::pair{"<nowiki", Needle::NowikiClose}}) {
      const std::size_t size = std::string_view(name).size();
      if (!source.starts_with_fold(pos, end, name) || pos + size >= end ||
          !is_tag_delimiter(text[pos + size]))
        continue;
      const auto gt = source.find(Needle::Gt, pos, end);
      if (!gt) return std::nullopt;
      if (text[*gt - 1] == '/') return *gt + 1;
      const auto close = source.find_range(closer, *gt + 1, end);
      if (!close) return std::nullopt;
      return close->end;
    }
    return std::nullopt;
  }
  const auto brace = source.brace_at(pos, end);
  if (!brace) return std::nullopt;
  const std::size_t size = *brace == Brace::Parameter ? 3 : 2;
  const auto closer = source.balanced(pos + size, end, *brace);
  if (!closer) return std::nullopt;
  return *closer + size;
}

// Bytes where a logical line may end or a construct that spans line feeds may begin.
constexpr std::array<bool, 256> kLineStops = [] {
  std::array<bool, 256> stops{};
  for (unsigned char c : std::string_view("\n<{[")) stops[c] = true;
  return stops;
}();

// Lines end at line feeds outside comments, references, math, nowiki and balanced braces.
std::vector<Range> logical_lines(Source& source) {
  std::vector<Range> lines;
  const std::string_view text = source.text();
  std::size_t line_begin = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '\n') {
      lines.push_back(Range{line_begin, pos});
      line_begin = ++pos;
    } else if (c != '<' && c != '{' && c != '[') {
      ++pos;
      while (pos < text.size() && !kLineStops[static_cast<unsigned char>(text[pos])]) ++pos;
    } else if (auto end = construct_end(source, pos)) {
      pos = *end;
    } else {
      ++pos;
    }
  }
  if (line_begin < text.size()) lines.push_back(Range{line_begin, text.size()});
  return lines;
}

bool starts_with_fold(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && scan::ascii_iequals(text.substr(0, prefix.size()), prefix);
}

std::size_t find_fold(std::string_view text, std::string_view needle, std::size_t from = 0) {
  for (std::size_t pos = text.find('<', from); pos != std::string_view::npos;
       pos = text.find('<', pos + 1))
    if (starts_with_fold(text.substr(pos), needle)) return pos;
  return std::string_view::npos;
}

// A block quote's lines as paragraphs: blank lines part them, each line loses one leading space.
Blocks quote_paragraphs(const std::vector<std::string_view>& lines, Notes& notes) {
  Blocks paragraphs;
  std::string group;
  bool has_group = false;
  auto close_group = [&] {
    if (has_group) paragraphs.push_back(Block::Paragraph{{}, document::inlines(group, notes)});
    group.clear();
    has_group = false;
  };
  for (std::string_view line : lines) {
    if (unicode::trim(line).empty()) {
      close_group();
      continue;
    }
    if (has_group) group += '\n';
    group += line.starts_with(' ') ? line.substr(1) : line;
    has_group = true;
  }
  close_group();
  return paragraphs;
}

// "<blockquote ...>": through the first "</blockquote>", which may close it on its opening line
// or stand anywhere on a later one. The text after the opening tag is the quote's first line,
// and the text after the closer opens the paragraph that follows.
bool block_quote(Walk& walk, Range trimmed) {
  auto tag = html_open(walk.source, trimmed.begin, trimmed.end);
  if (!tag || tag->name != "blockquote" || tag->closed) return false;
  flush_para(walk);
  std::vector<std::string_view> content;
  for (std::size_t i = walk.index; i < walk.lines.size(); ++i) {
    const Range line{i == walk.index ? tag->end : walk.lines[i].begin, walk.lines[i].end};
    const std::string_view text = walk.source.slice(line);
    const auto closer = find_closing_tag(text, "blockquote");
    if (!closer) {
      content.push_back(text);
      continue;
    }
    content.push_back(text.substr(0, closer->begin));
    walk.blocks.push_back(
        Block::BlockQuote{std::move(tag->attr), quote_paragraphs(content, walk.notes)});
    const Range after = trim_range(walk.source, Range{line.begin + closer->end, line.end});
    if (!after.empty()) walk.paragraph.push_back(after);
    walk.index = i + 1;
    return true;
  }
  walk.blocks.push_back(raw(walk.source.slice(walk.span(walk.index, walk.lines.size() - 1))));
  walk.is_done = true;
  return true;
}

// Non-overlapping occurrences of `needle` (lower-case) in the line, ASCII case ignored.
std::size_t count_fold(std::string_view line, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t pos = find_fold(line, needle); pos != std::string_view::npos;
       pos = find_fold(line, needle, pos + needle.size()))
    ++count;
  return count;
}

// "<div", "<center" or "<table" opening a raw HTML container, held open by nested openers.
bool html_container(Walk& walk, std::string_view t) {
  static constexpr std::array<std::string_view, 3> kNames = {"div", "center", "table"};
  for (std::string_view name : kNames) {
    const std::size_t size = name.size() + 1;
    if (t.size() <= size || t[0] != '<' || !starts_with_fold(t.substr(1), name)) continue;
    const char next = t[size];
    if (next != '\t' && next != ' ' && next != '/' && next != '>') continue;
    flush_para(walk);
    const std::string opener = "<" + std::string(name);
    const std::string closer = "</" + std::string(name);
    std::size_t last = walk.index;
    for (std::ptrdiff_t depth = 0;; ++last) {
      const std::string_view line = walk.line_text(last);
      depth += static_cast<std::ptrdiff_t>(count_fold(line, opener)) -
               static_cast<std::ptrdiff_t>(count_fold(line, closer));
      if (depth < 1 || last + 1 == walk.lines.size()) break;
    }
    walk.blocks.push_back(raw(walk.source.slice(walk.span(walk.index, last))));
    walk.index = last + 1;
    return true;
  }
  return false;
}

// The range without the comments and white space at its ends. An unclosed comment runs to the
// end, as it does in inline text.
Range without_edge_comments(const Source& source, Range range) {
  const std::string_view text = source.text().substr(0, range.end);
  std::optional<Range> content;
  for (std::size_t pos = range.begin; pos < range.end;) {
    const std::size_t open = text.find("<!--", pos);
    const Range piece =
        trim_range(source, Range{pos, open == std::string_view::npos ? range.end : open});
    if (!piece.empty()) content = Range{content ? content->begin : piece.begin, piece.end};
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find("-->", open + 2);
    if (close == std::string_view::npos) break;
    pos = close + 3;
  }
  return content.value_or(Range{range.begin, range.begin});
}

// Comments do not count when a line is tested as a heading ("== H ==<!-- note -->").
bool heading(Walk& walk, Range trimmed) {
  if (walk.source.slice(trimmed).find("<!--") != std::string_view::npos)
    trimmed = without_edge_comments(walk.source, trimmed);
  const std::string_view t = walk.source.slice(trimmed);
  const std::size_t opening = std::min(t.find_first_not_of('='), t.size());
  const std::size_t last_other = t.find_last_not_of('=');
  const std::size_t closing = last_other == std::string_view::npos ? t.size() : t.size() - last_other - 1;
  if (opening < 1 || opening > 6 || opening != closing || t.size() <= 2 * opening)
    return false;
  flush_para(walk);
  const Range title = trim_range(walk.source, Range{trimmed.begin + opening, trimmed.end - opening});
  walk.blocks.push_back(
      Block::Heading{{}, walk.inlines(title), static_cast<std::uint8_t>(opening)});
  ++walk.index;
  return true;
}

void preformatted(Walk& walk) {
  flush_para(walk);
  std::string code;
  std::size_t i = walk.index;
  do {
    if (i > walk.index) code += '\n';
    code += walk.line_text(i).substr(1);
    ++i;
  } while (i < walk.lines.size() && walk.line_text(i).starts_with(' '));
  walk.blocks.push_back(Block::CodeBlock{{}, "", std::move(code), std::nullopt});
  walk.index = i;
}

bool thematic_break(Walk& walk, std::string_view trimmed) {
  if (trimmed.size() <= 3 || trimmed.find_first_not_of('-') != std::string_view::npos)
    return false;
  flush_para(walk);
  walk.blocks.push_back(Block::ThematicBreak{});
  ++walk.index;
  return true;
}

// "<gallery>", "<syntaxhighlight>" and kin: raw through the line holding the closing tag.
bool extension_block(Walk& walk, std::string_view t) {
  static constexpr std::array<std::string_view, 5> kTags = {"<gallery", "<imagemap", "<timeline",
                                                            "<syntaxhighlight", "<source"};
  if (std::none_of(kTags.begin(), kTags.end(),
                   [&](std::string_view tag) { return starts_with_fold(t, tag); }))
    return false;
  flush_para(walk);
  const std::size_t name_end = std::min(find_white_space(t, 1), std::min(t.find('>', 1), t.size()));
  const std::string_view name = t.substr(1, name_end - 1);
  std::size_t last = walk.index;
  while (last + 1 < walk.lines.size() && !find_closing_tag(walk.line_text(last), name)) ++last;
  walk.blocks.push_back(raw(walk.source.slice(walk.span(walk.index, last))));
  walk.index = last + 1;
  return true;
}

// One logical line through the block rules, in order.
void block_rule(Walk& walk) {
  const Range line = walk.lines[walk.index];
  const std::string_view text = walk.source.slice(line);
  const Range trimmed = trim_range(walk.source, line);
  const std::string_view t = unicode::trim_start(text);
  if (trimmed.empty()) {
    flush_para(walk);
    ++walk.index;
    return;
  }
  if (t.starts_with("{|")) return table_rule(walk);
  if (block_quote(walk, trimmed) || html_container(walk, t) || heading(walk, trimmed)) return;
  if (html_list_item(walk.source, line)) return html_list_run(walk);
  if (is_wiki_list_line(text)) return wiki_list_run(walk);
  if (text.starts_with(' ')) return preformatted(walk);
  if (thematic_break(walk, walk.source.slice(trimmed)) || extension_block(walk, t)) return;
  walk.paragraph.push_back(line);
  ++walk.index;
}

}  // namespace

Block raw(std::string_view text) { return Block::RawBlock{"wikitext", std::string(text)}; }

void flush_para(Walk& walk) {
  if (walk.paragraph.empty()) return;
  const Range range{walk.paragraph.front().begin, walk.paragraph.back().end};
  walk.paragraph.clear();
  Inlines inlines = walk.inlines(range);
  if (inlines.size() == 1) {
    if (auto* math = inlines.front().get_if<Inline::MathInline>(); math && math->display) {
      walk.blocks.push_back(Block::MathBlock{std::move(math->attr), std::move(math->tex), true});
      return;
    }
  }
  walk.blocks.push_back(Block::Paragraph{{}, std::move(inlines)});
}

namespace document {

Document parse(std::string_view text) {
  fault_point(text);
  ArenaScope arena{ArenaScope::Fresh{}};  // the tree's memory, freed when the document goes
  const std::string normalised = normalise(text);
  Source source(normalised);
  Walk walk(source);
  walk.lines = logical_lines(source);
  while (!walk.is_done && walk.index < walk.lines.size()) block_rule(walk);
  flush_para(walk);
  Document doc;
  doc.arena = arena.handle();
  doc.blocks = std::move(walk.blocks);
  doc.footnotes = std::move(walk.notes).take();
  return doc;
}

}  // namespace document
}  // namespace vedavi::wikitext
