"""vedavi2md and wiki2vedavi from Python: results, arguments, the lock, deep input, and the
round-trip promise of the Markdown writer."""

import pytest
from hypothesis import HealthCheck, example, given, settings
from hypothesis import strategies as st

from conftest import in_thread, other_threads_run_during
from vedavi import _native as m

def html_of(md):
    return m.md2vedavi(md)[0]

def test_results():
    assert m.vedavi2md("<p>a</p>") == "a\n\n" and m.vedavi2md(vedavi="<h1>T</h1>") == "# T\n\n"
    assert (m.vedavi2md(""), m.vedavi2md("<hr>")) == ("", "\n---\n\n")  # not trimmed
    assert m.vedavi2md("<p>\u00e9\U0001F600 \u2014 x</p>") == "\u00e9\U0001F600 \u2014 x\n\n"
    # Next to a letter, marks open and close only next to a letter inside; else the tags stay.
    for html, md in [("x<em>-</em>", "x<em>-</em>"), ("<em>-</em>x", "<em>-</em>x"), ("x<em>a</em>", "x*a*"),
                     ("a<strong>-b-</strong>c", "a<strong>-b-</strong>c"), ("x <del>-</del> y", "x ~~-~~ y"),
                     ('a <span class="math display">x</span> b', "a \\[x\\] b"), ('<span class="math">x</span>', "[x]{.math}"),
                     ('<span id="a#b" class="c.d" data-k="{v} w">x</span>', '[x]{#a\\#b .c\\.d data-k="{v} w"}')]:
        assert m.vedavi2md(f"<p>{html}</p>\n") == md + "\n\n" and html_of(md) == f"<p>{html}</p>\n"
    html, warnings = m.wiki2vedavi("== Hi ==\n''text''")
    assert (html, warnings, type(warnings)) == ("<h2>Hi</h2>\n<p><em>text</em></p>\n", [], list)
    assert m.wiki2vedavi("") == ("", []) and m.wiki2vedavi(wikitext="x") == m.wiki2vedavi("x")

@pytest.mark.parametrize(("args", "kwargs"), [((b"x",), {}), ((None,), {}), ((1,), {}), ((), {}), (("x", "y"), {}),
                                              ((), {"text": "x"})])
def test_bad_arguments(args, kwargs):
    for function in (m.vedavi2md, m.wiki2vedavi):
        with pytest.raises(TypeError):
            function(*args, **kwargs)

def test_deep_wikitext_on_a_python_thread_and_the_lock():
    deep = "*" * 100_000 + " a\n" + "{{a|" * 100_000 + "x" + "}}" * 100_000
    assert in_thread(lambda: m.wiki2vedavi(deep)[0]).count("<ul>") == 100_000
    wiki = "".join(f"== H{i} ==\n* item [[Page {i}|link]] {{{{T|{i}}}}}<ref>n{i}</ref>\n" for i in range(3000))
    assert other_threads_run_during(lambda: m.wiki2vedavi(wiki * 20))
    big = html_of("".join(f"- item *{i}* `c` [l](u)\n" for i in range(20000)))
    assert other_threads_run_during(lambda: m.vedavi2md(big))

# The preserved subset of md, from its constructs. Words hold the characters md gives meaning to,
# but "^" ("^[" opens a note, whose empty form has no md spelling), "*" and "_" (nested emphasis of
# one kind may come back paired differently) and "<" (raw HTML is foreign).
WORD = st.text(alphabet="abcxyz019.-:!&#`~=+>[]{}()|\\$@%'\"/", min_size=1, max_size=6)
PLAIN = st.text(alphabet="abcdefgh", min_size=1, max_size=6)
INLINE_FORMS = ["*{}*", "**{}**", "`{}`", "[{}](http://e.org/{})", "~~{}~~", "^{}^", "[{}]{{.c{}}}",
                "\\({}\\)", "![{}](i.png)"]

@st.composite
def inline_piece(draw):
    if draw(st.booleans()):
        return "\\" + draw(st.sampled_from("*_`[]#<>!&{}:-+.|~^=$"))
    return draw(st.sampled_from(INLINE_FORMS)).format(draw(PLAIN), draw(PLAIN))

@st.composite
def line(draw):  # opens with a word, so that it continues the construct it is in
    return " ".join([draw(PLAIN)] + draw(st.lists(st.one_of(WORD, PLAIN, inline_piece()), max_size=6)))

@st.composite
def paragraph(draw):
    return "\n".join(draw(st.lists(line(), min_size=1, max_size=3)))

