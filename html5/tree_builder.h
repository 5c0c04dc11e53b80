// The HTML5 tree builder: a token sink that runs the WHATWG tree-construction rules (every insertion
// mode, foreign content, the adoption agency, foster parenting, templates) and builds the document
// through a TreeSink.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "html5/token.h"
#include "html5/tree_builder_handle_map.h"
#include "html5/tree_builder_tags.h"
#include "html5/tree_sink.h"

namespace html5 {

struct TreeBuilderOptions {
  bool exact_errors = false;      // parse-error messages name the offending token
  bool scripting_enabled = false;  // <noscript> content is raw text when on
  bool iframe_srcdoc = false;     // an iframe srcdoc document is never quirky for a missing doctype
  bool drop_doctype = false;      // do not hand doctypes to the sink
  QuirksMode quirks_mode = QuirksMode::NoQuirks;
};

class TreeBuilder final : public TokenSink {
 public:
  // A whole document.
  explicit TreeBuilder(TreeSink& sink, const TreeBuilderOptions& options = {});
  // A fragment parsed in the context of `context_element`, an element the sink created (and did
  // not attach). There is no form element.
  TreeBuilder(TreeSink& sink, Handle context_element, const TreeBuilderOptions& options = {});

  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;

  TokenSinkResult process_token(Token& token, std::uint64_t line) override;
  void end() override;
  bool adjusted_current_node_present_but_not_in_html_namespace() const override;

 private:
  enum class Mode : std::uint8_t {
    Initial, BeforeHtml, BeforeHead, InHead, InHeadNoscript, AfterHead, InBody, Text, InTable,
    InTableText, InCaption, InColumnGroup, InTableBody, InRow, InCell, InTemplate, AfterBody,
    InFrameset, AfterFrameset, AfterAfterBody, AfterAfterFrameset,
  };
  // What a rule did with the token: consumed it, or changed state so that it must be reprocessed.
  enum class Step : std::uint8_t { Done, Reprocess };

  struct OpenElement {
    Handle node = 0;
    Kind kind = Kind::Other;
    Namespace ns = Namespace::Html;
    bool html_integration_point = false;
    std::uint8_t marks = 0;  // bit i: a member of Mark i
  };
  // An entry of the list of active formatting elements: an element with the tag that made it (to
  // recreate it), or a marker.
  struct FormattingEntry {
    bool is_marker = false;
    Handle node = 0;
    Kind kind = Kind::Other;
    std::uint32_t id = 0;         // unique for the builder's life; survives moves in the list
    std::uint32_t level = 0;      // the number of markers before the entry
    std::uint64_t signature = 0;  // hash of the tag name and the attribute set
    Tag tag;
  };
  // Where a node goes: as last child of `parent`, or, when foster parenting, before `parent` (the
  // table) if it has a parent and else into `prev` (the element above the table).
  struct InsertionPoint {
    enum class Where : std::uint8_t { LastChild, Foster } where = Where::LastChild;
    Handle parent = 0;
    Handle prev = 0;
  };
  // The scopes of "has an element in ... scope".
  enum class Scope : std::uint8_t { Default, ListItem, Button, Table };
  // Classes of open elements whose positions the builder keeps, so that "the nearest one" is an
  // O(1) question: the boundaries of each scope, special elements, the special elements that stop
  // the search for an open list item, and HTML elements.
  enum Mark : std::uint8_t {
    kMarkDefault, kMarkListItem, kMarkButton, kMarkTable, kMarkSpecial, kMarkListItemStop,
    kMarkHtml, kMarkCount,
  };

  // --- dispatch (tree_builder.cpp) ---
  void run_token(Token& token, std::uint64_t line);
  Step dispatch(Token& t);
  Step step(Mode mode, Token& t);
  bool use_html_rules(const Token& t) const;

