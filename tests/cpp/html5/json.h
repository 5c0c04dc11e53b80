// A small JSON reader for the test data files. Strings come out as generalized UTF-8: a "\u"
// escape of a lone surrogate is encoded like any other code point, so the test files' unpaired
// surrogates survive as bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testjson {

struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Value> array;
  std::vector<std::pair<std::string, Value>> object;  // members in file order

  bool is_null() const { return kind == Kind::Null; }
  const Value* find(std::string_view key) const {
    for (const auto& [name, value] : object) {
      if (name == key) return &value;
    }
    return nullptr;
  }
};

inline void append_code_point(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

inline std::optional<std::uint32_t> hex4(std::string_view s, std::size_t pos) {
  if (s.size() - pos < 4 || pos > s.size()) return std::nullopt;
  std::uint32_t v = 0;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    const char c = s[i];
    v <<= 4;
    if (c >= '0' && c <= '9') {
      v |= static_cast<std::uint32_t>(c - '0');
    } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
      v |= static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
    } else {
      return std::nullopt;
    }
  }
  return v;
}

// Decodes the "\uXXXX" escapes of `s` (pairs of surrogates joined), leaving everything else.
// Used again on the strings of "doubleEscaped" tests.
inline std::string decode_u_escapes(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    std::optional<std::uint32_t> cp;
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'u') cp = hex4(s, i + 2);
    if (!cp) {
      out.push_back(s[i++]);
      continue;
    }
    i += 6;
    if (*cp >= 0xD800 && *cp <= 0xDBFF && i + 1 < s.size() && s[i] == '\\' && s[i + 1] == 'u') {
      const auto low = hex4(s, i + 2);
      if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
        cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
        i += 6;
      }
    }
    append_code_point(*cp, out);
  }
  return out;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  std::optional<Value> document() {
    auto v = value(0);
    skip_space();
    if (!v || pos_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void skip_space() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
  }

  bool eat(char c) {
    skip_space();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<std::string> string() {
    if (!eat('"')) return std::nullopt;
    std::string out;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= s_.size()) return std::nullopt;
      c = s_[pos_++];
      switch (c) {
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          // Hand the escape (and a following low surrogate's) to the shared decoder.
          std::size_t end = pos_ + 4;
          if (end + 6 <= s_.size() && s_[end] == '\\' && s_[end + 1] == 'u') end += 6;
          if (!hex4(s_, pos_)) return std::nullopt;
          const std::string decoded = decode_u_escapes(s_.substr(pos_ - 2, end - (pos_ - 2)));
          out.append(decoded);
          pos_ = end;
          break;
        }
        default: out.push_back(c); break;
      }
    }
    if (pos_ >= s_.size()) return std::nullopt;
    ++pos_;
    return out;
  }

  std::optional<Value> value(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    skip_space();
    if (pos_ >= s_.size()) return std::nullopt;
    Value v;
    const char c = s_[pos_];
    if (c == '"') {
      auto s = string();
      if (!s) return std::nullopt;
      v.kind = Value::Kind::String;
      v.string = std::move(*s);
    } else if (c == '{') {
      ++pos_;
      v.kind = Value::Kind::Object;
      if (eat('}')) return v;
      do {
        auto key = string();
        if (!key || !eat(':')) return std::nullopt;
        auto member = value(depth + 1);
        if (!member) return std::nullopt;
        v.object.emplace_back(std::move(*key), std::move(*member));
      } while (eat(','));
      if (!eat('}')) return std::nullopt;
    } else if (c == '[') {
      ++pos_;
      v.kind = Value::Kind::Array;
      if (eat(']')) return v;
      do {
        auto item = value(depth + 1);
        if (!item) return std::nullopt;
        v.array.push_back(std::move(*item));
      } while (eat(','));
      if (!eat(']')) return std::nullopt;
    } else if (literal("true") || literal("false")) {
      v.kind = Value::Kind::Bool;
      v.boolean = s_[pos_ - 1] == 'e' && s_[pos_ - 2] == 'u';
    } else if (literal("null")) {
      v.kind = Value::Kind::Null;
    } else {
      const std::size_t start = pos_;
      while (pos_ < s_.size() && (std::string_view("+-.eE0123456789").find(s_[pos_]) != std::string_view::npos)) ++pos_;
      if (pos_ == start) return std::nullopt;
      v.kind = Value::Kind::Number;
      v.number = std::stod(std::string(s_.substr(start, pos_ - start)));
    }
    return v;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

inline std::optional<Value> parse(std::string_view text) { return Reader(text).document(); }

}  // namespace testjson
