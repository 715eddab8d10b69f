#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]   (default 60, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ini filenames docbytes pdf2swf pdf2ofd)
bash scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
# Leaks that are not ours (fontconfig's caches, reached through poppler) are listed there.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
for target in "${targets[@]}"; do
  work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  args=(-max_len=4096)
  # Compound files are made of 512-byte sectors: a few of them.
  [ "$target" = docbytes ] && args=(-max_len=16384)
  seeds="fuzz/corpus/$target"
  if [ "$target" = pdf2swf ] || [ "$target" = pdf2ofd ]; then
    # Both converters read the same PDFs.
    seeds="fuzz/corpus/pdf2swf"
    # The target gives up after 3 s by itself, between pages; -timeout catches a page
    # that never ends.
    # Rendering may need a few hundred MiB beside ASan's own.
    args=(-max_len=8192 -timeout=120 -rss_limit_mb=4096 -dict=fuzz/pdf2swf.dict)
  fi
  echo "== fuzz_$target for ${seconds}s"
  "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" "${args[@]}" \
    -artifact_prefix="build-fuzz/finding-$target-" \
    -print_final_stats=1 "$work" "$seeds" 2>&1 |
    grep -E "stat::|ERROR|SUMMARY|Done|INITED|DONE|fuzz_pdf2swf:|fuzz_pdf2ofd:" || true
done
