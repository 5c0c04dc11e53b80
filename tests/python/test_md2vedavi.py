"""md2vedavi: the result, arguments, callbacks and their node dicts and default HTML, deep input, threads."""

import sys

import pytest
from hypothesis import given, settings, strategies as st

import vedavi._native as m
from conftest import JINJA, in_thread, md, other_threads_run_during

def test_result():
    assert m.md2vedavi("# Hi\n\ntext\n") == ("<h1>Hi</h1>\n<p>text</p>\n", [], [])
    assert m.md2vedavi("") == ("", [], [])
    assert md(type("Text", (str,), {})("caf\u00e9 *x*")) == "<p>caf\u00e9 <em>x</em></p>\n"
    # The result's str is built from the UTF-8 itself: every character width, alone and mixed,
    # at the start, middle and end of long ASCII runs.
    for word in ["plain", "caf\u00e9", "\u00ff", "\u2192", "\U0001F600", "a\u00e9\u2192\U0001F600z"]:
        line = " ".join([word, "x" * 37, word, "y" * 9, word])
        assert md(f"{line}\n\n{line}\n") == f"<p>{line}</p>\n<p>{line}</p>\n"
    # The limits reach the parse.
    assert md("> > a\n", max_block_depth=1) == "<blockquote>\n<p>&gt; a</p>\n</blockquote>\n"
    assert md("[a](b(c)d)\n", max_link_paren_depth=0) == "<p>[a](b(c)d)</p>\n"
    assert md("[a](<b c>) [d]() [x]{}\n") == '<p><a href="b%20c">a</a> <a href="">d</a> [x]{}</p>\n'
    assert md("| a |\n|---|\n| 1 |\n:\n") == ("<table>\n<thead>\n<tr><th>a</th></tr>\n</thead>\n<tbody>\n"
                                           "<tr><td>1</td></tr>\n<tr><td>:</td></tr>\n</tbody>\n</table>\n")

def test_a_large_str_keeps_no_utf8_copy():
    for word in ["caf\u00e9", "\u2192", "\U0001F600"]:
        rest = "y" * (4 << 20)
        text = f"{word} *x* {rest}\n"
        size = sys.getsizeof(text)
        assert m.md2vedavi(text)[0] == f"<p>{word} <em>x</em> {rest}</p>\n"
        assert sys.getsizeof(text) == size

