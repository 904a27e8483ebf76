#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a given time, at the lowest priority.
#
#   fuzz/run.sh [-t SECONDS] [-j PARALLEL] [-s EXTRA_SEED_DIR]... [-r] [TARGET...]
#
# TARGET is the registry name of a readable format (cube texture iuc 3dl mga look discreet lut1d
# davlut csp cub itx spi1d spi3d csv tms1d tms3d ...; `fuzz_seeds --list` prints them) or
# "roundtrip"; all of them by default. Each run keeps its
# corpus under build-fuzz/corpus/<target> (seeded from tests/data, fuzz/seeds and files made
# by the library's writers), puts what it finds under build-fuzz/artifacts/<target>/ and its
# log under build-fuzz/logs/. The summary gives executions, coverage and time per target;
# the script fails when any target found a crash, leak, timeout or excess allocation. -r only
# prints the summary of the last runs.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
parallel=1
extra_seeds=()
report_only=0
while getopts "t:j:s:r" opt; do
  case "$opt" in
    t) seconds="$OPTARG" ;;
    j) parallel="$OPTARG" ;;
    s) extra_seeds+=("$OPTARG") ;;
    r) report_only=1 ;;
    *) sed -n '2,12p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

build=build-fuzz
if [ "$report_only" -eq 0 ]; then
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUTWRIGHT_FUZZ=ON -DLUTWRIGHT_TESTS=OFF -DLUTWRIGHT_BENCH=OFF > /dev/null
nice -n 19 cmake --build "$build" --target fuzz_all -j2 > "$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }
fi

# One reading target per readable format of the registry: fuzz_read under the format's name.
mapfile -t readers < <(ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/fuzz_seeds" --list)
for name in "${readers[@]}"; do
  ln -sf fuzz_read "$build/fuzz/fuzz_read_$name"
done
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${readers[@]}" roundtrip)

if [ "$report_only" -eq 0 ]; then

# Seeds: new files are added on every run, what the fuzzer found before is kept.
mapfile -t seed_files < <(find tests/data fuzz/seeds "${extra_seeds[@]}" -type f 2>/dev/null)
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/fuzz_seeds" "$build/corpus" "${seed_files[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# A run stops at the first finding. Under a loaded machine a one-second timeout can be a run
# that merely waited for the processor: each timeout is tried again on its own, and when it
# then passes well within the limit it is moved to spurious/ and fuzzing goes on with the
# time left. Everything else ends the target's run and is reported.
binary_of() {
  if [ "$1" = roundtrip ]; then echo "$build/fuzz/fuzz_roundtrip"; else echo "$build/fuzz/fuzz_read_$1"; fi
}

run_one() {
  local name="$1" binary start left segment=0 artifact log
  binary=$(binary_of "$name")
  mkdir -p "$build/artifacts/$name/spurious" "$build/logs" "$build/corpus/$name"
  rm -f "$build/logs/$name".*.log "$build/logs/$name".*.retry
  start=$(date +%s)
  left=$seconds
  while [ "$left" -gt 0 ]; do
    segment=$((segment + 1))
    log="$build/logs/$name.$segment.log"
    nice -n 19 "$binary" "$build/corpus/$name" \
      -max_total_time="$left" -rss_limit_mb=1024 -malloc_limit_mb=1024 -timeout=1 \
      -max_len=32768 -print_final_stats=1 -artifact_prefix="$build/artifacts/$name/" \
      > "$log" 2>&1 || true
    artifact=$(find "$build/artifacts/$name" -maxdepth 1 -type f -name 'timeout-*' | head -1)
    [ -z "$artifact" ] && break
    if "$binary" -timeout=1 -runs=3 "$artifact" > "$log.retry" 2>&1; then
      mv "$artifact" "$build/artifacts/$name/spurious/"
    else
      break
    fi
    left=$((seconds - ($(date +%s) - start)))
  done
  echo $(( $(date +%s) - start )) > "$build/logs/$name.seconds"
}

running=0
for name in "${targets[@]}"; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
fi

status=0
printf '%-10s %12s %8s %8s %8s %9s  %s\n' target executions cov ft seconds spurious result
for name in "${targets[@]}"; do
  last=$(ls -v "$build/logs/$name".[0-9]*.log | grep -v retry | tail -1)
  execs=0
  for l in $(ls -v "$build/logs/$name".[0-9]*.log | grep -v retry); do
    n=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$l" | grep -oE '[0-9]+$' || true)
    [ -z "$n" ] && n=$(grep -E '^#[0-9]+' "$l" | tail -1 | sed -E 's/^#([0-9]+).*/\1/')
    execs=$((execs + ${n:-0}))
  done
  line=$(grep -E '^#[0-9]+.*cov:' "$last" | tail -1 || true)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$line" | grep -oE '[0-9]+' || echo -)
  ft=$(grep -oE 'ft: [0-9]+' <<<"$line" | grep -oE '[0-9]+' || echo -)
  secs=$(cat "$build/logs/$name.seconds" 2>/dev/null || echo -)
  spurious=$(find "$build/artifacts/$name/spurious" -type f | wc -l)
  found=$(find "$build/artifacts/$name" -maxdepth 1 -type f | wc -l)
  if [ "$found" -gt 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|FAULT' "$last"; then
    result="FOUND: $(find "$build/artifacts/$name" -maxdepth 1 -type f -printf '%f ' | head -c 200)"
    status=1
  else
    result=ok
  fi
  printf '%-10s %12s %8s %8s %8s %9s  %s\n' "$name" "$execs" "$cov" "$ft" "$secs" "$spurious" "$result"
done
exit $status
