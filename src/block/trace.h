// The block parser's record of a parse: block spans with their facts, per-line content offsets,
// syntax scopes of consumed markers, edit regions and unclosed constructs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/attrs.h"
#include "model/template.h"

namespace vedavi::block {

// What the highlighter shows a consumed marker as.
enum class SyntaxScope : std::uint8_t {
  PunctuationSpecial = 0,
  Label = 1,
  Attribute = 2,
  MarkupLinkUrl = 3,
};
// "punctuation-special", "label", "attribute", "markup-link-url".
std::string_view scope_name(SyntaxScope scope);

// What an edit region holds.
enum class RegionKind : std::uint8_t { Text = 0, DefinitionList = 1, Table = 2, HtmlBlock = 3 };

// An optional text held in one pointer: absent, or one heap block with the size and then the
// bytes. A span's facts hold ten such fields and most spans set one or two, so eight bytes a
// field keep a heading's facts small where a std::optional<std::string> would take forty.
class FactText {
 public:
  FactText() = default;
  FactText(const FactText& other) { *this = other; }
  FactText(FactText&&) noexcept = default;
  FactText& operator=(const FactText& other) {
    if (this != &other) {
      if (other)
        assign(*other);
      else
        data_.reset();
    }
    return *this;
  }
  FactText& operator=(FactText&&) noexcept = default;
  FactText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  FactText& operator=(const std::string& text) { return *this = std::string_view(text); }
  FactText& operator=(const char* text) { return *this = std::string_view(text); }
  FactText& operator=(const std::optional<std::string>& text) {
    if (text)
      assign(*text);
    else
      data_.reset();
    return *this;
  }

  explicit operator bool() const { return data_ != nullptr; }
  // The text; only when present.
  std::string_view operator*() const {
    std::size_t size = 0;
    std::memcpy(&size, data_.get(), sizeof size);
    return std::string_view(data_.get() + sizeof size, size);
  }
  friend bool operator==(const FactText& a, std::string_view b) { return a && *a == b; }
  friend bool operator==(const FactText& a, const char* b) { return a == std::string_view(b); }

 private:
  void assign(std::string_view text) {
    std::unique_ptr<char[]> data(new char[sizeof(std::size_t) + text.size()]);
    const std::size_t size = text.size();
    std::memcpy(data.get(), &size, sizeof size);
    if (size) std::memcpy(data.get() + sizeof size, text.data(), size);
    data_ = std::move(data);
  }

  std::unique_ptr<char[]> data_;
};

// An optional line number in eight bytes: no line is numbered ~0.
class FactLine {
 public:
  FactLine() = default;
  FactLine& operator=(std::size_t line) {
    line_ = line;
    return *this;
  }
  FactLine& operator=(const std::optional<std::size_t>& line) {
    line_ = line.value_or(kNone);
    return *this;
  }

  explicit operator bool() const { return line_ != kNone; }
  // The line; only when present.
  std::size_t operator*() const { return line_; }
  operator std::optional<std::size_t>() const {
    return line_ != kNone ? std::optional<std::size_t>(line_) : std::nullopt;
  }
  friend bool operator==(FactLine a, std::size_t b) { return a && *a == b; }

 private:
  static constexpr std::size_t kNone = ~std::size_t{0};
  std::size_t line_ = kNone;
};

// The facts of a block beyond its range, each absent unless set. Most blocks carry few of them,
// so they live out of line and a span stays small while drafts move around.
struct SpanFacts {
  std::optional<Attr> attrs;  // the block's own attributes
  std::optional<Attr> panel;  // a panel div's panel attributes
  FactText info;
  FactText lang;
  FactText text;  // code text, tex or heading text
  FactText id;
  FactText caption;
  FactText url;  // a figure's image
  FactText title;
  FactText syntax;  // template token facts
  FactText body;
  FactText name;
  FactLine fence_start;
  FactLine fence_end;
  FactLine title_line;  // a panel's title heading
  std::optional<bool> info_has_attrs;
  std::optional<TemplateForm> form;
  std::optional<TemplateTokenKind> token_kind;
};

// A block span's kind, read as its name ("paragraph", "list", "attr_def", ...): one byte
// naming an entry of `kSpanKindNames`, since a span is made per block and a view took sixteen.
inline constexpr std::string_view kSpanKindNames[] = {
    "",           "paragraph",      "heading",        "block_quote", "list",
    "footnote_def", "definition_list", "div",         "code_block",  "math_block",
    "thematic_break", "html_block",  "html_container", "table",      "panel",
    "panel_title", "figure",        "template_token", "attr_def",    "link_ref"};

class SpanKind {
 public:
  constexpr SpanKind() = default;
  // A name of the table; any other is an internal fault.
  constexpr SpanKind(std::string_view name) {
    for (std::size_t k = 0; k < std::size(kSpanKindNames); ++k) {
      if (kSpanKindNames[k] == name) {
        index_ = static_cast<std::uint8_t>(k);
        return;
      }
    }
    unknown_kind();
  }
  constexpr SpanKind(const char* name) : SpanKind(std::string_view(name)) {}

