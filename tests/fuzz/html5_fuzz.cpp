// seeds: html
// The HTML5 engine on its own: a whole document, or a fragment in a context element the knob byte
// picks, builds a tree whose links agree both ways and serialises as valid UTF-8, the same bytes
// each time.
#include "fast5ever/sink.h"
#include "fuzz_util.h"
#include "html5/parse.h"
#include "tree_check.h"

VEDAVI_FUZZ_TARGET(input) {
  static const char* const kContexts[] = {"body", "table", "tr", "select", "template", "textarea",
                                          "title", "script", "plaintext", "svg", "math", "div"};
  const std::string local = kContexts[input.knobs % std::size(kContexts)];
  const html5::Namespace ns = local == "svg"    ? html5::Namespace::Svg
                              : local == "math" ? html5::Namespace::MathMl
                                                : html5::Namespace::Html;
  html5::TreeBuilderOptions options;
  options.scripting_enabled = (input.knobs & 0x80) != 0;
  fast5ever::dom::Sink sink;
  if (input.knobs & 0x40) {
    html5::parse_document(input.text, sink, options);
  } else {
    html5::parse_fragment(input.text, sink, {"", ns, local}, options);
  }
  vedavi::fuzz::check_tree(sink.finish());
}
