"""Resolver and REFTYPES: the cross-reference registry, from Python."""

import gc
import inspect
import sys
import types

import pytest

import vedavi._native as native
from vedavi._native import Resolver

DEFAULTS = {"sec": ("Section", "Sections"), "fig": ("Figure", "Figures"), "tbl": ("Table", "Tables")}
NOT_FOUND = ("not found (targets are headings, paragraphs, figures, tables, spans, and definition "
             "terms with ids)")


def registry():
    r = Resolver()
    r.register("sec-intro", "block", "Introduction")
    r.set_headnum("sec-intro", "2.3.", "2.3.")
    r.register("sec-deep", kind="block")
    r.set_headnum("sec-deep", "(iv)", "2.(a)(iv)")
    r.register("tbl-data", "caption", text="Data")
    r.set_capnum("tbl-data", "Table", 2)
    r.register("term", "text", "Glossary term")
    r.register("para", "block")
    return r


class TestRefTypes:
    def test_module_attribute(self):
        assert type(native.REFTYPES) is dict
        assert list(native.REFTYPES.items()) == list(DEFAULTS.items())

    def test_defaults_and_additions(self):
        assert dict(Resolver().reftypes) == DEFAULTS
        extra = {"eq": ("Equation", "Equations"), "fig": ("Fig.", "Figs.")}
        assert dict(Resolver(extra).reftypes) == {**DEFAULTS, **extra}

    def test_positional_argument_wins_over_keyword(self):
        extra = {"eq": ("Equation", "Equations")}
        assert dict(Resolver(extra).reftypes) == dict(Resolver(reftypes=extra).reftypes)
        assert dict(Resolver(None, reftypes=extra).reftypes) == DEFAULTS
        assert dict(Resolver(extra, "ignored", reftypes={"x": ("X", "Xs")}).reftypes) == {**DEFAULTS, **extra}
        assert dict(Resolver(reftypes=None).reftypes) == DEFAULTS
        assert dict(Resolver(other=1, reftypes=extra).reftypes) == {**DEFAULTS, **extra}

    @pytest.mark.parametrize("reftypes", [[("eq", ("E", "Es"))], {"eq": ["E", "Es"]}, {"eq": ("E", 1)},
                                          {1: ("E", "Es")}, "eq"])
    def test_type_errors(self, reftypes):
        with pytest.raises(TypeError, match="reftypes"):
            Resolver(reftypes)

    def test_tuple_of_wrong_length(self):
        with pytest.raises(ValueError, match="expected tuple of length 2, but got tuple of length 3"):
            Resolver({"eq": ("E", "Es", "x")})


class TestSnapshots:
    @pytest.mark.parametrize("name", ["reftypes", "kinds", "idtext", "headnums", "capnums"])
    def test_read_only_and_fresh(self, name):
        r = registry()
        first = getattr(r, name)
        assert type(first) is types.MappingProxyType
        assert getattr(r, name) is not first
        with pytest.raises(TypeError):
            first["new"] = "x"
        before = dict(first)
        r.register("new", "block", "New")
        r.set_headnum("new", "9.", "9.")
        r.set_capnum("new", "Figure", 9)
        assert dict(first) == before

    def test_values(self):
        r = registry()
        assert dict(r.kinds) == {"sec-intro": "block", "sec-deep": "block", "tbl-data": "caption",
                                 "term": "text", "para": "block"}
        assert dict(r.idtext) == {"sec-intro": "Introduction", "tbl-data": "Data", "term": "Glossary term"}
        assert dict(r.headnums) == {"sec-intro": ("2.3.", "2.3."), "sec-deep": ("(iv)", "2.(a)(iv)")}
        assert dict(r.capnums) == {"tbl-data": ("Table", 2)}

    def test_later_records_replace(self):
        r = Resolver()
        r.register("a", "block", "one")
        r.register("a", None, "two")
        r.register("a", kind="text")
        r.set_capnum("a", "Figure", 1)
        r.set_capnum("a", "Table", 2**32 - 1)
        assert dict(r.kinds) == {"a": "text"}
        assert dict(r.idtext) == {"a": "two"}
        assert dict(r.capnums) == {"a": ("Table", 4294967295)}

    def test_properties_cannot_be_set(self):
        with pytest.raises(AttributeError):
            Resolver().kinds = {}


class TestResolution:
    def test_check(self):
        r = registry()
        assert r.check("term") is None
        with pytest.raises(ValueError) as error:
            r.check("missing")
        assert str(error.value) == "cross-reference target #missing " + NOT_FOUND
        r.register("textonly", text="x")
        with pytest.raises(ValueError, match="#textonly not found"):
            r.check("textonly")

    @pytest.mark.parametrize(("own", "tgt", "tokens", "plural", "expected"), [
        ("see", "eq-3", set(), True, "see "),
        ("", "sec-intro", frozenset(), True, "Sections "),
    ])
    def test_prefix(self, own, tgt, tokens, plural, expected):
        assert registry().prefix(own, tgt, tokens, plural) == expected

    def test_prefix_of_unknown_type(self):
        with pytest.raises(ValueError, match="^unknown reference type 'eq'; pass reftypes= to define its prefix$"):
            registry().prefix("", "eq-3", set())

    def test_custom_prefix_words(self):
        r = Resolver({"fig": ("Fig.", "Figs.")})
        assert r.prefix("", "fig-1", set(), plural=True) == "Figs. "
        assert r.prefix(override_text="", tgt="fig-1", tokens=set()) == "Fig. "

    @pytest.mark.parametrize(("tgt", "tokens", "expected"), [
        ("sec-intro", {"text"}, "Introduction"),
        ("sec-deep", frozenset({"leaf"}), "(iv)"),
    ])
    def test_core(self, tgt, tokens, expected):
        assert registry().core(tgt, tokens) == expected

    def test_core_failure(self):
        with pytest.raises(ValueError, match="^cross-reference #sec-deep needs a text its target does not have$"):
            registry().core("sec-deep", {"text"})


