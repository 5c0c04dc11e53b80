// The tree sink through which the HTML5 tree builder fills a Dom, handing out node ids as handles.
#pragma once

#include <vector>

#include "fast5ever/dom.h"
#include "html5/tree_sink.h"

namespace fast5ever::dom {

// Carries out the tree builder's decisions on the arena. Its own decisions: adjacent text merges
// into one Text node, a `template` element gets a Document node for its contents (created just
// before the element), parse errors are dropped, and declarative shadow roots are refused.
class Sink final : public html5::TreeSink {
 public:
  // Starts from a Dom holding only node 0.
  Sink() = default;
  explicit Sink(Dom dom) : dom_(std::move(dom)) {}

  const Dom& dom() const { return dom_; }
  // Takes the finished tree out; the sink is left empty.
  Dom finish() { return std::move(dom_); }

  html5::Handle get_document() override { return 0; }
  const QualName& elem_name(html5::Handle element) const override;
  html5::Handle create_element(QualName name, std::vector<Attribute> attrs,
                               html5::ElementFlags flags) override;
  html5::Handle create_comment(std::string_view text) override;
  void append(html5::Handle parent, html5::NodeOrText child) override;
  void append_before_sibling(html5::Handle sibling, html5::NodeOrText child) override;
  void append_based_on_parent_node(html5::Handle element, html5::Handle prev_element,
                                   html5::NodeOrText child) override;
  void append_doctype_to_document(std::string_view name, std::string_view public_id,
                                  std::string_view system_id) override;
  html5::Handle get_template_contents(html5::Handle target) override;
  void set_quirks_mode(html5::QuirksMode mode) override { dom_.quirks_mode = mode; }
  void add_attrs_if_missing(html5::Handle target, std::vector<Attribute> attrs) override;
  void remove_from_parent(html5::Handle target) override { detach(target); }
  void reparent_children(html5::Handle node, html5::Handle new_parent) override;
  bool is_mathml_annotation_xml_integration_point(html5::Handle) const override { return false; }
  bool attach_declarative_shadow(html5::Handle, html5::Handle,
                                 const std::vector<Attribute>&) override {
    return false;
  }

 private:
  struct Place {
    NodeId parent;
    std::size_t index;
  };

  html5::Handle push(NodeData data);
  Place parent_and_index(NodeId node) const;
  void detach(NodeId node);
  void insert_at(NodeId parent, std::size_t index, NodeId child);
  // The Text record of `id`, or null when the node holds something else.
  Text* text_of(NodeId id);

  Dom dom_;
};

}  // namespace fast5ever::dom
