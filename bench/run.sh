#!/usr/bin/env bash
# Builds Quorvix in Release, generates the benchmark inputs into bench/out/ and measures both directions of
# quorvix-convert on them: throughput, peak memory and the ratio to `wc -l` on the same file (measured in the
# same run). Then runs the Google Benchmark program on the same inputs.
#
#   bench/run.sh [SIZES...]        sizes in MB, default "1 10 100"
#
# Environment: QUORVIX_BENCH_BUILD_DIR (default build-bench), QUORVIX_BENCH_REPEAT (runs per measurement, the
# fastest counts; default 3), QUORVIX_BENCH_OUTPUT (folder the converted files go to; default a fresh folder
# in the system's temporary folder; /dev/shm leaves the disk out), QUORVIX_BENCH_SKIP_GBENCH=1 (only the
# command-line figures), QUORVIX_BENCH_JOBS (build jobs, default 2), QUORVIX_BENCH_GUI_EXE (the desktop program,
# e.g. build/src/gui/quorvix: also measures the time from its start to its window's first show, under Xvfb
# when there is no display; needs xdotool).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUORVIX_BENCH_BUILD_DIR:-$root/build-bench}"
repeat="${QUORVIX_BENCH_REPEAT:-3}"
jobs="${QUORVIX_BENCH_JOBS:-2}"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 10 100)
inputs="$root/bench/out"

echo "== build (Release) in $build =="
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVIX_BUILD_GUI=OFF -DQUORVIX_BUILD_TESTS=OFF \
    -DQUORVIX_BUILD_BENCH=ON >/dev/null
targets=(quorvix-convert quorvix-bench-generate)
if [ -d "$build/bench/CMakeFiles/quorvix-bench.dir" ]; then # Google Benchmark was found
    targets+=(quorvix-bench)
fi
cmake --build "$build" --target "${targets[@]}" -j"$jobs" >/dev/null
convert="$build/src/cli/quorvix-convert"

echo "== inputs in $inputs =="
"$build/bench/quorvix-bench-generate" "$inputs" "${sizes[@]}"

output_root="${QUORVIX_BENCH_OUTPUT:-${TMPDIR:-/tmp}}"
work=$(mktemp -d "$output_root/quorvix-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=1700000000 TZ=UTC

# Runs a command `repeat` times; prints the fastest CPU time (user + system, seconds) and the largest peak
# RSS in KB. CPU time is what the machine's other load disturbs least.
measure() {
    local best="" peak=0 seconds user system kb
    for _ in $(seq "$repeat"); do
        rm -rf "$work/out"
        mkdir -p "$work/out"
        if ! /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
            echo "FAILED: $*" >&2
            tail -n 5 "$work/stderr" >&2
            echo "nan 0"
            return
        fi
        read -r seconds user system kb <"$work/time"
        seconds=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
        fi
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    echo "$best $peak"
}

# /usr/bin/time reports wall time in hundredths; `wc -l` needs finer resolution.
wc_seconds() {
    local best="" start end seconds
    for _ in $(seq "$repeat"); do
        start=$(date +%s.%N)
        wc -l "$1" >/dev/null
        end=$(date +%s.%N)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
        fi
    done
    echo "$best"
}

precise() {
    # The wall time of one run with nanosecond resolution (for the small inputs, where %e rounds to 0.01 s).
    local best="" start end seconds
    for _ in $(seq "$repeat"); do
        rm -rf "$work/out"
        mkdir -p "$work/out"
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
        fi
    done
    echo "$best"
}

echo
echo "== quorvix-convert (fastest of $repeat runs; output to $output_root) =="
printf '%-12s %-18s %7s %8s %8s %8s %8s %8s %8s\n' direction input MB wall_s MB/s cpu_s cpu_MB/s peak_MB peak/in
declare -A seconds_of cpu_of peak_of
for direction in to-cubase to-cakewalk; do
    for size in "${sizes[@]}"; do
        if [ "$direction" = to-cubase ]; then
            file="$inputs/master-${size}MB.ins"
            command=("$convert" to-cubase "$file" --all -o "$work/out" --force)
        else
            file="$inputs/script-${size}MB.txt"
            command=("$convert" to-cakewalk "$file" --name "Bench Synth" -o "$work/out/bench.ins" --force)
        fi
        bytes=$(stat -c %s "$file")
        read -r cpu peak_kb < <(measure "${command[@]}")
        seconds=$(precise "${command[@]}")
        wc=$(wc_seconds "$file")
        awk -v dir="$direction" -v name="$(basename "$file")" -v b="$bytes" -v s="$seconds" -v c="$cpu" \
            -v k="$peak_kb" -v w="$wc" 'BEGIN {
                mb = b / 1e6; peak = k / 1024;
                rate = c > 0 ? sprintf("%.1f", mb / c) : "-"; # below the 10 ms resolution of the CPU time
                printf "%-12s %-18s %7.1f %8.3f %8.1f %8.2f %8s %8.1f %8.2f   (x%.0f wc -l)\n", dir, name, mb, s,
                    (s > 0 ? mb / s : 0), c, rate, peak, peak / mb, (w > 0 ? s / w : 0) }'
        seconds_of["$direction/$size"]=$seconds
        cpu_of["$direction/$size"]=$cpu
        peak_of["$direction/$size"]=$peak_kb
    done
