"""The CommonMark spec examples run through md2vedavi, with agreement counted by section.

md is a dialect of its own, so many examples are meant to disagree: it has no setext headings and
no lazy continuation lines, "---" is its only thematic break, its lists follow their own rules,
trailing spaces make no hard break, raw HTML passes only for the dialect's own tags, symbols
(Unicode S*) are not punctuation to it, labels are matched lower-cased rather than case-folded,
and its own syntax (attribute blocks, math, templates, cross-references, notes) takes characters
that CommonMark reads as text. The count shows where the two meet, not a score to chase.

Both sides are compared after `normalise_html`, so that agreement does not hinge on white space
between tags, attribute order, self-closing forms or the way a character is written.

Script mode prints the table:

    python tests/python/commonmark_examples.py [--spec PATH] [--show NUMBER ...]
"""

from __future__ import annotations

import argparse
import re
import sys
from collections.abc import Callable, Iterable
from dataclasses import dataclass
from html.parser import HTMLParser
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
SPEC_PATH = REPO.parent / "shared" / "testdata" / "commonmark" / "spec.txt"

# The spec marks examples with fences of 32 backticks; "." parts markdown from HTML and "→" stands
# for a tab.
EXAMPLE_OPEN = "`" * 32 + " example"
EXAMPLE_CLOSE = "`" * 32
HEADING = re.compile(r"#+ ")


@dataclass(frozen=True)
class Example:
    number: int
    section: str
    line: int  # 1-based line of the opening fence
    markdown: str
    html: str


def read_examples(text: str) -> list[Example]:
    """The examples of a spec text in order, each under the last heading above it."""
    examples: list[Example] = []
    section = ""
    parts: list[list[str]] | None = None  # while inside an example: its markdown and HTML lines
    open_line = 0
    for number, line in enumerate(text.splitlines(), start=1):
        if parts is None:
            if line.startswith(EXAMPLE_OPEN):
                parts, open_line = [[]], number
            elif HEADING.match(line):
                section = HEADING.sub("", line, count=1).strip()
        elif line == EXAMPLE_CLOSE:
            markdown, html = ("".join(part).replace("→", "\t") for part in (parts + [[]])[:2])
            examples.append(Example(len(examples) + 1, section, open_line, markdown, html))
            parts = None
        elif line == "." and len(parts) == 1:
            parts.append([])
        else:
            parts[-1].append(line + "\n")
    return examples


# Elements around which white space never shows, so the normaliser drops it.
BLOCK_TAGS = frozenset(
    "address article aside blockquote body br caption center col colgroup dd details dialog dir div dl dt "
    "fieldset figcaption figure footer form h1 h2 h3 h4 h5 h6 head header hr html iframe legend li link "
    "main menu meta nav noframes ol optgroup option p param pre section source summary table tbody td "
    "tfoot th thead title tr track ul".split()
)
ASCII_SPACE = re.compile(r"[ \t\n\r\f]+")


def _escape(text: str, quote: bool) -> str:
    text = text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    return text.replace('"', "&quot;") if quote else text


class _Tokens(HTMLParser):
    """Reads HTML into (kind, tag, text) tokens with character references decoded."""

    def __init__(self) -> None:
        super().__init__(convert_charrefs=True)
        self.tokens: list[tuple[str, str, str]] = []

    def handle_starttag(self, tag: str, attrs: list[tuple[str, str | None]]) -> None:
        # Attribute order does not matter, and `a` means `a=""`.
        written = "".join(f' {name}="{_escape(value or "", True)}"' for name, value in sorted(attrs))
        self.tokens.append(("start", tag, f"<{tag}{written}>"))

    # `<br />` and `<br>` are one element.
    handle_startendtag = handle_starttag

    def handle_endtag(self, tag: str) -> None:
        self.tokens.append(("end", tag, f"</{tag}>"))

    def handle_data(self, data: str) -> None:
        if self.tokens and self.tokens[-1][0] == "text":
            data = self.tokens.pop()[2] + data
        self.tokens.append(("text", "", data))

    def handle_comment(self, data: str) -> None:
        self.tokens.append(("other", "", f"<!--{data}-->"))

    def handle_decl(self, decl: str) -> None:
        self.tokens.append(("other", "", f"<!{decl}>"))

    def unknown_decl(self, data: str) -> None:
        self.tokens.append(("other", "", f"<![{data}]]>"))  # CDATA: data is "CDATA[" and the content

    def handle_pi(self, data: str) -> None:
        self.tokens.append(("other", "", f"<?{data}>"))


