"""Compare builds of vedavi._native on md2vedavi's speed, with md4c as the yardstick.

    python bench/md_ab.py [--rounds R] [--runs N] BUILD.so [BUILD.so ...]

Each round runs every build in a fresh process of its own (the order alternating between rounds),
on the three inputs of md_compare.py, best of N calls, with md4c (bench/md4c_driver.c, built here
against Debian's md4c) timed in the same process, call for call. Prints per build and input the
median over rounds of md2vedavi's best time and of its ratio to md4c's.

Why not both builds in one process: two copies of the extension loaded side by side time
differently by several percent depending on which was loaded first, which hides the one- and
two-percent steps performance work is made of. The ratio to md4c, taken in the same process,
takes out most of the drift of a busy machine between processes.
"""

from __future__ import annotations

import argparse
import gc
import importlib.machinery
import importlib.util
import json
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import md_compare

INPUT_NAMES = ("spec x5", "prose", "lists/tables/links")


def load_build(path: str):
    loader = importlib.machinery.ExtensionFileLoader("vedavi._native", path)
    spec = importlib.util.spec_from_file_location("vedavi._native", path, loader=loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def child_main(build: str, driver: str, inputs_dir: str, runs: int) -> None:
    module = load_build(build)
    md4c = md_compare.Md4c(driver)
    result = {}
    gc.disable()
    for index, name in enumerate(INPUT_NAMES):
        text = Path(inputs_dir, f"{index}.md").read_text(encoding="utf-8")
        md4c.prepare(text)
        calls = {"vedavi": module.md2vedavi, "md4c": md4c}
        for call in calls.values():
            call(text)  # warm: the first call of each sets up what later calls reuse
        best = dict.fromkeys(calls, float("inf"))
        for run in range(runs):
            order = list(calls.items()) if run % 2 == 0 else list(calls.items())[::-1]
            for key, call in order:
                start = time.perf_counter()
                call(text)
                best[key] = min(best[key], time.perf_counter() - start)
        result[name] = [best["vedavi"], best["md4c"]]
    print(json.dumps(result))


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("builds", nargs="+")
    parser.add_argument("--rounds", type=int, default=8)
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--spec", type=Path, default=md_compare.DEFAULT_SPEC)
    parser.add_argument("--child", nargs=3, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.child:
        child_main(args.builds[0], args.child[0], args.child[1], int(args.child[2]))
        return 0

    with tempfile.TemporaryDirectory() as workdir:
        driver, why = md_compare.build_md4c_driver(Path(workdir))
        if driver is None:
            print(f"md4c: {why}", file=sys.stderr)
            return 1
        for index, (_, text) in enumerate(md_compare.build_inputs(args.spec)):
            Path(workdir, f"{index}.md").write_text(text, encoding="utf-8")
        times = {build: {name: [] for name in INPUT_NAMES} for build in args.builds}
        for round_ in range(args.rounds):
            for build in args.builds if round_ % 2 == 0 else args.builds[::-1]:
                child = subprocess.run(
                    [sys.executable, __file__, build, "--child", str(driver), workdir, str(args.runs)],
                    capture_output=True, text=True, check=True)
                for name, pair in json.loads(child.stdout).items():
                    times[build][name].append(pair)

    print(f"median of {args.rounds} rounds, best of {args.runs} calls each")
    print("| build | input | md2vedavi ms | x md4c |")
    print("|---|---|---|---|")
    for build in args.builds:
        for name in INPUT_NAMES:
            pairs = times[build][name]
            ms = statistics.median(vedavi for vedavi, _ in pairs) * 1e3
            ratio = statistics.median(vedavi / md4c for vedavi, md4c in pairs)
            print(f"| {build} | {name} | {ms:.2f} | {ratio:.3f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
