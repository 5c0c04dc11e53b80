"""Byte-for-byte check of the span listings `inlines` and `source_nodes` between two builds.

    python tools/spans_check.py REFERENCE.so CANDIDATE.so

tools/md_check.py compares the listings with ==, which does not see the order of a dict's keys;
this compares their repr, which does. Inputs: the CommonMark examples, pathological.md (whole
and by paragraph), the md files of the machine, and two large documents (the tests' rich sample
and the machine's md files joined, about 3 MB each) whose listings run to many batches, each
under option sets that between them switch every parameter. Prints the first differences and
exits 1 when there are any.
"""

from __future__ import annotations

import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "tools"))
sys.path.insert(0, str(REPO / "tests" / "python"))
from md_check import SHARED, commonmark_examples, load, machine_docs  # noqa: E402

BLOCK_ARMS = [("moustache", "{{", "}}", None, "block", ("#", "^", "/"))]
AUTO_JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/")), ("stmt", "{%", "%}", None, "block", ())]
OPTION_SETS = [
    ({}, {}),
    ({"math": "dollars", "bare_autolinks": False, "templates": AUTO_JINJA},
     {"math": "dollars", "implicit_figures": True, "templates": AUTO_JINJA}),
    ({"math": "on", "templates": BLOCK_ARMS}, {"math": "off", "templates": BLOCK_ARMS}),
]
LARGE_BYTES = 3_000_000


def large_docs(machine: list[str]) -> list[str]:
    from conftest import RICH_MD  # noqa: PLC0415 (imports the build on the path; only its text is used)

    templated = RICH_MD + "{{ name }} and {{#s}}x{{/s}}\n\n<div>\n{{ v }} {% if %}\n</div>\n\n"
    prose = "\n".join(machine)
    return [templated * (LARGE_BYTES // len(templated) + 1), prose * (LARGE_BYTES // max(len(prose), 1) + 1)]


def listings(module, text: str, inline_kwargs: dict, source_kwargs: dict) -> str:
    out = []
    for function, kwargs in ((module.inlines, inline_kwargs), (module.source_nodes, source_kwargs)):
        try:
            out.append(repr(function(text, **kwargs)))
        except Exception as err:  # noqa: BLE001 (compared, not handled)
            out.append(f"{type(err).__name__}: {err}")
    return "\n".join(out)


def main(argv: list[str]) -> int:
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    ref, new = load(argv[0], "reference"), load(argv[1], "candidate")
    machine = machine_docs()
    corpora = {"commonmark": commonmark_examples(), "machine": machine}
    pathological = SHARED / "pathological.md"
    if pathological.is_file():
        text = pathological.read_text(encoding="utf-8")
        corpora["pathological"] = [text, *text.split("\n\n")]
    corpora["large"] = large_docs(machine)
    failures = 0
    for name, docs in corpora.items():
        checked = 0
        for i, text in enumerate(docs):
            for inline_kwargs, source_kwargs in OPTION_SETS:
                if listings(ref, text, inline_kwargs, source_kwargs) != listings(new, text, inline_kwargs, source_kwargs):
                    failures += 1
                    if failures <= 5:
                        print(f"DIFF {name}[{i}] {inline_kwargs} / {source_kwargs}: {text[:120]!r}")
                checked += 1
        print(f"{name}: {len(docs)} documents, {checked} checks", flush=True)
    print("identical" if not failures else f"{failures} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
