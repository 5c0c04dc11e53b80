"""Small services seen from Python: result types, exceptions and argument rules, and properties
against the standard library (base64, html.unescape). Their rules are tested in C++ (tests/cpp/resolve)."""

import base64
import binascii
import html
import html.entities

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vedavi._native as native


class TestRefTokens:
    @pytest.mark.parametrize(("val", "tokens"), [(None, set()), ("\u3000leaf\u00a0bare\u2028", {"leaf", "bare"})])
    def test_token_sets(self, val, tokens):
        result = native.ref_tokens(val)
        assert type(result) is set
        assert result == tokens

    @pytest.mark.parametrize(("val", "message"), [
        ("rel leaf", "conflicting data-ref tokens: ['leaf', 'rel']"),
        ("foo Zed foo", "unknown data-ref tokens: ['Zed', 'foo']"),
    ])
    def test_failures(self, val, message):
        with pytest.raises(ValueError) as error:
            native.ref_tokens(val)
        assert str(error.value) == message

    def test_types(self):
        with pytest.raises(TypeError, match="val"):
            native.ref_tokens(b"page")
        with pytest.raises(TypeError):
            native.ref_tokens()

    @given(st.lists(st.sampled_from(["page", "text", "leaf", "rel", "bare", "x", "Page"]), max_size=6),
           st.sampled_from([" ", "\t", "\u2003", "\n "]))
    def test_agrees_with_split(self, words, sep):
        known = {"page", "text", "leaf", "rel", "bare"}
        unknown = sorted(set(words) - known)
        variants = sorted(set(words) & {"page", "text", "leaf", "rel"})
        try:
            result = native.ref_tokens(sep.join(words))
        except ValueError as error:
            if unknown:
                assert str(error) == "unknown data-ref tokens: [" + ", ".join(f"'{w}'" for w in unknown) + "]"
            else:
                assert len(variants) > 1
                assert str(error) == "conflicting data-ref tokens: [" + ", ".join(f"'{w}'" for w in variants) + "]"
        else:
            assert not unknown and len(variants) <= 1
            assert result == set(words)


class TestRefVariant:
    @pytest.mark.parametrize(("tokens", "variant"), [(frozenset(), "full"), ({"text", "bare"}, "text")])
    def test_variants(self, tokens, variant):
        assert native.ref_variant(tokens) == variant

    def test_subclasses_of_set(self):
        class Tokens(frozenset):
            pass

        assert native.ref_variant(Tokens({"leaf"})) == "leaf"

    @pytest.mark.parametrize("tokens", [["page"], ("page",), "page", {"page": 1}, {1}, None])
    def test_type_errors(self, tokens):
        with pytest.raises(TypeError, match="tokens"):
            native.ref_variant(tokens)


class TestTargetKind:
    @pytest.mark.parametrize(("name", "kind"), [("figure", "caption"), ("div", None)])
    def test_kinds(self, name, kind):
        assert native.target_kind(name) == kind

    def test_type_error(self):
        with pytest.raises(TypeError, match="name"):
            native.target_kind(None)


class TestGroupPlan:
    @pytest.mark.parametrize(("types", "plan"), [
        ([], []),
        (("fig", "fig"), [("", True, True), (" and ", False, True)]),
    ])
    def test_plans(self, types, plan):
        assert native.group_plan(types) == plan

    def test_refuses_a_str(self):
        with pytest.raises(TypeError) as error:
            native.group_plan("sec")
        assert str(error.value) == "argument 'types': Can't extract `str` to `Vec`"

    @pytest.mark.parametrize("types", [None, 5, {"sec"}, [1]])
    def test_type_errors(self, types):
        with pytest.raises(TypeError):
            native.group_plan(types)


MALFORMED = "malformed base64 VEDAVI raw payload: "


class TestDecodeRaw:
    @pytest.mark.parametrize(("payload", "encoding", "result"), [
        ("a &amp; b", None, ("a &amp; b", None)),
        ("aGk", "base64", (None, MALFORMED + "Invalid padding")),
        ("aGk=", "Base64", (None, "unknown VEDAVI raw encoding 'Base64'; payload dropped")),
    ])
    def test_results(self, payload, encoding, result):
        assert native.decode_raw(payload, encoding) == result

    def test_arguments(self):
        with pytest.raises(TypeError):
            native.decode_raw("x")
        assert native.decode_raw(payload="x", encoding=None) == ("x", None)
        with pytest.raises(TypeError, match="encoding"):
            native.decode_raw("x", b"base64")

    @given(st.text(), st.lists(st.tuples(st.integers(0, 10**6), st.sampled_from(" \t\n\r\f")), max_size=8))
    def test_base64_round_trip(self, text, blanks):
        encoded = base64.b64encode(text.encode()).decode()
        for position, blank in blanks:
            position %= len(encoded) + 1
            encoded = encoded[:position] + blank + encoded[position:]
        assert native.decode_raw(encoded, "base64") == (text, None)

    @settings(max_examples=500)
    @given(st.text(alphabet="AB/+wgYcI=a \n!\u00a0", max_size=12))
    def test_base64_never_laxer_than_python(self, text):
        # Python's strict decoder also accepts surplus padding and left-over bits, which this one
        # refuses; wherever this one decodes, Python decodes the same text.
        payload, warning = native.decode_raw(text, "base64")
        assert (payload is None) != (warning is None)
        compact = "".join(c for c in text if c not in " \t\n\r\f")
        try:
            expected = binascii.a2b_base64(compact.encode(), strict_mode=True).decode()
        except (binascii.Error, UnicodeError, ValueError):
            expected = None
        if payload is not None:
            assert payload == expected
        elif expected is not None:
            assert warning.startswith((MALFORMED + "Invalid last symbol", MALFORMED + "Invalid symbol 61,"))


NAMED = sorted(name for name in html.entities.html5 if name.endswith(";"))
# Numeric references where html.unescape keeps the code point as it is (it remaps C1 controls,
# drops noncharacters and other control characters).
CODE_POINTS = st.one_of(st.integers(0x20, 0x7E), st.integers(0xA0, 0xD7FF), st.integers(0xE000, 0xFDCF),
                        st.integers(0x10000, 0x1FFFD))
PIECES = st.one_of(
    # Text a str can hold in UTF-8: no lone surrogates, which no md source carries either.
    st.text(alphabet=st.characters(blacklist_characters="&", blacklist_categories=("Cs",)), max_size=5),
    st.sampled_from(NAMED).map(lambda name: "&" + name),
    CODE_POINTS.map(lambda cp: f"&#{cp};"),
    CODE_POINTS.map(lambda cp: f"&#x{cp:X};"),
    # A "&" that starts no reference; the blank keeps what follows from completing one.
    st.sampled_from(["& ", "&; ", "&#; ", "&nosuchname; ", "& amp;"]),
)


class TestDecodeRawHtml:
    @given(st.lists(PIECES, max_size=12).map("".join))
    def test_agrees_with_python(self, payload):
        assert native.decode_raw(payload, "html") == (html.unescape(payload), None)
