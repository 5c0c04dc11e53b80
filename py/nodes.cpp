// Node dictionaries of blocks and inlines.
#include "nodes.h"

#include <optional>
#include <string>

#include "convert.h"
#include "render/render.h"
#include "render/renderer.h"

namespace vedavi::py {
namespace {

Ref new_dict_of_type(std::string_view type) {
  Ref dict = check(PyDict_New());
  set_item(dict, "type", new_str(type));
  return dict;
}

void set_attrs(const Ref& dict, const Attr& attr) { set_item(dict, "attrs", attr_node(attr)); }

void set_count(const Ref& dict, const char* key, std::size_t count) {
  set_item(dict, key, new_int(count));
}

// The entries of a template token, block or inline: they differ only in form and context.
void set_template_entries(const Ref& dict, const TemplateToken& token, const char* where) {
  set_item(dict, "syntax", new_str(token.syntax));
  set_item(dict, "source", new_str(token.source));
  set_item(dict, "body", new_str(token.body));
  set_item(dict, "form", new_str(where));
  set_item(dict, "kind", new_str(templates::kind_node_word(token.kind)));
  set_item(dict, "name", new_str(token.name));
  set_item(dict, "inverted", new_bool(token.kind == TemplateTokenKind::OpenInverted));
  set_item(dict, "context", new_str(where));
}

// alt, url, title of an image.
void set_image_entries(const Ref& dict, const Inline::Image& image) {
  set_item(dict, "alt", new_str(render::plain(image.children)));
  set_item(dict, "url", new_str(image.url));
  set_item(dict, "title", optional_str(image.title));
}

void set_table_entries(const Ref& dict, const Block::Table& table) {
  set_attrs(dict, table.attr);
  set_item(dict, "aligns",
           new_list(table.aligns, [](Align align) { return new_str(align_name(align)); }));
  std::size_t head_cells = 0;
  for (const TableRow& row : table.head_rows) head_cells += row.cells.size();
  set_count(dict, "head_cells", head_cells);
  set_count(dict, "head_rows", table.head_rows.size());
  set_count(dict, "rows", table.rows.size());
  set_count(dict, "foot_rows", table.foot_rows.size());
  set_item(dict, "caption", new_str(render::plain(table.caption)));
}

}  // namespace

void set_item(const Ref& dict, const char* key, Ref value) {
  if (PyDict_SetItemString(dict.get(), key, value.get()) < 0) throw_error_already_set();
}

Ref attr_node(const Attr& attr) {
  Ref dict = check(PyDict_New());
  set_item(dict, "id", optional_str(attr.id()));
  set_item(dict, "classes",
           new_list(attr.classes(), [](const std::string& name) { return new_str(name); }));
  set_item(dict, "pairs", new_str_pairs(attr.pairs()));
  return dict;
}

Ref block_node(const Block& block) {
  Ref dict = new_dict_of_type(block.kind_name());
  switch (block.kind()) {
    case BlockKind::Paragraph:
    case BlockKind::PanelTitle:
      set_attrs(dict, *block.attr());
      set_count(dict, "children", block.inlines()->size());
      break;
    case BlockKind::Heading: {
      const auto& heading = *block.get_if<Block::Heading>();
      set_item(dict, "level", new_int(heading.level));
      set_attrs(dict, heading.attr);
      set_count(dict, "children", heading.inlines.size());
      break;
    }
    case BlockKind::BlockQuote:
    case BlockKind::Div:
      set_attrs(dict, *block.attr());
      set_count(dict, "children", block.children()->size());
      break;
    case BlockKind::List: {
      const auto& list = *block.get_if<Block::List>();
      set_attrs(dict, list.attr);
      set_item(dict, "ordered", new_bool(list.ordered));
      set_item(dict, "start", new_int(list.start));
      set_item(dict, "tight", new_bool(list.tight));
      set_count(dict, "items", list.items.size());
      break;
    }
    case BlockKind::DefinitionList: {
      const auto& list = *block.get_if<Block::DefinitionList>();
      set_attrs(dict, list.attr);
      set_count(dict, "items", list.items.size());
      break;
    }
    case BlockKind::CodeBlock: {
      const auto& code = *block.get_if<Block::CodeBlock>();
      set_attrs(dict, code.attr);
      set_item(dict, "info", new_str(code.info));
      set_item(dict, "lang", code.lang ? new_str(*code.lang) : new_none());
      set_item(dict, "text", new_str(code.text));
      set_item(dict, "open", new_str(code_block_open(code.attr, code.lang)));
      set_item(dict, "close", new_str("</code></pre>\n"));
      break;
    }
    case BlockKind::HtmlBlock:
      set_item(dict, "raw", new_str(block.get_if<Block::HtmlBlock>()->raw));
      break;
    case BlockKind::ThematicBreak:
      set_attrs(dict, *block.attr());
      break;
    case BlockKind::Table:
      set_table_entries(dict, *block.get_if<Block::Table>());
      break;
    case BlockKind::MathBlock: {
      const auto& math = *block.get_if<Block::MathBlock>();
      set_attrs(dict, math.attr);
      set_item(dict, "display", new_bool(math.display));
      set_item(dict, "tex", new_str(math.tex));
      break;
    }
    case BlockKind::Figure: {
      const auto& figure = *block.get_if<Block::Figure>();
      set_attrs(dict, figure.attr);
      if (const auto* image = figure.image.get_if<Inline::Image>()) set_image_entries(dict, *image);
      break;
    }
    case BlockKind::TemplateToken:
      set_template_entries(dict, *block.get_if<TemplateToken>(), "block");
      break;
    case BlockKind::RawBlock: {
      const auto& raw = *block.get_if<Block::RawBlock>();
      set_item(dict, "format", new_str(raw.format));
      set_item(dict, "text", new_str(raw.text));
      break;
    }
    case BlockKind::ScriptBlock: {
      const auto& script = *block.get_if<Block::ScriptBlock>();
      set_item(dict, "lang", new_str(script.lang));
      set_item(dict, "text", new_str(script.text));
      break;
    }
  }
  return dict;
}

Ref inline_node(const Inline& node) {
  Ref dict = new_dict_of_type(node.kind_name());
  switch (node.kind()) {
    case InlineKind::Text:
      set_item(dict, "text", new_str(node.get_if<Inline::Text>()->text));
      break;
    case InlineKind::HtmlInline:
      set_item(dict, "text", new_str(node.get_if<Inline::HtmlInline>()->raw));
      break;
    case InlineKind::SoftBreak:
    case InlineKind::HardBreak:
      break;
    case InlineKind::Emph:
    case InlineKind::Strong:
    case InlineKind::Strike:
    case InlineKind::Highlight:
    case InlineKind::Span:
      set_attrs(dict, *node.attr());
      set_count(dict, "children", node.children()->size());
      break;
    case InlineKind::Superscript: {
      const auto& sup = *node.get_if<Inline::Superscript>();
      set_attrs(dict, sup.attr);
      set_item(dict, "text", new_str(sup.text));
      break;
    }
    case InlineKind::Subscript: {
      const auto& sub = *node.get_if<Inline::Subscript>();
      set_attrs(dict, sub.attr);
      set_item(dict, "text", new_str(sub.text));
      break;
    }
    case InlineKind::Code: {
      const auto& code = *node.get_if<Inline::Code>();
      set_attrs(dict, code.attr);
      set_item(dict, "text", new_str(code.text));
      break;
    }
    case InlineKind::Link: {
      const auto& link = *node.get_if<Inline::Link>();
      set_attrs(dict, link.attr);
      set_count(dict, "children", link.children.size());
      set_item(dict, "url", new_str(link.url));
      set_item(dict, "title", optional_str(link.title));
      break;
    }
    case InlineKind::Image: {
      const auto& image = *node.get_if<Inline::Image>();
      set_attrs(dict, image.attr);
      set_image_entries(dict, image);
      break;
    }
    case InlineKind::Autolink: {
      const auto& autolink = *node.get_if<Inline::Autolink>();
      set_item(dict, "url", new_str(autolink.url));
      set_item(dict, "text", new_str(autolink.text));
      set_item(dict, "email", new_bool(autolink.email));
      break;
    }
    case InlineKind::Operation: {
      const auto& op = *node.get_if<Inline::Operation>();
      set_item(dict, "syntax", new_str(op.syntax));
      set_item(dict, "action", new_str(op.action));
      set_item(dict, "name", new_str(op.name));
      set_count(dict, "args", op.args.size());
      break;
    }
    case InlineKind::TemplateToken:
      set_template_entries(dict, *node.get_if<TemplateToken>(), "inline");
      break;
    case InlineKind::MathInline: {
      const auto& math = *node.get_if<Inline::MathInline>();
      set_attrs(dict, math.attr);
      set_item(dict, "display", new_bool(math.display));
      set_item(dict, "tex", new_str(math.tex));
      break;
    }
    case InlineKind::FootnoteRef:
      set_item(dict, "label", new_str(node.get_if<Inline::FootnoteRef>()->label));
      break;
    case InlineKind::Note:
      set_count(dict, "children", node.get_if<Inline::Note>()->children.size());
      break;
    case InlineKind::RawInline: {
      const auto& raw = *node.get_if<Inline::RawInline>();
      set_item(dict, "format", new_str(raw.format));
      set_item(dict, "text", new_str(raw.text));
      break;
    }
  }
  return dict;
}

}  // namespace vedavi::py
