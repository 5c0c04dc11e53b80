"""export_html: argument conversion, the hooks' contract, and failures as Python sees them."""

import pytest

import vedavi._native as native
from test_frame import FAULT_MARKER, needs_fault_injection

PY_BLOCK = '<pre><code class="language-py">x = 1</code></pre>'


def export(src, **overrides):
    args = dict(reftypes=None, number_headings=None, hl=None, toc=False, refs="strict", id_prefix="",
                fn_salt="", hl_lang=None, code_wrap=None, hl_fn=None, auto_ids=False, gh_ids=False)
    args.update(overrides)
    return native.export_html(src, **args)


class TestArguments:
    def test_all_thirteen_are_required(self):
        with pytest.raises(TypeError, match="missing 1 required positional argument: 'gh_ids'"):
            native.export_html("", None, None, None, False, "", "", "", None, None, None, False)

    @pytest.mark.parametrize("refs", ["IDS", "", "Lenient", "strict"])
    def test_unknown_refs_words_are_strict(self, refs):
        with pytest.raises(ValueError, match="^cross-reference target #nope not found"):
            export('<a href="#nope" data-ref=""></a>', refs=refs)

    def test_refs_modes(self):
        link = '<a href="#nope" data-ref=""></a>'
        assert export(link, refs="ids") == ('<a href="#nope" class="xref">nope</a>', [])
        assert export(link, refs="lenient")[1][0].startswith("cross-reference target #nope not found")

    def test_empty_hl_is_toks(self):
        seen = []
        export(PY_BLOCK, hl="", hl_fn=lambda code, lang: seen.append(lang) or '<i toks="t">')
        assert seen == ["py"]
        assert export(PY_BLOCK, hl="", hl_fn=lambda c, l: '<i toks="t">')[0].startswith('<hl-code toks="t">')

    @pytest.mark.parametrize("value", [True, 0, 1, 2.0, ["decimal"]])
    def test_number_headings_refuses_other_types(self, value):
        with pytest.raises(TypeError, match="^'.+' object is not an instance of 'dict'$"):
            export("", number_headings=value)

    def test_number_headings_forms(self):
        heading = '<h2 id="sec-a">A</h2><a href="#sec-a" data-ref=""></a>'
        with pytest.raises(ValueError, match="needs a number its target does not have"):
            export(heading, number_headings=False)
        assert "1.</span> A" in export(heading, number_headings=None)[0]
        assert "<h2>A</h2>" == export("<h2>A</h2>", number_headings=None)[0]
        levels = export("<h2>A</h2>", number_headings={"": "decimal", "[%2]": "upperLetter"})[0]
        assert levels == '<h2><span class="heading-number">[A]</span> A</h2>'
        with pytest.raises(ValueError, match="^unknown numbering scheme 'nope'$"):
            export("", number_headings="nope")

    def test_number_headings_dict_of_str_only(self):
        with pytest.raises(TypeError):
            export("", number_headings={"%1": 1})

    @pytest.mark.parametrize("name", ["toc", "auto_ids", "gh_ids"])
    def test_flags_refuse_ints(self, name):
        with pytest.raises(TypeError, match=f"^argument '{name}'"):
            export("", **{name: 1})

    def test_type_errors_win_over_number_headings(self):
        with pytest.raises(TypeError, match="^argument 'gh_ids'"):
            export("", number_headings=True, gh_ids=None)

    def test_reftypes(self):
        src = '<p id="eq-1">x</p><a href="#eq-1" data-ref="text"></a>'
        assert export(src, reftypes={"eq": ("Eq.", "Eqs.")})[0].endswith('<a href="#eq-1">Eq. x</a>')
        with pytest.raises(TypeError, match="^argument 'reftypes'"):
            export(src, reftypes={"eq": "Eq."})


class TestHooks:
    def test_arguments_and_order(self):
        calls = []
        html, _ = export(
            PY_BLOCK, hl="spans",
            hl_lang=lambda code, lang: calls.append(("lang", code, lang)) or "python",
            hl_fn=lambda code, lang: calls.append(("hl", code, lang)) or "<b>x</b>",
            code_wrap=lambda html, lang, code: calls.append(("wrap", html, lang, code)) or None)
        assert calls == [("lang", "x = 1", "py"), ("hl", "x = 1", "python"),
                         ("wrap", '<pre><code class="language-python"><b>x</b></code></pre>', "python", "x = 1")]
        assert html == '<pre><code class="language-python"><b>x</b></code></pre>'

    def test_missing_language_is_none(self):
        seen = []
        export("<pre><code>x</code></pre>", hl_lang=lambda code, lang: seen.append(lang))
        assert seen == [None]

    @pytest.mark.parametrize("hook", ["hl_lang", "code_wrap", "hl_fn"])
    @pytest.mark.parametrize("result", [1, b"x", ["x"]])
    def test_wrong_result_type(self, hook, result):
        with pytest.raises(TypeError, match="object is not an instance of 'str'"):
            export(PY_BLOCK, hl="spans", **{hook: lambda *args: result})

    def test_not_callable_fails_only_when_called(self):
        assert export("<p>no code</p>", code_wrap=42) == ("<p>no code</p>", [])
        with pytest.raises(TypeError, match="not callable"):
            export(PY_BLOCK, code_wrap=42)


@needs_fault_injection
def test_internal_failure_is_a_panic_not_a_runtime_error():
    with pytest.raises(BaseException) as caught:
        export(FAULT_MARKER)
    assert type(caught.value).__name__ == "PanicException"
