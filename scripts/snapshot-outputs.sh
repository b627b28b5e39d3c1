#!/usr/bin/env bash
# Runs every command of quorvix-convert over every input it is given and keeps what each wrote: the files,
# standard output, standard error and the exit status, one folder per input and command. Two snapshots made
# before and after a change are compared with `diff -r`: a refactoring that changes nothing for the user
# leaves them identical.
#
#   scripts/snapshot-outputs.sh CONVERT OUTDIR INPUT...     (an INPUT folder stands for every file in it)
#
# Paths in messages are the inputs' paths as given, so run both snapshots from the same folder.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 CONVERT OUTDIR INPUT..." >&2; exit 2; }
convert=$(realpath "$1")
out=$(realpath -m "$2")
shift 2
export SOURCE_DATE_EPOCH=1700000000 TZ=UTC LC_ALL=C
mkdir -p "$out"

# One command over one input: its files go to DIR/files, its streams and status beside them.
run_one() {
    local dir=$1
    shift
    mkdir -p "$dir/files"
    local status=0
    "$convert" "$@" >"$dir/stdout" 2>"$dir/stderr" || status=$?
    echo "$status" >"$dir/status"
    # The folder the output went to is part of the messages; it is the same in every snapshot.
    sed -i "s#$out/##g" "$dir/stderr" "$dir/stdout"
}

snapshot_input() {
    local input=$1 key
    key=$(printf '%s' "$input" | sed 's#[^A-Za-z0-9._-]#_#g')
    local base="$out/$key"
    run_one "$base/list" list "$input"
    run_one "$base/to-cubase" to-cubase "$input" --all -o "$base/to-cubase/files"
    run_one "$base/to-cubase-one" to-cubase "$input" --index 0 -o -
    run_one "$base/to-cakewalk" to-cakewalk "$input" -o "$base/to-cakewalk/files/out.ins"
    run_one "$base/to-midnam" to-midnam "$input" --all -o "$base/to-midnam/files"
    run_one "$base/to-reabank" to-reabank "$input" --all -o "$base/to-reabank/files" \
        --notes "$base/to-reabank/files/notes"
    # Commands of later versions, so that snapshots of versions before and after them compare.
    local command
    for command in to-rosegarden to-hapax; do
        if "$convert" --help 2>/dev/null | grep -q "$command"; then
            run_one "$base/$command" "$command" "$input" --all -o "$base/$command/files"
        fi
    done
}

inputs=()
for input in "$@"; do
    if [ -d "$input" ]; then
        while IFS= read -r -d '' file; do inputs+=("$file"); done < <(find "$input" -type f -print0 | sort -z)
    else
        inputs+=("$input")
    fi
done
export -f run_one snapshot_input
export convert out
printf '%s\0' "${inputs[@]}" | xargs -0 -n1 -P"$(nproc)" bash -c 'snapshot_input "$0"'
echo "snapshot of ${#inputs[@]} inputs in $out"
