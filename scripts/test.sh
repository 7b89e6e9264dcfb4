#!/usr/bin/env bash
# Builds Korvel and runs every test three times: in the normal build with GCC (build/), with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/), and built with Clang
# (build-clang/). Warnings are errors in all three; any failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# No source file over 400 lines and no function over 50: the checker's own cases, then the tree.
python3 tools/check_sizes.py --self-test
python3 tools/check_sizes.py

jobs=$(nproc 2>/dev/null || echo 2)

# build_and_test DIR CMAKE_ARGS...: configures, builds and runs ctest in DIR.
build_and_test() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DKORVEL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

build_and_test build -DCMAKE_BUILD_TYPE=Release

# The desktop program as a user sees it, under a real X server when one can be started.
if command -v xvfb-run >/dev/null; then
  bash scripts/xvfb-check.sh build
fi

# Sanitizer reports abort the test (no recovery), so ctest sees them as failures.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test build-sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE=ON

CC=clang CXX=clang++ build_and_test build-clang -DCMAKE_BUILD_TYPE=Release
