// Wiki lists ("*", "#", ";", ":" prefixes) and runs of HTML list item lines.
//
// The levels of a wiki list are built with an explicit stack of level frames, so a prefix of
// any length nests without native recursion. A line that jumps more than one level deeper
// than its list ("** a" opening a run, "* a" then "*** b") gets implied items for the levels
// it skips, so its text is kept.
#include <string_view>

#include "text/scan.h"
#include "text/unicode.h"
#include "wikitext/blocks.h"

namespace vedavi::wikitext {
namespace {

bool is_marker(char c) { return c == '#' || c == '*' || c == ':' || c == ';'; }

struct ListLine {
  std::string_view markers;
  Range content;  // without its leading white space
};

bool starts_with_fold(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && scan::ascii_iequals(text.substr(0, prefix.size()), prefix);
}

// ": <math>x</math>." as a display formula: the TeX with the trailing punctuation.
std::optional<std::string> indented_formula(std::string_view content) {
  if (content.size() < 5 || !starts_with_fold(content, "<math")) return std::nullopt;
  const std::size_t gt = content.find('>');
  if (gt == std::string_view::npos) return std::nullopt;
  const auto close = find_closing_tag(content, "math", gt + 1);
  if (!close) return std::nullopt;
  const std::string_view tail = unicode::trim(content.substr(close->end));
  for (char c : tail)
    if (!scan::is_ascii_punctuation(static_cast<unsigned char>(c))) return std::nullopt;
  std::string tex(content.substr(gt + 1, close->begin - gt - 1));
  tex += tail;
  return tex;
}

// One nesting level under construction: the blocks it has made, and the quote or list it is
// gathering, whose last paragraph or item receives the blocks of the next level.
struct Level {
  enum class Gathering : std::uint8_t { Nothing, Quote, List };
  explicit Level(std::size_t level_depth) : depth(level_depth) {}

  std::size_t depth;
  Blocks out;
  Gathering gathering = Gathering::Nothing;
  Blocks quote;
  Block::List list;
  char marker = 0;
};

class ListBuilder {
 public:
  ListBuilder(Walk& walk, std::vector<ListLine> lines) : walk_(walk), lines_(std::move(lines)) {}

  Blocks run() {
    levels_.push_back(Level{0});
    for (;;) {
      Level& level = levels_.back();
      if (level.gathering == Level::Gathering::Quote) gather_quote(level);
      else if (level.gathering == Level::Gathering::List) gather_list(level);
      else if (!at_level(level.depth)) {
        if (levels_.size() == 1) return std::move(level.out);
        close_level();
      } else {
        start(level);
      }
    }
  }

 private:
  // Whether the line at the cursor belongs to this depth or deeper.
  bool at_level(std::size_t depth) const {
    return cursor_ < lines_.size() && lines_[cursor_].markers.size() > depth;
  }
  Inlines content_inlines() { return walk_.inlines(lines_[cursor_].content); }
  void open_deeper_if_needed(std::size_t depth) {
    if (at_level(depth + 1)) levels_.push_back(Level{depth + 1});
  }

  void start(Level& level) {
    const ListLine& line = lines_[cursor_];
    const char marker = line.markers[level.depth];
    if (marker == ':') {
      if (auto tex = indented_formula(walk_.source.slice(line.content))) {
        level.out.push_back(Block::MathBlock{{}, std::move(*tex), true});
        ++cursor_;
        return;
      }
      level.gathering = Level::Gathering::Quote;
      return;
    }
    if (marker == ';') return definition_list(level);
    level.gathering = Level::Gathering::List;
    level.marker = marker;
    level.list = Block::List{};
    level.list.ordered = marker == '#';
  }

  void gather_quote(Level& level) {
    const std::size_t depth = level.depth;
    if (!at_level(depth) || lines_[cursor_].markers[depth] != ':') {
      level.out.push_back(Block::BlockQuote{{}, std::move(level.quote)});
      level.quote = Blocks{};
      level.gathering = Level::Gathering::Nothing;
      return;
    }
    level.quote.push_back(Block::Paragraph{{}, content_inlines()});
    ++cursor_;
    open_deeper_if_needed(depth);
  }

