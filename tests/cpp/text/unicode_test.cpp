// Unicode properties and case mappings: the exact White_Space set, trimming and word splitting,
// linear case mapping, and every code point against Python's unicodedata.
#include "text/unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/cpp/support/helpers.h"
#include "text/utf8.h"

namespace {

using namespace vedavi;
using unicode::GeneralCategory;

const std::vector<char32_t> kWhiteSpace = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
                                          0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                          0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};

TEST(WhiteSpace, ExactlyTheTwentyFiveCodePoints) {
  std::vector<char32_t> found;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (unicode::is_white_space(cp)) found.push_back(cp);
  }
  EXPECT_EQ(found, kWhiteSpace);
}

TEST(Lowercase, IllFormedBytesAreKeptAndSigmasStayLinear) {
  EXPECT_EQ(unicode::to_lowercase("A\xFF" "B\xC3"), "a\xFF" "b\xC3");
  EXPECT_EQ(unicode::to_uppercase("a\x80\xE2\x82" "b"), "A\x80\xE2\x82" "B");
  EXPECT_EQ(unicode::to_lowercase("A\xFF\xCE\xA3"), "a\xFF\xCF\x83");  // no cased letter right before
  // Many sigmas stay linear: each scans only the case-ignorable run next to it.
  const int n = 200000;
  EXPECT_EQ(unicode::to_lowercase(test::repeat("\u03A3'", n)), "\u03C3'" + test::repeat("\u03C3'", n - 2) + "\u03C2'");
  const std::string run(n, '\'');
  EXPECT_EQ(unicode::to_lowercase("A" + run + "\u03A3" + run), "a" + run + "\u03C2" + run);
}

TEST(Trim, ByUnicodeWhiteSpace) {
  struct Case {
    std::string_view in, start, end, both;
  };
  const Case cases[] = {
      {"", "", "", ""}, {" \t\n", "", "", ""}, {"a", "a", "a", "a"},
      {" \u00A0a b\u3000\u0085", "a b\u3000\u0085", " \u00A0a b", "a b"},
      {"\u2029\u000Bx\u000B", "x\u000B", "\u2029\u000Bx", "x"},
      {"\u200Bx\uFEFF", "\u200Bx\uFEFF", "\u200Bx\uFEFF", "\u200Bx\uFEFF"},
      {"\u001Cx\u001F", "\u001Cx\u001F", "\u001Cx\u001F", "\u001Cx\u001F"},
      {" \x80 ", "\x80 ", " \x80", "\x80"}, {" \xE3\x80 ", "\xE3\x80 ", " \xE3\x80", "\xE3\x80"},  // ill-formed bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unicode::trim_start(c.in), c.start) << c.in;
    EXPECT_EQ(unicode::trim_end(c.in), c.end) << c.in;
    EXPECT_EQ(unicode::trim(c.in), c.both) << c.in;
  }
}

TEST(WordCount, RunsOfNonWhiteSpace) {
  const std::pair<std::string_view, std::string_view> cases[] = {  // the words joined by "|"
      {"", ""}, {"   ", ""}, {"one", "one"}, {" one  two\tthree\n", "one|two|three"},
      {"a\u00A0b\u3000c\u2028d", "a|b|c|d"}, {"a\u200Bb", "a\u200Bb"} /* zero width space is not White_Space */,
      {"a\u000Bb\u0085c ", "a|b|c"}, {"\u00E9t\u00E9 \u00E0 Paris", "\u00E9t\u00E9|\u00E0|Paris"},
      {"\x80 a\xE2\x82", "\x80|a\xE2\x82"},  // ill-formed bytes belong to words
  };
  for (const auto& [in, expected] : cases) {
    const auto words = unicode::split_white_space(in);
    std::string joined;
    for (std::string_view word : words) joined += (joined.empty() ? "" : "|") + std::string(word);
    EXPECT_EQ(joined, expected) << in;
    EXPECT_EQ(unicode::word_count(in), words.size()) << in;
  }
}

