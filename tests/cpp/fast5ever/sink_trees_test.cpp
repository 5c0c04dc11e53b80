// The sink under the real tree builder: every html5lib input parsed as a whole document through
// the Sink gives the same tree as through the engine's own test sink.
#include <gtest/gtest.h>

#include "fast5ever/sink.h"
#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"
#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

namespace t5 = html5::testing;

std::string dump(const Dom& dom) {
  return t5::dump_tree(0, [&](html5::Handle id) {
    const Node& n = dom.node(id);
    t5::DumpNode d;
    d.line = "#document";
    d.children.assign(n.children.begin(), n.children.end());
    if (const auto* doctype = std::get_if<Doctype>(&n.data)) {
      d.line = t5::doctype_line(doctype->name, doctype->public_id, doctype->system_id);
    } else if (const auto* text = std::get_if<Text>(&n.data)) {
      d.line = "\"" + text->text + "\"";
    } else if (const auto* comment = std::get_if<Comment>(&n.data)) {
      d.line = "<!-- " + comment->text + " -->";
    } else if (const auto* el = std::get_if<Element>(&n.data)) {
      d.line = t5::element_line(el->name);
      d.attrs = &el->attrs;
      if (el->template_contents) d.contents = static_cast<html5::Handle>(*el->template_contents);
    }
    return d;
  });
}

TEST(SinkTrees, MatchTheEngineTestSinkOnHtml5libInputs) {
  const auto cases = t5::read_tree_cases();
  if (cases.empty()) GTEST_SKIP() << "html5lib tests not found";
  for (const t5::TreeCase& tc : cases) {
    for (bool scripting : {false, true}) {
      html5::TreeBuilderOptions options;
      options.scripting_enabled = scripting;
      Sink sink;
      html5::parse_document(tc.data, sink, options);
      t5::ArenaSink reference;
      html5::parse_document(tc.data, reference, options);
      const Dom dom = sink.finish();
      testing_helpers::expect_sound(dom);
      EXPECT_EQ(dump(dom), t5::dump_tree(reference, 0)) << tc.id << "\n" << tc.data;
    }
  }
  EXPECT_GT(cases.size(), 1500u);
}

}  // namespace
}  // namespace fast5ever::dom
