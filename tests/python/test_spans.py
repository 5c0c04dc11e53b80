"""inlines, source_nodes and highlight_md: dict keys and their order, ranges in the caller's text,
the order of source nodes, and well-formed highlighting, over generated documents."""

import html.parser

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native

FRAGMENTS = ["a", "é", "€ ", "𝄞", " ", "\u00a0", "\u3000", "\t", "*", "**", "_", "~~", "==", "`", "[", "]", "(",
             ")", "![", "^[", "<", ">", "{.c}", "{#i}", "$$", "\\(", "\\)", "[@x]", "[^1]", "www.a.b", "<!--",
             "-->", "|", "&amp;", "\\", "{{ t }}", "<b>", "\n", "\n", "\n\n", "> ", "- ", "1. ", "# ", "```\n",
             "---\n", ": ", "[r]: /u\n", "[^1]: n\n", "{: .k}\n", "<div>\n"]
DOCS = st.lists(st.sampled_from(FRAGMENTS), max_size=40).map("".join)
LINE_ENDS = st.sampled_from(["\n", "\r\n", "\r"])
TEMPLATES = [("m", "{{", "}}", None, "auto", None)]

INLINE_KEYS = ["type", "start", "end", "depth"]
DATA_KEYS = {
    "link": ["form", "url", "title", "url_start", "url_end"],
    "code": ["text"],
    "math_inline": ["delimiter", "display", "tex"],
    "raw_inline": ["format", "text"],
    "attrs": ["id"],
    "xref": ["refs", "tokens"],
    "template_token": ["form", "source", "syntax", "body", "kind", "name", "inverted"],
    "footnote_ref": ["label"],
    "autolink": ["url"],
}
BLOCK_KINDS = {"attr_def", "link_ref", "paragraph", "heading", "panel_title", "block_quote", "list", "footnote_def",
               "definition_list", "div", "panel", "code_block", "math_block", "thematic_break", "html_block",
               "html_container", "table", "figure"}
PAIRED_BLOCK_KEYS = [("info", "info_has_attrs"), ("panel", "fence_end"), ("syntax", "form"), ("kind", "inverted")]


def with_line_ends(doc, end):
    return doc.replace("\n", end)


def is_block(node):
    return node["type"] in BLOCK_KINDS or (node["type"] == "template_token" and node["form"] == "block")


def check_ranges(source, nodes):
    data = source.encode()
    for node in nodes:
        assert 0 <= node["start"] <= node["end"] <= len(data)
        for offset in (node["start"], node["end"]):
            assert offset == len(data) or (data[offset] & 0xC0) != 0x80, (source, node)
    starts = [(node["start"], -node["end"]) for node in nodes]
    assert starts == sorted(starts)


class TestDictionaries:
    @pytest.mark.parametrize(("source", "kind", "keys"), [
        ("[a](u)", "link", DATA_KEYS["link"]),
        ("![a](u 't')", "image", DATA_KEYS["link"] + ["alt"]),
        ("`c`", "code", DATA_KEYS["code"]),
        ("$$x$$", "math_inline", DATA_KEYS["math_inline"]),
        ("`x`{=html}", "raw_inline", DATA_KEYS["raw_inline"]),
        ("*a*{.c}", "attrs", DATA_KEYS["attrs"]),
        ("[@a; -@b]", "xref", DATA_KEYS["xref"]),
        ("x {{ t }}", "template_token", DATA_KEYS["template_token"]),
        ("x[^1]\n\n[^1]: n", "footnote_ref", DATA_KEYS["footnote_ref"]),
        ("<http://a.b>", "autolink", DATA_KEYS["autolink"]),
        ("*a*", "emph", []),
    ])
    def test_keys_in_order(self, source, kind, keys):
        [node] = [n for n in native.inlines(source, templates=TEMPLATES) if n["type"] == kind]
        assert list(node) == INLINE_KEYS + keys

    def test_values(self):
        [link, _] = native.inlines("[a][r]\n\n[r]: /u")
        assert (link["form"], link["url"], link["title"], link["url_start"], link["url_end"]) == \
            ("reference", "/u", None, None, None)
        [xref] = native.inlines("[see -@a]")
        assert xref["refs"] == [{"target": "a", "bare": True, "prefix": "see"}]
        assert [n["display"] for n in native.inlines("$a$ $$b$$", math="dollars") if "display" in n] == [False, True]
        [attrs] = [n for n in native.inlines("*a*{.c}") if n["type"] == "attrs"]
        assert attrs["id"] is None
        templates = [("m", "{{", "}}", None, "auto", ("#", "^", "/"))]
        [_, token] = native.inlines("x {{^t}}", templates=templates)
        assert (token["kind"], token["inverted"], token["source"]) == ("open", True, "{{^t}}")

    @given(DOCS)
    def test_block_keys_come_in_pairs(self, doc):
        for node in native.source_nodes(doc, templates=TEMPLATES):
            keys = list(node)
            assert keys[:4] == INLINE_KEYS
            if not is_block(node):
                continue
            for first, second in PAIRED_BLOCK_KEYS:
                assert (first in keys) == (second in keys), node
                if first in keys:
                    assert keys.index(first) + 1 == keys.index(second)


