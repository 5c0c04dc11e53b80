// Cross-references: the reference tokens of a `data-ref` value, the registry of targets with
// their kinds, texts and numbers (`Resolver`), and the text a reference resolves to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/outcome.h"
#include "base/seeded_hash.h"

namespace vedavi {

// The words of a `data-ref` value. The first four choose how a reference shows (and exclude each
// other); `Bare` drops the prefix word and combines with any of them.
enum class RefToken : std::uint8_t { Page, Text, Leaf, Rel, Bare };

inline constexpr RefToken kAllRefTokens[] = {RefToken::Page, RefToken::Text, RefToken::Leaf,
                                             RefToken::Rel, RefToken::Bare};

std::string_view ref_token_name(RefToken token);
std::optional<RefToken> ref_token_named(std::string_view word);

// A set of reference tokens. Only the five words mean anything, so a set holds no others.
class RefTokens {
 public:
  bool contains(RefToken token) const { return (bits_ & bit(token)) != 0; }
  void insert(RefToken token) { bits_ |= bit(token); }
  bool empty() const { return bits_ == 0; }
  bool operator==(const RefTokens&) const = default;

 private:
  static std::uint8_t bit(RefToken token) { return std::uint8_t(1u << static_cast<int>(token)); }
  std::uint8_t bits_ = 0;
};

// The token set of a `data-ref` value (no value reads as the empty one): its words split at
// runs of white space, refusing unknown words first and then two or more variant words.
Outcome<RefTokens> ref_tokens(std::optional<std::string_view> value);

// "page", "text", "leaf" or "rel", the first of them in the set, else "full".
std::string_view ref_variant(RefTokens tokens);

// "block", "caption" or "text" for the elements that can be targets, else nothing.
std::optional<std::string_view> target_kind(std::string_view element_name);

// How one reference of a group written together is joined to the one before it.
struct GroupEntry {
  std::string_view separator;  // "", ", " or " and "
  bool show_prefix;
  bool plural;
};

// One entry per reference, given the reference-type key of each in order: one plural prefix
// when every key is the same, else a singular prefix on each.
std::vector<GroupEntry> group_plan(const std::vector<std::string_view>& keys);

// ['a', 'b']: the words sorted by bytes, quoted and joined, as messages list them.
std::string quoted_list(std::vector<std::string_view> words);

// The part of a target id before its first "-" ("sec-intro" -> "sec"), the whole id otherwise.
std::string_view reference_type(std::string_view target_id);

struct RefTypeWords {
  std::string singular;  // "Section"
  std::string plural;    // "Sections"
  bool operator==(const RefTypeWords&) const = default;
};

// The reference types every registry starts with, in order: sec, fig, tbl.
const std::vector<std::pair<std::string_view, RefTypeWords>>& default_reftypes();

struct HeadNum {
  std::string display;
  std::string full;
  bool operator==(const HeadNum&) const = default;
};

struct CapNum {
  std::string label;
  std::uint32_t n;
  bool operator==(const CapNum&) const = default;
};

// The registry of cross-reference targets. Targets are registered and numbered first, and
// references resolved afterwards; nothing is ever removed, and a later record for an id
// replaces the earlier one. Lookups never change it.
class Resolver {
 public:
  // The default types sec, fig and tbl, with `reftypes` laid over them.
  explicit Resolver(const std::vector<std::pair<std::string, RefTypeWords>>& reftypes = {});

  // Room for `ids` targets in the kind and text records, so that registering them never regrows.
  void reserve_targets(std::size_t ids) {
    kinds_.reserve(ids);
    idtext_.reserve(ids);
  }
  // Records the kind and the text that are given.
  void register_target(std::string_view id, std::optional<std::string_view> kind,
                       std::optional<std::string_view> text);
  void set_headnum(std::string_view id, std::string display, std::string full);
  void set_capnum(std::string_view id, std::string label, std::uint32_t n);

  // Nothing when `target` has a recorded kind, else the not-found message.
  std::optional<Failure> check(std::string_view target) const;
  // What goes before the reference: the link's own text and a space, nothing, or the type's
  // word and a space.
  Outcome<std::string> prefix(std::string_view own_text, std::string_view target, RefTokens tokens,
                              bool plural) const;
  // The text the reference shows, without any prefix word.
  Outcome<std::string> core(std::string_view target, RefTokens tokens) const;

  const StringMap<RefTypeWords>& reftypes() const { return reftypes_; }
  const StringMap<std::string>& kinds() const { return kinds_; }
  const StringMap<std::string>& idtext() const { return idtext_; }
  const StringMap<HeadNum>& headnums() const { return headnums_; }
  const StringMap<CapNum>& capnums() const { return capnums_; }

 private:
  const std::string* kind_of(std::string_view target) const;

  StringMap<RefTypeWords> reftypes_;
  StringMap<std::string> kinds_;
  StringMap<std::string> idtext_;
  StringMap<HeadNum> headnums_;
  StringMap<CapNum> capnums_;
};

}  // namespace vedavi
