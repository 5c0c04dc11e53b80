"""md2vedavi's agreement with the CommonMark examples per section, as measured: a guard against
unnoticed change, not a goal (md is a dialect of its own). Both sides are compared after
`normalise_html`. Script mode prints the table and the examples numbered on its command line."""

import re
import sys
from collections import Counter
from html.parser import HTMLParser
from pathlib import Path

import pytest

import vedavi._native as native

SPEC_PATH = Path(__file__).resolve().parents[3] / "shared" / "testdata" / "commonmark" / "spec.txt"
FENCE = "`" * 32

def read_examples(text):
    """(number, section, markdown, html) of each example, under the last heading above it."""
    examples, section, parts = [], "", None
    for line in text.splitlines():
        if parts is None:
            if line.startswith(FENCE + " example"):
                parts = [[]]
            elif re.match(r"#+ ", line):
                section = line.split(" ", 1)[1].strip()
        elif line == FENCE:
            markdown, html = ("".join(part).replace("→", "\t") for part in (parts + [[]])[:2])
            examples.append((len(examples) + 1, section, markdown, html))
            parts = None
        elif line == "." and len(parts) == 1:
            parts.append([])
        else:
            parts[-1].append(line + "\n")
    return examples

# Elements around which white space never shows.
BLOCK_TAGS = frozenset(
    "address article aside blockquote body br caption center col colgroup dd details dialog dir div dl dt "
    "fieldset figcaption figure footer form h1 h2 h3 h4 h5 h6 head header hr html iframe legend li link "
    "main menu meta nav noframes ol optgroup option p param pre section source summary table tbody td "
    "tfoot th thead title tr track ul".split())

def escape(text, quote):
    text = text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    return text.replace('"', "&quot;") if quote else text

class Tokens(HTMLParser):
    """(kind, tag, text) tokens with character references decoded and attributes sorted."""
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tokens = []

    def handle_starttag(self, tag, attrs):
        written = "".join(f' {name}="{escape(value or "", True)}"' for name, value in sorted(attrs))
        self.tokens.append(("start", tag, f"<{tag}{written}>"))

    handle_startendtag = handle_starttag  # `<br />` and `<br>` are one element

    def handle_endtag(self, tag):
        self.tokens.append(("end", tag, f"</{tag}>"))

    def handle_data(self, data):
        if self.tokens and self.tokens[-1][0] == "text":
            data = self.tokens.pop()[2] + data
        self.tokens.append(("text", "", data))

    def other(text):
        return lambda self, data: self.tokens.append(("other", "", text.format(data)))

    handle_comment, handle_decl, unknown_decl, handle_pi = map(other, ["<!--{}-->", "<!{}>", "<![{}]]>", "<?{}>"])

def normalise_html(html):
    """Outside <pre>, runs of white space become one space and white space next to a block element
    or at either end goes; a line feed right after <pre> goes, as HTML parsing drops it."""
    parser = Tokens()
    parser.feed(html)
    parser.close()
    tokens, out, pre_depth = parser.tokens, [], 0
    def is_block(index):
        return not 0 <= index < len(tokens) or tokens[index][1] in BLOCK_TAGS
    for index, (kind, tag, text) in enumerate(tokens):
        if kind != "text":
            if tag == "pre":
                pre_depth = pre_depth + 1 if kind == "start" else max(pre_depth - 1, 0)
            out.append(text)
            continue
        if index > 0 and tokens[index - 1][:2] == ("start", "pre"):
            text = text.removeprefix("\n")
        if pre_depth == 0:
            text = re.sub(r"[ \t\n\r\f]+", " ", text)
            text = text.lstrip(" ") if is_block(index - 1) else text
            text = text.rstrip(" ") if is_block(index + 1) else text
        out.append(escape(text, False))
    return "".join(out)

def convert(markdown):  # math off, no bare autolinks
    return native.md2vedavi(markdown, math="off", bare_autolinks=False)[0]

def agreement(examples):
    """Counters of examples, agreeing ones and raised ones per section, and the agreement of each."""
    total, agree, raised, outcome = Counter(), Counter(), Counter(), {}
    for number, section, markdown, html in examples:
        total[section] += 1
        try:
            got = convert(markdown)
        except Exception as error:  # noqa: BLE001 - counted per example
            raised[section] += 1
            outcome[number] = (False, f"{type(error).__name__}: {error}")
            continue
        outcome[number] = (normalise_html(got) == normalise_html(html), normalise_html(got))
        agree[section] += outcome[number][0]
    return total, agree, raised, outcome

# Agreeing examples per section (of the section's size).
AGREEING = {
    "Tabs": 10, "Backslash escapes": 12, "Entity and numeric character references": 15, "Precedence": 1,  # of 11, 13, 17, 1
    "Thematic breaks": 7, "ATX headings": 17, "Setext headings": 9, "Indented code blocks": 10,  # of 19, 18, 27, 12
    "Fenced code blocks": 26, "HTML blocks": 20, "Link reference definitions": 25, "Paragraphs": 7,  # of 29, 44, 27, 8
    "Blank lines": 1, "Block quotes": 18, "List items": 28, "Lists": 22, "Inlines": 1,  # of 1, 25, 48, 26, 1
    "Code spans": 22, "Emphasis and strong emphasis": 122, "Links": 86, "Images": 22,  # of 22, 132, 90, 22
    "Autolinks": 19, "Raw HTML": 13, "Hard line breaks": 11, "Soft line breaks": 2, "Textual content": 3,  # of 19, 20, 15, 2, 3
}

@pytest.mark.skipif(not SPEC_PATH.is_file(), reason="no CommonMark spec text")
def test_agreement_per_section():
    total, agree, raised, _ = agreement(read_examples(SPEC_PATH.read_text(encoding="utf-8")))
    assert not raised and {s: agree[s] for s in total} == AGREEING, (dict(raised), dict(total))

if __name__ == "__main__":
    examples = read_examples(SPEC_PATH.read_text(encoding="utf-8"))
    total, agree, raised, outcome = agreement(examples)
    print("\n".join(f"{s}: {agree[s]} of {n}" + (f", {raised[s]} raised" if raised[s] else "") for s, n in total.items()))
    for number in map(int, sys.argv[1:]):
        _, section, markdown, html = examples[number - 1]
        print(f"\nexample {number} ({section}): {'agrees' if outcome[number][0] else 'differs'}\n"
              f"markdown:\n{markdown}expected:\n{normalise_html(html)}\ngot:\n{outcome[number][1]}")
