"""Time vedavi's md2vedavi against other Markdown processors on the same ~1 MB md file.

    python bench/md_compare.py [--runs N] [--spec PATH]

The input is the CommonMark spec text (../shared/testdata/commonmark/spec.txt relative to the
repository root) repeated five times, built here at run time. Every processor is timed from this
Python process, best of N runs:

- in-process (vedavi, cmarkgfm, markdown-it-py, mistune): the call that turns the text into HTML;
- commands (the `cmark` program, md4c through bench/md4c_driver.c, compiled here): the wall time
  of the whole process on the input file, less the best wall time of the same command on an
  empty file, so that process start-up does not count against them.

A processor that is not installed, or whose driver does not build, is reported as skipped.
bench/README.md says what to install.
"""

from __future__ import annotations

import argparse
import gc
import os
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

REPO = Path(__file__).resolve().parent.parent
DEFAULT_SPEC = REPO.parent / "shared" / "testdata" / "commonmark" / "spec.txt"
COPIES = 5


@dataclass
class Result:
    name: str
    seconds: float | None = None  # best time; None when skipped
    output_bytes: int = 0
    note: str = ""


def best_of(runs: int, work: Callable[[], object]) -> float:
    """Best wall time of `runs` calls of `work`."""
    best = float("inf")
    for _ in range(runs):
        gc.collect()
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def time_in_process(name: str, runs: int, text: str, make: Callable[[], Callable[[str], str]]) -> Result:
    try:
        convert = make()
    except ImportError as err:
        # The message of a missing name ends with the module's path; the name is enough.
        return Result(name, note=f"skipped: {str(err).split(' (')[0]}")
    size = len(convert(text).encode())  # also warms up: first-call imports, caches
    return Result(name, best_of(runs, lambda: convert(text)), size)


def time_command(name: str, runs: int, argv: list[str], input_path: Path, empty_path: Path) -> Result:
    def run(path: Path, capture: bool = False) -> bytes:
        # Timed runs write to /dev/null: reading a pipe here would charge our own work to them.
        done = subprocess.run([*argv, str(path)], stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
        if done.returncode != 0:
            raise RuntimeError(done.stderr.decode(errors="replace").strip() or f"exit {done.returncode}")
        return done.stdout or b""

    try:
        size = len(run(input_path, capture=True))  # also warms up the page cache and the loader
        full = best_of(runs, lambda: run(input_path))
        startup = best_of(runs, lambda: run(empty_path))
    except (OSError, RuntimeError) as err:
        return Result(name, note=f"skipped: {err}")
    return Result(name, max(full - startup, 1e-9), size, f"start-up {startup * 1e3:.1f} ms subtracted")


def make_vedavi() -> Callable[[str], str]:
    from vedavi._native import md2vedavi  # noqa: PLC0415 (optional: may not be built yet)

    return lambda text: md2vedavi(text)[0]


def make_cmarkgfm() -> Callable[[str], str]:
    import cmarkgfm  # noqa: PLC0415
    from cmarkgfm.cmark import Options  # noqa: PLC0415

    return lambda text: cmarkgfm.markdown_to_html(text, options=Options.CMARK_OPT_UNSAFE)


def make_markdown_it() -> Callable[[str], str]:
    from markdown_it import MarkdownIt  # noqa: PLC0415

    return MarkdownIt("commonmark").render


def make_mistune() -> Callable[[str], str]:
    import mistune  # noqa: PLC0415

    return mistune.create_markdown(escape=False)


def build_md4c_driver(workdir: Path) -> tuple[Path | None, str]:
    """Compile bench/md4c_driver.c into `workdir`; (program, "") or (None, why not)."""
    compiler = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        return None, "no C compiler"
    program = workdir / "md4c_driver"
    source = Path(__file__).with_name("md4c_driver.c")
    built = subprocess.run([compiler, "-O2", str(source), "-o", str(program), "-lmd4c-html", "-lmd4c"],
                           capture_output=True, text=True)
    if built.returncode != 0:
        first_line = (built.stderr.strip().splitlines() or ["build failed"])[0]
        return None, f"driver does not build ({first_line})"
    return program, ""


def print_rows(results: list[Result], mb: float, reference: str, kind: str = "processor") -> None:
    """One row per result, with its time over that of the result named `reference`."""
    ours = next((r for r in results if r.name == reference and r.seconds), None)
    header = f"{kind:<28}{'best ms':>10}{'MB/s':>10}{'vedavi x':>10}{'out KB':>9}  note"
    print(header)
    print("-" * len(header))
    for r in results:
        if r.seconds is None:
            print(f"{r.name:<28}{'-':>10}{'-':>10}{'-':>10}{'-':>9}  {r.note}")
            continue
        ratio = f"{r.seconds / ours.seconds:.2f}" if ours else "-"
        print(f"{r.name:<28}{r.seconds * 1e3:>10.2f}{mb / r.seconds:>10.1f}{ratio:>10}"
              f"{r.output_bytes / 1024:>9.0f}  {r.note}")
    print(f"vedavi x: the {kind}'s time over {reference.split()[-1]}'s (above 1: vedavi is faster)")


def print_table(results: list[Result], input_bytes: int, runs: int) -> None:
    mb = input_bytes / 1e6
    print(f"input: CommonMark spec x{COPIES}, {input_bytes} bytes ({mb:.2f} MB); best of {runs} runs")
    print_rows(results, mb, "vedavi md2vedavi")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs per processor; the best counts")
    parser.add_argument("--spec", type=Path, default=DEFAULT_SPEC, help="the CommonMark spec text")
    args = parser.parse_args(argv)
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    try:
        text = args.spec.read_text(encoding="utf-8") * COPIES
    except OSError as err:
        print(f"cannot read the input text: {err}", file=sys.stderr)
        return 1

    results = [
        time_in_process("vedavi md2vedavi", args.runs, text, make_vedavi),
        time_in_process("cmarkgfm (Python)", args.runs, text, make_cmarkgfm),
    ]
    with tempfile.TemporaryDirectory(prefix="md_compare-") as tmp:
        workdir = Path(tmp)
        input_path = workdir / "input.md"
        input_path.write_text(text, encoding="utf-8")
        empty_path = workdir / "empty.md"
        empty_path.write_bytes(b"")

        cmark = shutil.which("cmark")
        if cmark:
            results.append(time_command("cmark (command)", args.runs, [cmark, "--unsafe"], input_path, empty_path))
        else:
            results.append(Result("cmark (command)", note="skipped: no `cmark` program"))

        driver, why = build_md4c_driver(workdir)
        if driver:
            results.append(time_command("md4c (C driver)", args.runs, [str(driver)], input_path, empty_path))
        else:
            results.append(Result("md4c (C driver)", note=f"skipped: {why}"))

    results.append(time_in_process("markdown-it-py", args.runs, text, make_markdown_it))
    results.append(time_in_process("mistune", args.runs, text, make_mistune))
    print_table(results, len(text.encode()), args.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
