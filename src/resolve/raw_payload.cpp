// Raw payloads: decoding by encoding name, the strict base64 decoder and its error texts.
#include "resolve/raw_payload.h"

#include <array>
#include <cstdint>

#include "text/entity.h"
#include "text/utf8.h"

namespace vedavi {

namespace {

constexpr std::uint8_t kInvalid = 0xFF;
constexpr char kPad = '=';

constexpr std::array<std::uint8_t, 256> make_decode_table() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  constexpr std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = make_decode_table();

std::uint8_t symbol_value(char c) { return kDecodeTable[static_cast<unsigned char>(c)]; }

[[gnu::cold]] Failure invalid_symbol(std::size_t offset, char symbol) {
  return {"Invalid symbol " + std::to_string(static_cast<unsigned char>(symbol)) + ", offset " +
          std::to_string(offset) + "."};
}

[[gnu::cold]] Failure invalid_length(std::size_t length) {
  return {"Invalid input length: " + std::to_string(length)};
}

[[gnu::cold]] Failure invalid_last_symbol(std::size_t offset, char symbol) {
  return {"Invalid last symbol " + std::to_string(static_cast<unsigned char>(symbol)) +
          ", offset " + std::to_string(offset) + "."};
}

bool is_ascii_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The last quad (the last one to four symbols) may hold padding; everything before it must be
// whole quads of alphabet symbols.
Outcome<std::string> decode_last_quad(std::string_view text, std::size_t begin, std::string out) {
  std::uint8_t values[4] = {0, 0, 0, 0};
  std::size_t symbols = 0, pads = 0, first_pad = 0;
  char last_symbol = 0;
  for (std::size_t i = begin; i < text.size(); ++i) {
    const char c = text[i];
    if (c == kPad) {
      // Padding may only follow two or three symbols of the quad.
      if (i - begin < 2) return invalid_symbol(i, c);
      if (pads == 0) first_pad = i;
      ++pads;
      continue;
    }
    if (pads > 0) return invalid_symbol(first_pad, kPad);  // a symbol after padding
    const std::uint8_t value = symbol_value(c);
    if (value == kInvalid) return invalid_symbol(i, c);
    values[symbols++] = value;
    last_symbol = c;
  }
  if (!text.empty() && symbols < 2) return invalid_length(begin + symbols);
  if ((symbols + pads) % 4 != 0) return Failure{"Invalid padding"};

  const std::uint32_t bits = (std::uint32_t{values[0]} << 26) | (std::uint32_t{values[1]} << 20) |
                             (std::uint32_t{values[2]} << 14) | (std::uint32_t{values[3]} << 8);
  const std::size_t bytes = symbols * 6 / 8;
  // Bits that no output byte takes mean the text is not the canonical encoding of anything.
  const std::uint32_t unused = ~std::uint32_t{0} >> (bytes * 8);
  if ((bits & unused) != 0) return invalid_last_symbol(begin + symbols - 1, last_symbol);
  for (std::size_t i = 0; i < bytes; ++i) out += static_cast<char>(bits >> (24 - 8 * i));
  return out;
}

}  // namespace

Outcome<std::string> decode_base64(std::string_view text) {
  const std::size_t remainder = text.size() % 4;
  // A lone symbol after the last whole quad is most often stray trailing text: name it before
  // anything earlier.
  if (remainder == 1) {
    const char last = text.back();
    if (last != kPad && symbol_value(last) == kInvalid) return invalid_symbol(text.size() - 1, last);
  }
  std::size_t whole = text.size() - remainder;
  if (remainder == 0 && whole > 0) whole -= 4;

  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  for (std::size_t i = 0; i < whole; i += 4) {
    std::uint32_t quad = 0;
    for (std::size_t j = i; j < i + 4; ++j) {
      const std::uint8_t value = symbol_value(text[j]);
      if (value == kInvalid) return invalid_symbol(j, text[j]);
      quad = (quad << 6) | value;
    }
    out += static_cast<char>(quad >> 16);
    out += static_cast<char>(quad >> 8);
    out += static_cast<char>(quad);
  }
  return decode_last_quad(text, whole, std::move(out));
}

std::optional<std::string> utf8_error(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    const unsigned char byte = static_cast<unsigned char>(bytes[pos]);
    if (byte < 0x80) {
      ++pos;
      continue;
    }
    const utf8::Decoded d = utf8::decode(bytes, pos);
    if (d.valid) {
      pos += d.len;
      continue;
    }
    // A sequence that begins well and is cut off by the end of the bytes is incomplete rather
    // than invalid.
    const bool starts_sequence = byte >= 0xC2 && byte <= 0xF4;
    if (starts_sequence && pos + d.len == bytes.size()) {
      return "incomplete utf-8 byte sequence from index " + std::to_string(pos);
    }
    return "invalid utf-8 sequence of " + std::to_string(d.len) + " bytes from index " +
           std::to_string(pos);
  }
  return std::nullopt;
}

RawPayload decode_raw(std::string_view text, std::optional<std::string_view> encoding) {
  if (!encoding) return {std::string(text), std::nullopt};
  if (*encoding == "html") return {entity::decode_entities(text), std::nullopt};
  if (*encoding == "base64") {
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
      if (!is_ascii_white_space(c)) compact += c;
    }
    Outcome<std::string> decoded = decode_base64(compact);
    if (!decoded) return {std::nullopt, "malformed base64 VEDAVI raw payload: " + decoded.message()};
    if (auto error = utf8_error(decoded.value())) {
      return {std::nullopt, "malformed base64 VEDAVI raw payload: " + *error};
    }
    return {std::move(decoded).value(), std::nullopt};
  }
  return {std::nullopt, "unknown VEDAVI raw encoding '" + std::string(*encoding) + "'; payload dropped"};
}

}  // namespace vedavi
