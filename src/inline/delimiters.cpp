// Delimiter runs ("*", "_", "~", "=") and their pairing into emphasis, strong emphasis,
// strikethrough and highlight.
#include <algorithm>
#include <array>
#include <cstdint>

#include "inline/scanner.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

bool is_flanking_punct(char32_t c) {
  return c < 0x80 ? scan::is_ascii_punctuation(c) : unicode::is_punctuation(c);
}

// White space and punctuation around a run, as bits: most neighbours are ASCII, whose classes
// are read from one table rather than asked of the Unicode tables.
constexpr std::uint8_t kWhite = 1, kPunct = 2;
const std::array<std::uint8_t, 128> kAsciiClasses = [] {
  std::array<std::uint8_t, 128> table{};
  for (char32_t c = 0; c < 128; ++c)
    table[c] = static_cast<std::uint8_t>((unicode::is_white_space(c) ? kWhite : 0) |
                                         (is_flanking_punct(c) ? kPunct : 0));
  return table;
}();

[[gnu::noinline]] std::uint8_t non_ascii_class(char32_t c) {
  return static_cast<std::uint8_t>((unicode::is_white_space(c) ? kWhite : 0) |
                                   (is_flanking_punct(c) ? kPunct : 0));
}

inline std::uint8_t neighbour_class(char32_t c) {
  return c < 0x80 ? kAsciiClasses[c] : non_ascii_class(c);
}

// Whether the run of `ch` at [start, end) of `text` may open and close emphasis, by its neighbours.
struct RunSides {
  bool can_open, can_close;
};
constexpr RunSides sides_of(std::uint8_t prev_class, std::uint8_t next_class, char ch) {
  const bool prev_ws = prev_class & kWhite, next_ws = next_class & kWhite;
  const bool prev_punct = prev_class & kPunct, next_punct = next_class & kPunct;
  const bool left = !next_ws && (!next_punct || prev_ws || prev_punct);
  const bool right = !prev_ws && (!prev_punct || next_ws || next_punct);
  if (ch == '_') return RunSides{left && (!right || prev_punct), right && (!left || next_punct)};
  return RunSides{left, right};
}

// sides_of for every pair of classes, a run of "_" (from 16 on) or of another character: the
// answer for two ASCII neighbours is one look-up.
constexpr std::array<RunSides, 32> kSidesByClass = [] {
  std::array<RunSides, 32> table{};
  for (std::uint8_t prev = 0; prev < 4; ++prev)
    for (std::uint8_t next = 0; next < 4; ++next) {
      table[prev << 2 | next] = sides_of(prev, next, '*');
      table[16 | prev << 2 | next] = sides_of(prev, next, '_');
    }
  return table;
}();

// run_sides where a neighbour is not ASCII.
[[gnu::noinline]] RunSides run_sides_decoded(std::string_view text, std::size_t start,
                                             std::size_t end, char ch) {
  const bool has_prev = start > 0, has_next = end < text.size();
  const auto prev_byte = has_prev ? static_cast<unsigned char>(text[start - 1]) : 0;
  const auto next_byte = has_next ? static_cast<unsigned char>(text[end]) : 0;
  const char32_t prev = prev_byte < 0x80 ? prev_byte : utf8::prev_char(text, start);
  const char32_t next = next_byte < 0x80 ? next_byte : utf8::decode(text, end).cp;
  // The text's edges count as white space and as no punctuation.
  const std::uint8_t prev_class = has_prev ? neighbour_class(prev) : kWhite;
  const std::uint8_t next_class = has_next ? neighbour_class(next) : kWhite;
  return sides_of(prev_class, next_class, ch);
}

inline RunSides run_sides(std::string_view text, std::size_t start, std::size_t end, char ch) {
  // The text's edges read as a space: white, no punctuation. Most neighbours are ASCII, whose
  // classes one table gives.
  const unsigned prev = start > 0 ? static_cast<unsigned char>(text[start - 1]) : ' ';
  const unsigned next = end < text.size() ? static_cast<unsigned char>(text[end]) : ' ';
  if ((prev | next) >= 0x80) [[unlikely]]
    return run_sides_decoded(text, start, end, ch);
  return kSidesByClass[(ch == '_' ? 16u : 0u) | unsigned{kAsciiClasses[prev]} << 2 | kAsciiClasses[next]];
}

int character_slot(char c) {
  switch (c) {
    case '*': return 0;
    case '_': return 1;
    case '~': return 2;
    default: return 3;
  }
}

}  // namespace