  operator std::string_view() const { return kSpanKindNames[index_]; }

  friend bool operator==(SpanKind a, SpanKind b) { return a.index_ == b.index_; }
  friend bool operator==(SpanKind a, std::string_view b) { return std::string_view(a) == b; }
  friend bool operator==(SpanKind a, const char* b) { return std::string_view(a) == b; }

 private:
  [[noreturn, gnu::cold]] static void unknown_kind();

  std::uint8_t index_ = 0;
};

// One block's source range and the facts the block listing reports.
struct BlockSpan {
  // Line numbers in 32 bits, as the parser's are (it refuses a source of 2^32 lines); nesting is
  // bounded far below 2^32. A span is made per block: with the kind, level and flag they fill two
  // words.
  std::uint32_t start = 0;  // first line, 0-based
  std::uint32_t end = 0;    // exclusive, trailing blank lines excluded
  std::uint32_t depth = 0;
  SpanKind kind;
  std::optional<std::uint8_t> level;  // a heading's level

 private:
  // The facts are an empty `attrs` and nothing else, which most blocks have: no allocation.
  bool empty_attrs_ = false;

 public:
  BlockSpan() = default;
  BlockSpan(const BlockSpan& other)
      : start(other.start), end(other.end), depth(other.depth), kind(other.kind),
        level(other.level), empty_attrs_(other.empty_attrs_),
        facts_(other.facts_ ? std::make_unique<SpanFacts>(*other.facts_) : nullptr) {}
  BlockSpan(BlockSpan&&) noexcept = default;
  BlockSpan& operator=(const BlockSpan& other) {
    if (this != &other) *this = BlockSpan(other);
    return *this;
  }
  BlockSpan& operator=(BlockSpan&&) noexcept = default;

  static BlockSpan of(SpanKind kind, std::size_t start, std::size_t end) {
    BlockSpan s;
    s.kind = kind;
    s.start = static_cast<std::uint32_t>(start);
    s.end = static_cast<std::uint32_t>(end);
    return s;
  }

  // The facts for reading; all absent when none was set.
  const SpanFacts& facts() const {
    if (facts_) return *facts_;
    static const SpanFacts kNone;
    static const SpanFacts kEmptyAttrs = [] {
      SpanFacts f;
      f.attrs.emplace();
      return f;
    }();
    return empty_attrs_ ? kEmptyAttrs : kNone;
  }
  // The facts for setting.
  SpanFacts& set() {
    if (!facts_) {
      facts_ = std::make_unique<SpanFacts>();
      if (empty_attrs_) facts_->attrs.emplace();
    }
    return *facts_;
  }
  // Sets `attrs`, without allocating the facts while the set is empty and nothing else is set.
  void set_attrs(const Attr& attrs) {
    if (attrs.empty() && !facts_)
      empty_attrs_ = true;
    else
      set().attrs = attrs;
  }

 private:
  std::unique_ptr<SpanFacts> facts_;
};

// Edit regions and syntax records are made per paragraph, heading or marker, so their line
// numbers and offsets are held in 32 bits: a parse that records them takes a source below 4 GiB
// (`parse_source` refuses a larger one as too large to hold).
using TraceIndex = std::uint32_t;

struct EditRegion {
  // What every line inside the region's containers begins with, numbered in the trace's
  // `prefixes` (read with `Trace::prefix`), so a record stays small when one is stored per
  // paragraph or heading.
  TraceIndex prefix = 0;
  TraceIndex start = 0;
  TraceIndex end = 0;
  TraceIndex text_start = 0;
  TraceIndex text_end = 0;
  RegionKind kind = RegionKind::Text;

