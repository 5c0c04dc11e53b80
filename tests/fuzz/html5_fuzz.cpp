// seeds: html
// The HTML5 engine on its own: a whole document, or a fragment in a context element the knob byte
// picks, builds a tree whose links agree both ways and serialises as valid UTF-8, the same bytes
// each time.
#include "fast5ever/sink.h"
#include "fuzz_util.h"
#include "html5/parse.h"
#include "tree_check.h"

namespace {

const char* const kContexts[] = {"body", "table", "tr", "select", "template", "textarea",
                                 "title", "script", "plaintext", "svg", "math", "div"};

html5::QualName context_name(std::uint8_t knobs) {
  const std::string local = kContexts[knobs % std::size(kContexts)];
  html5::Namespace ns = html5::Namespace::Html;
  if (local == "svg") ns = html5::Namespace::Svg;
  if (local == "math") ns = html5::Namespace::MathMl;
  return {"", ns, local};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vedavi::fuzz::Input input = vedavi::fuzz::split_input(data, size);
  html5::TreeBuilderOptions options;
  options.scripting_enabled = (input.knobs & 0x80) != 0;
  fast5ever::dom::Sink sink;
  if (input.knobs & 0x40) {
    html5::parse_document(input.text, sink, options);
  } else {
    html5::parse_fragment(input.text, sink, context_name(input.knobs), options);
  }
  const fast5ever::dom::Dom dom = sink.finish();
  vedavi::fuzz::check_tree(dom);
  return 0;
}
