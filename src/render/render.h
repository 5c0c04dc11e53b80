// Rendering a document as VEDAVI HTML, and the plain text of inline lists.
#pragma once

#include <span>
#include <string>

#include "model/document.h"

namespace vedavi::render {

// The plain text of an inline list: text and raw HTML as they stand, breaks as one space,
// containers through their children, template tokens as written, nothing escaped.
std::string plain(std::span<const Inline> inlines);
void append_plain(std::span<const Inline> inlines, std::string& out);

}  // namespace vedavi::render
