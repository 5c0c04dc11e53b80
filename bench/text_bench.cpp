// Micro benchmark of the text layer: UTF-8 decoding, property lookups, case mapping, word
// counting and entity lookups. Not part of the build; from the repository root:
//   c++ -O2 -std=c++20 -Isrc -I. bench/text_bench.cpp src/text/utf8.cpp src/text/unicode.cpp \
//       html5/named_entities.cpp -o /tmp/text_bench && /tmp/text_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "bench/bench_util.h"
#include "html5/named_entities.h"
#include "text/unicode.h"
#include "text/utf8.h"

namespace {

using bench::measure;
std::string repeat(std::string_view piece, std::size_t bytes) { return bench::repeat_to_size(piece, bytes); }

}  // namespace

int main() {
  using namespace vedavi;
  const std::size_t size = 1 << 20;
  const std::string ascii = repeat("The Quick Brown Fox Jumps Over The Lazy Dog. ", size);
  const std::string greek = repeat("\xCE\x9F\xCE\x94\xCE\x8C\xCE\xA3 \xCE\xA3\xCE\xA4\xCE\x91 "
                                   "\xC3\x9C\x62\x65\x72 \xE4\xB8\xAD\xE6\x96\x87 ", size);
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((i * 2654435761u) >> 13));

  measure("decode_lossy (random bytes)", bytes.size(), [&] { return utf8::decode_lossy(bytes).size(); });
  measure("is_valid (mixed text)", greek.size(), [&] { return std::size_t{utf8::is_valid(greek)}; });
  measure("to_lowercase (ASCII)", ascii.size(), [&] { return unicode::to_lowercase(ascii).size(); });
  measure("to_lowercase (mixed)", greek.size(), [&] { return unicode::to_lowercase(greek).size(); });
  measure("to_uppercase (mixed)", greek.size(), [&] { return unicode::to_uppercase(greek).size(); });
  measure("word_count (ASCII)", ascii.size(), [&] { return unicode::word_count(ascii); });
  measure("word_count (mixed)", greek.size(), [&] { return unicode::word_count(greek); });
  measure("general_category (all code points)", 0x110000 * 4, [] {
    std::size_t n = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) n += unicode::is_punctuation(cp);
    return n;
  });

  const auto rows = html5::named_entities();
  std::size_t name_bytes = 0;
  for (const auto& row : rows) name_bytes += row.name.size();
  measure("longest_named_entity_prefix (all)", name_bytes, [&] {
    std::size_t n = 0;
    for (const auto& row : rows) n += html5::longest_named_entity_prefix(row.name) != nullptr;
    return n;
  });
  measure("find_named_entity (all)", name_bytes, [&] {
    std::size_t n = 0;
    for (const auto& row : rows) n += html5::find_named_entity(row.name) != nullptr;
    return n;
  });
  return 0;
}
