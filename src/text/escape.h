// Escaping for VEDAVI HTML: text content, attribute values, URL attributes, ids and fragments.
// Every function appends to the caller's string, except escape_fragment, which builds its own.
#pragma once

#include <string>
#include <string_view>

namespace vedavi {

// "&", "<" and ">" become entities and NUL becomes U+FFFD; everything else, quotes included, is
// copied.
void escape_text(std::string_view text, std::string& out);
// As escape_text, and '"' becomes "&quot;" (VEDAVI attributes are always double-quoted).
void escape_attr(std::string_view text, std::string& out);
// For href and src values: space, '"', '<', '>', '[', '\', ']', '`', control characters and
// every non-ASCII character are percent-encoded, '&' becomes "&amp;", and the rest (an existing
// "%XX" included) is copied. Returns whether every byte was copied as it stands.
bool escape_url_attr(std::string_view url, std::string& out);
// A label made safe for an id and a URL fragment: ASCII letters and digits and "()-./_~" are
// kept, every other character is percent-encoded.
std::string escape_fragment(std::string_view text);
// Markup written as it stands (raw HTML, payloads kept verbatim), except that NUL becomes U+FFFD
// as in escape_text.
void append_markup(std::string_view markup, std::string& out);
// Whether escape_url_attr percent-encodes `byte`.
bool url_percent_encodes(unsigned char byte);
// "%XX" (upper-case hex) for one byte.
void percent_encode_byte(unsigned char byte, std::string& out);
// "%XX" (upper-case hex) for each byte of the UTF-8 form of `c`.
void percent_encode_char(char32_t c, std::string& out);

// Appends the decimal digits of `value`.
void append_number(std::size_t value, std::string& out);

}  // namespace vedavi
