"""Chunking and re-wrapping against other Markdown splitters and formatters, on real md files.

Chunkers: vedavi's md_chunks, md_chunks_structural and md_chunks_greedy against
langchain-text-splitters' MarkdownTextSplitter and MarkdownHeaderTextSplitter and
semantic-text-splitter's MarkdownSplitter. For each: throughput over the corpus, the share of cuts
that fall inside a fenced code block, a list or a table, and the spread of chunk sizes (words)
around the target. Re-wrapping: wrap_md against mdformat with its wrap option.

Run from the repository root with a Python that sees vedavi and the peers (see README.md):
    python bench/chunk_compare.py [--runs 5] [--target 700] [--width 80]
"""

import argparse
import bisect
import glob
import statistics
import sys
import time

import vedavi._native as native

CORPUS_GLOBS = [
    "/usr/share/doc/**/*.md",
    "/usr/lib/python3/dist-packages/**/*.md",
    "/usr/local/lib/python3*/**/*.md",
]


def corpus():
    texts = {}
    for pattern in CORPUS_GLOBS:
        for path in sorted(glob.glob(pattern, recursive=True)):
            try:
                with open(path, encoding="utf-8") as f:
                    text = f.read()
            except (OSError, UnicodeDecodeError):
                continue
            if len(text) >= 1024:
                texts[path] = text
    return list(texts.values())


def best_time(work, texts, runs):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        for text in texts:
            work(text)
        best = min(best, time.perf_counter() - start)
    return best


# ---- Where each chunker cuts: the source offset at which each chunk after the first starts ----


def strip_level_breadcrumb(text, source, pos):
    """A level chunk is its breadcrumb (lines beginning with '#') and then source text."""
    if source.startswith(text, pos):
        return text
    rest = text
    while rest.startswith("#") and "\n" in rest:
        rest = rest[rest.index("\n") + 1:]
        if source.startswith(rest, pos):
            return rest
    raise AssertionError("a level chunk is not a slice of its source")


def vedavi_cuts(kind, chunks, source):
    cuts, pos = [], 0
    for text, _ in chunks:
        if pos:
            cuts.append(pos)
        if kind == "level":
            text = strip_level_breadcrumb(text, source, pos)
        elif pos and not source.startswith(text, pos):
            text = text[text.index("\n\n") + 2:]
        pos += len(text)
    return cuts


def found_cuts(starts):
    """Cuts from chunk start offsets found in the source (none found: -1)."""
    return [s for s in starts[1:] if s > 0]


def locate(chunks, source):
    """Offsets of chunks that are (stripped) pieces of the source, searched left to right."""
    starts, pos = [], 0
    for chunk in chunks:
        probe = chunk.strip().split("\n", 1)[0].strip()
        at = source.find(probe, pos) if probe else -1
        starts.append(at)
        if at >= 0:
            pos = at + 1
    return starts


# ---- Constructs a cut should not fall into, judged by markdown-it (CommonMark with tables) ----


def construct_ranges(source, md):
    line_starts = [0]
    for i, ch in enumerate(source):
        if ch == "\n":
            line_starts.append(i + 1)

    def offset(line):
        return line_starts[line] if line < len(line_starts) else len(source)

    ranges = []
    for token in md.parse(source):
        if token.map is None:
            continue
        is_list = token.type in ("bullet_list_open", "ordered_list_open") and token.level == 0
        if token.type == "fence" or token.type == "table_open" or is_list:
            ranges.append((offset(token.map[0]), offset(token.map[1])))
    return sorted(ranges)


def line_start_of(source, cut):
    """A cut after nothing but indentation on its line counts as a cut at the line's start."""
    begin = source.rfind("\n", 0, cut) + 1
    return begin if source[begin:cut].strip(" \t") == "" else cut


def cuts_inside(cuts, ranges, source):
    starts = [r[0] for r in ranges]
    inside = 0
    for cut in cuts:
        cut = line_start_of(source, cut)
        k = bisect.bisect_right(starts, cut) - 1
        # Ranges may nest (a fence in a list); any enclosing one counts.
        while k >= 0:
            if ranges[k][0] < cut < ranges[k][1]:
                inside += 1
                break
            k -= 1
            if k >= 0 and ranges[k][1] <= cut and ranges[k][0] < cut - 200_000:
                break
    return inside


# ---- The chunkers ----


def make_chunkers(target, chars_per_word):
    capacity = max(1, round(target * chars_per_word))
    chunkers = {
        "vedavi md_chunks": ("level", lambda t: native.md_chunks(t, target)),
        "vedavi md_chunks_structural": ("structural", lambda t: native.md_chunks_structural(t, target)),
        "vedavi md_chunks_greedy": ("greedy", lambda t: native.md_chunks_greedy(t, target, 200)),
    }
    try:
        from langchain_text_splitters import MarkdownHeaderTextSplitter, MarkdownTextSplitter

        recursive = MarkdownTextSplitter(chunk_size=capacity, chunk_overlap=0)
        headers = MarkdownHeaderTextSplitter(
            headers_to_split_on=[("#", "h1"), ("##", "h2"), ("###", "h3")], strip_headers=False
        )
        chunkers["langchain MarkdownTextSplitter"] = ("texts", recursive.split_text)
        chunkers["langchain MarkdownHeaderTextSplitter"] = (
            "texts", lambda t: [d.page_content for d in headers.split_text(t)])
    except ImportError:
        print("langchain-text-splitters: skipped (not installed)")
    try:
        from semantic_text_splitter import MarkdownSplitter

        semantic = MarkdownSplitter(capacity)
        chunkers["semantic-text-splitter MarkdownSplitter"] = ("indices", semantic.chunk_indices)
    except ImportError:
        print("semantic-text-splitter: skipped (not installed)")
    return chunkers


