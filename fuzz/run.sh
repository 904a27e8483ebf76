#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a given time, at the lowest priority.
#
#   fuzz/run.sh [-t SECONDS] [-j PARALLEL] [-s EXTRA_SEED_DIR]... [TARGET...]
#
# TARGET is a reader name (cube texture iuc 3dl mga look discreet lut1d davlut csp cub itx
# spi1d spi3d csv tms1d tms3d) or "roundtrip"; all eighteen by default. Each run keeps its
# corpus under build-fuzz/corpus/<target> (seeded from tests/data, its corpus and files made
# by the library's writers), puts what it finds under build-fuzz/artifacts/<target>/ and its
# log under build-fuzz/logs/. The summary gives executions, coverage and time per target;
# the script fails when any target found a crash, leak, timeout or excess allocation.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
parallel=1
extra_seeds=()
while getopts "t:j:s:" opt; do
  case "$opt" in
    t) seconds="$OPTARG" ;;
    j) parallel="$OPTARG" ;;
    s) extra_seeds+=("$OPTARG") ;;
    *) sed -n '2,12p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

all=(cube texture iuc 3dl mga look discreet lut1d davlut csp cub itx spi1d spi3d csv tms1d tms3d roundtrip)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUTWRIGHT_FUZZ=ON -DLUTWRIGHT_TESTS=OFF -DLUTWRIGHT_BENCH=OFF > /dev/null
nice -n 19 cmake --build "$build" --target fuzz_all -j2 > "$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }

# Seeds: new files are added on every run, what the fuzzer found before is kept.
mapfile -t seed_files < <(find tests/data "${extra_seeds[@]}" -type f 2>/dev/null)
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/fuzz_seeds" "$build/corpus" "${seed_files[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

run_one() {
  local name="$1" binary
  if [ "$name" = roundtrip ]; then binary="$build/fuzz/fuzz_roundtrip"; else binary="$build/fuzz/fuzz_read_$name"; fi
  mkdir -p "$build/artifacts/$name" "$build/logs" "$build/corpus/$name"
  nice -n 19 "$binary" "$build/corpus/$name" \
    -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=1024 -timeout=1 \
    -max_len=32768 -print_final_stats=1 -artifact_prefix="$build/artifacts/$name/" \
    > "$build/logs/$name.log" 2>&1 || true
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

status=0
printf '%-10s %12s %8s %8s %8s  %s\n' target executions cov ft seconds result
for name in "${targets[@]}"; do
  log="$build/logs/$name.log"
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)
  last_line=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  line="${done_line:-$last_line}"
  execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
  [ -z "$execs" ] && execs=$(sed -E 's/^#([0-9]+).*/\1/' <<<"$line")
  cov=$(grep -oE 'cov: [0-9]+' <<<"$line" | grep -oE '[0-9]+' || echo -)
  ft=$(grep -oE 'ft: [0-9]+' <<<"$line" | grep -oE '[0-9]+' || echo -)
  secs=$(grep -oE 'Done [0-9]+ runs in [0-9]+ second' "$log" | grep -oE '[0-9]+ second' | grep -oE '[0-9]+' || true)
  found=$(find "$build/artifacts/$name" -type f | wc -l)
  if [ "$found" -gt 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|FAULT' "$log"; then
    result="FOUND $found: $(ls "$build/artifacts/$name" | head -3 | tr '\n' ' ')"
    status=1
  else
    result=ok
  fi
  printf '%-10s %12s %8s %8s %8s  %s\n' "$name" "${execs:--}" "$cov" "$ft" "${secs:--}" "$result"
done
exit $status