class TestRanges:
    @settings(max_examples=200)
    @given(DOCS, LINE_ENDS)
    def test_inside_the_source_on_character_boundaries_and_sorted(self, doc, end):
        source = with_line_ends(doc, end)
        check_ranges(source, native.inlines(source, templates=TEMPLATES))
        check_ranges(source, native.source_nodes(source, templates=TEMPLATES))

    @given(DOCS)
    def test_blocks_before_inlines_of_the_same_range(self, doc):
        nodes = native.source_nodes(doc, templates=TEMPLATES)
        for before, after in zip(nodes, nodes[1:]):
            if (before["start"], before["end"]) == (after["start"], after["end"]):
                assert is_block(before) or not is_block(after), (before, after)
        # The inline nodes are those `inlines` lists, in the same order.
        assert [n for n in nodes if not is_block(n)] == native.inlines(doc, templates=TEMPLATES)

    def test_crlf_offsets_point_into_the_callers_text(self):
        source = "# é\r\n\r\n> *b*\r\n"
        data = source.encode()
        got = [(n["type"], data[n["start"]:n["end"]]) for n in native.source_nodes(source)]
        assert got == [("heading", b"# \xc3\xa9\r\n"), ("text", b" \xc3\xa9"), ("block_quote", b"> *b*\r\n"),
                       ("paragraph", b"> *b*\r\n"), ("emph", b"*b*"), ("text", b"b")]

    def test_empty_source(self):
        assert native.inlines("") == native.source_nodes("") == []
        assert native.highlight_md("") == ""


class Spans(html.parser.HTMLParser):
    """Text and span balance of highlighted output."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text, self.depth, self.balanced = [], 0, True

    def handle_starttag(self, tag, attrs):
        assert tag == "span" and attrs[0][0] == "class"
        self.depth += 1

    def handle_endtag(self, tag):
        self.depth -= 1
        self.balanced &= self.depth >= 0

    def handle_data(self, data):
        self.text.append(data)


class TestHighlight:
    @settings(max_examples=200)
    @given(DOCS, LINE_ENDS)
    def test_well_formed_with_the_sources_text(self, doc, end):
        out = native.highlight_md(with_line_ends(doc, end))
        parser = Spans()
        parser.feed(out)
        parser.close()
        assert parser.balanced and parser.depth == 0
        assert "".join(parser.text) == doc

    def test_arguments(self):
        assert native.highlight_md("*a*", class_prefix="") == '<span class="markup-italic">*a*</span>'
        assert native.highlight_md(src="*a*") == '<span class="hl-markup-italic">*a*</span>'
        with pytest.raises(TypeError):
            native.highlight_md(b"*a*")


class TestArguments:
    @pytest.mark.parametrize("function", [native.inlines, native.source_nodes])
    def test_options_are_keyword_only_and_checked(self, function):
        with pytest.raises(TypeError):
            function("a", "brackets")
        with pytest.raises(ValueError):
            function("a", math="sometimes")
        with pytest.raises(TypeError):
            function(None)

    def test_options_reach_the_parser(self):
        assert [n["type"] for n in native.inlines("www.a.b", bare_autolinks=False)] == ["text"]
        assert [n["type"] for n in native.inlines("$a$", math="dollars")] == ["math_inline"]
        figure = native.source_nodes("![a](u)", implicit_figures=True)
        assert figure[0]["type"] == "figure"
