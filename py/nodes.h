// Node dictionaries: the Python view of one parsed block or inline, as node callbacks receive
// it. A dictionary describes the node itself; contained nodes are only counted. Entries keep the
// order in which they are set here, which callers may rely on.
#pragma once

#include <string_view>

#include "model/document.h"
#include "pyref.h"

namespace vedavi::py {

// {"id": str or None, "classes": [str], "pairs": [(str, str)]}.
Ref attr_node(const Attr& attr);
Ref block_node(const Block& block);
Ref inline_node(const Inline& node);

// dict[key] = value; an existing key keeps its place.
void set_item(const Ref& dict, const char* key, Ref value);

}  // namespace vedavi::py
