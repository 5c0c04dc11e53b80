// seeds: html
// parse_fragment, as the exporter and the Markdown writer use it: the nesting cap, the lifted
// fragment, a tree whose links agree, serialisation as valid UTF-8 and the same bytes each time.
#include "fast5ever/parse.h"
#include "fuzz_util.h"
#include "tree_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vedavi::fuzz::Input input = vedavi::fuzz::split_input(data, size);
  const fast5ever::dom::Dom dom = fast5ever::dom::parse_fragment(input.text);
  vedavi::fuzz::check_tree(dom);
  return 0;
}
