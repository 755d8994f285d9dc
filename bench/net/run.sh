#!/usr/bin/env bash
# Runs the TCP client download benchmark at two payload sizes, so the peak
# memory of both can be compared: it should not grow with the payload.
# Usage: run.sh <build directory> [scratch directory]
set -euo pipefail
build=${1:?build directory}
scratch=${2:-$build}
bench="$build/bench/net/net_bench"
for size in 32 256; do
    "$bench" "$size" "$scratch" 5
    echo
done
