// Ordered-list rules: an ordered list must start at 1 or continue the numbering of an earlier
// list of its run; lists that fail turn back into the text they were written as.
#pragma once

#include <vector>

#include "block/draft.h"

namespace vedavi::block {

// Applies the rules to every sibling run of the tree (children before parents).
void enforce_ordered_lists(Drafts& drafts);
// A reverted item's paragraph may hold its marker line as a view (`Paragraph::marker_line`) until
// `enforce_ordered_lists` writes it out.
Drafts revert_list(std::vector<DraftListItem> items, bool tight);
Drafts revert_item(DraftListItem item);
// Joins each paragraph that directly follows a paragraph into it.
void merge_adjacent_paragraphs(Drafts& drafts);

}  // namespace vedavi::block
