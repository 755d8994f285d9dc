#!/usr/bin/env bash
# Sets the machine up, checks the source tree's format and build lists,
# then builds and runs every test: the normal build, the sanitizer build,
# short runs of the fuzz targets, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen

echo "== source tree: format and build lists"
bash scripts/check-tree.sh

echo "== normal build"
bash scripts/build.sh release
ctest --test-dir build/release --output-on-failure -j2 --timeout 300

echo "== sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
bash scripts/build.sh sanitize -DZUVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DZUVO_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitize --output-on-failure -j2 --timeout 600

echo "== fuzz targets, short runs"
bash scripts/fuzz.sh short

echo "== Windows build (MinGW-w64), tests under Wine"
bash scripts/test-windows.sh
