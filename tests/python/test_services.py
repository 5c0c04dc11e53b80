"""Small services: result types, errors, the page assets byte for byte, properties against the stdlib."""

import base64
import binascii
import hashlib
import html
import html.entities

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native

MALFORMED = "malformed base64 VEDAVI raw payload: "

@pytest.mark.parametrize(("call", "expected"), [
    (lambda: native.ref_tokens(None), set()),
    (lambda: native.ref_tokens("\u3000leaf\u00a0bare\u2028"), {"leaf", "bare"}),
    (lambda: native.ref_variant(frozenset()), "full"),
    (lambda: native.ref_variant(type("Tokens", (frozenset,), {})({"leaf", "nope"})), "leaf"),
    (lambda: native.target_kind("figure"), "caption"), (lambda: native.target_kind(name="div"), None),
    (lambda: native.group_plan([]), []),
    (lambda: native.group_plan(("fig", "fig")), [("", True, True), (" and ", False, True)]),
    (lambda: native.decode_raw("a &amp; b", None), ("a &amp; b", None)),
    (lambda: native.decode_raw(payload="aGk", encoding="base64"), (None, MALFORMED + "Invalid padding")),
    (lambda: native.decode_raw("aGk=", "Base64"), (None, "unknown VEDAVI raw encoding 'Base64'; payload dropped")),
    (lambda: native.trailing_attr_span("x {a}"), None),
    (lambda: native.trailing_attr_span(line="Überschrift 😀 {#id}"), (18, 23)),  # UTF-8 offsets
    (lambda: native.highlight_md(""), ""),
    (lambda: native.highlight_md("*a*", class_prefix=""), '<span class="markup-italic">*a*</span>'),
    (lambda: native.highlight_md(src="*a*"), '<span class="hl-markup-italic">*a*</span>'),
    (lambda: native.frontmatter_meta("# Title\n"), []),
    (lambda: native.frontmatter_meta(src="---\r\nt: Grüße 😀\r\na: 'q'\n---\ntext\n"), [("t", "Grüße 😀"), ("a", "q")]),
])
def test_results(call, expected):
    result = call()
    assert result == expected and type(result) is type(expected)

@pytest.mark.parametrize("unit", ["# h\u00e9 *a*\n\n", "- `x` \U0001F600 & <b>\n\n"])
def test_highlight_md_of_a_large_source(unit):
    # Large sources take the str in pieces: the same characters as a small one's, whatever their width.
    assert native.highlight_md(unit * 20000) == native.highlight_md(unit) * 20000

@pytest.mark.parametrize(("call", "error", "message"), [
    (lambda: native.ref_tokens("rel leaf"), ValueError, "conflicting data-ref tokens: ['leaf', 'rel']"),
    (lambda: native.ref_tokens("foo Zed foo"), ValueError, "unknown data-ref tokens: ['Zed', 'foo']"),
    (lambda: native.ref_tokens(b"page"), TypeError, "argument 'val': 'bytes' object is not an instance of 'str'"),
    (lambda: native.ref_tokens(), TypeError, "ref_tokens() missing 1 required positional argument: 'val'"),
    (lambda: native.decode_raw("x"), TypeError, "decode_raw() missing 1 required positional argument: 'encoding'"),
    (lambda: native.frontmatter_meta(), TypeError, "frontmatter_meta() missing 1 required positional argument: 'src'"),
    (lambda: native.ref_variant("page"), TypeError, "argument 'tokens': 'str' object is not an instance of 'set'"),
    (lambda: native.ref_variant({1}), TypeError, "argument 'tokens': 'int' object is not an instance of 'str'"),
    (lambda: native.target_kind(None), TypeError, "argument 'name': 'NoneType' object is not an instance of 'str'"),
    (lambda: native.group_plan("sec"), TypeError, "argument 'types': Can't extract `str` to `Vec`"),
    (lambda: native.group_plan({"sec"}), TypeError, "argument 'types': 'set' object is not an instance of 'Sequence'"),
    (lambda: native.group_plan([1]), TypeError, "argument 'types': 'int' object is not an instance of 'str'"),
    (lambda: native.decode_raw("x", b"base64"), TypeError,
     "argument 'encoding': 'bytes' object is not an instance of 'str'"),
    (lambda: native.highlight_md(b"*a*"), TypeError, "argument 'src': 'bytes' object is not an instance of 'str'"),
    (lambda: native.trailing_attr_span(3), TypeError, "argument 'line': 'int' object is not an instance of 'str'"),
    (lambda: native.frontmatter_meta(None), TypeError, "argument 'src': 'NoneType' object is not an instance of 'str'"),
])
def test_errors(call, error, message):
    with pytest.raises(error) as caught:
        call()
    assert type(caught.value) is error and str(caught.value) == message

