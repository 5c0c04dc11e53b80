// The working state of one inline parse: the node list, the delimiter and bracket stacks, the
// pending text and the per-text memories that keep every search linear. Shared by the files of
// the inline parser; the entry is `inl::parse_inner` (inline.h).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "inline/parse.h"
#include "inline/angle.h"
#include "inline/attrs.h"
#include "inline/autolink.h"
#include "inline/byte_scan.h"
#include "inline/code.h"
#include "inline/link.h"
#include "inline/text.h"
#include "model/template.h"

namespace vedavi::inl {

inline constexpr std::size_t kNoNode = std::numeric_limits<std::size_t>::max();

// A run of "*", "_", "~" or "=" waiting to be paired. Runs are pushed in source order, so their
// node indices ascend along the stack.
struct DelimiterRun {
  std::size_t node;    // the text node holding the run's characters
  std::size_t pos;     // source offset of the first remaining character
  std::size_t length;  // remaining characters
  char character;
  bool can_open;
  bool can_close;
  bool active;
};

enum class BracketKind : std::uint8_t { Link = 0, Image = 1, Note = 2 };

struct BracketOpener {
  std::size_t node;  // the text node holding "[", "![" or "^["
  std::size_t pos;   // just past the opener
  BracketKind kind;
  bool active;
};

// A growing array kept in fixed-size chunks: growth moves at most the first chunk's elements, so
// a scan that makes hundreds of thousands of large nodes never copies them all again. The first
// chunk is held as plain room, so that adding to it (nearly every node of every text) is a test
// and a construction in place, with the growth out of line.
template <class T>
class ChunkedArray {
  // Clearing forgets the elements without destroying them, and growth moves them bytewise.
  static_assert(std::is_trivially_destructible_v<T> && std::is_nothrow_move_constructible_v<T>);

 public:
  static constexpr std::size_t kChunkBits = 10;
  static constexpr std::size_t kChunk = std::size_t{1} << kChunkBits;

  ChunkedArray() = default;
  ChunkedArray(const ChunkedArray&) = delete;
  ChunkedArray& operator=(const ChunkedArray&) = delete;
  ~ChunkedArray() {
    drop_rest();
    if (first_ != nullptr) std::allocator<T>().deallocate(first_, capacity_);
  }

  // Room for `n` elements (at most one chunk) before the first chunk grows.
  void reserve_first(std::size_t n) {
    n = std::min(n, kChunk);
    if (n > capacity_) grow_first(n);
  }
  std::size_t size() const { return size_; }
  // Whether the next element fits in the first chunk's room as it is.
  bool has_room() const { return size_ < capacity_; }
  T& operator[](std::size_t i) {
    return i < kChunk ? first_[i] : rest_[(i >> kChunkBits) - 1][i & (kChunk - 1)];
  }
  const T& operator[](std::size_t i) const {
    return i < kChunk ? first_[i] : rest_[(i >> kChunkBits) - 1][i & (kChunk - 1)];
  }
  // Empties the array, keeping the first chunk's room for the next scan.
  void clear() {
    if (size_ > kChunk) drop_rest();
    size_ = 0;
  }
  // Makes the element in its place from `args`. The room comes first, so that the arguments
  // reach no call: a value built for them by the caller then stays in registers.
  template <class... Args>
  [[gnu::always_inline]] void emplace_back(Args&&... args) {
    // The first chunk's room never exceeds a chunk, so an array past it takes the other way.
    T* slot = size_ < capacity_ ? first_ + size_ : next_slot_slow();
    ::new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
    ++size_;
  }
  // emplace_back where has_room holds: no path to growth, and so no call, in the caller.
  template <class... Args>
  [[gnu::always_inline]] void emplace_back_in_room(Args&&... args) {
    ::new (static_cast<void*>(first_ + size_)) T(std::forward<Args>(args)...);
    ++size_;
  }

