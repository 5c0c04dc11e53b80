"""Time md2vedavi on inputs built to expose quadratic paths, at a size and at four times it.

    python bench/md_adversarial.py [--scale S] [--only NAME ...]

Each input runs in a child process of its own, which reports its wall time and how far the run
raised the process's peak resident memory, so one input's memory does not hide another's. A linear
path shows a time ratio near 4 between the two sizes; a quadratic one near 16. cmarkgfm, when it
is installed, runs the same inputs as a peer (memory is reported for vedavi only).
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys

# name -> (builder source taking n, base n). The builders are evaluated in the child.
INPUTS = {
    "strong_nested_one_closer": ('"**a " * n + "b" + "**" * n', 100_000),
    "strong_nested_many_closers": ('"**a " * n + "b**" * n', 100_000),
    "emph_nested_one_closer": ('"*a " * n + "b" + "*" * n', 100_000),
    "ordered_nested": ('"1. " * n', 1_000_000),
    "bullet_nested": ('"- " * n', 1_000_000),
    "ordered_nested_unlimited": ('"1. " * n + "x"', 5_000),
}
UNLIMITED = {"ordered_nested_unlimited"}

CHILD = r"""
import json, resource, sys, time
name, expr, n, peer, unlimited = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5] == "1"
text = eval(expr, {"n": n})
if peer == "cmarkgfm":
    import cmarkgfm
    run = lambda: cmarkgfm.markdown_to_html(text)
else:
    import vedavi._native as m
    kwargs = {"max_block_depth": 2**64 - 1} if unlimited else {}
    run = lambda: m.md2vedavi(text, **kwargs)
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.perf_counter()
run()
seconds = time.perf_counter() - start
after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(json.dumps({"seconds": seconds, "peak_mb": (after - before) / 1024}))
"""


def measure(name: str, expr: str, n: int, peer: str) -> dict | None:
    proc = subprocess.run(
        [sys.executable, "-P", "-c", CHILD, name, expr, str(n), peer, "1" if name in UNLIMITED else "0"],
        capture_output=True, text=True)
    if proc.returncode != 0:
        return None
    return json.loads(proc.stdout)


def has_cmarkgfm() -> bool:
    return subprocess.run([sys.executable, "-c", "import cmarkgfm"], capture_output=True).returncode == 0


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies every base size")
    parser.add_argument("--only", nargs="*", choices=sorted(INPUTS), help="inputs to run")
    args = parser.parse_args()
    peers = ["vedavi"] + (["cmarkgfm"] if has_cmarkgfm() else [])
    print(f"{'input':28} {'peer':9} {'n':>9} {'s':>8} {'4n s':>8} {'ratio':>6} {'MB':>7} {'4n MB':>7}")
    for name in args.only or INPUTS:
        expr, base = INPUTS[name]
        n = max(1, int(base * args.scale))
        for peer in peers:
            if peer != "vedavi" and name in UNLIMITED:
                continue
            small, large = measure(name, expr, n, peer), measure(name, expr, 4 * n, peer)
            if small is None or large is None:
                print(f"{name:28} {peer:9} {n:>9} failed")
                continue
            ratio = large["seconds"] / max(small["seconds"], 1e-9)
            mem = f"{small['peak_mb']:7.1f} {large['peak_mb']:7.1f}" if peer == "vedavi" else ""
            print(f"{name:28} {peer:9} {n:>9} {small['seconds']:8.3f} {large['seconds']:8.3f} "
                  f"{ratio:6.1f} {mem}")


if __name__ == "__main__":
    main()
