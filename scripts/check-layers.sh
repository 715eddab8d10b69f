#!/usr/bin/env bash
# Fails on an include that goes up a layer and on a cycle between folders.
#   scripts/check-layers.sh [ROOT]    ROOT holds src/ and tools/ (default: this checkout)
# The layer of a file of src/ is the first folder under src/; no table of files is kept.
# tools/ stands alone: its files include only files of tools/, and src/ includes none of them.
# The unit of the cycle check is the folder that holds the file (src/engines/office,
# src/gui/settings, src/core, tools/pdf2swf, ...).
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# The layers, lowest first; a layer includes only itself and the layers before it.
layer_names=(core convert engines gui programs)
tools=${#layer_names[@]}

# The layer of a file of src/ or tools/ into `layer`: its index in layer_names, `tools`
# for a file of tools/, -1 for a file of no layer.
layer_of() {
  layer=-1
  case "$1" in
    tools/*) layer=$tools ;;
    src/*/*)
      local first=${1#src/}
      first=${first%%/*}
      local i
      for i in "${!layer_names[@]}"; do
        [ "${layer_names[i]}" = "$first" ] && layer=$i
      done
      ;;
  esac
  return 0
}

name_of() {
  if [ "$1" -eq "$tools" ]; then name=tools; else name=${layer_names[$1]}; fi
}

failures=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

while IFS= read -r -d '' file; do
  layer_of "$file"
  from=$layer
  if [ "$from" -lt 0 ]; then
    echo "$file: no layer (the first folder under src/ must be one of: ${layer_names[*]})"
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
    if [ "$to" -lt 0 ]; then
      echo "$file: includes \"$include\", which is a file of no layer"
      failures=$((failures + 1))
      continue
    fi
    name_of "$from"
    from_name=$name
    name_of "$to"
    to_name=$name
    if [ "$from" -eq "$tools" ] || [ "$to" -eq "$tools" ]; then
      if [ "$from" -ne "$to" ]; then
        echo "$file: includes \"$include\": tools/ stands alone, $from_name must not use $to_name"
        failures=$((failures + 1))
      fi
    elif [ "$to" -gt "$from" ]; then
      echo "$file: includes \"$include\": $from_name must not use $to_name"
      failures=$((failures + 1))
    fi
    a=${file%/*}
    b=${target%/*}
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
