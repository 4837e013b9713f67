#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Shared by ./run and ./test: installs the Debian packages the build needs
# (only those missing, and only when running as root) and builds into build/.
set -euo pipefail

VELKORA_PACKAGES=(
    cmake g++ make ninja-build pkg-config lld
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools
    libgl-dev libsndfile1-dev portaudio19-dev libfftw3-dev
    xvfb xauth
    pulseaudio pulseaudio-utils libasound2-plugins
    libhamlib-dev libhamlib-utils locales
)

velkora_install_packages() {
    local missing=()
    for p in "${VELKORA_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Install them as root (apt-get install ${missing[*]}) and run again." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

velkora_build() {
    local dir=${1:-build}
    shift || true
    # A new build folder is made for Ninja, which schedules the Qt code
    # generators and the compilers together; one made before keeps its own.
    local generator=()
    if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}
