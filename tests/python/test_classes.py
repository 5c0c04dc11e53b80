"""Resolver, REFTYPES, HeadingNums and SCHEMES from Python (their rules are tested in C++)."""

import gc
import inspect
import sys
import types

import pytest

import vedavi._native as native
from vedavi._native import HeadingNums, Resolver

DEFAULTS = {"sec": ("Section", "Sections"), "fig": ("Figure", "Figures"), "tbl": ("Table", "Tables")}
EQ = {"eq": ("Equation", "Equations")}

def registry():
    r = Resolver()
    r.register("sec-intro", "block", "Introduction")
    r.set_headnum("sec-intro", "2.3.", "2.3.")
    r.register("sec-deep", kind="block")
    r.set_headnum("sec-deep", "(iv)", "2.(a)(iv)")
    r.register("tbl-data", "caption", text="Data")
    r.set_capnum("tbl-data", "Table", 2)
    r.register("term", "text", "Glossary term")
    return r

def test_reftypes_from_the_first_positional_argument_else_the_keyword():
    assert type(native.REFTYPES) is dict and list(native.REFTYPES.items()) == list(DEFAULTS.items())
    assert dict(Resolver().reftypes) == dict(Resolver(reftypes=None).reftypes) == DEFAULTS
    assert dict(Resolver(None, reftypes=EQ).reftypes) == DEFAULTS
    extra = {**EQ, "fig": ("Fig.", "Figs.")}
    for r in (Resolver(extra), Resolver(reftypes=extra), Resolver(extra, "ignored", reftypes={"x": ("X", "Xs")}),
              Resolver(other=1, reftypes=extra)):
        assert dict(r.reftypes) == {**DEFAULTS, **extra}

@pytest.mark.parametrize(("reftypes", "error"), [(r, TypeError) for r in [
    [("eq", ("E", "Es"))], {"eq": ["E", "Es"]}, {"eq": ("E", 1)}, {1: ("E", "Es")}, "eq"]] + [({"eq": ("E", "Es", "x")}, ValueError)])
def test_reftypes_errors(reftypes, error):
    message = "^argument 'reftypes'" if error is TypeError else "^expected tuple of length 2, but got tuple of length 3$"
    with pytest.raises(error, match=message):
        Resolver(reftypes)

@pytest.mark.parametrize("name", ["reftypes", "kinds", "idtext", "headnums", "capnums"])
def test_snapshots_are_read_only_and_fresh(name):
    r = registry()
    first = getattr(r, name)
    assert type(first) is types.MappingProxyType and getattr(r, name) is not first
    with pytest.raises(TypeError):
        first["new"] = "x"
    before = dict(first)
    r.register("new", "block", "New")
    r.set_headnum("new", "9.", "9.")
    r.set_capnum("new", "Figure", 9)
    assert dict(first) == before
    with pytest.raises(AttributeError):
        setattr(r, name, {})

def test_registry_and_resolution():
    r = registry()
    r.register("a", "block", "one")
    r.register("a", None, "two")
    r.register("a", kind="text")
    r.set_capnum("a", "Figure", 1)
    r.set_capnum("a", "Table", 2**32 - 1)
    assert dict(r.kinds) == {"sec-intro": "block", "sec-deep": "block", "tbl-data": "caption", "term": "text", "a": "text"}
    assert dict(r.idtext) == {"sec-intro": "Introduction", "tbl-data": "Data", "term": "Glossary term", "a": "two"}
    assert dict(r.headnums) == {"sec-intro": ("2.3.", "2.3."), "sec-deep": ("(iv)", "2.(a)(iv)")}
    assert dict(r.capnums) == {"tbl-data": ("Table", 2), "a": ("Table", 4294967295)}
    assert r.check("term") is None
    assert r.prefix("see", "eq-3", set(), True) == "see "
    assert r.prefix(override_text="", tgt="sec-intro", tokens=frozenset(), plural=True) == "Sections "
    assert r.core("sec-intro", {"text"}) == "Introduction"
    assert r.core("sec-deep", frozenset({"leaf", "unknown"})) == "(iv)"

