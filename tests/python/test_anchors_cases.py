"""anchors: cross-reference targets of md source in document order, with collapsed plain text;
and the block-span dictionaries of `blocks`."""

import pytest

import vedavi._native as m

JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))]
JINJA_BLOCK = [("jinja", "{{", "}}", None, "block", ("#", "^", "/"))]


def a(id_, kind, text):
    return {"id": id_, "kind": kind, "text": text}


ANCHOR_CASES = [
    ("no ids", "just text\n", []),
    ("heading without text", "# {#h}\n", [a("h", "block", "")]),
    ("heading text flattened", "# A *b* `c` {#h}\n", [a("h", "block", "A b c")]),
    ("quote gives none, its paragraph does", "> q\n> {: #p}\n", [a("p", "block", "q")]),
    ("heading before the span inside it", "# x [in]{#s} {#h}\n", [a("h", "block", "x in"), a("s", "text", "in")]),
    ("table without caption", "| a |\n|---|\n| 1 |\n{: #t}\n", [a("t", "caption", "")]),
    ("table caption, then cells", "| a |\n|---|\n| [c]{#c} |\n: Cap *x* {#t}\n",
     [a("t", "caption", "Cap x"), a("c", "text", "c")]),
    ("line break collapses", "a\nb\n{: #p}\n", [a("p", "block", "a b")]),
    ("Unicode blanks collapse and trim", "\u00a0a\u2003b\u3000\n{: #u}\n", [a("u", "block", "a b")]),
    ("footnote reference gives nothing, math its TeX", "# x[^f] \\(t^2\\) y {#h}\n\n[^f]: z\n",
     [a("h", "block", "x t^2 y")]),
    ("footnote anchors after the whole document", "# m {#m}\n\na[^f]\n\n[^f]: in\n    {: #fp}\n\n# z {#z}\n",
     [a("m", "block", "m"), a("z", "block", "z"), a("fp", "block", "in")]),
    ("spans inside links, emphasis and notes", "[l [s]{#s}](u) *[e]{#e}* ^[[n]{#n}]\n",
     [a("s", "text", "s"), a("e", "text", "e"), a("n", "text", "n")]),
    ("image alt is walked (no implicit figures here)", "![Cap [s]{#s}](u){#f}\n", [a("s", "text", "s")]),
    ("ids on code and superscript give nothing", "`c`{#c} ^s^{#s}\n", []),
    ("panel title", "::: {.callout-note #pn}\n## Title {#tt}\nbody\n:::\n", [a("tt", "text", "Title")]),
    ("list items give nothing, their paragraphs do", "- a\n  {: #a}\n- b\n", [a("a", "block", "a")]),
    ("definition terms, then definitions", "Term [x]{#s} {#t}\n: def [d]{#d}\n",
     [a("t", "text", "Term x"), a("s", "text", "x"), a("d", "text", "d")]),
    ("math, code and divs give nothing", "::: {#dv}\n\\[\ny\n\\]\n{: #m}\n\n```{#c}\nx\n```\n:::\n", []),
]


class TestAnchors:
    @pytest.mark.parametrize(("name", "src", "expected"), ANCHOR_CASES, ids=[c[0] for c in ANCHOR_CASES])
    def test_listing(self, name, src, expected):
        got = m.anchors(src)
        assert got == expected
        assert all(list(d) == ["id", "kind", "text"] for d in got)

    def test_templates_and_math_reach_the_parser(self):
        assert m.anchors("# {{ v }} {#h}\n", templates=JINJA) == [a("h", "block", "v")]
        assert m.anchors("# \\(x\\) {#h}\n", math="off") == [a("h", "block", "(x)")]


# Pairs of keys of which a block-span dict holds both or neither.
PAIRED = [("info", "info_has_attrs"), ("panel", "fence_end"), ("syntax", "form"), ("kind", "inverted")]
SPAN_SOURCES = [
    ("```py {.x}\nx\n```\n", {}),
    ("```\nx\n```\n", {}),
    ("::: {.callout-note}\n## Note\nx\n:::\n", {}),
    ("::: {.details}\nx\n", {}),
    ("{{^inv}}\n{{ v }}\n{{/inv}}\n", {"templates": JINJA_BLOCK}),
    ("# H {#h}\n\n| a |\n|---|\n| 1 |\n: Cap {#t}\n\n![c](u \"t\")\n", {"implicit_figures": True}),
]


class TestBlockSpanDicts:
    @pytest.mark.parametrize(("src", "kw"), SPAN_SOURCES)
    def test_paired_keys_travel_together(self, src, kw):
        spans = m.blocks(src, nested=True, **kw)
        assert spans
        for span in spans:
            keys = list(span)
            assert keys[:4] == ["type", "start", "end", "depth"]
            for first, second in PAIRED:
                assert (first in span) == (second in span), span
                if first in span:
                    assert keys.index(second) == keys.index(first) + 1, span

    def test_panel_without_closing_fence(self):
        (span,) = m.blocks("::: {.callout-note}\n## Note\nx\n")
        assert span["type"] == "panel"
        assert span["panel"] == {"data-panel": "", "data-callout": "note", "data-disclosure": "fixed"}
        assert span["fence_end"] is None and span["title_line"] == 1

    def test_template_lines(self):
        got = [(s["kind"], s["inverted"], s["form"], s["name"])
               for s in m.blocks("{{^inv}}\n{{#sec}}\n{{ v }}\n{{/sec}}\n", templates=JINJA_BLOCK)]
        assert got == [("open", True, "block", "inv"), ("open", False, "block", "sec"),
                       ("var", False, "block", "v"), ("close", False, "block", "sec")]

    def test_optional_keys_in_order(self):
        (heading,) = m.blocks("# H {#h}\n")
        assert list(heading) == ["type", "start", "end", "depth", "attrs", "text", "level", "id"]
        (code,) = m.blocks("```\nx\n```\n")
        assert list(code) == ["type", "start", "end", "depth", "attrs", "info", "info_has_attrs",
                              "fence_start", "text"]
        assert code["info"] == "" and code["info_has_attrs"] is False
        (figure,) = m.blocks("![c](u \"t\")\n", implicit_figures=True)
        assert list(figure)[4:] == ["attrs", "caption", "url", "title"]

    def test_crlf_lines(self):
        got = [(s["start"], s["end"]) for s in m.blocks("a\r\nb\r\n\r\nc\r\n")]
        assert got == [(0, 2), (3, 4)]