void InlineScanner::delimiter_run() {
  const char ch = text_[p_];
  std::size_t end = p_;
  while (end < text_.size() && text_[end] == ch) ++end;
  const std::size_t n = end - p_;
  if ((ch == '~' || ch == '=') && n == 1) {
    buffers_.pending.append(ch);
    ++p_;
    return;
  }
  flush_text();
  const auto [can_open, can_close] = run_sides(text_, p_, end, ch);
  // The run's text is its stretch of the source (pairing only shortens it).
  const std::string_view run = text_.substr(p_, n);
  const std::size_t node =
      push_node(Inline::Text{ctx_.text_outlives_tree ? Str::borrowed(run) : Str(run)});
  buffers_.delimiters.push_back(DelimiterRun{node, p_, n, ch, can_open, can_close, true});
  buffers_.stacks_used = true;
  p_ = end;
}

bool pairs_as_plain_emphasis(std::string_view text, std::size_t open, std::size_t open_end,
                             std::size_t close, std::size_t close_end, char ch) {
  const RunSides opener = run_sides(text, open, open_end, ch);
  return opener.can_open && !opener.can_close && run_sides(text, close, close_end, ch).can_close;
}

bool InlineScanner::try_plain_emphasis() {
  // With events, pairs are told in the order the pairing makes them, at the text's end or its
  // bracket's closing; a template may start at any trigger.
  if (events_enabled_ || has_templates()) return false;
  const char ch = text_[p_];
  const std::size_t n = text_.size();
  // The run's length: one or two.
  const std::size_t length = p_ + 1 < n && text_[p_ + 1] == ch ? 2 : 1;
  const std::size_t from = p_ + length;
  if (from >= n || text_[from] == ch) return false;
  const std::size_t q = next_trigger(from, n);
  const std::size_t after = q + length;
  if (after > n || text_[q] != ch || text_[after - 1] != ch) return false;
  // A longer closing run, or attribute blocks after it, are the pairing's to read.
  if (after < n && (text_[after] == ch || text_[after] == '{')) return false;
  // An opener that may also close might pair with a run before it instead.
  const RunSides opener = run_sides(text_, p_, from, ch);
  if (!opener.can_open || opener.can_close || !run_sides(text_, q, after, ch).can_close) return false;
  if (bare_autolinks_ && autolinks_.next_link_candidate(text_, from) < q) return false;
  flush_text();
  const std::string_view inner = text_.substr(from, q - from);
  Inlines children;
  children.reserve(arena_, 1);
  children.emplace_back(
      Inline::Text{ctx_.text_outlives_tree ? Str::borrowed(inner) : Str::copied_into(arena_, inner)});
  if (length == 2) push_node(Inline::Strong{Attr{}, std::move(children)});
  else push_node(Inline::Emph{Attr{}, std::move(children)});
  p_ = after;
  return true;
}

std::size_t InlineScanner::first_delimiter_from(std::size_t node) const {
  return static_cast<std::size_t>(
      std::partition_point(buffers_.delimiters.begin(), buffers_.delimiters.end(),
                           [node](const DelimiterRun& d) { return d.node < node; }) -
      buffers_.delimiters.begin());
}

void InlineScanner::drop_delimiters_from(std::size_t node) {
  // Every run from a finished construct's opener on is spent: nothing after it pairs again.
  buffers_.delimiters.resize(first_delimiter_from(node));
}

