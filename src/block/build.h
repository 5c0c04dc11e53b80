// The build tree of the container line loop: `BuildKind` nodes in an arena, the
// `ContainerBuilder` that opens, continues and closes them line by line, and the parser state
// (`Parser`) one parse shares between the loop calls.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <tuple>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "model/attrs.h"
#include "block/draft.h"
#include "block/lists.h"
#include "block/scan.h"
#include "block/trace.h"
#include "model/line.h"
#include "model/link_ref.h"
#include "model/options.h"
#include "model/template.h"

namespace vedavi::block {

struct ListMarker;

// How a raw HTML block ends: at a blank line, at the close of a comment, or when the nesting
// depth of a named element returns to 0.
struct HtmlEndBlank {};
struct HtmlEndComment {};
struct HtmlEndTag {
  std::string name;
  std::size_t depth = 0;
};
using HtmlEnd = std::variant<HtmlEndBlank, HtmlEndComment, HtmlEndTag>;

namespace build {
// The text of a code or math block, gathered line by line, each line followed by "\n". Lines
// that stand in the source exactly as they are written (spaces as padding, an LF after them)
// and follow each other there are kept as one range of the source and copied once, when the
// text is taken: a long code block is not copied line by line into a growing string.
class LineText {
 public:
  LineText() = default;
  // The copied bytes stand in a room of the current arena, which one text owns: moved, never
  // copied.
  LineText(LineText&& other) noexcept
      : room_(std::exchange(other.room_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        room_size_(std::exchange(other.room_size_, 0)),
        run_begin_(std::exchange(other.run_begin_, nullptr)),
        run_end_(std::exchange(other.run_end_, nullptr)) {}
  LineText& operator=(LineText&& other) noexcept {
    if (this != &other) {
      room_ = std::exchange(other.room_, nullptr);
      size_ = std::exchange(other.size_, 0);
      room_size_ = std::exchange(other.room_size_, 0);
      run_begin_ = std::exchange(other.run_begin_, nullptr);
      run_end_ = std::exchange(other.run_end_, nullptr);
    }
    return *this;
  }
  LineText(const LineText&) = delete;
  LineText& operator=(const LineText&) = delete;

  // Appends `rest`, cut from the source line `line`, and a line end. `lf_follows`: an LF ends
  // `line` in the source.
  void append(const line::Rest& rest, std::string_view line, bool lf_follows) {
    // Most lines of a block are whole source lines right after the run: the run grows.
    const char* text = rest.text.data();
    if (text == run_end_ && run_begin_ != run_end_ && rest.pad == 0 && lf_follows &&
        text + rest.text.size() == line.data() + line.size()) {
      run_end_ = text + rest.text.size() + 1;  // the LF
      return;
    }
    append_other(rest, line, lf_follows);
  }
  // Appends `s` as it is, a copy.
  void append_copy(std::string_view s) {
    flush();
    put(s);
  }
  bool empty() const { return size_ == 0 && run_begin_ == run_end_; }
  // The whole text; the builder is spent afterwards.
  std::string take();
  // As `take`, in the current arena: a view of `kept_source` when the text is one stretch of it.
  Str take_str(std::string_view kept_source);

 private:
  void append_other(const line::Rest& rest, std::string_view line, bool lf_follows);
  void flush() {
    if (run_begin_ != run_end_) put(std::string_view(run_begin_, static_cast<std::size_t>(run_end_ - run_begin_)));
    run_begin_ = run_end_ = nullptr;
  }
  void put(std::string_view s) {
    if (s.empty()) return;  // an empty view may have no bytes at all to copy from
    if (s.size() > room_size_ - size_) grow(s.size());
    std::memcpy(room_ + size_, s.data(), s.size());
    size_ += s.size();
  }
  void grow(std::size_t more);
  // Bytes copied so far, in a room of the current arena (not a heap string: most copied texts,
  // code in list items, are lines cut short by the items' indentation, one copy a line).
  char* room_ = nullptr;
  std::size_t size_ = 0;
  std::size_t room_size_ = 0;
  // Source bytes that follow the copied ones, not yet copied.
  const char* run_begin_ = nullptr;
  const char* run_end_ = nullptr;
};

struct HtmlContainer {
  std::optional<std::size_t> end_line;
  std::string name;
  std::string open_tag;  // empty when the tag belongs to a surrounding raw block
  std::optional<std::string> outer_name;
  std::size_t outer_depth = 0;
};
struct Root {};
struct BlockQuote { Attr attr; };
struct List {
  Attr attr;
  std::uint64_t start = 1;
  std::uint64_t last = 1;
  char marker = '-';
  bool ordered = false;
};
struct ListItem {
  Attr attr;
  std::string_view source;  // the line from the marker on, a view into the source
  std::size_t content_offset = 0;  // where the content starts in `source`
  std::size_t content_column = 0;
  std::uint64_t number = 1;
  std::uint64_t blank_mark = 0;  // equals the builder's generation while in `blank_items`
  bool loose = false;
  std::optional<bool> task;
};
struct FootnoteDef { std::string label; };
struct DefinitionList { Attr attr; std::vector<DraftDefinitionItem> items; };
struct Div {
  std::optional<std::size_t> end_line;
  Attr attr;
  std::size_t colons = 3;
};
struct FencedCode {
  std::string_view info;  // a view into the fence's source line
  LineText text;
  std::size_t fence_length = 3;
  std::size_t fence_indent = 0;
  char fence_char = '`';
  bool closed = false;
};
struct MathBlock {
  LineText text;
  std::string_view closer;  // "$$" or "\\]"
  bool closed = false;
};
// A range of the builder's paragraph lines (views into the source): a paragraph copies its text
// once, when it is finished.
struct Paragraph {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};
struct Heading {
  Attr attr;
  std::string_view text;  // a view into the heading's source line
  std::uint8_t level = 1;
};
struct ThematicBreak { Attr attr; };
struct IndentedCode { LineText text; };
struct HtmlBlock {
  LineText raw;
  HtmlEnd end;
  bool closed = false;
};
struct Table {
  Attr attr;
  ArenaVector<Align> aligns;
  ArenaVector<TableRowText> head;  // these three and `aligns` in the parse's arena, as the cells
  ArenaVector<std::string_view> body;
  ArenaVector<TableRowText> foot;
  std::vector<std::pair<std::size_t, TemplateToken>> tokens;
  std::optional<std::string> caption;
  bool leading_pipe = false;
};
// Tables are the largest kind and among the rarest, so a node holds its table boxed and stays
// small.
using TablePtr = std::unique_ptr<Table>;
}  // namespace build

// The kinds of build nodes, in the order of `BuildTables`.
enum class BuildTag : std::uint8_t {
  HtmlContainer, Root, BlockQuote, List, ListItem, FootnoteDef, DefinitionList, Div, FencedCode,
  MathBlock, Paragraph, Heading, ThematicBreak, IndentedCode, HtmlBlock, Table, None
};

// The contents of the build nodes, one table per kind, so that a node is a few indices and the
// most frequent kinds (paragraphs, list items) take only their own size.
using BuildTables =
    std::tuple<std::vector<build::HtmlContainer>, std::vector<build::Root>,
               std::vector<build::BlockQuote>, std::vector<build::List>,
               std::vector<build::ListItem>, std::vector<build::FootnoteDef>,
               std::vector<build::DefinitionList>, std::vector<build::Div>,
               std::vector<build::FencedCode>, std::vector<build::MathBlock>,
               std::vector<build::Paragraph>, std::vector<build::Heading>,
               std::vector<build::ThematicBreak>, std::vector<build::IndentedCode>,
               std::vector<build::HtmlBlock>, std::vector<build::TablePtr>>;

namespace build {
template <class K, class Tables>
struct TagOf;
template <class K, class... Ks>
struct TagOf<K, std::tuple<std::vector<Ks>...>> {
  static constexpr std::uint8_t value = [] {
    std::uint8_t i = 0;
    bool found = false;
    ((found = found || std::is_same_v<K, Ks>, i = static_cast<std::uint8_t>(i + (found ? 0 : 1))), ...);
    return i;
  }();
  static_assert(value < sizeof...(Ks), "not a build kind");
};
}  // namespace build

// The tag of the build kind `K`.
template <class K>
inline constexpr BuildTag kTagOf =
    static_cast<BuildTag>(build::TagOf<std::decay_t<K>, BuildTables>::value);

// A node of the build tree. Children are linked by index, first to last, so that no node
// allocates a child list; its contents are in the table of its kind.
struct BuildNode {
  static constexpr std::uint32_t kNone = ~std::uint32_t{0};

