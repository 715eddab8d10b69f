#!/usr/bin/env bash
# Sets everything up and starts Quorvane. Its settings file tovk.ini is looked for in
# the working directory, so start it from the folder that should hold it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh"
exec "$root/build/bin/Quorvane" "$@"
