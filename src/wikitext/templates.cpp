// Templates, parser functions and parameters as operations.
#include "wikitext/templates.h"

#include "text/scan.h"
#include "text/unicode.h"

namespace vedavi::wikitext {
namespace {

// The text without its HTML comments; an unclosed comment drops the rest, as it does in
// inline text.
std::string without_comments(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t open = text.find("<!--", pos);
    out += text.substr(pos, open == std::string_view::npos ? open : open - pos);
    if (open == std::string_view::npos) return out;
    const std::size_t close = text.find("-->", open);
    if (close == std::string_view::npos) return out;
    pos = close + 3;
  }
}

bool is_punctuation_template(std::string_view head) {
  std::string lower(head);
  for (char& c : lower) c = scan::to_ascii_lower(c);
  return lower == "!" || lower == "!!" || lower == "!-" || lower == "pipe";
}

// One argument: "name = value" when a top-level "=" follows a non-blank name.
ArgText argument(Source& source, Range text) {
  if (auto equals = source.find_top(text, "=")) {
    const std::string_view name = unicode::trim(source.slice(Range{text.begin, *equals}));
    if (!name.empty())
      return ArgText{&source, trim_range(source, Range{*equals + 1, text.end}),
                     std::string(name)};
  }
  return ArgText{&source, trim_range(source, text), std::nullopt};
}

// The head with its comments removed, trimmed, in a source it can be sliced from.
std::pair<Source*, Range> head_of(Source& source, Range first_piece, SourcePool& pool) {
  if (source.slice(first_piece).find("<!--") == std::string_view::npos)
    return {&source, trim_range(source, first_piece)};
  Source& own = pool.add(without_comments(source.slice(first_piece)));
  return {&own, trim_range(own, Range{0, own.size()})};
}

// "#name:first argument" or "#name".
void parser_function(Source& head_source, Range head, OperationPlan& plan) {
  const Range after_hash{head.begin + 1, head.end};
  const std::size_t colon = head_source.slice(after_hash).find(':');
  plan.operation.action = "function";
  if (colon == std::string_view::npos) {
    plan.operation.name = std::string(unicode::trim(head_source.slice(after_hash)));
    return;
  }
  const std::size_t colon_at = after_hash.begin + colon;
  plan.operation.name =
      std::string(unicode::trim(head_source.slice(Range{after_hash.begin, colon_at})));
  if (colon_at + 1 < head.end)
    plan.args.push_back(argument(head_source, Range{colon_at + 1, head.end}));
}

}  // namespace

OperationPlan plan_operation(Source& source, bool is_parameter, Range body, Range whole,
                             SourcePool& pool) {
  OperationPlan plan;
  const std::vector<Range> pieces = source.split_top(body, "|");
  auto [head_source, head] = head_of(source, pieces.front(), pool);
  const std::string_view head_text = head_source->slice(head);
  plan.operation.syntax = "mediawiki";
  if (is_parameter) {
    plan.operation.action = "parameter";
    plan.operation.name = std::string(head_text);
  } else if (is_punctuation_template(head_text)) {
    plan.raw = Inline{Inline::RawInline{"wikitext", std::string(source.slice(whole))}};
    return plan;
  } else if (head_text.starts_with("#invoke:")) {
    plan.operation.action = "invoke";
    plan.operation.name = std::string(unicode::trim(head_text.substr(8)));
  } else if (head_text.starts_with("#")) {
    parser_function(*head_source, head, plan);
  } else {
    plan.operation.action = "transclude";
    plan.operation.name = std::string(head_text);
  }
  for (std::size_t i = 1; i < pieces.size(); ++i) plan.args.push_back(argument(source, pieces[i]));
  return plan;
}

}  // namespace vedavi::wikitext