  BuildNode(BuildTag t, std::uint32_t s, std::size_t first_line) : slot(s), tag(t), start(first_line) {}
  BuildNode(const build::Paragraph& p, std::size_t first_line)
      : tag(BuildTag::Paragraph), para(p), start(first_line) {}

  bool has_children() const { return first_child != kNone; }

  std::uint32_t first_child = kNone;
  std::uint32_t last_child = kNone;
  std::uint32_t next_sibling = kNone;
  std::uint32_t child_count = 0;
  std::uint32_t slot = 0;  // in the table of its kind
  BuildTag tag = BuildTag::None;
  // A paragraph, the most frequent kind, is held in the node itself rather than in a table.
  build::Paragraph para;
  std::size_t start = 0;
};

// A build node's kind and contents, read through the tables: reads like a variant of the kinds
// (`get_if<build::List>(kind)`, `holds<build::Div>(kind)`). None when it names no node.
class BuildKind {
 public:
  BuildKind() = default;
  BuildKind(BuildTables& tables, BuildNode& node) : tables_(&tables), node_(&node) {}

  BuildTag tag() const { return node_->tag; }
  std::size_t index() const { return static_cast<std::size_t>(tag()); }
  template <class K>
  K* get_if() const {
    if (tag() != kTagOf<K>) return nullptr;
    if constexpr (std::is_same_v<K, build::Paragraph>)
      return &node_->para;
    else
      return &std::get<std::vector<K>>(*tables_)[node_->slot];
  }

