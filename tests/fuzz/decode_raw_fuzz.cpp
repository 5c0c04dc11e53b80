// seeds: raw
// decode_raw: exactly one of payload and warning, each valid UTF-8; a base64 payload of valid
// UTF-8 decodes back to it.
#include <optional>

#include "fuzz_util.h"
#include "resolve/raw_payload.h"

namespace {

const std::optional<std::string_view> kEncodings[] = {std::nullopt, "html", "base64", "hex", ""};

std::string base64(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16;
    if (i + 1 < bytes.size()) group |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) group |= std::uint8_t(bytes[i + 2]);
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= bytes.size() - i ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

}  // namespace

VEDAVI_FUZZ_TARGET(input) {
  using vedavi::fuzz::require;
  const vedavi::RawPayload raw =
      vedavi::decode_raw(input.text, kEncodings[input.knobs % std::size(kEncodings)]);
  require(raw.payload.has_value() != raw.warning.has_value(), "decode_raw gives a payload or a warning");
  if (raw.payload) vedavi::fuzz::require_utf8(*raw.payload, "payloads are valid UTF-8");
  if (raw.warning) vedavi::fuzz::require_utf8(*raw.warning, "warnings are valid UTF-8");
  require(vedavi::decode_raw(base64(input.text), "base64").payload == input.text,
          "base64 of a text decodes back to it");
}
