#!/usr/bin/env bash
# The C++ tests under ThreadSanitizer (build/tsan). The core's entries run on eight threads at
# once in tests/cpp/threads; any data race fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${TSAN_BUILD_JOBS:-$(nproc)}

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
  -DVEDAVI_TSAN=ON >/dev/null
cmake --build build/tsan -j "$jobs" >/dev/null
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs"
