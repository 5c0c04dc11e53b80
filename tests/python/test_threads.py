"""Members that release the interpreter lock give, on eight threads at once, what they give on one."""

import threading

import pytest

from member_calls import ROWS, call, present, text_of

THREADS = 8


@pytest.mark.parametrize("row", present([row for row in ROWS if row.releases_gil]))
def test_eight_threads_agree_with_one(row):
    args = row.make_args(text_of(row.kind, repeat=8))
    expected = call(row, args)
    start = threading.Barrier(THREADS)
    results = [None] * THREADS

    def work(slot):
        start.wait()
        results[slot] = [call(row, args) for _ in range(3)]

    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all(result == [expected] * 3 for result in results)
