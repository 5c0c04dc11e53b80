"""Members called in a loop keep the reference counts of their arguments, callbacks and hooks,
and the process's memory, flat; exceptions from callbacks and hooks arrive as the same objects."""

import gc
import os
import sys

import pytest

import vedavi._native as native
from member_calls import ROWS, call, export_args, present, text_of

PAGE = os.sysconf("SC_PAGE_SIZE")


def rss():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


def objects_of(value):
    """The argument objects whose counts a call must leave alone: containers and their items,
    strings and callables (not the immortal or cached None, bools and small ints)."""
    found = []
    stack = [value]
    while stack:
        obj = stack.pop()
        if isinstance(obj, (bool, int, type(None))):
            continue
        found.append(obj)
        if isinstance(obj, dict):
            stack.extend(obj.values())
        elif isinstance(obj, (list, tuple, set, frozenset)):
            stack.extend(obj)
    return found


@pytest.mark.parametrize("row", present(ROWS))
def test_reference_counts_unchanged(row):
    args = row.make_args(text_of(row.kind))
    objects = objects_of(args)
    call(row, args)
    gc.collect()
    before = [sys.getrefcount(obj) for obj in objects]
    for _ in range(20):
        call(row, args)
    gc.collect()
    # A leaked or stolen reference moves a count by one per call, 20 in all; shared objects (an
    # interned string, a cached float) may move by one or two through work elsewhere.
    drift = [sys.getrefcount(obj) - b for obj, b in zip(objects, before)]
    assert all(abs(d) < 10 for d in drift), drift


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.parametrize("row", present(ROWS))
def test_memory_flat(row):
    # A leak grows with every round; allocator noise does not: one quiet round of three passes.
    args = row.make_args(text_of(row.kind, repeat=8))
    for _ in range(20):
        call(row, args)
    gc.collect()  # results are freed by their counts: no cycles to wait for in the rounds
    growth = []
    for _ in range(3):
        before = rss()
        for _ in range(50):
            call(row, args)
        growth.append(rss() - before)
    assert min(growth) < 1 << 20, growth


class Raised(Exception):
    pass


def raising(error):
    def hook(*args):
        raise error
    return hook


CALLBACK_RAISES = [
    ("md2vedavi", lambda h: ((text_of("md"),), {"callbacks": {"heading": h}})),
    ("md2vedavi", lambda h: ((text_of("md"),), {"callbacks": {"text": h}})),
    ("export_html", lambda h: export_args(False)(text_of("vedavi"))[0][:8] + (h, None, None, True, False)),
    ("export_html", lambda h: export_args(False)(text_of("vedavi"))[0][:8] + (None, h, None, True, False)),
    ("export_html", lambda h: export_args(False)(text_of("vedavi"))[0][:8] + (None, None, h, True, False)),
]


@pytest.mark.parametrize(("member", "make"), [
    pytest.param(member, make, id=f"{member}-{i}",
                 marks=() if hasattr(native, member) else pytest.mark.skip(reason="not built yet"))
    for i, (member, make) in enumerate(CALLBACK_RAISES)])
def test_exception_from_a_callback_arrives_as_itself(member, make):
    error = Raised("from the callback")
    made = make(raising(error))
    positional, keywords = made if len(made) == 2 and isinstance(made[1], dict) else (made, {})
    for _ in range(3):
        with pytest.raises(Raised) as caught:
            getattr(native, member)(*positional, **keywords)
        assert caught.value is error
