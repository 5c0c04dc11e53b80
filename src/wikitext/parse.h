// MediaWiki wikitext to a `Document`.
//
// Takes wikitext, gives a `Document` (blocks and footnotes; never diagnostics or frontmatter)
// for the VEDAVI renderer. Templates are recorded, never expanded; what does not convert stays
// as raw wikitext. Uses base, text and model.
#pragma once

#include <string_view>

#include "model/document.h"

namespace vedavi::wikitext::document {

// Never fails; time and native stack stay linear and constant in the input's size and depth.
Document parse(std::string_view text);

}  // namespace vedavi::wikitext::document
