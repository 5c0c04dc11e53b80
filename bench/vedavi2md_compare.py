"""Time vedavi's vedavi2md against other HTML-to-Markdown converters on the same ~1 MB VEDAVI
document.

    python bench/vedavi2md_compare.py [--runs N] [--spec PATH]

The input is the VEDAVI that md2vedavi makes of the CommonMark spec text
(../shared/testdata/commonmark/spec.txt relative to the repository root) repeated until the HTML
passes 1 MB, built here at run time. Timing as in bench/md_compare.py (best of N runs):

- in-process (vedavi2md, markdownify): the call that turns the HTML into Markdown;
- command (pandoc -f html -t markdown): the wall time of the whole process on the input file,
  less the best wall time of the same command on an empty file.

A converter that is not installed is reported as skipped; bench/README.md says what to install.
"""

from __future__ import annotations

import argparse
import sys
import tempfile
from pathlib import Path
from typing import Callable

from compare_util import DEFAULT_SPEC, Result, print_rows, time_command, time_in_process

TARGET_BYTES = 1_000_000


def build_input(spec: Path) -> tuple[str, int]:
    from vedavi._native import md2vedavi  # noqa: PLC0415

    text = spec.read_text(encoding="utf-8")
    copies = 1
    html = md2vedavi(text)[0]
    while len(html.encode()) < TARGET_BYTES:
        copies += 1
        html = md2vedavi(text * copies)[0]
    return html, copies


def make_vedavi2md() -> Callable[[str], str]:
    from vedavi._native import vedavi2md  # noqa: PLC0415

    return vedavi2md


def make_markdownify() -> Callable[[str], str]:
    from markdownify import markdownify  # noqa: PLC0415

    return markdownify


def print_table(results: list[Result], input_bytes: int, copies: int, runs: int) -> None:
    mb = input_bytes / 1e6
    print(f"input: VEDAVI of the CommonMark spec x{copies}, {input_bytes} bytes ({mb:.2f} MB); "
          f"best of {runs} runs")
    print_rows(results, mb, "vedavi vedavi2md", "converter")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--spec", type=Path, default=DEFAULT_SPEC)
    args = parser.parse_args()
    if not args.spec.exists():
        print(f"no input: {args.spec} is missing", file=sys.stderr)
        return 1
    html, copies = build_input(args.spec)
    results = [
        time_in_process("vedavi vedavi2md", args.runs, html, make_vedavi2md),
        # Pure Python and slow: a few runs are enough.
        time_in_process("markdownify", min(args.runs, 3), html, make_markdownify),
    ]
    with tempfile.TemporaryDirectory() as tmp:
        input_path, empty_path = Path(tmp) / "input.html", Path(tmp) / "empty.html"
        input_path.write_text(html, encoding="utf-8")
        empty_path.write_text("", encoding="utf-8")
        results.append(time_command("pandoc html -> markdown", min(args.runs, 3),
                                    ["pandoc", "-f", "html", "-t", "markdown"], input_path, empty_path))
    print_table(results, len(html.encode()), copies, args.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
