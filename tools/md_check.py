"""Byte-for-byte check of two builds of vedavi._native: every md reader gives the same results.

    python tools/md_check.py REFERENCE.so CANDIDATE.so [--random N] [--seed S]

Loads both extension modules into this process and compares, for every input and option set,
md2vedavi's whole result (HTML, warnings, frontmatter pairs), the node dictionaries its callbacks
see (with the HTML each returns), `blocks` (flat and nested), `anchors`, and where the builds
have them `inlines`, `source_nodes`, the chunkers, `wrap_md` and `highlight_md`. Inputs: the
CommonMark examples and the text of pathological.md (../shared/testdata relative to the
repository), the md files found on the machine (as bench/md_compare.py finds them), and N random
documents built from md fragments. Prints the first differences and exits 1 when there are any.
Meant for performance work on the parser and renderer: run it against a build of main after
every step.
"""

from __future__ import annotations

import argparse
import importlib.machinery
import importlib.util
import random
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
SHARED = REPO.parent / "shared" / "testdata"
sys.path.insert(0, str(REPO / "bench"))
from md_compare import machine_md_files  # noqa: E402

KINDS = ("paragraph heading panel_title block_quote list definition_list code_block html_block "
         "thematic_break table div math_block figure template_token raw_block script_block text soft_break "
         "hard_break emph strong strike superscript subscript highlight code link image autolink html_inline "
         "operation math_inline footnote_ref note span raw_inline").split()
JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))]
OPTION_SETS = [
    {},
    {"math": "dollars", "bare_autolinks": False},
    {"math": "on", "implicit_figures": True, "templates": JINJA},
    {"math": "off", "frontmatter": False, "max_block_depth": 3, "max_link_paren_depth": 2},
]

FRAGMENTS = [
    "# Head {#id .c}\n", "## A *b* __c__\n", "text ", "*em* ", "**strong** ", "_u_ ", "~~s~~ ", "==h== ",
    "^sup^ ", "~sub~ ", "`code` ", "``a`b`` ", "[link](http://x.y \"t\") ", "![img](a.png){width=3} ",
    "[ref] ", "[ref]: /url\n", "<http://a.b> ", "<a@b.c> ", "http://ex.com/a_(b) ", "www.x.org. ",
    "me@mail.com ", "&amp; &copy; &#x41; ", "\\* \\& \\\\ ", "<span>x</span> ", "<!-- c --> ", "$x$ ",
    "$$y$$ ", "\\(z\\) ", "\\[w\\] ", "{{ v }} ", "{{#s}}\n", "{{/s}}\n", "[^n] ", "[^n]: note\n",
    "^[inline note] ", "[span]{.k} ", "[@sec] ", "\n", "\n\n", "  \n", "\\\n", "- item\n", "  - sub\n",
    "1. one\n", "3) three\n", "> quote\n", "```py\ncode\n```\n", "    indented\n", "---\n",
    "| a | b |\n|---|:-:|\n| 1 | 2 |\n", "::: note\ndiv\n:::\n", "Term\n: def\n", "<div>\nhtml\n</div>\n",
    "$$\nm\n$$\n", "---\ntitle: t\n---\n", "\t", "é ü 漢 ", "\u00a0", "[", "]", "(", ")", "*", "_", "`", "<",
    ">", "!", "|", "{", "}", ":", "@", "www.", "https://", "\r\n",
]


def load(path: str, name: str):
    loader = importlib.machinery.ExtensionFileLoader(f"{name}._native", path)
    spec = importlib.util.spec_from_file_location(f"{name}._native", path, loader=loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def commonmark_examples() -> list[str]:
    path = SHARED / "commonmark" / "spec.txt"
    if not path.is_file():
        return []
    out, inside, lines = [], False, []
    for line in path.read_text(encoding="utf-8").splitlines(keepends=True):
        if line.startswith("`" * 32 + " example"):
            inside, lines = True, []
        elif inside and line.strip() == ".":
            out.append("".join(lines).replace("\u2192", "\t"))
            inside = False
        elif inside:
            lines.append(line)
    return out


def machine_docs() -> list[str]:
    docs = []
    for path in machine_md_files():
        try:
            docs.append(path.read_text(encoding="utf-8"))
        except (OSError, UnicodeDecodeError):
            pass
    return docs


def random_docs(count: int, seed: int) -> list[str]:
    rng = random.Random(seed)
    return ["".join(rng.choice(FRAGMENTS) for _ in range(rng.randrange(1, 60))) for _ in range(count)]


def results(module, text: str, options: dict) -> list:
    seen: list = []

    def record(kind):
        def callback(node, html):
            seen.append((kind, repr(node), html))
            return None if len(seen) % 3 else f"<x-{kind}/>"
        return callback

    md_options = {k: v for k, v in options.items()}
    plain = module.md2vedavi(text, **md_options)
    called = module.md2vedavi(text, callbacks={k: record(k) for k in KINDS}, **md_options)
    shared = {k: v for k, v in options.items() if k in ("math", "templates")}
    block_options = dict(shared, implicit_figures=options.get("implicit_figures", False))
    out = [plain, called, seen, module.blocks(text, **block_options),
           module.blocks(text, nested=True, **block_options), module.anchors(text, **shared)]
    # The readers of the inline events and the block trace, where the build has them.
    inline_options = dict(shared, bare_autolinks=options.get("bare_autolinks", True))
    for name, kwargs in (("inlines", inline_options), ("source_nodes", block_options), ("md_chunks", {}),
                         ("md_chunks_greedy", {"target_words": 50}), ("md_chunks_structural", {}),
                         ("wrap_md", {"width": 40}), ("highlight_md", {})):
        if hasattr(module, name):
            out.append(call_or_error(getattr(module, name), text, kwargs))
    return out


def call_or_error(function, text: str, kwargs: dict):
    """The result, or the exception's type and message (a build must raise what the other does)."""
    try:
        return function(text, **kwargs)
    except Exception as err:  # noqa: BLE001 (compared, not handled)
        return (type(err).__name__, str(err))


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("reference")
    parser.add_argument("candidate")
    parser.add_argument("--random", type=int, default=3000, help="random documents")
    parser.add_argument("--seed", type=int, default=19)
    parser.add_argument("--no-machine", action="store_true", help="skip the md files of the machine")
    args = parser.parse_args(argv)
    ref, new = load(args.reference, "reference"), load(args.candidate, "candidate")

    corpora = {"commonmark": commonmark_examples(), "random": random_docs(args.random, args.seed)}
    pathological = SHARED / "pathological.md"
    if pathological.is_file():
        text = pathological.read_text(encoding="utf-8")
        corpora["pathological"] = [text, *text.split("\n\n")]
    if not args.no_machine:
        corpora["machine"] = machine_docs()
    failures = 0
    for name, docs in corpora.items():
        checked = 0
        for i, text in enumerate(docs):
            option_sets = OPTION_SETS if name != "random" else [OPTION_SETS[i % len(OPTION_SETS)]]
            for options in option_sets:
                if results(ref, text, options) != results(new, text, options):
                    failures += 1
                    if failures <= 5:
                        print(f"DIFF {name}[{i}] options={options}: {text[:200]!r}")
                checked += 1
        print(f"{name}: {len(docs)} documents, {checked} checks")
    print("identical" if not failures else f"{failures} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