def normalise_html(html: str) -> str:
    """A canonical form of an HTML fragment for comparing two renderings of the same content.

    Character references become the characters they stand for (written back with only `&`, `<`,
    `>` and, in attributes, `"` escaped); attributes are sorted; self-closing tags lose their
    slash; outside `<pre>`, runs of white space become one space and white space next to a block
    element or at either end goes; a line feed right after `<pre>` goes, as HTML parsing drops it.
    """
    parser = _Tokens()
    parser.feed(html)
    parser.close()
    tokens = parser.tokens

    def is_block(index: int) -> bool:
        return index < 0 or index >= len(tokens) or tokens[index][1] in BLOCK_TAGS

    out: list[str] = []
    pre_depth = 0
    for index, (kind, tag, text) in enumerate(tokens):
        if kind == "text":
            if index > 0 and tokens[index - 1][:2] == ("start", "pre"):
                text = text.removeprefix("\n")
            if pre_depth == 0:
                text = ASCII_SPACE.sub(" ", text)
                if is_block(index - 1):
                    text = text.lstrip(" ")
                if is_block(index + 1):
                    text = text.rstrip(" ")
            out.append(_escape(text, False))
            continue
        if tag == "pre":
            pre_depth = pre_depth + 1 if kind == "start" else max(pre_depth - 1, 0)
        out.append(text)
    return "".join(out)


@dataclass(frozen=True)
class Outcome:
    example: Example
    agrees: bool
    got: str  # the converter's HTML, or the exception it raised, as text
    error: bool = False


def run_examples(examples: Iterable[Example], convert: Callable[[str], str]) -> list[Outcome]:
    """Each example through `convert`; an exception counts as disagreement and is kept."""
    outcomes = []
    for example in examples:
        try:
            got = convert(example.markdown)
        except Exception as err:  # noqa: BLE001 - reported per example, not raised
            outcomes.append(Outcome(example, False, f"{type(err).__name__}: {err}", error=True))
            continue
        agrees = normalise_html(got) == normalise_html(example.html)
        outcomes.append(Outcome(example, agrees, got))
    return outcomes


@dataclass
class SectionCount:
    section: str
    examples: int = 0
    agree: int = 0
    errors: int = 0


def count_by_section(outcomes: Iterable[Outcome]) -> list[SectionCount]:
    """Agreement per section, sections in the order they first appear."""
    counts: dict[str, SectionCount] = {}
    for outcome in outcomes:
        count = counts.setdefault(outcome.example.section, SectionCount(outcome.example.section))
        count.examples += 1
        count.agree += outcome.agrees
        count.errors += outcome.error
    return list(counts.values())


def md2vedavi_converter() -> Callable[[str], str] | None:
    """md2vedavi as the runner calls it (math off, no bare autolinks), or None when not built."""
    try:
        from vedavi._native import md2vedavi  # noqa: PLC0415
    except ImportError:
        return None
    return lambda markdown: md2vedavi(markdown, math="off", bare_autolinks=False)[0]


def format_table(counts: list[SectionCount]) -> str:
    width = max([len(c.section) for c in counts] + [len("total")])
    lines = [f"{'section':<{width}}  {'agree':>5} / {'of':<4} {'%':>5}", "-" * (width + 21)]
    total = SectionCount("total")
    for c in [*counts, None]:
        if c is None:
            lines.append("-" * (width + 21))
            c = total
        else:
            total.examples += c.examples
            total.agree += c.agree
            total.errors += c.errors
        share = 100 * c.agree / c.examples if c.examples else 0.0
        errors = f"  {c.errors} raised" if c.errors else ""
        lines.append(f"{c.section:<{width}}  {c.agree:>5} / {c.examples:<4} {share:>5.1f}{errors}")
    return "\n".join(lines)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description="CommonMark spec examples through md2vedavi, by section.")
    parser.add_argument("--spec", type=Path, default=SPEC_PATH, help="the CommonMark spec text")
    parser.add_argument("--show", type=int, nargs="*", default=[], metavar="NUMBER",
                        help="also print these examples with both normalised renderings")
    args = parser.parse_args(argv)
    convert = md2vedavi_converter()
    if convert is None:
        print("vedavi._native has no md2vedavi yet", file=sys.stderr)
        return 1
    try:
        examples = read_examples(args.spec.read_text(encoding="utf-8"))
    except OSError as err:
        print(f"cannot read the spec text: {err}", file=sys.stderr)
        return 1
    outcomes = run_examples(examples, convert)
    print(format_table(count_by_section(outcomes)))
    for number in args.show:
        if not 1 <= number <= len(outcomes):
            print(f"\nno example {number}")
            continue
        outcome = outcomes[number - 1]
        example = outcome.example
        print(f"\nexample {number} ({example.section}, line {example.line}): "
              f"{'agrees' if outcome.agrees else 'differs'}")
        print(f"markdown:\n{example.markdown}expected:\n{normalise_html(example.html)}")
        print(f"got:\n{outcome.got if outcome.error else normalise_html(outcome.got)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
