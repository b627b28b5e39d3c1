#!/usr/bin/env bash
# Cross-builds quorvix-convert.exe and the tests for 64-bit Windows with MinGW-w64, runs the tests under Wine
# and converts the shared corpus (../shared/corpus, when present) with the .exe and with the Linux build,
# comparing the bytes. Installs what it needs with apt-get (Debian or Ubuntu). Ends with "N passed, N failed"
# and a non-zero status on any failure.
#
# Environment: QUORVIX_WINDOWS_BUILD_DIR (default build-windows), QUORVIX_LINUX_CONVERT (a Linux
# quorvix-convert to compare with; default: built here), QUORVIX_CORPUS_DIR (default ../shared/corpus),
# QUORVIX_WINDOWS_MIDNAM_SAMPLE (every Nth MIDNAM document of the corpus is converted; default 8).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUORVIX_WINDOWS_BUILD_DIR:-$root/build-windows}"
deps="$build/deps"
corpus="${QUORVIX_CORPUS_DIR:-$root/../shared/corpus}"
jobs=$(nproc)
started=$(date +%s)
passed=0
failed=0

note() { echo "test-windows: $*"; }
pass() { passed=$((passed + 1)); }
failure() {
    failed=$((failed + 1))
    echo "test-windows: FAILED: $*"
}

# --- packages -----------------------------------------------------------------------------------------------
packages=(cmake make dpkg-dev bsdutils g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 googletest
    libcli11-dev g++ libpugixml-dev libxml2-dev libz-mingw-w64-dev nlohmann-json3-dev)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    note "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

