#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Quorvix needs to build, test and run (apt-get, with sudo when not root).
# Only missing packages are installed; a machine that has them all is left alone.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libgl-dev qt6-qpa-plugins fonts-dejavu-core
    libcli11-dev libgtest-dev libbenchmark-dev libpugixml-dev libcsv-dev zlib1g-dev libxml2-dev libxml2-utils
    nlohmann-json3-dev python3
    xvfb xauth xdotool x11-utils imagemagick
    dpkg-dev file desktop-file-utils appstream man-db groff-base
)
if [ "${QUORVIX_FUZZ_DEPS:-0}" = 1 ]; then
    packages+=(clang libclang-rt-dev)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null 2>&1; then
    echo "deps: apt-get not found; install these packages by hand: ${missing[*]}" >&2
    exit 1
fi
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
