// Node callbacks: a post-order walk over the document with explicit stacks (blocks nest as deep
// as max_block_depth allows and inlines as deep as the source), replacing nodes in place.
#include "callbacks.h"

#include <array>
#include <optional>
#include <string>

#include "convert.h"
#include "base/internal_error.h"
#include "nodes.h"
#include "render/renderer.h"

namespace vedavi::py {
namespace {

class CallbackWalk {
 public:
  explicit CallbackWalk(Borrowed callbacks) : callbacks_(callbacks) {}

  void blocks(Blocks& blocks);

 private:
  // The callable for a kind, looked up now: a callback may edit the dict for later nodes.
  Ref lookup(BlockKind kind) {
    return lookup(block_keys_[std::size_t(kind)], kind_name(kind));
  }
  Ref lookup(InlineKind kind) {
    return lookup(inline_keys_[std::size_t(kind)], kind_name(kind));
  }
  // `key` caches the str of `name` for the walk.
  Ref lookup(Ref& key, std::string_view name) {
    if (!key) key = new_str(name);
#if PY_VERSION_HEX >= 0x030D0000
    // A strong reference straight from the dict: without the GIL another thread may change the
    // dict between a borrowed lookup and its increment.
    PyObject* found = nullptr;
    if (PyDict_GetItemRef(callbacks_.get(), key.get(), &found) < 0) throw_error_already_set();
    return Ref::steal(found);
#else
    PyObject* found = PyDict_GetItemWithError(callbacks_.get(), key.get());
    if (found == nullptr && PyErr_Occurred()) throw_error_already_set();
    return Ref::borrow(found);
#endif
  }
  // None keeps the node; a str replaces it.
  std::optional<std::string> call(const Ref& callback, const Ref& node, std::string_view html);

  void leaf_block(Block& block);
  void own_block_callback(Block& block);
  void table(Block::Table& table);
  void html_tokens(Block::HtmlBlock& html);
  void figure(Block& block);
  // Post-order over every inline of a list (form "inline").
  void inlines(Inlines& list) { inline_tree(nullptr, "inline", &list); }
  void inline_tree(Inline* root, const char* root_form, Inlines* root_list);
  // `is_context_free`: the node's subtree renders the same wherever it stands (see
  // InlineHtmlMemo), so the HTML it was offered with may serve its ancestors' defaults.
  void own_inline_callback(Inline& node, const char* form, bool is_context_free);
  std::optional<std::string> token_call(const Inline& token, const char* context,
                                        std::optional<std::size_t> ncols);

  // The default HTML of a node, built from the entries of the nodes below it, whose callbacks
  // have already run.
  std::string default_block_html(const Block& block);
  std::string default_inline_html(const Inline& node) {
    return render_inlines(std::span<const Inline>(&node, 1), &memo_);
  }