class TestArguments:
    def test_tokens_must_be_a_set(self):
        r = registry()
        with pytest.raises(TypeError, match="tokens"):
            r.core("sec-intro", ["leaf"])
        with pytest.raises(TypeError, match="tokens"):
            r.core("sec-intro", {1})

    def test_capnum_range(self):
        r = Resolver()
        for n in (-1, 2**32):
            with pytest.raises(OverflowError):
                r.set_capnum("a", "Figure", n)
        with pytest.raises(TypeError):
            r.set_capnum("a", "Figure", "1")
        assert dict(r.capnums) == {}

    def test_plural_must_be_a_bool(self):
        with pytest.raises(TypeError, match="plural"):
            registry().prefix("", "sec-intro", set(), 1)

    def test_register_arguments(self):
        r = Resolver()
        with pytest.raises(TypeError):
            r.register()
        with pytest.raises(TypeError, match="kind"):
            r.register("a", 1)
        with pytest.raises(TypeError):
            r.register("a", "block", "text", "surplus")
        assert dict(r.kinds) == {}


class TestSurface:
    def test_class(self):
        assert Resolver.__module__ == "vedavi._native"
        assert str(inspect.signature(Resolver)) == "(*args, **kwargs)"
        assert Resolver.__doc__.startswith("Cross-reference resolution shared by exporters: a registry of targets\n")
        assert Resolver.__doc__.endswith("resolves to.")

    @pytest.mark.parametrize(("name", "signature", "doc"), [
        ("register", "(self, /, id, kind=None, text=None)",
         "Record a target: its kind (`'block'`/`'caption'`, when known) and its\ntext."),
        ("set_headnum", "(self, /, id, display, full)", None),
        ("set_capnum", "(self, /, id, label, n)", None),
        ("check", "(self, /, tgt)", "Raise for a reference to an unknown target id."),
        ("core", "(self, /, tgt, tokens)", "A reference's baked text, without any prefix word."),
        ("prefix", "(self, /, override_text, tgt, tokens, plural=False)",
         "Prefix text before a reference: `override` text, the type's prefix\n"
         "word, or nothing for bare and caption refs."),
    ])
    def test_methods(self, name, signature, doc):
        method = getattr(Resolver, name)
        assert str(inspect.signature(method)) == signature
        assert method.__doc__ == doc


class TestReentrancy:
    def test_count_whose_index_changes_the_registry(self):
        r = Resolver()

        class Count:
            def __index__(self):
                r.set_capnum("fig-inner", "Figure", 1)
                r.register("fig-inner", "caption")
                assert dict(r.capnums) == {"fig-inner": ("Figure", 1)}
                return 7

        r.set_capnum("fig-outer", "Figure", Count())
        assert dict(r.capnums) == {"fig-inner": ("Figure", 1), "fig-outer": ("Figure", 7)}

    def test_token_set_whose_iteration_changes_the_registry(self):
        r = registry()

        class Tokens(set):
            def __iter__(self):
                r.register("sec-intro", text="Changed while converting")
                return super().__iter__()

        assert r.core("sec-intro", Tokens({"text"})) == "Changed while converting"

    def test_keys_with_their_own_hash_and_eq(self):
        r = Resolver()

        class Key(str):
            def __hash__(self):
                r.register("from-hash", "block")
                return str.__hash__(self)

            def __eq__(self, other):
                r.register("from-eq", "block")
                return str.__eq__(self, other)

        reftypes = {Key("eq"): ("E", "Es"), Key("ex"): ("X", "Xs")}
        r2 = Resolver(reftypes)
        r.register(Key("k"), Key("block"), Key("t"))
        assert r2.prefix(Key(""), Key("eq-1"), {Key("bare")}) == ""
        assert r2.prefix("", Key("ex-1"), set()) == "X "
        assert "k" in r.kinds

    def test_mapping_proxy_that_calls_back(self, monkeypatch):
        r = Resolver()
        real = types.MappingProxyType
        calls = []

        def proxy(mapping):
            calls.append(len(mapping))
            r.register(f"t{len(calls)}", "block")
            if len(calls) < 3:
                _ = r.kinds  # reads again from inside the read
            return real(mapping)

        monkeypatch.setattr(types, "MappingProxyType", proxy)
        snapshot = r.kinds
        assert isinstance(snapshot, real)
        # Each read saw the registrations of the reads around it, and none changed its snapshot.
        assert calls == [0, 1, 2]
        assert dict(snapshot) == {}
        monkeypatch.undo()
        assert dict(r.kinds) == {"t1": "block", "t2": "block", "t3": "block"}


class TestReferenceCounts:
    def test_instances_release_their_class_and_arguments(self):
        name = "".join(["sec-", "x" * 20])
        gc.collect()  # instances that earlier tests left in reference cycles
        before = sys.getrefcount(Resolver), sys.getrefcount(native.HeadingNums), sys.getrefcount(name)
        for _ in range(1000):
            r = Resolver({"eq": ("E", "Es")})
            r.register(name, "block", name)
            r.set_headnum(name, "1.", "1.")
            _ = r.kinds, r.headnums, r.core(name, {"leaf"})
            nums = native.HeadingNums({name: "decimal"})
            nums.bump(0)
            with pytest.raises(ValueError):
                r.check(name + "!")
        del r, nums
        gc.collect()
        assert (sys.getrefcount(Resolver), sys.getrefcount(native.HeadingNums), sys.getrefcount(name)) == before
