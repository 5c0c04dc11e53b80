// Step 11: code blocks pass through the caller's language hook, are highlighted (md by the
// dialect's own highlighter, other languages by the caller's), and may be replaced by the
// caller's wrapping hook.
#include "export/exporter.h"
#include "fast5ever/parse.h"
#include "fast5ever/serialize.h"
#include "highlight/highlight.h"
#include "text/unicode.h"

namespace vedavi::exporter {
namespace {

// The language a code element's class names ("language-py" -> "py"); may be empty.
std::optional<std::string> code_language(const Dom& dom, NodeId code) {
  for (const std::string_view item : unicode::split_white_space(dom.attr(code, "class").value_or(""))) {
    if (item.starts_with("language-")) return std::string(item.substr(9));
  }
  return std::nullopt;
}

// The `toks` attribute of the highlighter's first top-level element, "" without one.
std::string toks_of(std::string_view html) {
  const Dom fragment = fast5ever::dom::parse_fragment(html);
  const std::optional<NodeId> first = first_element_child(fragment, 0);
  return std::string(first ? fragment.attr(*first, "toks").value_or("") : "");
}

// The HTML of the `hl-code` wrapper around a block whose HTML is `block`.
std::string wrapper_html(std::string_view toks, std::string_view block) {
  std::string out = "<hl-code toks=\"";
  fast5ever::append_escaped_attr(toks, out);
  out += "\">";
  out += block;
  out += "</hl-code>";
  return out;
}

bool is_dialect_language(std::string_view lang) { return lang == "md" || lang == "markdown"; }

std::optional<std::string_view> as_view(const std::optional<std::string>& text) {
  return text ? std::optional<std::string_view>(*text) : std::nullopt;
}

}  // namespace

std::optional<Failure> Exporter::highlight_code() {
  if (options_.hl == HlMode::Off && !options_.hl_lang && !options_.code_wrap) return std::nullopt;
  for (const NodeId pre : elements_) {
    if (!dom_.is_tag(pre, "pre")) continue;
    // A block that an earlier step cut out of the document is not offered to the hooks.
    if (!in_document(pre)) continue;
    if (auto failure = highlight_block(pre)) return failure;
  }
  splices_.apply(dom_);
  return std::nullopt;
}

std::optional<Failure> Exporter::highlight_block(NodeId pre) {
  const std::optional<NodeId> code = first_child_tag(dom_, pre, "code");
  if (!code) return std::nullopt;
  std::optional<std::string> lang = code_language(dom_, *code);
  const std::string text = dom_.to_text(*code);
  if (options_.hl_lang) {
    HookResult renamed = options_.hl_lang(text, as_view(lang));
    if (!renamed) return Failure{renamed.message()};
    if (!renamed.value()) {
      lang.reset();
    } else if (renamed.value() != lang) {
      lang = std::move(renamed.value());
      must(dom_.set_attr(*code, "class", "language-" + *lang));
    }
  }
  std::optional<std::string> toks;  // set when the block is to be wrapped in `hl-code`
  if (options_.hl != HlMode::Off && lang) {
    if (is_dialect_language(*lang)) {
      apply_spans(*code, highlight::highlight_md(text, "hl-"));
    } else if (!options_.hl_fn) {
      // Once per export; no other warning begins like this one, so a flag tells as much as
      // searching the warnings would, without a search per block.
      if (!has_highlighter_warning_) warnings_.emplace_back(kNoHighlighterWarning);
      has_highlighter_warning_ = true;
    } else {
      HookResult html = options_.hl_fn(text, *lang, options_.hl);
      if (!html) return Failure{html.message()};
      if (html.value() && options_.hl == HlMode::Spans) apply_spans(*code, *html.value());
      if (html.value() && options_.hl == HlMode::Toks) toks = toks_of(*html.value());
    }
  }
  if (options_.code_wrap) {
    // The wrapper is built only when it stays, but the hook sees it already in place.
    const std::string outer = toks ? wrapper_html(*toks, dom_.to_html(pre)) : dom_.to_html(pre);
    HookResult wrapped = options_.code_wrap(outer, as_view(lang), text);
    if (!wrapped) return Failure{wrapped.message()};
    if (wrapped.value()) {
      replace_with_fragment(pre, *wrapped.value());
      return std::nullopt;
    }
  }
  if (toks) splices_.wrap(*dom_.node(pre).parent, pre, dom_.create_element("hl-code", {{"toks", *toks}}));
  return std::nullopt;
}

// The code element's content becomes a copy of the highlighter's: the content of its `code` when
// it is one `pre` > `code`, else the whole fragment.
void Exporter::apply_spans(NodeId code, std::string_view html) {
  const Dom fragment = fast5ever::dom::parse_fragment(html);
  NodeId source = 0;
  const std::vector<NodeId> tops = fragment.element_children(0);
  if (tops.size() == 1 && fragment.is_tag(tops[0], "pre")) {
    if (auto inner = first_child_tag(fragment, tops[0], "code")) source = *inner;
  }
  dom_.clear_children(code);
  const NodeId copy = dom_.import(fragment, source);
  // The copy is fresh and detached: as a Document it hands all its children over in one move.
  dom_.node_mut(copy).data = fast5ever::dom::Document{};
  must(dom_.insert_before(code, copy));
}

}  // namespace vedavi::exporter
