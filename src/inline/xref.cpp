// Cross-reference items and footnote references.
#include "inline/xref.h"

#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

bool is_id_char(char c) { return scan::is_ascii_alnum(c) || c == '_' || c == '-'; }

}  // namespace

std::optional<XrefSeg> ref_seg_info(std::string_view item, bool allow_prefix) {
  const std::string_view s = unicode::trim(item);
  const std::size_t a = s.find('@');
  if (a == std::string_view::npos) return std::nullopt;
  const bool bare = a > 0 && s[a - 1] == '-';
  const std::string_view raw_prefix = s.substr(0, bare ? a - 1 : a);
  const std::string_view prefix = unicode::trim_end(raw_prefix);
  if (!prefix.empty() && (!allow_prefix || prefix.size() == raw_prefix.size())) return std::nullopt;
  const std::string_view target = s.substr(a + 1);
  if (target.empty() || !scan::is_ascii_alnum(target[0])) return std::nullopt;
  for (char c : target)
    if (!is_id_char(c)) return std::nullopt;
  XrefSeg seg{std::string(target), std::nullopt, bare};
  if (!prefix.empty()) seg.prefix = std::string(prefix);
  return seg;
}

std::optional<Inline> ref_item(std::string_view item, bool allow_prefix) {
  auto seg = ref_seg_info(item, allow_prefix);
  if (!seg) return std::nullopt;
  Inline::Link link;
  link.url = "#" + seg->target;
  link.attr.set_pair("data-ref", seg->bare ? "bare" : "");
  if (seg->prefix) link.children.push_back(Inline(Inline::Text{std::move(*seg->prefix)}));
  return Inline(std::move(link));
}

std::optional<FootnoteRefMatch> footnote_ref(std::string_view text, std::size_t p,
                                             const FootnoteLabels& defined) {
  if (text.substr(p, 2) != "[^") return std::nullopt;
  // The label ends at the first "]"; white space or "[" before it rules the reference out, so
  // the search stops there and a run of "[^" without closers stays linear.
  std::size_t i = p + 2;
  while (i < text.size()) {
    const utf8::Decoded d = utf8::decode(text, i);
    if (d.cp == ']') break;
    if (d.cp == '[' || unicode::is_white_space(d.cp)) return std::nullopt;
    i += d.len;
  }
  if (i >= text.size() || i == p + 2) return std::nullopt;
  std::string label(text.substr(p + 2, i - p - 2));
  if (!defined.contains(label)) return std::nullopt;
  return FootnoteRefMatch{Inline(Inline::FootnoteRef{std::move(label)}), i + 1};
}

}  // namespace vedavi::inl
