"""The chunkers and the re-wrapper: arguments, results, errors, properties of chunks and wrapped text."""

import collections.abc
import re
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native

U64_MAX = 2**64 - 1

@pytest.mark.parametrize("chunker", [native.md_chunks, native.md_chunks_structural, native.md_chunks_greedy])
def test_counts_are_unsigned_64_bit(chunker):
    assert chunker("a", U64_MAX) == [("a", "body")]
    for value in [-1, 2**64]:
        with pytest.raises(OverflowError):
            chunker("a", value)

@pytest.mark.parametrize(("call", "error", "message"), [
    (lambda: native.wrap_md("a", 0), ValueError, "width must be positive"),
    (lambda: native.wrap_md("a", -1), OverflowError, None),
    (lambda: native.md_chunks("a", 0), ValueError, "target_words must be positive"),
    (lambda: native.md_chunks_structural("a", 0), ValueError, "target_words must be positive"),
    (lambda: native.md_chunks_structural_batch(["a"], 0), ValueError, "target_words must be positive"),
    (lambda: native.md_chunks_greedy("a", 0), ValueError, "target_words and length_scale must be positive"),
    (lambda: native.md_chunks_greedy("a", 700, 0), ValueError, "target_words and length_scale must be positive"),
    (lambda: native.md_chunks("a", None), TypeError, "argument 'target_words': 'NoneType' object cannot be interpreted as an integer"),
    # Type errors win over value errors.
    (lambda: native.md_chunks_greedy("a", 0, "x"), TypeError, "argument 'length_scale': 'str' object cannot be interpreted as an integer"),
    (lambda: native.md_chunks_structural_batch(["a", 1], 0), TypeError,
     "argument 'markdown': 'int' object is not an instance of 'str'"),
    (lambda: native.md_chunks_structural_batch("# A"), TypeError, "argument 'markdown': Can't extract `str` to `Vec`"),
])
def test_errors(call, error, message):
    with pytest.raises(error) as caught:
        call()
    assert type(caught.value) is error and message in (None, str(caught.value))

def test_results():
    assert native.wrap_md("aaaa bbbb cccc", width=10) == "aaaa bbbb\ncccc"
    assert native.wrap_md("aaaa\nbbbb", None) == native.wrap_md("aaaa\nbbbb") == "aaaa bbbb"
    assert (native.wrap_md("a b", U64_MAX), native.wrap_md("")) == ("a b", "")
    assert (native.md_chunks(""), native.md_chunks_structural(""), native.md_chunks_greedy("")) == ([("", "body")], [], [])
    chunks = native.md_chunks_structural("# Top\n\n" + "w " * 600 + "\n\n### x\n\n" + "w " * 600)
    assert [kind for _, kind in chunks] == ["h1", "h3"] and chunks[1][0].startswith("# Top\n\n### x")
    assert all(type(text) is str and type(kind) is str for text, kind in chunks)
    assert native.md_chunks_structural_batch([]) == []
    assert native.md_chunks_structural_batch(["", "# A\n"]) == [[], [("# A\n", "h1")]]
    assert native.md_chunks_structural_batch(("x", "y"), target_words=5) == [[("x", "body")], [("y", "body")]]

WORDS = "w " * 600

@pytest.mark.parametrize(("md", "second"), [
    # The breadcrumb and the text it heads are made into one str though their widest characters
    # differ: Latin-1 before an emoji, CJK before Latin-1, ASCII before CJK.
    ("# Tête\n\n" + WORDS + "\n\n## 😀 x\n\n" + WORDS, "# Tête\n\n## 😀 x\n\n" + WORDS),
    ("# 日本\n" + WORDS + "\n## é\n" + WORDS, "# 日本\n\n## é\n" + WORDS),
    ("# A\n" + WORDS + "\n## B\n" + WORDS + "日本", "# A\n\n## B\n" + WORDS + "日本"),
])
def test_breadcrumb_and_text_make_one_str(md, second):
    for chunks in (native.md_chunks(md), native.md_chunks_structural(md), native.md_chunks_greedy(md, 600)):
        assert len(chunks) == 2 and chunks[0][0] == md[:len(chunks[0][0])]
        assert chunks[1] == (second, "h2")

