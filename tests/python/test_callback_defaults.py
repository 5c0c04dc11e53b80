"""The HTML a callback is offered for its node does not depend on which other callbacks ran
below it (when they keep their nodes): defaults are built from the HTML already offered to the
nodes below, never from a different rendering."""

import pytest
from hypothesis import given, settings, strategies as st

import vedavi._native as native

DOC = (
    "# T *a [b **c [d]{.x}** e]{.y}*\n\n"
    "p [x ^[n1] [y ^[n2] [z[^f]]{.in}]{.mid}]{.out} *em `code` [l](/u) ~~s~~*\n\n"
    "- [q *r [s]{.t}*]{.u} ==h== ^sup^ <b>raw</b>\n\n"
    "| [a *b*]{.c} | [^f] |\n|---|---|\n\n"
    "![alt *x*](i.png)\n\n[^f]: foot [in *note*]{.v}\n"
)
KINDS = ["span", "emph", "strong", "link", "code", "strike", "highlight", "superscript", "text",
         "note", "footnote_ref", "html_inline", "image", "paragraph", "heading", "list", "table"]


def offered(kinds, seen):
    return {kind: (lambda node, html, kind=kind: seen.append((kind, html))) for kind in kinds}


@pytest.mark.parametrize("kind", KINDS)
def test_default_html_is_the_same_with_more_callbacks(kind):
    alone, together = [], []
    plain = native.md2vedavi(DOC, implicit_figures=True, callbacks=offered([kind], alone))
    full = native.md2vedavi(DOC, implicit_figures=True, callbacks=offered(KINDS, together))
    assert plain == full
    assert alone and alone == [entry for entry in together if entry[0] == kind]


PIECES = ["[", "]{.c}", "*", "**", "`", "^[", "]", "[^f]", "x", " ", "\n", "- ", "> ", "| a |",
          "<b>", "~~", "==", "\\(x\\)", "[l](/u)", "![i](p.png)", "\n\n[^f]: y *z*\n"]


@settings(max_examples=150, deadline=None)
@given(st.lists(st.sampled_from(PIECES), max_size=40).map("".join))
def test_defaults_never_depend_on_other_callbacks(source):
    for kind in ("span", "emph", "note", "paragraph"):
        alone, together = [], []
        native.md2vedavi(source, callbacks=offered([kind], alone))
        native.md2vedavi(source, callbacks=offered(KINDS, together))
        assert alone == [entry for entry in together if entry[0] == kind]


def test_deep_spans_hand_over_each_subtree():
    n = 300
    sizes = []
    native.md2vedavi("[" * n + "x" + "]{.c}" * n,
                     callbacks={"span": lambda node, html: sizes.append(len(html))})
    assert sizes == [len('<span class="c">') * k + 1 + len("</span>") * k for k in range(1, n + 1)]