  void gather_list(Level& level) {
    const std::size_t depth = level.depth;
    const bool same_list = at_level(depth) && lines_[cursor_].markers[depth] == level.marker;
    const bool is_item = same_list && lines_[cursor_].markers.size() == depth + 1;
    // Only a list's first item can be implied: after an item, deeper lines nest in it.
    const bool is_implied = same_list && !is_item && level.list.items.empty();
    if (!is_item && !is_implied) {
      level.out.push_back(std::move(level.list));
      level.list = Block::List{};
      level.gathering = Level::Gathering::Nothing;
      return;
    }
    ListItem item;
    if (is_item) {
      item.children.push_back(Block::Paragraph{{}, content_inlines()});
      ++cursor_;
    }
    level.list.items.push_back(std::move(item));
    open_deeper_if_needed(depth);
  }

  // "; term" and the ": definition" lines right under it.
  void definition_list(Level& level) {
    DefinitionItem item;
    item.terms.push_back(DefinitionTerm{{}, content_inlines()});
    ++cursor_;
    while (cursor_ < lines_.size() && lines_[cursor_].markers.size() == level.depth + 1 &&
           lines_[cursor_].markers[level.depth] == ':') {
      item.definitions.push_back(content_inlines());
      ++cursor_;
    }
    Block::DefinitionList list;
    list.items.push_back(std::move(item));
    level.out.push_back(std::move(list));
  }

  // Hands a finished level's blocks to the quote paragraph or list item above it.
  void close_level() {
    Blocks blocks = std::move(levels_.back().out);
    levels_.pop_back();
    Level& parent = levels_.back();
    Blocks& target = parent.gathering == Level::Gathering::Quote
                         ? parent.quote
                         : parent.list.items.back().children;
    for (Block& block : blocks) target.push_back(std::move(block));
  }

  Walk& walk_;
  std::vector<ListLine> lines_;
  std::size_t cursor_ = 0;
  std::vector<Level> levels_;
};

}  // namespace

bool is_wiki_list_line(std::string_view line) { return !line.empty() && is_marker(line[0]); }

void wiki_list_run(Walk& walk) {
  flush_para(walk);
  std::vector<ListLine> lines;
  for (; walk.index < walk.lines.size() && is_wiki_list_line(walk.line_text(walk.index));
       ++walk.index) {
    const Range line = walk.lines[walk.index];
    const std::string_view text = walk.source.slice(line);
    std::size_t count = 0;
    while (count < text.size() && is_marker(text[count])) ++count;
    Range content{line.begin + count, line.end};
    const std::string_view rest = unicode::trim_start(walk.source.slice(content));
    content.begin = content.end - rest.size();
    lines.push_back(ListLine{text.substr(0, count), content});
  }
  Blocks blocks = ListBuilder(walk, std::move(lines)).run();
  for (Block& block : blocks) walk.blocks.push_back(std::move(block));
}

std::optional<Range> html_list_item(const Source& source, Range line) {
  const Range trimmed = trim_range(source, line);
  const std::string_view t = source.slice(trimmed);
  if (t.empty() || !starts_with_fold(t, "<li")) return std::nullopt;
  const std::size_t gt = t.find('>');
  if (gt == std::string_view::npos) return std::nullopt;
  Range content = trim_range(source, Range{trimmed.begin + gt + 1, trimmed.end});
  const std::string_view inner = source.slice(content);
  std::size_t cut = inner.size();
  if (const std::size_t closer = inner.rfind("</");
      closer != std::string_view::npos && closing_tag_end(inner, closer, "li") == inner.size())
    cut = closer;
  else if (inner.size() >= 4 && scan::ascii_iequals(inner.substr(inner.size() - 4), "<li>"))
    cut = inner.size() - 4;
  if (cut == inner.size()) return content;
  content.end = content.begin + cut;
  return Range{content.begin, content.begin + unicode::trim_end(source.slice(content)).size()};
}

void html_list_run(Walk& walk) {
  flush_para(walk);
  Block::List list;
  while (walk.index < walk.lines.size()) {
    const auto content = html_list_item(walk.source, walk.lines[walk.index]);
    if (!content) break;
    ListItem item;
    item.children.push_back(Block::Paragraph{{}, walk.inlines(*content)});
    list.items.push_back(std::move(item));
    ++walk.index;
  }
  walk.blocks.push_back(std::move(list));
}

}  // namespace vedavi::wikitext
