#!/usr/bin/env bash
# Builds every fuzz target with clang (libFuzzer + ASan + UBSan) and runs each for a bounded time, seeded from
# tests/data, the kept regressions and, when present, the files of ../shared/corpus below 1 MiB; the MIDNAM,
# REAPER, MusE, CSV, Hapax and check-rule targets get the tokens of fuzz/dictionaries/. Fails on any finding; a
# crashing input is left in build-fuzz/findings/ to be added to fuzz/regressions/<target>/ once fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds="${1:-60}"
build="${QUORVIX_FUZZ_BUILD_DIR:-$root/build-fuzz}"

QUORVIX_FUZZ_DEPS=1 "$root/scripts/deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIX_FUZZ=ON \
    -DQUORVIX_SANITIZE=ON -DQUORVIX_BUILD_GUI=OFF -DQUORVIX_BUILD_TESTS=OFF -DQUORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

corpus="$root/../shared/corpus"
mkdir -p "$build/findings"
status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    target=${name#fuzz_}
    work="$build/work/$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp -r "$root/tests/data/." "$work/" 2>/dev/null || true
    if [ -d "$root/fuzz/regressions/$target" ]; then
        cp -r "$root/fuzz/regressions/$target/." "$work/" 2>/dev/null || true
    fi
    if [ -d "$corpus" ]; then
        # In kibibytes: find rounds a size up to whole units, so that "less than 1 MiB" would mean empty.
        find "$corpus" -type f -size -1024k -exec cp -t "$work" {} + 2>/dev/null || true
    fi
    dictionary=()
    case "$target" in
    *midnam*) dictionary=(-dict="$root/fuzz/dictionaries/midnam.dict") ;;
    *reabank*) dictionary=(-dict="$root/fuzz/dictionaries/reabank.dict") ;;
    *muse*) dictionary=(-dict="$root/fuzz/dictionaries/muse.dict") ;;
    *csv*) dictionary=(-dict="$root/fuzz/dictionaries/csv.dict") ;;
    *hapax*) dictionary=(-dict="$root/fuzz/dictionaries/hapax.dict") ;;
    *check*) dictionary=(-dict="$root/fuzz/dictionaries/check.dict") ;;
    esac
    echo "fuzz: $name for ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=4096 ${dictionary[@]+"${dictionary[@]}"} \
        -artifact_prefix="$build/findings/$target-" -print_final_stats=1 "$work" >"$build/$target.log" 2>&1; then
        echo "fuzz: $name FOUND A PROBLEM (see $build/$target.log and $build/findings/)"
        tail -n 40 "$build/$target.log"
        status=1
    else
        grep -E 'stat::number_of_executed_units|Done' "$build/$target.log" | tail -n 2 || true
    fi
done
exit "$status"
