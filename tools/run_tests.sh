#!/usr/bin/env bash
# Every test: the C++ unit tests (plain and under ASan+UBSan), then the Python tests against an
# installed build of the package. Build folders live under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build/tests -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build build/tests -j "$jobs"
ctest --test-dir build/tests --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DVEDAVI_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

bash tools/run_hardening.sh

python3 -m pip install -q --disable-pip-version-check --no-build-isolation \
  -C cmake.define.VEDAVI_FAULT_INJECTION=ON .
python3 -P -m pytest -q tests/python
