#include "html5/named_entities.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

using html5::NamedEntity;

std::size_t code_point_count(std::string_view utf8) {
  std::size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(NamedEntityTable, ShapeAndOrder) {
  const auto rows = html5::named_entities();
  ASSERT_EQ(rows.size(), 2231u);
  std::size_t legacy = 0, two = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const NamedEntity& row = rows[i];
    if (i > 0) {
      ASSERT_LT(rows[i - 1].name, row.name) << row.name;  // strictly ascending bytes
    }
    legacy += !row.name.ends_with(';');
    const std::size_t cps = code_point_count(row.value);
    ASSERT_TRUE(cps == 1 || cps == 2) << row.name;
    two += cps == 2;
  }
  EXPECT_EQ(legacy, 106u);
  EXPECT_EQ(two, 93u);
}

TEST(NamedEntityTable, EveryNameFindsItself) {
  for (const NamedEntity& row : html5::named_entities()) {
    ASSERT_EQ(html5::find_named_entity(row.name), &row) << row.name;
    ASSERT_EQ(html5::longest_named_entity_prefix(row.name), &row) << row.name;
    // A legacy form is also the longest prefix of itself followed by other text.
    if (!row.name.ends_with(';')) {
      const std::string text = std::string(row.name) + "=x";
      ASSERT_EQ(html5::longest_named_entity_prefix(text), &row) << row.name;
    }
  }
}

TEST(NamedEntityLookup, Exact) {
  struct Case {
    std::string_view name;
    const char* value;  // nullptr: no such reference
  };
  const Case cases[] = {
      {"amp;", "&"},
      {"amp", "&"},  // legacy form
      {"AMP;", "&"},
      {"Amp;", nullptr},
      {"lt;", "<"},
      {"nbsp;", "\u00A0"},
      {"NewLine;", "\n"},
      {"Tab;", "\t"},
      {"fjlig;", "fj"},
      {"nvlt;", "<\u20D2"},
      {"bne;", "=\u20E5"},
      {"ThickSpace;", "\u205F\u200A"},
      {"NotEqualTilde;", "\u2242\u0338"},
      {"CounterClockwiseContourIntegral;", "\u2233"},
      {"notin;", "\u2209"},
      {"notin", nullptr},  // only "not" has a legacy form
      {"not", "\u00AC"},
      {"fjlig", nullptr},
      {"ampx", nullptr},
      {"&amp;", nullptr},
      {"", nullptr},
      {";", nullptr},
      {"\xFF", nullptr},
  };
  for (const Case& c : cases) {
    const NamedEntity* found = html5::find_named_entity(c.name);
    if (c.value == nullptr) {
      EXPECT_EQ(found, nullptr) << c.name;
    } else {
      ASSERT_NE(found, nullptr) << c.name;
      EXPECT_EQ(found->name, c.name);
      EXPECT_EQ(found->value, c.value) << c.name;
    }
  }
}

TEST(NamedEntityLookup, LongestPrefix) {
  struct Case {
    std::string_view text;
    const char* name;  // nullptr: no name is a prefix
  };
  const Case cases[] = {
      {"amp;", "amp;"},
      {"amp;x", "amp;"},
      {"ampx", "amp"},
      {"amp", "amp"},
      {"am", nullptr},
      {"notin;", "notin;"},
      {"notin;x", "notin;"},
      {"notit;", "not"},
      {"notin", "not"},
      {"noti", "not"},
      {"not", "not"},
      {"no", nullptr},
      {"AElig;x", "AElig;"},
      {"AEligx", "AElig"},
      {"AEli", nullptr},
      {"fjlig", nullptr},
      {"fjlig;", "fjlig;"},
      {"CounterClockwiseContourIntegral;;", "CounterClockwiseContourIntegral;"},
      {"CounterClockwiseContourIntegral", nullptr},
      {"xyz", nullptr},
      {"", nullptr},
      {"&amp;", nullptr},
      {"\xFF\xFE", nullptr},
      {"copy;2023", "copy;"},
      {"copy2023", "copy"},
      {"lt", "lt"},
      {"ltimes;", "ltimes;"},
      {"ltime", "lt"},
  };
  for (const Case& c : cases) {
    const NamedEntity* found = html5::longest_named_entity_prefix(c.text);
    if (c.name == nullptr) {
      EXPECT_EQ(found, nullptr) << c.text;
    } else {
      ASSERT_NE(found, nullptr) << c.text;
      EXPECT_EQ(found->name, c.name) << c.text;
    }
  }
}

TEST(NamedEntityLookup, LongTextIsReadOnlyAsFarAsTheLongestName) {
  const std::string text = "amp" + std::string(1 << 20, 'a');
  const NamedEntity* found = html5::longest_named_entity_prefix(text);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->name, "amp");
  EXPECT_EQ(html5::find_named_entity(text), nullptr);
}

// The committed rows are what their generator writes; the banner line names the Python version
// that wrote it, so it is left out of the comparison.
TEST(NamedEntityTable, MatchesItsGenerator) {
  const std::string source = __FILE__;
  const std::string suffix = "tests/cpp/html5/named_entities_test.cpp";
  if (!source.starts_with("/") || !source.ends_with(suffix)) GTEST_SKIP() << "no source path";
  const std::string root = source.substr(0, source.size() - suffix.size());
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not available";
  char out_path[] = "/tmp/vedavi_named_entities_XXXXXX";
  const int fd = mkstemp(out_path);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string command = "python3 " + root + "tools/gen_named_entities.py --out " + out_path +
                              " 2>/dev/null";
  const int status = std::system(command.c_str());
  auto body = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    return text.substr(std::min(text.size(), text.find('\n')));
  };
  const std::string generated = body(out_path);
  std::remove(out_path);
  ASSERT_EQ(status, 0);
  EXPECT_FALSE(generated.empty());
  EXPECT_TRUE(generated == body(root + "html5/named_entities.inc"))
      << "html5/named_entities.inc differs from what tools/gen_named_entities.py writes";
}

}  // namespace
