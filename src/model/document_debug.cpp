// A readable dump of a document tree, one node a line, indented by depth; walked with an
// explicit stack so any depth prints.
#include "model/document.h"

namespace vedavi {
namespace {

void append_quoted(std::string_view text, std::string& out) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  out += '"';
}

void append_attr(const Attr& attr, std::string& out) {
  if (attr.empty()) return;
  out += " {";
  bool first = true;
  auto sep = [&] {
    if (!first) out += ' ';
    first = false;
  };
  if (attr.id()) {
    sep();
    out += '#';
    out += *attr.id();
  }
  for (const auto& name : attr.classes()) {
    sep();
    out += '.';
    out += name;
  }
  for (const auto& [key, value] : attr.pairs()) {
    sep();
    out += key;
    out += '=';
    append_quoted(value, out);
  }
  out += '}';
}

class Printer {
 public:
  std::string run() && {
    while (!stack_.empty()) {
      const Item item = stack_.back();
      stack_.pop_back();
      if (item.block) print(item.block, item.depth);
      else if (item.node) print(item.node, item.depth);
      else print(labels_[item.label], item.depth);
    }
    return std::move(out_);
  }

  void push_blocks(const Blocks& blocks, std::size_t depth) {
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) stack_.push_back({&*it, nullptr, 0, depth});
  }
  void push_inlines(const Inlines& inlines, std::size_t depth) {
    for (auto it = inlines.rbegin(); it != inlines.rend(); ++it) push_inline(*it, depth);
  }
  void push_inline(const Inline& node, std::size_t depth) { stack_.push_back({nullptr, &node, 0, depth}); }
  void push_label(std::string label, std::size_t depth) {
    labels_.push_back(std::move(label));
    stack_.push_back({nullptr, nullptr, labels_.size() - 1, depth});
  }

 private:
  // One line to print: a block, an inline, or a label line (an index into labels_).
  struct Item {
    const Block* block;
    const Inline* node;
    std::size_t label;
    std::size_t depth;
  };

  void line(std::size_t depth, std::string_view head) {
    out_.append(depth * 2, ' ');
    out_ += head;
  }

  void print(const std::string& label, std::size_t depth) {
    line(depth, label);
    out_ += '\n';
  }

  // Children are pushed after their parent's line, last first, so they print in order below it.
  void print(const Inline* node, std::size_t depth) {
    line(depth, node->kind_name());
    if (const Attr* attr = node->attr()) append_attr(*attr, out_);
    node->visit(
        [&](const auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (requires { x.url; }) {
            out_ += ' ';
            append_quoted(x.url, out_);
          }
          if constexpr (requires { x.title; }) {
            if (x.title) {
              out_ += " title=";
              append_quoted(*x.title, out_);
            }
          }
          if constexpr (requires { x.text; }) {
            out_ += ' ';
            append_quoted(x.text, out_);
          }
          if constexpr (requires { x.raw; }) {
            out_ += ' ';
            append_quoted(x.raw, out_);
          }
          if constexpr (requires { x.tex; }) {
            out_ += ' ';
            append_quoted(x.tex, out_);
            if (x.display) out_ += " display";
          }
          if constexpr (requires { x.label; }) {
            out_ += ' ';
            append_quoted(x.label, out_);
          }
          if constexpr (requires { x.format; }) out_ += " format=" + x.format;
          if constexpr (std::is_same_v<T, TemplateToken>) {
            out_ += ' ';
            append_quoted(x.source, out_);
          }
          out_ += '\n';
          if constexpr (std::is_same_v<T, Inline::Operation>) {
            for (auto arg = x.args.rbegin(); arg != x.args.rend(); ++arg) {
              push_inlines(arg->value, depth + 2);
              push_label(arg->name ? "arg " + *arg->name : "arg", depth + 1);
            }
          } else if constexpr (requires { x.children; }) {
            push_inlines(x.children, depth + 1);
          }
        });
  }

