// What every fuzz harness shares: turning the fuzzer's bytes into a member's input (a knob byte
// that picks options, then text made valid UTF-8, as the binding always hands over), and the cheap
// invariants each output is held to. A broken invariant prints what broke and aborts, which
// libFuzzer reports as a crash with the input that caused it.
//
// A harness is one file, tests/fuzz/<member>_fuzz.cpp, whose first line names its seed kind
// ("// seeds: md"; the kinds are md, html, raw, words and wiki, see tools/fuzz_seeds.py). The
// build picks it up by its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "model/options.h"

namespace vedavi::fuzz {

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void require(bool holds, const char* what) {
  if (!holds) fail(what);
}

// The length of the well-formed UTF-8 character at `pos`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF are not).
inline std::size_t utf8_char_length(std::string_view s, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[pos + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > s.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

inline bool is_valid_utf8(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t length = utf8_char_length(s, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

// `bytes` with every byte that starts no well-formed character replaced by U+FFFD.
inline std::string valid_utf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t length = utf8_char_length(bytes, pos);
    if (length == 0) {
      text += "\xEF\xBF\xBD";
      ++pos;
    } else {
      text.append(bytes.substr(pos, length));
      pos += length;
    }
  }
  return text;
}

inline void require_utf8(std::string_view out, const char* what) {
  require(is_valid_utf8(out), what);
}

inline bool is_char_boundary(std::string_view s, std::size_t pos) {
  return pos == 0 || pos == s.size() ||
         (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) != 0x80);
}

// A reported byte range [begin, end) lies inside `src` and starts and ends between characters.
inline void require_range(std::string_view src, std::size_t begin, std::size_t end,
                          const char* what) {
  require(begin <= end && end <= src.size(), what);
  require(is_char_boundary(src, begin) && is_char_boundary(src, end), what);
}

// `src` with "\r\n" and lone "\r" read as "\n", as every md entry reads line ends.
inline std::string normalised_line_ends(std::string_view src) {
  std::string text;
  text.reserve(src.size());
  for (std::size_t i = 0; i < src.size(); ++i) {
    if (src[i] != '\r') {
      text += src[i];
      continue;
    }
    text += '\n';
    if (i + 1 < src.size() && src[i + 1] == '\n') ++i;
  }
  return text;
}

// One fuzz input: the first byte picks options, the rest is the text.
struct Input {
  std::uint8_t knobs = 0;
  std::string text;
};

inline Input split_input(const std::uint8_t* data, std::size_t size) {
  Input input;
  if (size == 0) return input;
  input.knobs = data[0];
  input.text = valid_utf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
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

// For members with more options than one byte picks: two knob bytes, then the text.
struct WideInput {
  std::uint8_t knobs = 0;
  std::uint8_t more_knobs = 0;
  std::string text;
};

inline WideInput split_wide_input(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return WideInput{size == 1 ? data[0] : std::uint8_t(0), 0, {}};
  Input rest = split_input(data + 1, size - 1);
  return WideInput{data[0], rest.knobs, std::move(rest.text)};
}

// Chunks that cut `src` into pieces: each chunk's text is the next piece of the source, after the
// first chunk possibly behind a breadcrumb (whole lines: heading lines, and a blank line for the
// block-aware chunkers). Joined, the pieces are the whole source.
template <class Chunks>
void require_source_cut(std::string_view src, const Chunks& chunks, const char* what) {
  std::size_t pos = 0;
  for (const auto& chunk : chunks) {
    std::string_view piece = chunk.text;
    while (!src.substr(pos).starts_with(piece)) {  // drop the breadcrumb's lines
      const std::size_t line_end = piece.find('\n');
      require(pos > 0 && line_end != std::string_view::npos, what);
      piece.remove_prefix(line_end + 1);
    }
    pos += piece.size();
  }
  require(pos == src.size(), what);
}

}  // namespace vedavi::fuzz
