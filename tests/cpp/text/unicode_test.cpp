// Unicode properties and case mappings: the exact White_Space set, trimming and word splitting,
// linear case mapping, and every code point against Python's unicodedata.
#include "text/unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "text/utf8.h"

namespace {

using namespace vedavi;
using unicode::GeneralCategory;

std::string utf8_of(std::u32string_view cps) {
  std::string out;
  for (char32_t cp : cps) utf8::encode(cp, out);
  return out;
}

// "U+00E9", for failure messages.
std::string code(char32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
  return buf;
}

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
  std::string in, expected;
  for (int i = 0; i < n; ++i) {
    in += utf8_of(U"\u03A3'");
    expected += utf8_of(i + 1 == n && i > 0 ? U"\u03C2'" : U"\u03C3'");
  }
  EXPECT_EQ(unicode::to_lowercase(in), expected);
  const std::string run(n, '\'');
  EXPECT_EQ(unicode::to_lowercase("A" + run + utf8_of(U"\u03A3") + run), "a" + run + utf8_of(U"\u03C2") + run);
}

TEST(Trim, ByUnicodeWhiteSpace) {
  struct Case {
    std::u32string_view in, start, end, both;
  };
  const Case cases[] = {
      {U"", U"", U"", U""}, {U" \t\n", U"", U"", U""}, {U"a", U"a", U"a", U"a"},
      {U" \u00A0a b\u3000\u0085", U"a b\u3000\u0085", U" \u00A0a b", U"a b"},
      {U"\u2029\u000Bx\u000B", U"x\u000B", U"\u2029\u000Bx", U"x"},
      {U"\u200Bx\uFEFF", U"\u200Bx\uFEFF", U"\u200Bx\uFEFF", U"\u200Bx\uFEFF"},
      {U"\u001Cx\u001F", U"\u001Cx\u001F", U"\u001Cx\u001F", U"\u001Cx\u001F"},
  };
  for (const Case& c : cases) {
    const std::string in = utf8_of(c.in);
    EXPECT_EQ(unicode::trim_start(in), utf8_of(c.start)) << in;
    EXPECT_EQ(unicode::trim_end(in), utf8_of(c.end)) << in;
    EXPECT_EQ(unicode::trim(in), utf8_of(c.both)) << in;
  }
  // Ill-formed bytes are not white space.
  EXPECT_EQ(unicode::trim(" \x80 "), "\x80");
  EXPECT_EQ(unicode::trim(" \xE3\x80 "), "\xE3\x80");
}

TEST(WordCount, RunsOfNonWhiteSpace) {
  struct Case {
    std::u32string_view in;
    std::vector<std::u32string_view> words;
  };
  const Case cases[] = {
      {U"", {}}, {U"   ", {}}, {U"one", {U"one"}}, {U" one  two\tthree\n", {U"one", U"two", U"three"}},
      {U"a\u00A0b\u3000c\u2028d", {U"a", U"b", U"c", U"d"}},
      {U"a\u200Bb", {U"a\u200Bb"}},  // zero width space is not White_Space
      {U"a\u000Bb\u0085c ", {U"a", U"b", U"c"}},
      {U"\u00E9t\u00E9 \u00E0 Paris", {U"\u00E9t\u00E9", U"\u00E0", U"Paris"}},
  };
  for (const Case& c : cases) {
    const std::string in = utf8_of(c.in);
    EXPECT_EQ(unicode::word_count(in), c.words.size()) << in;
    std::vector<std::string> expected;
    for (auto word : c.words) expected.push_back(utf8_of(word));
    const auto words = unicode::split_white_space(in);
    EXPECT_EQ(std::vector<std::string>(words.begin(), words.end()), expected) << in;
  }
  // Ill-formed bytes belong to words.
  EXPECT_EQ(unicode::split_white_space("\x80 a\xE2\x82"), (std::vector<std::string_view>{"\x80", "a\xE2\x82"}));
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
constexpr char32_t kSigmaAlphabet[] = U"\u03A3A'. \u0301" U"1\u02B0\u0345\u00C0";

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
  if (pipe == nullptr) return false;
  std::string text;
  char buf[1 << 16];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) text.append(buf, n);
  if (pclose(pipe) != 0) return false;
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

