// Attribute blocks written directly after an inline, and the reference variant "ref" that they
// route into cross-references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/attrs.h"
#include "model/document.h"

namespace vedavi::inl {

// Per-text memory of brace-group searches. Where the group opened at a "{" ends depends only on
// the offset and the quoting state there, so the answers for every offset and state are computed
// once, backwards, on first use: a run of "{" that open nothing costs linear time.
class BraceMemo {
 public:
  // The offset of the "}" ending a group whose scan starts at `scan_from` outside quotes, or none.
  std::optional<std::size_t> group_end(std::string_view text, std::size_t scan_from);
  // The first "}" at or after `from`, or none.
  std::optional<std::size_t> next_close(std::string_view text, std::size_t from);
  // Whether the group opened at `open` and closed at `close` has a body that can be an attribute
  // block: the colon form, or after white space "#" or ".", or a first word with "=" after its
  // first byte.
  bool may_be_attr_body(std::string_view text, std::size_t open, std::size_t close);
  // Forgets the text, for the next one: the tables keep their room.
  void reset() {
    equals_.valid = space_.valid = non_space_.valid = false;
    built_ = false;
    close_valid_ = false;
  }

 private:
  // The first offset at or after `from` whose character passes a test, or the text's end.
  struct NextOf {
    std::size_t from = 0, found = 0;
    bool valid = false;
    template <class Pred>
    std::size_t find(std::string_view text, std::size_t at, Pred pred);
  };
  NextOf equals_;
  NextOf space_;
  NextOf non_space_;
  // ends_[state][i]: the group end for a scan at offset i in a quoting state (0 none, 1 inside
  // single quotes, 2 inside double quotes); kNoEnd when the text ends first.
  static constexpr std::uint32_t kNoEnd = 0xFFFFFFFFu;
  std::vector<std::uint32_t> ends_[3];
  bool built_ = false;
  std::size_t close_from_ = 0, close_found_ = 0;
  bool close_valid_ = false;
};

struct TrailingAttr {
  Attr attr;
  std::size_t consumed;
};
// One attribute block at the start of `text`. "{:...}" is always a block here, "{:}" included.
std::optional<TrailingAttr> trailing_attr(std::string_view text);
// The same at `offset` of `whole`, with a memo; without `colon_always` the block is read as a
// plain braced group, whose colon form needs content.
std::optional<TrailingAttr> trailing_attr_at(std::string_view whole, std::size_t offset,
                                             BraceMemo* memo, bool colon_always);

// Whether this kind of inline takes trailing attributes.
bool accepts_attrs(InlineKind kind);

// Routes a reference variant: into "data-ref" of cross-reference links, else a "ref" pair.
void apply_ref_variant(Inline& item, std::string_view variant);

}  // namespace vedavi::inl
