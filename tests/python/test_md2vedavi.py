"""md2vedavi: the result triple, node callbacks and their dictionaries, anchors, deep input and
threads."""

import sys
import threading

import pytest

import vedavi._native as m
from conftest import JINJA, md
from thread_checks import other_threads_run_during, same_result_on_threads


class TestResult:
    def test_triple(self):
        html, warnings, pairs = m.md2vedavi("# Hi\n\ntext\n")
        assert html == "<h1>Hi</h1>\n<p>text</p>\n"
        assert warnings == [] and pairs == []

    def test_empty(self):
        assert m.md2vedavi("") == ("", [], [])

    @pytest.mark.parametrize("word", ["plain", "caf\u00e9", "\u00ff", "\u2192", "\U0001F600", "a\u00e9\u2192\U0001F600z"])
    def test_html_str_of_every_width(self, word):
        # The binding builds the result's str from the UTF-8 itself: each character width, alone
        # and mixed, at the start, middle and end of long ASCII runs.
        line = " ".join([word, "x" * 37, word, "y" * 9, word])
        assert md(f"{line}\n\n{line}\n") == f"<p>{line}</p>\n<p>{line}</p>\n"

    @pytest.mark.parametrize("text", ["\ud800", "caf\u00e9 \udfff", "\u2192\udc80", "\U0001F600\ud800"])
    def test_lone_surrogate_raises_the_interpreters_unicode_error(self, text):
        with pytest.raises(UnicodeEncodeError, match="surrogates not allowed"):
            m.md2vedavi(text)

    def test_str_subclass(self):
        class Text(str):
            pass

        assert md(Text("caf\u00e9 *x*")) == "<p>caf\u00e9 <em>x</em></p>\n"

    def test_arguments(self):
        with pytest.raises(TypeError):
            m.md2vedavi("x", "on")
        with pytest.raises(TypeError):
            m.md2vedavi("x", bare_autolinks=1)
        with pytest.raises(OverflowError):
            m.md2vedavi("x", max_block_depth=-1)
        with pytest.raises(TypeError):
            m.md2vedavi("x", math="bad", callbacks=[])
        with pytest.raises(ValueError, match="math must be"):
            m.md2vedavi("x", math="Brackets")
        with pytest.raises(TypeError):
            m.md2vedavi("x", callbacks=lambda n, h: None)


class TestCallbackOrder:
    def record(self, src, kinds):
        seen = []
        callbacks = {k: (lambda k: lambda node, html: seen.append((k, node["type"])))(k) for k in kinds}
        m.md2vedavi(src, callbacks=callbacks)
        return [k for k, _ in seen]

    def test_post_order_and_footnotes_last(self):
        kinds = ["paragraph", "heading", "text", "emph", "footnote_ref", "block_quote"]
        got = self.record("# A *b*\n\nsee[^n]\n\n[^n]: foot\n\n> q\n", kinds)
        assert got == ["text", "text", "emph", "heading", "text", "footnote_ref", "paragraph",
                       "text", "paragraph", "block_quote", "text", "paragraph"]

    def test_empty_dict_is_none(self):
        src = "# A *b*\n\nsee[^n] ^[note]\n\n[^n]: foot\n"
        assert m.md2vedavi(src, callbacks={}) == m.md2vedavi(src) == m.md2vedavi(src, callbacks=None)

    def test_dict_subclass(self):
        class D(dict):
            pass
        assert md("x\n", callbacks=D(text=lambda n, h: "Y")) == "<p>Y</p>\n"


class TestReplacement:
    def test_paragraph_replaced_after_children(self):
        seen = []

        def para(node, html):
            seen.append(("paragraph", node, html))
            return "X"

        html = md("a *b*\n\nkeep\n", callbacks={"paragraph": para, "emph": lambda n, h: seen.append("emph")})
        assert html == "XX"
        assert seen[0] == "emph"
        assert seen[1][1] == {"type": "paragraph", "attrs": {"id": None, "classes": [], "pairs": []},
                              "children": 2}
        assert seen[1][2] == "<p>a <em>b</em></p>\n"

    def test_empty_string_removes(self):
        assert md("a *b* c\n", callbacks={"emph": lambda n, h: ""}) == "<p>a  c</p>\n"

    def test_inner_replacement_reaches_outer_default(self):
        got = []
        md("*a **b***\n", callbacks={"strong": lambda n, h: "S", "emph": lambda n, h: got.append(h)})
        assert got == ["<em>a S</em>"]

    def test_node_changes_have_no_effect(self):
        def cb(node, html):
            node["text"] = "changed"
        assert md("t\n", callbacks={"text": cb}) == "<p>t</p>\n"

    def test_default_block_html_has_own_footnote_section(self):
        got = []
        md("a[^x]\n\n[^x]: body\n", callbacks={"paragraph": lambda n, h: got.append(h)})
        assert got[0].startswith("<p>a<sup id=\"fnref-x\">")
        assert got[0].endswith(
            "<li id=\"fn-x\">\n<a href=\"#fnref-x\" class=\"footnote-backref\" "
            "role=\"doc-backlink\">\u21a9</a>\n</li>\n</ol>\n</section>\n")


