"""Thread checks shared by the binding tests: the same result on every thread, and whether a
call lets other Python threads run while it works (the interpreter lock released)."""

import sys
import threading
import time


def other_threads_run_during(call) -> bool:
    done = threading.Event()
    ticks = []

    def counter():
        while not done.is_set():
            ticks.append(1)
            time.sleep(0)

    t = threading.Thread(target=counter)
    old = sys.getswitchinterval()
    sys.setswitchinterval(10.0)  # without a released lock the counter could not run
    try:
        t.start()
        before = len(ticks)
        call()
        during = len(ticks) - before
    finally:
        done.set()
        sys.setswitchinterval(old)
        t.join()
    return during > 0


def same_result_on_threads(call, count: int) -> bool:
    expected = call()
    results = [None] * count

    def work(i):
        results[i] = call()

    threads = [threading.Thread(target=work, args=(i,)) for i in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return all(r == expected for r in results)
