"""blocks, inlines, source_nodes, anchors, highlight_md: dict keys in order, ranges, parse options, properties."""

import gc
import html
import re

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native
from conftest import JINJA, JINJA_BLOCK, in_thread, other_threads_run_during

SPAN_KEYS = ["type", "start", "end", "depth"]
TEMPLATES = [("m", "{{", "}}", None, "auto", None)]
# Pairs of keys of which a block-span dict holds both or neither, the second right after the first.
PAIRED = [("info", "info_has_attrs"), ("panel", "fence_end"), ("syntax", "form"), ("kind", "inverted")]
BLOCK_KINDS = {"attr_def", "link_ref", "paragraph", "heading", "panel_title", "block_quote", "list", "footnote_def",
               "definition_list", "div", "panel", "code_block", "math_block", "thematic_break", "html_block",
               "html_container", "table", "figure"}

def check_paired_keys(span):
    keys = list(span)
    assert keys[:4] == SPAN_KEYS
    for first, second in PAIRED:
        assert (first in keys) == (second in keys), span
        assert first not in keys or keys.index(first) + 1 == keys.index(second), span

def test_block_spans():
    shape = lambda spans: [(s["type"], s["start"], s["end"], s["depth"]) for s in spans]  # noqa: E731
    source = "# T\n\n- a\n- b\n\n> q\n> > r\n"
    assert shape(native.blocks(source)) == [("heading", 0, 1, 0), ("list", 2, 4, 0), ("block_quote", 5, 7, 0)]
    assert shape(native.blocks(source, nested=True)) == [
        ("heading", 0, 1, 0), ("list", 2, 4, 0), ("paragraph", 2, 3, 1), ("paragraph", 3, 4, 1),
        ("block_quote", 5, 7, 0), ("paragraph", 5, 6, 1), ("block_quote", 6, 7, 1), ("paragraph", 6, 7, 2)]
    assert native.blocks("") == native.inlines("") == native.source_nodes("") == []
    assert [(s["start"], s["end"]) for s in native.blocks("a\r\nb\r\n\r\nc\r\n")] == [(0, 2), (3, 4)]
    (heading,) = native.blocks("# H {#h}\n")
    assert heading == {"type": "heading", "start": 0, "end": 1, "depth": 0, "attrs": {"id": "h", "classes": [],
                       "pairs": []}, "text": "H", "level": 1, "id": "h"}
    (code,) = native.blocks("```\nx\n```\n")
    assert list(code) == SPAN_KEYS + ["attrs", "info", "info_has_attrs", "fence_start", "text"]
    assert (code["info"], code["info_has_attrs"]) == ("", False)
    (code,) = native.blocks("```py {.x}\ncode\n```\n")
    assert (code["info"], code["info_has_attrs"], code["lang"]) == ("py {.x}", True, "py")
    (figure,) = native.blocks("![c](u \"t\")\n", implicit_figures=True)
    assert list(figure)[4:] == ["attrs", "caption", "url", "title"]
    (panel,) = native.blocks("::: {.callout-note}\n## Note\nx\n")
    assert panel["panel"] == {"data-panel": "", "data-callout": "note", "data-disclosure": "fixed"}
    assert (panel["type"], panel["fence_end"], panel["title_line"]) == ("panel", None, 1)
    got = [(s["kind"], s["inverted"], s["form"], s["name"])
           for s in native.blocks("{{^inv}}\n{{#sec}}\n{{ v }}\n{{/sec}}\n", templates=JINJA_BLOCK)]
    assert got == [("open", True, "block", "inv"), ("open", False, "block", "sec"),
                   ("var", False, "block", "v"), ("close", False, "block", "sec")]

@pytest.mark.parametrize(("src", "kw"), [
    ("```py {.x}\nx\n```\n", {}), ("::: {.callout-note}\n## Note\nx\n:::\n", {}), ("::: {.details}\nx\n", {}),
    ("{{^inv}}\n{{ v }}\n{{/inv}}\n", {"templates": JINJA_BLOCK}),
    ("# H {#h}\n\n| a |\n|---|\n| 1 |\n: Cap {#t}\n\n![c](u \"t\")\n", {"implicit_figures": True}),
])
def test_paired_keys_travel_together(src, kw):
    spans = native.blocks(src, nested=True, **kw)
    assert spans and all(check_paired_keys(span) is None for span in spans)

