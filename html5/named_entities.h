// The WHATWG named character references, shared by the md decoder and the HTML5 tokenizer.
// Generated rows live in named_entities.inc (tools/gen_named_entities.py).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace html5 {

struct NamedEntity {
  std::string_view name;   // without the leading "&"; ends with ";" unless it is a legacy form
  std::string_view value;  // UTF-8, one or two code points
};

// Every reference (2,231), sorted by name in byte order.
std::span<const NamedEntity> named_entities();

// Exact lookup of a name as written after "&" (include the ";" for the forms that have it).
const NamedEntity* find_named_entity(std::string_view name);

// The longest name that is a prefix of `text` (which starts right after the "&"), for the
// tokenizer's "longest match" rule; nullptr when none is. Inspects at most the longest name's
// length of `text`.
const NamedEntity* longest_named_entity_prefix(std::string_view text);

}  // namespace html5
