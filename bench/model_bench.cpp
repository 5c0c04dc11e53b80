// Micro benchmark of the document model and the small md grammars, on ordinary and adversarial
// inputs of about 1 MB. Not part of the build; from the repository root:
//   c++ -O2 -std=c++20 -Isrc -I. bench/model_bench.cpp src/*/*.cpp html5/named_entities.cpp \
//       -o /tmp/model_bench && /tmp/model_bench
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_util.h"
#include "model/attrs.h"
#include "model/document.h"
#include "text/entity.h"
#include "model/frontmatter.h"
#include "model/link_ref.h"
#include "render/render.h"
#include "model/template.h"

namespace {

using bench::measure;
std::string repeat(std::string_view piece, std::size_t bytes) { return bench::repeat_to_size(piece, bytes); }

}  // namespace

int main() {
  using namespace vedavi;
  const std::size_t size = 1 << 20;

  std::string classes;
  for (int i = 0; classes.size() < size; ++i) classes += ".c" + std::to_string(i) + ' ';
  std::string pairs;
  for (int i = 0; pairs.size() < size; ++i) pairs += "k" + std::to_string(i % 5000) + "=\"v w\" ";
  measure("parse_attrs_body (unique classes)", classes.size(),
          [&] { return attrs::parse_attrs_body(classes).classes.size(); });
  measure("parse_attrs_body (repeated pair keys)", pairs.size(),
          [&] { return attrs::parse_attrs_body(pairs).pairs.size(); });
  const std::string braces = std::string(size, '{') + "#a}";
  measure("trailing_attr_span (brace run)", braces.size(),
          [&] { return attrs::trailing_attr_span(braces)->start; });

  const std::string entities = repeat("a &amp; b &copy; &#x41; &fjlig; R&D &bogus; ", size);
  const std::string ampersands(size, '&');
  measure("decode_entities (mixed references)", entities.size(),
          [&] { return entity::decode_entities(entities).size(); });
  measure("decode_entities (only '&')", ampersands.size(),
          [&] { return entity::decode_entities(ampersands).size(); });

  TemplateDelimiter plain{"s", "{{", "}}", std::nullopt, std::nullopt, TemplateForm::Auto};
  TemplateDelimiter balanced = plain;
  balanced.balance = TemplateBalance{'{', '}'};
  const std::string unclosed(size, '{');
  const std::string openers = unclosed + "}}";
  const std::string tokens = repeat("text {{ name }} more {{#sec}}x{{/sec}} ", size);
  for (const auto& [name, delimiter] :
       {std::pair{"plain", plain}, std::pair{"balanced", balanced}}) {
    const std::vector<TemplateDelimiter> ds = {delimiter};
    // As a scanner uses it: try each offset, and after a token go on at its end.
    auto every_offset = [&](const std::string& text) {
      templates::CloseCache cache;
      std::size_t found = 0;
      for (std::size_t i = 0; i < text.size();) {
        auto token = templates::token_at(text, i, ds, false, cache);
        found += token.has_value();
        i = token ? token->end : i + 1;
      }
      return found;
    };
    std::printf("template delimiter: %s\n", name);
    measure("  token_at scan (openers, no closer)", unclosed.size(), [&] { return every_offset(unclosed); });
    measure("  token_at scan (openers, one closer)", openers.size(), [&] { return every_offset(openers); });
    measure("  token_at scan (tokens)", tokens.size(), [&] { return every_offset(tokens); });
    measure("  html_tokens (tokens)", tokens.size(),
            [&] { return templates::html_tokens(tokens, ds).size(); });
  }

  std::vector<std::string> title_lines = {"[a]: /u \"start"};
  std::size_t title_bytes = 0;
  while (title_bytes < size) {
    title_lines.push_back("a title line that goes on");
    title_bytes += title_lines.back().size() + 1;
  }
  title_lines.push_back("end\"");
  measure("parse_link_ref_at (long title)", title_bytes, [&] {
    return block::parse_link_ref_at(std::span<const std::string>(title_lines), 0)->end;
  });
  const std::string label = repeat("Ünïcödé  Label ΣΑΣ ", size);
  measure("normalize_label", label.size(), [&] { return attrs::normalize_label(label).size(); });

  std::string front = "---\n";
  for (int i = 0; front.size() < size; ++i) front += "key" + std::to_string(i) + ": 'value'\n";
  front += "---\nbody\n";
  measure("frontmatter::extract", front.size(), [&] { return frontmatter::extract(front)->pairs.size(); });

  // A chain of one million nested emphasis nodes: copy, plain text and teardown.
  Inlines deep;
  deep.push_back(Inline::Text{"x"});
  for (int i = 0; i < 1'000'000; ++i) {
    Inline::Emph emph;
    emph.children = std::move(deep);
    deep = Inlines();
    deep.push_back(std::move(emph));
  }
  measure("deep tree: copy + destroy (1M nodes)", 1'000'000, [&] {
    Inlines copy = deep;
    return copy.size();
  });
  measure("deep tree: render::plain (1M nodes)", 1'000'000, [&] { return render::plain(deep).size(); });

  // A wide, shallow document like most real ones: 100,000 paragraphs of a few inlines each.
  Blocks wide;
  for (int i = 0; i < 100'000; ++i) {
    Inline::Emph emph;
    emph.children.push_back(Inline::Text{"emphasised"});
    Block::Paragraph para;
    para.inlines.push_back(Inline::Text{"Some text, then "});
    para.inlines.push_back(std::move(emph));
    para.inlines.push_back(Inline::SoftBreak{});
    wide.push_back(std::move(para));
  }
  measure("wide tree: copy + destroy (400K nodes)", 400'000, [&] {
    Blocks copy = wide;
    return copy.size();
  });
  return 0;
}
