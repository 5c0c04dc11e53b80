"""Time vedavi's span listings and md highlighter beside md2vedavi on the same ~1 MB md input.

    python bench/spans_compare.py [--runs N] [--spec PATH]

The input is the one of bench/md_compare.py (the CommonMark spec text five times over), as
written and with CR LF line ends. Each function is called from this Python process with its
default options, best of N runs, dicts and strings included.
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from compare_util import COPIES, DEFAULT_SPEC, best_of  # noqa: E402


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs per function; the best counts")
    parser.add_argument("--spec", type=Path, default=DEFAULT_SPEC, help="the CommonMark spec text")
    args = parser.parse_args(argv)
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    try:
        text = args.spec.read_text(encoding="utf-8") * COPIES
    except OSError as err:
        print(f"cannot read the input text: {err}", file=sys.stderr)
        return 1
    from vedavi import _native as native  # noqa: PLC0415 (needs the built module)

    functions = [
        ("md2vedavi", lambda s: native.md2vedavi(s)),
        ("inlines", native.inlines),
        ("source_nodes", native.source_nodes),
        ("highlight_md", native.highlight_md),
    ]
    header = f"{'function':<14}{'input':<8}{'best ms':>10}{'MB/s':>10}{'x md2vedavi':>13}{'dicts':>10}"
    print(f"input: CommonMark spec x{COPIES}; best of {args.runs} runs")
    print(header)
    print("-" * len(header))
    for label, source in (("LF", text), ("CR LF", text.replace("\n", "\r\n"))):
        mb = len(source.encode()) / 1e6
        base = None
        for name, function in functions:
            result = function(source)  # also warms up
            seconds = best_of(args.runs, lambda: function(source))
            base = base or seconds
            items = str(len(result)) if isinstance(result, list) else "-"
            print(f"{name:<14}{label:<8}{seconds * 1e3:>10.2f}{mb / seconds:>10.1f}{seconds / base:>13.2f}{items:>10}")
    print("x md2vedavi: the function's time over md2vedavi's on the same input")
    return 0


if __name__ == "__main__":
    sys.exit(main())
