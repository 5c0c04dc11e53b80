"""The calling frame every member shares: argument matching, conversions, failures, references.

Converters are exercised through the members that use them; the failure guard through the fault
marker, which builds with fault injection turn into an internal failure of the core.
"""

import sys

import pytest

import vedavi._native as native
from conftest import FAULT_MARKER, GUARD_MESSAGE, needs_fault_injection


class TestArgumentMatching:
    @pytest.mark.parametrize(
        ("call", "message"),
        [
            (lambda: native.math_js(), "math_js() missing 2 required positional arguments: 'func' and 'xtra'"),
            (lambda: native.math_js(None), "math_js() missing 1 required positional argument: 'xtra'"),
            (lambda: native.math_js(xtra=""), "math_js() missing 1 required positional argument: 'func'"),
            (lambda: native.math_js(None, "", *range(10)), "math_js() takes 2 positional arguments but 12 were given"),
            (lambda: native.dialect_css(True, True), "dialect_css() takes from 0 to 1 positional arguments but 2 were given"),
            (lambda: native.math_js(None, func=None), "math_js() got multiple values for argument 'func'"),
            (lambda: native.math_js(None, "", extra=1), "math_js() got an unexpected keyword argument 'extra'"),
            (lambda: native.dialect_css(Preview=True), "dialect_css() got an unexpected keyword argument 'Preview'"),
            (lambda: native.dialect_css(**{"\ud800": 1}), "dialect_css() got an unexpected keyword argument '\ud800'"),
        ],
    )
    def test_mismatch_raises_type_error(self, call, message):
        with pytest.raises(TypeError) as caught:
            call()
        assert str(caught.value) == message

    def test_surplus_positional_wins_over_unknown_keyword(self):
        with pytest.raises(TypeError, match="takes 2 positional arguments but 3 were given"):
            native.math_js(None, "", 1, extra=1)

    def test_unknown_keyword_wins_over_missing_argument(self):
        with pytest.raises(TypeError, match="unexpected keyword argument 'extra'"):
            native.math_js(extra=1)

    def test_arguments_convert_in_signature_order(self):
        # Both are wrong; the first parameter is reported, whatever order the keywords came in.
        with pytest.raises(TypeError, match="^argument 'func'"):
            native.math_js(xtra=1, func=2)

    def test_keyword_arguments_from_a_mapping(self):
        assert native.math_js(**{"func": None, "xtra": ""}) == native.math_js(None, "")


class TestTextConversion:
    @pytest.mark.parametrize("text", ["", "plain", "é", "😀", "\x00inner\x00nul", "a" * 100_000])
    def test_text_round_trips(self, text):
        assert native.math_js(None, text) == native.math_js(None, "").replace("false}", "false" + text + "}")

    def test_str_subclass_is_text(self):
        class Text(str):
            pass

        assert native.math_js(Text("f"), Text("")) == native.math_js("f", "")

    @pytest.mark.parametrize("text", ["\ud800", "a\udfffb", "\udc80"])
    def test_lone_surrogate_raises_the_interpreters_unicode_error(self, text):
        with pytest.raises(UnicodeEncodeError) as caught:
            native.math_js(None, text)
        # Not a TypeError, so not reworded to name the parameter.
        assert type(caught.value) is UnicodeEncodeError
        assert "surrogates not allowed" in str(caught.value)

    @pytest.mark.parametrize("value", [b"x", bytearray(b"x"), 1, ["x"], object()])
    def test_non_str_raises_type_error(self, value):
        with pytest.raises(TypeError, match="^argument 'xtra': '.+' object is not an instance of 'str'$"):
            native.math_js(None, value)


class TestFlagConversion:
    def test_booleans(self):
        assert native.dialect_css(True) != native.dialect_css(False)

    def test_numpy_booleans(self):
        numpy = pytest.importorskip("numpy")
        assert native.dialect_css(numpy.True_) == native.dialect_css(True)
        assert native.dialect_css(numpy.bool_(False)) == native.dialect_css(False)

    def test_numpy_bool_is_recognised_by_its_type_name(self):
        # A stand-in with NumPy's module and type names, answering through __bool__.
        for name in ("bool_", "bool"):
            fake = type(name, (), {"__module__": "numpy", "__bool__": lambda self: True})
            assert native.dialect_css(fake()) == native.dialect_css(True)

    def test_numpy_named_type_without_truth_slot(self):
        fake = type("bool_", (), {"__module__": "numpy", "__len__": lambda self: 1})
        with pytest.raises(TypeError, match="^argument 'preview': object of type .* does not define a '__bool__' conversion$"):
            native.dialect_css(fake())

    def test_failing_truth_slot_passes_its_exception(self):
        def fail(self):
            raise ZeroDivisionError("no truth")

        fake = type("bool", (), {"__module__": "numpy", "__bool__": fail})
        with pytest.raises(ZeroDivisionError, match="no truth"):
            native.dialect_css(fake())

    @pytest.mark.parametrize(
        "value",
        [0, 1, 2, 0.0, "", "True", None, [], (), type("bool_", (), {"__bool__": lambda self: True})()],
    )
    def test_everything_else_raises_type_error(self, value):
        with pytest.raises(TypeError, match="^argument 'preview': .* object is not an instance of 'bool'$"):
            native.dialect_css(value)


