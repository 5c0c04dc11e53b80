// The block-wise searches find what the plain byte-table search finds, wherever the marked and
// unmarked bytes fall around their sixteen-byte steps.
#include <gtest/gtest.h>

#include <algorithm>
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

// The block-wise searches for a few bytes and for the stops among non-printable bytes find what
// the plain byte-table search finds, at every start and end around their sixteen-byte steps.
TEST(InlineByteScan, BlockSearchesMatchThePlainSearch) {
  constexpr inl::ByteTable kStops = [] {
    inl::ByteTable table = inl::byte_table(" \t\n<]");
    for (int c = 0x80; c < 0x100; ++c) table[c] = true;
    return table;
  }();
  static_assert(inl::marks_no_printable_but<'<', ']'>(kStops));
  static_assert(!inl::marks_no_printable_but<'<'>(kStops));
  constexpr std::string_view kAlphabet = "ab/:.#?()<>]\\ \t\n\r\x7f\x01\xc3\xa9";
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::string text(rng() % 60, 'a');
    for (char& c : text) c = rng() % 5 ? "abc/.:-_"[rng() % 8] : kAlphabet[rng() % kAlphabet.size()];
    for (std::size_t from = 0; from <= text.size(); ++from) {
      // Ends before the start too: a scan may step past the end over an escaped last byte.
      for (std::size_t to : {text.size(), from + (text.size() - from) / 2, from + (text.size() - from) / 3,
                             from - (from > 0)}) {
        ASSERT_EQ((inl::find_any_of<'#', '/', '?'>(text, from, to)),
                  inl::find_marked(text, from, to, inl::byte_table("#/?")))
            << text << " [" << from << ", " << to << ")";
        ASSERT_EQ((inl::find_any_of<'\\', '\t', '\n', '\r', ' ', '(', ')'>(text, from, to)),
                  inl::find_marked(text, from, to, inl::byte_table("\\\t\n\r ()")))
            << text << " [" << from << ", " << to << ")";
        ASSERT_EQ((inl::find_marked_beyond_printable<'<', ']'>(text, from, to, kStops)),
                  inl::find_marked(text, from, to, kStops))
            << text << " [" << from << ", " << to << ")";
      }
    }
  }
}

// The trigger search, by ranges and pairs of bytes one bit apart, finds the bytes of its table
// and no neighbour of theirs ("Z" and "a" around "[" to "`", ";" and ">" around "<" and "=",
// "%" and "'" beside "$" and "&", "\v" and "+" beside the line feed and "*"), from every start
// to ends short of a block, a block and beyond, near the text's end too.
TEST(InlineByteScan, TriggerSearchMatchesThePlainSearch) {
  constexpr std::string_view kAlphabet =
      "aZ`[\\]^_@;<=>?$%&'!\"*)+}~\x7f\n\r\t\x0b\xc3\xa9\xdb\xbc\xfe";
  std::mt19937 rng(13);
  for (int round = 0; round < 300; ++round) {
    std::string text(rng() % 60, 'a');
    for (char& c : text) c = rng() % 3 ? "abc XY 12"[rng() % 9] : kAlphabet[rng() % kAlphabet.size()];
    for (std::size_t from = 0; from <= text.size(); ++from) {
      for (std::size_t to : {text.size(), from + (text.size() - from) / 2, from + 16, from + 17,
                             from - (from > 0)}) {
        to = std::min(to, text.size());
        ASSERT_EQ(inl::find_trigger<false>(text, from, to),
                  inl::find_marked(text, from, to, inl::byte_table("\\`^~[]!*_=<\n&")))
            << text << " [" << from << ", " << to << ")";
        ASSERT_EQ(inl::find_trigger<true>(text, from, to),
                  inl::find_marked(text, from, to, inl::byte_table("\\`^~[]!*_=<\n&$")))
            << text << " [" << from << ", " << to << ")";
      }
    }
  }
}

}  // namespace
}  // namespace vedavi