def quality(kind, chunker, texts, md, target):
    cuts_total = inside_total = lost = 0
    sizes = []
    for source in texts:
        chunks = chunker(source)
        if kind in ("level", "structural", "greedy"):
            cuts = vedavi_cuts(kind, chunks, source)
            words = [len(text.split()) for text, _ in chunks]
        elif kind == "indices":
            cuts = [offset for offset, _ in chunks[1:]]
            words = [len(text.split()) for _, text in chunks]
        else:
            starts = locate(chunks, source)
            lost += starts.count(-1)
            cuts = found_cuts(starts)
            words = [len(text.split()) for text in chunks]
        cuts_total += len(cuts)
        inside_total += cuts_inside(cuts, construct_ranges(source, md), source)
        if sum(words) >= 2 * target:
            sizes.extend(words[:-1])  # a document's last chunk is whatever is left
    return cuts_total, inside_total, lost, sizes


def spread(sizes, target):
    if not sizes:
        return "-", "-", "-"
    ratios = sorted(s / target for s in sizes)
    within = sum(1 for r in ratios if 0.5 <= r <= 1.5) / len(ratios)
    p10 = ratios[len(ratios) // 10]
    p90 = ratios[min(len(ratios) - 1, len(ratios) * 9 // 10)]
    return f"{within:.0%}", f"{statistics.median(ratios):.2f}", f"{p10:.2f}-{p90:.2f}"


def compare_chunkers(texts, args):
    from markdown_it import MarkdownIt

    md = MarkdownIt("commonmark").enable("table")
    total_bytes = sum(len(t.encode()) for t in texts)
    chars_per_word = sum(len(t) for t in texts) / max(1, sum(len(t.split()) for t in texts))
    print(f"target {args.target} words (peers: {round(args.target * chars_per_word)} characters, "
          f"the corpus's {chars_per_word:.2f} characters a word)\n")
    print("| chunker | MB/s | chunks | cuts inside code/list/table | within 0.5-1.5x target "
          "| median size/target | p10-p90 |")
    print("|---|---|---|---|---|---|---|")
    for name, (kind, chunker) in make_chunkers(args.target, chars_per_word).items():
        seconds = best_time(chunker, texts, args.runs)
        cuts, inside, lost, sizes = quality(kind, chunker, texts, md, args.target)
        chunks = cuts + len(texts)
        share = f"{inside / cuts:.1%} ({inside}/{cuts})" if cuts else "-"
        if lost:
            share += f", {lost} chunks not found"
        within, median, p10_p90 = spread(sizes, args.target)
        print(f"| {name} | {total_bytes / seconds / 1e6:.1f} | {chunks} | {share} | {within} "
              f"| {median} | {p10_p90} |")


def compare_wrappers(texts, args):
    total_bytes = sum(len(t.encode()) for t in texts)
    print(f"\nre-wrapping to width {args.width}\n")
    print("| wrapper | MB/s | vedavi x |")
    print("|---|---|---|")
    ours = best_time(lambda t: native.wrap_md(t, args.width), texts, args.runs)
    print(f"| vedavi wrap_md | {total_bytes / ours / 1e6:.1f} | 1.0 |")
    try:
        import mdformat
    except ImportError:
        print("| mdformat | skipped (not installed) | |")
        return
    ok = []
    for t in texts:
        try:
            mdformat.text(t, options={"wrap": args.width})
            ok.append(t)
        except Exception:  # noqa: BLE001 - a formatter that fails on a file is reported, not fatal
            pass
    theirs = best_time(lambda t: mdformat.text(t, options={"wrap": args.width}), ok, max(1, args.runs // 2))
    ok_bytes = sum(len(t.encode()) for t in ok)
    ours_ok = best_time(lambda t: native.wrap_md(t, args.width), ok, args.runs)
    note = "" if len(ok) == len(texts) else f" ({len(texts) - len(ok)} files failed)"
    print(f"| mdformat wrap={args.width}{note} | {ok_bytes / theirs / 1e6:.2f} | {theirs / ours_ok:.0f} |")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--target", type=int, default=700)
    parser.add_argument("--width", type=int, default=80)
    args = parser.parse_args()
    texts = corpus()
    size = sum(len(t.encode()) for t in texts)
    print(f"corpus: {len(texts)} md files, {size / 1e6:.2f} MB, Python {sys.version.split()[0]}\n")
    compare_chunkers(texts, args)
    compare_wrappers(texts, args)


if __name__ == "__main__":
    main()
