"""Peak memory and time of the span listings `inlines` and `source_nodes`, for one or two builds.

    python bench/spans_memory.py [--sizes 4,10] [--runs N] BUILD [BUILD ...]

BUILD is a directory that holds an importable `vedavi` package (such as build/py); give two to
compare a build before a change with one after it, in one run. Inputs are made here, never
committed: "dense" repeats the tests' rich sample (most constructs, the worst case for the
number of nodes), "prose" joins the md files found on the machine (as bench/md_compare.py finds
them), each to the sizes asked for.

Every (build, member, input) runs in a fresh process: the input is made, free heap is given
back and the peak resident mark lowered (as bench/md_compare.py does), then the member is called
once. "peak" is the growth of the peak resident size over that call; "result" is the growth of
the resident size once the call is over and free heap is given back, the result still held;
"temps" is peak less result: what the call held beside its result at its worst. Then the best
time of N further calls ("best"; "first" is the measured call's). Sizes are in MB (10^6 bytes).
"""

from __future__ import annotations

import argparse
import ctypes
import gc
import json
import os
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent
sys.path.insert(0, str(HERE))
MEMBERS = ("inlines", "source_nodes")
INPUTS = ("dense", "prose")


def resident() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def make_input(kind: str, megabytes: float) -> str:
    size = int(megabytes * 1_000_000)
    if kind == "dense":
        sys.path.insert(0, str(REPO / "tests" / "python"))
        from conftest import RICH_MD  # noqa: PLC0415 (the tests' sample)

        unit = RICH_MD
    else:
        from md_compare import machine_md_files  # noqa: PLC0415

        parts = []
        for path in machine_md_files():
            try:
                parts.append(path.read_text(encoding="utf-8").rstrip("\n") + "\n")
            except (OSError, UnicodeDecodeError):
                continue
        unit = "\n".join(parts)
    copies = size // len(unit.encode()) + 1
    text = unit * copies
    return text[: len(text) * size // len(text.encode())]  # about `size` bytes


def child(member: str, kind: str, megabytes: float, runs: int) -> None:
    from md_compare import peak_resident, reset_peak  # noqa: PLC0415

    import vedavi._native as native  # noqa: PLC0415 (the build on PYTHONPATH)

    call = getattr(native, member)
    text = make_input(kind, megabytes)
    call("warm *up* [x](y)")
    gc.collect()
    reset_peak()
    before_peak, before = peak_resident(), resident()
    start = time.perf_counter()
    result = call(text)
    first = time.perf_counter() - start
    peak = peak_resident() - before_peak
    ctypes.CDLL(None).malloc_trim(0)
    held = resident() - before
    count = len(result)
    del result
    best = first
    for _ in range(runs):
        gc.collect()
        start = time.perf_counter()
        call(text)
        best = min(best, time.perf_counter() - start)
    print(json.dumps({"peak": peak, "result": held, "count": count, "size": len(text.encode()),
                      "first": first, "seconds": best}))


def run_child(build: Path, member: str, kind: str, megabytes: float, runs: int) -> dict | None:
    env = dict(os.environ, PYTHONPATH=str(build))
    done = subprocess.run([sys.executable, __file__, "--child", member, kind, str(megabytes), str(runs)],
                          env=env, capture_output=True, text=True)
    if done.returncode != 0:
        print(f"  {build} {member} {kind} {megabytes} MB failed: {done.stderr.strip()[-300:]}",
              file=sys.stderr)
        return None
    return json.loads(done.stdout)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("builds", nargs="*", type=Path, help="directories holding a vedavi package")
    parser.add_argument("--sizes", default="4", help="input sizes in MB, comma-separated")
    parser.add_argument("--runs", type=int, default=3, help="timed calls after the measured one")
    parser.add_argument("--inputs", default=",".join(INPUTS))
    parser.add_argument("--members", default=",".join(MEMBERS))
    parser.add_argument("--child", nargs=4, help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.child:
        member, kind, megabytes, runs = args.child
        child(member, kind, float(megabytes), int(runs))
        return 0
    if not args.builds:
        parser.error("give at least one build")
    mb = 1e6
    print("| member | input | build | nodes | peak MB | result MB | temps MB | temps / result | first s | best s |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for megabytes in (float(s) for s in args.sizes.split(",")):
        for member in args.members.split(","):
            for kind in args.inputs.split(","):
                for build in args.builds:
                    got = run_child(build, member, kind, megabytes, args.runs)
                    label = f"{kind} {megabytes:g} MB"
                    if got is None:
                        print(f"| {member} | {label} | {build} | - | - | - | - | - | - | - |")
                        continue
                    temps = got["peak"] - got["result"]
                    print(f"| {member} | {label} | {build} | {got['count']} | {got['peak'] / mb:.0f} "
                          f"| {got['result'] / mb:.0f} | {temps / mb:.0f} | {temps / max(got['result'], 1):.2f} "
                          f"| {got['first']:.3f} | {got['seconds']:.3f} |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
