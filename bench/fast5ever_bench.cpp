// Micro benchmark of the HTML tree: fragment parsing, serialisation, text, descendants, import and
// edits, on VEDAVI-like HTML. Not part of the build; from the repository root, after building:
//   c++ -O2 -std=c++20 -Isrc -I. bench/fast5ever_bench.cpp build/dev/libvedavi_core.a \
//       -o /tmp/fast5ever_bench && /tmp/fast5ever_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "bench/bench_util.h"
#include "fast5ever/parse.h"

namespace {

using fast5ever::dom::Dom;
using fast5ever::dom::NodeId;

using bench::measure;
std::string repeat(std::string_view piece, std::size_t bytes) { return bench::repeat_to_size(piece, bytes); }

constexpr std::string_view kSection =
    "<section id=\"s\"><h2 id=\"intro\">Intro &amp; <em>more</em></h2>\n"
    "<p>Some text with <strong>strong</strong>, <a href=\"https://example.org/?a=1&amp;b=2\">a "
    "link</a> and <code>code</code>.</p>\n"
    "<ul>\n<li>one</li>\n<li>two <span class=\"x y\">span</span></li>\n</ul>\n"
    "<table><thead><tr><th>a</th><th>b</th></tr></thead><tbody><tr><td>1</td><td>2</td></tr>"
    "</tbody></table>\n"
    "<pre><code class=\"language-cpp\">int main() { return a &lt; b; }\n</code></pre>\n"
    "<div class=\"note\"><p>Note<br>line</p><img src=\"i.png\" alt=\"\"></div></section>\n";

}  // namespace

int main() {
  const std::string html = repeat(kSection, 4 << 20);
  const Dom dom = fast5ever::dom::parse_fragment(html);
  const std::string out = dom.to_html(0);
  std::printf("input %zu bytes, %zu nodes, output %zu bytes\n", html.size(), dom.nodes.size(),
              out.size());

  measure("parse_fragment", html.size(),
          [&] { return fast5ever::dom::parse_fragment(html).nodes.size(); });
  measure("to_html", out.size(), [&] { return dom.to_html(0).size(); });
  measure("to_text", html.size(), [&] { return dom.to_text(0).size(); });
  measure("descendants", html.size(), [&] { return dom.descendants(0).size(); });
  measure("import", html.size(), [&] {
    Dom copy;
    return copy.import(dom, 0);
  });
  measure("has_class over all", html.size(), [&] {
    std::size_t hits = 0;
    for (NodeId id = 0; id < dom.nodes.size(); ++id) hits += dom.has_class(id, "y");
    return hits;
  });
  measure("set_attr + rename over all", html.size(), [&] {
    Dom copy = dom;
    std::size_t done = 0;
    for (NodeId id = 0; id < copy.nodes.size(); ++id) {
      done += copy.set_attr(id, "data-n", "1").has_value();
      if (copy.is_tag(id, "section")) done += copy.rename(id, "div").has_value();
    }
    return done;
  });
  return 0;
}
