#!/usr/bin/env bash
# Builds Quorvix in Release, generates the benchmark inputs into bench/out/ and measures every command of
# quorvix-convert on them: time, peak memory, and each as a ratio to `wc -l` on the same file, measured in the
# same run (each conversion run follows a `wc -l` run, so that both meet the same load of the machine). Then
# runs the Google Benchmark program on the same inputs.
#
#   bench/run.sh [SIZES...]        sizes in MB, default "1 10 100"
#
# Environment: QUORVIX_BENCH_BUILD_DIR (default build-bench), QUORVIX_BENCH_REPEAT (runs per measurement, the
# fastest counts; default 3), QUORVIX_BENCH_OUTPUT (folder the converted files go to; default a fresh folder
# in the system's temporary folder; /dev/shm leaves the disk out), QUORVIX_BENCH_SKIP_GBENCH=1 (only the
# command-line figures), QUORVIX_BENCH_JOBS (build jobs, default 2), QUORVIX_BENCH_CONVERT (measure this
# quorvix-convert instead of the one built, e.g. an older build to compare with), QUORVIX_BENCH_ONLY (a
# regular expression: only the commands whose name matches, e.g. 'to-cakewalk'), QUORVIX_BENCH_GUI_EXE (the
# desktop program, e.g. build/src/gui/quorvix: also measures the time from its start to its window's first
# show, under Xvfb when there is no display; needs xdotool).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUORVIX_BENCH_BUILD_DIR:-$root/build-bench}"
repeat="${QUORVIX_BENCH_REPEAT:-3}"
jobs="${QUORVIX_BENCH_JOBS:-2}"
only="${QUORVIX_BENCH_ONLY:-.}"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 10 100)
inputs="$root/bench/out"

echo "== build (Release) in $build =="
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVIX_BUILD_GUI=OFF -DQUORVIX_BUILD_TESTS=OFF \
    -DQUORVIX_BUILD_BENCH=ON >/dev/null
targets=(quorvix-bench-generate)
[ -n "${QUORVIX_BENCH_CONVERT:-}" ] || targets+=(quorvix-convert)
if [ "${QUORVIX_BENCH_SKIP_GBENCH:-0}" != 1 ] && [ -d "$build/bench/CMakeFiles/quorvix-bench.dir" ]; then
    targets+=(quorvix-bench) # Google Benchmark was found
fi
cmake --build "$build" --target "${targets[@]}" -j"$jobs" >/dev/null
convert="${QUORVIX_BENCH_CONVERT:-$build/src/cli/quorvix-convert}"

echo "== inputs in $inputs =="
"$build/bench/quorvix-bench-generate" "$inputs" "${sizes[@]}"

