#include "model/frontmatter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vedavi {
namespace {

struct Case {
  const char* name;
  std::string text;
  std::optional<StringPairs> pairs;
  std::string body = "";  // the text from the body offset on
};

TEST(Frontmatter, Extract) {
  const std::vector<Case> cases = {
      {"simple", "---\ntitle: Hello\n---\ntext\n", StringPairs{{"title", "Hello"}}, "text\n"},
      {"dots close", "---\na: 1\n...\nx", StringPairs{{"a", "1"}}, "x"},
      {"trailing spaces on delimiters", "---  \na: 1\n--- \t\nx", StringPairs{{"a", "1"}}, "x"},
      {"closing line at the end", "---\na: 1\n---", StringPairs{{"a", "1"}}, ""},
      {"leading spaces void the opener", " ---\na: 1\n---\n", std::nullopt},
      {"indented closer is content", "---\na: 1\n ---\n", std::nullopt},
      {"only comments and blanks", "---\n# c\n\n   \n---\n", std::nullopt},
      {"inner space in key", "---\nauthor name: X\n---\n", StringPairs{{"author name", "X"}}, ""},
      {"key starting with dash", "---\n-a: 1\n---\n", std::nullopt},
      {"key with slash", "---\na/b: 1\n---\n", std::nullopt},
      {"no colon", "---\njust words\n---\n", std::nullopt}, {"empty key", "---\n: v\n---\n", std::nullopt},
      {"quotes removed", "---\na: \"x y\"\nb: 'z'\nc: \"open\nd: \"\n---\n",
       StringPairs{{"a", "x y"}, {"b", "z"}, {"c", "\"open"}, {"d", "\""}}, ""},
      {"value with colons", "---\ntime: 10:30\n---\n", StringPairs{{"time", "10:30"}}, ""},
      {"indented lines ignored", "---\na: 1\n  continued: x\n\tmore\nb:\n---\n",
       StringPairs{{"a", "1"}, {"b", ""}}, ""},
      {"duplicates kept", "---\na: 1\na: 2\n---\n", StringPairs{{"a", "1"}, {"a", "2"}}, ""},
      {"unclosed", "---\na: 1\nb: 2\n", std::nullopt}, {"no frontmatter", "# Title\n", std::nullopt},
      {"empty", "", std::nullopt}, {"opener alone", "---", std::nullopt},
      {"key trailing space", "---\nkey \t: v \n---\n", StringPairs{{"key", "v"}}, ""},
      {"comment inside", "---\n# note: x\na: 1\n---\n", StringPairs{{"a", "1"}}, ""},
      {"non-ASCII value", "---\nt: Grüße\n---\n", StringPairs{{"t", "Grüße"}}, ""},
      {"non-ASCII key voids", "---\nü: 1\n---\n", std::nullopt},
      {"nbsp-only line is blank", "---\n\u00A0\na: 1\n---\n", StringPairs{{"a", "1"}}, ""},
  };
  for (const auto& c : cases) {
    auto got = frontmatter::extract(c.text);
    ASSERT_EQ(got.has_value(), c.pairs.has_value()) << c.name;
    if (!got) continue;
    EXPECT_EQ(got->pairs, *c.pairs) << c.name;
    EXPECT_EQ(c.text.substr(got->body_offset), c.body) << c.name;
  }
}

TEST(Frontmatter, MetaPairsReadAnyLineEnd) {
  const StringPairs expected = {{"a", "1"}, {"b", "2"}};
  EXPECT_EQ(frontmatter::meta_pairs("---\na: 1\nb: 2\n---\n"), expected);
  EXPECT_EQ(frontmatter::meta_pairs("---\r\na: 1\r\nb: 2\r\n---\r\n"), expected);
  EXPECT_EQ(frontmatter::meta_pairs("---\ra: 1\rb: 2\r---"), expected);
  EXPECT_EQ(frontmatter::meta_pairs("---\r\r\na: 1\nb: 2\r---"), expected);
  EXPECT_TRUE(frontmatter::meta_pairs("---\r\na: 1\r\n").empty());
}

TEST(Frontmatter, LargeBlock) {
  std::string text = "---\n";
  for (int i = 0; i < 50'000; ++i) text += "k" + std::to_string(i) + ": v\n";
  text += "---\nbody";
  auto got = frontmatter::extract(text);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->pairs.size(), 50'000u);
  EXPECT_EQ(got->body_offset, text.size() - 4);
}

}  // namespace
}  // namespace vedavi
