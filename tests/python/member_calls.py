"""One row per member: how the thread, reference-count and memory tests call it.

A row names the member, says whether the member runs the core with the interpreter lock
released, which input it takes, and builds fresh arguments from that input (hooks and callbacks
included, so that their reference counts are checked too). Rows of members that the module does
not have yet are skipped by the tests. Adding a member is adding its row.
"""

from pathlib import Path
from typing import Callable, NamedTuple

import vedavi._native as native

SAMPLE_MD = (Path(__file__).resolve().parents[2] / "examples" / "sample.md").read_text(encoding="utf-8")
# About 4 kB touching most constructs, so that a leak of the input's size per call shows.
RICH_MD = SAMPLE_MD + "".join(
    f"## Part {i} {{#sec-p{i}}}\n\n> quote *em* **strong** ~~s~~ `code` [link](/u \"t\") "
    f"[x]{{.c}} <span>raw</span> ^sup^ ==hl== [@sec-p0] https://example.com/{i} &copy;\n\n"
    f"- item\n  1. nested[^n{i}]\n\n| a | b |\n|---|--:|\n| {i} | 2 |\n\n"
    f"```py {{.x}}\ncode {i}\n```\n\n::: note\nbody \\(x^{i}\\)\n:::\n\n"
    f"[^n{i}]: a note\n\n![fig](i.png){{#fig-{i}}}\n\nTerm\n: definition\n\n"
    for i in range(12))
JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))]
WIKI = "== Head ==\n'''bold''' ''it'' [[Link|text]] {{tmpl|a=1}}\n* item\n# one\n{|\n| a || b\n|}\n"


def keep(node, html):
    """A callback that keeps every node (and reads both arguments)."""
    return None if node["type"] else html


def replace(node, html):
    return "<b>" + html + "</b>"


def hook(*args):
    return None


class Row(NamedTuple):
    label: str
    member: str
    releases_gil: bool
    kind: str  # "md", "vedavi" (VEDAVI HTML made from md) or "wiki"
    make_args: Callable[[str], tuple]  # text -> (args, kwargs)


def export_args(hooked):
    hooks = (hook, hook, hook) if hooked else (None, None, None)
    return lambda html: ((html, {"thm": ("Theorem", "Theorems")}, "decimal", "spans", True,
                          "lenient", "p-", "salt", *hooks, True, False), {})


ROWS = [
    Row("md2vedavi", "md2vedavi", True, "md",
        lambda t: ((t,), {"math": "dollars", "templates": JINJA, "max_block_depth": 64})),
    Row("md2vedavi callbacks", "md2vedavi", True, "md",
        lambda t: ((t,), {"callbacks": {"heading": keep, "emph": replace, "list": keep}})),
    Row("frontmatter_meta", "frontmatter_meta", False, "md", lambda t: ((t,), {})),
    Row("vedavi2md", "vedavi2md", True, "vedavi", lambda t: ((t,), {})),
    Row("wrap_md", "wrap_md", True, "md", lambda t: ((t,), {"width": 60})),
    Row("md_chunks", "md_chunks", True, "md", lambda t: ((t, 80), {})),
    Row("md_chunks_greedy", "md_chunks_greedy", True, "md", lambda t: ((t, 80, 100), {})),
    Row("md_chunks_structural", "md_chunks_structural", True, "md", lambda t: ((t, 80), {})),
    Row("md_chunks_structural_batch", "md_chunks_structural_batch", True, "md",
        lambda t: (([t, t[: len(t) // 2], ""], 80), {})),
    Row("wiki2vedavi", "wiki2vedavi", True, "wiki", lambda t: ((t,), {})),
    Row("blocks", "blocks", True, "md", lambda t: ((t,), {"templates": JINJA, "nested": True})),
    Row("inlines", "inlines", True, "md", lambda t: ((t,), {"templates": JINJA})),
    Row("source_nodes", "source_nodes", True, "md", lambda t: ((t,), {"implicit_figures": True})),
    Row("anchors", "anchors", False, "md", lambda t: ((t,), {"math": "on", "templates": JINJA})),
    Row("ref_tokens", "ref_tokens", False, "md", lambda t: (("text bare",), {})),
    Row("ref_variant", "ref_variant", False, "md", lambda t: (({"leaf", "bare"},), {})),
    Row("target_kind", "target_kind", False, "md", lambda t: (("figcaption",), {})),
    Row("trailing_attr_span", "trailing_attr_span", False, "md", lambda t: (("# Head {#h .c}",), {})),
    Row("group_plan", "group_plan", False, "md", lambda t: ((["sec", "sec", "fig"],), {})),
    Row("decode_raw", "decode_raw", False, "md", lambda t: (("PGI+aGk8L2I+", "base64"), {})),
    Row("math_js", "math_js", False, "md", lambda t: (("render", "{}"), {})),
    Row("dialect_css", "dialect_css", False, "md", lambda t: ((), {"preview": True})),
    Row("highlight_md", "highlight_md", False, "md", lambda t: ((t,), {"class_prefix": "x-"})),
    Row("export_html", "export_html", True, "vedavi", export_args(False)),
    Row("export_html hooks", "export_html", False, "vedavi", export_args(True)),
]


def text_of(kind, repeat=1):
    """The input of a row's kind, `repeat` times the rich sample."""
    if kind == "wiki":
        return WIKI * (40 * repeat)
    md = RICH_MD * repeat
    return native.md2vedavi(md)[0] if kind == "vedavi" else md


def present(rows):
    """pytest params of the rows whose member exists, the others marked skipped."""
    import pytest

    return [pytest.param(row, id=row.label,
                         marks=() if hasattr(native, row.member) else
                         pytest.mark.skip(reason=f"{row.member} is not built yet"))
            for row in rows]


def call(row, args):
    positional, keywords = args
    return getattr(native, row.member)(*positional, **keywords)
