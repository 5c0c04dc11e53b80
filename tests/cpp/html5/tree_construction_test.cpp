// The tree builder: the html5lib tree-construction suite (the trees, scripting off and the few cases
// written for scripting on, and the number of parse errors), trees and errors the suite leaves
// unchecked, inputs where a naive stack or list walk per token would be quadratic (checked by the
// shape of what they build), and random tag soup.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "html5/parse.h"
#include "html5/tree_builder_handle_map.h"
#include "tests/cpp/html5/test_sink.h"
#include "tests/cpp/support/helpers.h"

namespace html5 {
namespace {

using namespace std::string_literals;

using testing::ArenaSink;
using testing::dump_tree;
using testing::kNoNode;
using testing::Node;

std::string parse_to_dump(const std::string& input, const std::optional<std::string>& context,
                          bool scripting = false, std::size_t* errors = nullptr) {
  ArenaSink sink;
  TreeBuilderOptions options;
  options.scripting_enabled = scripting;
  Handle root = sink.get_document();
  if (!context) {
    parse_document(input, sink, options);
  } else {
    parse_fragment(input, sink, testing::context_name(*context), options);
    root = sink.children(root).at(0);
  }
  if (errors) *errors = sink.errors.size();
  return dump_tree(sink, root);
}

// "file.dat:N reason" per line; '#' starts a comment line.
std::map<std::string, std::string> expected_failures() {
  std::map<std::string, std::string> out;
  std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "tree_construction_expected_failures.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    out[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return out;
}

TEST(TreeConstruction, Html5libSuite) {
  const auto cases = testing::read_tree_cases();
  if (cases.empty()) GTEST_SKIP() << "html5lib-tests not found at " << testing::tree_construction_dir();
  const auto known = expected_failures();
  // Cases whose listed errors fall short: a missing doctype goes unlisted in one, and one end tag
  // in table voodoo is listed once where the rules give two errors.
  static const std::set<std::string> kMoreErrorsThanListed = {"webkit02.dat:49", "tests1.dat:111"};
  int run = 0, passed = 0, agreeing_errors = 0, script_on = 0;
  std::set<std::string> ran;
  for (const testing::TreeCase& tc : cases) {
    if (tc.script_on) {  // <noscript> content is raw text then
      ++script_on;
      EXPECT_EQ(parse_to_dump(tc.data, tc.fragment_context, true), tc.expected) << tc.id << "\n" << tc.data;
      continue;
    }
    ++run;
    ran.insert(tc.id);
    std::size_t errors = 0;
    const std::string got = parse_to_dump(tc.data, tc.fragment_context, false, &errors);
    // The files list every parse error; the builder leaves some out (the open elements at the end
    // of input, for one), so it may report fewer, never more, and as many as it does today.
    agreeing_errors += errors == tc.errors;
    EXPECT_TRUE(errors <= tc.errors || known.count(tc.id) || kMoreErrorsThanListed.count(tc.id))
        << tc.id << ": " << errors << " parse errors, the file lists " << tc.errors << "\n" << tc.data;
    passed += got == tc.expected;
    EXPECT_EQ(got == tc.expected, !known.count(tc.id))
        << tc.id << (known.count(tc.id) ? " passes but is listed as an expected failure" : "")
        << (tc.fragment_context ? " (fragment " + *tc.fragment_context + ")" : "") << "\n#data\n"
        << tc.data << "\n#expected\n" << tc.expected << "#got\n" << got;
  }
  for (const auto& [id, reason] : known) EXPECT_TRUE(ran.count(id)) << id << " is listed (" << reason << ") but no such case runs";
  std::cout << "[ tree-construction ] " << passed << " of " << run << " cases pass, " << agreeing_errors
            << " with as many parse errors as listed\n";
  EXPECT_EQ(run, 1784);
  EXPECT_EQ(script_on, 8);
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

// Exact trees and error messages the suite checks only loosely (it counts errors, at most).
TEST(TreeConstruction, ExactErrorsAndTrees) {
  const struct {
    std::string input, tree, errors;
  } cases[] = {
      // A NUL in table text is dropped with an error of its own.
      {"<!DOCTYPE html><table>\0</table>"s, "| <!DOCTYPE html>\n| <html>\n|   <head>\n|   <body>\n|     <table>\n",
       "unexpected-null-character\nUnexpected null character\n"},
      // In body a NUL is dropped before the open formatting is rebuilt: no empty <b> for it.
      {"<!DOCTYPE html><p><b>x</p>\0<p>z</p>"s,
       "| <!DOCTYPE html>\n| <html>\n|   <head>\n|   <body>\n|     <p>\n|       <b>\n|         \"x\"\n|     <p>\n"
       "|       <b>\n|         \"z\"\n",
       "Unclosed elements before p end\nunexpected-null-character\nUnexpected null character\n"
       "Unclosed elements before p end\n"},
  };
  for (const auto& c : cases) {
    ArenaSink sink;
    parse_document(c.input, sink);
    std::string errors;
    for (const std::string& e : sink.errors) errors += e + "\n";
    EXPECT_EQ(dump_tree(sink, 0), c.tree) << c.input;
    EXPECT_EQ(errors, c.errors) << c.input;
  }
}

using vedavi::test::repeat;
constexpr int kDeep = 100000;

// Elements by name, then "depth texts comments attributes" and the parent of the last text node
// made, walking with an explicit stack.
std::string shape_of(const std::string& input) {
  ArenaSink sink;
  EXPECT_TRUE(parse_document(input, sink));
  std::map<std::string, int> names;
  std::size_t max_depth = 0, texts = 0, comments = 0, attributes = 0;
  std::vector<std::pair<Handle, std::size_t>> stack{{0, 0}};
  while (!stack.empty()) {
    auto [id, depth] = stack.back();
    stack.pop_back();
    const Node& n = sink.nodes[id];
    max_depth = std::max(max_depth, depth);
    if (n.type == Node::Type::Element) ++names[n.name.local], attributes += n.attrs.size();
    texts += n.type == Node::Type::Text;
    comments += n.type == Node::Type::Comment;
    for (Handle c = n.first_child; c != kNoNode; c = sink.nodes[c].next) stack.push_back({c, depth + 1});
  }
  std::string out;
  for (const auto& [name, count] : names) out += name + ":" + std::to_string(count) + " ";
  Handle last_text = kNoNode;
  for (Handle i = 0; i < sink.nodes.size(); ++i) {
    if (sink.nodes[i].type == Node::Type::Text) last_text = i;
  }
  const Handle leaf = last_text == kNoNode ? kNoNode : sink.nodes[last_text].parent;
  return out + std::to_string(max_depth) + " " + std::to_string(texts) + " " + std::to_string(comments) + " " +
         std::to_string(attributes) + " in " + (leaf == kNoNode ? "-" : sink.nodes[leaf].name.local);
}

std::string numbered(const char* tag, int n) {  // <tag id=0><tag id=1>...
  std::string out;
  for (int i = 0; i < n; ++i) out += std::string("<") + tag + " id=" + std::to_string(i) + ">";
  return out;
}

TEST(ParseDocument, HostileInputsKeepTheirShape) {
  const std::string distinct = numbered("i", kDeep / 2);
  const struct {
    std::string input, shape;
  } cases[] = {
      {repeat("<div>", kDeep) + "x", "body:1 div:100000 head:1 html:1 100003 1 0 0 in div"},
      {repeat("<b>", kDeep) + "x", "b:100000 body:1 head:1 html:1 100003 1 0 0 in b"},
      {"<table>" + repeat("<a>", kDeep), "a:100000 body:1 head:1 html:1 table:1 3 0 0 0 in -"},
      // Each run leaves a p with a b inside (the text) and an empty b before it.
      {repeat("<b><p>x</b>", 50000), "b:100000 body:1 head:1 html:1 p:50000 5 50000 0 0 in b"},
      {repeat("<!--", kDeep), "body:1 head:1 html:1 2 0 1 0 in -"},
      {"<p" + repeat(" a=1", kDeep) + ">", "body:1 head:1 html:1 p:1 3 0 0 1 in -"},
      {"<p a=\"" + std::string(10u << 20, 'v') + "\">", "body:1 head:1 html:1 p:1 3 0 0 1 in -"},
      // Distinct formatting elements: the list keeps growing, and the "three identical entries" rule
      // must not rescan it for every tag.
      {numbered("b", kDeep) + "</p>x", "b:100000 body:1 head:1 html:1 p:1 100003 1 0 100000 in b"},
      // Past a few entries the list counts signatures instead of scanning; the rule stays: only
      // three of four identical b are reopened, and all 20 s.
      {"<p>" + numbered("s", 20) + "<b c=1><b c=1><b c=1><b c=1>x</p>y", "b:7 body:1 head:1 html:1 p:1 s:40 28 2 0 47 in b"},
      // The adoption agency walks past many elements between the formatting element and the
      // furthest block, dropping them from the stack in one pass; its outer loop runs eight times.
      {"<b>" + repeat("<span>", kDeep) + repeat("<div>", kDeep) + "</b>x", "b:9 body:1 div:100000 head:1 html:1 span:100000 100004 1 0 0 in div"},
      // Scope checks under a deep stack: a p under a button boundary, then block starts asking for it;
      {"<p><button>" + repeat("<div>", kDeep) + "x", "body:1 button:1 div:100000 head:1 html:1 p:1 100005 1 0 0 in div"},
      // tables opened and closed (the mode reset each time); end tags matching nothing;
      {repeat("<div>", kDeep) + repeat("<table></table>", kDeep) + "x", "body:1 div:100000 head:1 html:1 table:100000 100003 1 0 0 in div"},
      {repeat("<x-a>", kDeep) + repeat("</x-b>", kDeep) + "x", "body:1 head:1 html:1 x-a:100000 100003 1 0 0 in x-a"},
      // list items each closing the previous one; a formatting element out of scope behind a table;
      {repeat("<div>", kDeep) + repeat("<li></li>", kDeep) + "<li>x", "body:1 div:100000 head:1 html:1 li:100001 100004 1 0 0 in li"},
      {"<b><table>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "b:1 body:1 div:100000 head:1 html:1 table:1 100004 1 0 0 in div"},
      // adoptions each moving a formatting element one level down; foreign end tags matching nothing;
      {"<b>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "b:100001 body:1 div:100000 head:1 html:1 100003 1 0 0 in div"},
      {"<svg>" + repeat("<g>", kDeep) + repeat("</h>", kDeep) + "x", "body:1 g:100000 head:1 html:1 svg:1 100004 1 0 0 in g"},
      // open b elements the list no longer names, closed one by one over a long list;
      {distinct + repeat("<b>", kDeep / 2) + repeat("</b>", kDeep / 2) + "x", "b:50000 body:1 head:1 html:1 i:50000 100002 1 0 50000 in i"},
      // a formatting element behind a table far down a long list, found without walking it;
      {"<a><table>" + numbered("b", kDeep / 2) + repeat("</a>", kDeep / 2) + "x", "a:1 b:50000 body:1 head:1 html:1 table:1 50004 1 0 50000 in b"},
      // misnested runs after a long list of distinct formatting elements.
      {distinct + repeat("<b><p>x</b>", kDeep / 2), "b:100000 body:1 head:1 html:1 i:50000 p:50000 50005 50000 0 50000 in b"},
  };
  for (const auto& c : cases) EXPECT_EQ(shape_of(c.input), c.shape) << c.input.substr(0, 40);
}

// Random tag soup over the elements with the most involved rules, as documents and as fragments
// in assorted contexts: nothing may fail, and every reachable node must link back to its parent.
TEST(ParseRandomMarkup, BuildsConsistentTrees) {
  static constexpr const char* kContexts[] = {"", "body", "table", "tr", "td", "select", "template", "html", "head",
                                             "colgroup", "title", "svg foreignObject", "math mi", "svg path",
                                             "math annotation-xml", "frameset"};
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000 && !HasFailure(); ++round) {
    std::string input;
    for (int i = static_cast<int>(rng() % 60); i > 0; --i) input += testing::kTagSoup[rng() % std::size(testing::kTagSoup)];
    const std::string_view context = kContexts[rng() % std::size(kContexts)];
    TreeBuilderOptions options;
    options.scripting_enabled = rng() % 2 == 0;
    ArenaSink sink;
    ASSERT_TRUE(context.empty() ? parse_document(input, sink, options)
                                : parse_fragment(input, sink, testing::context_name(context), options));
    // Parent links agree with child lists, for the document and every template's contents.
    std::vector<Handle> stack{0};
    for (const Node& n : sink.nodes) {
      if (n.template_contents != kNoNode) stack.push_back(n.template_contents);
    }
    while (!stack.empty()) {
      const Handle id = stack.back();
      stack.pop_back();
      for (Handle c = sink.nodes[id].first_child; c != kNoNode; c = sink.nodes[c].next) {
        ASSERT_EQ(sink.nodes[c].parent, id) << input;
        stack.push_back(c);
      }
    }
  }
}

// The formatting-element index keeps every entry through its growth and its erasures.
TEST(HandleMap, KeepsEntriesAcrossGrowthAndErasure) {
  HandleMap map;
  for (Handle k = 1; k <= 300; ++k) map.set(k * 7919, static_cast<std::uint32_t>(k));
  for (Handle k = 1; k <= 300; k += 2) ASSERT_TRUE(map.erase(k * 7919));
  for (Handle k = 1; k <= 300; ++k) {
    ASSERT_EQ(map.get(k * 7919), k % 2 ? std::nullopt : std::optional<std::uint32_t>(k)) << k;
  }
  EXPECT_FALSE(map.contains(0));
}

}  // namespace
}  // namespace html5
