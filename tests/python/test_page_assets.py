"""dialect_css and math_js: the style sheet and the math script, byte for byte."""

import hashlib

import pytest

import vedavi._native as native

BASE_SHA256 = "d948acf57b22b8e8cdd8ac7420f5c1a16959e4924595a4049c0e5798df00cfc1"
PREVIEW_SHA256 = "79d4d696c7918c8a1b01920f52f103d184ec7452401bf2a1e0881b4ddf51052b"

MATH_BODY = (
    "o => { for (const el of o.querySelectorAll('span.math:not([data-mathed]), div.math:not([data-mathed])')) "
    "{ el.dataset.mathed = 1; katex.render(el.textContent, el, {displayMode: el.classList.contains('display'), "
    "throwOnError: false{}}); } }"
)


def sha256(text):
    return hashlib.sha256(text.encode()).hexdigest()


class TestDialectCss:
    def test_base_sheet(self):
        css = native.dialect_css()
        assert len(css.encode()) == 1419
        assert css.endswith(" }\n")
        assert sha256(css) == BASE_SHA256
        assert native.dialect_css(False) == css
        assert native.dialect_css(preview=False) == css

    def test_preview_sheet_extends_the_base_sheet(self):
        css = native.dialect_css(True)
        assert len(css.encode()) == 1752
        assert css.startswith(native.dialect_css())
        assert sha256(css) == PREVIEW_SHA256
        assert native.dialect_css(preview=True) == css

    def test_every_line_is_one_rule(self):
        lines = native.dialect_css(True).split("\n")
        assert lines[-1] == ""
        assert len(lines[:-1]) == 20
        for line in lines[:-1]:
            selector, _, rest = line.partition(" { ")
            assert selector and rest.endswith("; }")

    def test_css_escapes_are_written_literally(self):
        css = native.dialect_css(True)
        assert "content: '\\1F587';" in css
        assert "content: ' \\2693' attr(data-id);" in css

    @pytest.mark.parametrize("flag", [1, 0, None, "yes", 1.0, [True]])
    def test_flag_refuses_non_booleans(self, flag):
        with pytest.raises(TypeError, match=r"^argument 'preview': '\w+' object is not an instance of 'bool'$"):
            native.dialect_css(flag)


class TestMathJs:
    def test_applied_to_the_document_without_a_name(self):
        js = native.math_js(None, "")
        assert js == "(" + MATH_BODY.replace("{}}", "}") + ")(document);"
        assert js.startswith("(o => { for (const el of")
        assert js.endswith("throwOnError: false}); } })(document);")

    def test_stored_under_a_name(self):
        js = native.math_js("typeset", ", macros: M")
        assert js == "const typeset = " + MATH_BODY.replace("{}}", ", macros: M}") + ";"
        assert js.startswith("const typeset = o => {")
        assert js.endswith("throwOnError: false, macros: M}); } };")

    def test_texts_are_neither_checked_nor_escaped(self):
        js = native.math_js("a'b\n</script>", "'\"\\ é😀")
        assert js.startswith("const a'b\n</script> = o => {")
        assert "throwOnError: false'\"\\ é😀}); } };" in js

    def test_keywords_and_positions_mix(self):
        expected = native.math_js("f", ", x: 1")
        assert native.math_js(func="f", xtra=", x: 1") == expected
        assert native.math_js("f", xtra=", x: 1") == expected
        assert native.math_js(xtra=", x: 1", func="f") == expected

    @pytest.mark.parametrize(
        ("args", "message"),
        [
            ((1, ""), r"^argument 'func': 'int' object is not an instance of 'str'$"),
            ((b"f", ""), r"^argument 'func': 'bytes' object is not an instance of 'str'$"),
            (("f", None), r"^argument 'xtra': 'NoneType' object is not an instance of 'str'$"),
            ((None, 3.5), r"^argument 'xtra': 'float' object is not an instance of 'str'$"),
        ],
    )
    def test_refuses_non_text(self, args, message):
        with pytest.raises(TypeError, match=message):
            native.math_js(*args)
