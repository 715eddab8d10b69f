#!/usr/bin/env bash
# scripts/check-layers.sh on small made-up trees: it must pass a clean one and name the
# file and the include of an upward include and of a cycle between folders.
set -uo pipefail
check=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

make_tree() {
  rm -rf "$tmp/t" && mkdir -p "$tmp/t"/src/{app,settings,convert,platform/office,mainwin,cli} "$tmp/t/tools/pdf2swf"
  echo '#include "settings/globals.h"' >"$tmp/t/src/app/quorvapp.h"
  echo '#include "app/quorvapp.h"' >"$tmp/t/src/app/quorvane_start.cpp"
  echo '#include "mainwin/w_frn.h"' >>"$tmp/t/src/app/quorvane_start.cpp"
  : >"$tmp/t/src/settings/globals.h"
  echo '#include "app/quorvapp.h"' >"$tmp/t/src/settings/wconfig.cpp"
  echo '#include "convert/automation.h"' >"$tmp/t/src/mainwin/w_frn.h"
  echo '#include "settings/wconfig.h"' >>"$tmp/t/src/mainwin/w_frn.h"
  : >"$tmp/t/src/settings/wconfig.h"
  echo '#include "app/runtimeerror.h"' >"$tmp/t/src/convert/automation.h"
  : >"$tmp/t/src/app/runtimeerror.h"
  echo '#include "convert/automation.h"' >"$tmp/t/src/platform/office/servers.h"
  : >"$tmp/t/src/platform/desktop.h"
  echo '#include "swfwriter.h"' >"$tmp/t/tools/pdf2swf/pdf2swf.cpp"
  : >"$tmp/t/tools/pdf2swf/swfwriter.h"
}

# expect NAME STATUS TEXT...: the check ends with STATUS and prints every TEXT.
expect() {
  local name=$1 status=$2
  shift 2
  local out rc
  out=$(bash "$check" "$tmp/t" 2>&1)
  rc=$?
  if [ "$rc" -ne "$status" ]; then
    echo "FAIL $name: status $rc, wanted $status"
    echo "$out"
    failed=1
    return
  fi
  for text in "$@"; do
    if ! grep -qF -- "$text" <<<"$out"; then
      echo "FAIL $name: no \"$text\" in:"
      echo "$out"
      failed=1
    fi
  done
}

make_tree
expect "clean tree" 0 "no upward include"

make_tree
echo '#include "platform/office/servers.h"' >>"$tmp/t/src/convert/automation.h"
expect "conversions include the engines" 1 \
  'src/convert/automation.h: includes "platform/office/servers.h"' "conversions must not use engines"

make_tree
echo '#include "settings/wconfig.h"' >>"$tmp/t/src/app/quorvapp.h"
expect "core includes the settings window" 1 \
  'src/app/quorvapp.h: includes "settings/wconfig.h"' "core must not use windows"

# Two folders of one layer that include each other: no include goes up, yet a cycle.
make_tree
echo '#include "platform/desktop.h"' >>"$tmp/t/src/platform/office/servers.h"
echo '#include "platform/office/servers.h"' >>"$tmp/t/src/platform/desktop.h"
expect "cycle inside a layer" 1 "a cycle between folders" \
  'src/platform/office/servers.h: includes "platform/desktop.h"' \
  'src/platform/desktop.h: includes "platform/office/servers.h"'

make_tree
echo '#include "nowhere/gone.h"' >>"$tmp/t/src/mainwin/w_frn.h"
expect "include of an unknown file" 1 'src/mainwin/w_frn.h: includes "nowhere/gone.h"'

make_tree
mkdir -p "$tmp/t/src/newfolder" && : >"$tmp/t/src/newfolder/x.h"
expect "file without a layer" 1 "src/newfolder/x.h: no layer"

exit $failed
