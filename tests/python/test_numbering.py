"""HeadingNums and SCHEMES: heading numbers by scheme, from Python."""

import inspect

import pytest

import vedavi._native as native
from vedavi._native import HeadingNums

DECIMAL_7 = [0, 0, 0, 0, 0, 0, 0]


class TestSchemes:
    def test_built_in_schemes(self):
        assert list(native.SCHEMES) == ["decimal", "legal"]
        legal = native.SCHEMES["legal"]
        assert list(legal) == ["", "%2.", "(%3)", "(%4)", "(%5)", "(%6)", "(%7)"]
        assert list(legal.values()) == [
            "decimal", "decimal", "lowerLetter", "lowerRoman", "upperLetter", "upperRoman", "decimal"]
        decimal = native.SCHEMES["decimal"]
        assert list(decimal)[-1] == "%2.%3.%4.%5.%6.%7."
        assert set(decimal.values()) == {"decimal"}

    def test_plain_mutable_dict_built_once(self):
        assert type(native.SCHEMES) is dict
        assert native.SCHEMES is native.SCHEMES
        native.SCHEMES["mine"] = {}
        try:
            # Changing the dict changes nothing in the core.
            with pytest.raises(ValueError, match="unknown numbering scheme 'mine'"):
                HeadingNums("mine")
        finally:
            del native.SCHEMES["mine"]

    def test_a_scheme_dict_builds_the_same_numbers(self):
        by_name, by_dict = HeadingNums("legal"), HeadingNums(dict(native.SCHEMES["legal"]))
        for level in [1, 2, 3, 3, 4, 2, 5]:
            assert by_name.bump(level) == by_dict.bump(level)
        assert by_name.scheme == by_dict.scheme


class TestBump:
    def test_decimal_sequence(self):
        nums = HeadingNums("decimal")
        assert nums.bump(1) == "1."
        assert nums.bump(1) == "2."
        assert nums.bump(2) == "2.1."
        assert nums.counts == [0, 2, 1, 0, 0, 0, 0]
        assert nums.display(1) == "2."
        assert nums.display(0) == ""
        assert nums.full(2) == "2.1."

    def test_beyond_the_scheme(self):
        nums = HeadingNums("decimal")
        nums.bump(2)
        before = nums.counts
        assert nums.bump(7) is None
        assert nums.bump(2**64 - 1) is None
        assert nums.counts == before
        with pytest.raises(OverflowError):
            nums.bump(-1)
        with pytest.raises(OverflowError):
            nums.bump(2**64)
        with pytest.raises(TypeError):
            nums.bump("1")
        with pytest.raises(TypeError):
            nums.bump(1.0)

    def test_empty_scheme(self):
        nums = HeadingNums({})
        assert nums.scheme == []
        assert nums.counts == []
        assert nums.bump(0) is None
        with pytest.raises(ValueError, match="^level 0 is beyond the numbering scheme, which has no levels$"):
            nums.display(0)

    @pytest.mark.parametrize("method", ["display", "full"])
    def test_reading_beyond_the_scheme_raises(self, method):
        nums = HeadingNums("legal")
        with pytest.raises(ValueError) as error:
            getattr(nums, method)(7)
        assert str(error.value) == "level 7 is beyond the numbering scheme, whose levels are 0 to 6"
        with pytest.raises(ValueError, match="^level 18446744073709551615 is beyond"):
            getattr(nums, method)(2**64 - 1)
        with pytest.raises(OverflowError):
            getattr(nums, method)(-1)


class TestConstruction:
    @pytest.mark.parametrize(("scheme", "message"), [
        ("Decimal", "unknown numbering scheme 'Decimal'"),
        ("", "unknown numbering scheme ''"),
        ({"%2": "decimal"}, 'lvlText "%2" references level %2 beyond the scheme'),
        ({"%1": "Decimal", "%9": "x"}, 'unknown numFmt "Decimal"'),
        ({"a": "decimal", 'q"\n\u200b%3': "decimal"},
         'lvlText "q\\"\\n\\u{200b}%3" references level %3 beyond the scheme'),
    ])
    def test_value_errors(self, scheme, message):
        with pytest.raises(ValueError) as error:
            HeadingNums(scheme)
        assert str(error.value) == message

    def test_nine_levels_may_name_the_ninth(self):
        assert len(HeadingNums({"%9": "decimal", **{str(i): "decimal" for i in range(8)}}).scheme) == 9

    @pytest.mark.parametrize("scheme", [None, 5, ["decimal"], (("%1", "decimal"),), {1: "decimal"},
                                        {"%1": None}, b"decimal"])
    def test_type_errors(self, scheme):
        with pytest.raises(TypeError, match="scheme"):
            HeadingNums(scheme)

    def test_argument_matching(self):
        with pytest.raises(TypeError):
            HeadingNums()
        with pytest.raises(TypeError):
            HeadingNums("decimal", "legal")
        with pytest.raises(TypeError):
            HeadingNums(schema="decimal")

    def test_dict_subclass_gives_its_own_items(self):
        class Odd(dict):
            def items(self):
                return [("%1", "nope")]

            def __iter__(self):
                return iter(["%1"])

        assert HeadingNums(Odd({"%1.": "upperRoman"})).scheme == [("%1.", "upperRoman")]

    def test_scheme_and_counts_are_fresh_lists(self):
        nums = HeadingNums("decimal")
        scheme, counts = nums.scheme, nums.counts
        scheme.clear()
        counts[1] = 99
        assert len(nums.scheme) == 7
        assert nums.counts == DECIMAL_7
        with pytest.raises(AttributeError):
            nums.counts = [1]


class TestSurface:
    def test_class(self):
        assert HeadingNums.__module__ == "vedavi._native"
        assert HeadingNums.__qualname__ == "HeadingNums"
        assert str(inspect.signature(HeadingNums)) == "(scheme)"
        assert HeadingNums.__doc__ == (
            "Heading numbering per a `{lvlText: numFmt}` scheme (Word semantics):\n"
            "`bump` at each heading, then read its display or full-context number.")
        with pytest.raises(TypeError):
            class Sub(HeadingNums):
                pass

    def test_methods_and_properties(self):
        assert str(inspect.signature(HeadingNums.bump)) == "(self, /, lvl)"
        assert str(inspect.signature(HeadingNums.display)) == "(self, /, lvl)"
        assert str(inspect.signature(HeadingNums.full)) == "(self, /, lvl)"
        assert HeadingNums.bump.__doc__ == (
            "Advance level `lvl` (0-based), resetting deeper levels; returns the\n"
            "display number, or None beyond the scheme.")
        assert HeadingNums.display.__doc__ == "The number as shown at a level-`lvl` heading."
        assert HeadingNums.full.__doc__ == (
            "Word-style full context: ancestor displays concatenated, unless\n"
            "`lvl`'s own lvlText already includes them.")
        assert HeadingNums.scheme.__doc__ == "The scheme as `(lvlText, numFmt)` pairs in level order."
        assert HeadingNums.counts.__doc__ is None


class TestReentrancy:
    def test_level_whose_index_bumps_the_same_instance(self):
        nums = HeadingNums("decimal")

        class Level:
            def __index__(self):
                nums.bump(1)
                return 2

        assert nums.bump(Level()) == "1.1."
        assert nums.display(Level()) == "2.0."
        assert nums.counts == [0, 2, 0, 0, 0, 0, 0]
