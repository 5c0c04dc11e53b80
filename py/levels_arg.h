// Numbering levels as callers give them (HeadingNums, export_html): a dict of lvlText to numFmt.
#pragma once

#include <vector>

#include "pyref.h"
#include "resolve/heading_nums.h"

namespace vedavi::py {

// The (lvlText, numFmt) pairs of a dict (or dict subclass), one per item in the dict's own order.
// TypeError for a key or value that is not a str.
std::vector<LevelSpec> levels_of(Borrowed dict);

}  // namespace vedavi::py
