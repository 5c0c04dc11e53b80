// Link labels and link reference definitions ("[label]: destination "title" {attrs}").
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/attrs.h"
#include "model/line.h"

namespace vedavi {

// One definition; copied onto every link or image that uses it.
struct LinkRef {
  std::string destination;  // unescaped and entity-decoded
  Attr attr;
  std::optional<std::string> title;  // unescaped and entity-decoded
  friend bool operator==(const LinkRef&, const LinkRef&) = default;
};

namespace attrs {

inline constexpr std::size_t kMaxLabelChars = 999;

struct LinkLabel {
  std::string label;     // between the brackets, backslashes kept
  std::size_t consumed;  // both brackets included
};
// A bracketed label at the start of `text`.
std::optional<LinkLabel> scan_link_label(std::string_view text);
// No unescaped bracket, at most 999 characters; a blank label gives `allow_blank`.
bool valid_link_label(std::string_view label, bool allow_blank);
// The map key: white-space runs collapsed to one space, trimmed, full Unicode lowercase.
std::string normalize_label(std::string_view label);
// The key of a label of printable ASCII words between single spaces, as most labels are: the
// label lowered, in one pass into `key`. False for any other label. With `bracket_free`, a label
// holding "[", "]" or a backslash is other too: one that is not is valid if short enough.
bool plain_label_key(std::string_view label, std::string& key, bool bracket_free);

}  // namespace attrs

namespace block {

struct LinkRefDefinition {
  std::string label;  // raw, as scanned (backslashes and line feeds kept)
  LinkRef def;
  std::size_t end;  // index of the first line after the definition
};

// A definition starting at line `start`. The overloads behave identically.
std::optional<LinkRefDefinition> parse_link_ref_at(std::span<const std::string_view> lines,
                                                   std::size_t start);
std::optional<LinkRefDefinition> parse_link_ref_at(std::span<const std::string> lines,
                                                   std::size_t start);
// The reading behind the overload below, once the first byte has not turned the line down.
std::optional<LinkRefDefinition> read_link_ref_at(const line::SourceLines& lines, std::size_t start);
inline std::optional<LinkRefDefinition> parse_link_ref_at(const line::SourceLines& lines, std::size_t start) {
  // Most block starts begin with a printable byte other than "[": they are turned down here,
  // without a call.
  if (start < lines.size()) {
    const std::string_view first = lines[start];
    if (!first.empty() && first.front() != '[' && line::is_plain_ascii(first.front())) return std::nullopt;
  }
  return read_link_ref_at(lines, start);
}

struct LinkRefDestination {
  std::string destination;  // unescaped and entity-decoded
  std::size_t consumed;
};
std::optional<LinkRefDestination> scan_link_ref_destination(std::string_view text);

// After leading white space: a double quote, a single quote or "(".
bool starts_definition_title(std::string_view text);
// After leading white space: an opener followed later by its unescaped closer.
bool has_closing_definition_title(std::string_view text);

struct LinkRefTitle {
  std::string title;  // raw: backslashes before ASCII punctuation removed, nothing decoded
  std::size_t end;    // just past the closer, counted from the text without leading white space
};
std::optional<LinkRefTitle> scan_link_ref_title(std::string_view text);

struct LinkRefTitleLines {
  std::string title;  // entity-decoded
  std::string rest;   // what follows the closer
  std::size_t next;   // index of the first line not used
};
// A title that starts in `first` and may continue over the lines from `next` on.
std::optional<LinkRefTitleLines> scan_link_ref_title_lines(std::string_view first,
                                                           std::span<const std::string_view> lines,
                                                           std::size_t next);
std::optional<LinkRefTitleLines> scan_link_ref_title_lines(std::string_view first,
                                                           std::span<const std::string> lines,
                                                           std::size_t next);

// Empty (after trimming) gives an empty `Attr`; else one attribute block followed by white space.
std::optional<Attr> parse_link_ref_attrs(std::string_view text);

}  // namespace block
}  // namespace vedavi
