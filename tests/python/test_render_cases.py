"""md2vedavi callbacks end to end: node dictionaries, every kind name, lookups; parse limits.

The byte-exact VEDAVI of md source is tested in C++ (tests/cpp/render/md_cases_test.cpp)."""

import pytest

import vedavi._native as m
from conftest import JINJA, md


class TestPlainText:
    """Plain text of inline lists, seen through node dictionaries."""

    def capture(self, src, kind, **kw):
        got = []
        md(src, callbacks={kind: lambda n, h: got.append(n)}, **kw)
        return got

    def test_image_alt_of_footnote_reference_and_raw_inline(self):
        node = self.capture("![a[^f] `r`{=html}b](u)\n\n[^f]: F\n", "image")[0]
        assert node["alt"] == "af b"

    def test_table_caption(self):
        node = self.capture("| a |\n|---|\n| 1 |\n: The *cap* {#t}\n", "table")[0]
        assert node["caption"] == "The cap"
        assert node["attrs"]["id"] == "t"


# Every kind name a callback can be registered under.
KIND_NAMES = [
    "paragraph", "heading", "panel_title", "block_quote", "list", "definition_list", "code_block",
    "html_block", "thematic_break", "table", "div", "math_block", "figure", "template_token",
    "raw_block", "script_block", "text", "soft_break", "hard_break", "emph", "strong", "strike",
    "superscript", "subscript", "highlight", "code", "link", "image", "autolink", "html_inline",
    "operation", "math_inline", "footnote_ref", "note", "span", "raw_inline",
]
EVERY_CONSTRUCT = "".join(piece + "\n" for piece in [
    "# H {#h}", "a *b* **c** ~~d~~ ^e^ ~f~ ==g==", "- [x] t\n- u", "1. a\n2. b", "> q",
    "```py\nx<y\n```", "<div>\n{{ v }}\n</div>", "---",
    "| a | b |\n|---|:-:|\n{{#r}}\n| 1 | 2 |\n{{/r}}\n: Cap", "::: {.callout-note}\n## T\nbody\n:::",
    "$$\nx\n$$", "![cap *x*](u.png \"t\")", "{{ blk }}", "```{=html}\n<b>\n```", "```{dot}\na\n```",
    "t {{ i }} `c`{=tex} <http://x.y> \\(m\\) [s]{#s} [l](u) ![i](v) x^[note *n*] y[^f]",
    "Term\n: def", "[^f]: foot *body*[^g]", "[^g]: gee", "<span>raw</span> `k`", "soft\nhard\\\nbreak",
])


class TestCallbacksKeepingEveryNode:
    @pytest.mark.parametrize("figures", [False, True])
    def test_output_unchanged(self, figures):
        seen = set()

        def keep(node, html):
            seen.add(node["type"])

        kw = {"templates": JINJA, "implicit_figures": figures}
        callbacks = {kind: keep for kind in KIND_NAMES}
        assert m.md2vedavi(EVERY_CONSTRUCT, callbacks=callbacks, **kw) == m.md2vedavi(EVERY_CONSTRUCT, **kw)
        missing = {"operation"} | (set() if figures else {"figure"})
        assert seen == set(KIND_NAMES) - missing


class TestParseLimits:
    def test_limits_reach_the_parse(self):
        assert md("> > a\n", max_block_depth=1) == "<blockquote>\n<p>&gt; a</p>\n</blockquote>\n"
        assert md("[a](b(c)d)\n", max_link_paren_depth=0) == "<p>[a](b(c)d)</p>\n"


class TestCallbackLookups:
    def test_not_callable_is_met_only_with_a_node_of_its_kind(self):
        assert md("a *b*\n", callbacks={"table": 3, "note": None}) == "<p>a <em>b</em></p>\n"
        with pytest.raises(TypeError):
            md("a *b*\n", callbacks={"emph": 3})

    def test_keys_that_are_not_kind_names_are_never_looked_up(self):
        class Strict(dict):
            def __missing__(self, key):
                raise AssertionError(key)

        assert md("a\n", callbacks=Strict({"bogus": 1, 7: 2})) == "<p>a</p>\n"

    def test_text_callback_raising_key_error(self):
        def cb(node, html):
            raise KeyError(node["text"])

        with pytest.raises(KeyError, match="t"):
            md("t\n", callbacks={"text": cb})
