#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang, libFuzzer and the sanitizers in
# build-fuzz/ and runs each of them for SECONDS (default 60) on a copy of its
# seed corpus, fuzz/corpus/<name>/ (never written to). Prints the executions
# and the rate per target and every finding, keeps the inputs of the findings
# in build-fuzz/findings/<name>/, and exits 1 when there was any.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: conf, dump, firm, ... (default all)
#   VQ_FUZZ_JOBS=N   targets run N at a time (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."

secs=60
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  secs=$1
  shift
fi
jobs=${VQ_FUZZ_JOBS:-1}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do
    t=$(basename "$f" .cpp)
    t=${t#fuzz_}
    [ "$t" = common ] || targets+=("$t")
  done
fi
for t in "${targets[@]}"; do
  if [ ! -f "fuzz/fuzz_$t.cpp" ]; then
    echo "fuzz: no target $t (fuzz/fuzz_$t.cpp)" >&2
    exit 2
  fi
done

bash scripts/deps.sh

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVQ_FUZZ=ON -DVQ_WITH_QT=OFF \
      -DVQ_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The generators that run during the build are instrumented too; their
# allocations held until exit are no finding.
ASAN_OPTIONS=detect_leaks=0 cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" \
      --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d "${TMPDIR:-/tmp}/vq-fuzz-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target: its corpus copied, libFuzzer for $secs seconds, its log kept.
run_one() {
  local t=$1 dir="$work/$1"
  mkdir -p "$dir/corpus" "$dir/art"
  cp -r "fuzz/corpus/$t/." "$dir/corpus/" 2>/dev/null || true
  (cd "$dir" && TMPDIR="$dir" "$OLDPWD/$build/fuzz/fuzz_$t" -max_total_time="$secs" \
      -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$dir/art/" \
      corpus >"$dir/log" 2>&1)
  echo $? >"$dir/rc"
}

running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

found=0
printf '%-10s %12s %10s  %s\n' target executions exec/s result
for t in "${targets[@]}"; do
  dir="$work/$t"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -n1)
  rc=$(cat "$dir/rc" 2>/dev/null || echo 1)
  arts=("$dir"/art/*)
  if [ "$rc" = 0 ] && [ ! -e "${arts[0]}" ]; then
    printf '%-10s %12s %10s  %s\n' "$t" "${execs:-?}" "${rate:-?}" ok
    continue
  fi
  found=1
  printf '%-10s %12s %10s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "FINDING (exit $rc)"
  mkdir -p "$build/findings/$t"
  for a in "${arts[@]}"; do
    [ -e "$a" ] || continue
    cp "$a" "$build/findings/$t/"
    echo "  input: $build/findings/$t/$(basename "$a")"
  done
  cp "$dir/log" "$build/findings/$t/log"
  grep -E 'ERROR|runtime error|invariant broken|SUMMARY|^ *#[0-9]+ ' "$dir/log" | head -n 25 | sed 's/^/  /'
done
exit $found
