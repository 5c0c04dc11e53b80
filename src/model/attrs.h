// The attribute set of a node (`Attr`) and the brace grammar that fills it: attribute bodies,
// braced and trailing groups, raw-format markers and code-fence info strings.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vedavi {

using StringPairs = std::vector<std::pair<std::string, std::string>>;

// Attributes of a node: an optional id, classes (unique, non-empty, in order of first
// appearance) and key/value pairs (a key at most once, in order of first setting). Fill it
// through the methods to keep those invariants.
//
// Nearly every node has no attributes, so the set is one pointer, null while nothing was ever
// set; the readers give empty values then. The contents live in the arena current when they were
// first set (model/arena.h), which destroys them at its reset: the set itself needs no
// destructor, as a node in the arena must not. Copies are deep, equality compares the contents.
class Attr {
 public:
  Attr() = default;
  Attr(const Attr& other);
  Attr(Attr&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
  Attr& operator=(const Attr& other);
  Attr& operator=(Attr&& other) noexcept {
    if (this != &other) data_ = std::exchange(other.data_, nullptr);
    return *this;
  }
  ~Attr() = default;

  static Attr with_class(std::string_view name);

  const std::optional<std::string>& id() const { return held().id; }
  const std::vector<std::string>& classes() const { return held().classes; }
  const StringPairs& pairs() const { return held().pairs; }

  bool empty() const { return !data_ || (!data_->id && data_->classes.empty() && data_->pairs.empty()); }
  bool has_class(std::string_view name) const;
  // The value of the first pair with this key, nullptr when there is none.
  const std::string* find_pair(std::string_view key) const;

  // Sets or clears the id.
  void set_id(std::optional<std::string> id);
  // Appends a class unless it is empty or already present. One class or pair at a time is a
  // scan of the set; `merge` and `parse_attrs_body` add many at once in O(n log n).
  void push_class(std::string_view name);
  void push_class(std::string&& name);
  void push_class(const char* name) { push_class(std::string_view(name)); }
  // "id" sets the id, "class" adds each white-space separated word as a class, any other key
  // replaces the value of its first pair in place or appends a new pair. Takes any string-like
  // key and value (owned strings are moved in).
  template <class K, class V>
    requires std::is_constructible_v<std::string, K&&> && std::is_constructible_v<std::string, V&&>
  void set_pair(K&& key, V&& value) {
    set_owned_pair(std::string(std::forward<K>(key)), std::string(std::forward<V>(value)));
  }
  void set_owned_pair(std::string key, std::string value);
  // Takes the other's id when it has one, then adds its classes and sets its pairs, in order.
  // O(n log n) in the size of both sets.
  void merge(const Attr& other);
  // The attributes of a panel div (callout, details or explicit panel), none when these
  // attributes mark no panel.
  std::optional<Attr> panel() const;

  // Direct access for the few edits the methods above do not cover (moving the id or classes
  // to another node, dropping an entry); the caller keeps the invariants.
  std::optional<std::string>& id_mut() { return data().id; }
  std::vector<std::string>& classes_mut() { return data().classes; }
  StringPairs& pairs_mut() { return data().pairs; }

  friend bool operator==(const Attr& a, const Attr& b);

 private:
  struct Data {
    std::optional<std::string> id;
    std::vector<std::string> classes;
    StringPairs pairs;
  };
  static const Data kNoData;  // what an unset attribute set reads as

  Data& data();
  const Data& held() const { return data_ ? *data_ : kNoData; }

  Data* data_ = nullptr;
};

inline const Attr::Data Attr::kNoData{};

namespace attrs {

// The inside of a brace group ("#id .class key=value ..."), without the braces.
Attr parse_attrs_body(std::string_view body);
// Every backslash followed by a character becomes that character; a final lone backslash stays.
std::string unescape_attr(std::string_view text);
// Whether a (trimmed) brace body is an attribute block; `colon_form` for "{: ...}".
bool looks_like_attrs(std::string_view body, bool colon_form);

struct BracedAttr {
  Attr attr;
  std::size_t consumed;  // both braces included
};
// An attribute block at the start of `text` ("{...}" or "{:...}").
std::optional<BracedAttr> parse_braced_attr(std::string_view text);
// A bare attribute string ("#id.class") that forms one whole attribute block.
std::optional<Attr> parse_synthetic_attrs(std::string_view text);

struct RawFormat {
  std::string_view format;  // a view into the text given
  std::size_t consumed;
};
// A raw-format marker "{=format}" at the start of `text`.
std::optional<RawFormat> raw_attr(std::string_view text);

struct AttrSpan {
  std::size_t start;  // offset of the "{"
  std::size_t end;    // just past the "}"
};
// The attribute group that ends a line (trailing white space ignored), as byte offsets.
std::optional<AttrSpan> trailing_attr_span(std::string_view line);

struct StrippedAttr {
  std::string text;
  Attr attr;
};
// Splits a trailing attribute group off a text; without one the text comes back trimmed.
StrippedAttr strip_trailing_attr(std::string_view text);

struct FenceInfo {
  std::string info;
  Attr attr;
  std::optional<std::string> lang;
  bool has_attrs = false;  // an attribute block or shorthand was recognised
};
// Splits the info string of a code fence into info, attributes and language.
FenceInfo parse_fence_info(std::string_view raw_info);

}  // namespace attrs
}  // namespace vedavi
