// Anchors: the nodes of a parsed document that carry an id and can be the target of a
// cross-reference, with their target kind and collapsed plain text, in document order.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/document.h"

namespace vedavi {

struct Anchor {
  std::string id;
  std::string_view kind;  // "block", "caption" or "text", as the exporter's target kinds
  std::string text;       // white space collapsed to single spaces, trimmed
  friend bool operator==(const Anchor&, const Anchor&) = default;
};

// The anchors of a document as it renders: its blocks', then those of each footnote that the
// rendered document holds (one its text references, directly or through another such footnote),
// in the order of definition.
std::vector<Anchor> document_anchors(const Document& doc);
// Appends the anchors of `block` and of everything inside it: a node's own anchor before those
// found inside it.
void anchor_block(const Block& block, std::vector<Anchor>& anchors);
// Appends the anchors found in an inline list (spans and formulas with an id, at any depth).
void anchor_inlines(std::span<const Inline> inlines, std::vector<Anchor>& anchors);
// The plain text of an inline list as anchors see it: template tokens as their body; raw HTML,
// operations, footnote references and raw inlines contribute nothing.
std::string inlines_text(std::span<const Inline> inlines);
// Appends (id, kind, collapsed text) when `attr` has an id.
void push_anchor(const Attr& attr, std::string_view kind, std::string_view raw_text,
                 std::vector<Anchor>& anchors);

}  // namespace vedavi
