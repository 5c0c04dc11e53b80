"""Round-trips every md file found on the machine through md2vedavi and vedavi2md and reports how
many come back exactly, and why the others do not.

    PYTHONPATH=build/py python3 tools/md_roundtrip_corpus.py [root ...]

Roots default to /usr/share/doc and the interpreter's site-packages. For each file:
H1 = md2vedavi(md), md1 = vedavi2md(H1), H2 = md2vedavi(md1). "exact" means H2 == H1; "stable"
means vedavi2md(H2) == md1. A file whose H2 differs only in the spelling of raw HTML that the
source held (the same tree: vedavi2md(H2) == md1) is counted as "same tree"; any other is put in
the bucket of the innermost element open at the first differing byte of H1 (the construct that
did not survive), with one example kept.
"""
import collections
import gzip
import os
import re
import site
import sys

from vedavi import _native as m

OPEN_TAG = re.compile(r"<(/?)([a-zA-Z][a-zA-Z0-9]*)[^>]*?(/?)>")
VOID = {"br", "hr", "img", "input", "meta", "link", "wbr", "col", "area", "source", "track", "embed"}


def md_files(roots):
    for root in roots:
        for folder, _, names in os.walk(root):
            for name in names:
                if name.endswith((".md", ".md.gz", ".markdown")):
                    yield os.path.join(folder, name)


def read(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rb") as f:
        return f.read().decode("utf-8", errors="replace")


def first_difference(a, b):
    n = min(len(a), len(b))
    for i in range(n):
        if a[i] != b[i]:
            return i
    return n


def open_element_at(html, pos):
    """The innermost element open at `pos`, by a plain scan of the tags before it."""
    stack = []
    for match in OPEN_TAG.finditer(html, 0, pos):
        closing, name, self_closing = match.group(1), match.group(2).lower(), match.group(3)
        if closing:
            if name in stack:
                while stack and stack.pop() != name:
                    pass
        elif not self_closing and name not in VOID:
            stack.append(name)
    return "/".join(stack[-2:]) or "(top level)"


def main(roots):
    buckets = collections.Counter()
    examples = {}
    total = exact = stable = same_tree = 0
    for path in sorted(set(md_files(roots))):
        try:
            md = read(path)
        except OSError:
            continue
        total += 1
        h1 = m.md2vedavi(md)[0]
        md1 = m.vedavi2md(h1)
        h2 = m.md2vedavi(md1)[0]
        md2 = m.vedavi2md(h2)
        if md2 == md1:
            stable += 1
        if h2 == h1:
            exact += 1
        elif md2 == md1:
            same_tree += 1
        else:
            at = first_difference(h1, h2)
            bucket = open_element_at(h1, at)
            buckets[bucket] += 1
            examples.setdefault(bucket, (path, h1[max(0, at - 60):at + 60], h2[max(0, at - 60):at + 60]))
    print(f"files: {total}; read back exactly: {exact}; same tree, raw HTML spelled otherwise: "
          f"{same_tree}; second round unchanged: {stable}")
    for bucket, count in buckets.most_common():
        path, before, after = examples[bucket]
        print(f"{count:5}  first difference inside {bucket}  e.g. {path}")
        print(f"         H1 ...{before!r}")
        print(f"         H2 ...{after!r}")


if __name__ == "__main__":
    main(sys.argv[1:] or ["/usr/share/doc", *site.getsitepackages()])