class TestCallbackFailures:
    def test_non_str_result(self):
        with pytest.raises(TypeError, match="'int' object is not an instance of 'str'"):
            md("t\n", callbacks={"text": lambda n, h: 5})

    def test_exception_is_the_same_object(self):
        error = KeyError("mine")

        def cb(node, html):
            raise error

        with pytest.raises(KeyError) as info:
            md("t\n", callbacks={"text": cb})
        assert info.value is error

    def test_not_callable(self):
        with pytest.raises(TypeError):
            md("t\n", callbacks={"text": 3})

    def test_reentrant(self):
        def cb(node, html):
            return m.md2vedavi("*" + node["text"] + "*")[0].strip()

        assert md("t\n", callbacks={"text": cb}) == "<p><p><em>t</em></p></p>\n"

    def test_removing_another_kind_mid_walk(self):
        seen = []
        callbacks = {}

        def para(node, html):
            seen.append("paragraph")
            callbacks.pop("text", None)

        callbacks["paragraph"] = para
        callbacks["text"] = lambda n, h: seen.append("text")
        md("a\n\nb\n", callbacks=callbacks)
        assert seen == ["text", "paragraph", "paragraph"]

    def test_reference_counts_unchanged(self):
        def cb(node, html):
            return None

        callbacks = {"text": cb, "paragraph": cb}
        before = (sys.getrefcount(cb), sys.getrefcount(callbacks))
        for _ in range(10):
            md("a *b*\n\nc\n", callbacks=callbacks)
        assert (sys.getrefcount(cb), sys.getrefcount(callbacks)) == before


class TestNodeDictionaries:
    def capture(self, src, kind):
        got = []
        md(src, callbacks={kind: lambda n, h: got.append(n)})
        return got

    def test_heading_key_order(self):
        node = self.capture("# a *b*\n", "heading")[0]
        assert list(node) == ["type", "level", "attrs", "children"]
        assert node["level"] == 1 and node["children"] == 2 and node["attrs"]["id"] is None

    def test_link_without_title(self):
        node = self.capture("[a](u)\n", "link")[0]
        assert list(node) == ["type", "attrs", "children", "url", "title"]
        assert node["title"] is None and node["url"] == "u"

    def test_image_form_inline(self):
        node = self.capture("![a *b*](u \"t\")\n", "image")[0]
        assert list(node) == ["type", "attrs", "alt", "url", "title", "form"]
        assert node["alt"] == "a b" and node["title"] == "t" and node["form"] == "inline"

    def test_footnote_ref_and_note(self):
        assert self.capture("a[^x]\n\n[^x]: b\n", "footnote_ref")[0] == {"type": "footnote_ref", "label": "x"}
        assert self.capture("a^[b *c*]\n", "note")[0] == {"type": "note", "children": 2}


class TestTemplatesAndFigures:
    def tokens(self, src, result=None):
        seen = []

        def cb(node, html):
            seen.append((node, html))
            return result

        html = md(src, templates=JINJA, callbacks={"template_token": cb})
        return html, seen

    def test_table_row_lines(self):
        html, seen = self.tokens("| a | b | c |\n|---|---|---|\n{{#rows}}\n| 1 | 2 | 3 |\n{{/rows}}\n", "R")
        assert [n["context"] for n, _ in seen] == ["row", "row"]
        assert [n["ncols"] for n, _ in seen] == [3, 3]
        assert list(seen[0][0])[-2:] == ["context", "ncols"]
        assert seen[0][1] == '<template data-op="jinja:section">rows</template>'
        assert "<tbody>\nR\n<tr><td>1</td><td>2</td><td>3</td></tr>\nR\n</tbody>" in html

    def test_tokens_in_raw_html(self):
        src = "<table>\n{{#rows}}\n<tr><td>{{ v }}</td></tr>\n{{/rows}}\n</table>\n"
        html, seen = self.tokens(src)
        assert [(n["source"], n["context"]) for n, _ in seen] == [
            ("{{#rows}}", "row"), ("{{ v }}", "inline"), ("{{/rows}}", "row")]
        assert all("ncols" not in n for n, _ in seen)
        assert html == md(src, templates=JINJA)
        html, _ = self.tokens(src, "T")
        assert html == "<table>\nT\n<tr><td>T</td></tr>\nT\n</table>\n"

    def test_block_and_inline_tokens(self):
        _, seen = self.tokens("{{ b }}\n\ntext {{ i }}\n")
        assert [(n["form"], n["context"]) for n, _ in seen] == [("block", "block"), ("inline", "inline")]
        assert seen[0][1] == '<template data-op="jinja:value">b</template>\n'

    def test_implicit_figure(self):
        seen = []
        callbacks = {"image": lambda n, h: seen.append(n) or "IMG", "figure": lambda n, h: seen.append((n, h))}
        html = md('![a *b*](u.png "t")\n', implicit_figures=True, callbacks=callbacks)
        image, (figure, default) = seen
        assert image["form"] == "figure"
        assert list(figure) == ["type", "attrs", "alt", "url", "title", "caption_html", "content_html"]
        assert figure["url"] == "u.png" and figure["caption_html"] == "a <em>b</em>"
        assert figure["content_html"] == "IMG"
        assert default == html == "<figure>\nIMG\n<figcaption>a <em>b</em></figcaption>\n</figure>\n"