  // --- insertion modes ---
  Step initial(Token& t);
  Step before_html(Token& t);
  Step before_head(Token& t);
  Step in_head(Token& t);
  Step in_head_noscript(Token& t);
  Step after_head(Token& t);
  Step text(Token& t);
  Step after_body(Token& t);
  Step in_frameset(Token& t);
  Step after_frameset(Token& t);
  Step after_after_body(Token& t);
  Step after_after_frameset(Token& t);
  Step in_body(Token& t);
  Step body_characters(Token& t);
  Step body_start_tag(Token& t);
  Step body_end_tag(Token& t);
  Step body_eof(Token& t);
  Step in_table(Token& t);
  Step in_table_text(Token& t);
  Step in_caption(Token& t);
  Step in_column_group(Token& t);
  Step in_table_body(Token& t);
  Step in_row(Token& t);
  Step in_cell(Token& t);
  Step in_template(Token& t);
  Step foreign_content(Token& t);

  // --- shared pieces of the rules ---
  Step table_anything_else(Token& t);
  Step process_with_foster_parenting(Token& t);
  void doctype_in_initial(const Doctype& d);
  void any_other_end_tag(const Tag& tag);
  bool adoption_agency(const Tag& tag);  // false: act as "any other end tag"
  void close_p_element();
  void close_cell();
  void clear_stack_back_to(std::initializer_list<Kind> kinds);  // pops until the current node is one
  void generic_raw_text(Tag& tag, RawKind kind);
  void reset_insertion_mode();
  void stop_parsing();
  void insert_whitespace_only(std::string_view text);

  // --- the stack of open elements ---
  const OpenElement& current() const { return open_.back(); }
  const OpenElement& adjusted_current() const;
  bool current_is(Kind k) const { return !open_.empty() && open_.back().kind == k; }
  void push(const OpenElement& e);
  void pop();
  void pop_until(Kind k);                 // pops up to and including the topmost `k`
  void pop_until_one_of(std::initializer_list<Kind> kinds);
  void pop_until_node(Handle node);
  void remove_open_at(std::size_t index);
  void unindex_from(std::size_t index);
  void shift_segment(std::size_t from, std::size_t to, const OpenElement& last);
  void reindex_from(std::size_t index);
  std::optional<std::size_t> open_position(Handle node) const;
  bool is_open(Handle node) const;
  std::int64_t top_position(Kind k) const {
    const auto& v = kind_positions_[static_cast<std::size_t>(k)];
    return v.empty() ? -1 : static_cast<std::int64_t>(v.back());
  }
  bool has_open(Kind k) const { return top_position(k) >= 0; }
  std::int64_t top_mark(Mark m) const {
    const auto& v = marks_[m];
    return v.empty() ? -1 : static_cast<std::int64_t>(v.back());
  }
  std::int64_t top_boundary(Scope s) const { return top_mark(static_cast<Mark>(s)); }
  std::int64_t top_named(std::string_view key) const;
  std::string name_key(const OpenElement& e) const;
  void index_at(std::size_t pos);
  void unindex_at(std::size_t pos);
  bool in_scope(Kind k, Scope s = Scope::Default) const {
    std::int64_t p = top_position(k);
    return p >= 0 && p >= top_boundary(s);
  }
  bool any_in_scope(std::initializer_list<Kind> kinds, Scope s = Scope::Default) const;
  bool node_in_scope(Handle node, Scope s = Scope::Default) const;
  void generate_implied_end_tags(Kind except = Kind::Other);
  void generate_all_implied_end_tags_thoroughly();

  // --- active formatting elements ---
  void push_marker();
  void erase_formatting(std::size_t index);
  void push_formatting(Handle node, Kind kind, const Tag& tag);
  void clear_formatting_to_marker();
  void reconstruct_formatting();
  std::optional<std::size_t> formatting_position(Handle node) const;
  void set_formatting_node(std::size_t index, Handle node);
  // The stack position of an open formatting element (the kinds the list can name).
  std::optional<std::size_t> formatting_open_position(Handle node) const {
    if (auto pos = formatting_open_positions_.get(node)) return *pos;
    return std::nullopt;
  }
  std::optional<std::size_t> formatting_after_marker(Kind kind);
  void index_formatting_from(std::size_t index);
  void sort_kind_ids(Kind kind);

