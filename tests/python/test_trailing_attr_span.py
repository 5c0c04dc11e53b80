"""trailing_attr_span: where a line's trailing attribute group lies, in UTF-8 bytes."""

import pytest

import vedavi._native as native


class TestSpans:
    @pytest.mark.parametrize(
        ("line", "span"),
        [
            ("Title {#t}   ", (6, 10)),
            ("x {#a k='}'}", (2, 12)),
            ('"{#a" "}', (1, 8)),
            ("a {: x}", (2, 7)),
            ("x {a}", None),
            ("x {#a \\}", None),
            ("a {:}", None),
            ("", None),
            ("no group", None),
        ],
    )
    def test_span(self, line, span):
        assert native.trailing_attr_span(line) == span
        assert native.trailing_attr_span(line=line) == span

    @pytest.mark.parametrize("text", ["Überschrift", "日本語", "emoji 😀"])
    def test_offsets_are_bytes_not_characters(self, text):
        line = f"{text} {{#id}}"
        start, end = native.trailing_attr_span(line)
        encoded = line.encode()
        assert encoded[start:end] == b"{#id}"
        assert end == len(encoded)
        assert start != line.index("{")

    def test_result_types(self):
        result = native.trailing_attr_span("t {.c}")
        assert type(result) is tuple
        assert all(type(x) is int for x in result)


class TestArguments:
    def test_non_str_raises_type_error(self):
        with pytest.raises(TypeError):
            native.trailing_attr_span(3)
