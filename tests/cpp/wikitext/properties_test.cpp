// Properties over random input: no word of the text is lost, and the memoised searches of a
// Source answer as a plain scan would, in any order of asking.
#include <random>

#include "wikitext/source.h"
#include "wikitext_test_util.h"

namespace vedavi::wikitext::test {
namespace {

// Markup that every rule of the converter reacts to; comments and named references, which drop
// text on purpose, are left out.
constexpr std::string_view kMarkup[] = {
    "\n", "\n", "\n\n", " ", " ", "*", "#", ":", ";", "{{", "}}", "{{{", "}}}", "[[", "]]", "|",
    "||", "!!", "=", "==", "''", "'''", "'''''", "{|", "|}", "|-", "|+", "!", "----", "<span>",
    "</span>", "<small>", "</small>", "<sup>", "</sup>", "<ref>", "</ref>", "<math>", "</math>",
    "<blockquote>", "</blockquote>", "<div>", "</div>", "<li>", "</li>", "<br>", "<b>",
    "[http://x ", "]", "[", "{", "__NOTOC__", "Category:", "File:", "<gallery>", "</gallery>",
    "<nowiki>", "</nowiki>", "#if:", "<"};

TEST(WikitextProperties, NoWordIsLost) {
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> pick_markup(0, std::size(kMarkup) - 1);
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    std::vector<std::string> words;
    const std::size_t pieces = 1 + random() % 60;
    for (std::size_t i = 0; i < pieces; ++i) {
      if (random() % 3 == 0) {
        words.push_back("w" + std::to_string(words.size()) + "x");
        input += words.back();
      } else {
        input += kMarkup[pick_markup(random)];
      }
    }
    const std::string html = to_html(input);
    for (const std::string& word : words)
      ASSERT_NE(html.find(word), std::string::npos) << "lost " << word << " of: " << input;
  }
}

// The same scans without memory: a stack of openers, closers matching only the innermost.
std::optional<std::size_t> plain_balanced(std::string_view text, std::size_t inside,
                                          std::size_t limit, Brace brace) {
  static constexpr std::string_view kOpeners[] = {"{{", "{{{", "[["};
  static constexpr std::string_view kClosers[] = {"}}", "}}}", "]]"};
  auto at = [&](std::size_t pos, std::string_view s) {
    return limit - pos >= s.size() && text.substr(pos, s.size()) == s;
  };
  if (inside >= limit) return std::nullopt;
  std::vector<int> open{static_cast<int>(brace)};
  for (std::size_t pos = inside; pos < limit;) {
    if (at(pos, kClosers[open.back()])) {
      pos += kClosers[open.back()].size();
      open.pop_back();
      if (open.empty()) return pos - kClosers[static_cast<int>(brace)].size();
    } else if (at(pos, "{{{") || at(pos, "{{") || at(pos, "[[")) {
      const int kind = at(pos, "{{{") ? 1 : at(pos, "{{") ? 0 : 2;
      open.push_back(kind);
      pos += kOpeners[kind].size();
    } else {
      ++pos;
    }
  }
  return std::nullopt;
}

TEST(WikitextProperties, MemoisedSearchesMatchPlainScans) {
  std::mt19937 random(7);
  constexpr std::string_view kAlphabet = "{{}}[]]a|'>";
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const std::size_t size = random() % 80;
    for (std::size_t i = 0; i < size; ++i) text += kAlphabet[random() % kAlphabet.size()];
    Source source(text);
    for (int query = 0; query < 60; ++query) {
      const std::size_t from = size ? random() % (size + 1) : 0;
      const std::size_t limit = from + (size - from ? random() % (size - from + 1) : 0);
      const auto brace = static_cast<Brace>(random() % 3);
      ASSERT_EQ(source.balanced(from, limit, brace), plain_balanced(text, from, limit, brace))
          << text << " from " << from << " limit " << limit;
      for (Needle needle : {Needle::Gt, Needle::Quote2, Needle::Quote3}) {
        const std::size_t plain = text.find(needle_text(needle), from);
        const bool fits = plain != std::string::npos && plain + needle_text(needle).size() <= limit;
        ASSERT_EQ(source.find(needle, from, limit), fits ? std::optional(plain) : std::nullopt)
            << text << " from " << from;
      }
    }
  }
}

}  // namespace
}  // namespace vedavi::wikitext::test
