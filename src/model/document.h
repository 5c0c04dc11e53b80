// The document tree every md parse produces and every later stage reads: `Document`, its
// `Block`s and `Inline`s, and their parts.
//
// The tree lives in an arena (model/arena.h): its lists, texts and boxed nodes are allocated
// there, no node needs a destructor, and the tree is freed in one reset of the arena when the
// document that holds it goes. Copying a list copies its nodes into the arena current at the
// time, the first levels the ordinary way and anything deeper with an explicit stack, so a tree
// nested a million levels deep is copied without deep recursion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "model/arena.h"
#include "model/attrs.h"
#include "model/template.h"

namespace vedavi {

struct Block;
struct Inline;

// A list of child nodes in the arena, with a non-recursive deep copy.
template <class T>
class NodeList : public ArenaVector<T> {
 public:
  using ArenaVector<T>::ArenaVector;
  NodeList() = default;
  NodeList(const NodeList& other);
  NodeList(NodeList&& other) noexcept = default;
  NodeList& operator=(const NodeList& other);
  NodeList& operator=(NodeList&& other) noexcept = default;
};

using Blocks = NodeList<Block>;
using Inlines = NodeList<Inline>;

// A node alternative held out of line, in the arena. The large, rare kinds (links, tables, code
// blocks, template tokens, ...) are boxed so that every node, text nodes above all, stays small;
// a boxed value that owns memory of its own is destroyed when the arena is reset. Copies are
// deep. A moved-from box holds nothing; reading it gives an empty value, as a moved-from value
// would, and writing refills it.
template <class T>
class Boxed {
 public:
  Boxed() : value_(current_arena().make<T>()) {}
  Boxed(T&& value) : value_(current_arena().make<T>(std::move(value))) {}
  Boxed(const T& value) : value_(current_arena().make<T>(value)) {}
  // Boxed in `arena`, the current one: for hot paths that took it once already.
  Boxed(Arena& arena, T&& value) : value_(arena.make<T>(std::move(value))) {}
  Boxed(const Boxed& other) : value_(other.value_ ? current_arena().make<T>(*other.value_) : nullptr) {}
  Boxed(Boxed&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  Boxed& operator=(const Boxed& other) {
    if (this != &other) value_ = other.value_ ? current_arena().make<T>(*other.value_) : nullptr;
    return *this;
  }
  Boxed& operator=(Boxed&& other) noexcept {
    if (this != &other) value_ = std::exchange(other.value_, nullptr);
    return *this;
  }

  T& value() {
    if (!value_) value_ = current_arena().make<T>();
    return *value_;
  }
  const T& value() const { return value_ ? *value_ : empty(); }
  // The value, nullptr for a moved-from box (for walks that must not allocate).
  T* get() const noexcept { return value_; }

 private:
  static const T& empty() {
    static const T kEmpty{};
    return kEmpty;
  }

  T* value_;
};

namespace detail {

template <class T> struct Unboxed { using type = T; };
template <class T> struct Unboxed<Boxed<T>> { using type = T; };

template <class T> T& unbox(T& alternative) { return alternative; }
template <class T> const T& unbox(const T& alternative) { return alternative; }
template <class T> T& unbox(Boxed<T>& alternative) { return alternative.value(); }
template <class T> const T& unbox(const Boxed<T>& alternative) { return alternative.value(); }

// Whether `T` is held boxed in the variant `Data`.
template <class T, class Data> struct IsBoxedIn;
template <class T, class... A>
struct IsBoxedIn<T, std::variant<A...>> : std::bool_constant<(std::is_same_v<Boxed<T>, A> || ...)> {};

// std::visit over a node's variant with every boxed alternative unwrapped.
template <class Data, class F>
decltype(auto) visit_unboxed(Data& data, F&& visitor) {
  return std::visit([&](auto& alternative) -> decltype(auto) { return visitor(unbox(alternative)); },
                    data);
}

// std::get_if that reaches through a box.
template <class T, class Data>
auto* get_unboxed(Data* data) {
  if constexpr (IsBoxedIn<T, std::remove_const_t<Data>>::value) {
    auto* box = std::get_if<Boxed<T>>(data);
    return box ? &box->value() : nullptr;
  } else {
    return std::get_if<T>(data);
  }
}

}  // namespace detail

// A column or cell alignment.
enum class Align : std::uint8_t { None = 0, Left = 1, Center = 2, Right = 3 };
// "", "left", "center", "right".
std::string_view align_name(Align align);

struct OperationArg {
  Inlines value;
  std::optional<Str> name;  // set for a named argument
};

enum class InlineKind : std::uint8_t {
  Text, SoftBreak, HardBreak, Emph, Strong, Strike, Superscript, Subscript, Highlight, Code,
  Link, Image, Autolink, HtmlInline, Operation, TemplateToken, MathInline, FootnoteRef, Note,
  Span, RawInline,
};
inline constexpr std::size_t kInlineKindCount = 21;

struct Inline {
  struct Text { Str text; };
  struct SoftBreak {};
  struct HardBreak {};
  struct Emph { Attr attr; Inlines children; };
  struct Strong { Attr attr; Inlines children; };
  struct Strike { Attr attr; Inlines children; };
  struct Superscript { Attr attr; Str text; };
  struct Subscript { Attr attr; Str text; };
  struct Highlight { Attr attr; Inlines children; };
  struct Code { Attr attr; Str text; };
  struct Link {
    Str url;
    std::optional<Str> title;
    Attr attr;
    Inlines children;  // the link text
  };
  struct Image {
    Str url;
    std::optional<Str> title;
    Attr attr;
    Inlines children;  // the alternative text
  };
  struct Autolink {
    Str url;   // the target ("mailto:" included for e-mail)
    Str text;  // as written
    bool email = false;
  };
  struct HtmlInline { Str raw; };
  // Made only by the wikitext converter.
  struct Operation {
    std::string syntax;
    std::string action;
    std::string name;
    std::vector<OperationArg> args;
  };
  struct MathInline { Attr attr; std::string tex; bool display = false; };
  struct FootnoteRef { Str label; };
  struct Note { Inlines children; };  // an inline footnote
  struct Span { Attr attr; Inlines children; };
  struct RawInline { std::string format; std::string text; };