LINK_KEYS = "form url title url_start url_end"

@pytest.mark.parametrize(("source", "kind", "keys"), [
    ("[a](u)", "link", LINK_KEYS), ("![a](u 't')", "image", LINK_KEYS + " alt"), ("`c`", "code", "text"),
    ("$$x$$", "math_inline", "delimiter display tex"), ("`x`{=html}", "raw_inline", "format text"),
    ("*a*{.c}", "attrs", "id"), ("[@a; -@b]", "xref", "refs tokens"),
    ("x {{ t }}", "template_token", "form source syntax body kind name inverted"),
    ("x[^1]\n\n[^1]: n", "footnote_ref", "label"), ("<http://a.b>", "autolink", "url"), ("*a*", "emph", ""),
])
def test_inline_keys_in_order(source, kind, keys):
    [node] = [n for n in native.inlines(source, templates=TEMPLATES) if n["type"] == kind]
    assert list(node) == SPAN_KEYS + keys.split()

def test_inline_values_and_options():
    [link, _] = native.inlines("[a][r]\n\n[r]: /u")
    assert [link[k] for k in LINK_KEYS.split()] == ["reference", "/u", None, None, None]
    [xref] = native.inlines("[see -@a]")
    assert xref["refs"] == [{"target": "a", "bare": True, "prefix": "see"}]
    assert [n["display"] for n in native.inlines("$a$ $$b$$", math="dollars") if "display" in n] == [False, True]
    [_, token] = native.inlines("x {{^t}}", templates=JINJA)
    assert (token["kind"], token["inverted"], token["source"]) == ("open", True, "{{^t}}")
    assert [n["type"] for n in native.inlines("www.a.b", bare_autolinks=False)] == ["text"]
    assert native.source_nodes("![a](u)", implicit_figures=True)[0]["type"] == "figure"
    source = "# é\r\n\r\n> *b*\r\n"  # offsets point into the caller's text, CRLF included
    got = [(n["type"], source.encode()[n["start"]:n["end"]]) for n in native.source_nodes(source)]
    assert got == [("heading", b"# \xc3\xa9\r\n"), ("text", b" \xc3\xa9"), ("block_quote", b"> *b*\r\n"),
                   ("paragraph", b"> *b*\r\n"), ("emph", b"*b*"), ("text", b"b")]

def test_anchors():
    got = native.anchors("# A *b* {#h}\n\nx[^f]\n\n[^f]: in\n    {: #fp}\n")
    assert got == [{"id": "h", "kind": "block", "text": "A b"}, {"id": "fp", "kind": "block", "text": "in"}]
    assert all(list(d) == ["id", "kind", "text"] for d in got)
    assert native.anchors("# {{ v }} {#h}\n", templates=JINJA) == [{"id": "h", "kind": "block", "text": "v"}]
    assert native.anchors("# \\(x\\) {#h}\n", math="off") == [{"id": "h", "kind": "block", "text": "(x)"}]

# Constructs that carry an id; those in image alt text and raw HTML, where anchors and the exporter
# are known to differ, are left out.
ID_PIECES = ["# H {#a}", "para\n{: #b}", "x [s]{#c} y", "E \\(m\\){#d}", "x[^f]", "[^f]: [t]{#e}", "[^g]: [u]{#a}",
             "[^f]: y[^g]", "Term {#b}\n: def", "| x |\n|---|\n| [y]{#c} |\n: Cap {#d}", "`code`{#e}", "::: {#a}\nq\n:::",
             "- [i]{#b}", "::: {.callout-note}\n## T {#d}\nbody\n:::", "> \\(q\\){#e}", "^[note [n]{#c}]"]

