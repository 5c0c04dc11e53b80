#!/usr/bin/env python3
"""Mutation sampler: how many small faults in the native code do the tests catch?

A fixed seed picks N one-line mutants over src/, html5/, fast5ever/ and py/ (files weighted by size;
never in comments, string literals, asserts, preprocessor lines or generated tables). Each worker
owns a copy of the tree under build/mutants/w<i>/ with its own incremental build; per mutant it
applies the change, rebuilds, runs the C++ programs and then pytest (stopping at the first failure),
and restores the file. A mutant is killed when a test fails, crashes or times out; it is "same code"
when its object file comes out byte-identical (an equivalent mutant, no tests run); "not compiled"
when the build fails. See tools/README.md.
"""
import argparse
import concurrent.futures
import dataclasses
import hashlib
import json
import os
import queue
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ("src", "html5", "fast5ever", "py")
SUFFIXES = (".cpp", ".h")


@dataclasses.dataclass
class Mutant:
    ident: int
    path: str      # relative to the tree root
    line: int      # 1-based
    kind: str
    before: str    # the whole original line
    after: str     # the whole mutated line

    def folder(self):
        parts = self.path.split("/")
        return "/".join(parts[:2]) if parts[0] == "src" else parts[0]

    def describe(self):
        return f"{self.path}:{self.line} [{self.kind}] {self.before.strip()}  =>  {self.after.strip() or '(deleted)'}"


# --- Finding mutation sites -------------------------------------------------------------------

def code_masks(text):
    """Per line, the line with comments and string/char literals blanked (same length), so that
    operator matches never fall inside them."""
    out = []
    i, n = 0, len(text)
    chars = list(text)
    state = None  # None, 'block', 'line', 'str', 'chr', 'raw'
    raw_end = ""
    while i < n:
        c = text[i]
        if state is None:
            if text.startswith("//", i):
                state = "line"
                continue
            if text.startswith("/*", i):
                state = "block"
                chars[i] = chars[i + 1] = " "
                i += 2
                continue
            m = re.match(r'(?:u8|u|U|L)?R"([^()\\ ]{0,16})\(', text[i:i + 24])
            if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
                state, raw_end = "raw", ")" + m.group(1) + '"'
                for k in range(i, i + m.end()):
                    chars[k] = " "
                i += m.end()
                continue
            if c == '"':
                state = "str"
            elif c == "'" and not (i > 0 and text[i - 1].isalnum()):  # not a digit separator
                state = "chr"
            i += 1
            continue
        if state == "line":
            if c == "\n":
                state = None
            else:
                chars[i] = " "
            i += 1
        elif state == "block":
            if text.startswith("*/", i):
                chars[i] = chars[i + 1] = " "
                state = None
                i += 2
            else:
                if c != "\n":
                    chars[i] = " "
                i += 1
        elif state == "raw":
            if text.startswith(raw_end, i):
                for k in range(i, i + len(raw_end)):
                    chars[k] = " "
                state = None
                i += len(raw_end)
            else:
                if c != "\n":
                    chars[i] = " "
                i += 1
        else:  # str / chr
            quote = '"' if state == "str" else "'"
            if c == "\\":
                chars[i] = " "
                if i + 1 < n and text[i + 1] != "\n":
                    chars[i + 1] = " "
                i += 2
            elif c == quote:
                state = None
                i += 1
            elif c == "\n":
                state = None
                i += 1
            else:
                chars[i] = " "
                i += 1
    out = "".join(chars).split("\n")
    return out


SWAPS = [
    ("relational", r" (<=|>=|==|!=|<|>) ", {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}),
    ("logical", r" (&&|\|\|) ", {"&&": "||", "||": "&&"}),
    ("bool", r"\b(true|false)\b", {"true": "false", "false": "true"}),
    ("jump", r"\b(break|continue)\b\s*;", {"break": "continue", "continue": "break"}),
]
SKIP_LINE = re.compile(r"^\s*#|\bassert\s*\(|static_assert|\bVEDAVI_ASSERT|\bcase\b.*:|^\s*template\b|\benum\b")
DECL_START = re.compile(r"^\s*(?:return|auto|const|constexpr|static|using|typedef|struct|class|enum|namespace|"
                        r"template|friend|inline|virtual|explicit|public|private|protected|throw|delete|new|"
                        r"unsigned|signed|int|bool|char|void|double|float|long|short|size_t|std::|[\w:<>]+\s+[&*]?\w+\s*[=({;\[])")