output_root="${QUORVIX_BENCH_OUTPUT:-${TMPDIR:-/tmp}}"
work=$(mktemp -d "$output_root/quorvix-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=1700000000 TZ=UTC
TIMEFORMAT='%3R %3U %3S'

# One run of a command: prints "WALL CPU PEAK_KB" (seconds to the millisecond, cpu = user + system) or
# "fail". Output and messages are thrown away; the output folder is emptied first.
run_once() {
    rm -rf "$work/out"
    mkdir -p "$work/out"
    local timing status=0
    { timing=$({ time /usr/bin/time -f '%M' -o "$work/peak" "$@" >/dev/null 2>"$work/stderr"; } 2>&1); } ||
        status=$?
    if [ "$status" -ne 0 ]; then
        echo fail
        return
    fi
    read -r wall user system <<<"$timing"
    awk -v w="$wall" -v u="$user" -v s="$system" -v k="$(tail -n 1 "$work/peak")" \
        'BEGIN { printf "%.3f %.3f %d\n", w, u + s, k }'
}

# Runs `wc -l FILE` (`zcat FILE | wc -l` for a gzip-compressed FILE) and the command in turn, `repeat`
# times. Prints the fastest wall and cpu time of each and the command's largest peak RSS: "WC_WALL WC_CPU
# WALL CPU PEAK_KB", or "fail".
measure() {
    local file=$1
    shift
    local best_wc_wall="" best_wc_cpu="" best_wall="" best_cpu="" peak=0 wall cpu kb baseline=(wc -l "$file")
    [[ "$file" == *.rgd ]] && baseline=(sh -c 'zcat "$1" | wc -l' sh "$file")
    for _ in $(seq "$repeat"); do
        read -r wall cpu kb < <(run_once "${baseline[@]}")
        best_wc_wall=$(awk -v a="$wall" -v b="$best_wc_wall" 'BEGIN { print (b == "" || a < b) ? a : b }')
        best_wc_cpu=$(awk -v a="$cpu" -v b="$best_wc_cpu" 'BEGIN { print (b == "" || a < b) ? a : b }')
        read -r wall cpu kb < <(run_once "$@")
        if [ "$wall" = fail ]; then
            echo "FAILED: $*" >&2
            tail -n 5 "$work/stderr" >&2
            echo fail
            return
        fi
        best_wall=$(awk -v a="$wall" -v b="$best_wall" 'BEGIN { print (b == "" || a < b) ? a : b }')
        best_cpu=$(awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { print (b == "" || a < b) ? a : b }')
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    echo "$best_wc_wall $best_wc_cpu $best_wall $best_cpu $peak"
}

has_command() {
    "$convert" --help 2>/dev/null | grep -q "^ *$1 "
}

echo
echo "== quorvix-convert (fastest of $repeat runs; output to $output_root; x wc: the same figure of wc -l) =="
printf '%-24s %-22s %6s %7s %7s %7s %7s %8s %8s %8s\n' command input MB wall_s MB/s cpu_s wc_cpu_s x_wc x_wc_cpu \
    peak/in
declare -A wall_of cpu_of peak_of
names=(list to-cubase-one to-cubase-all to-cakewalk to-cakewalk-random to-reabank-all to-midnam-all rgd-list
    rgd-to-rosegarden idf-list idf-to-muse to-hapax-all merge-to-cakewalk)
for name in "${names[@]}"; do
    [[ "$name" =~ $only ]] || continue
    case $name in
    to-midnam-all) has_command to-midnam || continue ;;
    to-reabank-all) has_command to-reabank || continue ;;
    rgd-*) has_command to-rosegarden || continue ;;
    idf-* | merge-*) has_command to-muse || continue ;;
    to-hapax-all) has_command to-hapax || continue ;;
    esac
    for size in "${sizes[@]}"; do
        master="$inputs/master-${size}MB.ins"
        case $name in
        list) file=$master command=("$convert" list "$file") ;;
        to-cubase-one) file=$master command=("$convert" to-cubase "$file" --index 0 -o -) ;;
        to-cubase-all) file=$master command=("$convert" to-cubase "$file" --all -o "$work/out") ;;
        to-cakewalk)
            file="$inputs/script-${size}MB.txt"
            command=("$convert" to-cakewalk "$file" --name "Bench Synth" -o -)
            ;;
        to-cakewalk-random)
            file="$inputs/script-random-${size}MB.txt"
            command=("$convert" to-cakewalk "$file" --name "Bench Synth" -o -)
            ;;
        to-reabank-all) file=$master command=("$convert" to-reabank "$file" --all -o "$work/out") ;;
        to-midnam-all) file=$master command=("$convert" to-midnam "$file" --all -o "$work/out") ;;
        to-hapax-all) file=$master command=("$convert" to-hapax "$file" --all -o "$work/out") ;;
        rgd-list) file="$inputs/device-${size}MB.rgd" command=("$convert" list "$file") ;;
        rgd-to-rosegarden)
            file="$inputs/device-${size}MB.rgd"
            command=("$convert" to-rosegarden "$file" --all -o "$work/out")
            ;;
        idf-list) file="$inputs/instruments-${size}MB.idf" command=("$convert" list "$file") ;;
        merge-to-cakewalk)
            # One .ins of two inputs: the MusE file's definitions after the .ins file's.
            file=$master
            command=("$convert" to-cakewalk "$file" "$inputs/instruments-${size}MB.idf" -o "$work/out/master.ins")
            ;;
        idf-to-muse)
            file="$inputs/instruments-${size}MB.idf"
            command=("$convert" to-muse "$file" --all -o "$work/out")
            ;;
        esac
        bytes=$(stat -c %s "$file")
        # A device file counts with what it unpacks to: that is what is read, and what peak memory compares with.
        [[ "$file" == *.rgd ]] && bytes=$(zcat "$file" | wc -c)
        read -r wc_wall wc_cpu wall cpu peak_kb < <(measure "$file" "${command[@]}")
        [ "$wc_wall" = fail ] && continue
        awk -v name="$name" -v input="$(basename "$file")" -v b="$bytes" -v w="$wall" -v c="$cpu" -v k="$peak_kb" \
            -v ww="$wc_wall" -v wc="$wc_cpu" 'BEGIN {
                mb = b / 1e6;
                printf "%-24s %-22s %6.1f %7.3f %7.1f %7.3f %7.3f %8s %8s %8.2f\n", name, input, mb, w,
                    (w > 0 ? mb / w : 0), c, wc, (ww > 0 ? sprintf("%.1f", w / ww) : "-"),
                    (wc > 0 ? sprintf("%.1f", c / wc) : "-"), k / 1024 / mb }'
        wall_of["$name/$size"]=$wall
        cpu_of["$name/$size"]=$cpu
        peak_of["$name/$size"]=$peak_kb
    done
done

printed=""
for name in "${names[@]}"; do
    if [ -n "${wall_of[$name/10]:-}" ] && [ -n "${wall_of[$name/100]:-}" ]; then
        if [ -z "$printed" ]; then
            echo
            echo "== growth from 10 MB to 100 MB (linear: at most 11x) =="
            printed=1
        fi
        awk -v name="$name" -v w10="${wall_of[$name/10]}" -v w100="${wall_of[$name/100]}" \
            -v c10="${cpu_of[$name/10]}" -v c100="${cpu_of[$name/100]}" \
            -v m10="${peak_of[$name/10]}" -v m100="${peak_of[$name/100]}" 'BEGIN {
                printf "%-24s wall time x%.1f   cpu time x%.1f   peak memory x%.1f\n", name, w100 / w10,
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
