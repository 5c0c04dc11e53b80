"""Time vedavi's export_html, with and without hooks, and md to finished HTML against pandoc.

    python bench/export_compare.py [--runs N] [--spec PATH]

The input is the same ~1 MB md text as md_compare.py (the CommonMark spec five times over), and
its VEDAVI from md2vedavi. Rows, best of N runs each:

- export_html of the VEDAVI: no hooks (the lock released), with generated ids, heading numbers
  and a table of contents; then the same with all three hooks given (each a small Python
  function, called for every code block), highlighting in "spans" mode;
- md to finished HTML: md2vedavi followed by export_html (no hooks), against the `pandoc` command
  (`-f commonmark_x -t html -s --number-sections --toc`; its start-up subtracted as in
  md_compare.py). pandoc's reader is its own CommonMark dialect, so the two read the same text,
  but not identically.

Then generated ids on their own: VEDAVI of n `h2` headings without ids (n = 10,000, 40,000 and
160,000; all of one text, then each its own), exported with and without `auto_ids` (no numbering, no
table of contents). The time per heading that `auto_ids` adds should stay about the same as n grows.
"""

from __future__ import annotations

import argparse
import html
import shutil
import sys
import tempfile
from pathlib import Path

from compare_util import COPIES, DEFAULT_SPEC, Result, best_of, time_command

OPTIONS = dict(reftypes=None, number_headings="decimal", hl=None, toc=True, refs="lenient",
               id_prefix="", fn_salt="", hl_lang=None, code_wrap=None, hl_fn=None,
               auto_ids=True, gh_ids=False)


def hooked_options() -> dict:
    def highlight(code: str, lang: str) -> str:
        return f'<span class="hl-{lang}">{html.escape(code)}</span>'

    return {**OPTIONS, "hl": "spans", "hl_lang": lambda code, lang: lang or None,
            "hl_fn": highlight, "code_wrap": lambda outer, lang, code: None}


def time_call(name: str, runs: int, work) -> Result:
    size = len(work().encode())  # also warms up
    return Result(name, best_of(runs, work), size)


def print_table(results: list[Result], input_bytes: int, base: Result, runs: int) -> None:
    mb = input_bytes / 1e6
    header = f"{'step':<34}{'best ms':>10}{'MB/s':>10}{'x base':>9}{'out KB':>9}  note"
    print(header)
    print("-" * len(header))
    for r in results:
        if r.seconds is None:
            print(f"{r.name:<34}{'-':>10}{'-':>10}{'-':>9}{'-':>9}  {r.note}")
            continue
        print(f"{r.name:<34}{r.seconds * 1e3:>10.2f}{mb / r.seconds:>10.1f}{r.seconds / base.seconds:>9.2f}"
              f"{r.output_bytes / 1024:>9.0f}  {r.note}")
    print(f"MB/s over the {mb:.2f} MB of md; x base: the time over '{base.name}'; best of {runs} runs")


HEADING_COUNTS = (10_000, 40_000, 160_000)


def print_auto_ids(runs: int) -> None:
    from vedavi._native import export_html  # noqa: PLC0415

    options = {**OPTIONS, "number_headings": None, "toc": False}
    print()
    header = f"{'auto_ids over n headings':<26}{'n':>9}{'without ms':>12}{'with ms':>10}{'added ns/heading':>18}"
    print(header)
    print("-" * len(header))
    for texts, text_of in (("one text", lambda i: "Intro"), ("distinct texts", lambda i: f"Heading {i}")):
        for n in HEADING_COUNTS:
            src = "".join(f"<h2>{text_of(i)}</h2>\n" for i in range(n))
            without = best_of(runs, lambda: export_html(src, **{**options, "auto_ids": False}))
            with_ids = best_of(runs, lambda: export_html(src, **{**options, "auto_ids": True}))
            print(f"{texts:<26}{n:>9}{without * 1e3:>12.1f}{with_ids * 1e3:>10.1f}"
                  f"{(with_ids - without) / n * 1e9:>18.0f}")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs per row; the best counts")
    parser.add_argument("--spec", type=Path, default=DEFAULT_SPEC, help="the CommonMark spec text")
    args = parser.parse_args(argv)
    from vedavi._native import export_html, md2vedavi  # noqa: PLC0415

    text = args.spec.read_text(encoding="utf-8") * COPIES
    vedavi = md2vedavi(text)[0]
    hooked = hooked_options()
    export = time_call("export_html, no hooks", args.runs, lambda: export_html(vedavi, **OPTIONS)[0])
    results = [
        export,
        time_call("export_html, 3 hooks (spans)", args.runs, lambda: export_html(vedavi, **hooked)[0]),
        time_call("md2vedavi + export_html", args.runs, lambda: export_html(md2vedavi(text)[0], **OPTIONS)[0]),
    ]
    pandoc = shutil.which("pandoc")
    if pandoc is None:
        results.append(Result("pandoc (command)", note="skipped: no `pandoc` program"))
    else:
        with tempfile.TemporaryDirectory(prefix="export_compare-") as tmp:
            input_path = Path(tmp) / "input.md"
            input_path.write_text(text, encoding="utf-8")
            empty_path = Path(tmp) / "empty.md"
            empty_path.write_bytes(b"")
            argv = [pandoc, "-f", "commonmark_x", "-t", "html", "-s", "--number-sections", "--toc",
                    "--metadata", "title=bench"]
            results.append(time_command("pandoc (command)", max(1, args.runs // 3), argv, input_path, empty_path))
    print(f"input: CommonMark spec x{COPIES}, {len(text.encode())} bytes of md, {len(vedavi.encode())} bytes of VEDAVI")
    print_table(results, len(text.encode()), export, args.runs)
    print_auto_ids(max(3, args.runs // 2))
    return 0


if __name__ == "__main__":
    sys.exit(main())