 private:
  // A handle to no node reads the tag of a node of none, so that no read tests for it.
  inline static BuildNode no_node_{BuildTag::None, 0, 0};
  BuildTables* tables_ = nullptr;
  BuildNode* node_ = &no_node_;
};

template <class K>
K* get_if(BuildKind kind) {
  return kind.get_if<K>();
}
template <class K>
K& get(BuildKind kind) {
  K* k = kind.get_if<K>();
  assert(k);
  return *k;
}
template <class K>
bool holds(BuildKind kind) {
  return kind.tag() == kTagOf<K>;
}

// Whether a leaf takes the next line: text leaves always, fenced and raw leaves until closed,
// containers and finished leaves never. Asked once a line: inline.
inline bool takes_lines(BuildKind k) {
  constexpr auto bit = [](BuildTag tag) { return std::uint32_t{1} << static_cast<unsigned>(tag); };
  constexpr std::uint32_t kAlways = bit(BuildTag::Paragraph) | bit(BuildTag::DefinitionList) |
                                    bit(BuildTag::IndentedCode) | bit(BuildTag::Table);
  constexpr std::uint32_t kUntilClosed =
      bit(BuildTag::FencedCode) | bit(BuildTag::MathBlock) | bit(BuildTag::HtmlBlock);
  const std::uint32_t b = bit(k.tag());
  if (b & kAlways) return true;
  if (!(b & kUntilClosed)) return false;
  if (auto* code = k.get_if<build::FencedCode>()) return !code->closed;
  if (auto* math = k.get_if<build::MathBlock>()) return !math->closed;
  return !get<build::HtmlBlock>(k).closed;
}

// The link definitions that begin the lines of a paragraph, in order.
std::vector<LinkRefDefinition> leading_link_defs(std::span<const line::Rest> lines);

// The span kind of a build node; asked for every block the finish makes, so inline.
inline SpanKind span_kind_name(BuildKind kind) {
  static constexpr SpanKind kNames[] = {
      "html_container", "paragraph",  "block_quote",    "list",      "list",
      "footnote_def",   "definition_list", "div",       "code_block", "math_block",
      "paragraph",      "heading",    "thematic_break", "code_block", "html_block",
      "table"};
  return kNames[kind.index()];
}

class Parser;

// A container being closed into a draft: its node, its children's drafts so far.
struct FinishFrame {
  FinishFrame(std::uint32_t n, std::size_t end) : node(n), child_end(end) {}
  // The span is moved in once, not through a parameter of its own.
  FinishFrame(std::uint32_t n, std::size_t end, BlockSpan&& s)
      : node(n), child_end(end), span(std::move(s)) {}
  std::uint32_t node;
  std::size_t child_end;  // the exclusive end handed to the children
  std::uint32_t next = BuildNode::kNone;  // the next child to close
  BlockSpan span;
  Drafts out;
  std::vector<DraftListItem> items;
  bool loose = false;
  bool rules_below = false;  // the ordered-list rules may change a draft made so far (`draft::List`)
};

namespace warm {
struct KeptRooms;
}

class ContainerBuilder {
 public:
  explicit ContainerBuilder(Parser& parser);
  // Back to a lone root for the next top-level block; the storage is kept for reuse.
  void reset();
  // Lets go of the room a huge block left behind (a list of a million items), so that it is not
  // held through the rest of the parse beside the drafts made from it. Worth a call only when
  // the tree grew beyond `kKeptNodes`.
  void trim_room();
  static constexpr std::size_t kKeptNodes = std::size_t{1} << 15;