NO_ATTRS = {"id": None, "classes": [], "pairs": []}
NODE_CASES = [
    ("```\ncode\n```\n", "code_block", {}, {
        "type": "code_block", "attrs": NO_ATTRS, "info": "", "lang": None, "text": "code\n",
        "open": "<pre><code>", "close": "</code></pre>\n"}),
    ("| a | b |\n|:--|--:|\n| 1 | 2 |\n", "table", {}, {
        "type": "table", "attrs": NO_ATTRS, "aligns": ["left", "right"], "head_cells": 2,
        "head_rows": 1, "rows": 1, "foot_rows": 0, "caption": ""}),
    ("{{^inv}}\n", "template_token", {"templates": JINJA}, {
        "type": "template_token", "syntax": "jinja", "source": "{{^inv}}", "body": "^inv",
        "form": "block", "kind": "open", "name": "inv", "inverted": True, "context": "block"}),
    ("{{#sec}}\n", "template_token", {"templates": JINJA}, {
        "type": "template_token", "syntax": "jinja", "source": "{{#sec}}", "body": "#sec",
        "form": "block", "kind": "open", "name": "sec", "inverted": False, "context": "block"}),
    ("<a@b.org>\n", "autolink", {}, {
        "type": "autolink", "url": "mailto:a@b.org", "text": "a@b.org", "email": True}),
    ("a \\(x\\) b\n", "math_inline", {}, {
        "type": "math_inline", "attrs": NO_ATTRS, "display": False, "tex": "x"}),
    ("1. a\n2. b\n", "list", {}, {
        "type": "list", "attrs": NO_ATTRS, "ordered": True, "start": 1, "tight": True, "items": 2}),
]


class TestNodeDictionaryKinds:
    @pytest.mark.parametrize(("src", "kind", "kw", "expected"), NODE_CASES, ids=[c[1] for c in NODE_CASES])
    def test_entries_in_order(self, src, kind, kw, expected):
        got = []
        md(src, callbacks={kind: lambda n, h: got.append(n)}, **kw)
        assert got == [expected]
        assert list(got[0]) == list(expected)


class TestAnchors:
    def test_arguments(self):
        with pytest.raises(ValueError):
            m.anchors("x", math="bad")
        with pytest.raises(TypeError):
            m.anchors("x", "on")


N = 100_000


def deep_calls():
    inline_src = "*a " * N + "b" + "*" * N
    html = md(inline_src, callbacks={"text": lambda n, h: None})
    assert html.count("<em>") == N
    html = md(inline_src, callbacks={"emph": lambda n, h: ""})
    assert html == "<p></p>\n"
    quotes = "> " * N + "x\n"
    # Each quote is replaced before its parent's default HTML is written, so that stays small.
    seen = []
    html = md(quotes, max_block_depth=10**6,
              callbacks={"block_quote": lambda n, h: seen.append(h) or "", "paragraph": lambda n, h: "P"})
    assert html == "" and len(seen) == N
    assert seen[0] == "<blockquote>\nP</blockquote>\n" and seen[1] == "<blockquote>\n</blockquote>\n"
    million = "> " * 10**6 + "x\n"
    html = md(million, max_block_depth=10**6, callbacks={"block_quote": lambda n, h: "", "text": lambda n, h: None})
    assert html == ""
    got = m.anchors("[" * N + "x" + "]{#s}" * N)
    assert len(got) >= N - 1 and got[-1]["text"] == "x"
    return True


class TestDeepInput:
    def test_main_thread(self):
        assert deep_calls()

    def test_python_thread(self):
        results = []
        t = threading.Thread(target=lambda: results.append(deep_calls()))
        t.start()
        t.join()
        assert results == [True]


class TestThreads:
    SRC = "".join(f"# Heading {i} {{#h{i}}}\n\nPara *{i}* with [link](u{i}) and a note^[n{i}].\n\n"
                  for i in range(2000))

    def test_eight_threads_agree(self):
        assert same_result_on_threads(lambda: m.md2vedavi(self.SRC), 8)

    def test_lock_released_while_converting(self):
        big = self.SRC * 20
        assert other_threads_run_during(lambda: m.md2vedavi(big))
