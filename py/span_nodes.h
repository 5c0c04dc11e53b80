// Span dictionaries: the Python view of one block span or one ranged inline node, as the span
// listings `blocks`, `inlines` and `source_nodes` report them. Keys keep the order in which they
// are set here, which callers may rely on.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "block/trace.h"
#include "convert.h"
#include "inline/spans.h"
#include "pyref.h"

namespace vedavi::py {

// The keys of every span dictionary, by index into kSpanKeyNames.
enum class SpanKey : std::uint8_t {
  Type, Start, End, Depth, Attrs, Info, InfoHasAttrs, FenceStart, Lang, Text, Level, Id, Caption,
  Panel, FenceEnd, TitleLine, Url, Title, Syntax, Form, Body, Kind, Inverted, Name, UrlStart,
  UrlEnd, Alt, Delimiter, Display, Tex, Format, Refs, Tokens, Source, Label, Target, Bare, Prefix,
  Classes, Pairs, Count
};

// Builds the dictionaries of one listing. Its keys and kind names are made once per listing, not
// once per dictionary; it needs the interpreter lock throughout.
class SpanDicts {
 public:
  SpanDicts();

  // A block span; `start` and `end` as the listing reports them (lines or byte offsets).
  Ref block(const block::BlockSpan& span, std::size_t start, std::size_t end);
  // An inline node; `source` is the md text its offsets point into.
  Ref inline_node(const inl::InlineNode& node, std::string_view source);

  // dict[key] = value; an existing key keeps its place.
  void set(const Ref& dict, SpanKey key, Ref value) const;
  // A str of a word from a small fixed vocabulary (a kind name, a form), shared between dicts.
  Ref word(std::string_view text) { return words_.get(text); }
  // {"id": str or None, "classes": [str], "pairs": [(str, str)]}.
  Ref attrs(const Attr& attr) const;
  // The items of a bracketed cross-reference: [{"target", "bare", "prefix"}, ...].
  Ref xref_refs(std::span<const inl::XrefSeg> refs) const;

 private:
  Ref ranged(std::string_view kind, std::size_t start, std::size_t end, std::size_t depth);
  void set_panel(const Ref& dict, const block::SpanFacts& facts) const;

  InternedNames<std::size_t(SpanKey::Count)> keys_;
  WordStrs words_;
};

// The list a span listing returns, filled while the core works: the core hands its items over
// in batches with the interpreter lock released, each batch becomes dicts with the lock taken
// back, and the core's C++ items die batch by batch, so the call holds little beside its result.
// Made with the lock held, by the thread that then releases it around the core's stream.
class SpanList final : public inl::ListingSink {
 public:
  explicit SpanList(std::string_view markdown);

  void take_blocks(std::span<inl::SourceBlock> batch) override;
  void take_inlines(std::span<inl::InlineNode> batch) override;
  void parse_released() override;
  // The list in the order the stream gave, once the lock is held again.
  Ref finish(inl::ListingOrder order) &&;

 private:
  // Runs `build` with the lock held, from inside the released stream.
  template <class Build>
  void locked(Build&& build);

  std::string_view markdown_;
  PyThreadState* thread_;
  SpanDicts dicts_;
  Ref made_;  // the dicts in the order made
};

}  // namespace vedavi::py
