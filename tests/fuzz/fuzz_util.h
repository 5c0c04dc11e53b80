// What every fuzz harness shares: the fuzzer's bytes as a member's input (a knob byte that picks
// options, then text made valid UTF-8, as the binding always hands over) and the invariants each
// output is held to. A broken invariant aborts, which libFuzzer reports with the input.
// A harness, tests/fuzz/<member>_fuzz.cpp, names its seed kind on its first line ("// seeds: md";
// kinds in tools/fuzz_seeds.py) and its body with VEDAVI_FUZZ_TARGET(input) { ... }.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/arena.h"
#include "model/options.h"

namespace vedavi::fuzz {

inline void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The length of the well-formed UTF-8 character at `pos`, or 0 (overlong forms, surrogates and
// values past U+10FFFF are not well-formed).
inline std::size_t utf8_char_length(std::string_view s, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || pos + length > s.size()) return 0;
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;  // second byte
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

inline void require_utf8(std::string_view s, const char* what) {
  for (std::size_t pos = 0, length = 0; pos < s.size(); pos += length) {
    length = utf8_char_length(s, pos);
    require(length != 0, what);
  }
}

// A reported byte range [begin, end) lies inside `src` and starts and ends between characters.
inline void require_range(std::string_view src, std::size_t begin, std::size_t end,
                          const char* what) {
  const auto boundary = [&](std::size_t pos) {
    return pos == src.size() || (static_cast<unsigned char>(src[pos]) & 0xC0) != 0x80;
  };
  require(begin <= end && end <= src.size() && boundary(begin) && boundary(end), what);
}

// `run()`, which must give the same twice.
template <class Run>
auto require_stable(Run run, const char* what) {
  auto first = run();
  require(run() == first, what);
  return first;
}

// `src` with "\r\n" and lone "\r" read as "\n", as every md entry reads line ends.
inline std::string normalised_line_ends(std::string_view src) {
  std::string text;
  for (std::size_t i = 0; i < src.size(); ++i) {
    text += src[i] == '\r' ? '\n' : src[i];
    if (src[i] == '\r' && i + 1 < src.size() && src[i + 1] == '\n') ++i;
  }
  return text;
}

// `text` cut at "\n"; an empty last line counts with `empty_last`.
inline std::vector<std::string_view> lines_of(std::string_view text, bool empty_last) {
  std::vector<std::string_view> lines;
  for (std::size_t begin = 0; begin < text.size() || (empty_last && begin == text.size());) {
    const std::size_t end = std::min(text.find('\n', begin), text.size());
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

// One fuzz input: the first byte picks options, the rest is the text, every byte that starts no
// well-formed character replaced by U+FFFD.
struct Input {
  std::uint8_t knobs = 0;
  std::string text;
};

inline Input split_input(const std::uint8_t* data, std::size_t size) {
  Input input;
  if (size == 0) return input;
  input.knobs = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t length = utf8_char_length(bytes, pos);
    input.text += length ? bytes.substr(pos, length) : "\xEF\xBF\xBD";
    pos += length ? length : 1;
  }
  return input;
}

// Parse options as the knob byte picks them: every math mode, each flag, a Jinja-like and a
// block-only template syntax, and small depth limits beside the defaults.
inline Options md_options(std::uint8_t knobs) {
  Options options;
  options.math = static_cast<MathMode>(knobs & 3);
  options.bare_autolinks = (knobs & 4) != 0;
  options.implicit_figures = (knobs & 8) != 0;
  options.frontmatter = (knobs & 16) != 0;
  if (knobs & 32) {
    options.templates.push_back(TemplateDelimiter{"jinja", "{{", "}}",
                                                  TemplateMarkers{"#", "^", "/"},
                                                  TemplateBalance{U'{', U'}'}, TemplateForm::Auto});
    options.templates.push_back(TemplateDelimiter{"stmt", "{%", "%}", std::nullopt, std::nullopt,
                                                  TemplateForm::Block});
  }
  options.max_block_depth = (knobs & 64) ? 3 : 128;
  options.max_link_paren_depth = (knobs & 128) ? 2 : 32;
  return options;
}

// Chunks, the same each time and valid UTF-8. With `cut`, they cut `src` into its pieces: each
// chunk's text is the next piece, after the first chunk possibly behind a breadcrumb (whole lines).
template <class Chunker>
void check_chunks(std::string_view src, Chunker chunker, bool cut) {
  const auto chunks = require_stable(chunker, "chunking twice gives the same");
  std::size_t pos = 0;
  for (const auto& chunk : chunks) {
    require_utf8(chunk.text, "chunks are valid UTF-8");
    std::string_view piece = chunk.text;
    while (cut && !src.substr(pos).starts_with(piece)) {  // drop the breadcrumb's lines
      const std::size_t line_end = piece.find('\n');
      require(pos > 0 && line_end != std::string_view::npos, "chunks cut the source");
      piece.remove_prefix(line_end + 1);
    }
    pos += piece.size();
  }
  require(!cut || pos == src.size(), "chunks cut the source");
}

}  // namespace vedavi::fuzz

#define VEDAVI_FUZZ_TARGET(input)                                                         \
  static void fuzz_one(vedavi::fuzz::Input& input);                                        \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {     \
    vedavi::ArenaScope arena; /* each input's trees go with it, as in a call */           \
    vedavi::fuzz::Input input = vedavi::fuzz::split_input(data, size);                     \
    fuzz_one(input);                                                                       \
    return 0;                                                                              \
  }                                                                                        \
  static void fuzz_one(vedavi::fuzz::Input& input)
