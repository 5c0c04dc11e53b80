#!/usr/bin/env bash
# The hardening checks CI runs beside the unit tests: the C++ tests under ThreadSanitizer, a short
# fuzz run of every member under ASan and UBSan, and the binding against CPython 3.13's headers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/run_tsan.sh
bash tools/run_fuzz.sh
bash tools/check_py313.sh
