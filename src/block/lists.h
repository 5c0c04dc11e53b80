// Ordered-list rules: an ordered list must start at 1 or continue the numbering of an earlier
// list of its run; lists that fail turn back into the text they were written as.
#pragma once

#include <variant>
#include <vector>

#include "block/draft.h"

namespace vedavi::block {

// Applies the rules to every sibling run of the tree (children before parents). Returns how many
// more drafts the splices left in the top-level run hold than the places they stand in.
std::size_t enforce_ordered_lists(Drafts& drafts);

// The rules' reading of one sibling run, a draft at a time: which ordered lists turn back into
// text. A list is decided when it is read, except a single-item list starting at 1, which stays
// pending until a later list continues its numbering or the run's section ends.
class RevertScan {
 public:
  void read(const DraftBlock& block) {
    // Only headings and lists move the state; most drafts are neither.
    if (std::holds_alternative<draft::Heading>(block) || std::holds_alternative<draft::List>(block))
      read_heading_or_list(block);
    else
      ++read_;
  }
  // The run ends: a pending single-item list turns back into text.
  void end() { drop_pending_single(); }
  // How many drafts were read.
  std::size_t read_count() const { return read_; }
  // The drafts before this position are decided.
  std::size_t decided() const { return state_ == State::Pending && current_single_ ? current_ : read_; }
  // The positions of the lists to revert, in the order they were decided.
  std::vector<std::size_t>& reverts() { return revert_; }

 private:
  enum class State : std::uint8_t { Idle, Pending, Continuing };
  void read_heading_or_list(const DraftBlock& block);
  void drop_pending_single() {
    if (state_ == State::Pending && current_single_) revert_.push_back(current_);
  }

  State state_ = State::Idle;
  bool current_single_ = false;
  unsigned section_level_ = 255, last_heading_ = 255;
  std::size_t prev_last_ = 0, current_ = 0, read_ = 0;
  std::vector<std::size_t> revert_;
};

// Applies the rules to the first `n` drafts of a top-level run whose scan has decided them, the
// run's first draft at position `base` of the scan: the runs nested in them, then the scan's
// reverts among them, which it takes. The run after them is left as it is. Returns how many
// drafts the `n` became: a list turned back into text stands as the drafts of its items.
std::size_t enforce_front(Drafts& drafts, std::size_t n, std::size_t base, RevertScan& scan);
// Applies the rules to the runs of a list item closed before the rest of its list is read: the
// runs nested in `children`, then `children` as a run. What is left is the joining of its
// adjacent paragraphs, which waits for the list's tightness.
void enforce_item(Drafts& children);
// A reverted item's paragraph may hold its marker line as a view (`Paragraph::marker_line`) until
// `enforce_ordered_lists` writes it out.
Drafts revert_list(std::vector<DraftListItem> items, bool tight);
// Appends the drafts `item` turns back into to `out`; the item's children are moved from.
void revert_item(DraftListItem& item, Drafts& out);
// Joins each paragraph that directly follows a paragraph into it.
void merge_adjacent_paragraphs(Drafts& drafts);

}  // namespace vedavi::block