  std::vector<BuildNode> nodes;
  // The contents of the nodes, by kind.
  mutable BuildTables kinds;
  std::vector<std::uint32_t> stack;  // open containers, the root first
  std::vector<SyntaxRecord> syntax;
  // The lines of every paragraph of the tree, one paragraph after the other: lines are only
  // ever added to the paragraph opened last, so its range always ends the list.
  std::vector<line::Rest> paragraph_lines;
  const Options& options;
  std::size_t line = 0;
  std::size_t content_offset = 0;
  bool leaf_open = false;
  bool record_syntax = false;

  // Appends a node of `kind` (a build kind alternative) to the innermost container.
  // A handle, valid until a node is added. The builder owns its nodes: handles read from a
  // const builder may still write to them, as the tree's passes need.
  BuildKind kind(std::uint32_t node) const {
    return BuildKind(kinds, const_cast<BuildNode&>(nodes[node]));
  }
  // Gives `node` the kind `k` in place of its own (a paragraph that becomes a table).
  template <class K>
  void set_kind(std::uint32_t node, K&& k) {
    static_assert(!std::is_same_v<std::decay_t<K>, build::Paragraph>, "paragraphs open as nodes");
    nodes[node].slot = add_kind(std::forward<K>(k));
    nodes[node].tag = kTagOf<K>;
  }
  template <class K>
  std::uint32_t open_node(K&& k) {
    // A table that takes a paragraph's last line as its header starts on that line.
    if (stack.back() == quote_stream_.quote) [[unlikely]]
      begin_quote_child(std::is_same_v<std::decay_t<K>, build::TablePtr> ? line - 1 : line);
    auto index = static_cast<std::uint32_t>(nodes.size());
    make_room(nodes);
    if constexpr (std::is_same_v<std::decay_t<K>, build::Paragraph>)
      nodes.emplace_back(k, line);
    else
      nodes.emplace_back(kTagOf<K>, add_kind(std::forward<K>(k)), line);
    BuildNode& parent = nodes[stack.back()];
    if (parent.has_children())
      nodes[parent.last_child].next_sibling = index;
    else
      parent.first_child = index;
    parent.last_child = index;
    ++parent.child_count;
    return index;
  }
  void push(std::uint32_t node);
  // The root node, alone in the tree.
  void open_root() { nodes.emplace_back(BuildTag::Root, 0, 0); }  // a root has no contents
  // Closes the containers at stack positions `depth` and above.
  void cut(std::size_t depth) {
    if (depth < stack.size()) cut_open(depth);
  }
  // Clears `leaf_open` unless the innermost container ends with a leaf that takes more lines.
  void refresh_leaf_open() {
    if (leaf_open) leaf_open = last_leaf_takes_lines();
  }
  std::span<const line::Rest> lines_of(const build::Paragraph& para) const {
    return std::span<const line::Rest>(paragraph_lines).subspan(para.first, para.count);
  }
  void append_line(build::Paragraph& para, const line::Rest& rest) {
    assert(para.first + para.count == paragraph_lines.size());
    make_room(paragraph_lines);
    paragraph_lines.push_back(rest);
    ++para.count;
  }
  void append_leaf_inner(line::Rest rest);
  // A row, caption, section token or attribute line of the open table (the last child of the
  // innermost container); false when the line is none and ends the table.
  bool continue_table(const line::Rest& rest);
  // Appends `rest` to `table` as a body row: a line that is one, whatever else it might be.
  void add_table_row(build::Table& table, const line::Rest& rest);
  // Appends `rest`, what is left of the current line, to a code or math block's text.
  inline void append_text_line(build::LineText& text, const line::Rest& rest) const;
  bool open_atx_heading(const line::Rest& rest);
  bool open_html_container(const line::Rest& rest);
  bool open_html_block(const line::Rest& rest);
  void note_syntax(std::size_t start, std::size_t end,
                   SyntaxScope scope = SyntaxScope::PunctuationSpecial);
  // Source offset of the logical byte `pos` of the rest handed to the leaf handlers.
  std::size_t offset_of(const line::Rest& rest, const char* at) const;
  std::size_t containers_open() const { return stack.size() - 1; }
  bool below_depth_limit() const { return containers_open() < options.max_block_depth; }
  std::uint32_t innermost() const { return stack.back(); }
  // The last child of the innermost container, none when it has no children.
  std::optional<std::uint32_t> last_child() const {
    const BuildNode& parent = nodes[stack.back()];
    if (!parent.has_children()) return std::nullopt;
    return parent.last_child;
  }
  template <class T>
  T* last_child_as() {
    auto c = last_child();
    return c ? kind(*c).get_if<T>() : nullptr;
  }

