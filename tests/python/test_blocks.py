"""blocks: block spans of md source, and the parse options every md function shares."""

import threading

import pytest

import vedavi._native as native
from conftest import FAULT_MARKER, needs_fault_injection

def shape(spans):
    return [(s["type"], s["start"], s["end"], s["depth"]) for s in spans]


NESTED_SOURCE = "# T\n\n- a\n- b\n\n> q\n> > r\n"


class TestSpans:
    def test_top_level_only_by_default(self):
        assert shape(native.blocks(NESTED_SOURCE)) == [
            ("heading", 0, 1, 0),
            ("list", 2, 4, 0),
            ("block_quote", 5, 7, 0),
        ]

    def test_nested_lists_every_depth_in_trace_order(self):
        assert shape(native.blocks(NESTED_SOURCE, nested=True)) == [
            ("heading", 0, 1, 0),
            ("list", 2, 4, 0),
            ("paragraph", 2, 3, 1),
            ("paragraph", 3, 4, 1),
            ("block_quote", 5, 7, 0),
            ("paragraph", 5, 6, 1),
            ("block_quote", 6, 7, 1),
            ("paragraph", 6, 7, 2),
        ]

    def test_empty_source(self):
        assert native.blocks("") == []

    def test_keys_come_in_order(self):
        [code] = native.blocks("```py {.x}\ncode\n```\n")
        keys = list(code)
        assert keys[:4] == ["type", "start", "end", "depth"]
        assert keys.index("info") + 1 == keys.index("info_has_attrs")
        assert code["info"] == "py {.x}"
        assert code["info_has_attrs"] is True
        assert code["lang"] == "py"
        [heading] = native.blocks("## Two\n")
        assert heading["level"] == 2

    def test_template_line(self):
        templates = [("mustache", "{{", "}}", None, "block", ("#", "^", "/"))]
        [token] = native.blocks("{{^items}}\n", templates=templates)
        assert token["type"] == "template_token"
        keys = list(token)
        assert keys.index("syntax") + 1 == keys.index("form")
        assert token["form"] == "block"
        assert (token["kind"], token["inverted"]) == ("open", True)
        assert keys.index("kind") + 1 == keys.index("inverted")

    def test_runs_while_other_threads_run(self):
        results = []
        source = "- a\n" * 2000
        threads = [threading.Thread(target=lambda: results.append(len(native.blocks(source, nested=True))))
                   for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert results == [results[0]] * 4

    def test_deep_quotes_in_a_thread(self):
        out = []
        thread = threading.Thread(target=lambda: out.append(native.blocks(">" * 20000 + " x", nested=True)))
        thread.start()
        thread.join()
        assert out and out[0][0]["type"] == "block_quote"

    @needs_fault_injection
    def test_internal_failure_names_the_activity(self):
        with pytest.raises(RuntimeError) as caught:
            native.blocks("x " + FAULT_MARKER)
        assert str(caught.value) == (
            "internal error in vedavi while parsing markdown (this is a bug, please report it)"
        )


MATH_MESSAGE = "math must be 'off', 'on', 'brackets', or 'dollars'"


class TestParseOptions:
    @pytest.mark.parametrize("math", ["off", "on", "brackets", "dollars"])
    def test_math_names(self, math):
        assert native.blocks("x", math=math) == native.blocks("x")

    @pytest.mark.parametrize("math", ["Brackets", " brackets", "", "none"])
    def test_bad_math_name(self, math):
        with pytest.raises(ValueError) as caught:
            native.blocks("x", math=math)
        assert str(caught.value) == MATH_MESSAGE

    def test_none_and_empty_templates_agree(self):
        assert native.blocks("{{x}}\n", templates=None) == native.blocks("{{x}}\n", templates=[])

    @pytest.mark.parametrize(
        ("templates", "message"),
        [
            ([("", "{{", "}}", None, "auto", None)], "template syntax must not be empty"),
            ([("", "{{", "}}", None, "bad", None)], "template syntax must not be empty"),
            ([("m", "", "}}", None, "auto", None)], "template delimiters must not be empty"),
            ([("m", "{{", "", None, "auto", None)], "template delimiters must not be empty"),
            ([("a", "{{", "}}", None, "auto", None), ("b", "{{", "]]", None, "auto", None)],
             "each template opening delimiter must be unique"),
            ([("m", "{{", "}}", ("(", "("), "auto", None)],
             "template balance must be a pair of different single characters"),
            ([("m", "{{", "}}", ("ab", ")"), "auto", None)],
             "template balance must be a pair of different single characters"),
            ([("m", "{{", "}}", None, "Auto", None)], "template form must be 'auto', 'inline', or 'block'"),
            ([("m", "{{", "}}", None, "auto", None, None)], "expected tuple of length 6, but got tuple of length 7"),
            ([("m", "{{", "}}", None, "auto")], "expected tuple of length 6, but got tuple of length 5"),
        ],
    )
    def test_template_validation(self, templates, message):
        with pytest.raises(ValueError) as caught:
            native.blocks("x", templates=templates)
        assert str(caught.value) == message

    def test_accepted_template_shapes(self):
        shared_close = [("a", "{{", "}}", None, "auto", None), ("a", "{%", "}}", None, "inline", None)]
        assert native.blocks("x", templates=shared_close)
        assert native.blocks("x", templates=[("m", "{{", "}}", ("«", "»"), "block", ("", "", ""))])

    @pytest.mark.parametrize(
        ("kwargs", "error"),
        [
            ({"templates": "{{"}, "argument 'templates': Can't extract `str` to `Vec`"),
            ({"templates": [["m", "{{", "}}", None, "auto", None]]}, None),
            ({"nested": 1}, None),
            ({"math": 2}, None),
        ],
    )
    def test_type_errors(self, kwargs, error):
        with pytest.raises(TypeError) as caught:
            native.blocks("x", **kwargs)
        if error is not None:
            assert str(caught.value) == error

    def test_type_error_before_bad_math_before_template_problem(self):
        bad_templates = [("", "{{", "}}", None, "auto", None)]
        with pytest.raises(TypeError):
            native.blocks("x", math="nope", templates=bad_templates, nested="yes")
        with pytest.raises(ValueError, match="^math must be"):
            native.blocks("x", math="nope", templates=bad_templates)
        with pytest.raises(ValueError, match="^template syntax"):
            native.blocks("x", templates=bad_templates)

    def test_markdown_is_required_and_options_keyword_only(self):
        with pytest.raises(TypeError):
            native.blocks()
        with pytest.raises(TypeError):
            native.blocks("x", "brackets")