wine=$(command -v wine64 || command -v wine || true)
[ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
if [ -z "$wine" ]; then
    echo "test-windows: no Wine found (wine64 or wine)" >&2
    exit 1
fi

# --- pugixml, libxml2, libcsv, GoogleTest and CLI11 for MinGW-w64, in $deps -------------------------------------
toolchain="$root/cmake/toolchain-mingw-w64.cmake"
prefix="$deps/prefix"

# Debian's pugixml, libxml2 and libcsv packages hold no Windows build: they are built from Debian's source packages.
# apt-get source needs deb-src entries; they are made from the system's own Debian or Ubuntu entries into a
# private apt state, so the machine's apt configuration stays as it is.
fetch_source() { # package
    local package=$1 apt="$deps/apt"
    rm -rf "$deps/$package-src"
    mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$deps/$package-src"
    local options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/parts"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Sandbox::User=root)
    if [ ! -f "$apt/.updated" ]; then
        rm -f "$apt/parts/"*
        local source
        for source in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list.d/ubuntu.sources; do
            [ -f "$source" ] || continue
            awk 'BEGIN { RS = ""; ORS = "\n\n" }
                 /(^|\n)Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$source" \
                >"$apt/parts/$(basename "$source")"
        done
        if [ -f /etc/apt/sources.list ]; then
            sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$apt/parts/system.list"
        fi
        apt-get "${options[@]}" update -qq
        touch "$apt/.updated"
    fi
    (cd "$deps/$package-src" && apt-get "${options[@]}" source -qq "$package" >/dev/null)
}

# The folder of a package's unpacked sources, fetched when missing.
source_folder() { # package
    local folder
    folder=$(find "$deps/$1-src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" 2>/dev/null | head -n 1 || true)
    if [ -z "$folder" ]; then
        note "fetching the $1 sources (apt-get source $1)" >&2
        fetch_source "$1" >&2
        folder=$(find "$deps/$1-src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1)
    fi
    echo "$folder"
}

build_deps() {
    if [ -f "$prefix/.complete-with-libxml2-json" ] && [ -f "$prefix/lib/libcsv.a" ]; then
        return
    fi
    rm -rf "$prefix"
    mkdir -p "$prefix/include" "$prefix/share/cmake"
    local common=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")

    local pugixml libxml2 libcsv
    pugixml=$(source_folder pugixml)
    libxml2=$(source_folder libxml2)
    libcsv=$(source_folder libcsv)
    note "building pugixml, libxml2, libcsv and GoogleTest for Windows"
    cmake -S "$pugixml" -B "$deps/build-pugixml" "${common[@]}" -DBUILD_SHARED_LIBS=OFF \
        -DPUGIXML_BUILD_TESTS=OFF >/dev/null
    cmake --build "$deps/build-pugixml" -j"$jobs" >/dev/null
    cmake --install "$deps/build-pugixml" >/dev/null

    # libxml2 as the formats use it: the parser alone, no iconv, compression, network or programs.
    cmake -S "$libxml2" -B "$deps/build-libxml2" "${common[@]}" -DBUILD_SHARED_LIBS=OFF \
        -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_PYTHON=OFF \
        -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
        -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_ICU=OFF >/dev/null
    cmake --build "$deps/build-libxml2" -j"$jobs" >/dev/null
    cmake --install "$deps/build-libxml2" >/dev/null

    # libcsv is one C file: a static library of it, as Debian builds it (its autotools add nothing else).
    mkdir -p "$deps/build-libcsv" "$prefix/lib"
    x86_64-w64-mingw32-gcc-posix -O2 -c "$libcsv/libcsv.c" -I"$libcsv" -o "$deps/build-libcsv/libcsv.o"
    rm -f "$prefix/lib/libcsv.a"
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libcsv.a" "$deps/build-libcsv/libcsv.o"
    cp "$libcsv/csv.h" "$prefix/include/"

    cmake -S /usr/src/googletest -B "$deps/build-googletest" "${common[@]}" -DBUILD_GMOCK=ON \
        -DINSTALL_GTEST=ON >/dev/null
    cmake --build "$deps/build-googletest" -j"$jobs" >/dev/null
    cmake --install "$deps/build-googletest" >/dev/null

    # CLI11 and nlohmann/json are headers only; their CMake files find them relative to themselves.
    cp -r /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
    cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
    touch "$prefix/.complete-with-libxml2-json"
}
build_deps

# --- the Windows build --------------------------------------------------------------------------------------
windows="$build/quorvix"
note "cross-building quorvix-convert.exe and the tests"
cmake -S "$root" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQUORVIX_MINGW_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DQUORVIX_BUILD_GUI=OFF -DQUORVIX_BUILD_BENCH=OFF \
    -DQUORVIX_CORPUS_DIR="$corpus" >/dev/null
cmake --build "$windows" -j"$jobs" >"$build/build.log" 2>&1 || {
    tail -n 50 "$build/build.log"
    echo "test-windows: the Windows build failed" >&2
    exit 1
}
exe="$windows/src/cli/quorvix-convert.exe"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
note "quorvix-convert.exe: $(stat -c %s "$exe") bytes; imports: $dlls"
# Only DLLs that come with every Windows: nothing to ship beside the .exe.
if echo "$dlls" | tr ' ' '\n' | grep -viE '^(KERNEL32|msvcrt|SHELL32|USER32|ADVAPI32)\.dll$' | grep -q .; then
    failure "quorvix-convert.exe needs a DLL that Windows does not have: $dlls"
else
    pass
fi

# --- Wine: a throw-away prefix, no window, no Mono or Gecko installer -----------------------------------------
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quorvix-wine.XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    WINEPREFIX="$WINEPREFIX" wineserver_kill
    rm -rf "$WINEPREFIX"
}
wineserver_kill() {
    local server
    server=$(command -v wineserver || true)
    [ -z "$server" ] && [ -x /usr/lib/wine/wineserver64 ] && server=/usr/lib/wine/wineserver64
    [ -z "$server" ] && [ -x /usr/lib/wine/wineserver ] && server=/usr/lib/wine/wineserver
    [ -n "$server" ] && "$server" -k 2>/dev/null || true
}
trap cleanup EXIT
"$wine" wineboot --init >/dev/null 2>&1 || true

# --- the tests under Wine -------------------------------------------------------------------------------------
# In a pseudo-terminal, so that the programs have a console: Ctrl+C is sent through it.
note "running the tests under Wine"
rm -rf "$windows/gtest-results" "$windows/gtest-results-first"
# ctest_under_wine LOG [ctest options]: ctest's list of test programs, printed from its log.
ctest_under_wine() {
    local log=$1 status=0
    shift
    script -qefc "ctest --test-dir '$windows' --timeout 600 -O '$log' $*" /dev/null >/dev/null 2>&1 </dev/null ||
        status=$?
    sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$log" | grep -E '^ *[0-9]+/[0-9]+ Test|tests passed|FAILED|Failed' || true
    return "$status"
}
# Each failing case with its message, from the programs' reports (ctest's log holds no test output).
show_failed_cases() {
    local report
    for report in "$windows"/gtest-results/*.xml; do
        [ -e "$report" ] || continue
        awk -v program="$(basename "$report" .xml)" '
            /<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7) }
            /<failure / { inside = 1; shown = 0; print "test-windows: failed case " program "." name }
            inside && shown < 25 { line = $0; sub(/.*<!\[CDATA\[/, "", line); sub(/\]\]>.*/, "", line)
                                  if (line !~ /^ *<failure /) { print "    " line; shown++ } }
            /<\/failure>/ { inside = 0 }' "$report"
    done | head -n 200 || true # more would bury the rest of the log
}
ctest_status=0
ctest_under_wine "$build/ctest.log" "-j$jobs" || ctest_status=$?
if [ "$ctest_status" -ne 0 ]; then
    show_failed_cases
    # Under Wine every test program and each program it starts run on an emulated system, which has been
    # seen to fail a case once on a busy machine and never again on the same build. A program that failed
    # runs once more, alone; only a failure that repeats counts, and the first one stays shown above.
    note "running the failed test programs again, one at a time"
    # A program's report from the first run is set aside: GoogleTest writes beside it rather than over it, and
    # the counts below would take the first run's failure for one that repeated.
    mkdir -p "$windows/gtest-results-first"
    while IFS=: read -r _ program; do
        if [ -e "$windows/gtest-results/$program.xml" ]; then
            mv "$windows/gtest-results/$program.xml" "$windows/gtest-results-first/"
        fi
    done < <(cat "$windows/Testing/Temporary/LastTestsFailed.log" 2>/dev/null || true)
    ctest_status=0
    ctest_under_wine "$build/ctest-again.log" --rerun-failed -j1 || ctest_status=$?
    if [ "$ctest_status" -eq 0 ]; then
        note "the failed test programs passed when run again; their first failure is shown above"
    fi
