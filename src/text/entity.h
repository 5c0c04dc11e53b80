// Character references and backslash escapes of the md grammars.
#pragma once

#include <string>
#include <string_view>

namespace vedavi::entity {

// Decodes numeric and named character references. Every "&name;" of the WHATWG table decodes to
// its full value (names need the ";"); numeric references of any length decode, with 0,
// surrogates and values past U+10FFFF giving U+FFFD. A "&" that starts no reference stays.
// Decoded characters are never read again as the start of a reference.
std::string decode_entities(std::string_view text);
void append_decoded_entities(std::string_view text, std::string& out);

// A backslash before ASCII punctuation is dropped; any other backslash stays.
std::string unescape_backslash_punctuation(std::string_view text);
void append_unescaped_punctuation(std::string_view text, std::string& out);

}  // namespace vedavi::entity
