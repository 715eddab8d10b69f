#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite.
#   scripts/test.sh [ctest options]              every test, normal build
#   scripts/test.sh --sanitize [ctest options]   unit and gui tests under ASan + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--sanitize" ]; then
  shift
  bash scripts/build.sh --sanitize
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" --timeout 900 -L 'unit|gui' "$@"
else
  bash scripts/build.sh
  ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 900 "$@"
fi
