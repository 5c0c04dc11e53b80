// Ranged inline nodes: every inline construct of a parsed md document as a flat node with its
// kind name, its byte range in the source, its nesting depth and the facts a caller needs about
// it; and the source nodes, block spans and inline nodes in one list. Built by re-scanning each
// text unit of the line map with events on.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "block/build.h"
#include "inline/line_map.h"
#include "inline/parse.h"
#include "inline/xref.h"
#include "model/options.h"
#include "model/template.h"

namespace vedavi::inl {

// What a node carries besides its range, by kind.
namespace inline_data {
struct None {};
struct Link {
  std::optional<ByteRange> url_span;  // the destination's source offsets (inline form)
  std::string url;
  std::optional<std::string> title;
  std::optional<std::string> alt;  // images only: the plain text of the bracket text
  bool reference = false;          // written with a link reference definition
};
struct Text { std::string text; };
struct Math {
  std::string tex;
  std::string_view delimiter;  // "$", "$$", "\(" or "\["
};
struct Raw { std::string format; std::string text; };
struct Attrs { std::optional<std::string> id; };
struct Xref {
  std::vector<XrefSeg> refs;  // empty when an item is not a reference
  std::optional<std::string> tokens;  // the "ref" pair of an attribute block right after it
};
struct Template {
  std::string syntax;
  std::string body;
  std::string name;
  TemplateTokenKind kind = TemplateTokenKind::Var;
};
struct Footnote { std::string label; };
struct Autolink { std::string url; };
}  // namespace inline_data

using InlineData =
    std::variant<inline_data::None, inline_data::Link, inline_data::Text, inline_data::Math,
                 inline_data::Raw, inline_data::Attrs, inline_data::Xref, inline_data::Template,
                 inline_data::Footnote, inline_data::Autolink>;

struct InlineNode {
  InlineData data;
  std::string_view kind;  // "emph", "link", "text", ...
  std::size_t start = 0;  // source byte range
  std::size_t end = 0;
  std::size_t depth = 0;  // enclosing non-leaf nodes, 0 at the top of a unit
};

// One construct of a unit text, or a text run between constructs (no event).
struct InlineEntry {
  std::size_t start = 0;  // offsets in the unit text
  std::size_t end = 0;
  std::string_view kind;
  bool is_leaf = true;
  std::optional<InlineEvent> event;
};

// The entries of one text, sorted by start ascending and end descending (stable).
std::vector<InlineEntry> inline_nodes(std::string_view text, const InlineContext& ctx);

// The inline nodes of every text unit of a span-mode-3 parse of `source`, and the template tokens
// inside its raw HTML blocks, sorted by start ascending and end descending (stable). Offsets are
// into `source`, whatever its line ends.
std::vector<InlineNode> collect_inlines(std::string_view source, const Options& options,
                                        const block::Parsed& parsed, const LineMap& map);

// A block span with its source byte range.
struct SourceBlock {
  block::BlockSpan span;
  std::size_t start = 0;
  std::size_t end = 0;
};
using SourceNode = std::variant<SourceBlock, InlineNode>;

// The inline nodes of md source: parse, line map and collect_inlines.
std::vector<InlineNode> list_inlines(std::string_view source, const Options& options);
// Every block span (all depths; whole-line template tokens only of the block form) and every
// inline node of md source, sorted by start ascending and end descending, a block span before
// an inline node of the same range.
std::vector<SourceNode> list_source_nodes(std::string_view source, const Options& options);

// ---- The same listings, streamed ----
// A listing can be many times its source, so a caller that turns every item into something
// larger (a Python dict) takes them as they are made instead: in batches of at most
// kListingBatch items, in the order made, which is not yet listing order. At the end the stream
// says where each item goes.

inline constexpr std::size_t kListingBatch = 4096;

// Receives the items of a streamed listing. A batch lives for the call only; the receiver may
// move from its items. Whatever the receiver throws ends the stream and reaches its caller.
class ListingSink {
 public:
  virtual void take_blocks(std::span<SourceBlock> batch) = 0;
  virtual void take_inlines(std::span<InlineNode> batch) = 0;
  // Called once, before the first inline batch: the parse's trace and line map, often larger
  // than the listing's input many times over, have been let go.
  virtual void parse_released() {}

 protected:
  ~ListingSink() = default;
};

// Listing order of the items streamed: for each place, the index of its item in the order made
// (blocks and inline nodes counted together). Empty when the two orders are the same.
using ListingOrder = std::vector<std::size_t>;

// list_inlines and list_source_nodes, streamed to `sink`.
ListingOrder stream_inlines(std::string_view source, const Options& options, ListingSink& sink);
ListingOrder stream_source_nodes(std::string_view source, const Options& options, ListingSink& sink);

}  // namespace vedavi::inl
