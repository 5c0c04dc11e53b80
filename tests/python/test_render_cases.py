"""VEDAVI HTML end to end from md source: blocks, inlines and escaping, footnotes and notes."""

import pytest

import vedavi._native as m

JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))]
BACK = 'class="footnote-backref" role="doc-backlink">\u21a9'


def md(src, **kw):
    return m.md2vedavi(src, **kw)[0]


def ref(label_id, number, k=1):
    suffix = "" if k == 1 else f"-{k}"
    return (f'<sup id="fnref-{label_id}{suffix}"><a href="#fn-{label_id}" class="footnote-ref" '
            f'role="doc-noteref">{number}</a></sup>')


def backlink(label_id, k=1):
    if k == 1:
        return f'<a href="#fnref-{label_id}" {BACK}</a>'
    return f'<a href="#fnref-{label_id}-{k}" {BACK}<sup>{k}</sup></a>'


def section(*items):
    return ('<section class="footnotes" role="doc-endnotes">\n<ol>\n' + "".join(items)
            + "</ol>\n</section>\n")


BLOCK_CASES = [
    ("attribute order", "p\n{: #x .a .b k=v}\n", {}, '<p id="x" class="a b" k="v">p</p>\n'),
    ("attribute value escaped", 'p\n{: k="a\\"<&>"}\n', {}, '<p k="a&quot;&lt;&amp;&gt;">p</p>\n'),
    ("ordered list at 1 has no start", "1. a\n2. b\n", {},
     "<ol>\n<li>a</li>\n<li>b</li>\n</ol>\n"),
    ("continued ordered list keeps its start", "1. a\n2. b\n\ntext\n\n3. c\n", {},
     '<ol>\n<li>a</li>\n<li>b</li>\n</ol>\n<p>text</p>\n<ol start="3">\n<li>c</li>\n</ol>\n'),
    ("bullet list never has a start", "- a\n", {}, "<ul>\n<li>a</li>\n</ul>\n"),
    ("task list item", "- [x] text\n", {},
     '<ul class="task-list">\n<li><input type="checkbox" disabled="disabled" checked="checked" />'
     " text</li>\n</ul>\n"),
    ("task-list class written once", "- [ ] text\n{: .task-list}\n", {},
     '<ul class="task-list">\n<li><input type="checkbox" disabled="disabled" /> text</li>\n</ul>\n'),
    ("tight item with a nested list", "- t\n  - x\n", {},
     "<ul>\n<li>t\n<ul>\n<li>x</li>\n</ul>\n</li>\n</ul>\n"),
    ("loose item", "- text\n\n- b\n", {},
     "<ul>\n<li>\n<p>text</p>\n</li>\n<li>\n<p>b</p>\n</li>\n</ul>\n"),
    ("code block with language", "```py\na<b\n```\n", {},
     '<pre><code class="language-py">a&lt;b\n</code></pre>\n'),
    ("code block without language", "```\nx\n```\n", {}, "<pre><code>x\n</code></pre>\n"),
    ("table tokens before the first row and after the last",
     "| a |\n|---|\n{{#s}}\n| 1 |\n| 2 |\n{{/s}}\n{{^t}}\n", {"templates": JINJA},
     "<table>\n<thead>\n<tr><th>a</th></tr>\n</thead>\n<tbody>\n"
     '<template data-op="jinja:section">s</template>\n<tr><td>1</td></tr>\n<tr><td>2</td></tr>\n'
     '<template data-op="jinja:end">s</template>\n<template data-op="jinja:inverted">t</template>\n'
     "</tbody>\n</table>\n"),
    ("table with only tokens still has a body", "| a |\n|---|\n{{#s}}\n", {"templates": JINJA},
     "<table>\n<thead>\n<tr><th>a</th></tr>\n</thead>\n<tbody>\n"
     '<template data-op="jinja:section">s</template>\n</tbody>\n</table>\n'),
    ("column alignment reaches cells", "| a | b |\n|---|:-:|\n| 1 | 2 |\n", {},
     '<table colwidths="3fr 1fr">\n<thead>\n<tr><th>a</th><th align="center">b</th></tr>\n</thead>\n'
     '<tbody>\n<tr><td>1</td><td align="center">2</td></tr>\n</tbody>\n</table>\n'),
    ("figure: empty alt, caption carries the text", "![A cat](c.png)\n", {"implicit_figures": True},
     '<figure>\n<img src="c.png" alt="" />\n<figcaption>A cat</figcaption>\n</figure>\n'),
    ("figure without caption", "![](c.png)\n", {"implicit_figures": True},
     '<figure>\n<img src="c.png" alt="" />\n</figure>\n'),
    ("raw block with a script closer is escaped", "```{=html}\n<x></SCRIPT>\n```\n", {},
     '<script type="application/vnd.vedavi.raw" data-format="html" data-encoding="html">'
     "&lt;x&gt;&lt;/SCRIPT&gt;\n</script>\n"),
    ("raw block without comment or script is verbatim", "```{=tex}\nx < y\n```\n", {},
     '<script type="application/vnd.vedavi.raw" data-format="tex">x < y\n</script>\n'),
    ("script block", "```{dot}\na<!--b\n```\n", {},
     '<script type="text/dot-block" data-encoding="html">\na&lt;!--b\n</script>\n'),
    ("math block is display after its own classes", "$$\nx<1\n$$\n{: .m}\n", {},
     '<div class="m math display">x&lt;1</div>\n'),
    ("unknown template writes its trimmed body", "{{ ! raw text }}\n", {"templates": JINJA},
     '<template data-op="jinja:unknown">! raw text</template>\n'),
    ("section template writes its name", "{{#sec}}\n", {"templates": JINJA},
     '<template data-op="jinja:section">sec</template>\n'),
    ("thematic break", "---\n", {}, "<hr />\n"),
    ("panel", "::: {.callout-note #pn}\n## Note {#t}\nx\n:::\n", {},
     '<div id="pn" data-panel="" data-callout="note" data-disclosure="fixed">\n'
     '<header id="t">Note</header>\n<p>x</p>\n</div>\n'),
    ("definition list", "Term {#t}\n: def\n", {}, '<dl>\n<dt id="t">Term</dt>\n<dd>def</dd>\n</dl>\n'),
]