 private:
  // The room of the element at size_ when the first chunk has none left.
  [[gnu::noinline]] T* next_slot_slow() {
    if (size_ < kChunk) {
      grow_first(std::min(std::max<std::size_t>(2 * capacity_, 16), kChunk));
      return first_ + size_;
    }
    if ((size_ & (kChunk - 1)) == 0) {
      // Room for the chunk's pointer first, so that a failure leaks no chunk.
      if (rest_.size() == rest_.capacity()) rest_.reserve(2 * rest_.size() + 4);
      rest_.push_back(std::allocator<T>().allocate(kChunk));
    }
    return rest_.back() + (size_ & (kChunk - 1));
  }
  // The first chunk's room made `n` elements (more than it holds), its elements moved there.
  [[gnu::noinline]] void grow_first(std::size_t n) {
    T* room = std::allocator<T>().allocate(n);
    const std::size_t held = std::min(size_, kChunk);
    for (std::size_t i = 0; i < held; ++i) ::new (static_cast<void*>(room + i)) T(std::move(first_[i]));
    if (first_ != nullptr) std::allocator<T>().deallocate(first_, capacity_);
    first_ = room;
    capacity_ = n;
  }
  void drop_rest() {
    for (T* chunk : rest_) std::allocator<T>().deallocate(chunk, kChunk);
    rest_.clear();
  }

  T* first_ = nullptr;        // the first chunk: most texts need no other
  std::size_t capacity_ = 0;  // its room, in elements (at most a chunk)
  std::size_t size_ = 0;
  std::vector<T*> rest_;      // full chunks after it, the last one filling
};

// A scanner node: an inline, whether it still reaches the result, and its neighbours among the
// live nodes (so a walk over a range skips what earlier constructs took).
struct ScanNode {
  // Spelled out so that nodes are built in place by every compiler (clang 14 has no
  // parenthesised aggregate initialisation).
  template <class V>
  ScanNode(V&& v, std::size_t p, std::size_t n, bool l) : value(std::forward<V>(v)), prev(p), next(n), live(l) {}
  Inline value;
  std::size_t prev = kNoNode;
  std::size_t next = kNoNode;
  bool live = true;
};

// An autolink made while a bracket was open. `event`: the index of its Autolink event in the
// sink, kNoNode without one.
struct AutolinkRecord {
  std::size_t node;
  std::size_t event;
  bool bare;
};

// The growable state of a scan and its byte tables, kept from one text to the next: the texts of
// one document share their options, and each scan starts with the room the earlier ones grew
// instead of allocating and growing it again.
class ScanBuffers {
 public:
  ScanBuffers() = default;
  ScanBuffers(const ScanBuffers&) = delete;
  ScanBuffers& operator=(const ScanBuffers&) = delete;

 private:
  friend class InlineScanner;
  PendingText pending;
  ChunkedArray<ScanNode> nodes;
  std::vector<DelimiterRun> delimiters;
  std::vector<BracketOpener> brackets;
  // The candidate openers of one pairing pass, a stack per delimiter character.
  std::array<std::vector<std::size_t>, 4> opener_stacks;
  BacktickRuns backticks;
  // The autolinks made while a bracket was open, in node order (which is their source order).
  std::vector<AutolinkRecord> bracketed_autolinks;
  std::vector<std::size_t> unlinked_events;  // sink indices of the events of unlinked autolinks
  BraceMemo braces;
  std::string label_key;  // the key of the label last looked up
  ByteTable trigger{};  // bytes that may start a construct other than a bare link
  bool trigger_skips_words = false;  // marks_no_word_bytes(trigger)
  // Which fixed set `trigger` holds, when no template adds to it: "$" is in it or not. None
  // exactly when templates are set, which the dispatch reads here rather than in the options.
  enum class FixedTriggers : std::uint8_t { None, Plain, WithDollar };
  FixedTriggers fixed_triggers = FixedTriggers::None;
  bool tables_ready = false;
  bool in_use = false;  // a scan holds them
  // Whether a bracket or delimiter run was pushed since the stacks were last emptied: most short
  // texts push neither, and their scan then spares emptying the stacks (the autolink and event
  // records below are only ever pushed while a bracket is open).
  bool stacks_used = true;

  // Takes them for a scan: the state of the text before is forgotten, its room kept.
  void start_scan() {
    in_use = true;
    pending.clear();
    nodes.clear();
    if (stacks_used) {
      delimiters.clear();
      brackets.clear();
      bracketed_autolinks.clear();
      unlinked_events.clear();
      stacks_used = false;
    }
    braces.reset();
    backticks.reset();
  }
};

// Whether a run of `ch` at [open, open_end) that may open and not close, and one as long at
// [close, close_end) that may close, make plain emphasis (see try_plain_emphasis).
bool pairs_as_plain_emphasis(std::string_view text, std::size_t open, std::size_t open_end,
                             std::size_t close, std::size_t close_end, char ch);

// InlineScanner::bare_destination_end of `text`.
std::size_t bare_destination_close(std::string_view text, std::size_t from);

class InlineScanner {
 public:
  // Inline: most texts are short, and a call's own cost is a good part of their set-up.
  InlineScanner(std::string_view text, const InlineContext& ctx)
      : text_(text),
        ctx_(ctx),
        events_enabled_(ctx.events != nullptr),
        bare_autolinks_(ctx.options.bare_autolinks),
        arena_(current_arena()),
        buffers_(pick_buffers(ctx.buffers)) {
    math_failed_from_.fill(kNoNode);
  }
  ~InlineScanner() { buffers_.in_use = false; }
  InlineScanner(const InlineScanner&) = delete;
  InlineScanner& operator=(const InlineScanner&) = delete;
  Inlines run();

