// Unicode properties and case mappings: the exact White_Space set, trimming and word splitting,
// linear case mapping, and every code point against Python's unicodedata.
#include "text/unicode.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
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

constexpr std::string_view kCategoryNames[] = {
    "Lu", "Ll", "Lt", "Lm", "Lo", "Mn", "Mc", "Me", "Nd", "Nl", "No", "Pc", "Pd", "Ps", "Pe",
    "Pi", "Pf", "Po", "Sm", "Sc", "Sk", "So", "Zs", "Zl", "Zp", "Cc", "Cf", "Cs", "Co", "Cn"};

// "U+00E9", for failure messages.
std::string code(char32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
  return buf;
}

std::string_view category_name(char32_t cp) {
  return kCategoryNames[static_cast<int>(unicode::general_category(cp))];
}

// The 25 White_Space code points.
constexpr char32_t kWhiteSpace[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,
                                    0xA0,   0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
                                    0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028,
                                    0x2029, 0x202F, 0x205F, 0x3000};

TEST(WhiteSpace, ExactlyTheTwentyFiveCodePoints) {
  std::vector<char32_t> found;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (unicode::is_white_space(cp)) found.push_back(cp);
  }
  EXPECT_EQ(found, std::vector<char32_t>(std::begin(kWhiteSpace), std::end(kWhiteSpace)));
  // Look-alikes that are not White_Space.
  for (char32_t cp : {0x1C, 0x1F, 0x180E, 0x200B, 0x2060, 0xFEFF}) {
    EXPECT_FALSE(unicode::is_white_space(cp)) << code(cp);
  }
}

TEST(Lowercase, IllFormedBytesAreKept) {
  EXPECT_EQ(unicode::to_lowercase("A\xFF" "B\xC3"), "a\xFF" "b\xC3");
  EXPECT_EQ(unicode::to_uppercase("a\x80\xE2\x82" "b"), "A\x80\xE2\x82" "B");
  EXPECT_EQ(unicode::to_lowercase("A\xFF\xCE\xA3"), "a\xFF\xCF\x83");  // no cased letter right before
}

TEST(Lowercase, ManySigmasStayLinear) {
  // Each sigma scans only the case-ignorable run next to it.
  const int n = 200000;
  std::string in, expected;
  for (int i = 0; i < n; ++i) {
    in += utf8_of(U"\u03A3'");
    expected += utf8_of(i == 0 ? U"\u03C3'" : i + 1 == n ? U"\u03C2'" : U"\u03C3'");
  }
  EXPECT_EQ(unicode::to_lowercase(in), expected);
  const std::string run(n, '\'');
  EXPECT_EQ(unicode::to_lowercase("A" + run + utf8_of(U"\u03A3") + run),
            "a" + run + utf8_of(U"\u03C2") + run);
}

TEST(Trim, ByUnicodeWhiteSpace) {
  struct Case {
    std::u32string_view in, start, end, both;
  };
  const Case cases[] = {
      {U"", U"", U"", U""},
      {U" \t\n", U"", U"", U""},
      {U"a", U"a", U"a", U"a"},
      {U" \u00A0a b\u3000\u0085", U"a b\u3000\u0085", U" \u00A0a b", U"a b"},
      {U"\u2029\u000Bx\u000B", U"x\u000B", U"\u2029\u000Bx", U"x"},
      {U"\u200Bx\uFEFF", U"\u200Bx\uFEFF", U"\u200Bx\uFEFF", U"\u200Bx\uFEFF"},
      {U"\u001Cx\u001F", U"\u001Cx\u001F", U"\u001Cx\u001F", U"\u001Cx\u001F"},
  };
  for (const Case& c : cases) {
    const std::string in = utf8_of(c.in);
    SCOPED_TRACE(in);
    EXPECT_EQ(unicode::trim_start(in), utf8_of(c.start));
    EXPECT_EQ(unicode::trim_end(in), utf8_of(c.end));
    EXPECT_EQ(unicode::trim(in), utf8_of(c.both));
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
      {U"", {}},
      {U"   ", {}},
      {U"one", {U"one"}},
      {U" one  two\tthree\n", {U"one", U"two", U"three"}},
      {U"a\u00A0b\u3000c\u2028d", {U"a", U"b", U"c", U"d"}},
      {U"a\u200Bb", {U"a\u200Bb"}},  // zero width space is not White_Space
      {U"a\u000Bb\u0085c ", {U"a", U"b", U"c"}},
      {U"\u00E9t\u00E9 \u00E0 Paris", {U"\u00E9t\u00E9", U"\u00E0", U"Paris"}},
  };
  for (const Case& c : cases) {
    const std::string in = utf8_of(c.in);
    SCOPED_TRACE(in);
    EXPECT_EQ(unicode::word_count(in), c.words.size());
    std::vector<std::string> expected;
    for (auto word : c.words) expected.push_back(utf8_of(word));
    const auto words = unicode::split_white_space(in);
    EXPECT_EQ(std::vector<std::string>(words.begin(), words.end()), expected);
  }
  // Ill-formed bytes belong to words.
  EXPECT_EQ(unicode::split_white_space("\x80 a\xE2\x82"),
            (std::vector<std::string_view>{"\x80", "a\xE2\x82"}));
}