class Texts(collections.abc.Sequence):
    """Texts made on the fly, each held only by the call; the length may lie."""
    def __init__(self, count, length, make):
        self.count, self.length, self.make = count, length, make

    def __len__(self):
        return self.length

    def __getitem__(self, index):
        if index >= self.count:
            raise IndexError(index)
        return self.make(index)

def test_batch_items_are_held_while_chunking_and_the_length_is_a_hint():
    results = native.md_chunks_structural_batch(Texts(50, 50, lambda i: "".join(["# H\n\n", "word " * 2000, str(i)])),
                                                target_words=100)
    assert [("".join(text for text, _ in chunks)).endswith(f"word {i}") for i, chunks in enumerate(results)] == [True] * 50
    assert native.md_chunks_structural_batch(Texts(2, sys.maxsize, lambda i: "text")) == [[("text", "body")]] * 2

PIECES = ["# A", "## B", "### C", "para", "w w", "- item", "> q", "```", "| a |", "|---|", "---",
          "{: .c}", "[x]: /u", "`a b`", "<div>", "\\", "2.", "1. x", ": d", "\u00a0", "\t", "é"]
MARKDOWN = st.lists(st.tuples(st.sampled_from(PIECES), st.sampled_from([" ", "\n", "\n\n", "\r\n", "\n  "])),
                    max_size=30).map(lambda parts: "".join(piece + join for piece, join in parts))

def without_breadcrumbs(chunks, source):
    out = ""
    for text, _ in chunks:
        if out and not source[len(out):].startswith(text):
            text = text[text.index("\n\n") + 2:]
        out += text
    return out

@settings(max_examples=300, deadline=None)
@given(MARKDOWN, st.integers(1, 30), st.integers(1, 10))
def test_block_chunks_give_back_the_source(md, target, scale):
    assert without_breadcrumbs(native.md_chunks_structural(md, target), md) == md
    assert without_breadcrumbs(native.md_chunks_greedy(md, target, scale), md) == md

@settings(max_examples=300, deadline=None)
@given(MARKDOWN, st.one_of(st.none(), st.integers(1, 30)))
def test_wrapping_is_idempotent_and_keeps_crlf(md, width):
    once = native.wrap_md(md, width)
    assert native.wrap_md(once, width) == once
    if "\r\n" in md:
        assert once.count("\n") == once.count("\r\n")
    kinds = [(b["type"], b["depth"]) for b in native.blocks(md, nested=True)]
    assert [(b["type"], b["depth"]) for b in native.blocks(once, nested=True)] == kinds

def alike(html):
    """The HTML with white space outside code elements made one space, none before a closing tag:
    soft line breaks and the spaces around them read alike."""
    out = []
    for k, part in enumerate(re.split(r"(<code[ >].*?</code>)", html, flags=re.S)):
        out.append(part if k % 2 else re.sub(r"\s*(?=</)", "", re.sub(r"[ \t\n]+", " ", part)))
    return "".join(out).strip()

SYNTAX = ["[  ]", "[ ]", "^", "^a\\", "~a\\", "b^", "b~", "{:", ".c}", "[foo](<", "bar>)", "[^1]",
          "[^1]:", "`", "` ", "-", ">", "*", "x", "word", "\\", "https://e.org/a/b"]
SYNTAX_MD = st.lists(st.tuples(st.sampled_from(SYNTAX + PIECES),
                               st.sampled_from([" ", "  ", "\n", "\n\n", "\t", "\n  ", "\n    "])),
                     max_size=20).map(lambda parts: "".join(piece + join for piece, join in parts))

@settings(max_examples=500, deadline=None)
@given(SYNTAX_MD, st.one_of(st.none(), st.integers(1, 12)))
def test_wrapping_keeps_the_rendered_document(md, width):
    once = native.wrap_md(md, width)
    assert native.wrap_md(once, width) == once
    assert alike(native.md2vedavi(once)[0]) == alike(native.md2vedavi(md)[0])