// --- Against Python's unicodedata (an independent build of the Unicode Character Database). ---

// Prints the general categories as runs ("C first last Xx"), the code points whose str.lower() or
// str.upper() differ from themselves ("M cp lower upper", dot-separated hex), those of
// str.isspace() ("S cp"), and the lowercase of every string of one to four characters over an
// alphabet of capital sigmas, cased, case-ignorable and other characters ("L lower").
constexpr char kPythonDump[] = R"(python3 -c '
import itertools, unicodedata as u
hx = lambda s: ".".join(format(ord(c), "x") for c in s)
print("V", u.unidata_version)
run, start = None, 0
for cp in range(0x110001):
    cat = u.category(chr(cp)) if cp <= 0x10FFFF else None
    if cat != run:
        if run is not None: print("C", start, cp - 1, run)
        run, start = cat, cp
for cp in range(0x110000):
    c = chr(cp)
    if u.category(c) in ("Cn", "Cs", "Co"): continue
    if c.lower() != c or c.upper() != c: print("M", cp, hx(c.lower()), hx(c.upper()))
    if c.isspace(): print("S", cp)
for n in range(1, 5):
    for t in itertools.product("\u03a3A\x27. \u03011\u02b0\u0345\u00c0", repeat=n): print("L", hx("".join(t).lower()))
' 2>/dev/null)";
constexpr std::string_view kSigmaAlphabet[] = {"\u03A3", "A", "'", ".", " ", "\u0301", "1", "\u02B0", "\u0345", "\u00C0"};

struct PythonData {
  std::string version;
  std::vector<std::string> category = std::vector<std::string>(0x110000);
  std::map<char32_t, std::pair<std::string, std::string>> mappings;  // UTF-8 lower, upper
  std::vector<char32_t> spaces;
  std::vector<std::string> lowered;  // the short strings, in itertools.product order
};

std::string parse_hex_list(const std::string& text) {
  std::string out, item;
  std::stringstream in(text);
  while (std::getline(in, item, '.')) utf8::encode(static_cast<char32_t>(std::stoul(item, nullptr, 16)), out);
  return out;
}

