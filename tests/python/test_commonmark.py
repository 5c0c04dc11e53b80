"""md2vedavi's agreement with the CommonMark examples, section by section.

md is not CommonMark (commonmark_examples.py lists the deliberate differences), so the table pins
the number of agreeing examples per section as measured: it guards against unnoticed changes
rather than setting a goal. A change that moves a section moves its number in the same commit.
"""

import pytest

from commonmark_examples import SPEC_PATH, count_by_section, format_table, md2vedavi_converter, read_examples, run_examples

# Agreeing examples per section, and (in the comment) the section's size.
AGREEING = {
    "Tabs": 10,  # of 11
    "Backslash escapes": 12,  # of 13
    "Entity and numeric character references": 15,  # of 17
    "Precedence": 1,  # of 1
    "Thematic breaks": 7,  # of 19
    "ATX headings": 17,  # of 18
    "Setext headings": 9,  # of 27
    "Indented code blocks": 10,  # of 12
    "Fenced code blocks": 26,  # of 29
    "HTML blocks": 20,  # of 44
    "Link reference definitions": 25,  # of 27
    "Paragraphs": 7,  # of 8
    "Blank lines": 1,  # of 1
    "Block quotes": 18,  # of 25
    "List items": 28,  # of 48
    "Lists": 22,  # of 26
    "Inlines": 1,  # of 1
    "Code spans": 22,  # of 22
    "Emphasis and strong emphasis": 122,  # of 132
    "Links": 86,  # of 90
    "Images": 22,  # of 22
    "Autolinks": 19,  # of 19
    "Raw HTML": 13,  # of 20
    "Hard line breaks": 11,  # of 15
    "Soft line breaks": 2,  # of 2
    "Textual content": 3,  # of 3
}


def spec_examples():
    if not SPEC_PATH.is_file():
        pytest.skip(f"no CommonMark spec text at {SPEC_PATH}")
    return read_examples(SPEC_PATH.read_text(encoding="utf-8"))


class TestMd2vedavi:
    def test_agreement_per_section(self):
        examples = spec_examples()
        convert = md2vedavi_converter()
        if convert is None:
            pytest.skip("vedavi._native has no md2vedavi yet")
        counts = count_by_section(run_examples(examples, convert))
        table = format_table(counts)
        assert [c.section for c in counts if c.errors] == [], table
        by_section = {c.section: c.agree for c in counts}
        assert set(AGREEING) == set(by_section), table
        moved = {s: (by_section[s], count) for s, count in AGREEING.items() if by_section[s] != count}
        assert moved == {}, table