fi

# Every GoogleTest case counts, from the programs' reports; a program that ended without one fails.
read -r cases failed_cases skipped < <(cat "$windows"/gtest-results/*.xml 2>/dev/null | awk '
    /<testcase / { cases++; current = cases; if ($0 ~ /result="skipped"/) skipped++ }
    /<failure / { if (current != counted) { failed++; counted = current } }
    END { print cases + 0, failed + 0, skipped + 0 }')
note "GoogleTest cases under Wine: $cases, failed: $failed_cases, skipped: $skipped"
passed=$((passed + cases - failed_cases - skipped))
failed=$((failed + failed_cases))
if [ "$ctest_status" -ne 0 ] && [ "$failed_cases" -eq 0 ]; then
    failure "ctest under Wine: a test program failed without a failing case (see $build/ctest.log)"
fi
if [ "$ctest_status" -ne 0 ]; then
    show_failed_cases
fi

# --- the corpus, converted by the .exe and by the Linux build ---------------------------------------------------
linux="${QUORVIX_LINUX_CONVERT:-}"
if [ -d "$corpus" ]; then
    if [ -z "$linux" ]; then
        note "building the Linux quorvix-convert to compare with"
        cmake -S "$root" -B "$build/linux" -DCMAKE_BUILD_TYPE=Release -DQUORVIX_BUILD_GUI=OFF \
            -DQUORVIX_BUILD_TESTS=OFF -DQUORVIX_BUILD_BENCH=OFF >/dev/null
        cmake --build "$build/linux" -j"$jobs" --target quorvix-convert >"$build/linux-build.log" 2>&1
        linux="$build/linux/src/cli/quorvix-convert"
    fi
    work="$build/roundtrip"
    sample="${QUORVIX_WINDOWS_MIDNAM_SAMPLE:-8}"
    inputs=()
    while IFS= read -r file; do inputs+=("$file"); done < <(
        find "$corpus" -type f \( -iname '*.ins' -o -iname '*.txt' -o -iname '*.reabank' -o -iname '*.rgd' \
            -o -iname '*.idf' -o -iname '*.csv' \) | sort
        find "$corpus" -type f -iname '*.midnam' | sort | awk -v n="$sample" 'NR % n == 1')
    note "converting ${#inputs[@]} corpus files with both builds"
    # One side's run of a command, writing into its own folder; Windows gets a Windows path.
    run_side() { # side name args... (OUT stands for the output folder)
        local side=$1 name=$2
        shift 2
        local out="$work/$side/$name" arg status=0 args=()
        rm -rf "$out"
        mkdir -p "$out"
        for arg in "$@"; do
            arg=${arg//OUT/$out}
            [ "$side" = windows ] && arg=${arg//$work/Z:$work}
            args+=("$arg")
        done
        if [ "$side" = linux ]; then
            (cd "$out" && SOURCE_DATE_EPOCH=1700000000 TZ=UTC "$linux" "${args[@]}" >"$out.stdout" \
                2>"$out.stderr") || status=$?
        else
            (cd "$out" && SOURCE_DATE_EPOCH=1700000000 TZ=UTC "$wine" "$exe" "${args[@]}" \
                >"$out.stdout" 2>"$out.stderr" </dev/null) || status=$?
        fi
        echo "$status" >"$out.status"
    }
    same_on_both() { # name
        cmp -s "$work/linux/$1.status" "$work/windows/$1.status" &&
            cmp -s "$work/linux/$1.stdout" "$work/windows/$1.stdout" &&
            diff -r "$work/linux/$1" "$work/windows/$1" >/dev/null
    }
    # What differs, briefly: the exit statuses, the standard outputs and the files; when the statuses differ,
    # each side's first messages too.
    show_difference() { # name
        local side
        echo "    exit status: Linux $(cat "$work/linux/$1.status"), Windows $(cat "$work/windows/$1.status")"
        { diff "$work/linux/$1.stdout" "$work/windows/$1.stdout" | head -n 10 | sed 's/^/    stdout: /'; } || true
        { diff -r "$work/linux/$1" "$work/windows/$1" | head -n 20 | sed 's/^/    /'; } || true
        cmp -s "$work/linux/$1.status" "$work/windows/$1.status" && return
        for side in linux windows; do
            { head -n 5 "$work/$side/$1.stderr" | sed "s/^/    $side stderr: /"; } || true
        done
    }
    # The same command on both sides. A Windows run that differs runs once more (see the test programs
    # above for why): only a difference that repeats counts, and the first one is shown either way.
    run_both() { # name args...
        local name=$1
        shift
        run_side linux "$name" "$@"
        run_side windows "$name" "$@"
        if same_on_both "$name"; then
            pass
            return
        fi
        note "$name: the Windows build differs from the Linux build; running it again"
        show_difference "$name"
        run_side windows "$name" "$@"
        if same_on_both "$name"; then
            note "$name: the same on both builds when run again"
            pass
        else
            failure "$name: the Windows build differs from the Linux build"
            show_difference "$name"
        fi
    }
    rm -rf "$work"
    mkdir -p "$work/in"
    index=0
    for file in "${inputs[@]}"; do
        index=$((index + 1))
        # A copy under a plain name, so that both builds see the same path text in what they write.
        input="$work/in/$index-$(basename "$file")"
        cp "$file" "$input"
        run_both "$index-list" list "$input"
        run_both "$index-to-cubase" to-cubase "$input" --all -o OUT
        run_both "$index-to-cakewalk" to-cakewalk "$input" -o OUT/out.ins
        run_both "$index-to-reabank" to-reabank "$input" --all -o OUT
        if "$linux" --help 2>/dev/null | grep -q 'to-midnam'; then
            run_both "$index-to-midnam" to-midnam "$input" --all -o OUT
        fi
        if "$linux" --help 2>/dev/null | grep -q 'to-rosegarden'; then
            run_both "$index-to-rosegarden" to-rosegarden "$input" --all -o OUT
        fi
        if "$linux" --help 2>/dev/null | grep -q 'to-muse'; then
            run_both "$index-to-muse" to-muse "$input" --all -o OUT
        fi
        if "$linux" --help 2>/dev/null | grep -q 'to-csv'; then
            run_both "$index-to-csv" to-csv "$input" --all -o OUT
        fi
        if "$linux" --help 2>/dev/null | grep -q 'to-hapax'; then
            run_both "$index-to-hapax" to-hapax "$input" --all -o OUT
        fi
    done
else
    note "no corpus at $corpus: the round trip is skipped"
fi

seconds=$(($(date +%s) - started))
note "took ${seconds} s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
