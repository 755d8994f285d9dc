#!/usr/bin/env bash
# Checks the source tree before anything is built:
#  - every C++ file is in the shape .clang-format describes;
#  - every C++ file under src/, tests/, tools/, bench/ and fuzz/ is named in
#    a CMakeLists.txt of its folder or a folder above it, so a file that is
#    never compiled (a lost test, a forgotten source) fails here instead of
#    silently dropping out of the build.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/')

unformatted=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        unformatted+=("$f")
    fi
done
if ((${#unformatted[@]})); then
    echo "check-tree: not in .clang-format shape (run clang-format -i on them):"
    printf '  %s\n' "${unformatted[@]}"
    status=1
fi

unlisted=()
for f in "${files[@]}"; do
    [[ $f == *.cpp ]] || continue
    name=$(basename "$f")
    dir=$(dirname "$f")
    found=0
    # The file is named in its own folder's list or in a list further up
    # that names it by a path relative to that list.
    rel=$name
    while :; do
        if [[ -f $dir/CMakeLists.txt ]] && grep -Eq "(^|[[:space:]/(])${rel//./\\.}([[:space:])]|$)" "$dir/CMakeLists.txt"; then
            found=1
            break
        fi
        [[ $dir == . || $dir == src || $dir == tests || $dir == tools || $dir == bench || $dir == fuzz ]] && break
        rel=$(basename "$dir")/$rel
        dir=$(dirname "$dir")
    done
    ((found)) || unlisted+=("$f")
done
if ((${#unlisted[@]})); then
    echo "check-tree: C++ sources named in no CMakeLists.txt:"
    printf '  %s\n' "${unlisted[@]}"
    status=1
fi

if ((status == 0)); then
    echo "check-tree: ${#files[@]} C++ files formatted and listed in the build"
fi
exit $status
