"""Time vedavi's md2vedavi against other Markdown processors on three ~1 MB md inputs.

    python bench/md_compare.py [--runs N] [--spec PATH] [--no-memory] [--only NAME ...]

Inputs, all built here at run time and never committed:

- "spec x5": the CommonMark spec text (../shared/testdata/commonmark/spec.txt relative to the
  repository root) five times over;
- "prose": the md files found on this machine (under /usr/share/doc and the Python
  package directories), whole files in path order until about 1 MB;
- "lists/tables/links": generated nested lists, pipe tables, inline links and bare URLs.

Every processor runs in this Python process and is timed around the call that turns the text
into HTML, best of N runs: vedavi, cmarkgfm, md4c (bench/md4c_driver.c compiled here into a
shared library against Debian's md4c and called through ctypes), markdown-it-py and mistune.
md4c and cmarkgfm run twice: as CommonMark, and with their GitHub dialect (pipe tables,
strikethrough, bare links), which reads the third input's tables and bare URLs as md2vedavi does.
The `cmark` command, when installed, is timed around the whole process less its best time on
an empty file.

Then, unless --no-memory, each in-process processor runs in a fresh subprocess: on each input
the times of its first and second call, then the page faults and time of a call made right after
other allocation in the same process (as in a pipeline converting one document at a time), and
on 10 MB inputs (the three inputs repeated; prose alone; the dense lists/tables/links alone) the
growth of the process's peak resident size over the call (VmHWM, its mark lowered through
/proc/self/clear_refs once the input is read), as a multiple of the input's size: the HTML made
counts, the input does not. Unless --no-allocations, and when valgrind is installed, the heap
allocations of one call are counted: each processor runs under valgrind's DHAT once with one
call per input and once with three, and the difference is halved. A processor that is not
installed, or whose driver does not build, is skipped. bench/README.md says what to install.
"""

from __future__ import annotations

import argparse
import ctypes
import gc
import json
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

from compare_util import best_of

REPO = Path(__file__).resolve().parent.parent
DEFAULT_SPEC = REPO.parent / "shared" / "testdata" / "commonmark" / "spec.txt"
INPUT_BYTES = 1_000_000
MEMORY_INPUT_BYTES = 10_000_000
INTERLEAVED_ROUNDS = 5  # calls after other allocation, in a child; the best time and fewest faults count
PROSE_ROOTS = ["/usr/share/doc", "/usr/lib/python3/dist-packages", *sys.path]
MD4C_LIBRARY_ENV = "MD_COMPARE_MD4C"  # the built driver's path, for the subprocesses


# ---------------------------------------------------------------------------------------------
# Inputs


def spec_input(spec: Path) -> str:
    return spec.read_text(encoding="utf-8") * 5


def machine_md_files() -> list[Path]:
    """The md files found on the machine (outside this repository), each once, in path order."""
    seen: set[Path] = set()
    for root in PROSE_ROOTS:
        base = Path(root)
        if not base.is_dir() or REPO in base.resolve().parents:
            continue
        for path in sorted(base.rglob("*.md")):
            real = path.resolve()
            if real not in seen and real.is_file():
                seen.add(real)
    return sorted(seen)


def prose_input() -> str:
    """Whole md files found on the machine, in path order, until INPUT_BYTES."""
    parts: list[str] = []
    size = 0
    for path in machine_md_files():
        try:
            text = path.read_text(encoding="utf-8")
        except (OSError, UnicodeDecodeError):
            continue
        if len(text) > INPUT_BYTES // 4:  # no single file dominates the mix
            continue
        parts.append(text if text.endswith("\n") else text + "\n")
        size += len(text.encode())
        if size >= INPUT_BYTES:
            break
    return "\n".join(parts)


WORDS = ("alpha beta gamma delta parser render block inline table list value number "
         "markdown output source token stream buffer index offset range node tree").split()


