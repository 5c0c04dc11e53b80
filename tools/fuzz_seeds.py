#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora from the tests' own data, at run time (never committed).

    python3 tools/fuzz_seeds.py OUT_DIR

OUT_DIR/<kind>/ gets one file per seed for each kind a harness names on its first line
("// seeds: md"): every string literal of the Python tests, the CommonMark examples, the html5lib
tree-construction inputs and the sample document, sorted by what they look like. Each seed starts
with one knob byte (the harness's option picker), varied from seed to seed so that the corpus
covers every option. The shared test data is read from ../shared when present.
"""

import ast
import base64
import hashlib
import html
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SHARED = ROOT.parent / "shared" / "testdata"
MAX_SEED = 1 << 14


def python_test_strings():
    for path in sorted((ROOT / "tests" / "python").glob("*.py")):
        for node in ast.walk(ast.parse(path.read_text(encoding="utf-8"))):
            if isinstance(node, ast.Constant) and isinstance(node.value, str) and len(node.value) > 2:
                yield node.value


def commonmark_examples():
    """(markdown, html) of every example in the CommonMark example files."""
    fence = "`" * 32
    for name in ("commonmark/spec.txt", "commonmark/cmark/regression.txt"):
        path = SHARED / name
        if not path.exists():
            continue
        text = path.read_text(encoding="utf-8")
        pattern = re.escape(fence) + r" example[^\n]*\n(.*?)^\.\n(.*?)^" + re.escape(fence)
        for match in re.finditer(pattern, text, re.S | re.M):
            yield match.group(1).replace("\u2192", "\t"), match.group(2).replace("\u2192", "\t")


def tree_construction_inputs():
    folder = SHARED / "html5lib-tests" / "tree-construction"
    for path in sorted(folder.glob("*.dat")) if folder.exists() else []:
        for block in path.read_text(encoding="utf-8").split("\n#data\n"):
            yield block.removeprefix("#data\n").split("\n#errors", 1)[0]


def md_seeds(strings):
    yield (ROOT / "examples" / "sample.md").read_text(encoding="utf-8")
    for markdown, _ in commonmark_examples():
        yield markdown
    yield from strings


def html_seeds(strings):
    for _, rendered in commonmark_examples():
        yield rendered
    yield from tree_construction_inputs()
    yield from (s for s in strings if "<" in s)


def raw_seeds(strings):
    for s in strings:
        yield s
        yield html.escape(s, quote=False)
        yield base64.b64encode(s.encode("utf-8", "surrogatepass")).decode()


def words_seeds(strings):
    yield "sec-intro\nfig-plot\ntbl-data\npage text\nsec-intro\n"
    yield "%1.\ndecimal\n%1.%2.\nlowerLetter\n%1.%2.%3\nupperRoman\n"
    yield "%2\nlowerRoman\n%%9\ndecimal\n"
    yield from (s for s in strings if "\n" in s or " " in s)


def wiki_seeds(strings):
    yield "== Head ==\n'''bold''' ''it'' [[Link|text]] {{tmpl|a=1}}\n* item\n# one\n{|\n| a || b\n|}\n"
    yield from (s for s in strings if any(mark in s for mark in ("[[", "''", "{{", "{|", "==")))


KINDS = {"md": md_seeds, "html": html_seeds, "raw": raw_seeds, "words": words_seeds,
         "wiki": wiki_seeds}


def main(out_dir):
    strings = list(dict.fromkeys(python_test_strings()))
    for kind, seeds in KINDS.items():
        folder = Path(out_dir) / kind
        folder.mkdir(parents=True, exist_ok=True)
        for i, seed in enumerate(dict.fromkeys(seeds(strings))):
            data = bytes([i * 37 % 256]) + seed.encode("utf-8", "surrogatepass")[:MAX_SEED]
            (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1])
