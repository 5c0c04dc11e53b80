"""A container's length is only a hint: one whose __len__ lies converts like an honest one."""

import pytest

import vedavi._native as native
from vedavi._native import Resolver

HUGE = 2**60


class LyingList(list):
    def __len__(self):
        return HUGE


class LyingTuple(tuple):
    def __len__(self):
        return HUGE


class LyingSet(frozenset):
    def __len__(self):
        return HUGE


JINJA = ("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))


def resolver():
    r = Resolver()
    r.register("sec-a", "block", "Alpha")
    r.set_headnum("sec-a", "2.", "2.")
    return r


class TestLyingLengths:
    @pytest.mark.parametrize(("call", "honest", "lying"), [
        (native.group_plan, ["sec", "fig"], LyingList(["sec", "fig"])),
        (native.group_plan, ("sec", "sec"), LyingTuple(("sec", "sec"))),
        (native.ref_variant, {"page"}, LyingSet({"page"})),
        (lambda templates: native.md2vedavi("{{a}} b", templates=templates),
         [JINJA], LyingList([LyingTuple(JINJA[:5] + (LyingTuple(JINJA[5]),))])),
        (lambda tokens: resolver().core("sec-a", tokens), {"bare"}, LyingSet({"bare"})),
        (lambda tokens: resolver().prefix("", "sec-a", tokens), set(), LyingSet()),
    ])
    def test_converts_like_an_honest_container(self, call, honest, lying):
        assert call(lying) == call(honest)
