"""Helpers of the Python tests: the fault marker, template syntaxes, one row per member, threads."""

import sys
import threading
import time
from pathlib import Path
from typing import Callable, NamedTuple

import pytest
from hypothesis import settings

import vedavi._native as native

# CI derives the examples of every property the same way, so that a red run names the same input.
settings.register_profile("ci", derandomize=True, database=None)

# A source holding this marker makes a build with fault injection fail inside the core.
FAULT_MARKER = "\x01vedavi-fault\x01"
GUARD_MESSAGE = "internal error in vedavi while {} (this is a bug, please report it)"
JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))]
JINJA_BLOCK = [("jinja", "{{", "}}", None, "block", ("#", "^", "/"))]

def fault_injection_enabled():
    try:
        native.math_js(None, FAULT_MARKER)
    except BaseException as error:  # noqa: BLE001 - PanicException derives from BaseException
        return type(error).__name__ == "PanicException"
    return False

needs_fault_injection = pytest.mark.skipif(not fault_injection_enabled(), reason="built without fault injection")

def md(src, **kw):
    return native.md2vedavi(src, **kw)[0]

def in_thread(call):
    """call() on a fresh Python thread (whose stack is smaller than the main one's)."""
    out = []
    thread = threading.Thread(target=lambda: out.append(call()))
    thread.start()
    thread.join()
    return out[0]

def other_threads_run_during(call):
    done, ticks = threading.Event(), []
    def counter():
        while not done.is_set():
            ticks.append(1)
            time.sleep(0)
    thread, old = threading.Thread(target=counter), sys.getswitchinterval()
    sys.setswitchinterval(10.0)  # holding the lock, the call would starve the counter
    try:
        thread.start()
        before = len(ticks)
        call()
        during = len(ticks) - before
    finally:
        done.set()
        sys.setswitchinterval(old)
        thread.join()
    return during > 0

# ---- one row per member: how the thread, reference-count and memory tests call it ----

SAMPLE_MD = (Path(__file__).resolve().parents[2] / "examples" / "sample.md").read_text(encoding="utf-8")
# About 4 kB touching most constructs, so that a leak of the input's size per call shows.
RICH_MD = SAMPLE_MD + "".join(
    f"## Part {i} {{#sec-p{i}}}\n\n> quote *em* **strong** ~~s~~ `code` [link](/u \"t\") "
    f"[x]{{.c}} <span>raw</span> ^sup^ ==hl== [@sec-p0] https://example.com/{i} &copy;\n\n"
    f"- item\n  1. nested[^n{i}]\n\n| a | b |\n|---|--:|\n| {i} | 2 |\n\n"
    f"```py {{.x}}\ncode {i}\n```\n\n::: note\nbody \\(x^{i}\\)\n:::\n\n"
    f"[^n{i}]: a note\n\n![fig](i.png){{#fig-{i}}}\n\nTerm\n: definition\n\n"
    for i in range(12))
WIKI = "== Head ==\n'''bold''' ''it'' [[Link|text]] {{tmpl|a=1}}\n* item\n# one\n{|\n| a || b\n|}\n"

def keep(node, html):
    return None

class Row(NamedTuple):
    label: str  # the member's name, then what the row is about
    releases_gil: bool
    kind: str  # "md", "vedavi" (VEDAVI made from md) or "wiki"
    make_args: Callable[[str], tuple]  # text -> (args, kwargs)

def export_args(*hooks):
    hooks = hooks or (None, None, None)
    return lambda html: ((html, {"thm": ("Theorem", "Theorems")}, "decimal", "spans", True, "lenient", "p-",
                          "salt", *hooks, True, False), {})

ROWS = [
    Row("md2vedavi", True, "md", lambda t: ((t,), {"math": "dollars", "templates": JINJA, "max_block_depth": 64})),
    Row("md2vedavi callbacks", True, "md",
        lambda t: ((t,), {"callbacks": {"heading": keep, "emph": lambda n, h: "<b>" + h + "</b>", "list": keep}})),
    Row("frontmatter_meta", False, "md", lambda t: ((t,), {})),
    Row("vedavi2md", True, "vedavi", lambda t: ((t,), {})),
    Row("wrap_md", True, "md", lambda t: ((t,), {"width": 60})),
    Row("md_chunks", True, "md", lambda t: ((t, 80), {})),
    Row("md_chunks_greedy", True, "md", lambda t: ((t, 80, 100), {})),
    Row("md_chunks_structural", True, "md", lambda t: ((t, 80), {})),
    Row("md_chunks_structural_batch", True, "md", lambda t: (([t, t[: len(t) // 2], ""], 80), {})),
    Row("wiki2vedavi", True, "wiki", lambda t: ((t,), {})),
    Row("blocks", True, "md", lambda t: ((t,), {"templates": JINJA, "nested": True})),
    Row("inlines", True, "md", lambda t: ((t,), {"templates": JINJA})),
    Row("source_nodes", True, "md", lambda t: ((t,), {"implicit_figures": True})),
    Row("anchors", False, "md", lambda t: ((t,), {"math": "on", "templates": JINJA})),
    Row("ref_tokens", False, "md", lambda t: (("text bare",), {})),
    Row("ref_variant", False, "md", lambda t: (({"leaf", "bare"},), {})),
    Row("target_kind", False, "md", lambda t: (("figcaption",), {})),
    Row("trailing_attr_span", False, "md", lambda t: (("# Head {#h .c}",), {})),
    Row("group_plan", False, "md", lambda t: ((["sec", "sec", "fig"],), {})),
    Row("decode_raw", False, "md", lambda t: (("PGI+aGk8L2I+", "base64"), {})),
    Row("math_js", False, "md", lambda t: (("render", "{}"), {})),
    Row("dialect_css", False, "md", lambda t: ((), {"preview": True})),
    Row("highlight_md", False, "md", lambda t: ((t,), {"class_prefix": "x-"})),
    Row("export_html", True, "vedavi", export_args()),
    Row("export_html hooks", False, "vedavi", export_args(*[lambda *args: None] * 3)),
]

def text_of(kind, repeat=1):
    if kind == "wiki":
        return WIKI * (40 * repeat)
    source = RICH_MD * repeat
    return native.md2vedavi(source)[0] if kind == "vedavi" else source

def call(row, args):
    return getattr(native, row.label.split()[0])(*args[0], **args[1])
