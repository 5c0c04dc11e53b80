// Templates ("{{name|arg|key=value}}"), parser functions ("{{#if:...}}", "{{#invoke:...}}")
// and parameters ("{{{1|default}}}"), recorded as "operation" inlines and never expanded.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/document.h"
#include "wikitext/source.h"

namespace vedavi::wikitext {

// One argument still to convert: its value text and its name, if any.
struct ArgText {
  Source* source;
  Range value;  // trimmed
  std::optional<std::string> name;
};

// What a template or parameter becomes: an operation whose argument values the inline scanner
// converts next, or (for the punctuation templates) one raw wikitext inline.
struct OperationPlan {
  std::optional<Inline> raw;
  Inline::Operation operation;
  std::vector<ArgText> args;
};

// `body` lies between the braces, `whole` includes them; `pool` keeps a head that had
// comments removed.
OperationPlan plan_operation(Source& source, bool is_parameter, Range body, Range whole,
                             SourcePool& pool);

}  // namespace vedavi::wikitext
