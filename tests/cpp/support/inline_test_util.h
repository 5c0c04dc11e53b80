// Helpers of the inline parser tests: a compact one-line form of inline lists and a parse with
// chosen options.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "model/document.h"
#include "inline/parse.h"

namespace vedavi::test {

// text as "a", breaks as SB and HB, containers as kind[...], attributes as {#id .class k=v}.
inline void append_attr(const Attr& a, std::string& out) {
  if (a.empty()) return;
  out += '{';
  std::string sep;
  if (a.id) out += sep + "#" + *a.id, sep = " ";
  for (const auto& c : a.classes) out += sep + "." + c, sep = " ";
  for (const auto& [k, v] : a.pairs) out += sep + k + "=" + v, sep = " ";
  out += '}';
}

inline void append_show(const Inlines& list, std::string& out);

inline void append_show(const Inline& x, std::string& out) {
  out += x.kind_name();
  if (auto* t = x.get_if<Inline::Text>()) {
    out = out.substr(0, out.size() - 4);
    out += '"' + t->text + '"';
    return;
  }
  if (x.kind() == InlineKind::SoftBreak) { out.resize(out.size() - 10); out += "SB"; return; }
  if (x.kind() == InlineKind::HardBreak) { out.resize(out.size() - 10); out += "HB"; return; }
  if (const Attr* a = x.attr()) append_attr(*a, out);
  if (auto* c = x.get_if<Inline::Code>()) out += '"' + c->text + '"';
  if (auto* s = x.get_if<Inline::Superscript>()) out += '"' + s->text + '"';
  if (auto* s = x.get_if<Inline::Subscript>()) out += '"' + s->text + '"';
  if (auto* m = x.get_if<Inline::MathInline>()) out += (m->display ? "D\"" : "\"") + m->tex + '"';
  if (auto* r = x.get_if<Inline::RawInline>()) out += "(" + r->format + ")\"" + r->text + '"';
  if (auto* h = x.get_if<Inline::HtmlInline>()) out += '"' + h->raw + '"';
  if (auto* f = x.get_if<Inline::FootnoteRef>()) out += '"' + f->label + '"';
  if (auto* l = x.get_if<Inline::Autolink>())
    out += "(" + l->url + (l->email ? " email" : "") + ")\"" + l->text + '"';
  if (auto* l = x.get_if<Inline::Link>()) out += "(" + l->url + (l->title ? " \"" + *l->title + "\"" : "") + ")";
  if (auto* l = x.get_if<Inline::Image>()) out += "(" + l->url + (l->title ? " \"" + *l->title + "\"" : "") + ")";
  if (auto* t = x.get_if<TemplateToken>()) out += '"' + t->source + '"';
  if (const Inlines* kids = x.children()) {
    out += '[';
    append_show(*kids, out);
    out += ']';
  }
}

inline void append_show(const Inlines& list, std::string& out) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i) out += ' ';
    append_show(list[i], out);
  }
}

inline std::string show(const Inlines& list) {
  std::string out;
  append_show(list, out);
  return out;
}

inline Options default_options() {
  Options o;
  o.max_block_depth = 128;
  o.max_link_paren_depth = 32;
  o.bare_autolinks = false;
  o.math = MathMode::Brackets;
  return o;
}

struct Parser {
  Options options = default_options();
  LinkMap links;
  FootnoteLabels footnotes;

  Inlines parse(std::string_view text) const {
    const InlineContext ctx{options, links, footnotes, nullptr};
    return inl::parse_inner(text, ctx);
  }
  std::string operator()(std::string_view text) const { return show(parse(text)); }
  std::vector<InlineEvent> events(std::string_view text) const {
    return inl::inline_events(text, options, links, footnotes);
  }
};

}  // namespace vedavi::test

namespace vedavi {
// Readable events in test failures.
inline void PrintTo(const InlineEvent& e, std::ostream* os) {
  *os << "{kind " << static_cast<int>(e.kind) << " [" << e.start << ", " << e.end << ")";
  if (e.bracket_end) *os << " bracket_end " << e.bracket_end << (e.is_image ? " image" : "");
  *os << "}";
}
}  // namespace vedavi
