"""The calling frame every member shares: argument matching, conversions (a length is only a hint), failures
and references, through the members that use them and the fault marker."""

import sys

import pytest

import vedavi._native as native
from conftest import FAULT_MARKER, GUARD_MESSAGE, JINJA, needs_fault_injection

@pytest.mark.parametrize(("call", "message"), [
    (lambda: native.math_js(), "math_js() missing 2 required positional arguments: 'func' and 'xtra'"),
    (lambda: native.math_js(None), "math_js() missing 1 required positional argument: 'xtra'"),
    (lambda: native.math_js(xtra=""), "math_js() missing 1 required positional argument: 'func'"),
    (lambda: native.math_js(None, "", *range(10)), "math_js() takes 2 positional arguments but 12 were given"),
    (lambda: native.dialect_css(True, True), "dialect_css() takes from 0 to 1 positional arguments but 2 were given"),
    (lambda: native.math_js(None, func=None), "math_js() got multiple values for argument 'func'"),
    (lambda: native.math_js(None, "", extra=1), "math_js() got an unexpected keyword argument 'extra'"),
    (lambda: native.dialect_css(Preview=True), "dialect_css() got an unexpected keyword argument 'Preview'"),
    (lambda: native.dialect_css(**{"\ud800": 1}), "dialect_css() got an unexpected keyword argument '\ud800'"),
    # Surplus positionals before unknown keywords before missing arguments.
    (lambda: native.math_js(None, "", 1, extra=1), "math_js() takes 2 positional arguments but 3 were given"),
    (lambda: native.math_js(extra=1), "math_js() got an unexpected keyword argument 'extra'"),
    # Arguments convert in signature order, whatever order the keywords came in.
    (lambda: native.math_js(xtra=1, func=2), "argument 'func': 'int' object is not an instance of 'str'"),
    (lambda: native.math_js(None, b"x"), "argument 'xtra': 'bytes' object is not an instance of 'str'"),
    (lambda: native.math_js(0.5, ""), "argument 'func': 'float' object is not an instance of 'str'"),
    (lambda: native.math_js("f", None), "argument 'xtra': 'NoneType' object is not an instance of 'str'"),
    (lambda: native.dialect_css(None), "argument 'preview': 'NoneType' object is not an instance of 'bool'"),
    (lambda: native.dialect_css(1), "argument 'preview': 'int' object is not an instance of 'bool'"),
])
def test_mismatch_raises_type_error(call, message):
    with pytest.raises(TypeError) as caught:
        call()
    assert str(caught.value) == message

def test_text_conversion():
    empty = native.math_js(None, "")
    assert empty.startswith("(o => ") and native.math_js("f", "").startswith("const f = ")
    for text in ["plain", "é", "😀", "\x00inner\x00nul", "a" * 100_000]:
        assert native.math_js(None, text) == empty.replace("false}", "false" + text + "}")
    assert native.math_js(type("Text", (str,), {})("f"), "") == native.math_js("f", "")
    for text in ["\ud800", "a\udfffb", "\udc80"]:  # the interpreter's own error, not renamed
        with pytest.raises(UnicodeEncodeError, match="surrogates not allowed") as caught:
            native.math_js(None, text)
        assert type(caught.value) is UnicodeEncodeError

def numpy_like(name, **slots):
    return type(name, (), {"__module__": "numpy", **slots})()

def test_flag_conversion():
    assert native.dialect_css(True) != native.dialect_css(False)
    # NumPy's bool scalars are recognised by module and type name and answer through __bool__.
    for name, value in (("bool_", True), ("bool", False)):
        assert native.dialect_css(numpy_like(name, __bool__=lambda self, v=value: v)) == native.dialect_css(value)
    with pytest.raises(TypeError, match="^argument 'preview': object of type .* does not define a '__bool__' conversion$"):
        native.dialect_css(numpy_like("bool_", __len__=lambda self: 1))
    with pytest.raises(ZeroDivisionError):
        native.dialect_css(numpy_like("bool", __bool__=lambda self: 1 / 0))
    for value in [0, 2, 0.0, "", "True", [], (), type("bool_", (), {"__bool__": lambda self: True})()]:
        with pytest.raises(TypeError, match="^argument 'preview': .* object is not an instance of 'bool'$"):
            native.dialect_css(value)

def fresh(text):
    """A new str object of its own, not shared with constants or the interning table."""
    return "".join([text, "\u00e9"])[:-1] + "x"

