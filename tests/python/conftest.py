"""Helpers shared by the Python tests: the fault marker, template syntaxes, a one-call md2vedavi."""

import pytest
from hypothesis import settings

import vedavi._native as native

# CI runs the properties with a fixed derivation of examples ("--hypothesis-profile=ci"), so that a
# run is repeatable and a red run always names the same input; by hand they explore anew each run.
settings.register_profile("ci", derandomize=True, database=None)

# A source holding this marker makes a build with fault injection fail inside the core.
FAULT_MARKER = "\x01vedavi-fault\x01"
GUARD_MESSAGE = "internal error in vedavi while {} (this is a bug, please report it)"

JINJA = [("jinja", "{{", "}}", None, "auto", ("#", "^", "/"))]
JINJA_BLOCK = [("jinja", "{{", "}}", None, "block", ("#", "^", "/"))]


def fault_injection_enabled():
    try:
        native.math_js(None, FAULT_MARKER)
    except BaseException as error:  # noqa: BLE001 - PanicException derives from BaseException
        return type(error).__name__ == "PanicException"
    return False


needs_fault_injection = pytest.mark.skipif(
    not fault_injection_enabled(), reason="built without VEDAVI_FAULT_INJECTION"
)


def md(src, **kw):
    """The VEDAVI of md source."""
    return native.md2vedavi(src, **kw)[0]
