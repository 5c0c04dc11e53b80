// Convenience entries: tokenizer and tree builder wired together over one input buffer.
#pragma once

#include <string_view>

#include "html5/names.h"
#include "html5/tree_builder.h"
#include "html5/tree_sink.h"

namespace html5 {

// Parses a whole document into `sink`. False when the input is refused (2^32 bytes or more); the
// sink then holds nothing.
bool parse_document(std::string_view input, TreeSink& sink, const TreeBuilderOptions& options = {});

// Parses a fragment in the context of an element named `context`, which the sink creates first
// (unattached); the fragment's nodes become the children of the root `html` element that the
// builder appends to the sink's document. False when the input is refused.
bool parse_fragment(std::string_view input, TreeSink& sink, const QualName& context,
                    const TreeBuilderOptions& options = {});

}  // namespace html5