  EditRegion() = default;
  EditRegion(TraceIndex prefix_, std::size_t start_, std::size_t end_, std::size_t text_start_,
             std::size_t text_end_, RegionKind kind_)
      : prefix(prefix_), start(static_cast<TraceIndex>(start_)), end(static_cast<TraceIndex>(end_)),
        text_start(static_cast<TraceIndex>(text_start_)), text_end(static_cast<TraceIndex>(text_end_)),
        kind(kind_) {}
};

struct UnclosedRecord {
  std::string_view construct;  // "fenced code block", "comment", ...
  std::string expected;        // the closing text
  std::size_t line = 0;
};

struct SyntaxRecord {
  TraceIndex line = 0;
  TraceIndex start = 0;  // byte offsets in the source line
  TraceIndex end = 0;
  SyntaxScope scope = SyntaxScope::PunctuationSpecial;

  SyntaxRecord() = default;
  SyntaxRecord(std::size_t line_, std::size_t start_, std::size_t end_, SyntaxScope scope_)
      : line(static_cast<TraceIndex>(line_)), start(static_cast<TraceIndex>(start_)),
        end(static_cast<TraceIndex>(end_)), scope(scope_) {}
};

// Room in `list` for `more` items, and for those of the lines after `done` of `lines` at the
// rate so far, with a little to spare. A source whose every line is a block (a million headings)
// then gets a record list's room about once, instead of by doubling, which at its last step
// holds the old room and twice it; near the end the rate creeping up does not make it grow again.
template <class T>
void reserve_at_rate(std::vector<T>& list, std::size_t more, std::size_t done, std::size_t lines) {
  if (list.capacity() - list.size() >= more) return;
  const std::size_t size = list.size() + more;
  const std::size_t left = lines - (done < lines ? done : lines);
  std::size_t projected = done == 0 ? 0 : size * left / done;
  if (projected != 0) projected += projected / 32 + 16;
  if (left != 0 && projected < size / 4 + 16) projected = size / 4 + 16;
  list.reserve(size + projected);
}

// What a span mode records beyond block spans: per-line layout (content offsets, syntax scopes,
// edit regions) in modes 3 and 4; every kind's facts in modes 2 and 4. Mode 3's readers (the
// highlighter, the inline listing) read no fact but a template token's form, which every mode
// from 2 on keeps. Mode 5 is the layout a re-wrapper reads, which leaves headings and markers as
// they are: no syntax scopes and no heading regions, so that a source whose every line is a
// block (a million headings) holds no record of them beside its spans. Mode 6 is mode 3 for the
// highlighter, which reads the spans of a few kinds of lines alone (`keeps_span`): a list of a
// million items holds no span of them.
inline bool records_layout(std::uint8_t mode) { return mode >= 3; }
inline bool records_full_layout(std::uint8_t mode) { return mode == 3 || mode == 4 || mode == 6; }
inline bool records_facts(std::uint8_t mode) { return mode == 2 || mode == 4; }
inline bool keeps_span(std::uint8_t mode, SpanKind kind) {
  return mode != 6 || kind == "heading" || kind == "panel_title" || kind == "link_ref" || kind == "attr_def" ||
         kind == "template_token";
}

struct Trace {
  // Each kind of record in the order it was made.
  std::vector<EditRegion> regions;
  std::vector<SyntaxRecord> syntax;
  std::vector<UnclosedRecord> unclosed;
  // The edit regions' prefixes, each once, by number; the first is the empty one.
  std::vector<std::string> prefixes{std::string()};
  std::vector<BlockSpan> spans;
  std::vector<TraceIndex> line_offsets;  // span modes 3-4: per source line, where content starts
  std::uint8_t mode = 0;

 private:
  std::unordered_map<std::string, TraceIndex> prefix_numbers_;

 public:
  // Appends a block's syntax records, `done` of `lines` lines read; `block` may be left empty.
  void take_syntax(std::vector<SyntaxRecord>& block, std::size_t done, std::size_t lines);
  // The number of `prefix` in `prefixes`, for an edit region to keep; added when new.
  TraceIndex hold_prefix(std::string_view prefix);
  std::string_view prefix(const EditRegion& region) const { return prefixes[region.prefix]; }

  // The spans, all of them when `nested`, else those of depth 0; the rest of the trace is
  // dropped.
  std::vector<BlockSpan> into_spans(bool nested) &&;
};

std::vector<BlockSpan> into_spans(Trace trace, bool nested);

}  // namespace vedavi::block
