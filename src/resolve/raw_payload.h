// Raw payloads: the text of a VEDAVI raw-payload script element decoded back into the payload,
// by the element's `data-encoding` (none, "html" or "base64").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/outcome.h"

namespace vedavi {

// Exactly one of the two is present: the decoded payload, or the warning that says why it was
// dropped.
struct RawPayload {
  std::optional<std::string> payload;
  std::optional<std::string> warning;
};

RawPayload decode_raw(std::string_view text, std::optional<std::string_view> encoding);

// Strict base64 (RFC 4648, standard alphabet, canonical "=" padding, no bits left over in the
// last symbol); the failure names the first problem found.
Outcome<std::string> decode_base64(std::string_view text);

// Nothing for valid UTF-8, else the description of its first error
// ("invalid utf-8 sequence of 1 bytes from index 0").
std::optional<std::string> utf8_error(std::string_view bytes);

}  // namespace vedavi