INLINE_CASES = [
    ("text escaped", "a < b & c > d \"q\"\n", {}, '<p>a &lt; b &amp; c &gt; d "q"</p>\n'),
    ("attribute value escaped", 'p\n{: k="a < b & c > d \\"q\\""}\n', {},
     '<p k="a &lt; b &amp; c &gt; d &quot;q&quot;">p</p>\n'),
    ("link: href, title, then attributes", '[x](<a b\\<c\\>> "T\\"x"){.k}\n', {},
     '<p><a href="a%20b%3Cc%3E" title="T&quot;x" class="k">x</a></p>\n'),
    ("url: ampersand, existing escape, non-ASCII", "[x](a&b%41\u00fc)\n", {},
     '<p><a href="a&amp;b%41%C3%BC">x</a></p>\n'),
    ("url: tab", "[x](a&#9;b)\n", {}, '<p><a href="a%09b">x</a></p>\n'),
    ("image alt flattened", "![x *y* z](u)\n", {}, '<p><img src="u" alt="x y z" /></p>\n'),
    ("autolink has only its href", "<http://a.b>\n", {}, '<p><a href="http://a.b">http://a.b</a></p>\n'),
    ("mail autolink", "<a@b.c>\n", {}, '<p><a href="mailto:a@b.c">a@b.c</a></p>\n'),
    ("math inline and display", "\\(a\\) \\[b\\]\n", {},
     '<p><span class="math inline">a</span> <span class="math display">b</span></p>\n'),
    ("raw inline comment escaped", "`<!-- c -->`{=html}\n", {},
     '<p><script type="application/vnd.vedavi.raw" data-format="html" data-encoding="html">'
     "&lt;!-- c --&gt;</script></p>\n"),
    ("other inline kinds", "~~x~~ ^2^ ~i~ ==m== `c`{#q} [s]{#s .c}\n", {},
     '<p><del>x</del> <sup>2</sup> <sub>i</sub> <mark>m</mark> <code id="q">c</code> '
     '<span id="s" class="c">s</span></p>\n'),
]