@st.composite
def block(draw):
    kind, text = draw(st.integers(0, 8)), draw(line())
    if kind == 0:
        return f"{'#' * draw(st.integers(1, 6))} {text}"
    if kind == 1:
        # Ordered lists from 1 with two items or more: the reader's list rules look at numbers
        # written on earlier lists, which the HTML does not keep.
        ordered = draw(st.booleans())
        return "\n".join(f"{f'{i + 1}.' if ordered else '-'} {item}"
                         for i, item in enumerate(draw(st.lists(line(), min_size=2, max_size=4))))
    return [None, None, lambda: "- " + text + "\n  - " + draw(line()),
            lambda: "> " + draw(paragraph()).replace("\n", "\n> "),
            lambda: "```" + draw(st.sampled_from(["", "py", "{.k #i}"])) + "\n" + draw(WORD) + "\n```",
            lambda: f"| {draw(PLAIN)} | {draw(PLAIN)} |\n|---|:-:|\n| {draw(PLAIN)} | `{draw(PLAIN)}|x` |",
            lambda: "---", lambda: f"::: {{.note}}\n{draw(paragraph())}\n:::", lambda: draw(paragraph())][kind]()

@st.composite
def document(draw):
    blocks = draw(st.lists(block(), min_size=1, max_size=5))
    if draw(st.booleans()):
        blocks.append(f"See[^n].\n\n[^n]: {draw(line())}")
    return "\n\n".join(blocks) + "\n"

# Any md at all, foreign HTML in well-formed pieces (what the HTML parser repairs may settle later).
PIECES = list("ab -*_`#>[]()!{}:.1|~^=\n<&;\\/@$+\u00e9") + [
    "<b>x</b>", "<em>y</em>", "<br>", "&amp;", "<!-- c -->", "\n\n", "- ", "1. ", "> ", "```",
    ":::", "[^1]", "[^1]: ", "\n|---|\n", "<span>z</span>", "\n\n<p>q</p>\n\n", "\n\n<div>\n\nd\n\n</div>\n\n",
    "<kbd>k</kbd>", "www.a.org", "https://a.org/x_y", "&nbsp;", "&#10;", "&#9;", "  - ", "{: .c}",
    "\n---\n", "\u00a0", "\t"]
ANY_MD = st.lists(st.sampled_from(PIECES), max_size=40).map("".join)

@settings(max_examples=400, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(document())
def test_preserved_subset_reads_back_the_same(md):
    first = html_of(md)
    assert html_of(m.vedavi2md(first)) == first

@settings(max_examples=600, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.one_of(ANY_MD, document()))
@example("}|[^f]\n-|-\n\n[^f]:")  # a note referenced from a table of a header alone
@example("[^1]\n\n[^1]:<b>")  # the HTML parser reopens the note's open tag after the notes
@example("-\n  foo\n-\n  x <div>\n")  # a div in a tight item
@example("- x ^[n]\n\n<div>\n")  # the notes inside a div left open
@example("^[a</p>]")  # a note ending in an empty paragraph
@example("- r\n  - z\n  *")  # two bullet lists in a row in a tight item
@example("<td>/<!--\n<tr")  # a comment in a run holding a line that opens an HTML block
@example("<template>\n>")  # a template in a run holding a line that opens a block
@example('<h2></h2><a href="#s" data-ref=""><a>')  # a cross-reference before a block
@example('<span class="w"><a href="u">x</a></span>')  # a span around a link
@example("<a><em>\n>")  # inline tags the HTML parser reopens around a block
@example("<code>x\ty")  # a tab in code
@example("x[^1]\n\n[^1]: k<br>")  # a break ending a note
@example("`x`{=\\[\\]}")  # an attribute group closed after markup
@example('<h2 id=" ">')  # an id ending in a space
@example("# a $$ \\ $$")  # math ending in a backslash
@example("^[]\n<div")  # a note reference whose notes the HTML parser put in a div
@example("<p t><e->")  # a paragraph opening with a custom element
@example("![&#10;]()")  # a line feed in alt text
@example("<a>^[]")  # a note whose reference the HTML parser took apart
@example("[foo]:l '\n '\n[foo]")  # a title holding a line end
@example("|\n: ^[]")  # a note referenced only from HTML
@example("<prE><code\ufffd>")  # a pre's line feed through an element whose tags go
@example("<h1\n\n    t")  # code holding a line end in a heading
@example("<p><a$>")  # a paragraph whose content writes nothing
@example("- [x] ")  # an empty task item
@example("<pre><code c=`>")  # a code block whose attributes hold a backtick
@example("-\n  >\n  <table>d")  # a blank line inside one item: the list reads back loose
@example("-\n- <em><p>")  # a paragraph inside an inline element in an item
@example("^[<h2>{]")  # a "{" before a note's back-link
@example("- <table\n-")  # an item fostered into another
@example("x<table>\n: ")  # a definition fostered into a term
@example("# <table>\n#")  # a heading fostered into a heading
@example("<h1><h2\ufffd><h3>")  # a heading in a heading through an element whose tags go
@example("<pre><code$><code>")  # a pre's code inside an element whose tags go
@example("<h1><code><p~>")  # code holding only an element whose tags go
@example("<h3>\x0c\x0c")  # a heading opening with white space the reader trims
@example("- # <s>\n  ---")  # a block inside a reopened inline element in an item
@example("^[]\n<thead>{")  # a "{" before white space and the notes
@example("<table><!--\n</table>")  # a raw block's end tag in a comment inside it
def test_second_round_changes_nothing(md):
    md1 = m.vedavi2md(html_of(md))
    assert m.vedavi2md(html_of(md1)) == md1