class TestOptionalConversion:
    def test_none_is_absent(self):
        assert native.math_js(None, "").startswith("(o => ")

    def test_a_value_is_converted(self):
        assert native.math_js("f", "").startswith("const f = ")

    def test_a_value_of_the_wrong_type_names_the_inner_type(self):
        with pytest.raises(TypeError, match="^argument 'func': 'int' object is not an instance of 'str'$"):
            native.math_js(0, "")


class TestPanicException:
    @needs_fault_injection
    def test_internal_failure_outside_a_guard(self, capfd):
        with pytest.raises(BaseException) as caught:
            native.math_js(None, "before " + FAULT_MARKER + " after")
        error = caught.value
        assert type(error).__name__ == "PanicException"
        assert type(error).__module__ == "vedavi_runtime"
        assert str(error) == "injected fault"
        assert issubclass(type(error), BaseException)
        assert not isinstance(error, Exception)
        assert "injected fault" in capfd.readouterr().err

    @needs_fault_injection
    def test_one_exception_type_for_every_failure(self):
        types = set()
        for func in (None, FAULT_MARKER):
            with pytest.raises(BaseException) as caught:
                native.math_js(func, FAULT_MARKER)
            types.add(type(caught.value))
        assert len(types) == 1

    @needs_fault_injection
    def test_module_keeps_working_after_a_failure(self):
        with pytest.raises(BaseException):
            native.math_js(None, FAULT_MARKER)
        assert native.math_js(None, "").endswith("(document);")


# Members whose core work runs inside the failure guard, with an input that reaches the first
# guarded step and the activity its message names. A member is tested once it is built.
GUARDED = [
    ("md2vedavi", (FAULT_MARKER,), "parsing markdown"),
    ("vedavi2md", (FAULT_MARKER,), "rendering VEDAVI as Markdown"),
    ("wiki2vedavi", (FAULT_MARKER,), "parsing wikitext"),
    ("blocks", (FAULT_MARKER,), "parsing markdown"),
    ("inlines", (FAULT_MARKER,), "parsing markdown inlines"),
    ("source_nodes", (FAULT_MARKER,), "parsing markdown source nodes"),
    ("anchors", (FAULT_MARKER,), "parsing markdown"),
    ("wrap_md", (FAULT_MARKER,), "wrapping Markdown"),
    ("md_chunks", (FAULT_MARKER,), "chunking Markdown"),
    ("md_chunks_greedy", (FAULT_MARKER,), "chunking Markdown"),
    ("md_chunks_structural", (FAULT_MARKER,), "chunking Markdown"),
    ("md_chunks_structural_batch", ([FAULT_MARKER],), "chunking Markdown"),
]


class TestFailureGuard:
    @needs_fault_injection
    @pytest.mark.parametrize(("name", "args", "activity"), GUARDED, ids=[name for name, _, _ in GUARDED])
    def test_internal_failure_becomes_runtime_error(self, name, args, activity):
        if not hasattr(native, name):
            pytest.skip(f"{name} is not built yet")
        with pytest.raises(RuntimeError) as caught:
            getattr(native, name)(*args)
        assert type(caught.value) is RuntimeError
        assert str(caught.value) == GUARD_MESSAGE.format(activity)


class TestReferenceCounts:
    def fresh(self, text):
        # A new str object of its own, not shared with constants or the interning table.
        return "".join([text, "\u00e9"])[:-1] + "x"

    def test_arguments_are_not_leaked_or_stolen(self):
        func, xtra = self.fresh("f"), self.fresh(", a: 1")
        before = sys.getrefcount(func), sys.getrefcount(xtra)
        for _ in range(1000):
            native.math_js(func, xtra)
            native.math_js(func=func, xtra=xtra)
        assert (sys.getrefcount(func), sys.getrefcount(xtra)) == before

    def test_failed_calls_release_their_arguments(self):
        func, bad = self.fresh("f"), object()
        before = sys.getrefcount(func), sys.getrefcount(bad)
        for _ in range(1000):
            with pytest.raises(TypeError):
                native.math_js(func, bad)
            with pytest.raises(TypeError):
                native.math_js(func, "", bad)
            with pytest.raises(TypeError):
                native.dialect_css(bad)
        assert (sys.getrefcount(func), sys.getrefcount(bad)) == before

    def test_flag_objects_are_not_leaked(self):
        numpy = pytest.importorskip("numpy")
        flag = numpy.bool_(True)
        before = sys.getrefcount(flag)
        for _ in range(1000):
            native.dialect_css(flag)
        assert sys.getrefcount(flag) == before

    @needs_fault_injection
    def test_internal_failures_release_their_arguments(self):
        xtra = self.fresh(FAULT_MARKER)
        before = sys.getrefcount(xtra)
        for _ in range(100):
            with pytest.raises(BaseException):
                native.math_js(None, xtra)
        assert sys.getrefcount(xtra) == before

    def test_results_are_new_objects_owned_by_the_caller(self):
        css, js = native.dialect_css(), native.math_js(None, "")
        baseline = self.fresh("made in Python")
        assert sys.getrefcount(css) == sys.getrefcount(js) == sys.getrefcount(baseline)
