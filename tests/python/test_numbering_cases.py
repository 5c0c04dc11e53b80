"""HeadingNums against a plain model of the numbering rules: schemes of any shape, bumps in any
order, display and full numbers of every level."""

from hypothesis import given, settings
from hypothesis import strategies as st

from vedavi._native import HeadingNums

FORMATS = ["decimal", "lowerLetter", "upperLetter", "lowerRoman", "upperRoman"]
DIGITS = "0123456789"
ROMAN = [(1000, "m"), (900, "cm"), (500, "d"), (400, "cd"), (100, "c"), (90, "xc"), (50, "l"),
         (40, "xl"), (10, "x"), (9, "ix"), (5, "v"), (4, "iv"), (1, "i")]


def formatted(n, fmt):
    if fmt == "decimal":
        return str(n)
    if fmt in ("lowerLetter", "upperLetter"):
        text = "" if n == 0 else chr(ord("a") + (n - 1) % 26) * ((n - 1) // 26 + 1)
    else:
        text = ""
        for value, numeral in ROMAN:
            while n >= value:
                text += numeral
                n -= value
    return text.upper() if fmt.startswith("upper") else text


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def construction_error(levels):
    for lvl_text, fmt in levels:
        if fmt not in FORMATS:
            return f"unknown numFmt {quoted(fmt)}"
        i = 0
        while i < len(lvl_text):
            if lvl_text[i] == "%" and i + 1 < len(lvl_text):
                i += 1
                if lvl_text[i] in DIGITS and int(lvl_text[i]) > len(levels):
                    return f"lvlText {quoted(lvl_text)} references level %{lvl_text[i]} beyond the scheme"
            i += 1
    return None


class Model:
    def __init__(self, levels):
        self.levels = levels
        self.counts = [0] * len(levels)

    def bump(self, lvl):
        if lvl >= len(self.levels):
            return None
        self.counts[lvl] += 1
        self.counts[lvl + 1 :] = [0] * (len(self.levels) - lvl - 1)
        return self.display(lvl)

    def display(self, lvl):
        text, out, i = self.levels[lvl][0], "", 0
        while i < len(text):
            if text[i] == "%" and i + 1 < len(text) and text[i + 1] in DIGITS:
                d = int(text[i + 1])
                if 1 <= d <= len(self.levels):  # a reference to no level shows nothing
                    out += formatted(self.counts[d - 1], self.levels[d - 1][1])
                i += 2
            else:
                out += text[i]
                i += 1
        return out

    def full(self, lvl):
        if "%2" in self.levels[lvl][0]:
            return self.display(lvl)
        return "".join(self.display(level) for level in range(lvl + 1))


lvl_texts = st.text(alphabet=list("%%%0123456789.()a\"\\"), max_size=8)
formats = st.sampled_from(FORMATS + ["Decimal"])
schemes = st.lists(st.tuples(lvl_texts, formats), max_size=10)


class TestNumberingModel:
    @given(schemes, st.lists(st.integers(min_value=0, max_value=10), max_size=40))
    @settings(max_examples=400)
    def test_agrees_with_the_rules(self, levels, bumps):
        scheme = dict(levels)
        levels = list(scheme.items())
        error = construction_error(levels)
        try:
            nums = HeadingNums(scheme)
        except ValueError as caught:
            assert str(caught) == error
            return
        assert error is None
        model = Model(levels)
        for lvl in bumps:
            assert nums.bump(lvl) == model.bump(lvl)
        assert nums.counts == model.counts
        for lvl in range(len(levels)):
            assert nums.display(lvl) == model.display(lvl)
            assert nums.full(lvl) == model.full(lvl)

    def test_examples(self):
        nums = HeadingNums("decimal")
        assert [nums.bump(1), nums.bump(1), nums.bump(2)] == ["1.", "2.", "2.1."]
        assert [nums.display(2), nums.display(1), nums.display(0), nums.full(0)] == ["2.1.", "2.", "", ""]
        legal = HeadingNums("legal")
        for lvl in range(4):
            legal.bump(lvl)
        assert (legal.display(3), legal.full(3), legal.full(0)) == ("(i)", "1.(a)(i)", "")
        assert HeadingNums({"%12": "decimal"}).bump(0) == "12"
        assert formatted(28, "upperLetter") == "BB"
        assert formatted(1994, "upperRoman") == "MCMXCIV"