  bool in_blank_items(const build::ListItem& item) const { return item.blank_mark == blank_gen_; }
  void clear_blank_items() { ++blank_gen_; }
  // `node`: a list item.
  void mark_blank_item(std::uint32_t node) {
    if (auto* item = kind(node).get_if<build::ListItem>()) item->blank_mark = blank_gen_;
  }
  void rebuild_blank_items();
  // Stack positions [1, result) that match the line; `rest` is what is left of it. Only the
  // containers that consume line text are examined: without them every line matches all.
  std::size_t match_containers(line::Rest& rest, std::size_t limit) const {
    if (consumers_.empty() || consumers_.front() >= limit) return limit;
    return match_consumers(rest, limit);
  }
  bool item_has_content(std::uint32_t item) const;

  // Closes the children of `parent` into drafts appended to `out`, moving the nodes' contents
  // out: the tree is spent afterwards.
  void finish_children(std::uint32_t parent, std::size_t end, Drafts& out);
  // Appends the edit regions of the subtrees of `parent`'s children to the trace's records.
  // `prefix`: what the containers above `parent` add to a line.
  void collect_edit_regions(Trace& trace, std::uint32_t parent, std::size_t end,
                            std::string_view prefix = {}) const;

  Parser& parser;

  // The steps of one line of the loop, in order; a step that returns true has consumed the line.
  // `leaf`: the last child of the innermost container.
  bool continue_fenced_leaf(BuildKind leaf, const line::Rest& rest);
  // Most lines stand in no div and no md-HTML container: they are not looked at for a closing.
  bool close_div(const line::Rest& rest) { return !divs_.empty() && close_open_div(rest); }
  bool continue_html_block(const line::Rest& rest);
  bool close_html_container(const line::Rest& rest) {
    return !html_containers_.empty() && close_open_html_container(rest);
  }
  bool continue_indented_code(const line::Rest& rest);
  // At a list that the line did not continue: keeps or closes it. True when a blank line was
  // found to separate two items of the list.
  bool settle_list(const line::Rest& rest);
  // Opens the containers the line begins with; false when the call must stop before the line.
  bool open_containers(line::Rest& rest);
  void open_list_item(line::Rest& rest, const ListMarker& marker);
  // Once the top-level block is built: the records that its closed items, finished early, left
  // aside so that they follow the block's own as when the whole block is finished at once.
  // Most blocks leave none: only a streamed block finishes children early.
  void add_late_records(Trace& trace) {
    if (!late_syntax_.empty() || !late_unclosed_.empty()) add_late_records_now(trace);
  }
  void add_late_records_now(Trace& trace);
  // Where the line's content starts, for the layout records of the span modes.
  void record_content_offset(const line::Rest& rest) {
    if (record_syntax) write_content_offset(rest);
  }
  void write_content_offset(const line::Rest& rest);
  // Only a container left open or a fenced, math or raw HTML leaf may be unclosed at the end.
  void report_unclosed(Trace& trace) const {
    if (stack.size() > 1 || (leaf_open && nodes[0].has_children())) report_open(trace);
  }
  void report_open(Trace& trace) const;