@settings(max_examples=150, deadline=None)
@given(st.lists(st.sampled_from(ID_PIECES), max_size=8).map("\n\n".join))
def test_anchors_are_what_a_strict_export_resolves(doc):
    listed = {anchor["id"] for anchor in native.anchors(doc)}
    for target in "abcde":
        vedavi = native.md2vedavi(f"[@{target}]{{ref=\"text bare\"}}\n\n{doc}")[0]
        try:
            native.export_html(vedavi, reftypes=None, number_headings=None, hl=None, toc=False, refs="strict",
                               id_prefix="", fn_salt="", hl_lang=None, code_wrap=None, hl_fn=None, auto_ids=False,
                               gh_ids=False)
            resolved = True
        except ValueError:
            resolved = False
        assert resolved == (target in listed), (doc, target)

MATH_MESSAGE = "math must be 'off', 'on', 'brackets', or 'dollars'"
ANY_TEMPLATE = ("m", "{{", "}}", None, "auto", None)

@pytest.mark.parametrize(("kw", "error", "message"), [
    *[({"math": math}, ValueError, MATH_MESSAGE) for math in ["Brackets", " brackets", ""]],
    ({"math": 2}, TypeError, "argument 'math': 'int' object is not an instance of 'str'"),
    ({"nested": 1}, TypeError, "argument 'nested': 'int' object is not an instance of 'bool'"),
    ({"templates": "{{"}, TypeError, "argument 'templates': Can't extract `str` to `Vec`"),
    ({"templates": [list(ANY_TEMPLATE)]}, TypeError, "argument 'templates': 'list' object is not an instance of 'tuple'"),
    ({"templates": [("", "{{", "}}", None, "auto", None)]}, ValueError, "template syntax must not be empty"),
    ({"templates": [("", "{{", "}}", None, "bad", None)]}, ValueError, "template syntax must not be empty"),
    ({"templates": [("m", "", "}}", None, "auto", None)]}, ValueError, "template delimiters must not be empty"),
    ({"templates": [("m", "{{", "", None, "auto", None)]}, ValueError, "template delimiters must not be empty"),
    ({"templates": [("a", "{{", "}}", None, "auto", None), ("b", "{{", "]]", None, "auto", None)]}, ValueError,
     "each template opening delimiter must be unique"),
    ({"templates": [("m", "{{", "}}", ("(", "("), "auto", None)]}, ValueError,
     "template balance must be a pair of different single characters"),
    ({"templates": [("m", "{{", "}}", ("ab", ")"), "auto", None)]}, ValueError,
     "template balance must be a pair of different single characters"),
    ({"templates": [("m", "{{", "}}", None, "Auto", None)]}, ValueError, "template form must be 'auto', 'inline', or 'block'"),
    ({"templates": [ANY_TEMPLATE + (None,)]}, ValueError, "expected tuple of length 6, but got tuple of length 7"),
    ({"templates": [ANY_TEMPLATE[:5]]}, ValueError, "expected tuple of length 6, but got tuple of length 5"),
    # Type errors come before a bad math name, which comes before a template problem.
    ({"math": "nope", "templates": [("", "{{", "}}", None, "auto", None)], "nested": "yes"}, TypeError,
     "argument 'nested': 'str' object is not an instance of 'bool'"),
    ({"math": "nope", "templates": [("", "{{", "}}", None, "auto", None)]}, ValueError, MATH_MESSAGE),
])
def test_parse_option_errors(kw, error, message):
    with pytest.raises(error) as caught:
        native.blocks("x", **kw)
    assert type(caught.value) is error and str(caught.value) == message

@pytest.mark.parametrize("function", [native.blocks, native.inlines, native.source_nodes, native.anchors])
def test_options_are_keyword_only_and_checked(function):
    for math in ["off", "on", "brackets", "dollars"]:
        assert function("x", math=math) == function("x")
    assert function("{{x}}\n", templates=None) == function("{{x}}\n", templates=[])
    for call, error in [(lambda: function("a", "brackets"), TypeError), (lambda: function("a", math="none"), ValueError),
                        (lambda: function(None), TypeError), (lambda: function(), TypeError)]:
        with pytest.raises(error):
            call()
    assert native.blocks("x", templates=[("a", "{{", "}}", None, "auto", None), ("a", "{%", "}}", None, "inline", None)])
    assert native.blocks("x", templates=[("m", "{{", "}}", ("«", "»"), "block", ("", "", ""))])

