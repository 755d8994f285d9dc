#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and only
# what is missing, so running it again is quick and changes nothing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev
    qt6-base-dev zlib1g-dev
    fonts-wqy-microhei xvfb xauth openbox xdotool x11-utils
    clang libclang-rt-14-dev
    python3 clang-format git
    minisign libgcrypt20-dev
    libisal-dev libarchive-tools
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libgcrypt-mingw-w64-dev wine wine64
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
