"""wiki2vedavi: the result pair, arguments, deep input on a Python thread, and the lock."""

import threading

import pytest

import vedavi._native as m
from thread_checks import other_threads_run_during


class TestResult:
    def test_pair_with_empty_warning_list(self):
        html, warnings = m.wiki2vedavi("== Hi ==\n''text''")
        assert html == "<h2>Hi</h2>\n<p><em>text</em></p>\n"
        assert type(warnings) is list and warnings == []
        assert m.wiki2vedavi("") == ("", [])

    def test_keyword(self):
        assert m.wiki2vedavi(wikitext="x") == m.wiki2vedavi("x")

    @pytest.mark.parametrize("args, kwargs", [((b"x",), {}), ((None,), {}), ((), {}),
                                              (("x", "y"), {}), ((), {"text": "x"})])
    def test_bad_arguments(self, args, kwargs):
        with pytest.raises(TypeError):
            m.wiki2vedavi(*args, **kwargs)


class TestDeepInput:
    DEEP = "*" * 100_000 + " a\n" + "{{a|" * 100_000 + "x" + "}}" * 100_000

    def test_python_thread(self):
        results = []
        t = threading.Thread(target=lambda: results.append(m.wiki2vedavi(self.DEEP)[0]))
        t.start()
        t.join()
        assert len(results) == 1 and results[0].count("<ul>") == 100_000


class TestLock:
    SRC = "".join(f"== H{i} ==\n* item [[Page {i}|link]] {{{{T|{i}}}}}<ref>n{i}</ref>\n" for i in range(3000))

    def test_lock_released_while_converting(self):
        big = self.SRC * 20
        assert other_threads_run_during(lambda: m.wiki2vedavi(big))
