"""export_html: argument conversion, the hooks' contract, and failures as Python sees them."""

import pytest

import vedavi._native as native
from conftest import FAULT_MARKER, needs_fault_injection

PY_BLOCK = '<pre><code class="language-py">x = 1</code></pre>'
LINK = '<a href="#nope" data-ref=""></a>'
HEADING = '<h2 id="sec-a">A</h2><a href="#sec-a" data-ref=""></a>'

def export(src, **overrides):
    args = dict(reftypes=None, number_headings=None, hl=None, toc=False, refs="strict", id_prefix="",
                fn_salt="", hl_lang=None, code_wrap=None, hl_fn=None, auto_ids=False, gh_ids=False)
    return native.export_html(src, **{**args, **overrides})

def test_arguments():
    with pytest.raises(TypeError, match="^export_html\\(\\) missing 1 required positional argument: 'gh_ids'$"):
        native.export_html("", None, None, None, False, "", "", "", None, None, None, False)
    assert export(LINK, refs="ids") == ('<a href="#nope" class="xref">nope</a>', [])
    assert export(LINK, refs="lenient")[1][0].startswith("cross-reference target #nope not found")
    assert "1.</span> A" in export(HEADING, number_headings=None)[0]
    assert export("<h2>A</h2>", number_headings=None)[0] == "<h2>A</h2>"
    assert export("<h2>A</h2>", number_headings={"": "decimal", "[%2]": "upperLetter"})[0] == \
        '<h2><span class="heading-number">[A]</span> A</h2>'
    src = '<p id="eq-1">x</p><a href="#eq-1" data-ref="text"></a>'
    assert export(src, reftypes={"eq": ("Eq.", "Eqs.")})[0].endswith('<a href="#eq-1">Eq. x</a>')
    seen = []  # an empty hl is "toks"
    assert export(PY_BLOCK, hl="", hl_fn=lambda code, lang: seen.append(lang) or '<i toks="t">')[0].startswith(
        '<hl-code toks="t">')
    assert seen == ["py"]

@pytest.mark.parametrize(("kw", "error", "message"), [
    *[({"refs": refs, "src": LINK}, ValueError, "^cross-reference target #nope not found") for refs in ["IDS", "", "Lenient", "strict"]],
    ({"number_headings": False, "src": HEADING}, ValueError, "needs a number its target does not have"),
    ({"number_headings": "nope"}, ValueError, "^unknown numbering scheme 'nope'$"),
    *[({"number_headings": value}, TypeError, "^'.+' object is not an instance of 'dict'$") for value in [True, 0, 2.0, ["decimal"]]],
    ({"number_headings": {"%1": 1}}, TypeError, "^'int' object is not an instance of 'str'$"),
    *[({name: 1}, TypeError, f"^argument '{name}'") for name in ["toc", "auto_ids", "gh_ids"]],
    ({"number_headings": True, "gh_ids": None}, TypeError, "^argument 'gh_ids'"),  # before number_headings
    ({"reftypes": {"eq": "Eq."}}, TypeError, "^argument 'reftypes'"),
    ({"code_wrap": 42, "src": PY_BLOCK}, TypeError, "not callable"),
    *[({hook: lambda *args, r=result: r, "hl": "spans", "src": PY_BLOCK}, TypeError, "object is not an instance of 'str'")
      for hook in ["hl_lang", "code_wrap", "hl_fn"] for result in [1, b"x", ["x"]]],
])
def test_errors(kw, error, message):
    with pytest.raises(error, match=message):
        export(kw.pop("src", ""), **kw)

def test_hooks():
    calls = []
    html, _ = export(PY_BLOCK, hl="spans",
                     hl_lang=lambda code, lang: calls.append(("lang", code, lang)) or "python",
                     hl_fn=lambda code, lang: calls.append(("hl", code, lang)) or "<b>x</b>",
                     code_wrap=lambda html, lang, code: calls.append(("wrap", html, lang, code)) or None)
    assert calls == [("lang", "x = 1", "py"), ("hl", "x = 1", "python"),
                     ("wrap", '<pre><code class="language-python"><b>x</b></code></pre>', "python", "x = 1")]
    assert html == '<pre><code class="language-python"><b>x</b></code></pre>'
    seen = []
    export("<pre><code>x</code></pre>", hl_lang=lambda code, lang: seen.append(lang))
    assert seen == [None]
    assert export("<p>no code</p>", code_wrap=42) == ("<p>no code</p>", [])  # not callable, never called

@needs_fault_injection
def test_internal_failure_is_a_panic_not_a_runtime_error():
    with pytest.raises(BaseException) as caught:
        export(FAULT_MARKER)
    assert type(caught.value).__name__ == "PanicException"
