"""The module object: its members in registration order, their signatures and docstrings."""

import inspect

import pytest

import vedavi
import vedavi._native as native
from conftest import ROWS, text_of

# Every member in registration order: functions and classes by their signature, constants by name.
MEMBERS = [
    'md2vedavi(markdown, *, math="brackets", bare_autolinks=True, implicit_figures=False, frontmatter=True, '
    "templates=None, callbacks=None, max_block_depth=None, max_link_paren_depth=None)",
    "frontmatter_meta(src)", "vedavi2md(vedavi)", "wrap_md(markdown, width=None)", "md_chunks(markdown, target_words=700)",
    "md_chunks_greedy(markdown, target_words=700, length_scale=200)", "md_chunks_structural(markdown, target_words=700)",
    "md_chunks_structural_batch(markdown, target_words=700)", "wiki2vedavi(wikitext)",
    'blocks(markdown, *, math="brackets", implicit_figures=False, templates=None, nested=False)',
    'inlines(markdown, *, math="brackets", bare_autolinks=True, templates=None)',
    'source_nodes(markdown, *, math="brackets", implicit_figures=False, templates=None)',
    'anchors(markdown, *, math="brackets", templates=None)', "SCHEMES", "REFTYPES", "ref_tokens(val)",
    "ref_variant(tokens)", "target_kind(name)", "trailing_attr_span(line)", "group_plan(types)",
    "decode_raw(payload, encoding)", "math_js(func, xtra)", "dialect_css(preview=False)",
    'highlight_md(src, class_prefix="hl-")', "HeadingNums(scheme)", "Resolver(*args, **kwargs)",
    "export_html(src, reftypes, number_headings, hl, toc, refs, id_prefix, fn_salt, hl_lang, code_wrap, hl_fn, "
    "auto_ids, gh_ids)", "__version__",
]
# The functions documented beyond their signature; every other function has no docstring body.
DOCUMENTED = {
    "vedavi2md": "Render canonical VEDAVI as deterministic `md` dialect source.",
    "frontmatter_meta": "The flat `meta` pairs of a leading frontmatter block, by the dialect's rule,\n"
    "without parsing the document: `[]` when it opens with none.",
    "trailing_attr_span": "Byte range of the trailing attribute group of `line`, or None: the group\n"
    "`strip_trailing_attr` would consume, as the dialect's own grammar judges it.",
    "highlight_md": "Classed-span inner HTML highlighting `src` as the `md` dialect itself:\n"
    "the same shape `hl='spans'` produces for code languages, using the theme\n"
    "scopes documented in `highlight`.",
}

def test_namespace_holds_the_members_in_registration_order_after_the_interpreters_entries():
    assert (native.__version__, vedavi.__version__, native.__doc__) == ("0.1.41", "0.1.41", "")
    names = list(vars(native))  # insertion order, which dir() would sort away
    assert names[-len(MEMBERS):] == [member.split("(")[0] for member in MEMBERS]
    assert all(name.startswith("__") and name.endswith("__") for name in names[:-len(MEMBERS)])

@pytest.mark.parametrize("text", [member for member in MEMBERS if "(" in member])
def test_signature_and_docstring(text):
    name = text.split("(")[0]
    member = getattr(native, name)
    assert f"{name}{inspect.signature(member)}" == text.replace('"', "'")
    if name[0].islower():
        assert (member.__module__, member.__name__, member.__doc__) == ("vedavi._native", name, DOCUMENTED.get(name))
        assert member.__text_signature__ is not None

@pytest.mark.parametrize("row", [row for row in ROWS if " " not in row.label], ids=lambda row: row.label)
def test_the_signature_defaults_are_the_defaults_applied(row):
    member = getattr(native, row.label)
    args, kwargs = row.make_args(text_of(row.kind))
    params = inspect.signature(member).parameters
    bound = inspect.signature(member).bind(*args, **kwargs)
    required = {name: value for name, value in bound.arguments.items() if params[name].default is inspect.Parameter.empty}
    defaults = {name: p.default for name, p in params.items() if p.default is not inspect.Parameter.empty}
    positional = [required.pop(name) for name, p in params.items()
                  if p.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD and name in required]
    assert member(*positional, **required) == member(*positional, **required, **defaults)

def test_the_modules_thread_locals_fit_the_loaders_static_room():
    # Built for thread-locals read through descriptors, a library loaded at run time reads them in
    # a few instructions only while they fit the room the loader keeps beside the program's own
    # (512 bytes by glibc's default); past it, every read of the current arena is a call into the
    # loader.
    import struct
    import sys

    if not sys.platform.startswith("linux"):
        pytest.skip("ELF shared objects only")
    with open(native.__file__, "rb") as f:
        image = f.read(1 << 16)
    assert image[:4] == b"\x7fELF" and image[4] == 2  # 64-bit
    (phoff,) = struct.unpack_from("<Q", image, 32)
    phentsize, phnum = struct.unpack_from("<HH", image, 54)
    sizes = [struct.unpack_from("<Q", image, phoff + i * phentsize + 40)[0]
             for i in range(phnum) if struct.unpack_from("<I", image, phoff + i * phentsize)[0] == 7]
    assert len(sizes) <= 1 and sum(sizes) <= 512