 private:
  template <class K>
  std::uint32_t add_kind(K&& k) {
    auto& table = std::get<std::vector<std::decay_t<K>>>(kinds);
    used_kinds_ |= 1u << static_cast<unsigned>(kTagOf<K>);
    make_room(table);
    table.push_back(std::forward<K>(k));
    return static_cast<std::uint32_t>(table.size() - 1);
  }
  // Grows a full list of the tree by the rate the block has shown so far (an item's two nodes a
  // line, say) over the lines left, at most doubling it: near the end of a huge block the room
  // fits it, where doubling would leave up to half of it unused.
  template <class List>
  void make_room(List& list) {
    if (list.size() == list.capacity()) list.reserve(room_for(list.size()));
  }
  std::size_t room_for(std::size_t size) const;
  std::size_t first_line_ = 0;  // of the block being built

  // Drops the descendants of `container`, the block's first node after the root: the tree's
  // lists are cut back to what they held when it opened, itself alone.
  void drop_children(std::uint32_t container);
  // Closes the children of `parent`, the last ending before `end`, into the bottom finish frame.
  void finish_closed_children(std::uint32_t parent, std::size_t end);
  // A streamed block's closed children are finished once they hold this many nodes: small blocks
  // never are, and a huge one keeps at most a few such batches. Only a block that opened with
  // the container (its node the first after the root) is streamed.
  static constexpr std::size_t kStreamNodes = 1024;
  bool worth_streaming(std::uint32_t container) const {
    return container == 1 && nodes.size() - 2 >= kStreamNodes;
  }