@pytest.mark.parametrize(("call", "error", "message"), [
    (lambda r: r.check("missing"), ValueError, "cross-reference target #missing not found (targets are headings, "
     "paragraphs, figures, tables, spans, and definition terms with ids)"),
    (lambda r: r.prefix("", "eq-3", set()), ValueError, "unknown reference type 'eq'; pass reftypes= to define its prefix"),
    (lambda r: r.core("sec-deep", {"text"}), ValueError, "cross-reference #sec-deep needs a text its target does not have"),
    (lambda r: r.core("sec-intro", ["leaf"]), TypeError, "argument 'tokens': 'list' object is not an instance of 'set'"),
    (lambda r: r.core("sec-intro", {1}), TypeError, "argument 'tokens': 'int' object is not an instance of 'str'"),
    (lambda r: r.prefix("", "sec-intro", set(), 1), TypeError, "argument 'plural': 'int' object is not an instance of 'bool'"),
    (lambda r: r.set_capnum("a", "Figure", -1), OverflowError, None),
    (lambda r: r.set_capnum("a", "Figure", 2**32), OverflowError, "out of range integral type conversion attempted"),
    (lambda r: r.set_capnum("a", "Figure", "1"), TypeError, None),
    (lambda r: r.register(), TypeError, "Resolver.register() missing 1 required positional argument: 'id'"),
    (lambda r: r.register("a", 1), TypeError, "argument 'kind': 'int' object is not an instance of 'str'"),
    (lambda r: r.register("a", "block", "text", "surplus"), TypeError,
     "Resolver.register() takes from 1 to 3 positional arguments but 4 were given"),
])
def test_resolver_errors(call, error, message):
    r = registry()
    before = dict(r.kinds), dict(r.capnums)
    with pytest.raises(error) as caught:
        call(r)
    assert type(caught.value) is error and message in (None, str(caught.value))
    assert (dict(r.kinds), dict(r.capnums)) == before

def test_heading_nums():
    assert list(native.SCHEMES) == ["decimal", "legal"] and type(native.SCHEMES) is dict
    assert native.SCHEMES["legal"] == {"": "decimal", "%2.": "decimal", "(%3)": "lowerLetter", "(%4)": "lowerRoman",
                                       "(%5)": "upperLetter", "(%6)": "upperRoman", "(%7)": "decimal"}
    for name, levels in native.SCHEMES.items():
        assert HeadingNums(name).scheme == list(levels.items())
    nums = HeadingNums("decimal")
    assert [nums.bump(1), nums.bump(1), nums.bump(2), nums.bump(7), nums.bump(2**64 - 1)] == ["1.", "2.", "2.1.", None, None]
    assert (nums.counts, nums.display(1), nums.display(0), nums.full(2)) == ([0, 2, 1, 0, 0, 0, 0], "2.", "", "2.1.")
    scheme, counts = nums.scheme, nums.counts  # fresh lists
    scheme.clear()
    counts[1] = 99
    assert (len(nums.scheme), nums.counts) == (7, [0, 2, 1, 0, 0, 0, 0])
    empty = HeadingNums({})
    assert (empty.scheme, empty.counts, empty.bump(0)) == ([], [], None)
    assert len(HeadingNums({"%9": "decimal", **{str(i): "decimal" for i in range(8)}}).scheme) == 9
    class Odd(dict):  # the dict's own items, whatever the subclass says
        def items(self):
            return [("%1", "nope")]
    assert HeadingNums(Odd({"%1.": "upperRoman"})).scheme == [("%1.", "upperRoman")]
    native.SCHEMES["mine"] = {}
    try:  # changing the dict changes nothing in the core
        with pytest.raises(ValueError, match="^unknown numbering scheme 'mine'$"):
            HeadingNums("mine")
    finally:
        del native.SCHEMES["mine"]

@pytest.mark.parametrize(("call", "error", "message"), [
    (lambda: HeadingNums("Decimal"), ValueError, "unknown numbering scheme 'Decimal'"),
    (lambda: HeadingNums({"a": "decimal", 'q"\n\u200b%3': "decimal"}), ValueError,
     'lvlText "q\\"\\n\\u{200b}%3" references level %3 beyond the scheme'),
    (lambda: HeadingNums("legal").display(7), ValueError, "level 7 is beyond the numbering scheme, whose levels are 0 to 6"),
    (lambda: HeadingNums("legal").full(2**64 - 1), ValueError,
     "level 18446744073709551615 is beyond the numbering scheme, whose levels are 0 to 6"),
    (lambda: HeadingNums("legal").full(-1), OverflowError, None),
    (lambda: HeadingNums("legal").bump(2**64), OverflowError, None),
    (lambda: HeadingNums("legal").bump("1"), TypeError, None),
    (lambda: HeadingNums(), TypeError, "HeadingNums() missing 1 required positional argument: 'scheme'"),
    (lambda: HeadingNums("decimal", "legal"), TypeError, None),
    (lambda: HeadingNums(schema="decimal"), TypeError, "HeadingNums() got an unexpected keyword argument 'schema'"),
    (lambda: setattr(HeadingNums("legal"), "counts", [1]), AttributeError, None),
] + [(lambda scheme=scheme: HeadingNums(scheme), TypeError, None)
     for scheme in [None, 5, ["decimal"], (("%1", "decimal"),), {1: "decimal"}, {"%1": None}, b"decimal"]])
def test_heading_nums_errors(call, error, message):
    with pytest.raises(error) as caught:
        call()
    assert type(caught.value) is error and message in (None, str(caught.value))

