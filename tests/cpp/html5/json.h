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

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}
  std::optional<Value> document() {
    Value v;
    if (!value(v) || (space(), pos_ != s_.size())) return std::nullopt;
    return v;
  }

 private:
  void space() { while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_; }
  bool eat(char c) { return space(), pos_ < s_.size() && s_[pos_] == c ? (++pos_, true) : false; }

  bool string(std::string& out) {
    if (!eat('"')) return false;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c == '\\' && pos_ < s_.size()) c = s_[pos_++];
      else { out.push_back(c); continue; }
      if (c == 'u') {  // with a following escape, which may be a pair's low surrogate
        const std::size_t len = pos_ + 6 <= s_.size() && s_.substr(pos_ + 4, 2) == "\\u" ? 12 : 6;
        out += decode_u_escapes(s_.substr(pos_ - 2, len));
        pos_ += len - 2;
        continue;
      }
      const char* escape = std::strchr("n\nt\tr\rb\bf\f", c);
      out.push_back(escape ? escape[1] : c);
    }
    return pos_++ < s_.size();
  }

  bool value(Value& v) {
    space();
    if (pos_ >= s_.size()) return false;
    const char open = s_[pos_];
    if (open == '"') return string(v.string);
    if (open == '[' || open == '{') {
      ++pos_;
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
    const std::size_t start = pos_;
    while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || std::strchr("+-.", s_[pos_]))) ++pos_;
    const std::string_view word = s_.substr(start, pos_ - start);
    v.boolean = word == "true";
    v.null = word == "null";
    if (!v.boolean && !v.null && word != "false") v.number = std::stod(std::string(word));
    return !word.empty();
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

inline std::optional<Value> parse(std::string_view text) { return Reader(text).document(); }

}  // namespace testjson
