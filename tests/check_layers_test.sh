#!/usr/bin/env bash
# Test of scripts/check_layers.sh on small trees made here: an include of a
# higher layer, of a deliverable of its own and of a file of no layer are each
# caught with the file and line named; a tree in order passes.
set -u
script=$1
work=$(mktemp -d /tmp/vq_layers.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

# make_tree: two program layers and a deliverable of its own.
make_tree() {
  rm -rf "$work/t"
  mkdir -p "$work/t/velquor/util" "$work/t/velquor/ui" "$work/t/velq" "$work/t/platform"
  cat >"$work/t/layers.txt" <<'MAP'
# test map
platform  platform/*.h
-velq     velq/*.h velq/*.cpp
util      velquor/util/*.h velquor/util/*.cpp
window    velquor/ui/*.h velquor/ui/*.cpp
MAP
  echo '#pragma once' >"$work/t/platform/p.h"
  echo '#pragma once' >"$work/t/velq/v.h"
  printf '#include "v.h"\n#include "platform/p.h"\n' >"$work/t/velq/v.cpp"
  printf '#pragma once\n#include "platform/p.h"\n' >"$work/t/velquor/util/u.h"
  printf '#include "velquor/util/u.h"\n#include <vector>\n' >"$work/t/velquor/util/u.cpp"
  printf '#pragma once\n#include "velquor/util/u.h"\n' >"$work/t/velquor/ui/w.h"
  printf '#include "w.h"\n' >"$work/t/velquor/ui/w.cpp"
}

# expect RC PATTERN: runs the check on the tree; its status and output must match.
expect() {
  local want=$1 pattern=$2 out rc
  out=$(bash "$script" "$work/t" 2>&1)
  rc=$?
  if [ "$rc" -ne "$want" ] || ! grep -q -- "$pattern" <<<"$out"; then
    echo "FAIL (want status $want and \"$pattern\"): status $rc"
    echo "$out"
    failed=1
  fi
}

make_tree
expect 0 "every include in layer order"

make_tree
printf '#include "velquor/util/u.h"\n#include "velquor/ui/w.h"\n' >"$work/t/velquor/util/u.cpp"
expect 1 "velquor/util/u.cpp:2: includes velquor/ui/w.h of layer window, above its own layer util"

make_tree
printf '#include "w.h"\n#include "velq/v.h"\n' >"$work/t/velquor/ui/w.cpp"
expect 1 "velquor/ui/w.cpp:2: includes velq/v.h of velq, a deliverable of its own"

make_tree
mkdir -p "$work/t/velquor/other"; echo "#pragma once" >"$work/t/velquor/other/stray.h"
expect 1 "velquor/other/stray.h belongs to no layer"

make_tree
printf '#include "velquor/util/u.h"\n' >"$work/t/velq/v.cpp"
expect 1 "velq/v.cpp:1: includes velquor/util/u.h of layer util, above its own layer velq"

exit $failed
