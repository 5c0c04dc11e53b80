// The open containers of the line loop: the build tree's stack, matching a line against it, the
// items a blank line was seen in, and the per-parse line tables.
#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <new>
#include <utility>

#include "block/build.h"
#include "block/html.h"
#include "block/scan.h"
#include "block/warm.h"

namespace vedavi::block {

using line::Rest;

Parser::Parser(line::SourceLines source_lines, const Options& opts,
               std::uint8_t span_mode)
    : lines(std::move(source_lines)), options(opts), mode(span_mode) {
  trace.mode = span_mode;
  const std::size_t n = lines.size();
  if (n >= std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  // Written once, forward: each entry is set before it is read.
  runs_ = std::make_unique_for_overwrite<std::uint32_t[]>(n + 1);
  std::uint32_t* const runs = runs_.get();
  const char* const text = lines.text();
  const std::uint64_t* const ends = lines.ends();
  const auto count = static_cast<std::uint32_t>(n);
  // `run_start`: the first line of the blank run a blank line `i` would be in (`i` itself after a
  // non-blank line). Each line writes its own entry and the run start's, the same number: its own
  // for a non-blank line (which ends the run before it, if any), the run's first for a blank one.
  // No branch but the blank test itself, which follows the text.
  std::uint32_t run_start = 0;
  std::size_t nonblank_runs = 0;
  bool after_blank = true;
  std::uint64_t begin = ends[0] + 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t end = ends[i + 1];
    const char* const first = text + begin;
    const auto size = static_cast<std::size_t>(end - begin);
    begin = end + 1;
    // Most non-blank lines begin with a printable byte; the others are trimmed.
    const bool nonblank =
        size != 0 && (line::is_plain_ascii(*first) || !line::is_blank(std::string_view(first, size)));
    const std::uint32_t named = nonblank ? i : run_start;
    runs[i] = named;
    runs[run_start] = named;
    nonblank_runs += nonblank & after_blank;
    after_blank = !nonblank;
    run_start = nonblank ? i + 1 : run_start;
  }
  // A blank run at the end ends at the line count; after a non-blank line this writes the count's
  // own entry.
  runs[run_start] = count;
  runs[count] = count;
  nonblank_runs_ = nonblank_runs;
  if (records_layout(mode)) trace.line_offsets.assign(n, 0);
}

void Parser::add_link_def(const std::string& label, LinkRef def) {
  link_defs.try_emplace(attrs::normalize_label(label), std::move(def));
}

namespace {

using ClearTable = void (*)(BuildTables&);

template <std::size_t... I>
constexpr std::array<ClearTable, sizeof...(I)> table_clearers(std::index_sequence<I...>) {
  return {+[](BuildTables& tables) { std::get<I>(tables).clear(); }...};
}

// Empties the table number `index`, keeping its room.
void clear_table(BuildTables& tables, std::size_t index) {
  static constexpr auto kClearers =
      table_clearers(std::make_index_sequence<std::tuple_size_v<BuildTables>>());
  kClearers[index](tables);
}

}  // namespace

ContainerBuilder::ContainerBuilder(Parser& p)
    : options(p.options), parser(p), rooms_(&warm::kept_rooms()) {
  reset();
}

void ContainerBuilder::reset() {
  nodes.clear();
  // Most blocks use a kind or two: only their tables are cleared.
  for (; used_kinds_ != 0; used_kinds_ &= used_kinds_ - 1)
    clear_table(kinds, static_cast<std::size_t>(std::countr_zero(used_kinds_)));
  open_root();
  stack.clear();
  stack.push_back(0);
  syntax.clear();
  paragraph_lines.clear();
  line = 0;
  first_line_ = parser.current;
  content_offset = 0;
  leaf_open = false;
  record_syntax = records_layout(parser.mode);
  consumers_.clear();
  quotes_.clear();
  divs_.clear();
  html_containers_.clear();
  if (list_stream_.list != BuildNode::kNone) list_stream_ = ListStream();
  if (quote_stream_.quote != BuildNode::kNone) quote_stream_ = QuoteStream();
  // Clearing a hash map costs a pass over its buckets even when it is empty; most blocks
  // open no div.
  if (!divs_by_colons_.empty()) divs_by_colons_.clear();
  // Cached answers about the previous tree compare unequal from here on.
  ++stack_version_;
  ++blank_gen_;
}

std::size_t ContainerBuilder::room_for(std::size_t size) const {
  const std::size_t done = line + 1 - std::min(line, first_line_);  // lines of the block so far
  const std::size_t total = parser.lines.size();
  const std::size_t left = total > line + 1 ? total - line - 1 : 0;
  // The projection `size * left / done`, which only counts once it is below doubling.
  const std::size_t extra = left >= done ? size : size / done * left + size % done * left / done + 1;
  return size + std::clamp(extra, size / 4 + 8, size + 8);
}

void ContainerBuilder::trim_room() {
  constexpr std::size_t kKeptBytes = kKeptNodes * sizeof(BuildNode);
  auto trim = [](auto& list) {
    using List = std::decay_t<decltype(list)>;
    if (list.capacity() * sizeof(typename List::value_type) > kKeptBytes) List().swap(list);
  };
  trim(nodes);
  trim(paragraph_lines);
  trim(syntax);
  std::apply([&](auto&... table) { (trim(table), ...); }, kinds);
}

void ContainerBuilder::push(std::uint32_t node) {
  std::size_t pos = stack.size();
  stack.push_back(node);
  ++stack_version_;
  const BuildKind k = kind(node);
  if (holds<build::BlockQuote>(k)) {
    consumers_.push_back(pos);
    quotes_.push_back(pos);
  } else if (holds<build::ListItem>(k) ||
             holds<build::FootnoteDef>(k)) {
    consumers_.push_back(pos);
  } else if (holds<build::Div>(k)) {
    divs_.push_back(pos);
    divs_by_colons_[get<build::Div>(k).colons].push_back(pos);
  } else if (holds<build::HtmlContainer>(k)) {
    html_containers_.push_back(pos);
  }
}

void ContainerBuilder::cut_open(std::size_t depth) {
  if (depth == 0) depth = 1;  // the root stays open
  // Most cuts close no div: the colon index is not touched.
  if (!divs_.empty() && divs_.back() >= depth) close_divs(depth);
  stack.resize(depth);
  ++stack_version_;
  // Each list by itself, not through a list of them, which cost a loop over pointers per cut.
  const auto drop_from = [depth](std::vector<std::size_t>& positions) {
    while (!positions.empty() && positions.back() >= depth) positions.pop_back();
  };
  drop_from(consumers_);
  drop_from(quotes_);
  drop_from(html_containers_);
}

void ContainerBuilder::close_divs(std::size_t depth) {
  while (!divs_.empty() && divs_.back() >= depth) {
    std::size_t colons = get<build::Div>(kind(stack[divs_.back()])).colons;
    divs_by_colons_[colons].pop_back();
    divs_.pop_back();
  }
}

void ContainerBuilder::note_syntax(std::size_t start, std::size_t end, SyntaxScope scope) {
  if (record_syntax && start < end) syntax.push_back(SyntaxRecord{line, start, end, scope});
}

std::size_t ContainerBuilder::offset_of(const Rest& rest, const char* at) const {
  // A view of the line itself gives its offset at once. The padding counts columns, not bytes:
  // padding left of a tab split by a container's indentation stands for less than one byte.
  const std::string_view source = line < parser.lines.size() ? parser.lines[line] : std::string_view();
  if (at >= source.data() && at <= source.data() + source.size())
    return static_cast<std::size_t>(at - source.data());
  return content_offset + rest.pad + static_cast<std::size_t>(at - rest.text.data());
}

bool ContainerBuilder::item_has_content(std::uint32_t item) const {
  for (std::uint32_t c = nodes[item].first_child; c != BuildNode::kNone; c = nodes[c].next_sibling) {
    const BuildKind k = kind(c);
    if (auto* code = get_if<build::IndentedCode>(k)) {
      if (!code->text.empty()) return true;
    } else if (auto* html = get_if<build::HtmlBlock>(k)) {
      if (!html->raw.empty()) return true;
    } else if (auto* p = get_if<build::Paragraph>(k)) {
      for (const line::Rest& l : lines_of(*p))
        if (!l.is_blank()) return true;
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

std::size_t ContainerBuilder::match_consumers(Rest& rest, std::size_t limit) const {
  // Lists, divs and md-HTML containers always match, so only the consumers are examined. Once
  // the rest is blank every consumer up to the first block quote matches (an item below the
  // innermost container always has content: the container above it), so a blank line costs
  // no walk over the open containers.
  for (std::size_t ci = 0; ci < consumers_.size(); ++ci) {
    std::size_t pos = consumers_[ci];
    if (pos >= limit) break;
    // Most rests are spaces, then a printable byte: not blank, indented by the spaces alone, and
    // cut by moving past them. Their spaces are counted once here for all three questions.
    const std::size_t spaces = rest.leading_spaces();
    if (spaces < rest.text.size() && line::is_plain_ascii(rest.text[spaces])) {
      const std::size_t indent = rest.pad + spaces;
      const BuildKind k = kind(stack[pos]);
      if (auto* item = get_if<build::ListItem>(k)) {
        if (indent < item->content_column) return pos;
        rest = Rest{indent - item->content_column, rest.text.substr(spaces)};
      } else if (holds<build::BlockQuote>(k)) {
        if (indent > 3 || rest.text[spaces] != '>') return pos;
        rest = strip_quote_marker(rest);
      } else {  // footnote definition
        if (indent < 4) return pos;
        rest = Rest{indent - 4, rest.text.substr(spaces)};
      }
      continue;
    }
    if (rest.is_blank()) {
      auto q = std::lower_bound(quotes_.begin(), quotes_.end(), pos);
      std::size_t cutpos = (q != quotes_.end() && *q < limit) ? *q : limit;
      std::size_t top = stack.size() - 1;
      if (top >= pos && top < cutpos &&
          holds<build::ListItem>(kind(stack[top])) &&
          !item_has_content(stack[top]))
        cutpos = top;
      if (cutpos > pos) rest = Rest{};
      return cutpos;
    }
    const BuildKind k = kind(stack[pos]);
    if (holds<build::BlockQuote>(k)) {
      if (!quote_marker_matches(rest)) return pos;
      rest = strip_quote_marker(rest);
    } else if (auto* item = get_if<build::ListItem>(k)) {
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
    const BuildKind k = kind(stack[pos]);
    if (holds<build::ListItem>(k))
      mark_blank_item(stack[pos]);
    else if (!holds<build::List>(k))
      break;
  }
  blank_rebuilt_version_ = stack_version_;
  blank_rebuilt_gen_ = blank_gen_;
}

}  // namespace vedavi::block
