// The sink under the real tree builder: every html5lib input parsed as a whole document through
// the Sink gives the same tree as through the engine's own test sink.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "fast5ever/sink.h"
#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using html5::Namespace;

// The html5lib tree dump of `root`'s children: "| " and two spaces per level; attributes sorted;
// a template's contents under a "content" line.
std::string dump(const Dom& dom, NodeId root) {
  struct Frame {
    NodeId node;
    int depth;
    bool content_line;
  };
  std::string out;
  std::vector<Frame> stack;
  auto push_children = [&](NodeId parent, int depth) {
    const ChildList& kids = dom.node(parent).children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, depth, false});
  };
  auto line = [&](int depth) {
    out += "| " + std::string(2 * static_cast<std::size_t>(depth), ' ');
  };
  push_children(root, 0);
  while (!stack.empty()) {
    const Frame f = stack.back();
    stack.pop_back();
    line(f.depth);
    if (f.content_line) {
      out += "content\n";
      continue;
    }
    const NodeData& data = dom.node(f.node).data;
    if (const auto* doctype = std::get_if<Doctype>(&data)) {
      out += "<!DOCTYPE " + doctype->name;
      if (!doctype->public_id.empty() || !doctype->system_id.empty()) {
        out += " \"" + doctype->public_id + "\" \"" + doctype->system_id + "\"";
      }
      out += ">\n";
    } else if (const auto* text = std::get_if<Text>(&data)) {
      out += "\"" + text->text + "\"\n";
    } else if (const auto* comment = std::get_if<Comment>(&data)) {
      out += "<!-- " + comment->text + " -->\n";
    } else if (const auto* el = std::get_if<Element>(&data)) {
      out += "<";
      if (el->name.ns == Namespace::Svg) out += "svg ";
      if (el->name.ns == Namespace::MathMl) out += "math ";
      out += el->name.local + ">\n";
      std::vector<std::pair<std::string, std::string>> attrs;
      for (const Attribute& a : el->attrs) {
        attrs.emplace_back((a.name.prefix.empty() ? "" : a.name.prefix + " ") + a.name.local,
                           a.value);
      }
      std::sort(attrs.begin(), attrs.end());
      for (const auto& [name, value] : attrs) {
        line(f.depth + 1);
        out += name + "=\"" + value + "\"\n";
      }
      if (el->template_contents) {
        push_children(*el->template_contents, f.depth + 2);
        stack.push_back({0, f.depth + 1, true});
      }
      push_children(f.node, f.depth + 1);
    } else {
      out += "#document\n";
    }
  }
  return out;
}

TEST(SinkTrees, MatchTheEngineTestSinkOnHtml5libInputs) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::path(VEDAVI_SHARED_DIR) / "testdata" / "html5lib-tests" / "tree-construction";
  if (!fs::is_directory(dir)) GTEST_SKIP() << "html5lib tests not found";
  std::size_t compared = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".dat") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::string line, data;
    bool in_data = false;
    while (std::getline(file, line)) {
      if (line == "#data") {
        in_data = true;
        data.clear();
        continue;
      }
      if (!in_data) continue;
      if (line != "#errors") {
        data += line + "\n";
        continue;
      }
      in_data = false;
      if (!data.empty()) data.pop_back();
      for (bool scripting : {false, true}) {
        html5::TreeBuilderOptions options;
        options.scripting_enabled = scripting;
        Sink sink;
        html5::parse_document(data, sink, options);
        html5::testing::ArenaSink reference;
        html5::parse_document(data, reference, options);
        const Dom dom = sink.finish();
        testing_helpers::expect_sound(dom);
        EXPECT_EQ(dump(dom, 0), html5::testing::dump_tree(reference, reference.get_document()))
            << entry.path().filename() << "\n" << data;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 3000u);
}

}  // namespace
}  // namespace fast5ever::dom
