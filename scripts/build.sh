#!/usr/bin/env bash
# Installs what is missing, then configures and builds.
#   scripts/build.sh              into build/
#   scripts/build.sh --sanitize   into build-sanitize/ (ASan + UBSan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default dir=build
case "${1:-}" in
  --sanitize) preset=sanitize dir=build-sanitize ;;
  "") ;;
  *) echo "usage: scripts/build.sh [--sanitize]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build "$dir" -j"$(nproc)"
