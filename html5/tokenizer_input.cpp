// Input preprocessing: newline normalisation, and the characters that are errors wherever they
// stand in the input.
#include <cstring>

#include "html5/tokenizer_machine.h"
#include "text/utf8.h"

namespace html5::detail {
namespace {

bool is_noncharacter(char32_t cp) { return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE; }

// C0 controls and DEL, less NUL (the states judge it) and the white space.
bool is_ascii_error(unsigned char b) {
  return (b < 0x20 && b != 0 && b != '\t' && b != '\n' && b != '\f' && b != '\r') || b == 0x7F;
}

// ED A0-BF xx: a surrogate encoded as if it were a character.
bool is_encoded_surrogate(std::string_view in, std::size_t pos) {
  return pos + 2 < in.size() && static_cast<unsigned char>(in[pos]) == 0xED &&
         (static_cast<unsigned char>(in[pos + 1]) & 0xE0) == 0xA0 &&
         vedavi::utf8::is_continuation(static_cast<unsigned char>(in[pos + 2]));
}

}  // namespace

bool normalize_newlines(std::string_view in, std::string& out) {
  if (in.empty() || std::memchr(in.data(), '\r', in.size()) == nullptr) return false;
  out.reserve(in.size());
  std::size_t pos = 0;
  while (pos < in.size()) {
    const void* cr = std::memchr(in.data() + pos, '\r', in.size() - pos);
    const std::size_t at = cr == nullptr ? in.size() : static_cast<const char*>(cr) - in.data();
    out.append(in.data() + pos, at - pos);
    if (at == in.size()) break;
    out.push_back('\n');
    pos = at + 1;
    if (pos < in.size() && in[pos] == '\n') ++pos;
  }
  return true;
}

std::vector<InputStreamError> find_input_stream_errors(std::string_view in) {
  std::vector<InputStreamError> found;
  for (std::size_t pos = 0; pos < in.size();) {
    const unsigned char b = static_cast<unsigned char>(in[pos]);
    if (b < 0x80) {
      if (is_ascii_error(b)) found.push_back({pos, TokenizerError::ControlCharacterInInputStream});
      ++pos;
      continue;
    }
    if (is_encoded_surrogate(in, pos)) {
      found.push_back({pos, TokenizerError::SurrogateInInputStream});
      pos += 3;
      continue;
    }
    const vedavi::utf8::Decoded d = vedavi::utf8::decode(in, pos);
    if (d.valid && d.cp <= 0x9F) {
      found.push_back({pos, TokenizerError::ControlCharacterInInputStream});
    } else if (d.valid && is_noncharacter(d.cp)) {
      found.push_back({pos, TokenizerError::NoncharacterInInputStream});
    }
    pos += d.len;
  }
  return found;
}

}  // namespace html5::detail
