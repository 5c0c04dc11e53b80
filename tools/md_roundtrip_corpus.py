"""Measures vedavi2md's round trip on real documents: the md files and HTML pages found on the
machine, and random md fragments.

    PYTHONPATH=build/py python3 tools/md_roundtrip_corpus.py [--md ROOT ...] [--html ROOT ...]
        [--pages N] [--fragments N] [--examples]

For an md file F: H1 = md2vedavi(F), M1 = vedavi2md(H1), H2 = md2vedavi(M1), M2 = vedavi2md(H2).
Rows: H2 == H1; the same tree (H1 and H2 read by an HTML tokenizer give the same tags, attributes
and text, so raw HTML spelled otherwise still counts); the same visible words; M2 == M1.

For an HTML page P: M1 = vedavi2md(P), H2 = md2vedavi(M1), M2 = vedavi2md(H2). Rows: markup shown
as text (H2's visible text holds more tag-like "<x" or "{:" pieces than P's); the visible words kept
(what a browser shows: head, script, style and the like left out); M2 == M1.

Random fragments (seeded) are md pieces put together: the rate whose visible words change and the
rate whose second round differs.

With --examples, the first few failures of each row are printed with the first differing place.
"""
import argparse
import gzip
import html
import html.parser
import multiprocessing
import os
import random
import re
import site
import sys

from vedavi import _native as m

MD_ROOTS = ["/usr/share/doc", "/usr/lib/google-cloud-sdk", "/usr/lib/jvm", "/root/.pyenv", "/root/.rustup",
            "/usr/src/googletest", *site.getsitepackages()]
HTML_ROOTS = ["/usr/share/doc", "/usr/lib/node_modules", "/usr/lib/google-cloud-sdk", "/root/.pyenv",
              "/usr/share/gtk-doc", "/root/.rustup"]
MAX_BYTES = 2_000_000
HIDDEN = {"head", "title", "meta", "style", "script", "template", "noscript", "link", "base"}
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}
# Elements inside a word: no word break at their tags.
PHRASING = {"a", "abbr", "b", "bdi", "bdo", "cite", "code", "data", "del", "dfn", "em", "font", "i", "ins",
            "kbd", "mark", "q", "s", "samp", "small", "span", "strong", "sub", "sup", "time", "tt", "u",
            "var", "wbr", "big", "label", "strike", "acronym", "nobr"}
MARKUP = re.compile(r"<[a-zA-Z/!]|\{:")


def files(roots, suffixes):
    found = set()
    for root in roots:
        for folder, dirs, names in os.walk(root):
            dirs.sort()
            for name in names:
                if name.endswith(suffixes):
                    found.add(os.path.join(folder, name))
    return sorted(found)


def sample(paths, limit):
    """At most `limit` paths, spread evenly over the sorted list (one tree may hold thousands)."""
    if len(paths) <= limit:
        return paths
    if limit <= 0:
        return []
    step = len(paths) / limit
    return [paths[int(i * step)] for i in range(limit)]


