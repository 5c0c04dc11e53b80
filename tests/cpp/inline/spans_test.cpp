// Ranged inline nodes and source nodes: kinds, ranges, depths and data; offsets into sources
// with any line ends; the line map under them; linear time on nested and adversarial inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>

#include "base/internal_error.h"
#include "inline/line_map.h"
#include "inline/spans.h"
#include "model/line.h"
#include "render/render.h"
#include "tests/cpp/support/helpers.h"
#include "text/utf8.h"

namespace vedavi::inl {
namespace {

using vedavi::test::repeat;

Options options_with(MathMode math = MathMode::Brackets, std::vector<TemplateDelimiter> templates = {}) {
  Options o = block::testing::default_options();
  o.math = math;
  o.bare_autolinks = true;
  o.templates = std::move(templates);
  return o;
}

// "kind start-end dN" per node, separated by ", ".
std::string show(const std::vector<InlineNode>& nodes) {
  std::string out;
  for (const InlineNode& n : nodes)
    out += (out.empty() ? "" : ", ") + std::string(n.kind) + " " + std::to_string(n.start) + "-" +
           std::to_string(n.end) + " d" + std::to_string(n.depth);
  return out;
}

TEST(InlineNodes, KindsRangesAndDepths) {
  struct Case {
    std::string_view src, expected;
  } cases[] = {
      {"a *b* c", "text 0-2 d0, emph 2-5 d0, text 3-4 d1, text 5-7 d0"},
      {"> a\n> b", "text 2-3 d0, text 6-7 d0"},
      {"`x`", "code 0-3 d0"},
      {"![*a*](u)", "image 0-9 d0, emph 2-5 d1, text 3-4 d2"},
      {"[x]{.c} ^[n]", "span 0-7 d0, text 1-2 d1, attrs 3-7 d1, text 7-8 d0, footnote 8-12 d0, text 10-11 d1"},
      {"**a\nb**", "strong 0-7 d0, text 2-3 d1, text 4-5 d1"},
      {"", ""},
      // Every line end counts as written; units by region kind leave markers and prefixes out.
      {"a\nb\r\nc\rd\r\n\r\n\re\n", "text 0-1 d0, text 2-3 d0, text 5-6 d0, text 7-8 d0, text 13-14 d0"},
      {"a\r", "text 0-1 d0"},
      {"# h {#x}\n", "text 1-4 d0"},
      {"> a\n> b\n> c\n", "text 2-3 d0, text 6-7 d0, text 10-11 d0"},
      {"| a | b | c |\n|---|---|---|\n| d | e | f |\n",
       "text 1-4 d0, text 5-8 d0, text 9-12 d0, text 29-32 d0, text 33-36 d0, text 37-40 d0"},
      {"term\n: def\n", "text 0-4 d0, text 6-10 d0"},
      {"[x]: /u\n{: .c}\n", ""},
      {"p\r\nq\r\n\r\n> r\r\n", "text 0-1 d0, text 3-4 d0, text 10-11 d0"},
      {"<div>\n*a*\n</div>\n", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(show(list_inlines(c.src, options_with())), c.expected) << c.src;
}

TEST(InlineNodes, DataOfEachKind) {
  const Options options = options_with();
  // The data of the first node that carries any.
  auto only = [&](std::string_view src) {
    for (InlineNode& node : list_inlines(src, options))
      if (!std::holds_alternative<inline_data::None>(node.data)) return std::move(node);
    ADD_FAILURE() << src;
    return InlineNode{};
  };
  EXPECT_EQ(std::get<inline_data::Text>(only("`x`").data).text, "x");
  const auto angle = std::get<inline_data::Link>(only("[a](<u v>)").data);
  EXPECT_EQ(angle.url_span, (ByteRange{5, 8}));
  EXPECT_EQ(angle.url, "u v");
  EXPECT_FALSE(angle.alt);
  EXPECT_EQ(std::get<inline_data::Link>(only("[a]( )").data).url_span, (ByteRange{5, 5}));
  EXPECT_EQ(std::get<inline_data::Link>(only("![*a*](u)").data).alt, "a");
  const auto ref = std::get<inline_data::Link>(only("[a][r]\n\n[r]: /x 't'").data);
  EXPECT_TRUE(ref.reference);
  EXPECT_EQ(ref.url, "/x");
  EXPECT_EQ(ref.title, "t");
  EXPECT_FALSE(ref.url_span);
  const auto math = std::get<inline_data::Math>(only("$$ x $$").data);
  EXPECT_EQ(math.delimiter, "$$");
  EXPECT_EQ(math.tex, "x");
  EXPECT_EQ(std::get<inline_data::Math>(only("\\[y\\]").data).delimiter, "\\[");
  const auto raw = std::get<inline_data::Raw>(only("`<b>`{=html}").data);
  EXPECT_EQ(raw.format, "html");
  EXPECT_EQ(raw.text, "<b>");
  const auto xref = std::get<inline_data::Xref>(only("[@a; -@b]").data);
  EXPECT_EQ(xref.refs, (std::vector<XrefSeg>{{"a", std::nullopt, false}, {"b", std::nullopt, true}}));
  EXPECT_FALSE(xref.tokens);
  const auto single = std::get<inline_data::Xref>(only("[see -@a]{ref=page}").data);
  ASSERT_EQ(single.refs.size(), 1u);
  EXPECT_EQ(single.refs[0], (XrefSeg{"a", "see", true}));
  EXPECT_EQ(single.tokens, "page");
  EXPECT_EQ(std::get<inline_data::Attrs>(only("*a*{#i .c}").data).id, "i");
  EXPECT_EQ(std::get<inline_data::Footnote>(only("x[^1]\n\n[^1]: n").data).label, "1");
  EXPECT_EQ(std::get<inline_data::Autolink>(only("<http://x.y>").data).url, "http://x.y");
  EXPECT_EQ(std::get<inline_data::Autolink>(only("www.x.y").data).url, "http://www.x.y");
}

TEST(InlineNodes, TemplateTokensInTextAndInRawHtml) {
  TemplateDelimiter moustache{"m", "{{", "}}", std::nullopt, std::nullopt, TemplateForm::Auto};
  const auto nodes = list_inlines("a {{ x }}\n\n<div>\r\n{{y}}\r\n</div>\r\n", options_with(MathMode::Brackets, {moustache}));
  EXPECT_EQ(show(nodes), "text 0-2 d0, template_token 2-9 d0, template_token 18-23 d0");
  const auto token = std::get<inline_data::Template>(nodes[2].data);
  EXPECT_EQ(token.syntax, "m");
  EXPECT_EQ(token.name, "y");
}

TEST(InlineNodes, LineEndsOfEveryKindGiveOffsetsIntoTheSourceAsWritten) {
  // The same document with LF, CR LF and lone CR line ends: equal slices of text, every range
  // on character boundaries.
  const std::string lf = "> \xC3\xA9 *a\n> b* `c`\n\n| x | [y](u) |\n|---|---|\n\n\xE2\x82\xAC **z**\n";
  for (std::string_view end : {"\n", "\r\n", "\r"}) {
    std::string src;
    for (char c : lf) c == '\n' ? src.append(end) : src.append(1, c);
    const auto expected = list_inlines(lf, options_with());
    const auto nodes = list_inlines(src, options_with());
    ASSERT_EQ(nodes.size(), expected.size()) << src;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      EXPECT_TRUE(utf8::is_boundary(src, nodes[i].start) && utf8::is_boundary(src, nodes[i].end));
      EXPECT_LE(nodes[i].end, src.size());
      if (nodes[i].kind == "text") {
        EXPECT_EQ(src.substr(nodes[i].start, nodes[i].end - nodes[i].start),
                  lf.substr(expected[i].start, expected[i].end - expected[i].start));
      }
    }
  }
}

// Every source node as "kind start-end" (inline nodes with their depth), separated by ", ".
std::string source_nodes(std::string_view src, const Options& options = options_with()) {
  std::string out;
  for (const SourceNode& node : list_source_nodes(src, options)) {
    out += out.empty() ? "" : ", ";
    if (const auto* b = std::get_if<SourceBlock>(&node))
      out += std::string(b->span.kind) + " " + std::to_string(b->start) + "-" + std::to_string(b->end);
    else
      out += show({std::get<InlineNode>(node)});
  }
  return out;
}

TEST(SourceNodes, BlocksBeforeInlinesOfTheSameRange) {
  EXPECT_EQ(source_nodes("*a*\r\n\r\n- b\n"),
            "paragraph 0-5, emph 0-3 d0, text 1-2 d1, list 7-11, paragraph 7-11, text 9-10 d0");
}

// Only lines of the block form are blocks, and they belong to no text unit.
TEST(SourceNodes, BlockFormTemplateLines) {
  const TemplateDelimiter t{"t", "{%", "%}", std::nullopt, std::nullopt, TemplateForm::Block};
  const Options block_form = options_with(MathMode::Brackets, {t});
  EXPECT_EQ(source_nodes("{% if x %}\ntext\n", block_form), "template_token 0-11, paragraph 11-16, text 11-15 d0");
  EXPECT_EQ(source_nodes("a\n{% if x %}\n", block_form), "paragraph 0-2, text 0-1 d0, template_token 2-13");
  TemplateDelimiter auto_form = t;
  auto_form.form = TemplateForm::Auto;
  EXPECT_EQ(source_nodes("{% x %}\n", options_with(MathMode::Brackets, {auto_form})), "template_token 0-7 d0");
}

// Keeps what a stream hands over, and when: one letter per call, b (blocks), i (inlines) and
// r (the parse let go).
class Recorder final : public ListingSink {
 public:
  struct Made {
    std::string shown;
    std::size_t start, end;
  };
  std::vector<Made> made;
  std::string calls;
  std::size_t largest_batch = 0, smallest_batch = ~std::size_t{0};

  void take_blocks(std::span<SourceBlock> batch) override {
    note('b', batch.size());
    for (const SourceBlock& b : batch)
      made.push_back({std::string(b.span.kind) + " " + std::to_string(b.start) + "-" + std::to_string(b.end), b.start, b.end});
  }
  void take_inlines(std::span<InlineNode> batch) override {
    note('i', batch.size());
    for (const InlineNode& n : batch) made.push_back({show({n}), n.start, n.end});
  }
  void parse_released() override { calls += 'r'; }

 private:
  void note(char call, std::size_t size) {
    calls += call;
    largest_batch = std::max(largest_batch, size);
    smallest_batch = std::min(smallest_batch, size);
  }
};

TEST(ListingStream, BoundedBatchesThenTheOrderOfAStableSort) {
  const TemplateDelimiter moustache{"m", "{{", "}}", std::nullopt, std::nullopt, TemplateForm::Auto};
  const Options options = options_with(MathMode::Brackets, {moustache});
  struct Case {
    std::string name, src;
    bool with_blocks;
    std::string_view calls;  // the calls of the stream, in order
  } cases[] = {
      {"one unit of many nodes", repeat("*a* `b` [c](d)\n", 1500), false, "riii"},
      {"tokens of raw HTML between units", "a {{ x }}\n\n<div>\n{{ y }}\n</div>\n\nb {{ z }}\n", false, "rii"},
      {"many blocks", repeat("*a* `b`\n\n", 5000), true, "bbriiiii"},
      {"empty", "", true, "r"},
  };
  for (const auto& c : cases) {
    Recorder sink;
    const ListingOrder order = c.with_blocks ? stream_source_nodes(c.src, options, sink) : stream_inlines(c.src, options, sink);
    EXPECT_EQ(sink.calls, c.calls) << c.name;
    EXPECT_LE(sink.largest_batch, kListingBatch) << c.name;
    EXPECT_GT(sink.smallest_batch, 0u) << c.name;
    // The listing: the items made, sorted stably by start and then by end descending.
    std::vector<std::size_t> expected(sink.made.size());
    std::iota(expected.begin(), expected.end(), std::size_t{0});
    std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
      const auto &x = sink.made[a], &y = sink.made[b];
      return x.start != y.start ? x.start < y.start : x.end > y.end;
    });
    const bool as_made = std::is_sorted(expected.begin(), expected.end());
    EXPECT_EQ(order.empty(), as_made) << c.name;
    if (!as_made) {
      EXPECT_EQ(order, expected) << c.name;
    }
    std::string streamed;
    for (const std::size_t i : expected) streamed += (streamed.empty() ? "" : ", ") + sink.made[i].shown;
    EXPECT_EQ(c.with_blocks ? source_nodes(c.src, options) : show(list_inlines(c.src, options)), streamed) << c.name;
  }
}

TEST(ListingStream, WhatTheSinkThrowsEndsTheStream) {
  struct Full final : ListingSink {
    int batches = 0;
    void take_blocks(std::span<SourceBlock>) override {}
    void take_inlines(std::span<InlineNode>) override {
      if (++batches == 2) throw std::length_error("full");
    }
  } sink;
  EXPECT_THROW(stream_inlines(repeat("*a* ", 5000), options_with(), sink), std::length_error);
  EXPECT_EQ(sink.batches, 2);
}

TEST(InlineNodes, AltTextIsThePlainTextOfTheBracketText) {
  // Each image's alt text equals reading its bracket text on its own, however the images nest.
  const std::string_view pieces[] = {"![", "](u)", "![", "](u)", "]", "[", "a", "*", " ", "`", "[@x]", " @x", "[r]", "\\]", "&amp;"};
  const Options options = options_with();
  const LinkMap links{{"r", LinkRef{"/r", {}, std::nullopt}}};
  const FootnoteLabels footnotes;
  const InlineContext ctx{options, links, footnotes};
  std::uint32_t seed = 7;
  std::size_t nested = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = "x";
    for (int k = 0; k < 14; ++k) text += pieces[((seed = seed * 1103515245 + 12345) >> 16) % std::size(pieces)];
    const auto nodes = list_inlines(text + "\n\n[r]: /r", options);
    for (const InlineEvent& e : inline_events(text, ctx)) {
      if (!e.is_image || (e.kind != InlineEventKind::Link && e.kind != InlineEventKind::RefLink)) continue;
      const std::string expected = render::plain(parse_inner(text.substr(e.start + 2, e.bracket_end - 3 - e.start), ctx));
      for (const InlineNode& node : nodes) {
        if (node.start != e.start || node.kind != "image") continue;
        EXPECT_EQ(std::get<inline_data::Link>(node.data).alt, expected) << text;
        nested += node.depth > 0;
      }
    }
  }
  EXPECT_GT(nested, 100u);
}

