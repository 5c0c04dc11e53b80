"""Time vedavi's wiki2vedavi against mwparserfromhell and pandoc on the same ~1 MB wikitext.

    python bench/wiki_compare.py [--runs N] [--size BYTES] [--write PATH]

The input is a mix of generated encyclopedia-style articles (an infobox template, a lead with
bold and italic text, headings, nested bullet and numbered lists, a wikitable, internal, external,
file and category links, citation templates inside named and plain references), built here at
run time from a fixed seed. Best of N runs each:

- vedavi: `wiki2vedavi(text)`, wikitext to VEDAVI HTML (parsing and rendering);
- mwparserfromhell: `mwparserfromhell.parse(text)`, parsing only (it renders no HTML);
- pandoc: the `pandoc -f mediawiki -t html` command on the input file, less its best time on an
  empty file, so that start-up does not count against it.

A processor that is not installed is reported as skipped. bench/README.md says what to install.
"""

from __future__ import annotations

import argparse
import random
import shutil
import sys
import tempfile
from pathlib import Path
from typing import Callable

from compare_util import Result, print_table, time_command, time_in_process

WORDS = ("river valley city council history century population region museum station "
         "railway bridge church castle island language village market school harbour festival "
         "mountain forest district province empire kingdom treaty battle army navy bishop").split()


def sentence(rng: random.Random) -> str:
    words = [rng.choice(WORDS) for _ in range(rng.randint(8, 18))]
    for i in rng.sample(range(len(words)), 3):
        kind = rng.randrange(6)
        w = words[i]
        if kind == 0:
            words[i] = f"[[{w.title()} {rng.choice(WORDS)}|{w}]]"
        elif kind == 1:
            words[i] = f"[[{w.title()}]]"
        elif kind == 2:
            words[i] = f"'''{w}'''"
        elif kind == 3:
            words[i] = f"''{w}''"
        elif kind == 4:
            words[i] = f"[https://example.org/{w}_({rng.randint(1, 99)}) {w} site]"
        else:
            words[i] = f"{{{{lang|de|{w}}}}}"
    text = " ".join(words).capitalize() + "."
    if rng.random() < 0.4:
        n = rng.randint(1, 400)
        text += (f'<ref name="r{n}">{{{{cite web |url=https://example.org/{n} |title={rng.choice(WORDS)} '
                 f"|access-date=2020-01-{n % 28 + 1:02d}}}}}</ref>")
    elif rng.random() < 0.3:
        text += f"<ref>{rng.choice(WORDS).title()} report, p. {rng.randint(1, 300)}.</ref>"
    return text


def paragraph(rng: random.Random) -> str:
    return " ".join(sentence(rng) for _ in range(rng.randint(2, 5)))


def article(rng: random.Random, number: int) -> str:
    title = f"{rng.choice(WORDS).title()} {number}"
    parts = [
        "{{Infobox settlement\n| name = " + title + "\n| country = [[" + rng.choice(WORDS).title()
        + "]]\n| population = {{formatnum:" + str(rng.randint(1000, 99999)) + "}}\n| image = "
        + rng.choice(WORDS) + ".jpg\n}}",
        paragraph(rng),
        "__TOC__",
    ]
    for section in range(rng.randint(3, 6)):
        parts.append(f"== {rng.choice(WORDS).title()} {section} ==")
        parts.append(paragraph(rng))
        if rng.random() < 0.5:
            parts.append(f"=== {rng.choice(WORDS).title()} ===")
            parts.append(paragraph(rng))
        if rng.random() < 0.6:
            marker = rng.choice("*#")
            items = []
            for _ in range(rng.randint(3, 7)):
                items.append(f"{marker} {sentence(rng)}")
                if rng.random() < 0.3:
                    items.append(f"{marker}{marker} {sentence(rng)}")
            parts.append("\n".join(items))
        if rng.random() < 0.4:
            rows = [f"| {rng.choice(WORDS)} || {rng.randint(1, 9999)} || [[{rng.choice(WORDS).title()}]]"
                    for _ in range(rng.randint(3, 8))]
            parts.append("{| class=\"wikitable\"\n|+ " + rng.choice(WORDS).title()
                         + "\n! Name !! Value !! Link\n|-\n" + "\n|-\n".join(rows) + "\n|}")
        if rng.random() < 0.3:
            parts.append(f"[[File:{rng.choice(WORDS)}.jpg|thumb|The {rng.choice(WORDS)} in winter]]")
    parts.append("== References ==\n{{reflist}}")
    parts.append("\n".join(f"[[Category:{rng.choice(WORDS).title()}s]]" for _ in range(3)))
    return "\n\n".join(parts) + "\n"


def article_mix(size: int, seed: int = 15) -> str:
    rng = random.Random(seed)
    articles, total = [], 0
    while total < size:
        articles.append(article(rng, len(articles)))
        total += len(articles[-1].encode())
    return "\n".join(articles)


def make_vedavi() -> Callable[[str], str]:
    from vedavi._native import wiki2vedavi  # noqa: PLC0415 (optional: may not be built yet)

    return lambda text: wiki2vedavi(text)[0]


def make_mwparserfromhell() -> Callable[[str], str]:
    import mwparserfromhell  # noqa: PLC0415

    # Parse only; str() of the tree would just give the input back, so a fixed marker stands in.
    return lambda text: (mwparserfromhell.parse(text), "")[1]


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="runs per processor; the best counts")
    parser.add_argument("--size", type=int, default=1_000_000, help="input size in bytes (about)")
    parser.add_argument("--write", type=Path, help="only write the input to this file")
    args = parser.parse_args(argv)
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    text = article_mix(args.size)
    if args.write:
        args.write.write_text(text, encoding="utf-8")
        return 0

    results = [
        time_in_process("vedavi wiki2vedavi", args.runs, text, make_vedavi),
        time_in_process("mwparserfromhell (parse)", args.runs, text, make_mwparserfromhell),
    ]
    with tempfile.TemporaryDirectory(prefix="wiki_compare-") as tmp:
        input_path = Path(tmp) / "input.wiki"
        input_path.write_text(text, encoding="utf-8")
        empty_path = Path(tmp) / "empty.wiki"
        empty_path.write_bytes(b"")
        pandoc = shutil.which("pandoc")
        if pandoc:
            results.append(time_command("pandoc (command)", args.runs,
                                        [pandoc, "-f", "mediawiki", "-t", "html"], input_path, empty_path))
        else:
            results.append(Result("pandoc (command)", note="skipped: no `pandoc` program"))
    print_table(results, len(text.encode()), args.runs, "generated article mix", "wiki2vedavi")
    return 0


if __name__ == "__main__":
    sys.exit(main())