  // A top-level list or quote holds the whole block until its last line: once its closed children
  // make a batch, they are finished, when no later line can change them any more (an item's
  // looseness is settled once the next item opens), and their nodes, table entries and paragraph
  // lines, the tails of their lists, go. In the span modes an item of an unordered list (never
  // turned back into text) becomes its children's spans at once, and a quote's children once
  // the ordered-list rules have decided them, unless a paragraph of them may become a figure;
  // from such a child on, and in an ordered list, the children wait as drafts.
  struct ListStream {
    std::uint32_t list = BuildNode::kNone;
    std::vector<DraftListItem> items;
    std::unique_ptr<StreamedSpans> spans;
    bool loose = false;
    bool rules_below = false;
  } list_stream_;
  struct QuoteStream {
    std::uint32_t quote = BuildNode::kNone;
    Drafts drafts;  // finished, not yet spans (all of them in span mode 0)
    RevertScan scan;
    std::size_t taken = 0;  // drafts the scan read that went
    std::unique_ptr<StreamedSpans> spans;
    bool waits = false;  // a child that may become a figure came: the rest waits as drafts
  } quote_stream_;
  // Records the closed children's finishing made, which go after the block's own.
  std::vector<SyntaxRecord> late_syntax_;
  std::vector<UnclosedRecord> late_unclosed_;
  // Finishes the items of the top-level list `list_node`, all closed as the next one opens.
  void stream_closed_items(std::uint32_t list_node);
  // The list's items and spans finished early, before `items`, the rest.
  void take_streamed(std::uint32_t list_node, std::vector<DraftListItem>& items, bool& loose,
                     bool& rules_below, std::unique_ptr<StreamedSpans>& spans);
  // The span modes' reading of one closed item of an unordered list.
  void stream_item(DraftListItem& item);
  // A child of the top-level quote opens at `start`: the ones before it may be finished.
  void begin_quote_child(std::size_t start);
  // Turns the quote's finished children the ordered-list rules have decided into spans.
  void take_decided_quote_children();
  // The quote's children finished early and their spans, before `children`, the rest.
  void take_streamed_quote(Drafts& children, std::unique_ptr<StreamedSpans>& spans, bool& enforced);
  template <class T>
  void make_stream_room(std::vector<T>& list, std::size_t more);
  // Runs the finish frames until the bottom one has no child left.
  void run_finish();
  // Whether the children of `node` are all leaves.
  bool holds_leaves_only(std::uint32_t node) const;
  // Appends the item `item`, whose children are all leaves, to the frame of its list; `end`: the
  // exclusive end handed to its children.
  void finish_item_of_leaves(FinishFrame& list, std::uint32_t item, std::size_t end);
  // Appends the item `item_node` with the drafts of its children to the frame of its list.
  void add_item(FinishFrame& list, std::uint32_t item_node, Drafts&& children);
  // Appends the draft of the leaf `child`, spanning `span`, to `out`.
  void finish_leaf(std::uint32_t child, BlockSpan&& span, Drafts& out);
  // Positions on the stack of the containers that consume line text, of block quotes, of divs
  // and of md-HTML containers, so that no line walks containers it cannot concern.
  std::vector<std::size_t> consumers_, quotes_, divs_, html_containers_;
  // Stack positions of the open divs by the length of their colon fence, so that a colon line
  // finds the div it closes without passing the others.
  std::unordered_map<std::size_t, std::vector<std::size_t>> divs_by_colons_;
  std::vector<FinishFrame> finish_frames_;  // kept between calls for its storage
  warm::KeptRooms* rooms_;  // the thread's, looked up once
  // The box of the last table finished, emptied, for the next table to take.
  build::TablePtr spare_table_;
  bool close_open_div(const line::Rest& rest);
  bool close_open_html_container(const line::Rest& rest);
  void cut_open(std::size_t depth);
  // The divs at stack positions `depth` and above leave the div lists.
  [[gnu::noinline]] void close_divs(std::size_t depth);
  bool last_leaf_takes_lines() const {
    auto c = last_child();
    return c && takes_lines(kind(*c));
  }
  std::size_t match_consumers(line::Rest& rest, std::size_t limit) const;
  // The kinds whose tables hold entries: a new block clears only those.
  std::uint32_t used_kinds_ = 0;
  std::uint64_t blank_gen_ = 1;
  std::uint64_t stack_version_ = 0;
  std::uint64_t blank_rebuilt_version_ = ~std::uint64_t{0};
  std::uint64_t blank_rebuilt_gen_ = 0;
  // The match of the next non-blank line, kept while neither that line nor the stack changes,
  // so that a run of blank lines matches it once.
  struct Lookahead {
    std::size_t line = ~std::size_t{0};
    std::uint64_t version = 0;
    std::size_t matched = 0;
    line::Rest rest;
  } ahead_;
  // The lookahead match of the next non-blank line after the current one, none at the end.
  const Lookahead* match_ahead();

  // The list marker that begins `rest`, none without one. The last answer is kept: settling a
  // list and opening containers ask about the same rest of a line.
  const std::optional<ListMarker>& marker_of(const line::Rest& rest) const {
    if (rest.text.data() != marker_rest_.text.data() || rest.text.size() != marker_rest_.text.size() ||
        rest.pad != marker_rest_.pad) {
      marker_rest_ = rest;
      marker_ = list_marker(rest);
    }
    return marker_;
  }
  mutable line::Rest marker_rest_;
  mutable std::optional<ListMarker> marker_;