// Ranges as "[b,e)" separated by spaces.
std::string show(const std::vector<ByteRange>& ranges) {
  std::string out;
  for (const ByteRange& r : ranges)
    out += (out.empty() ? "" : " ") + ("[" + std::to_string(r.begin) + "," + std::to_string(r.end) + ")");
  return out;
}

TEST(LineMapSegments, ContentMinusMarkers) {
  block::Trace trace;
  trace.line_offsets = {2, 0, 9};
  // Line 1: one scope starts past the line and is dropped, one reaches past it and is cut.
  trace.syntax = {block::SyntaxRecord{1, 7, 9, block::SyntaxScope::Label},
                   block::SyntaxRecord{1, 2, 40, block::SyntaxScope::Attribute},
                   block::SyntaxRecord{2, 0, 1, block::SyntaxScope::PunctuationSpecial},
                   block::SyntaxRecord{7, 0, 1, block::SyntaxScope::PunctuationSpecial}};
  const LineMap map("> a\nxyzuvw\n# h {#x}", trace);
  EXPECT_EQ(show(map.segments(0)), "[2,3)");
  EXPECT_EQ(show(map.segments(1)), "[4,6)");
  ASSERT_EQ(map.scopes(1).size(), 1u);
  EXPECT_EQ(map.scopes(1)[0].end, 6u);
  EXPECT_EQ(map.content_offset(2), 8u);  // never past the line
  EXPECT_EQ(show(map.segments(2)), "");
  EXPECT_THROW(map.segments(3), InternalError);
  const LineMap bare("a\r\n\r\n\rb\n", block::Trace{});  // a trace without offsets
  EXPECT_EQ(bare.line_count(), 4u);
  EXPECT_EQ(bare.line(0), "a");
}

