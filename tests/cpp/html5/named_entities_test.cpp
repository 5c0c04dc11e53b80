// The named character reference table: every name finds itself, long texts are read only as far
// as the longest name, and the committed rows are what their generator writes.
#include "html5/named_entities.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

TEST(NamedEntityTable, EveryNameFindsItself) {
  for (const html5::NamedEntity& row : html5::named_entities()) {
    ASSERT_EQ(html5::find_named_entity(row.name), &row) << row.name;
    ASSERT_EQ(html5::longest_named_entity_prefix(row.name), &row) << row.name;
    // A legacy form is also the longest prefix of itself followed by other text.
    ASSERT_TRUE(row.name.ends_with(';') || html5::longest_named_entity_prefix(std::string(row.name) + "=x") == &row);
  }
  const std::string text = "amp" + std::string(1 << 20, 'a');
  ASSERT_NE(html5::longest_named_entity_prefix(text), nullptr);
  EXPECT_EQ(html5::longest_named_entity_prefix(text)->name, "amp");
  EXPECT_EQ(html5::find_named_entity(text), nullptr);
}

// The banner line names the Python version that wrote the rows, so it is left out.
TEST(NamedEntityTable, MatchesItsGenerator) {
  const std::string source = __FILE__, suffix = "tests/cpp/html5/named_entities_test.cpp";
  if (!source.starts_with("/") || !source.ends_with(suffix)) GTEST_SKIP() << "no source path";
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not available";
  const std::string root = source.substr(0, source.size() - suffix.size());
  char out_path[] = "/tmp/vedavi_named_entities_XXXXXX";
  const int fd = mkstemp(out_path);
  ASSERT_GE(fd, 0);
  close(fd);
  const int status = std::system(("python3 " + root + "tools/gen_named_entities.py --out " + out_path + " 2>/dev/null").c_str());
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
