#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with MinGW-w64 into
# build/windows. GoogleTest is built from the sources Debian ships
# (/usr/src/googletest) with the same compiler into build/windows-deps
# first, once. Extra arguments go to CMake when configuring; without a
# package key among them the demo key is built in.
set -euo pipefail
cd "$(dirname "$0")/.."

toolchain=$PWD/cmake/toolchain-mingw-w64.cmake
deps=$PWD/build/windows-deps
mingw_root=/usr/x86_64-w64-mingw32

if [[ ! -f $deps/lib/cmake/GTest/GTestConfig.cmake ]]; then
    echo "build-windows: GoogleTest for Windows"
    cmake -S /usr/src/googletest -B build/windows-gtest -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
    cmake --build build/windows-gtest
    cmake --install build/windows-gtest >/dev/null
fi

# ccache, where installed, makes the repeated cross builds of the test
# command cheap.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# The same package key rule as scripts/build.sh: the demo key unless one
# is given.
keys=()
if [[ " $* " != *ZUVO_PACKAGE_PUBLIC_KEYS=* && " $* " != *ZUVO_ALLOW_UNSIGNED_PACKAGES=ON* ]]; then
    keys=("-DZUVO_PACKAGE_PUBLIC_KEYS=$(bash scripts/demo-key.sh)")
fi

# A release build at -O2 without debug information: the debug information
# made every compile a third slower, and GCC 12's -O3 (CMake's Release
# default) raises false warnings inside libstdc++, errors under -Werror.
# zlib is linked statically (libz.a named explicitly: given the choice,
# CMake would take the import library of zlib1.dll).
cmake -S . -B build/windows -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DZUVO_WERROR=ON \
    -DGTest_DIR="$deps/lib/cmake/GTest" \
    -DZLIB_INCLUDE_DIR="$mingw_root/include" -DZLIB_LIBRARY="$mingw_root/lib/libz.a" \
    "${launcher[@]}" "${keys[@]}" "$@" >/dev/null
cmake --build build/windows

# What is shipped: the programs stripped of their symbol tables.
mkdir -p build/windows/ship
for program in src/app/zuvo-updater.exe tools/unzip/zuvo-unzip.exe; do
    x86_64-w64-mingw32-strip -o "build/windows/ship/$(basename "$program")" "build/windows/$program"
done