// The map's lines are the block parser's, whatever the line ends, and each line's markers are
// sorted by start, equal starts in trace order, however the trace interleaves the lines.
TEST(LineMapLines, TheParsersLinesAndTheirMarkers) {
  for (std::string_view src : {"", "a", "a\n", "a\nb", "a\r\nb\rc\n\n", "\r\r\n\n", "x\ry", "\n\n"}) {
    const std::vector<std::string_view> lines = line::split_lines(src);
    const LineMap map(src, block::Trace{});
    ASSERT_EQ(map.line_count(), lines.size()) << src;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(map.line(i), lines[i]) << src << " " << i;
      EXPECT_EQ(map.start(i), static_cast<std::size_t>(lines[i].data() - src.data())) << src << " " << i;
    }
    EXPECT_EQ(map.start_or_end(lines.size()), src.size()) << src;
  }
  block::Trace trace;
  trace.line_offsets = {0, 0, 0};
  using block::SyntaxScope;
  trace.syntax = {{2, 3, 4, SyntaxScope::Label},      {0, 5, 6, SyntaxScope::Label},
                  {2, 0, 1, SyntaxScope::Attribute},  {0, 1, 2, SyntaxScope::Label},
                  {1, 0, 3, SyntaxScope::Label},      {0, 1, 4, SyntaxScope::Attribute},
                  {0, 0, 1, SyntaxScope::MarkupLinkUrl}};
  const LineMap map("abcdefg\nhijk\nlmnop", trace);
  auto listed = [&](std::size_t i) {
    std::string out;
    for (const LineScope& s : map.scopes(i))
      out += std::to_string(s.start) + "-" + std::to_string(s.end) + ":" + std::to_string(int(s.scope)) + " ";
    return out;
  };
  EXPECT_EQ(listed(0), "0-1:3 1-2:1 1-4:2 5-6:1 ");
  EXPECT_EQ(listed(1), "0-3:1 ");
  EXPECT_EQ(listed(2), "0-1:2 3-4:1 ");
  EXPECT_EQ(show(map.segments(0)), "[4,5) [6,7)");
}