  void push_rows(const ArenaVector<TableRow>& rows, std::string_view name, std::size_t depth) {
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
      for (auto cell = row->cells.rbegin(); cell != row->cells.rend(); ++cell) {
        push_inlines(cell->content, depth + 2);
        std::string head = "cell";
        if (cell->align != Align::None) head.append(" ").append(align_name(cell->align));
        append_attr(cell->attr, head);
        push_label(std::move(head), depth + 1);
      }
      std::string head(name);
      append_attr(row->attr, head);
      push_label(std::move(head), depth);
    }
  }

  void print(const Block* node, std::size_t depth) {
    line(depth, node->kind_name());
    if (const Attr* attr = node->attr()) append_attr(*attr, out_);
    const std::size_t inner = depth + 1;
    node->visit(
        [&](const auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, Block::Heading>) out_ += " level=" + std::to_string(x.level);
          if constexpr (std::is_same_v<T, Block::List>) {
            out_ += x.ordered ? " ordered start=" + std::to_string(x.start) : " bullet";
            out_ += x.tight ? " tight" : " loose";
          }
          if constexpr (std::is_same_v<T, Block::CodeBlock>) {
            out_ += " info=";
            append_quoted(x.info, out_);
            if (x.lang) out_ += " lang=" + *x.lang;
          }
          if constexpr (requires { x.text; }) {
            out_ += ' ';
            append_quoted(x.text, out_);
          }
          if constexpr (requires { x.raw; }) {
            out_ += ' ';
            append_quoted(x.raw, out_);
          }
          if constexpr (requires { x.tex; }) {
            out_ += ' ';
            append_quoted(x.tex, out_);
            if (x.display) out_ += " display";
          }
          if constexpr (requires { x.format; }) out_ += " format=" + x.format;
          if constexpr (std::is_same_v<T, Block::ScriptBlock>) out_ += " lang=" + x.lang;
          if constexpr (std::is_same_v<T, TemplateToken>) {
            out_ += ' ';
            append_quoted(x.source, out_);
          }
          out_ += '\n';

          if constexpr (requires { x.inlines; }) push_inlines(x.inlines, inner);
          if constexpr (requires { x.children; }) push_blocks(x.children, inner);
          if constexpr (std::is_same_v<T, Block::List>) {
            for (auto item = x.items.rbegin(); item != x.items.rend(); ++item) {
              push_blocks(item->children, inner + 1);
              std::string head = "item";
              if (item->task) head += *item->task ? " [x]" : " [ ]";
              append_attr(item->attr, head);
              push_label(std::move(head), inner);
            }
          }
          if constexpr (std::is_same_v<T, Block::DefinitionList>) {
            for (auto item = x.items.rbegin(); item != x.items.rend(); ++item) {
              for (auto def = item->definitions.rbegin(); def != item->definitions.rend(); ++def) {
                push_inlines(*def, inner + 2);
                push_label("definition", inner + 1);
              }
              for (auto term = item->terms.rbegin(); term != item->terms.rend(); ++term) {
                push_inlines(term->inlines, inner + 2);
                std::string head = "term";
                append_attr(term->attr, head);
                push_label(std::move(head), inner + 1);
              }
              push_label("item", inner);
            }
          }
          if constexpr (std::is_same_v<T, Block::Table>) {
            for (auto token = x.tokens.rbegin(); token != x.tokens.rend(); ++token) {
              push_inline(token->token, inner + 1);
              push_label("token before row " + std::to_string(token->row), inner);
            }
            push_rows(x.foot_rows, "foot row", inner);
            push_rows(x.rows, "row", inner);
            push_rows(x.head_rows, "head row", inner);
            if (!x.caption.empty()) {
              push_inlines(x.caption, inner + 1);
              push_label("caption", inner);
            }
            std::string aligns = "aligns";
            for (Align a : x.aligns) aligns.append(" ").append(a == Align::None ? "-" : align_name(a));
            push_label(std::move(aligns), inner);
          }
          if constexpr (std::is_same_v<T, Block::Figure>) {
            push_inline(x.image, inner);
            push_inlines(x.caption, inner + 1);
            push_label("caption", inner);
          }
        });
  }

  std::vector<Item> stack_;
  std::vector<std::string> labels_;
  std::string out_;
};

}  // namespace

std::string debug_string(const Blocks& blocks) {
  Printer printer;
  printer.push_blocks(blocks, 0);
  return std::move(printer).run();
}

std::string debug_string(const Inlines& inlines) {
  Printer printer;
  printer.push_inlines(inlines, 0);
  return std::move(printer).run();
}

std::string debug_string(const Document& doc) {
  Printer printer;
  // Pushed in reverse: meta first, then blocks, footnotes, diagnostics.
  for (auto d = doc.diagnostics.rbegin(); d != doc.diagnostics.rend(); ++d) {
    std::string head = "diagnostic " + d->code;
    if (d->start) {
      head.append(" ").append(std::to_string(d->start->line));
      head.append(":").append(std::to_string(d->start->column));
    }
    head += " " + d->message;
    printer.push_label(std::move(head), 0);
  }
  for (auto f = doc.footnotes.rbegin(); f != doc.footnotes.rend(); ++f) {
    printer.push_blocks(f->blocks, 1);
    printer.push_label("footnote " + f->label, 0);
  }
  printer.push_blocks(doc.blocks, 0);
  for (auto m = doc.meta.rbegin(); m != doc.meta.rend(); ++m)
    printer.push_label("meta " + m->first + ": " + m->second, 0);
  return std::move(printer).run();
}

}  // namespace vedavi