def generated_input(seed: int = 19) -> str:
    """Nested lists, pipe tables, inline links and bare URLs, about INPUT_BYTES."""
    rng = random.Random(seed)

    def word() -> str:
        return rng.choice(WORDS)

    # Each word of a phrase: the first kind whose share, added up, passes a random draw.
    kinds = [
        (0.06, lambda: f"[{word()}](https://example.com/{word()}/{rng.randrange(999)})"),
        (0.10, lambda: f"https://www.{word()}.org/{word()}?q={rng.randrange(99)}"),
        (0.12, lambda: f"www.{word()}.net"),
        (0.14, lambda: f"{word()}@{word()}.com"),
        (0.18, lambda: f"*{word()}*"),
        (0.20, lambda: f"`{word()}()`"),
        (1.00, word),
    ]

    def phrase(n: int) -> str:
        words = []
        for _ in range(n):
            pick = rng.random()
            words.append(next(make for share, make in kinds if pick < share)())
        return " ".join(words)

    out: list[str] = []
    size = 0
    while size < INPUT_BYTES:
        chunk: list[str] = [f"## {phrase(4)}\n\n{phrase(40)}\n"]
        for _ in range(rng.randrange(4, 12)):
            depth = rng.randrange(0, 4)
            marker = f"{rng.randrange(1, 9)}." if rng.random() < 0.3 else "-"
            chunk.append("  " * depth * 2 + f"{marker} {phrase(rng.randrange(3, 14))}")
        chunk.append("")
        columns = rng.randrange(2, 6)
        chunk.append("| " + " | ".join(phrase(1) for _ in range(columns)) + " |")
        chunk.append("|" + "|".join(rng.choice(["---", ":--", "--:", ":-:"]) for _ in range(columns)) + "|")
        for _ in range(rng.randrange(3, 10)):
            chunk.append("| " + " | ".join(phrase(rng.randrange(1, 5)) for _ in range(columns)) + " |")
        chunk.append("")
        text = "\n".join(chunk) + "\n"
        out.append(text)
        size += len(text)
    return "".join(out)


def memory_input(inputs: list[tuple[str, str]]) -> str:
    """The inputs repeated, cut at a line end near MEMORY_INPUT_BYTES."""
    mixed = "".join(text for _, text in inputs)
    whole = mixed * (MEMORY_INPUT_BYTES // len(mixed) + 1)
    return whole[: whole.index("\n", MEMORY_INPUT_BYTES) + 1]


def memory_inputs(inputs: list[tuple[str, str]]) -> list[tuple[str, str]]:
    """The 10 MB inputs of the peak measure: all three mixed, prose alone, dense markup alone."""
    by_label = dict(inputs)
    return [("mixed", memory_input(inputs)), ("prose", memory_input([("prose", by_label["prose"])])),
            ("dense", memory_input([("dense", by_label["lists/tables/links"])]))]


def build_inputs(spec: Path) -> list[tuple[str, str]]:
    return [("spec x5", spec_input(spec)), ("prose", prose_input()), ("lists/tables/links", generated_input())]


# ---------------------------------------------------------------------------------------------
# Processors


def make_vedavi() -> Callable[[str], object]:
    from vedavi._native import md2vedavi  # noqa: PLC0415 (optional: may not be built yet)

    return lambda text: md2vedavi(text)[0]


def make_cmarkgfm() -> Callable[[str], object]:
    import cmarkgfm  # noqa: PLC0415
    from cmarkgfm.cmark import Options  # noqa: PLC0415

    return lambda text: cmarkgfm.markdown_to_html(text, options=Options.CMARK_OPT_UNSAFE)


def make_cmarkgfm_github() -> Callable[[str], object]:
    import cmarkgfm  # noqa: PLC0415
    from cmarkgfm.cmark import Options  # noqa: PLC0415

    return lambda text: cmarkgfm.github_flavored_markdown_to_html(text, options=Options.CMARK_OPT_UNSAFE)


class Md4c:
    """md4c through the driver library; the UTF-8 of the last input is made once, by `prepare`."""

    def __init__(self, path: str, entry: str = "md4c_convert") -> None:
        self.lib = ctypes.CDLL(path)
        self.convert = getattr(self.lib, entry)
        self.convert.restype = ctypes.c_long
        self.convert.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_void_p)]
        self.lib.md4c_release.argtypes = [ctypes.c_void_p]
        self.text: str | None = None
        self.data = b""

    def prepare(self, text: str) -> None:
        if text is not self.text:
            self.text, self.data = text, text.encode()

    def __call__(self, text: str) -> bytes:
        self.prepare(text)
        out = ctypes.c_void_p()
        size = self.convert(self.data, len(self.data), ctypes.byref(out))
        if size < 0:
            raise RuntimeError("md4c failed")
        html = ctypes.string_at(out, size)
        self.lib.md4c_release(out)
        return html


def make_md4c() -> Callable[[str], object]:
    path = os.environ.get(MD4C_LIBRARY_ENV)
    if not path:
        raise ImportError("md4c driver not built")
    return Md4c(path)


def make_md4c_github() -> Callable[[str], object]:
    path = os.environ.get(MD4C_LIBRARY_ENV)
    if not path:
        raise ImportError("md4c driver not built")
    return Md4c(path, "md4c_convert_github")