def test_class_surface():
    for cls, signature in ((Resolver, "(*args, **kwargs)"), (HeadingNums, "(scheme)")):
        assert (cls.__module__, cls.__qualname__, str(inspect.signature(cls))) == ("vedavi._native", cls.__name__, signature)
        with pytest.raises(TypeError):
            type("Sub", (cls,), {})
    assert Resolver.__doc__.startswith("Cross-reference resolution shared by exporters: a registry of targets\n")
    assert Resolver.__doc__.endswith("resolves to.")
    assert HeadingNums.__doc__ == ("Heading numbering per a `{lvlText: numFmt}` scheme (Word semantics):\n"
                                   "`bump` at each heading, then read its display or full-context number.")
    methods = [
        (Resolver.register, "(self, /, id, kind=None, text=None)",
         "Record a target: its kind (`'block'`/`'caption'`, when known) and its\ntext."),
        (Resolver.set_headnum, "(self, /, id, display, full)", None),
        (Resolver.set_capnum, "(self, /, id, label, n)", None),
        (Resolver.check, "(self, /, tgt)", "Raise for a reference to an unknown target id."),
        (Resolver.core, "(self, /, tgt, tokens)", "A reference's baked text, without any prefix word."),
        (Resolver.prefix, "(self, /, override_text, tgt, tokens, plural=False)",
         "Prefix text before a reference: `override` text, the type's prefix\nword, or nothing for bare and caption refs."),
        (HeadingNums.bump, "(self, /, lvl)", "Advance level `lvl` (0-based), resetting deeper levels; returns the\n"
         "display number, or None beyond the scheme."),
        (HeadingNums.display, "(self, /, lvl)", "The number as shown at a level-`lvl` heading."),
        (HeadingNums.full, "(self, /, lvl)", "Word-style full context: ancestor displays concatenated, unless\n"
         "`lvl`'s own lvlText already includes them."),
    ]
    for method, signature, doc in methods:
        assert (str(inspect.signature(method)), method.__doc__) == (signature, doc)
    assert HeadingNums.scheme.__doc__ == "The scheme as `(lvlText, numFmt)` pairs in level order."
    assert HeadingNums.counts.__doc__ is None

def test_arguments_that_call_back_into_the_same_instance():
    nums = HeadingNums("decimal")
    level = type("Level", (), {"__index__": lambda self: nums.bump(1) and 2})
    assert (nums.bump(level()), nums.display(level()), nums.counts) == ("1.1.", "2.0.", [0, 2, 0, 0, 0, 0, 0])
    r = Resolver()
    class Count:
        def __index__(self):
            r.set_capnum("fig-inner", "Figure", 1)
            r.register("fig-inner", "caption")
            return 7
    r.set_capnum("fig-outer", "Figure", Count())
    assert dict(r.capnums) == {"fig-inner": ("Figure", 1), "fig-outer": ("Figure", 7)}
    class Tokens(set):
        def __iter__(self):
            r.register("fig-inner", text="Changed while converting")
            return super().__iter__()
    assert r.core("fig-inner", Tokens({"text"})) == "Changed while converting"
    class Key(str):
        def __hash__(self):
            r.register("from-hash", "block")
            return str.__hash__(self)

        def __eq__(self, other):
            r.register("from-eq", "block")
            return str.__eq__(self, other)
    r2 = Resolver({Key("eq"): ("E", "Es"), Key("ex"): ("X", "Xs")})
    r.register(Key("k"), Key("block"), Key("t"))
    assert (r2.prefix(Key(""), Key("eq-1"), {Key("bare")}), r2.prefix("", Key("ex-1"), set())) == ("", "X ")
    assert "k" in r.kinds

def test_snapshot_whose_proxy_reads_again(monkeypatch):
    r, real, calls = Resolver(), types.MappingProxyType, []
    def proxy(mapping):
        calls.append(len(mapping))
        r.register(f"t{len(calls)}", "block")
        if len(calls) < 3:
            _ = r.kinds  # reads again from inside the read
        return real(mapping)
    monkeypatch.setattr(types, "MappingProxyType", proxy)
    snapshot = r.kinds
    monkeypatch.undo()
    # Each read saw the registrations of the reads around it, and none changed its snapshot.
    assert (type(snapshot), calls, dict(snapshot)) == (real, [0, 1, 2], {})
    assert dict(r.kinds) == {"t1": "block", "t2": "block", "t3": "block"}

def test_instances_release_their_class_and_arguments():
    name = "".join(["sec-", "x" * 20])
    gc.collect()
    before = sys.getrefcount(Resolver), sys.getrefcount(HeadingNums), sys.getrefcount(name)
    for _ in range(1000):
        r = Resolver(EQ)
        r.register(name, "block", name)
        r.set_headnum(name, "1.", "1.")
        _ = r.kinds, r.headnums, r.core(name, {"leaf"})
        nums = HeadingNums({name: "decimal"})
        nums.bump(0)
        with pytest.raises(ValueError):
            r.check(name + "!")
    del r, nums
    gc.collect()
    assert (sys.getrefcount(Resolver), sys.getrefcount(HeadingNums), sys.getrefcount(name)) == before
