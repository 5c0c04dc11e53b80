#!/usr/bin/env bash
# Fuzzes the members with libFuzzer under AddressSanitizer and UBSan: builds the harnesses of
# tests/fuzz (clang) in build/fuzz, writes seed corpora from the tests' data, and runs each
# harness for FUZZ_SECONDS (default 5: about a minute in all). Fails on the first crash, leak,
# timeout or broken invariant; the input that did it is kept in build/fuzz/crashes/.
#
#   tools/run_fuzz.sh                      every harness, the short run CI makes
#   tools/run_fuzz.sh md2vedavi blocks     only these (names as in tests/fuzz/<name>_fuzz.cpp)
#
# The longer run, before a release or after a change to a parser: an hour per harness on four
# cores, with the corpus kept in build/fuzz/corpus/ between runs so that each run starts where the
# last one stopped:
#
#   FUZZ_SECONDS=3600 FUZZ_WORKERS=4 FUZZ_SEED=0 tools/run_fuzz.sh
#
# The short run uses a fixed seed (FUZZ_SEED, 1 unless given) so that CI replays the same search;
# FUZZ_SEED=0 lets libFuzzer pick a new one each run.
#
# To replay a crash: build/fuzz/<name>_fuzz build/fuzz/crashes/<name>-crash-<hash>. Each crash
# found becomes a regression test in the module's folder of tests/cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-5}
# The short run stops after a fixed number of inputs as well, so that with its fixed seed it
# replays the same search whatever the machine's speed (a time limit alone does not).
runs=${FUZZ_RUNS:-3000}
if [ -n "${FUZZ_SECONDS:-}" ]; then runs=${FUZZ_RUNS:--1}; fi
seed=${FUZZ_SEED:-1}
workers=${FUZZ_WORKERS:-1}
out=build/fuzz

CC=clang CXX=clang++ cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=OFF -DVEDAVI_FUZZ=ON >/dev/null
cmake --build "$out" -j "${FUZZ_BUILD_JOBS:-$(nproc)}" >/dev/null
rm -rf "$out/seeds"
python3 tools/fuzz_seeds.py "$out/seeds"
mkdir -p "$out/crashes" "$out/logs"

if [ $# -eq 0 ]; then
  set -- $(basename -s _fuzz.cpp tests/fuzz/*_fuzz.cpp)
fi

parallel=()
if [ "$workers" -gt 1 ]; then
  parallel=(-workers="$workers" -jobs="$workers")
fi
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for name in "$@"; do
  kind=$(sed -n '1s|^// seeds: *||p' "tests/fuzz/${name}_fuzz.cpp")
  mkdir -p "$out/corpus/$name"
  log="$out/logs/$name.log"
  # With workers, each job also logs to fuzz-<n>.log there.
  printf '%-22s %ss on seeds "%s" ... ' "$name" "$seconds" "$kind"
  # The first folder collects what the fuzzer finds; the seeds are only read.
  if (cd "$out/logs" && "../${name}_fuzz" "../corpus/$name" "../seeds/$kind" \
      -max_total_time="$seconds" -runs="$runs" -seed="$seed" -timeout=10 -rss_limit_mb=4096 -max_len=16384 "${parallel[@]}" \
      -artifact_prefix="../crashes/$name-" -print_final_stats=1) >"$log" 2>&1; then
    echo "ok ($(grep -ho 'stat::number_of_executed_units: *[0-9]*' "$log" | awk '{s += $2} END {print s}') runs)"
  else
    echo "FAILED"
    tail -n 60 "$log"
    exit 1
  fi
done
