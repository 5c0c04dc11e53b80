#!/usr/bin/env python3
"""Peak memory and time of every whole-document member on big inputs (10 MB and 100 MB).

    python3 bench/big_inputs.py [--sizes 10,100] [--md FILE | --shape NAME] [--py DIR ...] [MEMBER ...]

Each (member, size) runs in a process of its own, one after another, so that a peak is the
member's alone: the input is built first (by repetition, which allocates nothing beyond the input
itself), then the member is called once. The md input repeats a dense sample that touches most
constructs (the worst case for the size of the tree), the file given with --md (prose, such as
the CommonMark spec text beside the repository, gives a truer picture of ordinary documents), or
one of the SHAPES, short units whose every line is a block of its own; the VEDAVI input repeats
the sample's VEDAVI. With --py given more than once, each directory is put first on the module
path of a run in turn, so two builds are compared in one run, row by row. "peak" is the process's resident high-water mark during
the call less its resident size just before it; "x input" is that over the input's size in bytes.
Members the module does not have yet are skipped. Uses whichever vedavi is importable.
"""

import argparse
import json
import os
import resource
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "python"))

# A whole-document member, its input kind and its call.
MEMBERS = {
    "md2vedavi": ("md", lambda m, t: m.md2vedavi(t)),
    "blocks": ("md", lambda m, t: m.blocks(t, nested=True)),
    "inlines": ("md", lambda m, t: m.inlines(t)),
    "source_nodes": ("md", lambda m, t: m.source_nodes(t)),
    "anchors": ("md", lambda m, t: m.anchors(t)),
    "highlight_md": ("md", lambda m, t: m.highlight_md(t)),
    "wrap_md": ("md", lambda m, t: m.wrap_md(t, 72)),
    "md_chunks": ("md", lambda m, t: m.md_chunks(t)),
    "md_chunks_greedy": ("md", lambda m, t: m.md_chunks_greedy(t)),
    "md_chunks_structural": ("md", lambda m, t: m.md_chunks_structural(t)),
    "vedavi2md": ("vedavi", lambda m, t: m.vedavi2md(t)),
    "export_html": ("vedavi", lambda m, t: m.export_html(t, None, None, "spans", True, "lenient",
                                                         "", "", None, None, None, True, False)),
    "wiki2vedavi": ("wiki", lambda m, t: m.wiki2vedavi(t)),
}

# Units whose lines are many small blocks: what a per-block record costs shows at its worst.
SHAPES = {
    "headings": "# h\n",
    "list": "- item\n",
    "nested-list": "- a\n  - b\n    1. c\n",
    "quote": "> q\n>\n",
}


def resident():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize()


def build_input(kind, megabytes, md_file, shape=""):
    import conftest as member_calls  # the members' sample inputs live with the tests

    unit = member_calls.RICH_MD if kind != "wiki" else member_calls.WIKI
    if kind == "md" and md_file:
        unit = Path(md_file).read_text(encoding="utf-8")
    elif kind == "md" and shape:
        unit = SHAPES[shape]
    if kind == "vedavi":
        unit = member_calls.native.md2vedavi(unit)[0]
    return unit * (megabytes * 1_000_000 // len(unit.encode()) + 1)


def reset_peak():
    """Starts the resident high-water mark afresh: reading and decoding a --md file peaks above
    what most calls take, and would otherwise stand as every member's peak."""
    try:
        with open("/proc/self/clear_refs", "w") as clear_refs:
            clear_refs.write("5")
    except OSError:
        pass


def run_one(member, megabytes, md_file, shape):
    import vedavi._native as native

    kind, call = MEMBERS[member]
    text = build_input(kind, megabytes, md_file, shape)
    reset_peak()
    before = resident()
    start = time.perf_counter()
    call(native, text)
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    size = len(text.encode())
    print(json.dumps({"member": member, "mb": megabytes, "peak": peak - before, "size": size,
                      "seconds": seconds}))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", default="10,100")
    parser.add_argument("--md", default="")
    parser.add_argument("--shape", default="", choices=[""] + list(SHAPES))
    parser.add_argument("--py", action="append", default=[],
                        help="a directory holding a vedavi build, put first on the module path")
    parser.add_argument("--one", nargs=2, help=argparse.SUPPRESS)
    parser.add_argument("members", nargs="*")
    args = parser.parse_args()
    if args.one:
        run_one(args.one[0], int(args.one[1]), args.md, args.shape)
        return
    builds = args.py or [""]
    if args.py:
        sys.path.insert(0, args.py[0])
    import vedavi._native as native

    members = args.members or [name for name in MEMBERS if hasattr(native, name)]
    label = max([len(b) for b in builds] + [5])
    print(f"{'member':<22}{'input':>8}  {'build':<{label}}{'peak MB':>10}{'x input':>9}{'seconds':>9}")
    for member in members:
        for megabytes in map(int, args.sizes.split(",")):
            for build in builds:
                env = dict(os.environ)
                if build:
                    env["PYTHONPATH"] = os.pathsep.join(
                        [build] + [p for p in env.get("PYTHONPATH", "").split(os.pathsep) if p])
                done = subprocess.run([sys.executable, "-P", __file__, "--md", args.md, "--shape",
                                       args.shape, "--one", member, str(megabytes)],
                                      capture_output=True, text=True, env=env)
                head = f"{member:<22}{megabytes:>6}MB  {build or '-':<{label}}"
                if done.returncode != 0:
                    print(f"{head}  failed: {done.stderr.strip().splitlines()[-1:]}", flush=True)
                    continue
                r = json.loads(done.stdout)
                print(f"{head}{r['peak'] / 1e6:>10.0f}{r['peak'] / r['size']:>9.1f}"
                      f"{r['seconds']:>9.2f}", flush=True)


if __name__ == "__main__":
    main()
