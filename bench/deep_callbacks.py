#!/usr/bin/env python3
"""The cost of callbacks on deeply nested containers against the cost of the strings they get.

    python3 bench/deep_callbacks.py [N ...]

For `"[" * N + "x" + "]{.c}" * N` with a `span` callback that keeps every node, each of the N
callbacks is handed its span's whole subtree as HTML: about N^2 * 12 bytes in all. The table
gives md2vedavi's time with the callback and without, and the time Python takes to build the
same N strings itself (repetition of the tags: little more than copying bytes). The callback's
time should stay within a small factor of building the strings: each default is assembled from
the HTML already handed to the span inside it, never rendered again.
"""

import sys
import time

import vedavi._native as native


def best_of(runs, work):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def main(sizes):
    print(f"{'N':>6}{'handed MB':>11}{'callback s':>12}{'plain s':>9}{'strings s':>11}{'ratio':>7}")
    for n in sizes:
        source = "[" * n + "x" + "]{.c}" * n
        handed = [0]

        def keep(node, html):
            handed[0] += len(html)

        callback = best_of(3, lambda: native.md2vedavi(source, callbacks={"span": keep}))
        plain = best_of(3, lambda: native.md2vedavi(source))

        def strings():
            for k in range(1, n + 1):
                '<span class="c">' * k + "x" + "</span>" * k

        built = best_of(3, strings)
        print(f"{n:>6}{handed[0] / 3e6:>11.0f}{callback:>12.3f}{plain:>9.4f}{built:>11.3f}"
              f"{callback / built:>7.1f}")


if __name__ == "__main__":
    main([int(a) for a in sys.argv[1:]] or [2000, 4000, 8000])