  bool start_table(build::Paragraph& para, std::uint32_t para_node, const line::Rest& rest);
  void open_paragraph(const line::Rest& rest);
  bool open_fence(const line::Rest& rest);
  bool open_math(const line::Rest& rest);
  bool open_div(const line::Rest& rest);
  bool open_footnote(const line::Rest& rest);
  // `no_def_marker`: the line is known to bear no definition marker.
  bool paragraph_continues(const build::Paragraph& para, const line::Rest& rest,
                           bool no_def_marker = false) const;
};

// The state of one parse, shared by the calls of the container line loop.
class Parser {
 public:
  Parser(line::SourceLines lines, const Options& options, std::uint8_t mode);
  // The builder refers back to its parser.
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  line::SourceLines lines;
  std::size_t current = 0;
  Options options;
  std::uint8_t mode = 0;
  // The source when it outlives the document (see `parse_kept_source`): paragraph texts may be
  // views of it. Empty otherwise.
  std::string_view kept_source;
  Trace trace;
  std::unordered_map<std::string, LinkRef> link_defs;
  std::unordered_set<std::string> footnote_labels;
  // A footnote definition was drafted inside another block.
  bool nested_footnotes = false;

  // Builds the blocks from the current line on until the top level is complete and appends
  // their drafts to `out`, where they stay: a draft is large, and each move of it costs.
  void container_block(Drafts& out);
  void add_link_def(const std::string& label, LinkRef def);
  // The first non-blank line after `line`, or the line count.
  std::size_t next_nonblank(std::size_t line) const {
    const std::size_t count = lines.size();
    if (line >= count) return count;
    const std::uint32_t next = runs_[line + 1];
    // A blank line names the first line of its run, which names the run's end.
    return next >= line + 1 ? next : runs_[next];
  }
  // The runs of non-blank lines: about the number of top-level blocks, room to reserve for them.
  std::size_t nonblank_runs() const { return nonblank_runs_; }
  // `end` lowered past the blank lines before it, but not below `start`.
  // Asked for every block the finish makes: inline.
  std::size_t drop_trailing_blanks(std::size_t start, std::size_t end) const {
    if (end > lines.size()) end = lines.size();
    if (end <= start) return end;
    // Line `end - 1`: non-blank, the first of a blank run (it names the run's end, after it) or a
    // later one (it names the first).
    const std::size_t last = end - 1;
    const std::size_t named = runs_[last];
    return std::max(start, named == last ? end : std::min(named, last));
  }
  std::size_t line_offset(std::size_t line) const {
    return line < trace.line_offsets.size() ? trace.line_offsets[line] : 0;
  }

 private:
  // One builder serves every call of the loop, so its storage is allocated once per parse.
  ContainerBuilder builder_{*this};
  // The runs of blank lines, one entry per line and one past the last (the line count): a
  // non-blank line holds its own number, the first line of a blank run where the run ends (the
  // next non-blank line, or the line count), any other blank line the run's first line. Both the
  // next non-blank line and an end without its trailing blank lines are then read in one or two
  // steps from one table. Line numbers in 32 bits, as the build tree's node numbers are: a source
  // of 2^32 lines is refused as too large to hold.
  std::unique_ptr<std::uint32_t[]> runs_;
  std::size_t nonblank_runs_ = 0;
};

void ContainerBuilder::append_text_line(build::LineText& text, const line::Rest& rest) const {
  // Every line but the last is followed by its LF in the source (the parser's text has no CR).
  text.append(rest, parser.lines[line], line + 1 < parser.lines.size());
}

// The tree of parsed md: document, trace, link definitions and footnote labels.
struct Parsed {
  Document document;
  Trace trace;
  std::unordered_map<std::string, LinkRef> link_defs;
  std::unordered_set<std::string> footnote_labels;
  bool nested_footnotes = false;  // as the parser's
  std::size_t body_offset = 0;
  // Span mode 0: the top-level drafts after the ordered-list rules, which become
  // `document.blocks` once their text is parsed as inlines.
  Drafts drafts;
  // How many more drafts the splices of reverted lists among `drafts` hold than the places they
  // stand in: the top-level blocks are that many more than the drafts.
  std::size_t spliced_extra = 0;
};

}  // namespace vedavi::block