bool load_python_data(PythonData& data) {
  FILE* pipe = popen(kPythonDump, "r");
  std::string text;
  char buf[1 << 16];
  for (std::size_t n; pipe && (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
  if (pipe == nullptr || pclose(pipe) != 0) return false;
  std::istringstream in(text);
  std::string tag, a, b;
  unsigned long cp, last;
  while (in >> tag) {
    if (tag == "V" && in >> data.version) continue;
    if (tag == "C" && in >> cp >> last >> a && last < 0x110000) {
      std::fill(data.category.begin() + cp, data.category.begin() + last + 1, a);
    } else if (tag == "M" && in >> cp >> a >> b) {
      data.mappings[static_cast<char32_t>(cp)] = {parse_hex_list(a), parse_hex_list(b)};
    } else if (tag == "S" && in >> cp) {
      data.spaces.push_back(static_cast<char32_t>(cp));
    } else if (tag == "L" && in >> a) {
      data.lowered.push_back(parse_hex_list(a));
    } else {
      return false;
    }
  }
  return !data.category[0x10FFFF].empty();
}

// The data, or nothing when python3 with unicodedata is not available.
const PythonData* python() {
  static const std::unique_ptr<PythonData> data = [] {
    auto loaded = std::make_unique<PythonData>();
    return load_python_data(*loaded) ? std::move(loaded) : nullptr;
  }();
  return data.get();
}

// Categories, the derived properties that include whole categories, and full case mappings of
// every code point assigned in our tables and in Python's (Unicode 14 on Python 3.11).
TEST(AgainstPython, EveryAssignedCodePoint) {
  const PythonData* py = python();
  if (py == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  constexpr std::string_view kCategoryNames[] = {"Lu", "Ll", "Lt", "Lm", "Lo", "Mn", "Mc", "Me", "Nd", "Nl",
                                                 "No", "Pc", "Pd", "Ps", "Pe", "Pi", "Pf", "Po", "Sm", "Sc",
                                                 "Sk", "So", "Zs", "Zl", "Zp", "Cc", "Cf", "Cs", "Co", "Cn"};
  std::size_t compared = 0, mapped = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const std::string& cat = py->category[cp];
    const GeneralCategory ours = unicode::general_category(cp);
    if (cat == "Cn" || ours == GeneralCategory::Cn) continue;
    ++compared;
    ASSERT_EQ(kCategoryNames[static_cast<int>(ours)], cat) << unsigned(cp) << " (Python's Unicode " << py->version << ")";
    const auto in = [&](std::initializer_list<std::string_view> cats) {
      return std::find(cats.begin(), cats.end(), cat) != cats.end();
    };
    const std::pair<bool, bool> implications[] = {  // {category says so, property holds}
        {cat[0] == 'L' || cat == "Nl", unicode::is_alphabetic(cp)},
        {cat == "Ll", unicode::is_lowercase(cp)},
        {cat == "Lu", unicode::is_uppercase(cp)},
        {in({"Lu", "Ll", "Lt"}) || unicode::is_lowercase(cp) || unicode::is_uppercase(cp), unicode::is_cased(cp)},
        {in({"Mn", "Me", "Cf", "Lm", "Sk"}), unicode::is_case_ignorable(cp)},
        {in({"Mn", "Me"}), unicode::is_grapheme_extend(cp)},
        {cat[0] == 'N', unicode::is_number(cp)},
    };
    for (std::size_t i = 0; i < std::size(implications); ++i) {
      ASSERT_TRUE(!implications[i].first || implications[i].second) << unsigned(cp) << " " << cat << " #" << i;
    }
    if (cat == "Cs" || cat == "Co") continue;
    std::string self, lower, upper;
    utf8::encode(cp, self);
    std::string expected_lower = self, expected_upper = self;
    if (auto it = py->mappings.find(cp); it != py->mappings.end()) {
      std::tie(expected_lower, expected_upper) = it->second;
      ++mapped;
    }
    unicode::append_lowercase_char(cp, lower);
    unicode::append_uppercase(cp, upper);
    ASSERT_EQ(lower, expected_lower) << unsigned(cp);
    ASSERT_EQ(upper, expected_upper) << unsigned(cp);
    // A lone character has no word around it, so the string form agrees too.
    ASSERT_EQ(unicode::to_lowercase(self), expected_lower) << unsigned(cp);
  }
  EXPECT_GT(compared, 280000u);  // planes 15 and 16 are private use, so most code points count
  EXPECT_GT(mapped, 2500u);
}

TEST(AgainstPython, FinalSigmaInEveryShortContext) {
  const PythonData* py = python();
  if (py == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  ASSERT_EQ(py->lowered.size(), 10u + 100u + 1000u + 10000u);
  std::size_t line = 0;
  for (int count = 10; count <= 10000; count *= 10) {
    for (int k = 0; k < count; ++k) {  // k's decimal digits, most significant first, index the alphabet
      std::string in;
      for (int d = count / 10; d > 0; d /= 10) in += kSigmaAlphabet[k / d % 10];
      ASSERT_EQ(unicode::to_lowercase(in), py->lowered[line++]) << in;
    }
  }
}

// Python's str.isspace() is Zs plus the bidirectional classes WS, B and S: White_Space and the
// four information separators U+001C to U+001F.
TEST(AgainstPython, WhiteSpaceIsIsspaceWithoutTheSeparators) {
  const PythonData* py = python();
  if (py == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  std::vector<char32_t> expected;
  for (char32_t cp : py->spaces) {
    if (cp < 0x1C || cp > 0x1F) expected.push_back(cp);
  }
  EXPECT_EQ(expected, kWhiteSpace);
}

}  // namespace