def read(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rb") as f:
        data = f.read(MAX_BYTES + 1)
    return None if len(data) > MAX_BYTES else data.decode("utf-8", errors="replace")


class Reader(html.parser.HTMLParser):
    """Tags with their attributes and text, as a list of tokens; and the visible text."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tokens, self.visible, self.hidden = [], [], 0

    def handle_starttag(self, tag, attrs):
        self.tokens.append(("<", tag, tuple(attrs)))
        self.visible.append("" if tag in PHRASING else " ")
        if tag in HIDDEN and tag not in VOID:
            self.hidden += 1

    def handle_startendtag(self, tag, attrs):
        self.tokens.append(("<", tag, tuple(attrs)))
        self.visible.append("" if tag in PHRASING else " ")

    def handle_endtag(self, tag):
        self.tokens.append(("/", tag))
        self.visible.append("" if tag in PHRASING else " ")
        if tag in HIDDEN and tag not in VOID and self.hidden:
            self.hidden -= 1

    def handle_data(self, data):
        if self.tokens and self.tokens[-1][0] == "t":
            self.tokens[-1] = ("t", self.tokens[-1][1] + data)
        else:
            self.tokens.append(("t", data))
        if not self.hidden:
            self.visible.append(data)

    def handle_comment(self, data):
        self.tokens.append(("!", data))


def read_html(text):
    reader = Reader()
    reader.feed(text)
    reader.close()
    visible = "".join(reader.visible)
    return reader.tokens, visible, visible.split()


def tree(text):
    """Tokens with white space between tags and at text ends set aside, attributes in name order,
    and the tbody tags that an HTML parser supplies where they are left out."""
    tokens = []
    for token in read_html(text)[0]:
        if token[0] == "t":
            words = " ".join(token[1].split())
            if words:
                tokens.append(("t", words))
        elif token[1] != "tbody":
            tokens.append((token[0], token[1], tuple(sorted(token[2])) if len(token) > 2 else ()))
    return tokens


def md_row(path):
    md = read(path)
    if md is None:
        return None
    h1 = m.md2vedavi(md)[0]
    m1 = m.vedavi2md(h1)
    h2 = m.md2vedavi(m1)[0]
    m2 = m.vedavi2md(h2)
    exact = h2 == h1
    return {
        "path": path, "exact": exact, "tree": exact or tree(h1) == tree(h2),
        "words": exact or read_html(h1)[2] == read_html(h2)[2], "stable": m2 == m1,
        "h1": h1, "h2": h2, "m1": m1, "m2": m2,
    }


def html_row(path):
    page = read(path)
    if page is None:
        return None
    m1 = m.vedavi2md(page)
    h2 = m.md2vedavi(m1)[0]
    m2 = m.vedavi2md(h2)
    _, before, words_before = read_html(page)
    _, after, words_after = read_html(h2)
    shown = [after[max(0, x.start() - 40):x.start() + 60] for x in MARKUP.finditer(after)]
    return {
        "path": path, "markup": len(MARKUP.findall(after)) > len(MARKUP.findall(before)),
        "words": words_before == words_after, "stable": m2 == m1,
        "h1": page, "h2": h2, "m1": m1, "m2": m2, "v1": " ".join(words_before), "v2": " ".join(words_after),
        "shown": "", "markup_text": " | ".join(x for x in shown if x not in before)[:300],
    }


PIECES = list("ab -*_`#>[]()!{}:.1|~^=\n<&;\\/@$+\u00e9\u00a0\t") + [
    "<b>x</b>", "<em>y</em>", "<br>", "&amp;", "&nbsp;", "&#10;", "<!-- c -->", "\n\n", "- ", "  - ", "1. ",
    "> ", "```", ":::", "[^1]", "[^1]: ", "\n|---|\n", "<span>z</span>", "\n\n<p>q</p>\n\n",
    "\n\n<div>\n\nd\n\n</div>\n\n", "<kbd>k</kbd>", "www.a.org", "a@b.c", "https://a.org/x_y", "<https://a.b>",
    "{.c}", "{: #i}", "<code>", "<cite>c</cite>", "    ", "\n---\n", "* ", "[x](u)", "*a*", "`c`"]


def fragment_row(seed):
    rng = random.Random(seed)
    md = "".join(rng.choice(PIECES) for _ in range(rng.randint(1, 40)))
    h1 = m.md2vedavi(md)[0]
    m1 = m.vedavi2md(h1)
    h2 = m.md2vedavi(m1)[0]
    m2 = m.vedavi2md(h2)
    return {"path": repr(md), "changed": read_html(h1)[2] != read_html(h2)[2], "unstable": m2 != m1,
            "h1": h1, "h2": h2, "m1": m1, "m2": m2}


def first_difference(a, b):
    n = min(len(a), len(b))
    return next((i for i in range(n) if a[i] != b[i]), n)


def show(bad_rows, first, second, count=3):
    for row in bad_rows[:count]:
        a, b = row[first], row[second]
        at = first_difference(a, b)
        print(f"      {row['path'][:200]}")
        print(f"        {first} ...{a[max(0, at - 50):at + 50]!r}")
        print(f"        {second} ...{b[max(0, at - 50):at + 50]!r}")


def report(title, rows, lines, examples):
    """Each line counts the rows where `key` is true; `good` says whether that is the good case."""
    print(f"{title}: {len(rows)}")
    for label, key, good, pair in lines:
        hits = sum(1 for row in rows if row[key])
        print(f"  {label}: {hits} / {len(rows)} ({100 * hits / max(len(rows), 1):.1f}%)")
        if examples:
            show([row for row in rows if bool(row[key]) != good], *pair)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--md", nargs="*", default=MD_ROOTS)
    parser.add_argument("--html", nargs="*", default=HTML_ROOTS)
    parser.add_argument("--pages", type=int, default=800, help="at most this many HTML pages")
    parser.add_argument("--fragments", type=int, default=3000)
    parser.add_argument("--jobs", type=int, default=3)
    parser.add_argument("--examples", action="store_true")
    args = parser.parse_args()
    md_paths = files(args.md, (".md", ".md.gz", ".markdown"))
    html_paths = sample(files(args.html, (".html", ".htm")), args.pages)
    with multiprocessing.Pool(args.jobs) as pool:
        md_rows = [r for r in pool.map(md_row, md_paths, chunksize=4) if r]
        html_rows = [r for r in pool.map(html_row, html_paths, chunksize=4) if r]
        fragment_rows = pool.map(fragment_row, range(args.fragments), chunksize=50)
    report("md files", md_rows, [
        ("H2 == H1", "exact", True, ("h1", "h2")),
        ("same tree (raw HTML spelling aside)", "tree", True, ("h1", "h2")),
        ("visible words equal", "words", True, ("h1", "h2")),
        ("M2 == M1 (second round changes nothing)", "stable", True, ("m1", "m2")),
    ], args.examples)
    report("HTML pages", html_rows, [
        ("markup shown as text after the round", "markup", False, ("shown", "markup_text")),
        ("visible words kept", "words", True, ("v1", "v2")),
        ("M2 == M1", "stable", True, ("m1", "m2")),
    ], args.examples)
    report("random fragments", fragment_rows, [
        ("visible words changed", "changed", False, ("h1", "h2")),
        ("second round differs", "unstable", False, ("m1", "m2")),
    ], args.examples)


if __name__ == "__main__":
    sys.exit(main())
