// Cross-references and reference groups as the reader's bracket forms: "[@a]", "[see -@a]",
// "[@a; -@b]". A reference the reader could not give back unchanged is left to the link or span
// writing that called here.
#include <algorithm>
#include <cctype>
#include <string>

#include "inline/xref.h"
#include "markdown/attrs.h"
#include "markdown/renderer.h"

namespace vedavi::markdown {
namespace {

using fast5ever::dom::Text;

// Prefix words the reader takes back literally: no bracket, "@", ";", line break or character
// that could open a code span, autolink, HTML or math inside the brackets.
bool plain_prefix(std::string_view prefix) {
  for (const char c : prefix) {
    const auto byte = static_cast<unsigned char>(c);
    const bool letter_or_digit = std::isalnum(byte) != 0;  // ASCII only: the "C" locale
    const bool plain_mark = std::string_view(" .,'-:").find(c) != std::string_view::npos;
    if (byte < 0x80 && !letter_or_digit && !plain_mark) return false;
  }
  return true;
}

// The attributes of an element the writer can give back: the others are dropped wherever it
// stands, so they must not keep it from the bracket form either (written as a link without them,
// it would read back as a reference, and come out in that form the second time).
std::size_t written_attrs(const Dom& dom, NodeId element) {
  const auto& attrs = dom.element(element)->attrs;
  return std::size_t(std::count_if(attrs.begin(), attrs.end(),
                                    [](const auto& attr) { return readable_attr_name(attr.name.local); }));
}

// The item text of a reference link, checked against the reader's own item grammar.
std::optional<std::string> xref_item(const Dom& dom, NodeId link, bool allow_prefix) {
  if (!dom.is_tag(link, "a") || written_attrs(dom, link) != 2) return std::nullopt;
  const auto href = dom.attr(link, "href");
  const auto tokens = dom.attr(link, "data-ref");
  if (!href || !tokens || !href->starts_with('#') || (*tokens != "" && *tokens != "bare")) {
    return std::nullopt;
  }
  const auto& children = dom.node(link).children;
  std::string prefix;
  if (children.size() == 1) {
    const auto* text = std::get_if<Text>(&dom.node(children[0]).data);
    if (text == nullptr || text->text.empty() || !plain_prefix(text->text)) return std::nullopt;
    prefix = text->text + ' ';
  } else if (!children.empty()) {
    return std::nullopt;
  }
  const bool bare = *tokens == "bare";
  std::string item = prefix + (bare ? "-@" : "@") + std::string(href->substr(1));
  std::optional<std::string> words;
  if (!prefix.empty()) words = prefix.substr(0, prefix.size() - 1);
  const inl::XrefSeg expected{std::string(href->substr(1)), words, bare};
  if (inl::ref_seg_info(item, allow_prefix) != expected) return std::nullopt;
  return item;
}

// The items of a reference group: two or more reference links without prefix and nothing else.
std::optional<std::string> group_items(const Dom& dom, NodeId span) {
  const auto value = dom.attr(span, "data-refs");
  if (written_attrs(dom, span) != 1 || !value || !value->empty()) return std::nullopt;
  const auto& children = dom.node(span).children;
  if (children.size() < 2) return std::nullopt;
  std::string items;
  for (NodeId child : children) {
    const auto item = xref_item(dom, child, false);
    if (!item) return std::nullopt;
    if (!items.empty()) items += "; ";
    items += *item;
  }
  return items;
}

}  // namespace

// After the closing bracket, "(", "[", "{" or ":" would make the reader see a link, a reference,
// attributes or a definition instead.
bool DomRenderer::xref(NodeId node, const TextContext& context) {
  if (!context.closes_bracket) return false;
  const auto items =
      dom_.is_tag(node, "span") ? group_items(dom_, node) : xref_item(dom_, node, true);
  if (!items) return false;
  out() += '[';
  out() += *items;
  out() += ']';
  return true;
}

}  // namespace vedavi::markdown