// --- Against Python's unicodedata (an independent build of the Unicode Character Database). ---

// Dumps, for every code point, the general category as runs ("C first last Xx"), the code points
// whose str.lower() or str.upper() differ from themselves ("M cp lower upper", each a
// dot-separated list of hex code points) and those of str.isspace() ("S cp").
constexpr char kPythonDump[] = R"(python3 -c "
import unicodedata as u
print(\"unicodedata\", u.unidata_version)
run = None
start = 0
for cp in range(0x110001):
    cat = u.category(chr(cp)) if cp <= 0x10FFFF else None
    if cat != run:
        if run is not None:
            print(\"C\", start, cp - 1, run)
        run, start = cat, cp
hx = lambda s: \".\".join(format(ord(c), \"x\") for c in s)
for cp in range(0x110000):
    c = chr(cp)
    if u.category(c) in (\"Cn\", \"Cs\", \"Co\"):
        continue
    lo, up = c.lower(), c.upper()
    if lo != c or up != c:
        print(\"M\", cp, hx(lo), hx(up))
    if c.isspace():
        print(\"S\", cp)
" 2>/dev/null)";

struct PythonData {
  std::string version;
  std::vector<std::string> category;  // per code point
  std::map<char32_t, std::pair<std::string, std::string>> mappings;  // UTF-8 lower, upper
  std::vector<char32_t> spaces;
};

std::string parse_hex_list(const std::string& text) {
  std::string out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, '.')) utf8::encode(static_cast<char32_t>(std::stoul(item, nullptr, 16)), out);
  return out;
}

bool load_python_data(PythonData& data) {
  FILE* pipe = popen(kPythonDump, "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buf[1 << 16];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  if (pclose(pipe) != 0) return false;

  std::istringstream in(text);
  std::string tag;
  if (!(in >> tag) || tag != "unicodedata" || !(in >> data.version)) return false;
  data.category.assign(0x110000, "");
  while (in >> tag) {
    if (tag == "C") {
      unsigned long first, last;
      std::string cat;
      in >> first >> last >> cat;
      for (unsigned long cp = first; cp <= last && cp < 0x110000; ++cp) data.category[cp] = cat;
    } else if (tag == "M") {
      unsigned long cp;
      std::string lower, upper;
      in >> cp >> lower >> upper;
      data.mappings[static_cast<char32_t>(cp)] = {parse_hex_list(lower), parse_hex_list(upper)};
    } else if (tag == "S") {
      unsigned long cp;
      in >> cp;
      data.spaces.push_back(static_cast<char32_t>(cp));
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
    if (!load_python_data(*data_)) {
      delete data_;
      data_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete data_;
    data_ = nullptr;
  }
  void SetUp() override {
    if (data_ == nullptr) GTEST_SKIP() << "python3 with unicodedata is not available";
  }
  // Assigned in our tables and in Python's (Unicode 14 on Python 3.11).
  static bool assigned_in_both(char32_t cp) {
    return data_->category[cp] != "Cn" && unicode::general_category(cp) != GeneralCategory::Cn;
  }
  static PythonData* data_;
};

PythonData* AgainstPython::data_ = nullptr;

TEST_F(AgainstPython, GeneralCategory) {
  std::size_t compared = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (!assigned_in_both(cp)) continue;
    ++compared;
    ASSERT_EQ(category_name(cp), data_->category[cp]) << code(cp) << " (Python's Unicode "
                                                      << data_->version << ")";
  }
  EXPECT_GT(compared, 280000u);  // planes 15 and 16 are private use, so most code points count
}

TEST_F(AgainstPython, FullCaseMappings) {
  std::size_t mapped = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (!assigned_in_both(cp)) continue;
    const auto cat = unicode::general_category(cp);
    if (cat == GeneralCategory::Cs || cat == GeneralCategory::Co) continue;
    std::string self;
    utf8::encode(cp, self);
    std::string expected_lower = self, expected_upper = self;
    if (auto it = data_->mappings.find(cp); it != data_->mappings.end()) {
      expected_lower = it->second.first;
      expected_upper = it->second.second;
      ++mapped;
    }
    std::string lower, upper;
    unicode::append_lowercase_char(cp, lower);
    unicode::append_uppercase(cp, upper);
    ASSERT_EQ(lower, expected_lower) << code(cp);
    ASSERT_EQ(upper, expected_upper) << code(cp);
    // A lone character has no word around it, so the string form agrees too.
    ASSERT_EQ(unicode::to_lowercase(self), expected_lower) << code(cp);
  }
  EXPECT_GT(mapped, 2500u);
}

// Every string of up to four characters over an alphabet of cased, case-ignorable (some of
// them cased too) and other characters around capital sigmas, lowercased by Python.
TEST_F(AgainstPython, FinalSigmaInEveryShortContext) {
  const std::u32string alphabet = U"\u03A3A'. \u0301" U"1\u02B0\u0345\u00C0";
  std::string script = "import itertools\nA = \"";
  for (char32_t c : alphabet) {
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\U%08X", static_cast<unsigned>(c));
    script += escape;
  }
  script += "\"\nfor n in range(1, 5):\n for t in itertools.product(A, repeat=n):\n"
            "  print(\".\".join(format(ord(c), \"x\") for c in \"\".join(t).lower()))\n";
  char path[] = "/tmp/vedavi_sigma_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, script.data(), script.size()), static_cast<ssize_t>(script.size()));
  close(fd);
  FILE* pipe = popen(("python3 " + std::string(path)).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buf[1 << 16];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  pclose(pipe);
  std::remove(path);

  std::istringstream lines(text);
  std::size_t compared = 0;
  std::vector<std::size_t> index;  // odometer over the alphabet, as itertools.product counts
  for (std::size_t len = 1; len <= 4; ++len) {
    index.assign(len, 0);
    for (bool more = true; more;) {
      std::u32string in;
      for (std::size_t k : index) in.push_back(alphabet[k]);
      std::string line;
      ASSERT_TRUE(std::getline(lines, line));
      ASSERT_EQ(unicode::to_lowercase(utf8_of(in)), parse_hex_list(line)) << utf8_of(in);
      ++compared;
      more = false;
      for (std::size_t k = len; k-- > 0;) {
        if (++index[k] < alphabet.size()) {
          more = true;
          break;
        }
        index[k] = 0;
      }
    }
  }
  EXPECT_EQ(compared, 10u + 100u + 1000u + 10000u);
}

// Python's str.isspace() is Zs plus the bidirectional classes WS, B and S: White_Space and the
// four information separators U+001C to U+001F.
TEST_F(AgainstPython, WhiteSpaceIsIsspaceWithoutTheSeparators) {
  std::vector<char32_t> expected;
  for (char32_t cp : data_->spaces) {
    if (cp < 0x1C || cp > 0x1F) expected.push_back(cp);
  }
  EXPECT_EQ(expected, std::vector<char32_t>(std::begin(kWhiteSpace), std::end(kWhiteSpace)));
}

// The derived properties include whole categories; check that against Python's categories.
TEST_F(AgainstPython, DerivedPropertiesContainTheirCategories) {
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (!assigned_in_both(cp)) continue;
    const std::string& cat = data_->category[cp];
    SCOPED_TRACE(code(cp) + " " + cat);
    if (cat[0] == 'L' || cat == "Nl") {
      ASSERT_TRUE(unicode::is_alphabetic(cp));
    }
    if (cat == "Ll") {
      ASSERT_TRUE(unicode::is_lowercase(cp));
    }
    if (cat == "Lu") {
      ASSERT_TRUE(unicode::is_uppercase(cp));
    }
    if (cat == "Lu" || cat == "Ll" || cat == "Lt") {
      ASSERT_TRUE(unicode::is_cased(cp));
    }
    if (cat == "Mn" || cat == "Me" || cat == "Cf" || cat == "Lm" || cat == "Sk") {
      ASSERT_TRUE(unicode::is_case_ignorable(cp));
    }
    if (cat == "Mn" || cat == "Me") {
      ASSERT_TRUE(unicode::is_grapheme_extend(cp));
    }
    if (cat[0] == 'N') {
      ASSERT_TRUE(unicode::is_number(cp));
    }
    if (unicode::is_lowercase(cp) || unicode::is_uppercase(cp)) {
      ASSERT_TRUE(unicode::is_cased(cp));
    }
  }
}

// The committed tables are what their generator writes from the Unicode Character Database,
// when this machine has the same version of it.
TEST(GeneratedTables, MatchTheirGenerator) {
  const std::string source = __FILE__;
  const std::string suffix = "tests/cpp/core/unicode_test.cpp";
  if (!source.starts_with("/") || !source.ends_with(suffix)) GTEST_SKIP() << "no source path";
  const std::string root = source.substr(0, source.size() - suffix.size());
  std::ifstream proplist("/usr/share/unicode/PropList.txt");
  std::string first_line;
  if (!std::getline(proplist, first_line) || first_line.find("PropList-15.0.0.txt") == std::string::npos) {
    GTEST_SKIP() << "the Unicode Character Database 15.0.0 is not installed";
  }
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not available";
  char out_path[] = "/tmp/vedavi_unicode_tables_XXXXXX";
  const int fd = mkstemp(out_path);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string command = "python3 " + root + "tools/gen_unicode_tables.py --out " + out_path +
                              " 2>/dev/null";
  const int status = std::system(command.c_str());
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string generated = slurp(out_path);
  std::remove(out_path);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(generated == slurp(root + "src/text/unicode_tables.inc"))
      << "src/text/unicode_tables.inc differs from what tools/gen_unicode_tables.py writes";
}

}  // namespace
