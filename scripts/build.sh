#!/usr/bin/env bash
# Configures and builds one variant into build/<name>.
# Usage: build.sh <name> [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
shift
cmake -S . -B "build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUVO_WERROR=ON "$@" >/dev/null
cmake --build "build/$name"
