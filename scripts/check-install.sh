#!/usr/bin/env bash
# Checks what Quorvix installs on a Linux desktop, from a build folder that has been built:
#   - `cmake --install BUILD --prefix TMP` gives exactly the expected files;
#   - the menu entry, the AppStream data, the MIME type and the man page pass their validators;
#   - the installed quorvix-convert runs, and its --help agrees with the man page;
#   - `cpack -G DEB` makes a package with the same files under /usr and the libraries it needs as dependencies.
# Missing tools are installed with apt-get (through sudo when not root).
#
# Usage: scripts/check-install.sh BUILD_DIR
# Exit status 0 when every check passed, 1 when one failed, 2 on a usage error.

set -uo pipefail

if [[ $# -ne 1 || ! -f "$1/CMakeCache.txt" ]]; then
    echo "usage: $0 BUILD_DIR (a configured and built Quorvix build folder)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
app_id=org.quorvix.Quorvix

passed=0
failed=0
failures=()
pass() {
    passed=$((passed + 1))
    echo "ok: $1"
}
fail() {
    failed=$((failed + 1))
    failures+=("$1")
    echo "FAIL: $1"
    if [[ $# -gt 1 && -n "$2" ]]; then
        sed '/^$/d; s/^/    /' <<<"$2"
    fi
}
finish() {
    if ((failed > 0)); then
        echo "check-install: $passed passed, $failed failed:"
        printf '  - %s\n' "${failures[@]}"
        exit 1
    fi
    echo "check-install: $passed passed, 0 failed"
    exit 0
}

oneline() { tr '\n' ' ' <<<"$1" | sed 's/ *$//'; }
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt" | head -n 1; }

# --- Tools -----------------------------------------------------------------------------------------------
declare -A tool_package=(
    [desktop-file-validate]=desktop-file-utils
    [appstreamcli]=appstream
    [man]=man-db
    [groff]=groff-base
    [update-mime-database]=shared-mime-info
    [gio]=libglib2.0-bin
    [dpkg-deb]=dpkg
    [dpkg-shlibdeps]=dpkg-dev
    [file]=file
    [readelf]=binutils
)
missing=()
for tool in "${!tool_package[@]}"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("${tool_package[$tool]}")
done
if ((${#missing[@]} > 0)); then
    sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    echo "check-install: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null; then
        "${sudo[@]}" apt-get update -qq &&
            "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
    fi
fi
for tool in "${!tool_package[@]}"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        fail "tool $tool (package ${tool_package[$tool]}) is not available"
    fi
done
((failed > 0)) && finish

# --- What the build should install ----------------------------------------------------------------------
source_dir=$(cache_value CMAKE_HOME_DIRECTORY)
version=$(cache_value CMAKE_PROJECT_VERSION)
# The desktop program is part of the install exactly when the build folder was configured with it.
with_gui=no
if [[ -f $build/src/gui/cmake_install.cmake ]]; then
    with_gui=yes
elif [[ $(cache_value QUORVIX_BUILD_GUI) =~ ^(ON|on|1|TRUE|true|YES|yes)$ && -f $source_dir/src/gui/CMakeLists.txt ]]; then
    echo "check-install: note: the desktop program is enabled but this build folder was configured before" \
        "src/gui existed; configure it again to check its install" >&2
fi

expected=(
    bin/quorvix-convert
    share/man/man1/quorvix-convert.1
    "share/mime/packages/$app_id.xml"
)
if [[ $with_gui == yes ]]; then
    expected+=(
        bin/quorvix
        "share/applications/$app_id.desktop"
        "share/metainfo/$app_id.metainfo.xml"
        "share/icons/hicolor/scalable/apps/$app_id.svg"
    )
    for size in 16 32 48 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
    done
fi
echo "check-install: build $build, version $version, desktop program: $with_gui"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

if out=$(cmake --install "$build" --prefix "$prefix" 2>&1); then
    pass "cmake --install into a temporary prefix"
else
    fail "cmake --install into a temporary prefix" "$out"
    finish
fi

found=$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [[ $found == "$wanted" ]]; then
    pass "installed files are exactly the expected ${#expected[@]}"
else
    fail "installed files differ from the expected list (- missing, + unexpected)" \
        "$(diff <(echo "$wanted") <(echo "$found") | grep '^[<>]' | sed 's/^</-/; s/^>/+/')"
fi

# --- Programs --------------------------------------------------------------------------------------------
convert="$prefix/bin/quorvix-convert"
if [[ -x $convert ]] && help=$("$convert" --help 2>&1); then
    pass "quorvix-convert --help runs"
else
    fail "quorvix-convert --help runs" "${help:-}"
    help=""
fi
if out=$("$convert" --version 2>&1) && [[ $out == "quorvix-convert $version" ]]; then
    pass "quorvix-convert --version prints the project's version"
else
    fail "quorvix-convert --version prints \"quorvix-convert $version\"" "${out:-}"
fi
if [[ $with_gui == yes ]]; then
    if [[ -x $prefix/bin/quorvix ]]; then
        pass "quorvix is installed and executable"
    else
        fail "quorvix is installed and executable"
    fi
fi

# --- Man page --------------------------------------------------------------------------------------------
page="$prefix/share/man/man1/quorvix-convert.1"
if [[ -f $page ]]; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [[ $? -eq 0 && -z $warnings ]]; then
        pass "man --warnings renders the man page without warnings"
    else
        fail "man --warnings renders the man page without warnings" "$warnings"
    fi
    # The page's own text, with roff's escaped hyphens made plain, so that no hyphenation gets in the way.
    page_text=$(sed 's/\\-/-/g' "$page")
    # Every command and option that --help shows must be in the man page, and every option the man page
    # documents must exist.
    commands=$(awk 'toupper($0) ~ /^SUBCOMMANDS:/ {on = 1; next} on && /^ +[a-z]/ {print $1} on && /^[^ ]/ {on = 0}' <<<"$help")
    helps="$help"
    for command in $commands; do
        helps+=$'\n'$("$convert" "$command" --help 2>&1)
    done
    help_options=$(grep -oE '(^|[ ,[])--?[a-z][a-z-]*' <<<"$helps" | grep -oE -- '--?[a-z][a-z-]*' | LC_ALL=C sort -u)
    man_options=$(grep -oE '(^|[ ,[("])--?[a-z][a-z-]*' <<<"$page_text" | grep -oE -- '--?[a-z][a-z-]*' | LC_ALL=C sort -u)
    undocumented=$(LC_ALL=C comm -23 <(echo "$help_options") <(echo "$man_options"))
    unknown=$(LC_ALL=C comm -13 <(echo "$help_options") <(echo "$man_options"))
    if [[ -z $commands ]]; then
        fail "quorvix-convert --help lists its commands" "$help"
    elif [[ -z $undocumented && -z $unknown ]]; then
        pass "the man page and --help agree on the options ($(oneline "$help_options"))"
    else
        fail "the man page and --help agree on the options" \
            "${undocumented:+only in --help: $(oneline "$undocumented")}"$'\n'"${unknown:+only in the man page: $(oneline "$unknown")}"
    fi
    missing_commands=""
    for command in $commands; do
        grep -qE "^\\.B[IR]? $command( |\$)" <<<"$page_text" || missing_commands+=" $command"
    done
    if [[ -n $commands && -z $missing_commands ]]; then
        pass "the man page describes every command ($(oneline "$commands"))"
    else
        fail "the man page describes every command" "missing:${missing_commands}"
    fi
fi

# --- MIME type -------------------------------------------------------------------------------------------
mime_xml="$prefix/share/mime/packages/$app_id.xml"
mime_type=application/x-cakewalk-instrument-definition
midnam_type=application/x-midnam
reabank_type=application/x-reaper-bank
mime_types=("$mime_type" "$midnam_type" "$reabank_type")
if [[ -f $mime_xml ]]; then
    # Detection is tried in a database made of the system's packages and ours, as a system install has it.
    mime_root="$work/mime-data"
    mkdir -p "$mime_root/mime/packages" "$work/mime-home"
    cp /usr/share/mime/packages/*.xml "$mime_root/mime/packages/" 2>/dev/null
    cp "$mime_xml" "$mime_root/mime/packages/"
    out=$(XDG_DATA_DIRS="$mime_root" update-mime-database "$mime_root/mime" 2>&1)
    registered=$?
    for type in "${mime_types[@]}"; do
        [[ -f $mime_root/mime/$type.xml ]] || { registered=1; out+=$'\n'"$type is not in the database"; }
    done
    if [[ $registered -eq 0 && -z $out ]]; then
        pass "update-mime-database accepts the MIME types (${mime_types[*]})"
    else
        fail "update-mime-database accepts the MIME types (${mime_types[*]})" "$out"
    fi
    samples="$work/mime-samples"
    mkdir -p "$samples"
    printf '; Synth.ins\r\n\r\n[.Patch Names]\r\n\r\n[Synth Bank A]\r\n0=Piano\r\n' >"$samples/late-header.ins"
    for ((i = 0; i < 40; i++)); do printf '; comment line %02d of a long file header\r\n' "$i"; done >"$samples/commented.ins"
    printf '[.Instrument Definitions]\r\n\r\n[Synth]\r\nPatch[0]=Synth Bank A\r\n' >>"$samples/commented.ins"
    printf 'RAD INST V10\x00\x01\x02\x03\x04\x05\x06\x07\x08' >"$samples/binary.ins"
    printf '%% docstrip installation script\n\\input docstrip\n' >"$samples/docstrip.ins"
    printf 'name=value\n[section]\n' >"$samples/other-text.ins"
    midnam='<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE MIDINameDocument PUBLIC "-//MIDI Manufacturers Association//DTD MIDINameDocument 1.0//EN" "http://www.midi.org/dtds/MIDINameDocument10.dtd">\n<MIDINameDocument>\n  <Author/>\n</MIDINameDocument>\n'
    printf "$midnam" >"$samples/synth.midnam"
    printf "$midnam" >"$samples/midnam-without-extension"
    printf '<?xml version="1.0"?>\n<catalog><book/></catalog>\n' >"$samples/other-xml.xml"
    printf '// Instrument: Synth\nBank 0 0 Presets\n0 Grand Piano\n' >"$samples/synth.reabank"
    # "other" expects any type but the one the sample's name stands for.
    mime_check=""
    for sample in late-header.ins:$mime_type commented.ins:$mime_type binary.ins:other docstrip.ins:other \
        other-text.ins:other synth.midnam:$midnam_type midnam-without-extension:$midnam_type \
        other-xml.xml:other-than-$midnam_type synth.reabank:$reabank_type; do
        name=${sample%%:*}
        want=${sample#*:}
        unwanted=$mime_type
        [[ $want == other-than-* ]] && unwanted=${want#other-than-} && want=other
        got=$(XDG_DATA_HOME="$work/mime-home" XDG_DATA_DIRS="$mime_root" \
            gio info -a standard::content-type "$samples/$name" 2>&1 | sed -n 's/^ *standard::content-type: //p')
        if [[ $want == other && $got == "$unwanted" ]] || [[ $want != other && $got != "$want" ]]; then
            mime_check+="$name: got \"$got\", expected ${want/other/another type than $unwanted}"$'\n'
        fi
    done
    if [[ -z $mime_check ]]; then
        pass "instrument definitions, MIDNAM documents and REAPER bank files get their types, other .ins files keep theirs"
    else
        fail "instrument definitions, MIDNAM documents and REAPER bank files get their types, other .ins files keep theirs" \
            "$mime_check"
    fi
fi

# --- Menu entry, AppStream data, icons ---------------------------------------------------------------------
desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
if [[ $with_gui == yes && -f $desktop ]]; then
    if out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $out ]]; then
        pass "desktop-file-validate accepts $app_id.desktop"
    else
        fail "desktop-file-validate accepts $app_id.desktop" "$out"
    fi
    entry_check=""
    grep -qx "Icon=$app_id" "$desktop" || entry_check+="Icon= is not $app_id"$'\n'
    grep -qx "Exec=quorvix %f" "$desktop" || entry_check+="Exec= is not \"quorvix %f\" (the program opens one file)"$'\n'
    claimed=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | LC_ALL=C sort)
    if [[ $claimed != "$(printf '%s\n' "${mime_types[@]}" | LC_ALL=C sort)" ]]; then
        entry_check+="MimeType= lists \"$(oneline "$claimed")\", not the types of the MIME package (${mime_types[*]})"$'\n'
    fi
    if [[ -z $entry_check ]]; then
        pass "the menu entry opens the file it is given in quorvix, claims the package's types, with the icon $app_id"
    else
        fail "the menu entry opens the file it is given in quorvix, claims the package's types, with the icon $app_id" \
            "$entry_check"
    fi
fi
if [[ $with_gui == yes && -f $metainfo ]]; then
    if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
        pass "appstreamcli validate --no-net accepts $app_id.metainfo.xml"
    else
        fail "appstreamcli validate --no-net accepts $app_id.metainfo.xml" "$out"
    fi
    meta_check=""
    grep -q "<id>$app_id</id>" "$metainfo" || meta_check+="<id> is not $app_id"$'\n'
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        meta_check+="<launchable> is not $app_id.desktop"$'\n'
    release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
    [[ $version == "$release" || $version == "$release".0 ]] ||
        meta_check+="the newest release $release is not the project's version $version"$'\n'
    if [[ -z $meta_check ]]; then
        pass "the AppStream data names $app_id.desktop and release $release"
    else
        fail "the AppStream data names $app_id.desktop and the project's release" "$meta_check"
    fi
fi
if [[ $with_gui == yes ]]; then
    icon_check=""
    for size in 16 32 48 128 256; do
        png="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
        [[ -f $png ]] || continue
        file -b "$png" | grep -q "PNG image data, $size x $size," || icon_check+="$png: $(file -b "$png")"$'\n'
    done
    svg="$prefix/share/icons/hicolor/scalable/apps/$app_id.svg"
    [[ ! -f $svg ]] || file -b "$svg" | grep -q 'SVG' || icon_check+="$svg: $(file -b "$svg")"$'\n'
    if [[ -z $icon_check ]]; then
        pass "each icon has the size its folder names"
    else
        fail "each icon has the size its folder names" "$icon_check"
    fi
fi

# --- Debian package --------------------------------------------------------------------------------------
if [[ -f $build/CPackConfig.cmake ]]; then
    if out=$(cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" 2>&1); then
        pass "cpack -G DEB makes a package"
    else
        log=$(find "$work/deb" -name PreinstallOutput.log | head -n 1)
        fail "cpack -G DEB makes a package" "$out${log:+$'\n'$(grep -E -m 20 'error|Error' "$log")}"
    fi
    deb=$(find "$work/deb" -maxdepth 1 -name 'quorvix_*.deb' | head -n 1)
    if [[ -n $deb ]]; then
        deb_files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)
        if [[ $deb_files == "$wanted" ]]; then
            pass "the package holds exactly the expected files under /usr"
        else
            fail "the package holds exactly the expected files under /usr" \
                "$(diff <(echo "$wanted") <(echo "$deb_files") | grep '^[<>]' | sed 's/^</-/; s/^>/+/')"
        fi
        control=$(dpkg-deb -f "$deb" Package Version Section Maintainer Depends)
        depends=$(dpkg-deb -f "$deb" Depends)
        deb_check=""
        [[ $(dpkg-deb -f "$deb" Package) == quorvix ]] || deb_check+="Package is not quorvix"$'\n'
        [[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || deb_check+="Version is not $version"$'\n'
        [[ $(dpkg-deb -f "$deb" Section) == sound ]] || deb_check+="Section is not sound"$'\n'
        [[ -n $(dpkg-deb -f "$deb" Maintainer) ]] || deb_check+="no Maintainer"$'\n'
        [[ $depends == *libc6* && $depends == *libstdc++6* ]] || deb_check+="Depends lacks libc6 or libstdc++6"$'\n'
        if [[ $with_gui == yes && $depends != *libqt6widgets6* ]]; then
            deb_check+="Depends lacks libqt6widgets6"$'\n'
        fi
        if [[ -z $deb_check ]]; then
            pass "the package's control fields and dependencies ($depends)"
        else
            fail "the package's control fields and dependencies" "$deb_check$control"
        fi
    fi
else
    fail "the build folder has no CPackConfig.cmake"
fi

finish
