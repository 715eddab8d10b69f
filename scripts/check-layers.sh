#!/usr/bin/env bash
# Fails on an include that goes up a layer and on a cycle between folders.
#   scripts/check-layers.sh [ROOT]    ROOT holds src/ and tools/ (default: this checkout)
# A folder that holds files of two layers counts as two folders, one per layer.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# The layers, lowest first.
layer_names=(core conversions engines windows programs)

# The layer of a file of src/ or tools/ into `layer`; the first matching pattern wins.
layer_of() {
  case "$1" in
    src/app/runtimeerror.* | src/app/failreason.* | src/app/quorvapp.*) layer=0 ;;
    src/app/*) layer=4 ;;
    src/settings/wconfig.*) layer=3 ;;
    src/settings/*) layer=0 ;;
    src/convert/filenames.* | src/convert/pump.* | src/convert/programrun.*) layer=0 ;;
    src/convert/*) layer=1 ;;
    src/platform/*) layer=2 ;;
    src/mainwin/*) layer=3 ;;
    src/cli/*) layer=4 ;;
    tools/*) layer=4 ;;
    *) layer=-1 ;;
  esac
}

# The unit of the cycle check: the folder, and its layer where the folder holds two.
unit_of() {
  unit="${1%/*}(${layer_names[$2]})"
}

failures=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

while IFS= read -r -d '' file; do
  layer_of "$file"
  from=$layer
  if [ "$from" -lt 0 ]; then
    echo "$file: no layer (add it to the table in $0)"
    failures=$((failures + 1))
    continue
  fi
  while IFS= read -r include; do
    # Names are taken beside the including file first, then from src/.
    if [ -f "${file%/*}/$include" ]; then
      target=$(realpath -m --relative-to=. "${file%/*}/$include")
    elif [ -f "src/$include" ]; then
      target="src/$include"
    else
      echo "$file: includes \"$include\", which is not a file of src/ or tools/"
      failures=$((failures + 1))
      continue
    fi
    layer_of "$target"
    to=$layer
    if [ "$to" -gt "$from" ]; then
      echo "$file: includes \"$include\": ${layer_names[$from]} must not use ${layer_names[$to]}"
      failures=$((failures + 1))
    fi
    unit_of "$file" "$from"
    a=$unit
    unit_of "$target" "$to"
    b=$unit
    [ "$a" != "$b" ] && printf '%s %s %s %s\n' "$a" "$b" "$file" "$include" >>"$edges"
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src tools -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

# tsort names the folders of each loop it finds on standard error, in the loop's order;
# the first loop is shown with one include for each of its steps.
loop=$(cut -d' ' -f1,2 "$edges" | sort -u | tsort 2>&1 >/dev/null |
  awk '/input contains a loop/ { n++; next } n == 1 { sub(/^tsort: /, ""); print }' || true)
if [ -n "$loop" ]; then
  echo "a cycle between folders:"
  mapfile -t members <<<"$loop"
  n=${#members[@]}
  for ((i = 0; i < n; i++)); do
    a=${members[i]}
    b=${members[$(((i + 1) % n))]}
    awk -v a="$a" -v b="$b" '$1 == a && $2 == b {
      print "  " $3 ": includes \"" $4 "\" (" a " -> " b ")"; exit }' "$edges"
  done
  failures=$((failures + 1))
fi

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures problem(s)"
  exit 1
fi
echo "check-layers: no upward include, no cycle between folders"