def test_deep_input_and_threads():
    out = in_thread(lambda: native.blocks(">" * 20000 + " x", nested=True))
    assert out[0]["type"] == "block_quote"
    assert other_threads_run_during(lambda: native.blocks("- a\n" * 200_000, nested=True))

def containers(value):
    stack, found = [value], []
    while stack:
        item = stack.pop()
        if isinstance(item, (dict, list)):
            found.append(item)
            stack.extend(item.values() if isinstance(item, dict) else item)
    return found

@pytest.mark.parametrize("function", [native.blocks, native.inlines, native.source_nodes])
def test_collector_state_kept_and_every_container_fresh(function):
    source = "# A {.c}\n\n[x]{#i} [@a; @b] [y](/u)\n\n# B {.c}\n\n::: panel {k=v}\n:::\n"
    for enabled in (True, False):
        gc.enable() if enabled else gc.disable()
        try:
            first, second = function(source), function(source)
            assert gc.isenabled() == enabled
        finally:
            gc.enable()
        assert first == second
        found = containers(first) + containers(second)
        assert len({id(c) for c in found}) == len(found)

FRAGMENTS = ["a", "é", "€ ", "𝄞", " ", "\u00a0", "\u3000", "\t", "*", "**", "_", "~~", "==", "`", "[", "]", "(",
             ")", "![", "^[", "<", ">", "{.c}", "{#i}", "$$", "\\(", "\\)", "[@x]", "[^1]", "www.a.b", "<!--",
             "-->", "|", "&amp;", "\\", "{{ t }}", "<b>", "\n", "\n", "\n\n", "> ", "- ", "1. ", "# ", "```\n",
             "---\n", ": ", "[r]: /u\n", "[^1]: n\n", "{: .k}\n", "<div>\n", "\0"]
DOCS = st.lists(st.sampled_from(FRAGMENTS), max_size=40).map("".join)
LINE_ENDS = st.sampled_from(["\n", "\r\n", "\r"])

def is_block(node):
    return node["type"] in BLOCK_KINDS or (node["type"] == "template_token" and node["form"] == "block")

def check_ranges(source, nodes):
    data = source.encode()
    for node in nodes:
        assert 0 <= node["start"] <= node["end"] <= len(data)
        for offset in (node["start"], node["end"]):
            assert offset == len(data) or (data[offset] & 0xC0) != 0x80, (source, node)
    assert [(n["start"], -n["end"]) for n in nodes] == sorted((n["start"], -n["end"]) for n in nodes)

@settings(max_examples=200)
@given(DOCS, LINE_ENDS)
def test_ranges_inside_the_source_on_character_boundaries_and_sorted(doc, end):
    source = doc.replace("\n", end)
    check_ranges(source, native.inlines(source, templates=TEMPLATES))
    check_ranges(source, native.source_nodes(source, templates=TEMPLATES))

@given(DOCS)
def test_block_keys_come_in_pairs(doc):
    for node in native.source_nodes(doc, templates=TEMPLATES):
        assert list(node)[:4] == SPAN_KEYS and (not is_block(node) or check_paired_keys(node) is None)

@given(DOCS)
def test_blocks_before_inlines_of_the_same_range(doc):
    nodes = native.source_nodes(doc, templates=TEMPLATES)
    for before, after in zip(nodes, nodes[1:]):
        if (before["start"], before["end"]) == (after["start"], after["end"]):
            assert is_block(before) or not is_block(after), (before, after)
    assert [n for n in nodes if not is_block(n)] == native.inlines(doc, templates=TEMPLATES)  # in the same order

@settings(max_examples=200)
@given(DOCS, LINE_ENDS)
def test_highlighting_is_well_formed_with_the_sources_text(doc, end):
    out, depth = native.highlight_md(doc.replace("\n", end)), 0
    for tag in re.findall(r"<[^>]*>", out):  # the source's own "<" comes escaped
        assert re.fullmatch(r'<span class="[^"<>]+">|</span>', tag), tag
        depth += 1 if tag[1] != "/" else -1
        assert depth >= 0
    # A NUL is written as U+FFFD, which an HTML reader keeps where it would drop a NUL.
    assert depth == 0 and html.unescape(re.sub(r"<[^>]*>", "", out)) == doc.replace("\0", "\ufffd")
