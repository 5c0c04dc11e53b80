"""Every member in loops and on eight threads: flat counts and memory, one result, callback errors as themselves."""

import gc
import os
import sys
import threading

import pytest

import vedavi._native as native
from conftest import ROWS, call, export_args, text_of

ROW_IDS = [row.label for row in ROWS]

@pytest.mark.parametrize("row", [row for row in ROWS if row.releases_gil], ids=lambda row: row.label)
def test_eight_threads_agree_with_one(row):
    args = row.make_args(text_of(row.kind, repeat=8))
    expected, start, results = call(row, args), threading.Barrier(8), [None] * 8
    def work(slot):
        start.wait()
        results[slot] = [call(row, args) for _ in range(3)]
    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [[expected] * 3] * 8

def objects_of(value):
    """Argument objects whose counts a call must leave alone (not the immortal None, bools, ints)."""
    found, stack = [], [value]
    while stack:
        obj = stack.pop()
        if isinstance(obj, (bool, int, type(None))):
            continue
        found.append(obj)
        stack.extend(obj.values() if isinstance(obj, dict) else obj if isinstance(obj, (list, tuple, set, frozenset)) else ())
    return found

@pytest.mark.parametrize("row", ROWS, ids=ROW_IDS)
def test_reference_counts_unchanged(row):
    args = row.make_args(text_of(row.kind))
    objects = objects_of(args)
    call(row, args)
    gc.collect()
    before = [sys.getrefcount(obj) for obj in objects]
    for _ in range(20):
        call(row, args)
    gc.collect()
    # A leak moves a count by one per call, 20 in all; shared objects may drift by one or two.
    drift = [sys.getrefcount(obj) - b for obj, b in zip(objects, before)]
    assert all(abs(d) < 10 for d in drift), drift

def rss():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")

@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
@pytest.mark.parametrize("row", ROWS, ids=ROW_IDS)
def test_memory_flat(row):
    # A leak grows with every round, allocator noise does not: one quiet round of three passes.
    args = row.make_args(text_of(row.kind, repeat=8))
    for _ in range(20):
        call(row, args)
    gc.collect()
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

@pytest.mark.parametrize(("member", "make"), [
    ("md2vedavi", lambda h: ((text_of("md"),), {"callbacks": {"heading": h}})),
    ("md2vedavi", lambda h: ((text_of("md"),), {"callbacks": {"text": h}})),
    ("export_html", lambda h: export_args(h, None, None)(text_of("vedavi"))),
    ("export_html", lambda h: export_args(None, h, None)(text_of("vedavi"))),
    ("export_html", lambda h: export_args(None, None, h)(text_of("vedavi"))),
])
def test_exception_from_a_callback_arrives_as_itself(member, make):
    error = Raised("from the callback")
    positional, keywords = make(raising(error))
    for _ in range(3):
        with pytest.raises(Raised) as caught:
            getattr(native, member)(*positional, **keywords)
        assert caught.value is error
