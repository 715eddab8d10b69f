#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_ini fuzz_filenames
for target in ini filenames; do
  work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  echo "== fuzz_$target for ${seconds}s"
  "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 "$work" "fuzz/corpus/$target" 2>&1 | grep -E "stat::|ERROR|SUMMARY|Done" || true
done