class AgainstPython : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    data_ = new PythonData;
    if (!load_python_data(*data_)) delete data_, data_ = nullptr;
  }
  static void TearDownTestSuite() { delete data_, data_ = nullptr; }
  void SetUp() override {
    if (data_ == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  }
  static inline PythonData* data_ = nullptr;
};

// Categories, the derived properties that include whole categories, and full case mappings of
// every code point assigned in our tables and in Python's (Unicode 14 on Python 3.11).
TEST_F(AgainstPython, EveryAssignedCodePoint) {
  constexpr std::string_view kCategoryNames[] = {"Lu", "Ll", "Lt", "Lm", "Lo", "Mn", "Mc", "Me", "Nd", "Nl",
                                                 "No", "Pc", "Pd", "Ps", "Pe", "Pi", "Pf", "Po", "Sm", "Sc",
                                                 "Sk", "So", "Zs", "Zl", "Zp", "Cc", "Cf", "Cs", "Co", "Cn"};
  std::size_t compared = 0, mapped = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const std::string& cat = data_->category[cp];
    const GeneralCategory ours = unicode::general_category(cp);
    if (cat == "Cn" || ours == GeneralCategory::Cn) continue;
    ++compared;
    ASSERT_EQ(kCategoryNames[static_cast<int>(ours)], cat) << code(cp) << " (Python's Unicode " << data_->version << ")";
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
      ASSERT_TRUE(!implications[i].first || implications[i].second) << code(cp) << " " << cat << " #" << i;
    }
    if (cat == "Cs" || cat == "Co") continue;
    std::string self, lower, upper;
    utf8::encode(cp, self);
    std::string expected_lower = self, expected_upper = self;
    if (auto it = data_->mappings.find(cp); it != data_->mappings.end()) {
      std::tie(expected_lower, expected_upper) = it->second;
      ++mapped;
    }
    unicode::append_lowercase_char(cp, lower);
    unicode::append_uppercase(cp, upper);
    ASSERT_EQ(lower, expected_lower) << code(cp);
    ASSERT_EQ(upper, expected_upper) << code(cp);
    // A lone character has no word around it, so the string form agrees too.
    ASSERT_EQ(unicode::to_lowercase(self), expected_lower) << code(cp);
  }
  EXPECT_GT(compared, 280000u);  // planes 15 and 16 are private use, so most code points count
  EXPECT_GT(mapped, 2500u);
}

TEST_F(AgainstPython, FinalSigmaInEveryShortContext) {
  ASSERT_EQ(data_->lowered.size(), 10u + 100u + 1000u + 10000u);
  std::size_t line = 0;
  for (int count = 10; count <= 10000; count *= 10) {
    for (int k = 0; k < count; ++k) {  // k's decimal digits, most significant first, index the alphabet
      std::u32string in;
      for (int d = count / 10; d > 0; d /= 10) in.push_back(kSigmaAlphabet[k / d % 10]);
      ASSERT_EQ(unicode::to_lowercase(utf8_of(in)), data_->lowered[line++]) << utf8_of(in);
    }
  }
}

// Python's str.isspace() is Zs plus the bidirectional classes WS, B and S: White_Space and the
// four information separators U+001C to U+001F.
TEST_F(AgainstPython, WhiteSpaceIsIsspaceWithoutTheSeparators) {
  std::vector<char32_t> expected;
  for (char32_t cp : data_->spaces) {
    if (cp < 0x1C || cp > 0x1F) expected.push_back(cp);
  }
  EXPECT_EQ(expected, kWhiteSpace);
}

}  // namespace
