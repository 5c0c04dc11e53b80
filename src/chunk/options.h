// The parse options of the block-aware chunkers and the re-wrapper: fixed, no argument changes
// them.
#pragma once

#include "model/options.h"

namespace vedavi::chunk {

// The tools' fixed options (see model/options.h).
inline Options parse_options() { return fixed_tool_options(); }

}  // namespace vedavi::chunk
