// The html5lib tree-construction suite: the trees (scripting off, then the few cases written for
// scripting on) and the number of parse errors of every case.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"

namespace html5 {
namespace {

namespace fs = std::filesystem;
using testing::ArenaSink;
using testing::dump_tree;

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

struct TreeCase {
  std::string file;
  int index = 0;  // 1-based within its file
  std::string data;
  std::optional<std::string> fragment_context;
  bool script_on = false;
  std::string expected;
  std::size_t errors = 0;  // lines of #errors and #new-errors
};

// Splits a .dat file into its cases. A case starts at a "#data" line that opens the file or follows
// an empty line; its sections run to the next such line.
std::vector<TreeCase> read_cases(const fs::path& path) {
  std::string bytes = read_bytes(path);
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos <= bytes.size()) {
    std::size_t nl = bytes.find('\n', pos);
    if (nl == std::string::npos) {
      if (pos < bytes.size()) lines.push_back(bytes.substr(pos));
      break;
    }
    lines.push_back(bytes.substr(pos, nl - pos));
    pos = nl + 1;
  }
  std::vector<TreeCase> cases;
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == "#data" && (i == 0 || lines[i - 1].empty())) starts.push_back(i);
  }
  for (std::size_t c = 0; c < starts.size(); ++c) {
    std::size_t begin = starts[c];
    std::size_t end = c + 1 < starts.size() ? starts[c + 1] : lines.size();
    TreeCase tc;
    tc.file = path.filename().string();
    tc.index = static_cast<int>(c) + 1;
    std::string section;
    std::vector<std::string> data, document;
    for (std::size_t i = begin; i < end; ++i) {
      const std::string& l = lines[i];
      if (!l.empty() && l[0] == '#' &&
          (l == "#data" || l == "#errors" || l == "#new-errors" || l == "#document" ||
           l == "#document-fragment" || l == "#script-on" || l == "#script-off")) {
        section = l;
        if (l == "#script-on") tc.script_on = true;
        continue;
      }
      if (section == "#data") data.push_back(l);
      if (section == "#document") document.push_back(l);
      if (section == "#document-fragment") tc.fragment_context = l;
      if ((section == "#errors" || section == "#new-errors") && !l.empty()) ++tc.errors;
    }
    for (std::size_t i = 0; i < data.size(); ++i) tc.data += (i ? "\n" : "") + data[i];
    while (!document.empty() && document.back().empty()) document.pop_back();
    for (const std::string& l : document) tc.expected += l + "\n";
    cases.push_back(std::move(tc));
  }
  return cases;
}

QualName context_name(const std::string& context) {
  if (context.rfind("svg ", 0) == 0) return QualName{"", Namespace::Svg, context.substr(4)};
  if (context.rfind("math ", 0) == 0) return QualName{"", Namespace::MathMl, context.substr(5)};
  return QualName{"", Namespace::Html, context};
}

std::string parse_to_dump(const std::string& input, const std::optional<std::string>& context,
                          bool scripting = false, std::size_t* errors = nullptr) {
  ArenaSink sink;
  struct Count {
    ArenaSink& sink;
    std::size_t* errors;
    ~Count() { if (errors) *errors = sink.errors.size(); }
  } count{sink, errors};
  TreeBuilderOptions options;
  options.scripting_enabled = scripting;
  if (!context) {
    parse_document(input, sink, options);
    return dump_tree(sink, sink.get_document());
  }
  parse_fragment(input, sink, context_name(*context), options);
  return dump_tree(sink, sink.children(sink.get_document()).at(0));
}

fs::path suite_dir() {
  return fs::path(VEDAVI_SHARED_DIR) / "testdata" / "html5lib-tests" / "tree-construction";
}

