// The tree-sink interface: the tree builder builds the document only through these calls, and
// the caller's sink owns the nodes, naming them by integer handles.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "html5/names.h"
#include "html5/token.h"

namespace html5 {

enum class QuirksMode : std::uint8_t { Quirks, LimitedQuirks, NoQuirks };

struct ElementFlags {
  bool is_template = false;
  bool mathml_annotation_xml_integration_point = false;
};

// A child to insert: an existing node, or text that the sink may merge with a neighbouring text.
struct NodeOrText {
  bool is_text = false;
  Handle node = 0;
  std::string_view text;

  static NodeOrText of_node(Handle h) { return {false, h, {}}; }
  static NodeOrText of_text(std::string_view t) { return {true, 0, t}; }
};

class TreeSink {
 public:
  virtual ~TreeSink() = default;

  virtual Handle get_document() = 0;
  virtual const QualName& elem_name(Handle element) const = 0;
  virtual Handle create_element(QualName name, std::vector<Attribute> attrs, ElementFlags flags) = 0;
  virtual Handle create_comment(std::string_view text) = 0;
  virtual void append(Handle parent, NodeOrText child) = 0;
  virtual void append_before_sibling(Handle sibling, NodeOrText child) = 0;
  // Inserts before `element` when it has a parent, else appends to `prev_element` (foster parenting).
  virtual void append_based_on_parent_node(Handle element, Handle prev_element, NodeOrText child) = 0;
  virtual void append_doctype_to_document(std::string_view name, std::string_view public_id,
                                          std::string_view system_id) = 0;
  virtual Handle get_template_contents(Handle target) = 0;
  virtual bool same_node(Handle a, Handle b) const { return a == b; }
  virtual void set_quirks_mode(QuirksMode mode) = 0;
  virtual void add_attrs_if_missing(Handle target, std::vector<Attribute> attrs) = 0;
  virtual void remove_from_parent(Handle target) = 0;
  virtual void reparent_children(Handle node, Handle new_parent) = 0;
  virtual bool is_mathml_annotation_xml_integration_point(Handle handle) const = 0;
  // Declarative shadow roots: return false to refuse (the template then stays an ordinary one).
  virtual bool attach_declarative_shadow(Handle location, Handle template_element,
                                         const std::vector<Attribute>& attrs) { return false; }
  virtual void parse_error(std::string_view message) {}

  // Bookkeeping hooks a sink may ignore.
  virtual void pop(Handle node) {}
  virtual void mark_script_already_started(Handle node) {}
  virtual void associate_with_form(Handle target, Handle form, Handle element, Handle prev_element) {}
  virtual void set_current_line(std::uint64_t line) {}
};

}  // namespace html5
