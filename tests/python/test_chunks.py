"""The chunkers and the re-wrapper from Python: arguments, results, errors, threads, and the
end-to-end properties of chunk lists and re-wrapped text."""

import collections.abc
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native

CHUNKERS = [native.md_chunks, native.md_chunks_structural, native.md_chunks_greedy]
U64_MAX = 2**64 - 1


class TestArguments:
    @pytest.mark.parametrize("chunker", CHUNKERS)
    def test_counts_are_unsigned_64_bit(self, chunker):
        assert chunker("a", U64_MAX) == [("a", "body")]
        with pytest.raises(OverflowError):
            chunker("a", -1)
        with pytest.raises(OverflowError):
            chunker("a", 2**64)
        with pytest.raises(TypeError, match="^argument 'target_words'"):
            chunker("a", None)

    @pytest.mark.parametrize(
        ("call", "message"),
        [
            (lambda: native.wrap_md("a", 0), "width must be positive"),
            (lambda: native.md_chunks("a", 0), "target_words must be positive"),
            (lambda: native.md_chunks_structural("a", 0), "target_words must be positive"),
            (lambda: native.md_chunks_structural_batch(["a"], 0), "target_words must be positive"),
            (lambda: native.md_chunks_greedy("a", 0), "target_words and length_scale must be positive"),
            (lambda: native.md_chunks_greedy("a", 700, 0), "target_words and length_scale must be positive"),
        ],
    )
    def test_zero_counts_raise_value_error(self, call, message):
        with pytest.raises(ValueError) as caught:
            call()
        assert str(caught.value) == message

    def test_width(self):
        assert native.wrap_md("aaaa bbbb cccc", width=10) == "aaaa bbbb\ncccc"
        assert native.wrap_md("aaaa\nbbbb", None) == native.wrap_md("aaaa\nbbbb") == "aaaa bbbb"
        assert native.wrap_md("a b", U64_MAX) == "a b"
        with pytest.raises(OverflowError):
            native.wrap_md("a", -1)

    def test_type_errors_win_over_value_errors(self):
        with pytest.raises(TypeError, match="^argument 'length_scale'"):
            native.md_chunks_greedy("a", 0, "x")
        with pytest.raises(TypeError, match="^argument 'markdown'"):
            native.md_chunks_structural_batch(["a", 1], 0)


class TestResults:
    def test_empty_texts(self):
        assert native.md_chunks("") == [("", "body")]
        assert native.md_chunks_structural("") == []
        assert native.md_chunks_greedy("") == []
        assert native.wrap_md("") == ""

    def test_kinds(self):
        text = "# Top\n\n" + "w " * 600 + "\n\n### x\n\n" + "w " * 600
        chunks = native.md_chunks_structural(text)
        assert [kind for _, kind in chunks] == ["h1", "h3"]
        assert chunks[1][0].startswith("# Top\n\n### x")
        assert all(type(text) is str and type(kind) is str for text, kind in chunks)


class TestBatch:
    def test_one_list_per_text_in_order(self):
        assert native.md_chunks_structural_batch([]) == []
        assert native.md_chunks_structural_batch(["", "# A\n"]) == [[], [("# A\n", "h1")]]
        assert native.md_chunks_structural_batch(("x", "y"), target_words=5) == [[("x", "body")], [("y", "body")]]

    def test_a_str_is_refused(self):
        with pytest.raises(TypeError, match="^argument 'markdown': Can't extract `str` to `Vec`$"):
            native.md_chunks_structural_batch("# A")

    def test_items_must_be_str(self):
        with pytest.raises(TypeError, match="^argument 'markdown': 'int' object is not an instance of 'str'$"):
            native.md_chunks_structural_batch(["a", 1])

    def test_texts_made_on_the_fly_are_held_while_chunking(self):
        # Each item exists only while the call holds it: nothing else refers to it.
        class Fresh(collections.abc.Sequence):
            def __len__(self):
                return 50

            def __getitem__(self, index):
                if index >= 50:
                    raise IndexError(index)
                return "".join(["# H\n\n", "word " * 2000, str(index)])

        results = native.md_chunks_structural_batch(Fresh(), target_words=100)
        assert len(results) == 50
        for index, chunks in enumerate(results):
            assert "".join(text for text, _ in chunks).endswith(f"word {index}")

    def test_a_false_length_is_only_a_hint(self):
        class Huge(collections.abc.Sequence):
            def __len__(self):
                return sys.maxsize

            def __getitem__(self, index):
                if index >= 2:
                    raise IndexError(index)
                return "text"

        assert native.md_chunks_structural_batch(Huge()) == [[("text", "body")]] * 2


PIECES = ["# A", "## B", "### C", "para", "w w", "- item", "> q", "```", "| a |", "|---|", "---",
          "{: .c}", "[x]: /u", "`a b`", "<div>", "\\", "2.", "1. x", ": d", "\u00a0", "\t", "é"]
markdown = st.lists(
    st.tuples(st.sampled_from(PIECES), st.sampled_from([" ", "\n", "\n\n", "\r\n", "\n  "])),
    max_size=30,
).map(lambda parts: "".join(piece + join for piece, join in parts))


def without_breadcrumbs(chunks, source):
    out = ""
    for text, _ in chunks:
        if out and not source[len(out):].startswith(text):
            text = text[text.index("\n\n") + 2:]
        out += text
    return out


class TestProperties:
    @settings(max_examples=300, deadline=None)
    @given(markdown, st.integers(1, 30), st.integers(1, 10))
    def test_block_chunks_give_back_the_source(self, md, target, scale):
        assert without_breadcrumbs(native.md_chunks_structural(md, target), md) == md
        assert without_breadcrumbs(native.md_chunks_greedy(md, target, scale), md) == md

    @settings(max_examples=300, deadline=None)
    @given(markdown, st.one_of(st.none(), st.integers(1, 30)))
    def test_wrapping_is_idempotent_and_keeps_crlf(self, md, width):
        once = native.wrap_md(md, width)
        assert native.wrap_md(once, width) == once
        if "\r\n" in md:
            assert once.count("\n") == once.count("\r\n")
        kinds = [(b["type"], b["depth"]) for b in native.blocks(md, nested=True)]
        assert [(b["type"], b["depth"]) for b in native.blocks(once, nested=True)] == kinds
