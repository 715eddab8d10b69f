#!/usr/bin/env bash
# quorvcli and quorvbatch run where no display libraries are installed: they link no Qt Gui or
# Widgets library, directly or through another library.
set -uo pipefail
libs=$(ldd "$1") || { echo "ldd failed on $1"; exit 1; }
# Proves the list is the real one: the program does use Qt Core.
grep -q 'libQt6Core' <<<"$libs" || { echo "no libQt6Core in the list of $1:"; echo "$libs"; exit 1; }
if grep -E 'libQt6(Gui|Widgets|OpenGL|XcbQpa)' <<<"$libs"; then
  echo "$1 links a display library"
  exit 1
fi
exit 0
