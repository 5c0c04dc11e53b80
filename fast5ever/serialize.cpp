// HTML serialisation of Dom nodes and their plain text, walked with explicit stacks.
#include "fast5ever/serialize.h"

#include <array>
#include <cstdint>
#include <type_traits>
#include <variant>
#include <vector>

namespace fast5ever {

using dom::ChildList;
using dom::Dom;
using dom::NodeId;

namespace {

// Bytes that may start something to escape: 1 in text mode, 2 in attribute mode, 3 in both.
// 0xC2 is the lead byte of U+00A0; it is escaped only when 0xA0 follows. A parsed tree holds no
// NUL, but text an editor put in may: it is written as U+FFFD, since a reader would drop it.
constexpr std::array<std::uint8_t, 256> kEscapeClass = [] {
  std::array<std::uint8_t, 256> table{};
  table['\0'] = 3;
  table['&'] = 3;
  table['<'] = 3;
  table['>'] = 3;
  table['"'] = 2;
  table[0xC2] = 3;
  return table;
}();

void append_escaped(std::string_view s, std::uint8_t mode, std::string& out) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto byte = static_cast<unsigned char>(s[i]);
    if (!(kEscapeClass[byte] & mode)) continue;
    std::string_view replacement;
    switch (byte) {
      case '&': replacement = "&amp;"; break;
      case '<': replacement = "&lt;"; break;
      case '>': replacement = "&gt;"; break;
      case '"': replacement = "&quot;"; break;
      case '\0': replacement = "\xEF\xBF\xBD"; break;
      default:
        if (i + 1 >= s.size() || static_cast<unsigned char>(s[i + 1]) != 0xA0) continue;
        replacement = "&nbsp;";
        break;
    }
    out.append(s, run, i - run);
    out.append(replacement);
    if (byte == 0xC2) ++i;
    run = i + 1;
  }
  out.append(s, run);
}

bool is_void(std::string_view local) {
  static constexpr std::string_view kVoid[] = {
      "area", "base",  "basefont", "bgsound", "br",   "col",   "embed", "frame",  "hr",
      "img",  "input", "keygen",   "link",    "meta", "param", "source", "track", "wbr"};
  for (std::string_view name : kVoid) {
    if (local == name) return true;
  }
  return false;
}

// Text inside these is written unescaped (noscript because scripting counts as enabled).
bool is_raw_text(std::string_view local) {
  static constexpr std::string_view kRaw[] = {"style",    "script",   "xmp",       "iframe",
                                              "noembed", "noframes", "plaintext", "noscript"};
  for (std::string_view name : kRaw) {
    if (local == name) return true;
  }
  return false;
}

// Attribute names are written by namespace alone; the stored prefix plays no part.
void append_attr_name(const html5::QualName& name, std::string& out) {
  switch (name.ns) {
    case html5::Namespace::None: break;
    case html5::Namespace::Xml: out += "xml:"; break;
    case html5::Namespace::Xmlns:
      if (name.local != "xmlns") out += "xmlns:";
      break;
    case html5::Namespace::XLink: out += "xlink:"; break;
    default: out += "unknown_namespace:"; break;
  }
  out += name.local;
}

class Serializer {
 public:
  Serializer(const Dom& dom, std::string& out) : dom_(dom), out_(out) {}

  void run(NodeId id) {
    const dom::Node& start = dom_.node(id);
    if (std::holds_alternative<dom::Document>(start.data)) {
      frames_.push_back(Frame{&start.children, 0, nullptr});
    } else {
      write_node(id);
    }
    while (!frames_.empty()) {
      Frame& top = frames_.back();
      if (top.next < top.children->size()) {
        write_node((*top.children)[top.next++]);
      } else {
        const dom::Element* element = top.element;
        frames_.pop_back();
        if (element) end_element(*element);
      }
    }
  }

 private:
  // One element whose children are being written (or, with no element, the start's children).
  struct Frame {
    const ChildList* children;
    std::size_t next;
    const dom::Element* element;
  };
  struct Context {
    bool raw_text;
    bool ignore_children;  // below a void element no tags are written
  };

  void write_node(NodeId id) {
    const dom::Node& n = dom_.node(id);
    std::visit(
        [&](const auto& data) {
          using T = std::decay_t<decltype(data)>;
          if constexpr (std::is_same_v<T, dom::Document>) {
            dom::fail("document nodes serialize children-only");
          } else if constexpr (std::is_same_v<T, dom::Doctype>) {
            out_ += "<!DOCTYPE ";
            out_ += data.name;
            out_ += '>';
          } else if constexpr (std::is_same_v<T, dom::Text>) {
            if (contexts_.back().raw_text) {
              out_ += data.text;
            } else {
              append_escaped_text(data.text, out_);
            }
          } else if constexpr (std::is_same_v<T, dom::Comment>) {
            out_ += "<!--";
            out_ += data.text;
            out_ += "-->";
          } else if constexpr (std::is_same_v<T, dom::Element>) {
            start_element(data);
            frames_.push_back(Frame{&dom_.walk_children(id), 0, &data});
          } else {
            out_ += "<?";
            out_ += data.target;
            out_ += ' ';
            out_ += data.data;
            out_ += '>';
          }
        },
        n.data);
  }

  void start_element(const dom::Element& el) {
    const bool is_html = el.name.ns == html5::Namespace::Html;
    const bool raw_text = is_html && is_raw_text(el.name.local);
    if (contexts_.back().ignore_children) {
      contexts_.push_back(Context{raw_text, true});
      return;
    }
    out_ += '<';
    out_ += el.name.local;
    for (const dom::Attribute& attr : el.attrs) {
      out_ += ' ';
      append_attr_name(attr.name, out_);
      out_ += "=\"";
      append_escaped_attr(attr.value, out_);
      out_ += '"';
    }
    out_ += '>';
    contexts_.push_back(Context{raw_text, is_html && is_void(el.name.local)});
  }

  void end_element(const dom::Element& el) {
    const bool ignored = contexts_.back().ignore_children;
    contexts_.pop_back();
    if (ignored) return;
    out_ += "</";
    out_ += el.name.local;
    out_ += '>';
  }

  const Dom& dom_;
  std::string& out_;
  std::vector<Frame> frames_;
  std::vector<Context> contexts_{Context{false, false}};
};

}  // namespace

void append_escaped_text(std::string_view text, std::string& out) { append_escaped(text, 1, out); }

void append_escaped_attr(std::string_view value, std::string& out) {
  append_escaped(value, 2, out);
}

void append_html(const Dom& dom, NodeId id, std::string& out) { Serializer(dom, out).run(id); }

void append_text(const Dom& dom, NodeId id, std::string& out) {
  std::vector<NodeId> stack{id};
  while (!stack.empty()) {
    NodeId current = stack.back();
    stack.pop_back();
    if (const auto* text = std::get_if<dom::Text>(&dom.node(current).data)) out += text->text;
    const ChildList& children = dom.walk_children(current);
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
}

}  // namespace fast5ever

namespace fast5ever::dom {

std::string Dom::to_html(NodeId id) const {
  std::string out;
  append_html(*this, id, out);
  return out;
}

std::string Dom::to_text(NodeId id) const {
  std::string out;
  append_text(*this, id, out);
  return out;
}

}  // namespace fast5ever::dom