  // --- inserting nodes ---
  InsertionPoint appropriate_place(const OpenElement* override_target = nullptr) {
    const OpenElement& target = override_target ? *override_target : current();
    // The common case: no foster parenting, and not into a template's contents.
    if (!foster_parenting_ && target.kind != Kind::Template) {
      return {InsertionPoint::Where::LastChild, target.node, 0};
    }
    return special_place(target);
  }
  InsertionPoint special_place(const OpenElement& target);
  InsertionPoint place_inside(Handle parent, Kind kind, Namespace ns);
  void insert_at(const InsertionPoint& place, NodeOrText child);
  Handle create_element(Tag& tag, Namespace ns);
  Handle insert_element(Tag& tag, Namespace ns, Kind kind, bool only_add_to_stack = false);
  // An HTML element for the tag being processed (whose kind is `tk_`).
  Handle insert_html_element(Tag& tag) { return insert_element(tag, Namespace::Html, tk_); }
  Handle insert_phantom(std::string_view name);
  void insert_formatting_element(Tag& tag);
  void insert_foreign_element(Tag& tag, Namespace ns);
  void insert_text(std::string_view text);
  void insert_comment(std::string_view text);
  void append_comment_to(Handle parent, std::string_view text);

  void error(std::string_view message);
  [[gnu::cold]] void exact_error(std::string_view message);

  TreeSink& sink_;
  TreeBuilderOptions options_;
  Handle document_;
  Mode mode_ = Mode::Initial;
  Mode original_mode_ = Mode::Initial;
  std::vector<Mode> template_modes_;
  std::vector<OpenElement> open_;
  std::vector<std::vector<std::uint32_t>> kind_positions_;
  std::vector<std::uint32_t> marks_[kMarkCount];
  // Positions of open elements that have no kind of their own (HTML elements of kind Other and
  // every foreign element), by name_key.
  std::unordered_map<std::string, std::vector<std::uint32_t>> named_positions_;
  std::vector<FormattingEntry> formatting_;
  // Per marker level: how many entries, of each formatting kind, and (once a level holds more
  // than a few) of each signature, so that the "at most three identical entries" rule scans the
  // list only when a fourth is about to arrive and a search for an absent kind costs nothing.
  struct LevelCounts {
    std::uint32_t entries = 0;
    std::array<std::uint32_t, 16> kinds{};  // by formatting_slot()
    bool indexed = false;                   // `signatures` is kept
    std::unordered_map<std::uint64_t, std::uint32_t> signatures;
    // Per formatting kind, the ids of the level's entries in list order; ids of erased entries
    // are dropped lazily when they reach the top.
    std::array<std::vector<std::uint32_t>, 16> kind_ids;
  };
  // Levels up to `level_` are live; the ones above are kept, cleared, for reuse.
  std::vector<LevelCounts> level_counts_{1};
  std::size_t level_ = 0;
  LevelCounts& current_level() { return level_counts_[level_]; }
  // Stack positions of the open formatting elements (the only ones the list of active formatting
  // elements can name).
  HandleMap formatting_open_positions_;
  // Entry id -> index in `formatting_`, and node -> entry id: the list is searched without scans.
  HandleMap formatting_index_;
  HandleMap formatting_node_ids_;
  std::uint32_t next_formatting_id_ = 0;
  std::optional<Handle> head_element_;
  std::optional<Handle> form_element_;
  std::optional<OpenElement> context_;
  bool frameset_ok_ = true;
  bool foster_parenting_ = false;
  bool ignore_lf_ = false;
  bool stopped_ = false;
  QuirksMode quirks_mode_;
  std::string pending_table_text_;
  bool pending_table_text_has_non_space_ = false;
  Kind tk_ = Kind::Other;  // the HTML kind of the tag being processed
  const Token* token_ = nullptr;  // the token being processed, for exact error messages
  TokenSinkResult result_;  // what the token asks of the tokenizer
};

}  // namespace html5
