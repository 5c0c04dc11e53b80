"""The small md grammars seen from Python, checked against plain models of their rules:
trailing attribute groups, frontmatter blocks, and the order of anchors."""

from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native

# Unicode White_Space: the white space of the md grammars (not str.isspace, which adds the
# separators U+001C to U+001F).
WHITE_SPACE = set(
    "\t\n\v\f\r \x85\xa0\u1680\u2028\u2029\u202f\u205f\u3000" + "".join(map(chr, range(0x2000, 0x200B)))
)
ASCII_ALNUM = set("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")


def trim(text):
    return text.strip("".join(WHITE_SPACE))


def trim_end(text):
    return text.rstrip("".join(WHITE_SPACE))


def looks_like_attrs(body, colon_form):
    body = trim(body)
    if colon_form:
        return bool(body)
    if not body:
        return False
    if body[0] in "#.":
        return True
    word = body
    for i, ch in enumerate(body):
        if ch in WHITE_SPACE:
            word = body[:i]
            break
    return word.find("=") > 0


def model_trailing_attr_span(line):
    """The last "{" in the quoting context of the final "}", in UTF-8 byte offsets."""
    data = trim_end(line).encode()
    n = len(data)
    if n == 0 or data[-1:] != b"}":
        return None
    current = single = double = result = None
    escaped = False
    for i, byte in enumerate(data):
        ch = chr(byte)
        if escaped:
            escaped = False
        elif ch == "\\":
            escaped = True
        elif ch == "{":
            current = i
        elif ch == "}":
            if i == n - 1:
                result = current
            current = None
        elif ch == "'":
            current, single = single, current
        elif ch == '"':
            current, double = double, current
    if result is None:
        return None
    inner = data[result + 1 : n - 1].decode()
    colon = inner.startswith(":")
    if colon:
        inner = inner[1:]
    if not looks_like_attrs(inner, colon):
        return None
    return (result, n)


def model_frontmatter(src):
    src = src.replace("\r\n", "\n").replace("\r", "\n")
    lines = src.split("\n")
    if src.endswith("\n"):
        lines.pop()
    if not lines or trim_end(lines[0]) != "---":
        return []
    pairs = []
    for line in lines[1:]:
        if trim_end(line) in ("---", "..."):
            return pairs
        stripped = trim(line)
        if not stripped or stripped.startswith("#") or line[0] in " \t":
            continue
        colon = stripped.find(":")
        if colon < 0:
            return []
        key = trim_end(stripped[:colon])
        if not key or not (key[0] in ASCII_ALNUM or key[0] == "_"):
            return []
        if any(not (c in ASCII_ALNUM or c in " -._") for c in key[1:]):
            return []
        value = trim(stripped[colon + 1 :])
        if len(value) >= 2 and value[0] in "\"'" and value[-1] == value[0]:
            value = value[1:-1]
        pairs.append((key, value))
    return []  # never closed


class TestTrailingAttrSpanModel:
    @given(st.text(alphabet=list("{}\\\"'#.=: ak\u00a0\u3000\té日"), max_size=24))
    @settings(max_examples=3000)
    def test_agrees_with_the_rule(self, line):
        assert native.trailing_attr_span(line) == model_trailing_attr_span(line)

    def test_examples(self):
        cases = [
            ("Title {#t}   ", (6, 10)),
            ("x {a}", None),
            ("x {#a k='}'}", (2, 12)),
            ("x {#a \\}", None),
            ('"{#a" "}', (1, 8)),
            ("é {.k}\u3000", (3, 7)),
            ("x {=html}", None),
            ("x { }", None),
            ("x {: word}", (2, 10)),
        ]
        for line, span in cases:
            assert model_trailing_attr_span(line) == span, line
            assert native.trailing_attr_span(line) == span, line


FRONTMATTER_LINES = [
    "---", "...", "--- ", " ---", "---\t", "a: 1", "author name: X", "t: 10:30", "q: 'v'", "d: \"v",
    "# c", "", "  x: y", "\tz", "words", "-k: v", "k/x: v", "_k: \"q\"", "\u00a0", "k\u00a0: v",
    "\u00e9: 1", "x :y", "k:", "9.a-b_c: v ",
]


class TestFrontmatterModel:
    @given(st.lists(st.sampled_from(FRONTMATTER_LINES), max_size=8), st.sampled_from(["\n", "\r\n", "\r"]),
           st.booleans())
    @settings(max_examples=3000)
    def test_agrees_with_the_rule(self, lines, newline, final_newline):
        src = newline.join(lines) + (newline if final_newline else "")
        assert native.frontmatter_meta(src) == model_frontmatter(src)

    def test_examples(self):
        cases = [
            ("---\ntitle: Hello\n---\ntext\n", [("title", "Hello")]),
            ("---\ntitle: Hello\n...\n", [("title", "Hello")]),
            ("---   \na: 1\n---  \n", [("a", "1")]),
            ("---\na: 1\n ---\n", []),
            ("---\n# only a comment\n\n---\n", []),
            ("---\nauthor name: X\n---\n", [("author name", "X")]),
            ("---\n-a: 1\n---\n", []),
            ("---\na/b: 1\n---\n", []),
            ("---\na: 'x'\nb: \"y\"\nc: 'z\n---\n", [("a", "x"), ("b", "y"), ("c", "'z")]),
            ("---\ntime: 10:30\n---\n", [("time", "10:30")]),
            ("---\na: 1\n  continued line\n---\n", [("a", "1")]),
            ("---\na: 1\n", []),
        ]
        for src, pairs in cases:
            assert model_frontmatter(src) == pairs, src
            assert native.frontmatter_meta(src) == pairs, src


class TestAnchorOrder:
    def test_footnote_targets_come_after_the_whole_document(self):
        src = "# A {#a}\n\nx[^n]\n\n[^n]: a [note]{#in-note}\n\n# B {#b}\n"
        assert [a["id"] for a in native.anchors(src)] == ["a", "b", "in-note"]
