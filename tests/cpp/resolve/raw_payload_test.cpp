#include "resolve/raw_payload.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

// The payload, or "<none>", then " ! " and the warning if there is one.
std::string shown(const RawPayload& raw) {
  return raw.payload.value_or("<none>") + (raw.warning ? " ! " + *raw.warning : "");
}

std::string bad(std::string_view message) {
  return "<none> ! malformed base64 VEDAVI raw payload: " + std::string(message);
}

std::string unknown(std::string_view encoding) {
  return "<none> ! unknown VEDAVI raw encoding '" + std::string(encoding) + "'; payload dropped";
}

TEST(RawPayload, Encodings) {
  struct Case {
    std::string_view text;
    std::optional<std::string_view> encoding;
    std::string expected;
  };
  const Case cases[] = {
      {"", std::nullopt, ""}, {"a &amp; <b>", std::nullopt, "a &amp; <b>"}, {"aGk=", "html", "aGk="},
      {"a &amp;lt; b", "html", "a &lt; b"},  // decoded once
      {"&#x41;&#66;&eacute;&unknown; &amp", "html", "AB\xc3\xa9&unknown; &amp"}, {"aGk=", "base64", "hi"},
      {"aG\r\nk=\r\n", "base64", "hi"}, {" \ta\fG\nk\r= ", "base64", "hi"}, {"", "base64", ""},
      {" \r\n\t\f", "base64", ""}, {"aMOpbGxvCg==", "base64", "h\xc3\xa9llo\n"}, {"aGk", "base64", bad("Invalid padding")},
      // Only ASCII white space is removed: a no-break space or a vertical tab stays.
      {"aG\xc2\xa0k=", "base64", bad("Invalid symbol 194, offset 2.")},
      {"aG\vk=", "base64", bad("Invalid symbol 11, offset 2.")},
      {"&amp;", "HTML", unknown("HTML")}, {"aGk=", "Base64", unknown("Base64")}, {"x", "", unknown("")},
      {"x", "rot13", unknown("rot13")},
      // Decoded bytes that are not UTF-8: the first error, as Python's decoder describes it.
      {"/w==", "base64", bad("invalid utf-8 sequence of 1 bytes from index 0")},    // FF
      {"wK8=", "base64", bad("invalid utf-8 sequence of 1 bytes from index 0")},    // C0 AF
      {"7aCA", "base64", bad("invalid utf-8 sequence of 1 bytes from index 0")},    // ED A0 80
      {"4oJh", "base64", bad("invalid utf-8 sequence of 2 bytes from index 0")},    // E2 82 'a'
      {"8J+YYQ==", "base64", bad("invalid utf-8 sequence of 3 bytes from index 0")},  // F0 9F 98 'a'
      {"wg==", "base64", bad("incomplete utf-8 byte sequence from index 0")},       // C2
      {"YcI=", "base64", bad("incomplete utf-8 byte sequence from index 1")},       // 'a' C2
      {"4oI=", "base64", bad("incomplete utf-8 byte sequence from index 0")},       // E2 82
      {"b2vwn5g=", "base64", bad("incomplete utf-8 byte sequence from index 2")},   // "ok" F0 9F 98
  };
  for (const Case& c : cases) EXPECT_EQ(shown(decode_raw(c.text, c.encoding)), c.expected) << c.text;
  EXPECT_FALSE(utf8_error("h\xc3\xa9llo \xf0\x9f\x98\x80"));
  EXPECT_EQ(shown(decode_raw(test::repeat("YWJj", 250000) + "\n", "base64")), test::repeat("abc", 250000));
}

// Each case fails on exactly one check, or on the first of several in the order they are made:
// a stray last symbol, then the whole quads from the start, then the last quad's symbols and
// padding, its length, its padding count, and the bits its last symbol leaves over.
TEST(Base64, ErrorsInCheckOrder) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"AAAA!", "Invalid symbol 33, offset 4."},     {"!AAA!", "Invalid symbol 33, offset 4."},
      {"!AAAA", "Invalid symbol 33, offset 0."},     {"AAAA!AAA", "Invalid symbol 33, offset 4."},
      {"AA=AAAAA", "Invalid symbol 61, offset 2."},  {"AA==AA==", "Invalid symbol 61, offset 2."},
      {"AAA==", "Invalid symbol 61, offset 3."},     {"AAAA=", "Invalid symbol 61, offset 4."},
      {"====", "Invalid symbol 61, offset 0."},      {"A===", "Invalid symbol 61, offset 1."},
      {"AAAAA=A=", "Invalid symbol 61, offset 5."},  {"AA=A", "Invalid symbol 61, offset 2."},
      {"AAAAAA!A", "Invalid symbol 33, offset 6."},  {"A", "Invalid input length: 1"},
      {"AAAAA", "Invalid input length: 5"},          {"AA", "Invalid padding"},
      {"AAA", "Invalid padding"},                    {"AA=", "Invalid padding"},
      {"AAAAAB=", "Invalid padding"},                {"AB==", "Invalid last symbol 66, offset 1."},
      {"AAB=", "Invalid last symbol 66, offset 2."}, {"AAAAAB==", "Invalid last symbol 66, offset 5."},
  };
  for (const auto& [text, message] : cases) {
    const Outcome<std::string> decoded = decode_base64(text);
    ASSERT_FALSE(decoded.ok()) << text;
    EXPECT_EQ(decoded.message(), message) << text;
  }
}

TEST(Base64, DecodesEveryByte) {
  // The standard encoding of the bytes 0 to len - 1, for every len up to 256.
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t len = 0; len <= bytes.size(); ++len) {
    std::string text;
    for (std::size_t i = 0; i < len; i += 3) {
      const std::size_t n = std::min<std::size_t>(3, len - i);
      std::uint32_t quad = 0;
      for (std::size_t j = 0; j < 3; ++j) quad = (quad << 8) | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
      for (std::size_t j = 0; j < 4; ++j) text += j <= n ? kAlphabet[(quad >> (18 - 6 * j)) & 63] : '=';
    }
    const Outcome<std::string> decoded = decode_base64(text);
    ASSERT_TRUE(decoded.ok()) << text << ": " << decoded.message();
    EXPECT_EQ(decoded.value(), bytes.substr(0, len));
  }
}

}  // namespace
}  // namespace vedavi
