"""The module object: its members, their order and their published signatures."""

import inspect

import pytest

import vedavi
import vedavi._native as native

# Every member in registration order, with the text signature of each function and class.
MEMBERS = [
    ("md2vedavi", 'md2vedavi(markdown, *, math="brackets", bare_autolinks=True, implicit_figures=False, '
     "frontmatter=True, templates=None, callbacks=None, max_block_depth=None, max_link_paren_depth=None)"),
    ("frontmatter_meta", "frontmatter_meta(src)"),
    ("vedavi2md", "vedavi2md(vedavi)"),
    ("wrap_md", "wrap_md(markdown, width=None)"),
    ("md_chunks", "md_chunks(markdown, target_words=700)"),
    ("md_chunks_greedy", "md_chunks_greedy(markdown, target_words=700, length_scale=200)"),
    ("md_chunks_structural", "md_chunks_structural(markdown, target_words=700)"),
    ("md_chunks_structural_batch", "md_chunks_structural_batch(markdown, target_words=700)"),
    ("wiki2vedavi", "wiki2vedavi(wikitext)"),
    ("blocks", 'blocks(markdown, *, math="brackets", implicit_figures=False, templates=None, nested=False)'),
    ("inlines", 'inlines(markdown, *, math="brackets", bare_autolinks=True, templates=None)'),
    ("source_nodes", 'source_nodes(markdown, *, math="brackets", implicit_figures=False, templates=None)'),
    ("anchors", 'anchors(markdown, *, math="brackets", templates=None)'),
    ("SCHEMES", None),
    ("REFTYPES", None),
    ("ref_tokens", "ref_tokens(val)"),
    ("ref_variant", "ref_variant(tokens)"),
    ("target_kind", "target_kind(name)"),
    ("trailing_attr_span", "trailing_attr_span(line)"),
    ("group_plan", "group_plan(types)"),
    ("decode_raw", "decode_raw(payload, encoding)"),
    ("math_js", "math_js(func, xtra)"),
    ("dialect_css", "dialect_css(preview=False)"),
    ("highlight_md", 'highlight_md(src, class_prefix="hl-")'),
    ("HeadingNums", "HeadingNums(scheme)"),
    ("Resolver", "Resolver(*args, **kwargs)"),
    ("export_html", "export_html(src, reftypes, number_headings, hl, toc, refs, id_prefix, fn_salt, "
     "hl_lang, code_wrap, hl_fn, auto_ids, gh_ids)"),
    ("__version__", None),
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
NAMES = [name for name, _ in MEMBERS]
REGISTERED = [name for name in NAMES if hasattr(native, name)]
SIGNATURES = [(name, text) for name, text in MEMBERS if text is not None]


class TestMembers:
    def test_version(self):
        assert native.__version__ == "0.1.41"
        assert vedavi.__version__ == "0.1.41"

    def test_members_of_this_build_are_registered(self):
        assert {"math_js", "dialect_css", "__version__"} <= set(REGISTERED)

    def test_namespace_lists_members_in_registration_order_after_the_interpreters_entries(self):
        # The module's __dict__ keeps insertion order; dir() sorts, so it cannot show this.
        names = list(vars(native))
        assert names[-len(REGISTERED):] == REGISTERED
        interpreter_entries = names[: -len(REGISTERED)]
        assert all(name.startswith("__") and name.endswith("__") for name in interpreter_entries)

    def test_nothing_else_is_registered(self):
        unknown = [name for name in vars(native) if name not in NAMES and not name.startswith("__")]
        assert unknown == []
        assert "PanicException" not in vars(native)

    def test_complete_module_has_28_members(self):
        if len(REGISTERED) < len(NAMES):
            pytest.skip("not every member is built yet")
        assert len(REGISTERED) == 28

    def test_module_is_documented_as_empty(self):
        assert native.__doc__ == ""

    @pytest.mark.parametrize("name", [name for name, text in SIGNATURES if "(" in text and name[0].islower()])
    def test_functions_belong_to_the_module(self, name):
        if not hasattr(native, name):
            pytest.skip(f"{name} is not built yet")
        function = getattr(native, name)
        assert function.__module__ == "vedavi._native"
        assert function.__name__ == name


class TestSignatures:
    @pytest.mark.parametrize(("name", "text"), SIGNATURES, ids=[name for name, _ in SIGNATURES])
    def test_signature_is_published(self, name, text):
        if not hasattr(native, name):
            pytest.skip(f"{name} is not built yet")
        member = getattr(native, name)
        assert f"{name}{inspect.signature(member)}" == text.replace('"', "'")

    @pytest.mark.parametrize("name", [name for name, text in SIGNATURES if name[0].islower()])
    def test_docstring_body(self, name):
        if not hasattr(native, name):
            pytest.skip(f"{name} is not built yet")
        function = getattr(native, name)
        assert function.__text_signature__ is not None
        assert function.__doc__ == DOCUMENTED.get(name)