 private:
  // The inlines of every node, in order, adjacent texts joined: for a scan whose nodes all
  // live, which is then the list itself. Kills none (the nodes are forgotten with the scan).
  Inlines move_out_all();
  using Node = ScanNode;
  // The caller's buffers, cleared for this text, when they are free and set up (the common case,
  // told inline); else pick_buffers_slow.
  ScanBuffers& pick_buffers(ScanBuffers* shared) {
    if (shared != nullptr && !shared->in_use && shared->tables_ready) [[likely]] {
      shared->start_scan();
      return *shared;
    }
    return pick_buffers_slow(shared);
  }
  ScanBuffers& pick_buffers_slow(ScanBuffers* shared);

  // Dispatch at the current offset; each returns true when it consumed something.
  bool try_template();
  bool try_bracket_math();
  bool try_dollar_math();
  bool try_code_span();
  // The code span whose text is `code`, its closing run ending at `e`: a code inline, or a raw
  // one where a raw marker follows.
  void finish_code_span(Str code, std::size_t e);
  bool try_superscript();
  bool try_subscript();
  bool try_footnote_ref();
  bool try_angle();
  // Whether the options set templates (told by the trigger set the buffers hold for them).
  bool has_templates() const { return buffers_.fixed_triggers == ScanBuffers::FixedTriggers::None; }
  // Most offsets are no link candidate: that answer comes without a call.
  bool try_bare_autolink() {
    return bare_autolinks_ && autolinks_.next_link_candidate(text_, p_) == p_ &&
           take_bare_autolink();
  }
  // The bare link at a candidate offset, when one starts there.
  bool take_bare_autolink();
  void escape();
  void line_feed();
  void close_bracket();
  // "[text](destination)" at a "[" outside any bracket, whose text holds nothing but literal
  // characters and whose destination is bare (see bare_destination_end): the link made at once,
  // as the bracket's opener, text and closing would make it.
  bool try_plain_link();
  // The ")" that ends a link tail starting at `from` (just past "(") when the tail is a bare
  // destination: no space, title, parenthesis, angle bracket, escape or reference before the
  // ")"; kNoNode otherwise. The destination is then the text up to it, as the tail's and the
  // destination's own scans would find.
  std::size_t bare_destination_end(std::size_t from) const;
  // Whether a bare-link candidate may lie in the label [from, r) that a "]" ends: false rules
  // one out without the memo.
  bool may_hold_link_candidate(std::size_t from, std::size_t r) const;
  void delimiter_run();
  // "*text*" or "**text**" (or with "_") whose text holds nothing but literal characters, at a run
  // of one or two that may open and not close, its closer a run as long that may close: the
  // emphasis made at once, as the pairing of the two runs would make it (two such runs, with
  // nothing between them, pair with each other whatever comes before or after).
  bool try_plain_emphasis();
  // The literal text from p_ on, up to the next offset where the dispatch has work: a trigger,
  // the end, or a bare-link candidate after a boundary, whose link is tried at once.
  void literal_run() {
    literal_run(bare_autolinks_ ? autolinks_.next_link_candidate(text_, p_) : text_.size());
  }
  // The same, given the memo's first candidate at or after p_ (the text's size without bare
  // links). The common run, which ends before the candidate, takes no call, and so saves no
  // registers for one; the others end in one of the two below.
  void literal_run(std::size_t candidate);
  // The run that started at `start` from `q` on, candidate by candidate; from past the first
  // character when `q` is `start`.
  [[gnu::noinline]] void literal_run_on(std::size_t start, std::size_t q);
  // The run that started at `start` reaching a candidate `q` after a boundary: the link when one
  // starts there, else the run goes on past it.
  [[gnu::noinline]] void literal_run_to_link(std::size_t start, std::size_t q);
  // The first trigger in [q, to), or `to`. Built into the caller: literal runs, the most
  // frequent search, and the plain link and emphasis tries, each once per construct, spare the
  // call.
  [[gnu::always_inline]] std::size_t next_trigger(std::size_t q, std::size_t to) const {
    using Fixed = ScanBuffers::FixedTriggers;
    if (buffers_.fixed_triggers == Fixed::WithDollar) return find_trigger<true>(text_, q, to);
    if (buffers_.fixed_triggers == Fixed::Plain) return find_trigger<false>(text_, q, to);
    return buffers_.trigger_skips_words ? find_marked_beyond_words(text_, q, to, buffers_.trigger)
                                        : find_marked(text_, q, to, buffers_.trigger);
  }
  // Steps `q` over one character.
  void step_char(std::size_t& q) const;
  // Whether the character before `q` (not the text's start) is a boundary after which a bare
  // link may start.
  bool boundary_before(std::size_t q) const;