  // Alternatives in kind order: the index is the `InlineKind`. Kinds larger than a string and
  // an attribute set are boxed; read them through `get_if` and `visit`, which unwrap the box.
  using Data = std::variant<Text, SoftBreak, HardBreak, Emph, Strong, Strike, Superscript,
                            Subscript, Highlight, Code, Boxed<Link>, Boxed<Image>,
                            Boxed<Autolink>, HtmlInline, Boxed<Operation>, Boxed<TemplateToken>,
                            Boxed<MathInline>, FootnoteRef, Note, Span, Boxed<RawInline>>;
  Data data;

  Inline() = default;
  template <class T>
    requires std::is_constructible_v<Data, T&&> &&
             (!std::is_same_v<std::remove_cvref_t<T>, Inline>)
  Inline(T&& alternative) : data(std::forward<T>(alternative)) {}

  InlineKind kind() const { return static_cast<InlineKind>(data.index()); }
  std::string_view kind_name() const;
  // The node's attributes; nullptr for the kinds that carry none.
  Attr* attr();
  const Attr* attr() const;
  // The child inline list of the kinds that have one (emph, strong, strike, highlight, link,
  // image, note, span); nullptr otherwise.
  Inlines* children();
  const Inlines* children() const;

  template <class T> T* get_if() { return detail::get_unboxed<T>(&data); }
  template <class T> const T* get_if() const { return detail::get_unboxed<T>(&data); }
  // Calls `visitor` with the node's alternative as its own type (`Inline::Link`, never the
  // box around it). Use this, not std::visit on `data`.
  template <class F> decltype(auto) visit(F&& visitor) { return detail::visit_unboxed(data, visitor); }
  template <class F> decltype(auto) visit(F&& visitor) const { return detail::visit_unboxed(data, visitor); }
};

// "text", "soft_break", ... in kind order.
std::string_view kind_name(InlineKind kind);

struct ListItem {
  Attr attr;
  Blocks children;
  std::optional<bool> task;  // absent for an ordinary item; true when the task is checked
};

struct DefinitionTerm {
  Attr attr;
  Inlines inlines;
};

struct DefinitionItem {
  ArenaVector<DefinitionTerm> terms;
  ArenaVector<Inlines> definitions;  // each definition is one inline run
};

template <class T>
struct TableCellData {
  Attr attr;
  T content;
  Align align = Align::None;  // the cell's own alignment
};

template <class T>
struct TableRowData {
  Attr attr;
  ArenaVector<TableCellData<T>> cells;
};

using TableCell = TableCellData<Inlines>;
using TableRow = TableRowData<Inlines>;

// A template token on a line of its own between table rows.
struct TableToken {
  std::size_t row = 0;  // number of body rows before it (= body row count: after the last row)
  Inline token;         // always of kind template_token
};

enum class BlockKind : std::uint8_t {
  Paragraph, Heading, PanelTitle, BlockQuote, List, DefinitionList, CodeBlock, HtmlBlock,
  ThematicBreak, Table, Div, MathBlock, Figure, TemplateToken, RawBlock, ScriptBlock,
};
inline constexpr std::size_t kBlockKindCount = 16;

struct Block {
  struct Paragraph { Attr attr; Inlines inlines; };
  struct Heading { Attr attr; Inlines inlines; std::uint8_t level = 1; };
  // Only ever the first child of a panel div.
  struct PanelTitle { Attr attr; Inlines inlines; };
  struct BlockQuote { Attr attr; Blocks children; };
  struct List {
    Attr attr;
    ArenaVector<ListItem> items;  // never empty
    std::size_t start = 1;        // the number on the first item; 1 for a bullet list
    bool ordered = false;
    bool tight = true;
  };
  struct DefinitionList { Attr attr; ArenaVector<DefinitionItem> items; };
  struct CodeBlock {
    Attr attr;
    Str info;  // the fence info
    Str text;  // the code
    std::optional<Str> lang;
  };
  struct HtmlBlock {
    std::string raw;
    std::vector<HtmlToken> tokens;  // template tokens inside the raw HTML
  };
  struct ThematicBreak { Attr attr; };
  struct Table {
    Attr attr;
    ArenaVector<Align> aligns;  // one per column
    ArenaVector<TableRow> head_rows;
    ArenaVector<TableRow> rows;
    ArenaVector<TableRow> foot_rows;
    Inlines caption;  // empty without a caption
    ArenaVector<TableToken> tokens;
  };
  struct Div { Attr attr; Blocks children; };
  struct MathBlock { Attr attr; Str tex; bool display = false; };
  struct Figure {
    Attr attr;
    Inlines caption;  // a copy of the image's alternative text
    Inline image;     // always of kind image
  };
  struct RawBlock { std::string format; std::string text; };
  struct ScriptBlock { std::string lang; std::string text; };