@given(st.text(), st.lists(st.tuples(st.integers(0, 10**6), st.sampled_from(" \t\n\r\f")), max_size=8))
def test_base64_round_trip(text, blanks):
    encoded = base64.b64encode(text.encode()).decode()
    for position, blank in blanks:
        position %= len(encoded) + 1
        encoded = encoded[:position] + blank + encoded[position:]
    assert native.decode_raw(encoded, "base64") == (text, None)

@settings(max_examples=500)
@given(st.text(alphabet="AB/+wgYcI=a \n!\u00a0", max_size=12))
def test_base64_never_laxer_than_python(text):
    # Python's strict decoder also takes surplus padding and left-over bits, which this one refuses.
    payload, warning = native.decode_raw(text, "base64")
    assert (payload is None) != (warning is None)
    try:
        expected = binascii.a2b_base64("".join(c for c in text if c not in " \t\n\r\f").encode(),
                                       strict_mode=True).decode()
    except (binascii.Error, UnicodeError, ValueError):
        expected = None
    if payload is not None:
        assert payload == expected
    elif expected is not None:
        assert warning.startswith((MALFORMED + "Invalid last symbol", MALFORMED + "Invalid symbol 61,"))

# Numeric references that html.unescape keeps as they are (it remaps C1 controls, drops noncharacters).
CODE_POINTS = st.one_of(st.integers(0x20, 0x7E), st.integers(0xA0, 0xD7FF), st.integers(0xE000, 0xFDCF),
                        st.integers(0x10000, 0x1FFFD))
PIECES = st.one_of(
    st.text(alphabet=st.characters(blacklist_characters="&", blacklist_categories=("Cs",)), max_size=5),
    st.sampled_from(sorted(name for name in html.entities.html5 if name.endswith(";"))).map(lambda n: "&" + n),
    CODE_POINTS.map(lambda cp: f"&#{cp};"),
    CODE_POINTS.map(lambda cp: f"&#x{cp:X};"),
    st.sampled_from(["& ", "&; ", "&#; ", "&nosuchname; ", "& amp;"]),  # a "&" that starts no reference
)

@given(st.lists(PIECES, max_size=12).map("".join))
def test_html_payload_agrees_with_python(payload):
    assert native.decode_raw(payload, "html") == (html.unescape(payload), None)

MATH_BODY = ("o => { for (const el of o.querySelectorAll('span.math:not([data-mathed]), div.math:not([data-mathed])'))"
             " { el.dataset.mathed = 1; katex.render(el.textContent, el, {displayMode: el.classList.contains('display'),"
             " throwOnError: false{}}); } }")

def test_page_assets():
    base, preview = native.dialect_css(), native.dialect_css(preview=True)
    assert (len(base.encode()), len(preview.encode())) == (1419, 1752) and preview.startswith(base)
    assert hashlib.sha256(base.encode()).hexdigest() == "d948acf57b22b8e8cdd8ac7420f5c1a16959e4924595a4049c0e5798df00cfc1"
    assert hashlib.sha256(preview.encode()).hexdigest() == "79d4d696c7918c8a1b01920f52f103d184ec7452401bf2a1e0881b4ddf51052b"
    assert native.math_js(None, "") == "(" + MATH_BODY.replace("{}}", "}") + ")(document);"
    assert native.math_js("typeset", ", macros: M") == "const typeset = " + MATH_BODY.replace("{}}", ", macros: M}") + ";"
    # Neither text is checked or escaped.
    assert native.math_js(xtra="'\"\\ é😀", func="a'b\n</script>") == \
        "const a'b\n</script> = " + MATH_BODY.replace("{}}", "'\"\\ é😀}") + ";"
