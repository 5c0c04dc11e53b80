// The word-skipping search finds what the plain byte-table search finds, wherever the marked and
// unmarked bytes fall around its sixteen-byte steps.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "inline/byte_scan.h"

namespace vedavi {
namespace {

TEST(InlineByteScan, WordSkippingMatchesThePlainSearch) {
  constexpr inl::ByteTable kMarked = inl::byte_table("\\`^~[]!*_=<\n$");
  static_assert(inl::marks_no_word_bytes(kMarked));
  // Word bytes, unmarked punctuation and control bytes, marked bytes, UTF-8 lead and tail bytes.
  constexpr std::string_view kAlphabet = "aZ09 ,.:;()-'\"\t\x7f*[_`\n\xc3\xa9\xe2\x80";
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    std::string text(rng() % 70, ' ');
    // Mostly word bytes, so that whole sixteen-byte chunks are skipped too.
    for (char& c : text) c = rng() % 4 ? "abc XYZ 789"[rng() % 11] : kAlphabet[rng() % kAlphabet.size()];
    for (std::size_t from = 0; from <= text.size(); ++from) {
      for (std::size_t to : {text.size(), from + (text.size() - from) / 2}) {
        ASSERT_EQ(inl::find_marked_beyond_words(text, from, to, kMarked),
                  inl::find_marked(text, from, to, kMarked))
            << text << " [" << from << ", " << to << ")";
      }
    }
  }
}

}  // namespace
}  // namespace vedavi
