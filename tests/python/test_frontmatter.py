"""frontmatter_meta: the leading frontmatter pairs of md source."""

import pytest

import vedavi._native as native


class TestPairs:
    @pytest.mark.parametrize(
        ("src", "pairs"),
        [
            ("---\ntitle: Hello\n---\ntext\n", [("title", "Hello")]),
            ("---\na: 1\n...\n", [("a", "1")]),
            ("---\nauthor name: X\ntime: 10:30\na: 'q'\na: \"open\n---\n",
             [("author name", "X"), ("time", "10:30"), ("a", "q"), ("a", '"open')]),
            ("---\nt: Grüße 😀\n---\n", [("t", "Grüße 😀")]),
        ],
    )
    def test_pairs_in_order(self, src, pairs):
        assert native.frontmatter_meta(src) == pairs
        assert native.frontmatter_meta(src=src) == pairs

    @pytest.mark.parametrize(
        "src",
        [
            "",
            "# Title\n",
            "---\ntitle: never closed\n",
            "---\n# only a comment\n---\n",
            "---\n-bad: key\n---\n",
            "---\nno colon\n---\n",
            " ---\na: 1\n---\n",
            "text\n---\na: 1\n---\n",
        ],
    )
    def test_no_frontmatter_gives_empty_list(self, src):
        assert native.frontmatter_meta(src) == []

    def test_result_is_a_list_of_str_tuples(self):
        result = native.frontmatter_meta("---\nk: v\n---\n")
        assert type(result) is list
        assert type(result[0]) is tuple
        assert all(type(x) is str for x in result[0])


class TestLineEnds:
    @pytest.mark.parametrize("newline", ["\r\n", "\r"])
    def test_crlf_and_cr_read_as_lf(self, newline):
        lf = "---\ntitle: Hello\nb: 'x'\n---\nbody\n"
        assert native.frontmatter_meta(lf.replace("\n", newline)) == native.frontmatter_meta(lf)
        assert native.frontmatter_meta(lf.replace("\n", newline)) == [("title", "Hello"), ("b", "x")]

    def test_mixed_line_ends(self):
        assert native.frontmatter_meta("---\r\na: 1\rb: 2\n---\r\n") == [("a", "1"), ("b", "2")]


class TestArguments:
    def test_non_str_raises_type_error(self):
        with pytest.raises(TypeError):
            native.frontmatter_meta(b"---\na: 1\n---\n")
        with pytest.raises(TypeError):
            native.frontmatter_meta(None)

    def test_missing_argument(self):
        with pytest.raises(TypeError):
            native.frontmatter_meta()