NOTE_CASES = [
    ("unreferenced definitions write no section", "[^x]: never\n\np\n", {}, "<p>p</p>\n"),
    ("repeated references and backlinks", "a[^x] b[^y] c[^x]\n\n[^x]: X\n[^y]: Y\n", {},
     f"<p>a{ref('x', 1)} b{ref('y', 2)} c{ref('x', 1, 2)}</p>\n"
     + section(f'<li id="fn-x">\n<p>X {backlink("x")} {backlink("x", 2)}</p>\n</li>\n',
               f'<li id="fn-y">\n<p>Y {backlink("y")}</p>\n</li>\n')),
    ("body ending in a code block", "a[^x]\n\n[^x]: ```\n    code\n    ```\n", {},
     f"<p>a{ref('x', 1)}</p>\n"
     + section(f'<li id="fn-x">\n<pre><code>code\n</code></pre>\n{backlink("x")}\n</li>\n')),
    ("body ending in a list", "a[^x]\n\n[^x]:\n    - i\n    - j\n", {},
     f"<p>a{ref('x', 1)}</p>\n"
     + section(f'<li id="fn-x">\n<ul>\n<li>i</li>\n<li>j</li>\n</ul>\n{backlink("x")}\n</li>\n')),
    ("note then footnote", "a^[n *e*] b[^x]\n\n[^x]: X\n", {},
     f"<p>a{ref('__note1', 1)} b{ref('x', 2)}</p>\n"
     + section(f'<li id="fn-__note1">\n<p>n <em>e</em> {backlink("__note1")}</p>\n</li>\n',
               f'<li id="fn-x">\n<p>X {backlink("x")}</p>\n</li>\n')),
    ("label escaped for ids", "a[^\u00e9]\n\n[^\u00e9]: n\n", {},
     f"<p>a{ref('%C3%A9', 1)}</p>\n"
     + section(f'<li id="fn-%C3%A9">\n<p>n {backlink("%C3%A9")}</p>\n</li>\n')),
    ("label characters kept", "a[^N_1.a-(b)/~]\n\n[^N_1.a-(b)/~]: n\n", {},
     f"<p>a{ref('N_1.a-(b)/~', 1)}</p>\n"
     + section(f'<li id="fn-N_1.a-(b)/~">\n<p>n {backlink("N_1.a-(b)/~")}</p>\n</li>\n')),
    ("footnote referencing a later one", "a[^x]\n\n[^x]: see[^y]\n[^y]: Y\n", {},
     f"<p>a{ref('x', 1)}</p>\n"
     + section(f'<li id="fn-x">\n<p>see{ref("y", 2)} {backlink("x")}</p>\n</li>\n',
               f'<li id="fn-y">\n<p>Y {backlink("y")}</p>\n</li>\n')),
    ("footnote referencing itself", "a[^x]\n\n[^x]: self[^x]\n", {},
     f"<p>a{ref('x', 1)}</p>\n"
     + section(f'<li id="fn-x">\n<p>self{ref("x", 1, 2)} {backlink("x")} {backlink("x", 2)}</p>\n</li>\n')),
    ("note label skips an author's label", "a^[n][^__note1]\n\n[^__note1]: author\n", {},
     f"<p>a{ref('__note2', 1)}{ref('__note1', 2)}</p>\n"
     + section(f'<li id="fn-__note2">\n<p>n {backlink("__note2")}</p>\n</li>\n',
               f'<li id="fn-__note1">\n<p>author {backlink("__note1")}</p>\n</li>\n')),
    ("note inside a note is numbered in the section pass", "a^[b^[c]] d[^x]\n\n[^x]: X\n", {},
     f"<p>a{ref('__note1', 1)} d{ref('x', 2)}</p>\n"
     + section(f'<li id="fn-__note1">\n<p>b{ref("__note2", 3)} {backlink("__note1")}</p>\n</li>\n',
               f'<li id="fn-x">\n<p>X {backlink("x")}</p>\n</li>\n',
               f'<li id="fn-__note2">\n<p>c {backlink("__note2")}</p>\n</li>\n')),
]


def case_ids(cases):
    return [c[0] for c in cases]


class TestBlocks:
    @pytest.mark.parametrize(("name", "src", "kw", "expected"), BLOCK_CASES, ids=case_ids(BLOCK_CASES))
    def test_byte_exact(self, name, src, kw, expected):
        assert md(src, **kw) == expected


class TestInlines:
    @pytest.mark.parametrize(("name", "src", "kw", "expected"), INLINE_CASES, ids=case_ids(INLINE_CASES))
    def test_byte_exact(self, name, src, kw, expected):
        assert md(src, **kw) == expected


class TestFootnotes:
    @pytest.mark.parametrize(("name", "src", "kw", "expected"), NOTE_CASES, ids=case_ids(NOTE_CASES))
    def test_byte_exact(self, name, src, kw, expected):
        assert md(src, **kw) == expected


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
    @pytest.mark.parametrize(("depth", "expected"), [
        (0, "<p>&gt; &gt; a</p>\n"),
        (1, "<blockquote>\n<p>&gt; a</p>\n</blockquote>\n"),
        (None, "<blockquote>\n<blockquote>\n<p>a</p>\n</blockquote>\n</blockquote>\n"),
    ])
    def test_max_block_depth(self, depth, expected):
        assert md("> > a\n", max_block_depth=depth) == expected

    @pytest.mark.parametrize(("depth", "expected"), [
        (0, "<p>[a](b(c)d)</p>\n"),
        (None, '<p><a href="b(c)d">a</a></p>\n'),
    ])
    def test_max_link_paren_depth(self, depth, expected):
        assert md("[a](b(c)d)\n", max_link_paren_depth=depth) == expected


class TestNonAsciiWords:
    # A continuation byte of a character (the 0xA0 of "à", 0x85 of "х") is no white space.
    @pytest.mark.parametrize("word", ["voil\u00e0", "\u0445\u0430", "a\u00a0b"])
    def test_div_class_word(self, word):
        html = md(f"::: {word}\nx\n:::\n")
        cls = word.split("\u00a0")[0]
        assert html == f'<div class="{cls}">\n<p>x</p>\n</div>\n'


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