  // Nodes.
  // The pending text as a text node; often there is none, which is told inline.
  void flush_text() {
    if (!buffers_.pending.empty()) push_pending_text();
  }
  // Most runs are one stretch of a text that outlives the tree, borrowed as they stand, and the
  // node list has room for them: that text node is made inline, without a call.
  void push_pending_text() {
    PendingText& pending = buffers_.pending;
    if (!ctx_.text_outlives_tree || !pending.is_plain_stretch() || !buffers_.nodes.has_room())
        [[unlikely]] {
      push_held_text();
      return;
    }
    const std::size_t index = buffers_.nodes.size();
    buffers_.nodes.emplace_back_in_room(Inline::Text{Str::borrowed(pending.take_stretch())}, tail_,
                                        kNoNode, true);
    link_last(index);
  }
  // push_pending_text of a run that is copied, may hold an "&", or finds the node list full.
  [[gnu::noinline]] void push_held_text();
  // Appends a live node made from `value`: an inline, or one of its alternatives, which is then
  // built in the node's place rather than moved there.
  template <class V>
  std::size_t push_node(V&& value) {
    const std::size_t index = buffers_.nodes.size();
    buffers_.nodes.emplace_back(std::forward<V>(value), tail_, kNoNode, true);
    link_last(index);
    return index;
  }
  void link_last(std::size_t index) {
    if (tail_ != kNoNode) buffers_.nodes[tail_].next = index;
    else head_ = index;
    tail_ = index;
    ++live_nodes_;
  }
  void kill(std::size_t node);
  // Moves the inlines of the live nodes from `first` (a live node) up to `stop` (exclusive, or
  // kNoNode for the end) into `out`, killing those nodes.
  void take_nodes(std::size_t first, std::size_t stop, Inlines& out);
  // Most parses ask for no events: that is told inline.
  void emit(InlineEventKind kind, std::size_t start, std::size_t end, bool is_image = false,
            std::size_t bracket_end = 0) {
    if (events_enabled_)
      ctx_.events->push_back(InlineEvent{kind, is_image, bracket_end, start, end});
  }

  // Trailing attribute blocks.
  // Pushes `value` (an inline or one of its alternatives, built in place) with the attribute
  // blocks written from `p` on; returns the offset after them.
  template <class V>
  std::size_t push_with_attrs(V&& value, std::size_t p) {
    return read_attrs_into(push_node(std::forward<V>(value)), p);
  }
  // Merges the attribute blocks written from `p` on into the node's inline, when it takes any;
  // returns the offset after them.
  // Most constructs have none after them: that is told inline.
  std::size_t read_attrs_into(std::size_t node, std::size_t p) {
    return attr_block_at(p) ? read_attrs_at(node, p) : p;
  }
  std::size_t apply_trailing_attrs(std::size_t node, std::size_t p) {
    return attr_block_at(p) ? apply_attrs_at(node, p) : p;
  }
  // The two above where a "{" stands at `p`.
  std::size_t read_attrs_at(std::size_t node, std::size_t p);
  std::size_t apply_attrs_at(std::size_t node, std::size_t p);
  // Whether an attribute block may start at `p`: most constructs have none after them.
  bool attr_block_at(std::size_t p) const { return p < text_.size() && text_[p] == '{'; }
  std::optional<TrailingAttr> read_attr(std::size_t p) {
    return trailing_attr_at(text_, p, &buffers_.braces, true);
  }
  // A plain attribute block at `p` (the colon form only with content).
  std::optional<TrailingAttr> read_braced_attr(std::size_t p) {
    return trailing_attr_at(text_, p, &buffers_.braces, false);
  }

