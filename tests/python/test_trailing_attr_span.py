"""trailing_attr_span seen from Python: offsets in UTF-8 bytes as a tuple of ints, or None; arguments
(the grammar is tested in C++)."""

import pytest

import vedavi._native as native


@pytest.mark.parametrize("text", ["Überschrift", "日本語", "emoji 😀"])
def test_offsets_are_bytes_not_characters(text):
    line = f"{text} {{#id}}"
    result = native.trailing_attr_span(line=line)
    assert type(result) is tuple and all(type(x) is int for x in result)
    encoded = line.encode()
    assert encoded[result[0]:result[1]] == b"{#id}"
    assert result[1] == len(encoded)


def test_no_group_gives_none():
    assert native.trailing_attr_span("x {a}") is None


def test_non_str_raises_type_error():
    with pytest.raises(TypeError):
        native.trailing_attr_span(3)
