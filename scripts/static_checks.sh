#!/usr/bin/env bash
# Static checks of the project's own sources: clang-tidy with the fixed checks
# of .clang-tidy (tests/ and bench/ without the path analyzer, see their own
# .clang-tidy), then cppcheck, whose remaining findings are reasoned one by
# one in .cppcheck-suppressions. Prints every finding and exits 1 when there
# was any. Needs no build: it configures build-static/ for its compilation
# database (fuzz/ and generated sources are left out).
#   scripts/static_checks.sh
#   VQ_STATIC_JOBS=N   files checked N at a time (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=build-static
jobs=${VQ_STATIC_JOBS:-2}
start=$(date +%s)
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DVQ_BUILD_BENCH=ON >/dev/null

# The database of the checked files: each project .cpp once (cmake/layer_alone.cpp
# is compiled once per layer), without fuzz/ and without generated sources.
db=$build/static
mkdir -p "$db"
python3 - "$PWD" "$build/compile_commands.json" "$db/compile_commands.json" <<'EOF'
import json, os, sys
root, src, dst = sys.argv[1:]
dirs = ("platform/", "velq/", "portio/", "velquor/", "cli/", "tools/", "tests/", "bench/", "cmake/")
seen, out = set(), []
for e in json.load(open(src)):
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    rel = os.path.relpath(f, root)
    if rel.startswith(dirs) and f not in seen:
        seen.add(f)
        out.append(e)
json.dump(out, open(dst, "w"), indent=1)
print(f"static checks: {len(out)} files")
EOF

fail=0

# clang-tidy: run-clang-tidy where it is installed, else the same by xargs.
# The output keeps the findings (warnings, their notes and the code lines)
# and drops the invocations and clang-tidy's counts of hidden warnings.
log=$build/clang-tidy.log
tidy_rc=0
if command -v run-clang-tidy >/dev/null; then
  run-clang-tidy -p "$db" -j "$jobs" -quiet >"$log" 2>&1 || tidy_rc=$?
else
  python3 -c 'import json,sys; [print(e["file"]) for e in json.load(open(sys.argv[1]))]' \
          "$db/compile_commands.json" |
    xargs -P "$jobs" -n 1 clang-tidy -p "$db" --quiet >"$log" 2>&1 || tidy_rc=$?
fi
sed -E -e 's/\x1b\[[0-9;]*m//g' "$log" |
  grep -v -E '^([^ ]*clang-tidy(-[0-9]+)? |[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated|Suppressed [0-9]+ warnings|Use -header-filter|Error while processing )' ||
  true
if [ "$tidy_rc" -ne 0 ]; then
  echo "static checks: clang-tidy has findings (above; all of it in $log)"
  fail=1
fi

# cppcheck: the warnings, performance and portability findings, with the
# library descriptions of the C library, Qt and gtest (the TEST macros).
mkdir -p "$build/cppcheck"
if ! cppcheck --project="$db/compile_commands.json" --enable=warning,performance,portability \
     --library=posix,gnu,qt,googletest --inline-suppr \
     --suppressions-list=.cppcheck-suppressions --error-exitcode=1 -j"$jobs" --quiet \
     --cppcheck-build-dir="$build/cppcheck" \
     --template='{file}:{line}:{column}: {severity}: {message} [{id}]'; then
  echo "static checks: cppcheck has findings (above)"
  fail=1
fi

echo "static checks: $(($(date +%s) - start)) s"
if [ "$fail" -ne 0 ]; then exit 1; fi
echo "static checks: clean"