def make_markdown_it() -> Callable[[str], object]:
    from markdown_it import MarkdownIt  # noqa: PLC0415

    return MarkdownIt("commonmark").render


def make_mistune() -> Callable[[str], object]:
    import mistune  # noqa: PLC0415

    return mistune.create_markdown(escape=False)


PROCESSORS: dict[str, Callable[[], Callable[[str], object]]] = {
    "vedavi md2vedavi": make_vedavi,
    "md4c (ctypes)": make_md4c,
    "md4c GFM (ctypes)": make_md4c_github,
    "cmarkgfm (Python)": make_cmarkgfm,
    "cmarkgfm GFM (Python)": make_cmarkgfm_github,
    "markdown-it-py": make_markdown_it,
    "mistune": make_mistune,
}
SLOW = {"markdown-it-py", "mistune"}  # pure Python: fewer runs, as their times barely vary


def build_md4c_driver(workdir: Path) -> tuple[Path | None, str]:
    """Compile bench/md4c_driver.c into a shared library; (path, "") or (None, why not)."""
    compiler = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        return None, "no C compiler"
    library = workdir / "md4c_driver.so"
    source = Path(__file__).with_name("md4c_driver.c")
    built = subprocess.run([compiler, "-O2", "-shared", "-fPIC", str(source), "-o", str(library),
                            "-lmd4c-html", "-lmd4c"], capture_output=True, text=True)
    if built.returncode != 0:
        first_line = (built.stderr.strip().splitlines() or ["build failed"])[0]
        return None, f"driver does not build ({first_line})"
    return library, ""


# ---------------------------------------------------------------------------------------------
# Timing


@dataclass
class Result:
    seconds: float | None = None  # best time; None when skipped
    output_bytes: int = 0
    note: str = ""


def time_in_process(runs: int, text: str, convert: Callable[[str], object]) -> Result:
    out = convert(text)  # also warms up: first-call imports, caches
    size = len(out) if isinstance(out, bytes) else len(out.encode())
    return Result(best_of(runs, lambda: convert(text)), size)