@needs_fault_injection
def test_internal_failure_outside_a_guard_is_a_panic(capfd):
    xtra = fresh("before " + FAULT_MARKER + " after")
    before = sys.getrefcount(xtra)
    for func in (None, FAULT_MARKER) * 50:
        with pytest.raises(BaseException) as caught:
            native.math_js(func, xtra)
        error = caught.value
        assert (type(error).__name__, type(error).__module__, str(error)) == ("PanicException", "vedavi_runtime",
                                                                              "injected fault")
        assert not isinstance(error, Exception)
    assert "injected fault" in capfd.readouterr().err
    assert native.math_js(None, "").endswith("(document);")  # the module keeps working
    assert sys.getrefcount(xtra) == before  # and the failures released their arguments

GUARDED = [
    ("md2vedavi", (FAULT_MARKER,), "parsing markdown"), ("vedavi2md", (FAULT_MARKER,), "rendering VEDAVI as Markdown"),
    ("wiki2vedavi", (FAULT_MARKER,), "parsing wikitext"), ("blocks", ("x " + FAULT_MARKER,), "parsing markdown"),
    ("inlines", (FAULT_MARKER,), "parsing markdown inlines"), ("anchors", (FAULT_MARKER,), "parsing markdown"),
    ("source_nodes", (FAULT_MARKER,), "parsing markdown source nodes"), ("wrap_md", (FAULT_MARKER,), "wrapping Markdown"),
    ("md_chunks", (FAULT_MARKER,), "chunking Markdown"), ("md_chunks_greedy", (FAULT_MARKER,), "chunking Markdown"),
    ("md_chunks_structural", (FAULT_MARKER,), "chunking Markdown"),
    ("md_chunks_structural_batch", ([FAULT_MARKER],), "chunking Markdown"),
]

@needs_fault_injection
@pytest.mark.parametrize(("name", "args", "activity"), GUARDED, ids=[name for name, _, _ in GUARDED])
def test_internal_failure_in_a_guard_becomes_runtime_error(name, args, activity):
    with pytest.raises(RuntimeError) as caught:
        getattr(native, name)(*args)
    assert type(caught.value) is RuntimeError
    assert str(caught.value) == GUARD_MESSAGE.format(activity)

def test_reference_counts_of_arguments_and_results():
    func, xtra, bad = fresh("f"), fresh(", a: 1"), object()
    flag = numpy_like("bool_", __bool__=lambda self: True)
    before = [sys.getrefcount(obj) for obj in (func, xtra, bad, flag)]
    for _ in range(1000):
        native.math_js(func, xtra)
        native.math_js(func=func, xtra=xtra)
        native.dialect_css(flag)
        for failing in (lambda: native.math_js(func, bad), lambda: native.math_js(func, "", bad),
                        lambda: native.dialect_css(bad)):
            with pytest.raises(TypeError):
                failing()
    assert [sys.getrefcount(obj) for obj in (func, xtra, bad, flag)] == before
    css, js = native.dialect_css(), native.math_js(None, "")
    assert sys.getrefcount(css) == sys.getrefcount(js) == sys.getrefcount(fresh("made in Python"))

def lying(base):
    return type("Lying" + base.__name__, (base,), {"__len__": lambda self: 2**60})

def resolver():
    r = native.Resolver()
    r.register("sec-a", "block", "Alpha")
    r.set_headnum("sec-a", "2.", "2.")
    return r

@pytest.mark.parametrize(("call", "honest", "lying_one"), [
    (native.group_plan, ["sec", "fig"], lying(list)(["sec", "fig"])),
    (native.group_plan, ("sec", "sec"), lying(tuple)(("sec", "sec"))),
    (native.ref_variant, {"page"}, lying(frozenset)({"page"})),
    (lambda templates: native.md2vedavi("{{a}} b", templates=templates),
     JINJA, lying(list)([lying(tuple)(JINJA[0][:5] + (lying(tuple)(JINJA[0][5]),))])),
    (lambda tokens: resolver().core("sec-a", tokens), {"bare"}, lying(frozenset)({"bare"})),
    (lambda tokens: resolver().prefix("", "sec-a", tokens), set(), lying(frozenset)()),
])
def test_a_lying_length_converts_like_an_honest_one(call, honest, lying_one):
    assert call(lying_one) == call(honest)