TEST(LineMapHtml, RegionsToTheEndOfTheirLastLine) {
  const std::string src = "<div>\r\n<!-- x -->\r\n</div>\r\n\r\npara\r\n";
  const block::Parsed parsed = block::parse_source(src, options_with(), 3);
  const LineMap map(src, parsed.trace);
  EXPECT_EQ(show(map.html_ranges(parsed.trace.regions)), "[0,25)");
  EXPECT_EQ(show(map.line_pieces(ByteRange{0, 25})), "[0,5) [7,17) [19,25)");
}

TEST(JoinedTextMapping, OffsetsBackToTheSource) {
  JoinedText joined;
  joined.assign("> ab\r\n> cd", std::vector<ByteRange>{{2, 4}, {8, 10}});
  EXPECT_EQ(joined.text(), "ab\ncd");
  const std::size_t expected[] = {2, 3, 4, 8, 9, 10, 10};  // the joint maps to the line's end
  for (std::size_t p = 0; p < 7; ++p) EXPECT_EQ(joined.to_source(p), expected[p]) << p;
  std::vector<ByteRange> parts;
  joined.for_each_part(1, 5, [&](ByteRange r) { parts.push_back(r); });
  EXPECT_EQ(show(parts), "[3,4) [8,10)");
}


TEST(InlineNodesPathological, NestedImagesReadTheirAltTextOnce) {
  const std::size_t depth = 30000;
  const auto nodes = list_inlines(repeat("![", depth) + "a" + repeat("](u)", depth), options_with());
  ASSERT_EQ(nodes.size(), depth + 1);
  for (std::size_t i = 0; i < depth; ++i) {
    ASSERT_EQ(nodes[i].depth, i);
    ASSERT_EQ(std::get<inline_data::Link>(nodes[i].data).alt, "a");
  }
  EXPECT_EQ(nodes.back().kind, "text");
}

TEST(InlineNodesPathological, ManyConstructsInOneUnit) {
  // One paragraph of many lines and constructs: mapping offsets must not walk the lines per node.
  const auto emphases = list_inlines(repeat("*a*\n", 50000), options_with());
  EXPECT_EQ(emphases.size(), 100000u);
  EXPECT_EQ(emphases.back().start, 4 * 49999u + 1);
  // Unclosed attribute groups after cross-references, unclosed autolink words, empty images.
  EXPECT_EQ(list_inlines(repeat("[@a]{", 30000), options_with()).size(), 60000u);
  EXPECT_EQ(list_inlines(repeat("www.a.b ", 30000), options_with()).size(), 60000u);
  EXPECT_EQ(list_inlines(repeat("![[]()", 100000), options_with()).size(), 200000u);
}

}  // namespace
}  // namespace vedavi::inl