def time_command(runs: int, argv: list[str], input_path: Path, empty_path: Path) -> Result:
    def run(path: Path) -> None:
        done = subprocess.run([*argv, str(path)], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if done.returncode != 0:
            raise RuntimeError(done.stderr.decode(errors="replace").strip() or f"exit {done.returncode}")

    try:
        run(input_path)
        full = best_of(runs, lambda: run(input_path))
        startup = best_of(runs, lambda: run(empty_path))
    except (OSError, RuntimeError) as err:
        return Result(note=f"skipped: {err}")
    return Result(max(full - startup, 1e-9), note=f"command, start-up {startup * 1e3:.1f} ms subtracted")


def reset_peak() -> None:
    """Lowers the process's peak resident size to its current size (Linux), so that the next
    reading of the peak holds what came after, not the reading of the input. Free heap memory
    is first given back, so that no processor runs in pages that reading the input left behind."""
    try:
        ctypes.CDLL(None).malloc_trim(0)
    except (OSError, AttributeError):
        pass
    with open("/proc/self/clear_refs", "w") as refs:
        refs.write("5")


def peak_resident() -> int:
    """The process's peak resident size in bytes: VmHWM, which ru_maxrss would give too, but for
    a fresh process ru_maxrss starts at its parent's peak (it survives exec)."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024


def minor_faults() -> int:
    return resource.getrusage(resource.RUSAGE_SELF).ru_minflt


def other_work() -> None:
    """Allocates and frees about 20 MB in blocks large and small, as a program's own work
    between two conversions would: the allocator may hand the freed heap back to the system."""
    blocks = [bytearray(200_000) for _ in range(100)]
    words = [str(i) * 10 for i in range(200_000)]
    del blocks, words
    gc.collect()


def child_main(name: str, path: str) -> int:
    """In a fresh process: first and second call times, the peak resident growth (bytes), and
    the time and minor page faults of a call right after other allocation."""
    text = Path(path).read_text(encoding="utf-8")
    convert = PROCESSORS[name]()
    if hasattr(convert, "prepare"):
        convert.prepare(text)
    gc.collect()
    reset_peak()
    before = peak_resident()
    start = time.perf_counter()
    out = convert(text)
    first = time.perf_counter() - start
    after = peak_resident()
    del out
    start = time.perf_counter()
    convert(text)
    second = time.perf_counter() - start
    interleaved, faults = float("inf"), None
    for _ in range(INTERLEAVED_ROUNDS):
        other_work()
        faults_before = minor_faults()
        start = time.perf_counter()
        out = convert(text)
        interleaved = min(interleaved, time.perf_counter() - start)
        got = minor_faults() - faults_before
        faults = got if faults is None else min(faults, got)
        del out
    print(json.dumps({"first": first, "second": second, "peak_growth": after - before,
                      "interleaved": interleaved, "interleaved_faults": faults}))
    return 0


def count_main(name: str, calls: int, paths: list[str]) -> int:
    """Runs the processor `calls` times on each file, for the allocation count under valgrind."""
    convert = PROCESSORS[name]()
    for path in paths:
        text = Path(path).read_text(encoding="utf-8")
        if hasattr(convert, "prepare"):
            convert.prepare(text)
        convert(text)  # the first call sets up what later calls reuse; it counts on both sides
        for _ in range(calls - 1):
            convert(text)
    return 0


def count_allocations(name: str, path: Path) -> int | None:
    """Heap allocations of one call on the file: DHAT's block count with three calls, less that
    with one, halved. None when valgrind is missing or a run fails."""
    valgrind = shutil.which("valgrind")
    if valgrind is None:
        return None
    totals = []
    for calls in (1, 3):
        done = subprocess.run([valgrind, "--tool=dhat", "--dhat-out-file=/dev/null", sys.executable,
                               __file__, "--count", name, str(calls), str(path)],
                              capture_output=True, text=True)
        found = [line for line in done.stderr.splitlines() if "Total:" in line and "blocks" in line]
        if done.returncode != 0 or not found:
            return None
        totals.append(int(found[-1].split(" in ")[-1].split()[0].replace(",", "")))
    return (totals[1] - totals[0]) // 2


def run_child(name: str, path: Path) -> dict | None:
    done = subprocess.run([sys.executable, __file__, "--child", name, str(path)], capture_output=True, text=True)
    if done.returncode != 0:
        return None
    return json.loads(done.stdout)


# ---------------------------------------------------------------------------------------------
# Report


def print_speed_table(inputs: list[tuple[str, str]], names: list[str], table: dict, runs: int) -> None:
    print(f"## Speed: best of {runs} runs (pure-Python processors: best of {max(1, runs // 5)})\n")
    print("| input | processor | best ms | MB/s | x md2vedavi | out KB | note |")
    print("|---|---|---|---|---|---|---|")
    for label, text in inputs:
        mb = len(text.encode()) / 1e6
        ours = table[label].get("vedavi md2vedavi")
        for name in names:
            r = table[label][name]
            if r.seconds is None:
                print(f"| {label} ({mb:.2f} MB) | {name} | - | - | - | - | {r.note} |")
                continue
            ratio = f"{r.seconds / ours.seconds:.2f}" if ours and ours.seconds else "-"
            out_kb = f"{r.output_bytes / 1024:.0f}" if r.output_bytes else "-"
            print(f"| {label} ({mb:.2f} MB) | {name} | {r.seconds * 1e3:.2f} | {mb / r.seconds:.1f} | {ratio} "
                  f"| {out_kb} | {r.note} |")
    print("\nx md2vedavi: the processor's time over md2vedavi's (above 1: md2vedavi is faster)\n")


def print_child_table(inputs: list[tuple[str, str]], names: list[str], children: dict,
                      memory: list[tuple[str, str]]) -> None:
    print("## First and second call in a fresh process (ms)\n")
    print("| processor | " + " | ".join(f"{label} 1st / 2nd" for label, _ in inputs) + " |")
    print("|---|" + "---|" * len(inputs))
    for name in names:
        cells = []
        for label, _ in inputs:
            got = children.get((name, label))
            cells.append(f"{got['first'] * 1e3:.1f} / {got['second'] * 1e3:.1f}" if got else "-")
        print(f"| {name} | " + " | ".join(cells) + " |")
    print(f"\n## A call right after other allocation (best of {INTERLEAVED_ROUNDS}): ms, minor page "
          "faults, and its time over the second call's\n")
    print("| processor | " + " | ".join(f"{label} ms / faults / x 2nd" for label, _ in inputs) + " |")
    print("|---|" + "---|" * len(inputs))
    for name in names:
        cells = []
        for label, _ in inputs:
            got = children.get((name, label))
            cells.append(f"{got['interleaved'] * 1e3:.1f} / {got['interleaved_faults']} / "
                         f"{got['interleaved'] / got['second']:.2f}" if got else "-")
        print(f"| {name} | " + " | ".join(cells) + " |")
    sizes = ", ".join(f"{label} {len(text.encode()) / 1e6:.1f} MB" for label, text in memory)
    print(f"\n## Peak resident growth of one call, x input ({sizes})\n")
    print("| processor | " + " | ".join(label for label, _ in memory) + " |")
    print("|---|" + "---|" * len(memory))
    for name in names:
        cells = []
        for label, text in memory:
            got = children.get((name, f"memory {label}"))
            cells.append(f"{got['peak_growth'] / len(text.encode()):.1f}" if got else "-")
        print(f"| {name} | " + " | ".join(cells) + " |")
    print()


def print_allocation_table(inputs: list[tuple[str, str]], names: list[str], counts: dict) -> None:
    print("## Heap allocations per call (valgrind DHAT; three calls less one, halved)\n")
    print("| processor | " + " | ".join(label for label, _ in inputs) + " |")
    print("|---|" + "---|" * len(inputs))
    for name in names:
        cells = [f"{counts[(name, label)]:,}" if counts.get((name, label)) is not None else "-"
                 for label, _ in inputs]
        print(f"| {name} | " + " | ".join(cells) + " |")
    print()


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs per processor; the best counts")
    parser.add_argument("--spec", type=Path, default=DEFAULT_SPEC, help="the CommonMark spec text")
    parser.add_argument("--no-memory", action="store_true", help="skip the fresh-process measurements")
    parser.add_argument("--no-allocations", action="store_true", help="skip the allocation counts")
    parser.add_argument("--only", nargs="+", choices=list(PROCESSORS), help="these processors only")
    parser.add_argument("--child", nargs=2, metavar=("NAME", "FILE"), help=argparse.SUPPRESS)
    parser.add_argument("--count", nargs=3, metavar=("NAME", "CALLS", "FILE"), help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.child:
        return child_main(*args.child)
    if args.count:
        return count_main(args.count[0], int(args.count[1]), [args.count[2]])
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    try:
        inputs = build_inputs(args.spec)
    except OSError as err:
        print(f"cannot read the input text: {err}", file=sys.stderr)
        return 1

    with tempfile.TemporaryDirectory(prefix="md_compare-") as tmp:
        workdir = Path(tmp)
        driver, why = build_md4c_driver(workdir)
        if driver:
            os.environ[MD4C_LIBRARY_ENV] = str(driver)
        names = args.only or list(PROCESSORS)
        converters: dict[str, Callable[[str], object] | str] = {}
        for name in names:
            try:
                converters[name] = PROCESSORS[name]()
            except ImportError as err:
                converters[name] = f"skipped: {why if name.startswith('md4c') and why else str(err).split(' (')[0]}"
        try:
            import vedavi._native as native  # noqa: PLC0415

            print(f"vedavi from {native.__file__}\n")
        except ImportError:
            pass

        table: dict[str, dict[str, Result]] = {}
        cmark = shutil.which("cmark") if not args.only else None
        for label, text in inputs:
            table[label] = {}
            for name in names:
                convert = converters[name]
                runs = max(1, args.runs // 5) if name in SLOW else args.runs
                table[label][name] = (Result(note=convert) if isinstance(convert, str)
                                      else time_in_process(runs, text, convert))
            if cmark:
                paths = [workdir / "input.md", workdir / "empty.md"]
                paths[0].write_text(text, encoding="utf-8")
                paths[1].write_bytes(b"")
                table[label]["cmark (command)"] = time_command(args.runs, [cmark, "--unsafe"], *paths)
        print_speed_table(inputs, names + (["cmark (command)"] if cmark else []), table, args.runs)

        files = {label: workdir / f"input{i}.md" for i, (label, _) in enumerate(inputs)}
        for label, text in inputs:
            files[label].write_text(text, encoding="utf-8")
        present = [n for n in names if not isinstance(converters[n], str)]
        if not args.no_memory:
            children: dict[tuple[str, str], dict] = {}
            memory = memory_inputs(inputs)
            child_files = dict(files)
            for i, (label, text) in enumerate(memory):
                child_files[f"memory {label}"] = workdir / f"memory{i}.md"
                child_files[f"memory {label}"].write_text(text, encoding="utf-8")
            for name in present:
                for key, path in child_files.items():
                    got = run_child(name, path)
                    if got:
                        children[(name, key)] = got
            print_child_table(inputs, present, children, memory)
        if not args.no_allocations:
            counts = {(name, label): count_allocations(name, files[label])
                      for name in present if name not in SLOW for label, _ in inputs}
            print_allocation_table(inputs, [n for n in present if n not in SLOW], counts)
    return 0


if __name__ == "__main__":
    sys.exit(main())
