// seeds: html
// parse_fragment, as the exporter and the Markdown writer use it: the nesting cap, the lifted
// fragment, a tree whose links agree, serialisation as valid UTF-8 and the same bytes each time.
#include "fast5ever/parse.h"
#include "fuzz_util.h"
#include "tree_check.h"

VEDAVI_FUZZ_TARGET(input) { vedavi::fuzz::check_tree(fast5ever::dom::parse_fragment(input.text)); }
