#!/usr/bin/env bash
# Update server benchmark: builds what it needs and prints zuvo-update-server
# beside a reference of the same shape (the same clients against a minimal
# sendfile server), with the ratio, CPU per GB, the load, resent segments and
# peak memory. The machine is shared: read the load column before the figures.
# Usage: run.sh [build directory] [clients] [package MiB] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
clients=${2:-200}
mib=${3:-16}
rounds=${4:-5}
if [[ ! -f $build/build.ninja ]]; then
    keys=$(bash "$root/scripts/demo-key.sh")
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUVO_WERROR=ON \
        "-DZUVO_PACKAGE_PUBLIC_KEYS=$keys" >/dev/null
fi
cmake --build "$build" --target server_bench >/dev/null
"$build/bench/server/server_bench" "$clients" "$mib" "$rounds"
