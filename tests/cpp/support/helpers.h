// Helpers shared by the C++ test programs: repeated text for adversarial sizes, a compact dump of
// block drafts, and a one-line form of inline lists with a parse under chosen options.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "block/parse.h"
#include "block/table_cells.h"
#include "inline/parse.h"
#include "model/document.h"

namespace vedavi::test {

// The jinja-like template syntax the md tests configure: "{{ }}" with section markers.
inline TemplateDelimiter jinja_delimiter() {
  TemplateDelimiter d;
  d.syntax = "jinja";
  d.open = "{{";
  d.close = "}}";
  d.markers = TemplateMarkers{"#", "^", "/"};
  return d;
}

// `piece` n times: the inputs at which quadratic time would show.
inline std::string repeat(std::string_view piece, std::size_t n) {
  std::string out;
  out.reserve(piece.size() * n);
  for (std::size_t i = 0; i < n; ++i) out.append(piece);
  return out;
}

// Runs `work` on a thread with a 256 KB stack: deep input must be walked, not recursed into.
inline bool run_on_small_stack(std::function<void()> work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  const bool started = pthread_create(&thread, &attr, run, &work) == 0;
  if (started) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  return started;
}

}  // namespace vedavi::test

namespace vedavi::block::testing {

inline Options default_options() {
  Options o;
  o.max_block_depth = 128;
  o.max_link_paren_depth = 32;
  return o;
}

inline std::string attr_text(const Attr& a) {
  std::string out;
  if (a.id()) out += " #" + *a.id();
  for (const auto& c : a.classes()) out += " ." + c;
  for (const auto& [k, v] : a.pairs()) out += " " + k + "=" + v;
  return out.empty() ? out : "{" + out.substr(1) + "}";
}

inline std::string escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n')
      out += "\\n";
    else
      out.push_back(c);
  }
  return out;
}

// std::visit over a draft with its boxed kinds unwrapped.
template <class F>
void visit_draft(F&& f, const DraftBlock& block) {
  detail::visit_unboxed(block, f);
}

// One draft a line, two spaces per level: "kind{attrs} payload".
inline void dump(const Drafts& drafts, std::string& out, int depth = 0) {
  auto pad = [&](int d) { out.append(static_cast<std::size_t>(2 * d), ' '); };
  for (const Draft& d : drafts) {
    pad(depth);
    visit_draft(
        [&](const auto& b) {
          using T = std::decay_t<decltype(b)>;
          if constexpr (std::is_same_v<T, draft::Paragraph>) {
            out += "p" + attr_text(b.attr) + " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, draft::Heading>) {
            out += "h" + std::to_string(b.level) + attr_text(b.attr) + " " + b.text + "\n";
          } else if constexpr (std::is_same_v<T, draft::BlockQuote>) {
            out += "quote" + attr_text(b.attr) + "\n";
            dump(b.children, out, depth + 1);
          } else if constexpr (std::is_same_v<T, draft::List>) {
            out += std::string(b.ordered ? "ol" : "ul") + attr_text(b.attr) +
                   (b.ordered ? " start=" + std::to_string(b.start) : std::string()) +
                   (b.tight ? " tight" : " loose") + "\n";
            for (const auto& item : b.items) {
              pad(depth + 1);
              out += "item" + attr_text(item.attr);
              if (item.task) out += *item.task ? " [x]" : " [ ]";
              out += "\n";
              dump(item.children, out, depth + 2);
            }
          } else if constexpr (std::is_same_v<T, draft::DefinitionList>) {
            out += "dl" + attr_text(b.attr) + "\n";
            for (const auto& item : b.items) {
              for (const auto& t : item.terms) {
                pad(depth + 1);
                out += "dt " + t + "\n";
              }
              for (const auto& t : item.definitions) {
                pad(depth + 1);
                out += "dd " + t + "\n";
              }
            }
          } else if constexpr (std::is_same_v<T, draft::CodeBlock>) {
            const attrs::FenceInfo fi = read_fence_info(b.fence_info, Attr(b.attr));
            out += "code" + attr_text(fi.attr) + (fi.lang ? " lang=" + *fi.lang : std::string()) +
                   " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, draft::HtmlBlock>) {
            out += "html " + escape(b.raw) + "\n";
          } else if constexpr (std::is_same_v<T, draft::ThematicBreak>) {
            out += "hr" + attr_text(b.attr) + "\n";
          } else if constexpr (std::is_same_v<T, draft::Table>) {
            out += "table" + attr_text(b.attr) + (b.caption ? " caption=" + *b.caption : "") + "\n";
            auto row = [&](const char* tag, const TableRowText& r) {
              pad(depth + 1);
              out += tag;
              for (const auto& c : r.cells) out += " |" + std::string(r.cell_text(c));
              out += "\n";
            };
            for (const auto& r : b.head) row("head", r);
            std::string rebuilt;
            const auto room = [&](std::size_t n) {
              rebuilt.resize(n);
              return rebuilt.data();
            };
            for (std::string_view line : b.body) {
              pad(depth + 1);
              out += "row";
              table_cells::for_each_body_cell(line, b.aligns.size(), b.leading_pipe, room,
                                              [&](std::string_view c, std::size_t) { out += " |" + std::string(c); });
              out += "\n";
            }
          } else if constexpr (std::is_same_v<T, draft::Div>) {
            out += "div" + attr_text(b.attr) + "\n";
            dump(b.children, out, depth + 1);
          } else if constexpr (std::is_same_v<T, draft::MathBlock>) {
            out += "math " + escape(b.tex) + "\n";
          } else if constexpr (std::is_same_v<T, draft::RawBlock>) {
            out += "raw=" + b.format + " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, draft::ScriptBlock>) {
            out += "script=" + b.lang + " " + escape(b.text) + "\n";
          } else if constexpr (std::is_same_v<T, TemplateToken>) {
            out += "token " + b.source + "\n";
          } else if constexpr (std::is_same_v<T, draft::FootnoteDef>) {
            out += "footnote " + std::string(b.label) + "\n";
            dump(b.children, out, depth + 1);
          } else if constexpr (std::is_same_v<T, draft::Splice>) {
            out += "splice\n";
            dump(b.members, out, depth + 1);
          } else {
            out += "figure\n";
          }
        },
        d.block);
  }
}

inline std::string dump(const Drafts& drafts) {
  std::string out;
  dump(drafts, out);
  return out;
}

inline std::string parse_dump(std::string_view src, const Options& options = default_options()) {
  return dump(parse_source(src, options, 0).drafts);
}

inline std::string spans_dump(const std::vector<BlockSpan>& spans) {
  std::string out;
  for (const auto& s : spans)
    out += std::string(s.kind) + " " + std::to_string(s.start) + "-" + std::to_string(s.end) +
           " d" + std::to_string(s.depth) + "\n";
  return out;
}

}  // namespace vedavi::block::testing

namespace vedavi::test {

// text as "a", breaks as SB and HB, containers as kind[...], attributes as {#id .class k=v}.
inline void append_attr(const Attr& a, std::string& out) {
  if (a.empty()) return;
  out += '{';
  std::string sep;
  if (a.id()) out += sep + "#" + *a.id(), sep = " ";
  for (const auto& c : a.classes()) out += sep + "." + c, sep = " ";
  for (const auto& [k, v] : a.pairs()) out += sep + k + "=" + v, sep = " ";
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
