#!/usr/bin/env bash
# Configures and builds one variant into build/<name>.
# Usage: build.sh <name> [extra cmake options...]
# Without a package key among the options the variant is built with the
# demo key (made under build/demo-key/ when missing), so the demo and the
# tests sign with its secret half.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
shift
keys=()
if [[ " $* " != *ZUVO_PACKAGE_PUBLIC_KEYS=* && " $* " != *ZUVO_ALLOW_UNSIGNED_PACKAGES=ON* ]]; then
    keys=("-DZUVO_PACKAGE_PUBLIC_KEYS=$(bash scripts/demo-key.sh)")
fi
cmake -S . -B "build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUVO_WERROR=ON "${keys[@]}" "$@" >/dev/null
cmake --build "build/$name"
