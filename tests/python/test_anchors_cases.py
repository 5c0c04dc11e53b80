"""anchors and blocks seen from Python: the arguments reaching the parse, and the keys of the
dictionaries (the listing itself is tested in C++, tests/cpp/render/anchors_test.cpp)."""

import pytest

import vedavi._native as m
from conftest import JINJA, JINJA_BLOCK


def a(id_, kind, text):
    return {"id": id_, "kind": kind, "text": text}


class TestAnchors:
    def test_dictionaries(self):
        got = m.anchors("# A *b* {#h}\n\nx[^f]\n\n[^f]: in\n    {: #fp}\n")
        assert got == [a("h", "block", "A b"), a("fp", "block", "in")]
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