  Borrowed callbacks_;
  // The HTML offered with inline nodes that a callback kept, until an ancestor's default takes it
  // in; emptied after each leaf block. So each callback's HTML is a copy of its children's, and
  // the cost of a deep tree is that of building the strings handed over, not of rendering every
  // subtree again.
  InlineHtmlMemo memo_;
  std::array<Ref, kBlockKindCount> block_keys_;
  std::array<Ref, kInlineKindCount> inline_keys_;
};


std::string CallbackWalk::default_block_html(const Block& block) {
  // A renderer without the document: footnote references get empty bodies.
  Renderer renderer;
  renderer.use_memo(&memo_);
  std::string out;
  renderer.block(block, out);
  renderer.footnotes(out);
  return out;
}

std::optional<std::string> CallbackWalk::call(const Ref& callback, const Ref& node,
                                              std::string_view html) {
  Ref html_str = new_str(html);
  PyObject* args[] = {node.get(), html_str.get()};
  Ref result = check(PyObject_Vectorcall(callback.get(), args, 2, nullptr));
  if (result.get() == Py_None) return std::nullopt;
  if (!PyUnicode_Check(result.get())) raise_not_instance(result.get(), "str");
  return std::string(FromPython<std::string_view>::convert(Borrowed(result.get())));
}

// ---- Blocks --------------------------------------------------------------------------------

// The child block lists of a container: one for quotes and divs, one per item for lists.
std::size_t child_list_count(const Block& block) {
  if (block.children() != nullptr) return 1;
  if (const auto* list = block.get_if<Block::List>()) return list->items.size();
  return 0;
}

Blocks& child_list(Block& block, std::size_t index) {
  if (Blocks* children = block.children()) return *children;
  return block.get_if<Block::List>()->items[index].children;
}

bool is_container(const Block& block) {
  return block.children() != nullptr || block.kind() == BlockKind::List;
}

void CallbackWalk::blocks(Blocks& root) {
  struct Frame {
    Block* owner;  // its callback runs once all its lists are done; none for the root list
    std::size_t next_list;
    Blocks* list;
    std::size_t next;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{nullptr, 0, &root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.list != nullptr && top.next < top.list->size()) {
      Block& block = (*top.list)[top.next++];
      if (is_container(block)) {
        stack.push_back(Frame{&block, 0, nullptr, 0});
      } else {
        leaf_block(block);
        memo_.clear();
      }
      continue;
    }
    if (top.owner != nullptr && top.next_list < child_list_count(*top.owner)) {
      top.list = &child_list(*top.owner, top.next_list++);
      top.next = 0;
      continue;
    }
    Block* owner = top.owner;
    stack.pop_back();
    if (owner != nullptr) own_block_callback(*owner);
  }
}

void CallbackWalk::leaf_block(Block& block) {
  switch (block.kind()) {
    case BlockKind::Paragraph:
    case BlockKind::Heading:
    case BlockKind::PanelTitle:
      inlines(*block.inlines());
      break;
    case BlockKind::DefinitionList:
      for (DefinitionItem& item : block.get_if<Block::DefinitionList>()->items) {
        for (DefinitionTerm& term : item.terms) inlines(term.inlines);
        for (Inlines& definition : item.definitions) inlines(definition);
      }
      break;
    case BlockKind::Table:
      table(*block.get_if<Block::Table>());
      break;
    case BlockKind::HtmlBlock:
      html_tokens(*block.get_if<Block::HtmlBlock>());
      break;
    case BlockKind::Figure:
      figure(block);
      return;  // the figure makes its own call
    default:
      break;
  }
  own_block_callback(block);
}

void CallbackWalk::own_block_callback(Block& block) {
  Ref callback = lookup(block.kind());
  if (!callback) return;
  Ref node = block_node(block);
  if (auto html = call(callback, node, default_block_html(block))) {
    block = Block::HtmlBlock{std::move(*html), {}};
  }
}

void CallbackWalk::table(Block::Table& table) {
  for (auto* rows : {&table.head_rows, &table.rows, &table.foot_rows}) {
    for (TableRow& row : *rows) {
      for (TableCell& cell : row.cells) inlines(cell.content);
    }
  }
  for (TableToken& line : table.tokens) {
    if (auto html = token_call(line.token, "row", table.aligns.size())) {
      line.token = Inline::HtmlInline{std::move(*html)};
    }
  }
}

void CallbackWalk::html_tokens(Block::HtmlBlock& html) {
  if (html.tokens.empty() || !lookup(InlineKind::TemplateToken)) return;
  const std::string_view raw = html.raw;
  std::string out;
  out.reserve(raw.size());
  std::size_t pos = 0;
  for (const HtmlToken& found : html.tokens) {
    if (found.start < pos || found.end < found.start || found.end > raw.size()) {
      internal_failure("template tokens of an HTML block out of order");
    }
    out.append(raw.substr(pos, found.start - pos));
    TemplateToken token;
    token.syntax = found.syntax;
    token.source = std::string(raw.substr(found.start, found.end - found.start));
    token.body = found.body;
    token.name = found.name;
    token.kind = found.kind;
    const Inline node(std::move(token));
    const char* context = found.table_context ? "row" : "inline";
    if (auto replaced = token_call(node, context, std::nullopt)) {
      out += *replaced;
    } else {
      out += default_inline_html(node);
    }
    pos = found.end;
  }
  out.append(raw.substr(pos));
  html.raw = std::move(out);
  html.tokens.clear();
}

void CallbackWalk::figure(Block& block) {
  auto& figure = *block.get_if<Block::Figure>();
  inlines(figure.caption);
  // The node describes the image as parsed, before an image callback may replace it.
  Ref node;
  if (lookup(BlockKind::Figure)) node = block_node(block);
  inline_tree(&figure.image, "figure", nullptr);
  if (!node) {
    own_block_callback(block);
    return;
  }
  set_item(node, "caption_html", new_str(render_inlines(figure.caption)));
  set_item(node, "content_html", new_str(default_inline_html(figure.image)));
  Ref callback = lookup(BlockKind::Figure);
  if (!callback) return;
  if (auto html = call(callback, node, default_block_html(block))) {
    block = Block::HtmlBlock{std::move(*html), {}};
  }
}

// ---- Inlines -------------------------------------------------------------------------------

// The child inline lists whose nodes are offered first: container children and operation
// arguments. An image's alternative text is not visited.
std::size_t child_list_count(const Inline& node) {
  if (node.kind() == InlineKind::Image) return 0;
  if (const auto* op = node.get_if<Inline::Operation>()) return op->args.size();
  return node.children() != nullptr ? 1 : 0;
}

Inlines& child_list(Inline& node, std::size_t index) {
  if (auto* op = node.get_if<Inline::Operation>()) return op->args[index].value;
  return *node.children();
}

// Footnote references and notes are numbered by what was rendered before them.
bool renders_alike_anywhere(const Inline& node) {
  return node.kind() != InlineKind::FootnoteRef && node.kind() != InlineKind::Note;
}

void CallbackWalk::inline_tree(Inline* root, const char* root_form, Inlines* root_list) {
  struct Frame {
    Inline* owner;  // its callback runs once all its lists are done
    const char* form;
    std::size_t next_list;
    Inlines* list;
    std::size_t next;
    bool is_context_free;  // of everything below the owner met so far
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{root, root_form, 0, root_list, 0, true});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.list != nullptr && top.next < top.list->size()) {
      Inline& node = (*top.list)[top.next++];
      if (child_list_count(node) > 0) {
        stack.push_back(Frame{&node, "inline", 0, nullptr, 0, true});
      } else {
        const bool is_context_free = renders_alike_anywhere(node);
        top.is_context_free = top.is_context_free && is_context_free;
        own_inline_callback(node, "inline", is_context_free);
      }
      continue;
    }
    if (top.owner != nullptr && top.next_list < child_list_count(*top.owner)) {
      top.list = &child_list(*top.owner, top.next_list++);
      top.next = 0;
      continue;
    }
    Inline* owner = top.owner;
    const char* form = top.form;
    const bool is_context_free =
        top.is_context_free && (owner == nullptr || renders_alike_anywhere(*owner));
    stack.pop_back();
    if (!stack.empty()) stack.back().is_context_free = stack.back().is_context_free && is_context_free;
    if (owner != nullptr) own_inline_callback(*owner, form, is_context_free);
  }
}

void CallbackWalk::own_inline_callback(Inline& node, const char* form, bool is_context_free) {
  Ref callback = lookup(node.kind());
  if (!callback) return;
  Ref dict = inline_node(node);
  if (node.kind() == InlineKind::Image) set_item(dict, "form", new_str(form));
  std::string html = default_inline_html(node);
  if (auto replaced = call(callback, dict, html)) {
    node = Inline::HtmlInline{std::move(*replaced)};
  } else if (is_context_free) {
    memo_.emplace(&node, std::move(html));
  }
}

std::optional<std::string> CallbackWalk::token_call(const Inline& token, const char* context,
                                                    std::optional<std::size_t> ncols) {
  Ref callback = lookup(InlineKind::TemplateToken);
  if (!callback) return std::nullopt;
  Ref node = inline_node(token);
  set_item(node, "context", new_str(context));
  if (ncols) set_item(node, "ncols", new_int(*ncols));
  return call(callback, node, default_inline_html(token));
}

}  // namespace

void run_callbacks(Document& doc, Borrowed callbacks) {
  CallbackWalk walk(callbacks);
  walk.blocks(doc.blocks);
  for (Footnote& footnote : doc.footnotes) walk.blocks(footnote.blocks);
}

}  // namespace vedavi::py
