"""frontmatter_meta seen from Python: a list of str pairs, arguments (the grammar is tested in C++)."""

import pytest

import vedavi._native as native


def test_pairs_as_a_list_of_str_tuples():
    result = native.frontmatter_meta(src="---\r\nt: Grüße 😀\r\na: 'q'\n---\ntext\n")
    assert result == [("t", "Grüße 😀"), ("a", "q")]
    assert type(result) is list and type(result[0]) is tuple
    assert native.frontmatter_meta("# Title\n") == []


@pytest.mark.parametrize("args", [(b"---\na: 1\n---\n",), (None,), ()])
def test_argument_errors(args):
    with pytest.raises(TypeError):
        native.frontmatter_meta(*args)