  // Delimiters. Pairs the runs whose nodes come at or after `low`; most texts and brackets hold
  // none, which is told inline (runs are pushed in node order, so the last has the largest).
  void process_delimiters(std::size_t low) {
    const auto& runs = buffers_.delimiters;
    if (!runs.empty() && runs.back().node >= low) pair_delimiters(low);
  }
  void pair_delimiters(std::size_t low);
  void attach_closer_attrs(std::size_t new_node, const DelimiterRun& closer);
  // Index of the first delimiter whose node is at least `node`.
  std::size_t first_delimiter_from(std::size_t node) const;
  void drop_delimiters_from(std::size_t node);

  // Brackets.
  void push_bracket(BracketKind kind, std::size_t pos);
  bool opener_active(std::size_t index) const;
  void pop_bracket();
  void deactivate_link_openers() { link_openers_dead_below_ = buffers_.brackets.size(); }
  // Makes the opener's node the construct `made` (an alternative with children: link, image,
  // span) holding the bracket's text, and closes the bracket.
  template <class Made>
  void finish_bracket(const BracketOpener& top, Made&& made, bool is_link);
  void close_note(const BracketOpener& top, std::size_t r);
  bool close_inline_link(const BracketOpener& top, std::size_t r);
  bool close_cross_reference(const BracketOpener& top, std::size_t r);
  bool close_span(const BracketOpener& top, std::size_t r);
  bool close_reference(const BracketOpener& top, std::size_t r);
  // Where the opener's characters start.
  static std::size_t opener_start(const BracketOpener& b) {
    return b.pos - (b.kind == BracketKind::Link ? 1 : 2);
  }
  std::optional<Inline> cross_reference(std::string_view bracket_text);

  // Autolinks made while a bracket is open, so that a bracket that becomes a link can find the
  // bare ones in its text.
  // `event`: the index of its Autolink event in the sink, kNoNode without one.
  void note_autolink(std::size_t node, bool bare, std::size_t event = kNoNode);
  void drop_autolinks_from(std::size_t node);
  // A link holds no link: the bare autolinks among `children` (the new link's text, whose opener
  // is `opener_node`) become text again; angle-bracket ones were written as links and stay.
  void unlink_bare_autolinks(std::size_t opener_node, Inlines& children);
  // Removes the events of the autolinks that became text.
  void drop_unlinked_events() {
    if (!buffers_.unlinked_events.empty()) drop_events_of_unlinked();
  }
  void drop_events_of_unlinked();
  const LinkRef* find_definition(std::string_view label) const;

  std::string_view text_;
  const InlineContext& ctx_;
  const bool events_enabled_;
  const bool bare_autolinks_;  // the option, read at each offset that starts no other construct
  // The current arena, which the scan's nodes are made in: read once here, since reading it from
  // the thread costs a call in a shared library, and the constructs made most often (links, bare
  // links, emphasis) allocate from it.
  Arena& arena_;
  std::size_t p_ = 0;

  // Made only when the caller shares none (or a scan inside another holds them): setting up and
  // tearing down a set per text costs more than many a short text's scan.
  std::optional<ScanBuffers> own_buffers_;
  // The scan's growable state (its lists, stacks and memos) is read through this one reference.
  ScanBuffers& buffers_;
  std::size_t escape_end_ = kNoNode;  // offset just past the last backslash escape

  std::size_t head_ = kNoNode, tail_ = kNoNode;  // first and last live node
  std::size_t live_nodes_ = 0;  // how many, so the result is sized without a walk
  // Link openers below this stack index are inactive: a finished link or cross-reference
  // deactivates every "[" below it at once.
  std::size_t link_openers_dead_below_ = 0;
  // Whether some inline list below the top may hold adjacent texts or a strong directly in a
  // strong: only then does the result need coalescing (the top list is joined on the way out).
  bool needs_coalesce_ = false;

  // Failed math closer searches: the start offset of the failed search, per closer.
  enum MathMemo { kDisplayBracket, kParen, kDoubleDollar, kDollar, kMathMemoCount };
  std::array<std::size_t, kMathMemoCount> math_failed_from_;

  // Made at the first template token tried: most documents have no templates.
  std::optional<templates::CloseCache> template_closes_;
  AngleMemo angles_;
  AutolinkMemo autolinks_;
  ParenMemo parens_;
};

}  // namespace vedavi::inl
