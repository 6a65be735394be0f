#!/usr/bin/env bash
# Installs the Debian packages named in the arguments that are not installed yet.
# Sourced by the play and test scripts; quick when everything is in place.
set -euo pipefail

ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(build-essential cmake pkg-config libsdl2-dev libglew-dev libfreetype-dev libglm-dev
    nlohmann-json3-dev libstb-dev libgl1-mesa-dri libpugixml-dev zlib1g-dev libzstd-dev
    libfontconfig-dev)
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev xvfb xauth xdotool imagemagick clang
    libclang-rt-14-dev dpkg-dev lintian desktop-file-utils appstream doxygen graphviz tiled
    libpugixml-dev libzstd-dev zstd openbox sound-theme-freedesktop vorbis-tools
    fontconfig fonts-dejavu-core)