done

[ -n "${seconds_of[to-cubase/10]:-}" ] && [ -n "${seconds_of[to-cubase/100]:-}" ] && echo &&
    echo "== growth from 10 MB to 100 MB (linear: at most 12x) =="
for direction in to-cubase to-cakewalk; do
    if [ -n "${seconds_of[$direction/10]:-}" ] && [ -n "${seconds_of[$direction/100]:-}" ]; then
        awk -v dir="$direction" -v s10="${seconds_of[$direction/10]}" -v s100="${seconds_of[$direction/100]}" \
            -v c10="${cpu_of[$direction/10]}" -v c100="${cpu_of[$direction/100]}" \
            -v m10="${peak_of[$direction/10]}" -v m100="${peak_of[$direction/100]}" 'BEGIN {
                printf "%-12s wall time x%.1f   cpu time x%.1f   peak memory x%.1f\n", dir, s100 / s10,
                    (c10 > 0 ? c100 / c10 : 0), m100 / m10 }'
    fi
done

if [ "${QUORVIX_BENCH_SKIP_GBENCH:-0}" != 1 ] && [ -x "$build/bench/quorvix-bench" ]; then
    echo
    echo "== Google Benchmark (library calls as quorvix-convert makes them) =="
    QUORVIX_BENCH_INPUTS="$inputs" QUORVIX_BENCH_OUTPUT="$output_root" "$build/bench/quorvix-bench" \
        --benchmark_filter="($(printf -- '-%sMB|' "${sizes[@]}" | sed 's/|$//'))"
fi

if [ -n "${QUORVIX_BENCH_GUI_EXE:-}" ]; then
    echo
    echo "== desktop program: start to first show of the main window (${repeat} runs) =="
    xvfb_pid=""
    if [ -z "${DISPLAY:-}" ]; then
        export DISPLAY=:87
        Xvfb "$DISPLAY" -screen 0 1280x1024x24 >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
    fi
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}"
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
    for _ in $(seq "$repeat"); do
        start=$(date +%s%N)
        "$QUORVIX_BENCH_GUI_EXE" >/dev/null 2>&1 &
        gui_pid=$!
        # The window counts as shown once the X server reports it mapped and visible.
        for _ in $(seq 5000); do
            xdotool search --onlyvisible --name '^Quorvix:' >/dev/null 2>&1 && break
            sleep 0.002
        done
        end=$(date +%s%N)
        echo "first show after $(((end - start) / 1000000)) ms"
        kill "$gui_pid" 2>/dev/null || true
        wait "$gui_pid" 2>/dev/null || true
    done
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid"
fi
