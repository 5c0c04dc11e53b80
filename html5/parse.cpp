// Convenience entries: tokenizer and tree builder wired together over one input buffer.
#include "html5/parse.h"

#include "html5/tokenizer.h"

namespace html5 {

bool parse_document(std::string_view input, TreeSink& sink, const TreeBuilderOptions& options) {
  TreeBuilder builder(sink, options);
  return tokenize(input, builder);
}

bool parse_fragment(std::string_view input, TreeSink& sink, const QualName& context,
                    const TreeBuilderOptions& options) {
  ElementFlags flags;
  flags.is_template = context.is_html("template");
  Handle context_element = sink.create_element(context, {}, flags);
  TreeBuilder builder(sink, context_element, options);
  TokenizerOptions tokenizer_options;
  tokenizer_options.initial_state = tokenizer_state_for_context(context, options.scripting_enabled);
  return tokenize(input, builder, tokenizer_options);
}

}  // namespace html5
