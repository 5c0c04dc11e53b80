#!/usr/bin/env bash
# Every test: the C++ unit tests (plain and under ASan+UBSan), then the Python tests against a
# build of the package installed into a virtual environment of the tests' own. Compiler warnings
# are errors here (and only here). Build folders and the environment live under build/.
#
# The Python tests need a build that lets test inputs force internal failures; it is installed
# into build/venv-tests only, never into the Python that runs this script, so no such build is
# left where a user would import it.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
venv=build/venv-tests

python3 -m venv "$venv"
"$venv/bin/python" -m pip install -q --disable-pip-version-check \
  "scikit-build-core>=0.10" cmake ninja pytest hypothesis
# The environment's cmake and ninja serve the C++ builds too.
export PATH="$PWD/$venv/bin:$PATH"

cmake -S . -B build/tests -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
  -DVEDAVI_WERROR=ON >/dev/null
cmake --build build/tests -j "$jobs"
ctest --test-dir build/tests --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DVEDAVI_SANITIZE=ON \
  -DVEDAVI_WERROR=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

bash tools/run_hardening.sh
bash tools/check_generated.sh

"$venv/bin/python" -m pip install -q --disable-pip-version-check --no-build-isolation \
  -C build-dir=build/wheel-tests -C cmake.define.VEDAVI_FAULT_INJECTION=ON \
  -C cmake.define.VEDAVI_WERROR=ON .
"$venv/bin/python" -P -m pytest -q --hypothesis-profile=ci tests/python
