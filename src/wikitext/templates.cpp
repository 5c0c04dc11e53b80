// Templates, parser functions and parameters as operations.
#include "wikitext/templates.h"

#include "text/scan.h"
#include "text/unicode.h"

namespace vedavi::wikitext {
namespace {

bool is_punctuation_template(std::string_view head) {
  if (head.size() > 4) return false;
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

// The head: the first piece with its comments removed, trimmed, in a source it can be sliced
// from. For a parser function ("#name:first argument") only the name is copied without its
// comments; the first argument stays a range of the template's own source, whose comments the
// inline scan drops. Copying it would copy the head of every nested function again: quadratic.
struct Head {
  Source* source;
  Range text;
  std::optional<Range> function_argument;  // set only when the head had comments
};

bool is_function_name(std::string_view name) {
  const std::string_view trimmed = unicode::trim_start(name);
  return trimmed.starts_with('#') && trimmed != "#invoke";
}

Head head_of(Source& source, Range piece, SourcePool& pool) {
  if (!source.find(Needle::CommentOpen, piece.begin, piece.end))
    return Head{&source, trim_range(source, piece), std::nullopt};
  const std::string_view text = source.text();
  std::string name;
  std::optional<Range> argument_range;
  for (std::size_t pos = piece.begin; pos < piece.end;) {
    if (source.starts_with(pos, piece.end, "<!--")) {
      const auto close = source.find(Needle::CommentEnd, pos, piece.end);
      pos = close ? *close + 3 : piece.end;  // an unclosed comment drops the rest
      continue;
    }
    if (text[pos] == ':' && is_function_name(name)) {
      argument_range = Range{pos + 1, piece.end};
      name += ':';
      break;
    }
    name += text[pos++];
  }
  Source& own = pool.add(std::move(name));
  return Head{&own, trim_range(own, Range{0, own.size()}), argument_range};
}

// "#name:first argument" or "#name".
void parser_function(Source& source, const Head& head, OperationPlan& plan) {
  const Range after_hash{head.text.begin + 1, head.text.end};
  const std::size_t colon = head.source->slice(after_hash).find(':');
  plan.operation.action = "function";
  if (colon == std::string_view::npos) {
    plan.operation.name = std::string(unicode::trim(head.source->slice(after_hash)));
    return;
  }
  const std::size_t colon_at = after_hash.begin + colon;
  plan.operation.name =
      std::string(unicode::trim(head.source->slice(Range{after_hash.begin, colon_at})));
  if (head.function_argument) {
    if (!head.function_argument->empty())
      plan.args.push_back(argument(source, *head.function_argument));
  } else if (colon_at + 1 < head.text.end) {
    plan.args.push_back(argument(*head.source, Range{colon_at + 1, head.text.end}));
  }
}

}  // namespace

OperationPlan plan_operation(Source& source, bool is_parameter, Range body, Range whole,
                             SourcePool& pool) {
  OperationPlan plan;
  const std::vector<Range> pieces = source.split_top(body, "|");
  const Head head = head_of(source, pieces.front(), pool);
  const std::string_view head_text = head.source->slice(head.text);
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
    parser_function(source, head, plan);
  } else {
    plan.operation.action = "transclude";
    plan.operation.name = std::string(head_text);
  }
  for (std::size_t i = 1; i < pieces.size(); ++i) plan.args.push_back(argument(source, pieces[i]));
  return plan;
}

}  // namespace vedavi::wikitext