@pytest.mark.parametrize("alphabet", [
    "ab \u0080\u00e9\u00ff",
    "ab \u00e9\u0100\u07ff\u0800\u4e2d\u7fff\u8000\uac00\ufffd",
    "ab \u00e9\u07ff\u0800\uac00\U0001f600\U0010fffd",
])
def test_a_large_str_of_every_width_reads_as_its_utf8(alphabet):
    # Encoded a block at a time: characters of every UTF-8 length, at every offset of a block.
    rng = __import__("random").Random(5)
    pattern = "".join(rng.choices(alphabet, k=997))
    text = "a" + pattern * ((4 << 20) // len(pattern) + 1) + "a"
    assert m.md2vedavi(text + "\n")[0] == f"<p>{text}</p>\n"
    with pytest.raises(UnicodeEncodeError) as caught:
        m.md2vedavi(text + "\ud800")
    assert caught.value.start == len(text) and "surrogates not allowed" in str(caught.value)

@pytest.mark.parametrize("char", ["\u00e9", "\u2192", "\U0001F600"])
@pytest.mark.parametrize("where", [0.5, 1.0])
def test_html_ascii_up_to_a_late_piece_reads_whole(char, where):
    # ASCII HTML is copied into its str as it is tested; the pieces before the first that is not
    # (those past the room a thread keeps are gone by then) come back from that copy.
    count = 400_000
    at = min(int(count * where), count - 1)
    words = [f"w{i}" for i in range(count)]
    words[at] += char
    assert md("\n\n".join(words)) == "".join(f"<p>{w}</p>\n" for w in words)

def test_a_large_document_reads_the_same_through_its_whole_call():
    # Over 4 MB of non-ASCII source in many paragraphs: the tree points into the source's UTF-8
    # until the HTML is written, and the HTML pieces beyond those a thread keeps go one by one as
    # the output str takes them.
    paragraphs = [f"caf\u00e9 {i}\nnext *{i}*\n\n" for i in range(200_000)]
    htmls = [f"<p>caf\u00e9 {i}\nnext <em>{i}</em></p>\n" for i in range(200_000)]
    text, html = "".join(paragraphs), "".join(htmls)
    assert len(text.encode()) > 4 << 20 and len(html) > 6 << 20
    assert md(text) == html
    # A smaller call after it, then one as large again.
    assert md("".join(paragraphs[:150_000])) == "".join(htmls[:150_000])
    assert md(text) == html
    # Without callbacks a large document is written block by block as it is finished; with them
    # (even none) from the whole tree. Footnotes and inline notes come out the same either way.
    notes = ("x[^a] caf\u00e9^[note *{i}*]\n\n- item {i}^[in a list]\n\n> [^b]\n\n"
             "[^a]: a {i}\n\n[^b]: b\n\n| c | d |\n|---|---|\n| {i} | ^[cell] |\n\n")
    text = "".join(notes.format(i=i) for i in range(40_000))
    assert len(text.encode()) > 4 << 20
    assert m.md2vedavi(text) == m.md2vedavi(text, callbacks={})

def test_successive_calls_show_only_their_own_html():
    # The HTML is written in pieces a thread keeps between calls: a document of many pieces, one of
    # a single piece and an empty one, in turn, on two threads.
    big = "".join(f"p{i}\n\n" for i in range(60_000))
    big_html = "".join(f"<p>p{i}</p>\n" for i in range(60_000))
    calls = [(big, big_html), ("x\n", "<p>x</p>\n"), ("", ""), (big, big_html), ("y\n", "<p>y</p>\n")]
    for text, html in calls:
        assert md(text) == html
    assert in_thread(lambda: [md(text) for text, _ in calls]) == [html for _, html in calls]

@pytest.mark.parametrize(("args", "kw", "error", "message"), [
    (("x", "on"), {}, TypeError, "md2vedavi() takes 1 positional arguments but 2 were given"),
    *[((text,), {}, UnicodeEncodeError, None) for text in ["\ud800", "caf\u00e9 \udfff", "\u2192\udc80", "\U0001F600\ud800"]],
    ((), {"bare_autolinks": 1}, TypeError, "argument 'bare_autolinks': 'int' object is not an instance of 'bool'"),
    ((), {"max_block_depth": -1}, OverflowError, None),
    ((), {"math": "bad", "callbacks": []}, TypeError, "argument 'callbacks': 'list' object is not an instance of 'dict'"),
    ((), {"math": "Brackets"}, ValueError, "math must be 'off', 'on', 'brackets', or 'dollars'"),
    ((), {"callbacks": lambda n, h: None}, TypeError, "argument 'callbacks': 'function' object is not an instance of 'dict'"),
    ((), {"callbacks": {"text": lambda n, h: 5}}, TypeError, "'int' object is not an instance of 'str'"),
    ((), {"callbacks": {"text": 3}}, TypeError, "'int' object is not callable"),
    ((), {"callbacks": {"emph": 3, "table": 3, "note": None}}, TypeError, "'int' object is not callable"),
])
def test_argument_errors(args, kw, error, message):
    with pytest.raises(error) as caught:
        m.md2vedavi(*(args or ("t *e*\n",)), **kw)
    assert type(caught.value) is error and message in (None, str(caught.value))

def record(src, kinds, **kw):
    seen = []
    html = md(src, callbacks={k: (lambda k: lambda node, html: seen.append((k, node, html)))(k) for k in kinds}, **kw)
    return html, seen

def test_callbacks_run_in_post_order_with_footnotes_last():
    kinds = ["paragraph", "heading", "text", "emph", "footnote_ref", "block_quote"]
    _, seen = record("# A *b*\n\nsee[^n]\n\n[^n]: foot\n\n> q\n", kinds)
    assert [k for k, _, _ in seen] == ["text", "text", "emph", "heading", "text", "footnote_ref", "paragraph",
                                       "text", "paragraph", "block_quote", "text", "paragraph"]
    src = "# A *b*\n\nsee[^n] ^[note]\n\n[^n]: foot\n"
    assert m.md2vedavi(src, callbacks={}) == m.md2vedavi(src) == m.md2vedavi(src, callbacks=None)
    assert md("x\n", callbacks=type("D", (dict,), {})(text=lambda n, h: "Y")) == "<p>Y</p>\n"

def test_replacement_and_reentrance():
    seen = []
    assert md("a *b*\n\nkeep\n", callbacks={"paragraph": lambda n, h: seen.append((n, h)) or "X"}) == "XX"
    assert seen[0] == ({"type": "paragraph", "attrs": {"id": None, "classes": [], "pairs": []}, "children": 2},
                       "<p>a <em>b</em></p>\n")
    assert md("a *b* c\n", callbacks={"emph": lambda n, h: ""}) == "<p>a  c</p>\n"
    got = []
    md("*a **b***\n", callbacks={"strong": lambda n, h: "S", "emph": lambda n, h: got.append(h)})
    assert got == ["<em>a S</em>"]  # an inner replacement reaches the outer default
    assert md("t\n", callbacks={"text": lambda n, h: n.update(text="changed")}) == "<p>t</p>\n"  # no effect
    # A block's default HTML holds its own footnote section.
    _, seen = record("a[^x]\n\n[^x]: body\n", ["paragraph"])
    assert seen[0][2].startswith("<p>a<sup id=\"fnref-x\">")
    assert seen[0][2].endswith("<li id=\"fn-x\">\n<a href=\"#fnref-x\" class=\"footnote-backref\" "
                               "role=\"doc-backlink\">\u21a9</a>\n</li>\n</ol>\n</section>\n")
    # Callbacks may call in, and change the callbacks.
    assert md("t\n", callbacks={"text": lambda n, h: m.md2vedavi("*" + n["text"] + "*")[0].strip()}) == \
        "<p><p><em>t</em></p></p>\n"
    seen, callbacks = [], {}
    def para(node, html):
        seen.append("paragraph")
        callbacks.pop("text", None)
    callbacks.update(paragraph=para, text=lambda n, h: seen.append("text"))
    md("a\n\nb\n", callbacks=callbacks)
    assert seen == ["text", "paragraph", "paragraph"]
    class Strict(dict):  # keys that are no kind name are never looked up
        def __missing__(self, key):
            raise AssertionError(key)
    assert md("a\n", callbacks=Strict({"bogus": 1, 7: 2})) == "<p>a</p>\n"

NO_ATTRS = {"id": None, "classes": [], "pairs": []}
NODES = [
    ("# a *b*\n", "heading", {}, {"type": "heading", "level": 1, "attrs": NO_ATTRS, "children": 2}),
    ("[a](u)\n", "link", {}, {"type": "link", "attrs": NO_ATTRS, "children": 1, "url": "u", "title": None}),
    ("![a *b*](u \"t\")\n", "image", {}, {"type": "image", "attrs": NO_ATTRS, "alt": "a b", "url": "u", "title": "t",
                                         "form": "inline"}),
    ("![a[^f] `r`{=html}b](u)\n\n[^f]: F\n", "image", {}, {"type": "image", "attrs": NO_ATTRS, "alt": "af b",
                                                           "url": "u", "title": None, "form": "inline"}),
    ("a[^x]\n\n[^x]: b\n", "footnote_ref", {}, {"type": "footnote_ref", "label": "x"}),
    ("a^[b *c*]\n", "note", {}, {"type": "note", "children": 2}),
    ("```\ncode\n```\n", "code_block", {}, {"type": "code_block", "attrs": NO_ATTRS, "info": "", "lang": None,
                                           "text": "code\n", "open": "<pre><code>", "close": "</code></pre>\n"}),
    ("| a | b |\n|:--|--:|\n| 1 | 2 |\n: The *cap* {#t}\n", "table", {}, {
        "type": "table", "attrs": {"id": "t", "classes": [], "pairs": []}, "aligns": ["left", "right"],
        "head_cells": 2, "head_rows": 1, "rows": 1, "foot_rows": 0, "caption": "The cap"}),
    ("{{^inv}}\n", "template_token", {"templates": JINJA}, {
        "type": "template_token", "syntax": "jinja", "source": "{{^inv}}", "body": "^inv", "form": "block",
        "kind": "open", "name": "inv", "inverted": True, "context": "block"}),
    ("<a@b.org>\n", "autolink", {}, {"type": "autolink", "url": "mailto:a@b.org", "text": "a@b.org", "email": True}),
    ("a \\(x\\) b\n", "math_inline", {}, {"type": "math_inline", "attrs": NO_ATTRS, "display": False, "tex": "x"}),
    ("1. a\n2. b\n", "list", {}, {"type": "list", "attrs": NO_ATTRS, "ordered": True, "start": 1, "tight": True, "items": 2}),
]

@pytest.mark.parametrize(("src", "kind", "kw", "expected"), NODES, ids=[case[1] for case in NODES])
def test_node_entries_in_order(src, kind, kw, expected):
    _, seen = record(src, [kind], **kw)
    assert [node for _, node, _ in seen] == [expected]
    assert list(seen[0][1]) == list(expected)

def test_template_tokens_and_figures():
    def tokens(src, result=None):
        seen = []
        html = md(src, templates=JINJA, callbacks={"template_token": lambda n, h: seen.append((n, h)) or result})
        return html, seen
    html, seen = tokens("| a | b | c |\n|---|---|---|\n{{#rows}}\n| 1 | 2 | 3 |\n{{/rows}}\n", "R")
    assert [(n["context"], n["ncols"], list(n)[-2:]) for n, _ in seen] == [("row", 3, ["context", "ncols"])] * 2
    assert seen[0][1] == '<template data-op="jinja:section">rows</template>'
    assert "<tbody>\nR\n<tr><td>1</td><td>2</td><td>3</td></tr>\nR\n</tbody>" in html
    src = "<table>\n{{#rows}}\n<tr><td>{{ v }}</td></tr>\n{{/rows}}\n</table>\n"
    html, seen = tokens(src)
    assert [(n["source"], n["context"], "ncols" in n) for n, _ in seen] == [
        ("{{#rows}}", "row", False), ("{{ v }}", "inline", False), ("{{/rows}}", "row", False)]
    assert html == md(src, templates=JINJA)
    assert tokens(src, "T")[0] == "<table>\nT\n<tr><td>T</td></tr>\nT\n</table>\n"
    _, seen = tokens("{{ b }}\n\ntext {{ i }}\n")
    assert [(n["form"], n["context"]) for n, _ in seen] == [("block", "block"), ("inline", "inline")]
    assert seen[0][1] == '<template data-op="jinja:value">b</template>\n'
    seen = []
    html = md('![a *b*](u.png "t")\n', implicit_figures=True,
              callbacks={"image": lambda n, h: seen.append(n) or "IMG", "figure": lambda n, h: seen.append((n, h))})
    image, (figure, default) = seen
    assert image["form"] == "figure"
    assert list(figure) == ["type", "attrs", "alt", "url", "title", "caption_html", "content_html"]
    assert (figure["url"], figure["caption_html"], figure["content_html"]) == ("u.png", "a <em>b</em>", "IMG")
    assert default == html == "<figure>\nIMG\n<figcaption>a <em>b</em></figcaption>\n</figure>\n"

# Every kind name a callback can be registered under, and a document holding each construct.
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

@pytest.mark.parametrize("figures", [False, True])
def test_callbacks_keeping_every_node_change_nothing(figures):
    seen = set()
    kw = {"templates": JINJA, "implicit_figures": figures}
    callbacks = {kind: lambda node, html: seen.add(node["type"]) for kind in KIND_NAMES}
    assert m.md2vedavi(EVERY_CONSTRUCT, callbacks=callbacks, **kw) == m.md2vedavi(EVERY_CONSTRUCT, **kw)
    assert seen == set(KIND_NAMES) - {"operation"} - (set() if figures else {"figure"})

def test_nul_reaches_the_html_as_the_replacement_character():
    # An HTML reader drops NUL from text, so the text would change on its way through the HTML.
    assert md("abc\0de") == "<p>abc\ufffdde</p>\n" and m.vedavi2md(md("abc\0de")) == "abc\ufffdde\n\n"
    every = EVERY_CONSTRUCT.replace(" ", "\0 ")  # in text, attributes, raw HTML and payloads
    assert "\0" not in m.md2vedavi(every, templates=JINJA)[0]
    assert md("x", callbacks={"text": lambda node, html: "<b>\0</b>"}) == "<p><b>\ufffd</b></p>\n"
    # The spans keep their byte offsets into the caller's text.
    assert [(n["type"], n["start"]) for n in m.inlines("\0 *b*")] == [("text", 0), ("emph", 2), ("text", 3)]

# The HTML offered to a callback does not depend on which other callbacks ran below it.
DOC = ("# T *a [b **c [d]{.x}** e]{.y}*\n\np [x ^[n1] [y ^[n2] [z[^f]]{.in}]{.mid}]{.out} *em `code` [l](/u) ~~s~~*\n\n"
       "- [q *r [s]{.t}*]{.u} ==h== ^sup^ <b>raw</b>\n\n| [a *b*]{.c} | [^f] |\n|---|---|\n\n"
       "![alt *x*](i.png)\n\n[^f]: foot [in *note*]{.v}\n")
KINDS = ["span", "emph", "strong", "link", "code", "strike", "highlight", "superscript", "text",
         "note", "footnote_ref", "html_inline", "image", "paragraph", "heading", "list", "table"]

def offered(kinds, seen):
    return {kind: (lambda node, html, kind=kind: seen.append((kind, html))) for kind in kinds}

@pytest.mark.parametrize("kind", KINDS)
def test_default_html_is_the_same_with_more_callbacks(kind):
    alone, together = [], []
    plain = m.md2vedavi(DOC, implicit_figures=True, callbacks=offered([kind], alone))
    assert plain == m.md2vedavi(DOC, implicit_figures=True, callbacks=offered(KINDS, together))
    assert alone and alone == [entry for entry in together if entry[0] == kind]

PIECES = ["[", "]{.c}", "*", "**", "`", "^[", "]", "[^f]", "x", " ", "\n", "- ", "> ", "| a |",
          "<b>", "~~", "==", "\\(x\\)", "[l](/u)", "![i](p.png)", "\n\n[^f]: y *z*\n"]

@settings(max_examples=150, deadline=None)
@given(st.lists(st.sampled_from(PIECES), max_size=40).map("".join))
def test_defaults_never_depend_on_other_callbacks(source):
    for kind in ("span", "emph", "note", "paragraph"):
        alone, together = [], []
        m.md2vedavi(source, callbacks=offered([kind], alone))
        m.md2vedavi(source, callbacks=offered(KINDS, together))
        assert alone == [entry for entry in together if entry[0] == kind]

N = 100_000

def deep_calls():
    inline_src = "*a " * N + "b" + "*" * N
    assert md(inline_src, callbacks={"text": lambda n, h: None}).count("<em>") == N
    assert md(inline_src, callbacks={"emph": lambda n, h: ""}) == "<p></p>\n"
    # Each quote is replaced before its parent's default HTML is written, so that stays small.
    seen = []
    html = md("> " * N + "x\n", max_block_depth=10**6,
              callbacks={"block_quote": lambda n, h: seen.append(h) or "", "paragraph": lambda n, h: "P"})
    assert html == "" and len(seen) == N
    assert seen[:2] == ["<blockquote>\nP</blockquote>\n", "<blockquote>\n</blockquote>\n"]
    assert md("> " * 10**6 + "x\n", max_block_depth=10**6,
              callbacks={"block_quote": lambda n, h: "", "text": lambda n, h: None}) == ""
    sizes = []
    md("[" * 300 + "x" + "]{.c}" * 300, callbacks={"span": lambda node, html: sizes.append(len(html))})
    assert sizes == [len('<span class="c">') * k + 1 + len("</span>") * k for k in range(1, 301)]
    got = m.anchors("[" * N + "x" + "]{#s}" * N)
    assert len(got) >= N - 1 and got[-1]["text"] == "x"
    return True

def test_deep_input_on_the_main_thread_and_a_python_thread_and_the_lock():
    assert deep_calls() and in_thread(deep_calls)
    src = "".join(f"# Heading {i} {{#h{i}}}\n\nPara *{i}* with [link](u{i}) and a note^[n{i}].\n\n" for i in range(2000))
    assert other_threads_run_during(lambda: m.md2vedavi(src * 20))
