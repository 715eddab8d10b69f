#!/bin/sh
# Starts Quorvane in the user's settings folder: the program keeps tovk.ini, and the
# intermediate PDFs in pdf/, in the folder it runs in.
set -e
case "${XDG_CONFIG_HOME:-}" in
  /*) config="$XDG_CONFIG_HOME" ;;
  *) config="$HOME/.config" ;;
esac
dir="$config/quorvane"
mkdir -p "$dir/pdf"
cd "$dir"
exec "$(dirname "$(readlink -f "$0")")/Quorvane" "$@"
