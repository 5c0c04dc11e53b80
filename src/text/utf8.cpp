// UTF-8 decoding follows the Unicode standard's table of well-formed byte sequences (Table 3-7).
#include "text/utf8.h"

#include <algorithm>
#include <cassert>

namespace vedavi::utf8 {

Decoded decode(std::string_view s, std::size_t pos) {
  assert(pos < s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + pos;
  const std::size_t avail = s.size() - pos;
  const unsigned char b0 = p[0];
  if (b0 < 0x80) return {b0, 1, true};

  std::size_t need;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return {kReplacement, 1, false};
  }
  for (std::size_t i = 1; i <= need; ++i) {
    if (i >= avail) return {kReplacement, i, false};
    const unsigned char b = p[i];
    const unsigned char min = i == 1 ? lo : 0x80;
    const unsigned char max = i == 1 ? hi : 0xBF;
    if (b < min || b > max) return {kReplacement, i, false};
    cp = (cp << 6) | (b & 0x3F);
  }
  return {cp, need + 1, true};
}

void encode(char32_t cp, std::string& out) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
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

std::size_t prev_boundary(std::string_view s, std::size_t pos) {
  pos = std::min(pos, s.size());
  if (pos == 0) return 0;
  std::size_t start = pos - 1;
  const std::size_t limit = pos >= 4 ? pos - 4 : 0;
  while (start > limit && is_continuation(static_cast<unsigned char>(s[start]))) --start;
  return start;
}

char32_t prev_char(std::string_view s, std::size_t pos) {
  pos = std::min(pos, s.size());
  if (pos == 0) return kReplacement;
  const std::size_t start = prev_boundary(s, pos);
  const Decoded d = decode(s, start);
  return start + d.len == pos ? d.cp : kReplacement;
}

bool is_valid(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    const Decoded d = decode(s, i);
    if (!d.valid) return false;
    i += d.len;
  }
  return true;
}

std::string decode_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const Decoded d = decode(bytes, i);
    if (d.valid) {
      out.append(bytes.substr(i, d.len));
    } else {
      encode(kReplacement, out);
    }
    i += d.len;
  }
  return out;
}

std::size_t char_count(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += !is_continuation(c);
  return n;
}

}  // namespace vedavi::utf8
