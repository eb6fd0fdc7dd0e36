#!/usr/bin/env bash
# Checks that every include of the program's sources goes to its own layer or
# a lower one, as layers.txt orders them. Prints each offending include and
# exits 1; exits 0 when all is in order.
#   scripts/check_layers.sh [ROOT]   (default: the project this script is in)
set -uo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2
[ -f layers.txt ] || { echo "check_layers: no layers.txt in $PWD" >&2; exit 2; }
shopt -s nullglob

declare -A layer_ix layer_name layer_sep
fail=0
ix=0
while read -r name pats; do
  case "$name" in '' | '#'*) continue ;; esac
  sep=0
  if [[ $name == -* ]]; then sep=1; name=${name#-}; fi
  ix=$((ix + 1))
  for pat in $pats; do
    for f in $pat; do
      if [ -n "${layer_ix[$f]:-}" ]; then
        echo "check_layers: $f is in two layers (${layer_name[$f]} and $name)"
        fail=1
      fi
      layer_ix[$f]=$ix
      layer_name[$f]=$name
      layer_sep[$f]=$sep
    done
  done
done <layers.txt

# Every source file of the checked folders has its layer.
sources=()
for d in platform platform/qt velq portio tools/zelbsim velquor velquor/* cli; do
  [ -d "$d" ] || continue
  for f in "$d"/*.h "$d"/*.cpp; do sources+=("$f"); done
done
for f in "${sources[@]}"; do
  if [ -z "${layer_ix[$f]:-}" ]; then
    echo "check_layers: $f belongs to no layer of layers.txt"
    fail=1
  fi
done

for f in "${sources[@]}"; do
  [ -n "${layer_ix[$f]:-}" ] || continue
  dir=$(dirname "$f")
  while IFS=: read -r line inc; do
    # An include names a path from the project root or from the file's folder.
    if [ -f "$inc" ]; then
      target=$inc
    elif [ -f "$dir/$inc" ]; then
      target=$dir/$inc
      target=${target#./}
    else
      continue  # a file of the build (generated) or of a library outside the project
    fi
    if [ -z "${layer_ix[$target]:-}" ]; then
      echo "$f:$line: includes $target, which belongs to no layer"
      fail=1
    elif [ "${layer_name[$target]}" != "${layer_name[$f]}" ]; then
      if [ "${layer_ix[$target]}" -gt "${layer_ix[$f]}" ]; then
        echo "$f:$line: includes $target of layer ${layer_name[$target]}, above its own layer ${layer_name[$f]}"
        fail=1
      elif [ "${layer_sep[$target]}" = 1 ]; then
        echo "$f:$line: includes $target of ${layer_name[$target]}, a deliverable of its own"
        fail=1
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$f" |
           sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
done

if [ "$fail" -ne 0 ]; then
  echo "check_layers: includes out of layer order (see layers.txt)"
  exit 1
fi
echo "check_layers: ${#sources[@]} files, every include in layer order"