// "file.dat:N reason" per line; '#' starts a comment line.
std::map<std::string, std::string> expected_failures() {
  std::map<std::string, std::string> out;
  fs::path path = fs::path(__FILE__).parent_path() / "tree_construction_expected_failures.txt";
  std::istringstream in(read_bytes(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::size_t space = line.find(' ');
    out[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return out;
}

TEST(TreeConstruction, Html5libSuite) {
  if (!fs::exists(suite_dir())) GTEST_SKIP() << "html5lib-tests not found at " << suite_dir();
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(suite_dir())) {
    if (entry.path().extension() == ".dat") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  auto known = expected_failures();
  int run = 0, passed = 0, agreeing_errors = 0;
  std::set<std::string> ran;
  // Cases whose listed errors fall short: a missing doctype goes unlisted in one, and one end tag
  // in table voodoo is listed once where the rules give two errors.
  static const std::set<std::string> kMoreErrorsThanListed = {"webkit02.dat:49", "tests1.dat:111"};
  for (const fs::path& file : files) {
    for (const TreeCase& tc : read_cases(file)) {
      if (tc.script_on) continue;
      ++run;
      std::string id = tc.file + ":" + std::to_string(tc.index);
      ran.insert(id);
      std::size_t errors = 0;
      std::string got = parse_to_dump(tc.data, tc.fragment_context, false, &errors);
      // The files list every parse error; the builder leaves some out (the open elements at the end
      // of input, for one), so it may report fewer, never more, and as many as it does today.
      agreeing_errors += errors == tc.errors;
      EXPECT_TRUE(errors <= tc.errors || known.count(id) || kMoreErrorsThanListed.count(id))
          << id << ": " << errors << " parse errors, the file lists " << tc.errors << "\n" << tc.data;
      if (got == tc.expected) {
        ++passed;
        EXPECT_FALSE(known.count(id)) << id << " passes but is listed as an expected failure";
        continue;
      }
      EXPECT_TRUE(known.count(id)) << id << (tc.fragment_context ? " (fragment " + *tc.fragment_context + ")" : "")
                                   << "\n#data\n" << tc.data << "\n#expected\n" << tc.expected
                                   << "#got\n" << got;
    }
  }
  for (const auto& [id, reason] : known) {
    EXPECT_TRUE(ran.count(id)) << id << " is listed (" << reason << ") but no such case runs";
  }
  std::cout << "[ tree-construction ] " << passed << " of " << run << " cases pass, " << agreeing_errors
            << " with as many parse errors as listed\n";
  EXPECT_EQ(run, 1784);
  EXPECT_GE(passed * 100, run * 99);
  EXPECT_GE(agreeing_errors, 937) << "cases whose parse error count matches the file";
}

// Only the html doctype without public identifier (and with no or the legacy system one) conforms;
// the doctype decides the quirks mode.
TEST(TreeConstruction, DoctypeConformanceAndQuirks) {
  const struct {
    const char* input;
    std::size_t errors;
    QuirksMode quirks;
  } cases[] = {
      {"<!DOCTYPE html>x", 0, QuirksMode::NoQuirks},
      {"<!DOCTYPE html SYSTEM \"about:legacy-compat\">x", 0, QuirksMode::NoQuirks},
      {"<!DOCTYPE foo>x", 1, QuirksMode::Quirks},
      {"<!DOCTYPE html PUBLIC \"p\">x", 1, QuirksMode::NoQuirks},
      {"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">x", 1, QuirksMode::Quirks},
      {"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
       "\"http://www.w3.org/TR/html4/loose.dtd\">x", 1, QuirksMode::LimitedQuirks},
      {"<!DOCTYPE html PUBLIC \"-//w3c//dtd xhtml 1.0 transitional//en\">x", 1, QuirksMode::LimitedQuirks},
      {"x", 1, QuirksMode::Quirks}};
  for (const auto& c : cases) {
    ArenaSink sink;
    parse_document(c.input, sink);
    EXPECT_EQ(sink.errors.size(), c.errors) << c.input;
    EXPECT_EQ(sink.quirks, c.quirks) << c.input;
  }
}

// The few cases written for scripting on: <noscript> content is raw text then.
TEST(TreeConstruction, Html5libScriptingOnCases) {
  if (!fs::exists(suite_dir())) GTEST_SKIP() << "html5lib-tests not found at " << suite_dir();
  int run = 0;
  for (const auto& entry : fs::directory_iterator(suite_dir())) {
    if (entry.path().extension() != ".dat") continue;
    for (const TreeCase& tc : read_cases(entry.path())) {
      if (!tc.script_on) continue;
      ++run;
      EXPECT_EQ(parse_to_dump(tc.data, tc.fragment_context, true), tc.expected)
          << tc.file << ":" << tc.index << "\n" << tc.data;
    }
  }
  EXPECT_EQ(run, 8);
}

}  // namespace
}  // namespace html5
