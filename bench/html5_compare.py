#!/usr/bin/env python3
"""Times HTML5 parsers on one file in one run: this engine (bench/html5_bench.cpp, compiled on
demand) beside Python's html5lib and, where they are installed, a gumbo-based parser
(html5-parser) and a lexbor-based one (selectolax). Prints each parser's throughput and how many
times faster the engine is.

    python3 bench/html5_compare.py page.html [--rounds N] [--engine PATH]

Run it with a Python that has the other parsers, e.g. a venv with
    pip install html5lib selectolax html5-parser
html5-parser refuses to load beside an lxml wheel built on another libxml2; an lxml built from
source against the system's libxml2 (pip install --no-binary lxml "lxml<6") fits its wheel.

Without --engine the bench command is compiled with c++ into a temporary folder. The Python
parsers are timed on the decoded text (str), each over at least one second or --rounds rounds.
Every figure is the best round, which is the steadiest on a busy machine.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build_engine(folder):
    exe = os.path.join(folder, "html5_bench")
    sources = [os.path.join("html5", f) for f in sorted(os.listdir(os.path.join(ROOT, "html5")))
               if f.endswith(".cpp")]
    cmd = ["c++", "-O2", "-DNDEBUG", "-std=c++20", "-Isrc", "-I.", "bench/html5_bench.cpp",
           *sources, "src/utf8.cpp", "-o", exe]
    subprocess.run(cmd, cwd=ROOT, check=True)
    return exe


def engine_mb_per_s(exe, path, rounds):
    out = subprocess.run([exe, path, str(rounds)], check=True, capture_output=True,
                         text=True).stdout
    match = re.search(r"([0-9.]+) MB/s best", out)
    if not match:
        sys.exit("unexpected bench output: " + out)
    return float(match.group(1))


def time_python(parse, text, size, rounds):
    parse(text)  # warm up (imports, caches)
    done, spent, best = 0, 0.0, float("inf")
    while done < rounds or spent < 1.0:
        start = time.perf_counter()
        parse(text)
        took = time.perf_counter() - start
        best = min(best, took)
        spent += took
        done += 1
        if spent > 30:
            break
    return size / best / 1e6


def python_parsers():
    parsers = []
    try:
        import html5lib
        parsers.append(("html5lib " + html5lib.__version__, html5lib.parse))
    except ImportError:
        print("html5lib: not installed")
    try:
        import html5_parser
        parsers.append(("html5-parser (gumbo)", html5_parser.parse))
    except (ImportError, RuntimeError) as e:
        print("html5-parser (gumbo): unavailable:", e)
    try:
        from selectolax.lexbor import LexborHTMLParser
        parsers.append(("selectolax (lexbor)", LexborHTMLParser))
    except ImportError:
        print("selectolax (lexbor): not installed")
    return parsers


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("file")
    ap.add_argument("--rounds", type=int, default=20)
    ap.add_argument("--engine", help="a compiled bench/html5_bench.cpp")
    args = ap.parse_args()

    with open(args.file, "rb") as f:
        data = f.read()
    text = data.decode("utf-8", errors="replace")
    with tempfile.TemporaryDirectory() as folder:
        exe = args.engine or build_engine(folder)
        engine = engine_mb_per_s(exe, os.path.abspath(args.file), max(args.rounds, 20))
    print(f"{'vedavi html5 (C++)':28} {engine:9.1f} MB/s")
    for name, parse in python_parsers():
        speed = time_python(parse, text, len(data), args.rounds)
        print(f"{name:28} {speed:9.1f} MB/s   engine is {engine / speed:6.1f}x faster")


if __name__ == "__main__":
    main()
