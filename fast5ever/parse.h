// Fragment parsing: HTML text into a new Dom, in the context of a `body` element.
#pragma once

#include <string_view>

#include "fast5ever/dom.h"

namespace fast5ever::dom {

// Parses `html` as the HTML standard parses a fragment whose context element is an HTML `body`,
// with scripting enabled, behind the nesting cap. Never fails: malformed HTML is repaired.
//
// The arena holds node 0, the Document whose children are the fragment's top-level nodes in
// order; node 1, the context `body` (never attached); node 2, the root `html` element, emptied and
// no longer attached; and from node 3 on every node the parse created, in creation order, whether
// reachable or not. Adjacent text is one Text node; a `template` keeps its children in a
// contents Document node. Input of 2^32 bytes or more yields a tree holding only an empty node 0.
Dom parse_fragment(std::string_view html);

}  // namespace fast5ever::dom