DECLARES = re.compile(r"\bauto\b|^\s*[\w:<>]+\s*[*&]?\s+\w+\s*=")
SPECIAL_MEMBER = re.compile(r"=\s*(default|delete)\s*;|^\s*~?[A-Z]\w*\(")
ENUMERATOR = re.compile(r"^\s*\w+\s*=\s*-?\d+\s*,")
STATEMENT = re.compile(r"^\s*[\w.\[\]>\-:()*]+(?:\s*(?:\+=|-=|\|=|&=|=|\+\+|--)|\s*\()")


def balanced_paren(code, start):
    depth = 0
    for k in range(start, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def sites_in_line(line, code, prev_code):
    """Every mutation of one line: (kind, mutated line)."""
    if not code.strip() or SKIP_LINE.search(code):
        return []
    sites = []
    for kind, pattern, table in SWAPS:
        for m in re.finditer(pattern, code):
            a, b = m.span(1)
            sites.append((kind, line[:a] + table[m.group(1)] + line[b:]))
    for m in [] if ENUMERATOR.match(code) else re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", code):
        value = int(m.group(1))
        a, b = m.span(1)
        for delta in (1, -1):
            if value + delta >= 0:
                sites.append(("constant", line[:a] + str(value + delta) + line[b:]))
    for m in re.finditer(r"\b(if|while)\s*\(", code):
        open_at = m.end() - 1
        close_at = balanced_paren(code, open_at)
        inner = code[open_at + 1:close_at]
        if close_at < 0 or ";" in inner or DECLARES.search(inner) or inner.lstrip().startswith("constexpr"):
            continue
        sites.append(("negate", line[:open_at + 1] + "!(" + line[open_at + 1:close_at] + ")" + line[close_at:]))
    stripped = code.strip()
    if (stripped.endswith(";") and STATEMENT.match(code) and not DECL_START.match(code) and not SPECIAL_MEMBER.search(code)
            and code.count("(") == code.count(")") and prev_code.rstrip().endswith((";", "{", "}", ":"))):
        sites.append(("delete", ""))
    return sites


def candidate_files():
    files = []
    for folder in FOLDERS:
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix in SUFFIXES and path.is_file():
                files.append(path)
    return files


def pick_mutants(seed, count):
    rng = random.Random(seed)
    files = candidate_files()
    weights = [f.stat().st_size for f in files]
    cache = {}
    chosen, seen = [], set()
    attempts = 0
    while len(chosen) < count and attempts < count * 200:
        attempts += 1
        path = rng.choices(files, weights)[0]
        if path not in cache:
            text = path.read_text()
            lines = text.split("\n")
            masks = code_masks(text)
            sites = []
            prev = ""
            for idx, (line, code) in enumerate(zip(lines, masks)):
                for kind, after in sites_in_line(line, code, prev):
                    sites.append((idx + 1, kind, line, after))
                if code.strip():
                    prev = code
            cache[path] = sites
        sites = cache[path]
        if not sites:
            continue
        line_no, kind, before, after = rng.choice(sites)
        rel = str(path.relative_to(ROOT))
        key = (rel, line_no, after)
        if key in seen:
            continue
        seen.add(key)
        chosen.append(Mutant(len(chosen), rel, line_no, kind, before, after))
    return chosen


# --- Workers ----------------------------------------------------------------------------------

class Worker:
    def __init__(self, index, args):
        self.args = args
        self.home = ROOT / "build" / "mutants" / f"w{index}"
        self.tree = self.home / "tree"
        self.build = self.home / "build"
        self.pydir = self.home / "py"
        self.log = self.home / "last.log"
        self.object_hashes = {}

    def run(self, cmd, timeout=None, cwd=None, env=None):
        cmd = ["nice", "-n", str(self.args.nice)] + cmd
        try:
            proc = subprocess.run(cmd, cwd=cwd, env=env, timeout=timeout,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        except subprocess.TimeoutExpired:
            return "timeout", ""
        return proc.returncode, proc.stdout

    def prepare(self):
        self.home.mkdir(parents=True, exist_ok=True)
        sync_tree(ROOT, self.tree)
        if self.args.before:
            install_earlier_tests(self.args.before, self.tree)
        shared = (ROOT / ".." / "shared").resolve()
        link = self.home / "shared"
        if shared.exists() and not link.exists():
            link.symlink_to(shared)
        if not (self.build / "build.ninja").exists():
            subprocess.run(["cmake", "-S", str(self.tree), "-B", str(self.build), "-G", "Ninja",
                            "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG",
                            "-DBUILD_TESTING=ON", "-DVEDAVI_BUILD_PYTHON=ON", "-DVEDAVI_FAULT_INJECTION=ON"],
                           check=True, stdout=subprocess.DEVNULL)
        code, out = self.run(["cmake", "--build", str(self.build), "-j", str(self.args.jobs)])
        if code != 0:
            sys.exit(f"worker build failed in {self.build}:\n{out[-3000:]}")
        self.pydir.joinpath("vedavi").mkdir(parents=True, exist_ok=True)
        for item in (self.tree / "vedavi").iterdir():
            target = self.pydir / "vedavi" / item.name
            if not target.exists():
                target.symlink_to(item)
        for so in self.build.glob("_native*.so"):
            target = self.pydir / "vedavi" / so.name
            if not target.exists():
                target.symlink_to(so)
        for obj in self.build.rglob("*.o"):
            self.object_hashes[obj] = digest(obj)
        for suite in self.suites():
            verdict, detail = self.test(None, suite)
            if verdict != "survived":
                sys.exit(f"the unmutated tree fails its tests ({suite or 'current'}) in {self.tree}:\n{detail}")

    def suites(self):
        return ["", EARLIER] if self.args.before else [""]

    def object_of(self, rel):
        for target in ("vedavi_core", "_native"):
            obj = self.build / "CMakeFiles" / f"{target}.dir" / (rel + ".o")
            if obj.exists():
                return obj
        return None

    def test(self, mutant, suite=""):
        """Runs one suite (the current tests, or with suite EARLIER those of --before), the mutated
        module's own program first; stops at the first failure."""
        if mutant is None or not mutant.path.startswith("py/"):
            programs = sorted(p.name[len("test_"):] for p in self.build.glob("test_*") if os.access(p, os.X_OK))
            programs = [name for name in programs if name.startswith(EARLIER) == bool(suite)]
            own = suite + mutant.folder().split("/")[-1] if mutant else None
            programs.sort(key=lambda name: name != own)
            for name in programs:
                code, out = self.run([str(self.build / f"test_{name}"), "--gtest_brief=1"],
                                     timeout=self.args.timeout, cwd=self.build)
                if code != 0:
                    return "killed", f"C++ {name} ({'timeout' if code == 'timeout' else 'exit ' + str(code)})"
        shutil.rmtree(self.tree / ".hypothesis", ignore_errors=True)
        env = dict(os.environ, PYTHONPATH=str(self.pydir), PYTHONDONTWRITEBYTECODE="1")
        code, out = self.run([sys.executable, "-P", "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider",
                              "--hypothesis-seed=0", "tests_before/python" if suite else "tests/python"],
                             timeout=self.args.timeout * 4, cwd=self.tree, env=env)
        if code != 0:
            failed = re.findall(r"^FAILED (\S+)", out, re.M)
            return "killed", "pytest " + (failed[0] if failed else ("timeout" if code == "timeout" else f"exit {code}"))
        return "survived", ""

    def try_mutant(self, mutant, known_earlier=None):
        """The verdict per suite: {"": (verdict, detail), EARLIER: ...}."""
        suites = self.suites()
        shared = self.build_mutant(mutant)
        if shared is not None:
            return {suite: shared for suite in suites}
        try:
            verdicts = {"": self.test(mutant, "")}
            if len(suites) > 1:
                # A kill of the current tests cannot be a lost one: the earlier suite only runs on
                # survivors, unless all its verdicts are wanted.
                if known_earlier:
                    verdicts[EARLIER] = known_earlier
                elif verdicts[""][0] == "killed" and not self.args.all_before:
                    verdicts[EARLIER] = ("not run", "the current tests kill it")
                else:
                    verdicts[EARLIER] = self.test(mutant, EARLIER)
            return verdicts
        finally:
            self.restore(mutant)

    def build_mutant(self, mutant):
        """Applies and builds the mutant; a verdict when that already decides (the file restored)."""
        path = self.tree / mutant.path
        original = path.read_bytes()
        lines = original.decode().split("\n")
        assert lines[mutant.line - 1] == mutant.before, f"{mutant.path}:{mutant.line} changed since sampling"
        lines[mutant.line - 1] = mutant.after
        self.original = original
        path.write_text("\n".join(lines))
        verdict = None
        obj = self.object_of(mutant.path) if mutant.path.endswith(".cpp") else None
        if obj is not None:
            code, out = self.run(["ninja", "-C", str(self.build), str(obj.relative_to(self.build))])
            if code != 0:
                verdict = ("not compiled", first_error(out))
            elif digest(obj) == self.object_hashes.get(obj):
                verdict = ("same code", "")
        if verdict is None:
            code, out = self.run(["cmake", "--build", str(self.build), "-j", str(self.args.jobs)])
            if code != 0:
                verdict = ("not compiled", first_error(out))
        if verdict is not None:
            self.restore(mutant)
        return verdict

    def restore(self, mutant):
        (self.tree / mutant.path).write_bytes(self.original)


SKIP_NAMES = {".git", ".hypothesis", "__pycache__", ".pytest_cache"}
EARLIER = "before_"  # prefix of the folders holding an earlier revision's tests in a worker's tree


def is_earlier_suite(rel):
    parts = rel.parts
    return (parts[:1] == ("tests_before",) or
            (parts[:2] == ("tests", "cpp") and len(parts) > 2 and parts[2].startswith(EARLIER)))


def install_earlier_tests(rev, tree):
    """Puts the tests of revision `rev` beside the current ones: tests/cpp/<x> as tests/cpp/before_<x>
    (so CMake builds them as programs test_before_<x> against the same mutated core) and
    tests/python as tests_before/python. Includes of tests/cpp/<x>/ are redirected."""
    listing = subprocess.run(["git", "-C", str(ROOT), "ls-tree", "-r", "--name-only", rev, "tests"],
                             check=True, capture_output=True, text=True).stdout.split()
    for rel in listing:
        data = subprocess.run(["git", "-C", str(ROOT), "show", f"{rev}:{rel}"], check=True, capture_output=True).stdout
        parts = Path(rel).parts
        if parts[1] == "cpp":
            dest = tree / "tests" / "cpp" / (EARLIER + parts[2]) / Path(*parts[3:])
            data = re.sub(rb'#include "tests/cpp/([^/"]+)/', rb'#include "tests/cpp/' + EARLIER.encode() + rb'\1/', data)
        else:
            dest = tree / "tests_before" / Path(*parts[1:])
        dest.parent.mkdir(parents=True, exist_ok=True)
        if not dest.exists() or dest.read_bytes() != data:
            dest.write_bytes(data)


def sync_tree(source, target):
    """Mirrors the working tree (without build/) into `target`, touching only files whose bytes
    differ so that the copy's incremental build rebuilds only what changed."""
    wanted = set()
    for dirpath, dirnames, filenames in os.walk(source):
        rel_dir = Path(dirpath).relative_to(source)
        dirnames[:] = [d for d in dirnames if d not in SKIP_NAMES and not (rel_dir == Path(".") and d == "build")]
        for name in filenames:
            rel = rel_dir / name
            wanted.add(rel)
            src, dst = source / rel, target / rel
            if dst.is_file() and dst.read_bytes() == src.read_bytes():
                continue
            dst.parent.mkdir(parents=True, exist_ok=True)
            # A fresh modification time: a copy that kept the source's older one would leave an
            # object built from a mutant looking up to date.
            shutil.copy(src, dst)
    for dirpath, dirnames, filenames in os.walk(target):
        dirnames[:] = [d for d in dirnames if d not in SKIP_NAMES]
        for name in filenames:
            rel = Path(dirpath).relative_to(target) / name
            if rel not in wanted and not is_earlier_suite(rel):
                (target / rel).unlink()


def digest(path):
    return hashlib.sha1(path.read_bytes()).hexdigest()


def first_error(out):
    m = re.search(r"error: (.*)", out)
    return m.group(1)[:120] if m else out.strip().splitlines()[-1][:120] if out.strip() else ""


# --- Report -----------------------------------------------------------------------------------

VERDICTS = ("killed", "survived", "same code", "not compiled", "not run")


def report(mutants, results, args, previous, suite="the current tests"):
    lines = [f"mutation sample: seed {args.seed}, {len(mutants)} mutants, {suite} of {ROOT}", ""]
    folders = sorted({m.folder() for m in mutants})
    lines.append(f"{'folder':<16}" + "".join(f"{v:>14}" for v in VERDICTS) + f"{'kill rate':>12}")
    totals = {v: 0 for v in VERDICTS}
    for folder in folders + ["total"]:
        counts = {v: 0 for v in VERDICTS}
        for m in mutants:
            if folder in ("total", m.folder()):
                counts[results[m.ident][0]] += 1
        live = counts["killed"] + counts["survived"]
        rate = f"{100 * counts['killed'] / live:.0f}%" if live else "-"
        lines.append(f"{folder:<16}" + "".join(f"{counts[v]:>14}" for v in VERDICTS) + f"{rate:>12}")
        if folder == "total":
            totals = counts
    lines += ["", "kill rate = killed / (killed + survived); 'same code' mutants compile to identical objects.", ""]
    lines.append("survivors:")
    for m in mutants:
        if results[m.ident][0] == "survived":
            lines.append("  " + m.describe())
    if previous:
        lost = [m for m in mutants if previous.get(str(m.ident), [""])[0] == "killed" and results[m.ident][0] != "killed"]
        gained = [m for m in mutants if previous.get(str(m.ident), [""])[0] == "survived" and results[m.ident][0] == "killed"]
        lines += ["", f"against {args.compare}: {len(lost)} kills lost, {len(gained)} new kills"]
        lines += ["  lost: " + m.describe() for m in lost]
        lines += ["  new:  " + m.describe() for m in gained]
    lines += ["", "all mutants:"]
    for m in mutants:
        verdict, detail = results[m.ident]
        lines.append(f"  #{m.ident:<4} {verdict:<13} {m.describe()}" + (f"   <{detail}>" if detail else ""))
    return "\n".join(lines) + "\n", totals


def write_json(out, args, mutants, results):
    out.with_suffix(".json").write_text(json.dumps(
        {"seed": args.seed, "results": {str(k): v for k, v in results.items()},
         "mutants": [dataclasses.asdict(m) for m in mutants]}, indent=1))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=20)
    parser.add_argument("-n", "--count", type=int, default=150)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--jobs", type=int, default=2, help="build jobs per worker")
    parser.add_argument("--nice", type=int, default=10)
    parser.add_argument("--timeout", type=int, default=120, help="seconds per C++ program (pytest gets 4x)")
    parser.add_argument("--out", type=Path, help="report file (default build/mutants/seed<seed>.txt)")
    parser.add_argument("--compare", type=Path, help="a previous run's .json: list kills lost and gained, and keep "
                        "its 'not compiled' and 'same code' verdicts (they depend on the sources alone)")
    parser.add_argument("--before", metavar="REV", help="also run the tests of git revision REV against every "
                        "mutant (built once) and report both, with the kills lost and gained")
    parser.add_argument("--known-before", type=Path, metavar="LOG", help="the progress log of an earlier run: of "
                        "REV's tests alone (its verdicts stand for the earlier suite) or of both suites (a mutant "
                        "logged there is not run again)")
    parser.add_argument("--all-before", action="store_true", help="run the earlier suite on every mutant, not "
                        "only on those the current tests leave alive")
    parser.add_argument("--only", metavar="IDS", help="comma-separated mutant numbers to run (the report covers them)")
    parser.add_argument("--list", action="store_true", help="only print the sampled mutants")
    args = parser.parse_args()

    mutants = pick_mutants(args.seed, args.count)
    if args.only:
        chosen = {int(x) for x in args.only.split(",")}
        mutants = [m for m in mutants if m.ident in chosen]
    if args.list:
        for m in mutants:
            print(f"#{m.ident:<4}", m.describe())
        return
    out = args.out or ROOT / "build" / "mutants" / f"seed{args.seed}.txt"
    out.parent.mkdir(parents=True, exist_ok=True)
    previous, earlier_mutants = None, {}
    if args.compare:
        data = json.loads(args.compare.read_text())
        previous = data["results"]
        earlier_mutants = {m["ident"]: Mutant(**m) for m in data["mutants"]}

    def unchanged(mutant):
        return earlier_mutants.get(mutant.ident) == mutant

    known, done = {}, {}
    if args.known_before:
        by_text = {m.describe(): m.ident for m in mutants}
        for line in args.known_before.read_text().splitlines():
            found = re.match(r"\[\d+/\d+ \d+s\] (killed|survived|same code|not compiled)\s+(.*?)"
                             r"(?: \(before: (killed|survived|same code|not compiled|not run)\))?$", line)
            if found and found.group(2) in by_text:
                source = "from " + args.known_before.name
                if found.group(3):  # a combined run's line: both verdicts
                    done[by_text[found.group(2)]] = {"": (found.group(1), source), EARLIER: (found.group(3), source)}
                else:
                    known[by_text[found.group(2)]] = (found.group(1), source)

    workers = [Worker(i, args) for i in range(args.workers)]
    with concurrent.futures.ThreadPoolExecutor(len(workers)) as pool:
        list(pool.map(Worker.prepare, workers))
    free = queue.Queue()
    for w in workers:
        free.put(w)
    results, earlier_results = {}, {}
    started = time.time()

    def one(mutant):
        earlier = previous.get(str(mutant.ident)) if previous else None
        if earlier and earlier[0] in ("not compiled", "same code") and unchanged(mutant):
            results[mutant.ident] = tuple(earlier)
            return
        if mutant.ident in done:
            verdicts = done[mutant.ident]
        else:
            worker = free.get()
            try:
                verdicts = worker.try_mutant(mutant, known.get(mutant.ident))
            finally:
                free.put(worker)
        results[mutant.ident] = verdicts[""]
        if EARLIER in verdicts:
            earlier_results[mutant.ident] = verdicts[EARLIER]
        finished = len(results)
        before = f" (before: {verdicts[EARLIER][0]})" if EARLIER in verdicts else ""
        print(f"[{finished}/{len(mutants)} {time.time() - started:.0f}s] {results[mutant.ident][0]:<13} {mutant.describe()}"
              f"{before}", flush=True)

    with concurrent.futures.ThreadPoolExecutor(len(workers)) as pool:
        list(pool.map(one, mutants))
    if args.before:
        earlier_out = out.with_name(out.stem + "-before" + out.suffix)
        earlier_text, _ = report(mutants, earlier_results, args, None, f"tests of {args.before}")
        earlier_out.write_text(earlier_text)
        write_json(earlier_out, args, mutants, earlier_results)
        previous = {str(k): v for k, v in earlier_results.items()}
        args.compare = earlier_out.with_suffix(".json")
    text, totals = report(mutants, results, args, previous)
    out.write_text(text)
    write_json(out, args, mutants, results)
    print(text[:text.index("all mutants:")])
    print(f"report: {out}")


if __name__ == "__main__":
    main()