  // Alternatives in kind order: the index is the `BlockKind`. A template_token block is a
  // template token that makes up a whole line.
  // Kinds larger than a list, and those whose parts keep memory of their own (html blocks with
  // their token list, definition lists), are boxed, as in `Inline`.
  using Data = std::variant<Paragraph, Heading, PanelTitle, BlockQuote, List, Boxed<DefinitionList>,
                            Boxed<CodeBlock>, Boxed<HtmlBlock>, ThematicBreak, Boxed<Table>, Div,
                            MathBlock, Boxed<Figure>, Boxed<TemplateToken>, Boxed<RawBlock>,
                            Boxed<ScriptBlock>>;
  Data data;

  Block() = default;
  template <class T>
    requires std::is_constructible_v<Data, T&&> &&
             (!std::is_same_v<std::remove_cvref_t<T>, Block>)
  Block(T&& alternative) : data(std::forward<T>(alternative)) {}

  BlockKind kind() const { return static_cast<BlockKind>(data.index()); }
  std::string_view kind_name() const;
  // The node's attributes; nullptr for html_block, template_token, raw_block and script_block.
  Attr* attr();
  const Attr* attr() const;
  // The inline list of paragraphs, headings and panel titles; nullptr otherwise.
  Inlines* inlines();
  const Inlines* inlines() const;
  // The child blocks of block quotes and divs; nullptr otherwise.
  Blocks* children();
  const Blocks* children() const;

  template <class T> T* get_if() { return detail::get_unboxed<T>(&data); }
  template <class T> const T* get_if() const { return detail::get_unboxed<T>(&data); }
  // Calls `visitor` with the node's alternative as its own type, as `Inline::visit` does.
  template <class F> decltype(auto) visit(F&& visitor) { return detail::visit_unboxed(data, visitor); }
  template <class F> decltype(auto) visit(F&& visitor) const { return detail::visit_unboxed(data, visitor); }
};

// "paragraph", "heading", ... in kind order.
std::string_view kind_name(BlockKind kind);

struct Footnote {
  std::string label;  // as the definition wrote it
  Blocks blocks;
};

// A 1-based source position.
struct SourcePos {
  std::size_t line = 0;
  std::size_t column = 0;
  friend bool operator==(const SourcePos&, const SourcePos&) = default;
};

struct Diagnostic {
  std::optional<SourcePos> start;
  std::optional<SourcePos> end;
  std::optional<std::size_t> aux;
  std::string code;  // "unclosed" for every diagnostic of the block parser
  std::string message;
  std::uint8_t flags = 0;
  friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

struct Document {
  ArenaHandle arena;  // where the tree lives; declared first, so it goes last
  Blocks blocks;
  std::vector<Footnote> footnotes;
  std::vector<Diagnostic> diagnostics;  // sorted by line
  StringPairs meta;                     // the frontmatter pairs in file order
};

// A readable, indented dump of a tree, one node a line, for tests and debugging.
std::string debug_string(const Document& doc);
std::string debug_string(const Blocks& blocks);
std::string debug_string(const Inlines& inlines);

}  // namespace vedavi
