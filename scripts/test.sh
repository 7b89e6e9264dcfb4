#!/usr/bin/env bash
# Builds Korvel and runs every test: once in the normal build (build/), once more with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/). Any failure or sanitizer
# report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

# Sanitizer reports abort the test (no recovery), so ctest sees them as failures.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && ctest --output-on-failure -j"$jobs")
