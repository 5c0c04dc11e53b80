"""Shared pieces of the comparison benchmarks (export_compare, spans_compare, wiki_compare): the
1 MB CommonMark input, best-of-N timing of a call or a command, and the result table."""

from __future__ import annotations

import gc
import subprocess
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


def print_table(results: list[Result], input_bytes: int, runs: int,
                title: str = f"CommonMark spec x{COPIES}", reference: str = "md2vedavi") -> None:
    mb = input_bytes / 1e6
    print(f"input: {title}, {input_bytes} bytes ({mb:.2f} MB); best of {runs} runs")
    print_rows(results, mb, f"vedavi {reference}")
