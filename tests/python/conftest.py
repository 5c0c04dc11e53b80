"""Fixtures shared by the binding's tests."""
import sys
import threading
import time

import pytest


def _ticks_during(call):
    """How often another Python thread ran while `call()` did: 0 when the call kept the lock."""
    done = threading.Event()
    ticks = []

    def counter():
        while not done.is_set():
            ticks.append(1)
            time.sleep(0)

    t = threading.Thread(target=counter)
    old = sys.getswitchinterval()
    sys.setswitchinterval(10.0)  # with the lock held the counter could not run
    try:
        t.start()
        before = len(ticks)
        call()
        return len(ticks) - before
    finally:
        done.set()
        sys.setswitchinterval(old)
        t.join()


@pytest.fixture
def ticks_during():
    return _ticks_during
