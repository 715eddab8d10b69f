#!/usr/bin/env bash
# scripts/check-layers.sh on small made-up trees: it must pass a clean one and name the
# file and the include of an upward include and of a cycle between folders.
set -uo pipefail
check=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0

make_tree() {
  rm -rf "$tmp/t" && mkdir -p "$tmp/t"/src/{core,convert/batch,engines/{office,desktop},gui/{mainwin,settings},programs/{quorvane,quorvcli}} "$tmp/t/tools/pdf2swf"
  echo '#include "core/globals.h"' >"$tmp/t/src/core/quorvapp.h"
  : >"$tmp/t/src/core/globals.h"
  : >"$tmp/t/src/core/runtimeerror.h"
  echo '#include "core/runtimeerror.h"' >"$tmp/t/src/convert/automation.h"
  echo '#include "convert/automation.h"' >"$tmp/t/src/convert/batch/batchengine.h"
  echo '#include "convert/automation.h"' >"$tmp/t/src/engines/office/servers.h"
  : >"$tmp/t/src/engines/desktop/desktop.h"
  echo '#include "core/quorvapp.h"' >"$tmp/t/src/gui/settings/wconfig.cpp"
  echo '#include "engines/desktop/desktop.h"' >>"$tmp/t/src/gui/settings/wconfig.cpp"
  : >"$tmp/t/src/gui/settings/wconfig.h"
  echo '#include "convert/batch/batchengine.h"' >"$tmp/t/src/gui/mainwin/w_frn.h"
  echo '#include "gui/settings/wconfig.h"' >>"$tmp/t/src/gui/mainwin/w_frn.h"
  echo '#include "core/quorvapp.h"' >"$tmp/t/src/programs/quorvane/quorvane_start.cpp"
  echo '#include "gui/mainwin/w_frn.h"' >>"$tmp/t/src/programs/quorvane/quorvane_start.cpp"
  echo '#include "engines/office/servers.h"' >"$tmp/t/src/programs/quorvcli/main.cpp"
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
echo '#include "engines/office/servers.h"' >>"$tmp/t/src/convert/automation.h"
expect "convert includes the engines" 1 \
  'src/convert/automation.h: includes "engines/office/servers.h"' "convert must not use engines"

make_tree
echo '#include "gui/settings/wconfig.h"' >>"$tmp/t/src/core/quorvapp.h"
expect "core includes the settings window" 1 \
  'src/core/quorvapp.h: includes "gui/settings/wconfig.h"' "core must not use gui"

# A file beside the including one counts by its folder too.
make_tree
echo '#include "../../programs/quorvcli/main.cpp"' >>"$tmp/t/src/gui/mainwin/w_frn.h"
expect "relative include up a layer" 1 \
  'src/gui/mainwin/w_frn.h: includes "../../programs/quorvcli/main.cpp"' \
  "gui must not use programs"

# Two folders of one layer that include each other: no include goes up, yet a cycle.
make_tree
echo '#include "engines/desktop/desktop.h"' >>"$tmp/t/src/engines/office/servers.h"
echo '#include "engines/office/servers.h"' >>"$tmp/t/src/engines/desktop/desktop.h"
expect "cycle inside a layer" 1 "a cycle between folders" \
  'src/engines/office/servers.h: includes "engines/desktop/desktop.h"' \
  'src/engines/desktop/desktop.h: includes "engines/office/servers.h"'

# A layer's folder and its sub-folder are two units of the cycle check.
make_tree
echo '#include "convert/batch/batchengine.h"' >>"$tmp/t/src/convert/automation.h"
expect "cycle between a folder and its sub-folder" 1 "a cycle between folders" \
  'src/convert/automation.h: includes "convert/batch/batchengine.h"' \
  'src/convert/batch/batchengine.h: includes "convert/automation.h"'

make_tree
echo '#include "core/globals.h"' >>"$tmp/t/tools/pdf2swf/pdf2swf.cpp"
expect "a tool includes src" 1 \
  'tools/pdf2swf/pdf2swf.cpp: includes "core/globals.h"' "tools/ stands alone"

make_tree
echo '#include "../../tools/pdf2swf/swfwriter.h"' >>"$tmp/t/src/core/globals.h"
expect "src includes a tool" 1 \
  'src/core/globals.h: includes "../../tools/pdf2swf/swfwriter.h"' "tools/ stands alone"

make_tree
echo '#include "nowhere/gone.h"' >>"$tmp/t/src/gui/mainwin/w_frn.h"
expect "include of an unknown file" 1 'src/gui/mainwin/w_frn.h: includes "nowhere/gone.h"'

make_tree
mkdir -p "$tmp/t/src/newfolder" && : >"$tmp/t/src/newfolder/x.h"
expect "file without a layer" 1 "src/newfolder/x.h: no layer"

make_tree
: >"$tmp/t/src/loose.h"
expect "file directly under src" 1 "src/loose.h: no layer"

exit $failed
