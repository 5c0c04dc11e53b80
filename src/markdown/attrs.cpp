// Attribute groups, fences and the significant children of a node.
#include "markdown/attrs.h"

#include <algorithm>

#include "text/scan.h"
#include "text/unicode.h"

namespace vedavi::markdown {
namespace {

bool listed(Names names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A value is unescaped and then has its character references decoded: "&" that could start one
// and line ends (which would end the attribute line) are written as references.
void append_pair_value(std::string_view value, std::string& out) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\n') {
      out += "&#10;";
    } else if (c == '\r') {
      out += "&#13;";
    } else if (c == '&' && i + 1 < value.size() && (value[i + 1] == '#' || scan::is_ascii_alnum(value[i + 1]))) {
      out += "&amp;";
    } else {
      // Delimiter characters are escaped too: emphasis around the group would pair with them.
      if (std::string_view("\\\"*_~^`").find(c) != std::string_view::npos) out += '\\';
      out += c;
    }
  }
}

}  // namespace

bool readable_attr_name(std::string_view name) {
  if (name.empty() || !(scan::is_ascii_alpha(name[0]) || name[0] == '_' || name[0] == ':')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return scan::is_ascii_alnum(c) || c == '_' || c == '.' || c == ':' || c == '-';
  });
}

Attr attrs_without_classes(const Dom& dom, NodeId node, Names skip_names, Names skip_classes) {
  Attr attr;
  const auto* element = dom.element(node);
  if (element == nullptr) return attr;
  // Classes and pairs are gathered as they come and merged at once: adding them one by one
  // would scan the set for each, quadratic in an element with thousands of them. A few are
  // added directly.
  const bool few = element->attrs.size() <= 8 && std::none_of(element->attrs.begin(), element->attrs.end(), [](const auto& a) {
    return a.name.local == "class" && a.value.size() > 256;
  });
  if (few) {
    for (const auto& attribute : element->attrs) {
      const std::string_view name = attribute.name.local;
      if (listed(skip_names, name) || !readable_attr_name(name)) continue;
      if (name == "class") {
        for (std::string_view piece : unicode::split_white_space(attribute.value)) {
          if (!listed(skip_classes, piece)) attr.push_class(piece);
        }
      } else if (name == "id") {
        attr.set_id(attribute.value);
      } else {
        attr.set_pair(name, attribute.value);
      }
    }
    return attr;
  }
  Attr gathered;
  for (const auto& attribute : element->attrs) {
    const std::string_view name = attribute.name.local;
    if (listed(skip_names, name) || !readable_attr_name(name)) continue;
    if (name == "class") {
      for (std::string_view piece : unicode::split_white_space(attribute.value)) {
        if (!listed(skip_classes, piece)) gathered.classes_mut().emplace_back(piece);
      }
    } else if (name == "id") {
      attr.set_id(attribute.value);
    } else {
      gathered.pairs_mut().emplace_back(name, attribute.value);
    }
  }
  attr.merge(gathered);
  return attr;
}

bool has_classes(const Dom& dom, NodeId node, std::string_view first, std::string_view second) {
  return dom.has_class(node, first) && dom.has_class(node, second);
}

// "." and "#" are escaped too: inside a word they would start another class or an id; so are
// quotes, which would open a quoted run, and tabs, which would end the word.
void append_attr_word(std::string_view text, std::string& out) {
  for (char c : text) {
    if (std::string_view("\\{} \t.#\"'*_~^`").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
}

std::string attrs_body(const Attr& attr) {
  std::string body;
  auto separate = [&] {
    if (!body.empty()) body += ' ';
  };
  if (attr.id() && attr.id()->empty()) {
    body += "id=\"\"";  // "#" alone sets no id
  } else if (attr.id()) {
    body += '#';
    append_attr_word(*attr.id(), body);
  }
  for (const std::string& name : attr.classes()) {
    separate();
    body += '.';
    append_attr_word(name, body);
  }
  for (const auto& [key, value] : attr.pairs()) {
    separate();
    body += key;  // a key is read as it stands, backslashes and all
    body += "=\"";
    append_pair_value(value, body);
    body += '"';
  }
  // "{:" opens the colon form of a group, which reads the rest without the ":".
  if (body.starts_with(':')) body.insert(0, 1, ' ');
  return body;
}

namespace {

// Text that every part of a group holds as it stands: nothing escaped, quoted or decoded.
bool plain(std::string_view text, bool value) {
  if (text.empty()) return value;
  return std::all_of(text.begin(), text.end(), [&](char c) {
    return scan::is_ascii_alnum(c) || c == '-' || c == ':' || c == '/' || (value && (c == ' ' || c == '.' || c == ',' || c == ';'));
  });
}

}  // namespace

bool sayable(const Attr& attr) {
  if (attr.empty()) return true;
  const bool simple = (!attr.id() || plain(*attr.id(), false)) &&
                      std::all_of(attr.classes().begin(), attr.classes().end(), [](const std::string& c) { return plain(c, false); }) &&
                      std::all_of(attr.pairs().begin(), attr.pairs().end(), [](const auto& pair) {
                        return plain(pair.first, false) && pair.first != "id" && pair.first != "class" && plain(pair.second, true);
                      });
  // The reader trims a group's body first: an escaped space ending it would be lost.
  return simple || attrs::parse_attrs_body(unicode::trim(attrs_body(attr))) == attr;
}

void trailing_attrs(const Attr& attr, std::string& out) {
  if (attr.empty()) return;
  out += '{';
  out += attrs_body(attr);
  out += '}';
}

void ial(const Attr& attr, std::string& out) {
  if (attr.empty()) return;
  out += "{: ";
  out += attrs_body(attr);
  out += "}\n";
}

std::size_t longest_run(std::string_view text, char c) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (char x : text) {
    run = x == c ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

void fenced_block(std::string_view info, std::string_view body, std::string& out) {
  // A backtick fence's info may not hold a backtick (the line would read as text): a tilde
  // fence's may.
  const char mark = info.find('`') == std::string_view::npos ? '`' : '~';
  const std::string fence(std::max<std::size_t>(longest_run(body, mark) + 1, 3), mark);
  out += fence;
  out += info;
  out += '\n';
  // An empty body gets no line of its own: a blank line would read back as one line feed.
  out += body;
  if (!body.empty() && body.back() != '\n') out += '\n';
  out += fence;
  out += "\n\n";
}

void fenced_div(const Attr& attr, std::string_view body, std::string& out) {
  const std::string fence(std::max<std::size_t>(longest_run(body, ':') + 1, 3), ':');
  // The reader opens a div only at a fence with something after it: "{}" when there are no
  // attributes.
  out += fence;
  out += " {";
  out += attrs_body(attr);
  out += "}\n";
  out += body;
  if (body.empty() || body.back() != '\n') out += '\n';
  out += fence;
  out += "\n\n";
}

bool is_blank_text(const Dom& dom, NodeId node) {
  const auto* text = std::get_if<fast5ever::dom::Text>(&dom.node(node).data);
  return text != nullptr && unicode::trim(text->text).empty();
}

std::vector<NodeId> significant_children(const Dom& dom, NodeId node) {
  std::vector<NodeId> kept;
  for (NodeId child : dom.walk_children(node)) {
    if (!is_blank_text(dom, child)) kept.push_back(child);
  }
  return kept;
}

}  // namespace vedavi::markdown