// Candidate openers wait on one stack per character, nearest on top; a pair spends everything
// between its two runs, so those entries leave the stacks at once and no later closer walks over
// them again.
void InlineScanner::pair_delimiters(std::size_t low) {
  const std::size_t start = first_delimiter_from(low);
  if (start >= buffers_.delimiters.size()) return;
  std::array<std::size_t, 24> bottom;
  bottom.fill(start);
  // Kept with the scan's buffers: a pass per bracket and text would otherwise allocate its own.
  auto& openers = buffers_.opener_stacks;
  for (auto& stack : openers) stack.clear();
  auto usable = [&](std::size_t j) {
    const DelimiterRun& d = buffers_.delimiters[j];
    return d.active && d.length > 0;
  };

  for (std::size_t i = start; i < buffers_.delimiters.size(); ++i) {
    for (;;) {
      DelimiterRun& cl = buffers_.delimiters[i];
      if (!cl.active || !cl.can_close || cl.length == 0) break;
      const int slot = character_slot(cl.character);
      std::size_t& floor = bottom[slot * 6 + (cl.can_open ? 3 : 0) + cl.length % 3];
      std::vector<std::size_t>& stack = openers[slot];
      while (!stack.empty() && !usable(stack.back())) stack.pop_back();
      std::size_t found = kNoNode;
      if (i > floor) {
        for (std::size_t k = stack.size(); k-- > 0;) {
          const std::size_t j = stack[k];
          if (j < floor) break;
          if (!usable(j)) continue;
          const DelimiterRun& o = buffers_.delimiters[j];
          if ((cl.character == '*' || cl.character == '_') && (o.can_close || cl.can_open) &&
              (o.length + cl.length) % 3 == 0 && !(o.length % 3 == 0 && cl.length % 3 == 0))
            continue;
          found = j;
          break;
        }
      }
      if (found == kNoNode) {
        floor = i;
        break;
      }
      DelimiterRun& o = buffers_.delimiters[found];
      std::size_t use;
      if (cl.character == '~') {
        if (o.length != cl.length || o.length > 2) break;
        use = o.length;
      } else if (cl.character == '=') {
        if (o.length != 2 || cl.length != 2) break;
        use = 2;
      } else {
        use = o.length >= 2 && cl.length >= 2 ? 2 : 1;
      }
      const std::size_t first = buffers_.nodes[o.node].next;
      if (first == cl.node) break;

      Inlines children;
      take_nodes(first, cl.node, children);
      // The first node of the range holds the new inline, between the two runs; assigned as the
      // alternative, it is built in place.
      Node& holder = buffers_.nodes[first];
      switch (cl.character) {
        case '~': holder.value.data = Inline::Strike{Attr{}, std::move(children)}; break;
        case '=': holder.value.data = Inline::Highlight{Attr{}, std::move(children)}; break;
        default:
          if (use == 2) {
            // A strong directly in a strong may be flattened into it.
            if (std::any_of(children.begin(), children.end(),
                            [](const Inline& c) { return c.kind() == InlineKind::Strong; }))
              needs_coalesce_ = true;
            holder.value.data = Inline::Strong{Attr{}, std::move(children)};
          } else {
            holder.value.data = Inline::Emph{Attr{}, std::move(children)};
          }
      }
      holder.live = true;
      ++live_nodes_;
      holder.prev = o.node;
      holder.next = cl.node;
      buffers_.nodes[o.node].next = first;
      buffers_.nodes[cl.node].prev = first;

      const InlineEventKind kind = cl.character == '~'   ? InlineEventKind::Strike
                                   : cl.character == '=' ? InlineEventKind::Highlight
                                   : use == 2            ? InlineEventKind::Strong
                                                         : InlineEventKind::Emph;
      emit(kind, o.pos + o.length - use, cl.pos + use);

      o.length -= use;
      buffers_.nodes[o.node].value.get_if<Inline::Text>()->text.resize(o.length);
      if (o.length == 0) {
        kill(o.node);
        o.active = false;
      }
      cl.pos += use;
      cl.length -= use;
      // A run is one character repeated: dropping from the end leaves the same text as dropping
      // from the start, without moving what stays (a long closing run loses two characters
      // per level of nesting it closes).
      buffers_.nodes[cl.node].value.get_if<Inline::Text>()->text.resize(cl.length);
      const bool closer_spent = cl.length == 0;
      if (closer_spent) {
        kill(cl.node);
        cl.active = false;
        attach_closer_attrs(first, cl);
      }
      // Everything between the pair is spent.
      for (auto& s : openers)
        while (!s.empty() && s.back() > found) s.pop_back();
      if (closer_spent) break;
    }
    const DelimiterRun& d = buffers_.delimiters[i];
    if (d.active && d.can_open && d.length > 0) openers[character_slot(d.character)].push_back(i);
  }
}

// Attribute blocks written directly after a closing run attach to the inline it closed. They
// were read as text, so each is matched against the start of the text node that follows.
void InlineScanner::attach_closer_attrs(std::size_t made, const DelimiterRun& closer) {
  const std::size_t closer_end = closer.pos;
  // Most closers have no "{" after them: no block can follow.
  if (!attr_block_at(closer_end)) return;
  std::size_t t = closer_end;
  const std::size_t after = closer.node + 1;
  while (after < buffers_.nodes.size() && buffers_.nodes[after].live) {
    auto* text = buffers_.nodes[after].value.get_if<Inline::Text>();
    if (!text) break;
    auto block = read_attr(t);
    if (!block) break;
    const std::string formed = inline_text(text_.substr(t, block->consumed));
    if (!text->text.starts_with(formed)) break;
    buffers_.nodes[made].value.attr()->merge(block->attr);
    text->text.erase(0, formed.size());
    t += block->consumed;
    if (text->text.empty()) {
      kill(after);
      break;
    }
  }
  if (t > closer_end) emit(InlineEventKind::Attrs, closer_end, t);
}

}  // namespace vedavi::inl
