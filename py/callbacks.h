// Node callbacks of md2vedavi: each node of a parsed document is offered, descendants first, to
// the Python callable that the callbacks dict holds for its kind, together with the HTML the
// renderer would write for it; a returned str replaces the node with raw HTML.
#pragma once

#include "model/document.h"
#include "pyref.h"

namespace vedavi::py {

// Walks the document's blocks, then each footnote's blocks, calling `callbacks` (a dict or dict
// subclass, read afresh for every node). Throws ErrorAlreadySet with the callback's exception, or
// with TypeError when a callback returns neither None nor a str; the document is then partly
// transformed. Runs with the interpreter lock held.
void run_callbacks(Document& doc, Borrowed callbacks);

}  // namespace vedavi::py
