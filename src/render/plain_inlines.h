// The staged writing of the common inline kinds without attributes, a title or a child other than a
// text: for the inline walk and for table cells, which write theirs without the walk.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "model/document.h"
#include "render/staged_out.h"
#include "text/escape_scan.h"

namespace vedavi::plain_inline {

using escape_scan::Markup;

// A boxed kind's value; nullptr for a box a move emptied, which the general writer handles.
template <class T>
inline const T* boxed(const Inline& node) {
  const auto* box = std::get_if<Boxed<T>>(&node.data);
  return box != nullptr ? box->get() : nullptr;
}

// Whether every node is a text; their sizes are added to `size`.
inline bool are_texts(std::span<const Inline> nodes, std::size_t& size) {
  for (const Inline& node : nodes) {
    const auto* text = std::get_if<Inline::Text>(&node.data);
    if (text == nullptr) return false;
    size += text->text.size();
  }
  return true;
}

// Texts with no byte to escape; false at the first that has one.
inline bool put_kept_texts(std::span<const Inline> texts, StagedOut::Cursor& at) {
  for (const Inline& node : texts) {
    const std::string_view text = std::get_if<Inline::Text>(&node.data)->text;
    if (at.put_kept<Markup::Text>(text) != text.size()) return false;
  }
  return true;
}

// Each writer below makes room for the node's longest form, stores its pieces through a cursor and
// commits them only once the whole node is written: a node that needs the general writer leaves
// nothing behind.

// An element with its tags and its children, which are all texts.
inline bool plain_element(std::string_view open, std::span<const Inline> children, std::string_view close,
                   StagedOut& out) {
  std::size_t size = open.size() + close.size();
  if (!are_texts(children, size) || !out.make_room(size)) return false;
  StagedOut::Cursor at = out.cursor();
  at.put(open);
  if (!put_kept_texts(children, at)) return false;
  at.put(close);
  out.commit(at);
  return true;
}

template <class T>
inline bool plain_container(const Inline& node, std::string_view open, std::string_view close,
                     StagedOut& out) {
  const T& element = *std::get_if<T>(&node.data);
  return element.attr.empty() && plain_element(open, element.children, close, out);
}

inline bool plain_link(const Inline& node, StagedOut& out) {
  const auto* link = boxed<Inline::Link>(node);
  if (link == nullptr || link->title || !link->attr.empty()) return false;
  std::size_t size = link->url.size() + std::string_view("<a href=\"\"></a>").size();
  if (!are_texts(link->children, size) || !out.make_room(size)) return false;
  StagedOut::Cursor at = out.cursor();
  at.put("<a href=\"");
  if (at.put_kept<Markup::Url>(link->url) != link->url.size()) return false;
  at.put("\">");
  if (!put_kept_texts(link->children, at)) return false;
  at.put("</a>");
  out.commit(at);
  return true;
}

inline bool plain_autolink(const Inline& node, StagedOut& out) {
  const auto* autolink = boxed<Inline::Autolink>(node);
  if (autolink == nullptr) return false;
  const std::string_view url = autolink->url, text = autolink->text;
  if (!out.make_room(url.size() + text.size() + std::string_view("<a href=\"\"></a>").size())) return false;
  StagedOut::Cursor at = out.cursor();
  at.put("<a href=\"");
  if (at.put_kept<Markup::Url>(url) != url.size()) return false;
  at.put("\">");
  // Most texts are the url's last bytes (the url itself, or after "http://" or "mailto:"). A url
  // copied as it stands holds none of the bytes text escaping rewrites, so neither do they.
  if (text.size() <= url.size() && text.data() + text.size() == url.data() + url.size()) {
    at.put_copy(text);
  } else if (at.put_kept<Markup::Text>(text) != text.size()) {
    return false;
  }
  at.put("</a>");
  out.commit(at);
  return true;
}

inline bool plain_code(const Inline& node, StagedOut& out) {
  const auto& code = *std::get_if<Inline::Code>(&node.data);
  const std::string_view text = code.text;
  if (!code.attr.empty() || !out.make_room(text.size() + std::string_view("<code></code>").size()))
    return false;
  StagedOut::Cursor at = out.cursor();
  at.put("<code>");
  if (at.put_kept<Markup::Text>(text) != text.size()) return false;
  at.put("</code>");
  out.commit(at);
  return true;
}

// The common kinds, when they hold nothing the general writer is needed for (attributes, a
// title, a byte to escape, a child other than a text), written whole into the stage; false, with
// nothing written, when the node needs the general writer.
inline bool write_plain(const Inline& node, StagedOut& out) {
  // Tested in turn rather than by a jump through a table, which mispredicts more often.
  const InlineKind kind = node.kind();
  if (kind == InlineKind::Autolink) return plain_autolink(node, out);
  if (kind == InlineKind::Link) return plain_link(node, out);
  if (kind == InlineKind::Emph) return plain_container<Inline::Emph>(node, "<em>", "</em>", out);
  if (kind == InlineKind::Code) return plain_code(node, out);
  if (kind == InlineKind::Strong) return plain_container<Inline::Strong>(node, "<strong>", "</strong>", out);
  return false;
}

}  // namespace vedavi::plain_inline
