// Fragment parsing: tokenizer -> nesting cap -> tree builder -> sink, then the fragment's nodes
// are lifted out of the root element to sit directly under the Document node.
#include "fast5ever/parse.h"

#include <algorithm>

#include "fast5ever/depth.h"
#include "fast5ever/sink.h"
#include "html5/tokenizer.h"
#include "html5/tree_builder.h"
#include "base/internal_error.h"

namespace fast5ever::dom {

namespace {

// Replaces the root element among node 0's children by the root's own children, so callers find
// the fragment's top-level nodes under node 0.
void lift_fragment(Dom& dom) {
  ChildList& top = dom.node_mut(0).children;
  auto root = std::find_if(top.begin(), top.end(), [&](NodeId id) { return dom.element(id); });
  if (root == top.end()) return;
  Node& root_node = dom.node_mut(*root);
  ChildList lifted = std::move(root_node.children);
  root_node.children.clear();
  root_node.parent.reset();  // it leaves node 0's list, so it has no parent either
  for (NodeId child : lifted) dom.node_mut(child).parent = 0;
  top.insert(top.erase(root), lifted.begin(), lifted.end());
}

}  // namespace

Dom parse_fragment(std::string_view html) {
  vedavi::fault_point(html);
  // Room for the nodes of markup-dense input up front: growing the arena moves every node record.
  // Capped so that a huge input of mostly text does not reserve far more than it will use.
  Dom arena;
  arena.nodes.reserve(std::min<std::size_t>(html.size() / 8 + 2, std::size_t{1} << 20));
  Sink sink(std::move(arena));
  const QualName body{"", html5::Namespace::Html, "body"};
  const html5::Handle context = sink.create_element(body, {}, {});

  html5::TreeBuilderOptions builder_options;
  builder_options.scripting_enabled = true;
  html5::TreeBuilder builder(sink, context, builder_options);
  depth::DepthCap cap(builder);

  html5::TokenizerOptions tokenizer_options;
  tokenizer_options.initial_state = html5::tokenizer_state_for_context(body, true);
  if (!html5::tokenize(html, cap, tokenizer_options)) return Dom();

  Dom dom = sink.finish();
  lift_fragment(dom);
  return dom;
}

}  // namespace fast5ever::dom
