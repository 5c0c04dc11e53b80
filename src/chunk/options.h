// The parse options of the block-aware chunkers and the re-wrapper: fixed, no argument changes
// them.
#pragma once

#include "model/options.h"

namespace vedavi::chunk {

// No templates, depth limits 128 and 32, bare autolinks, no implicit figures, frontmatter, math
// in brackets.
inline Options parse_options() {
  Options o;
  o.max_block_depth = 128;
  o.max_link_paren_depth = 32;
  o.bare_autolinks = true;
  o.implicit_figures = false;
  o.nested = false;
  o.frontmatter = true;
  o.math = MathMode::Brackets;
  return o;
}

}  // namespace vedavi::chunk
