// A small JSON reader for the html5lib test files. A "\u" escape of a lone surrogate is encoded like
// any code point (generalized UTF-8), so the files' unpaired surrogates survive as bytes.
#pragma once

#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testjson {

struct Value {
  std::string string;
  double number = 0;
  bool boolean = false, null = false;
  std::vector<Value> array;
  std::vector<std::pair<std::string, Value>> object;  // members in file order
  const Value* find(std::string_view key) const {
    for (const auto& [name, value] : object) if (name == key) return &value;
    return nullptr;
  }
};

inline int hex4(std::string_view s, std::size_t pos) {  // -1 unless four hex digits start at `pos`
  if (pos + 4 > s.size()) return -1;
  int v = 0;
  for (const char c : s.substr(pos, 4)) {
    const char l = static_cast<char>(c | 0x20);
    const int digit = c >= '0' && c <= '9' ? c - '0' : l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
    if (digit < 0) return -1;
    v = v * 16 + digit;
  }
  return v;
}

// Decodes the "\uXXXX" escapes of `s` (a surrogate pair joined), leaving all else: the reader's
// escapes, and again the strings of "doubleEscaped" tests.
inline std::string decode_u_escapes(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    int cp = s.substr(i, 2) == "\\u" ? hex4(s, i + 2) : -1;
    if (cp < 0) {
      out.push_back(s[i++]);
      continue;
    }
    i += 6;
    const int low = s.substr(i, 2) == "\\u" ? hex4(s, i + 2) : -1;
    if (cp >= 0xD800 && cp <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      i += 6;
    }
    const int extra = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    out.push_back(static_cast<char>(extra ? ((0xFF00 >> (extra + 1)) & 0xFF) | (cp >> (6 * extra)) : cp));
    for (int k = extra - 1; k >= 0; --k) out.push_back(static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F)));
  }
  return out;
}

// A recursive-descent reader over `s` from `pos`; false on malformed input.
struct Reader {
  std::string_view s;
  std::size_t pos = 0;

  bool eat(char c) {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    return pos < s.size() && s[pos] == c ? (++pos, true) : false;
  }
  bool string(std::string& out) {
    if (!eat('"')) return false;
    while (pos < s.size() && s[pos] != '"') {
      if (s[pos] != '\\' || pos + 1 >= s.size()) {
        out.push_back(s[pos++]);
      } else if (s[pos + 1] == 'u') {  // with a following escape, which may be a pair's low surrogate
        const std::size_t len = pos + 8 <= s.size() && s.substr(pos + 6, 2) == "\\u" ? 12 : 6;
        out += decode_u_escapes(s.substr(pos, len));
        pos += len;
      } else {
        const char* escape = std::strchr("n\nt\tr\rb\bf\f", s[pos + 1]);
        out.push_back(escape ? escape[1] : s[pos + 1]);
        pos += 2;
      }
    }
    return pos++ < s.size();
  }
  bool value(Value& v) {
    if (eat('"')) return --pos, string(v.string);
    for (const char open : {'[', '{'}) {
      if (!eat(open)) continue;
      const char close = open == '[' ? ']' : '}';
      if (eat(close)) return true;
      do {
        if (open == '[' ? !value(v.array.emplace_back())
                        : !string(v.object.emplace_back().first) || !eat(':') || !value(v.object.back().second)) {
          return false;
        }
      } while (eat(','));
      return eat(close);
    }
    const std::size_t start = pos;
    while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])) || std::strchr("+-.", s[pos]))) ++pos;
    const std::string_view word = s.substr(start, pos - start);
    v.boolean = word == "true";
    v.null = word == "null";
    if (!v.boolean && !v.null && word != "false") v.number = std::stod(std::string(word));
    return !word.empty();
  }
};

inline std::optional<Value> parse(std::string_view text) {
  Reader reader{text};
  Value v;
  if (!reader.value(v) || (reader.eat(' '), reader.pos != text.size())) return std::nullopt;
  return v;
}

}  // namespace testjson
