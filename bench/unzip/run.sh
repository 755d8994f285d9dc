#!/usr/bin/env bash
# Extraction benchmark: the same archives extracted by zuvo-unzip, Info-ZIP
# unzip and bsdtar in one run, with wall time, throughput, the ratio to
# bsdtar and peak memory (maximum resident set size).
# Usage: run.sh <build directory> [scratch directory] [MiB of the large entries]
# Use an optimised build (-DCMAKE_BUILD_TYPE=Release); RUNS sets the repeats.
# The archives are generated once into the scratch directory (about 1 GB);
# every extraction goes to a fresh directory there and is removed after.
set -euo pipefail
build=${1:?build directory}
scratch=${2:-/tmp/zuvo-unzip-bench}
mib=${3:-512}
here=$(cd "$(dirname "$0")" && pwd)
zuvo="$build/tools/unzip/zuvo-unzip"
corpus="$here/../../tests/data/zip/legacy"
runs=${RUNS:-3}

[ -x "$zuvo" ] || { echo "build zuvo-unzip first: $zuvo" >&2; exit 1; }
python3 "$here/make_archives.py" "$scratch" "$mib"

# The legacy set: every legacy corpus archive, copied ten times under
# different names so that the run is long enough to time.
legacy="$scratch/legacy"
if [ ! -d "$legacy" ]; then
    mkdir -p "$legacy"
    for copy in 0 1 2 3 4 5 6 7 8 9; do
        for f in "$corpus"/*.zip; do cp "$f" "$legacy/$copy-$(basename "$f")"; done
    done
fi

# One timed extraction: prints "seconds peak_kib status".
measure() {
    local out="$scratch/out"
    rm -rf "$out" && mkdir -p "$out"
    local stats="$scratch/time.txt"
    local status=0
    /usr/bin/time -f "%e %M" -o "$stats" "$@" >/dev/null 2>&1 || status=$?
    rm -rf "$out"
    echo "$(cat "$stats" | tail -1) $status"
}

# Extracts every archive even when one fails; the status is the last failure.
extract_with() {  # tool archive...
    local tool=$1; shift
    local out="$scratch/out" status=0
    for a in "$@"; do
        case $tool in
            zuvo-unzip) "$zuvo" -q -o -d "$out" "$a" || status=$? ;;
            unzip)      unzip -qq -o "$a" -d "$out" || status=$? ;;
            bsdtar)     bsdtar -xf "$a" -C "$out" || status=$? ;;
        esac
    done
    return $status
}
export -f extract_with
export zuvo scratch

# Best of $runs for each tool on one workload; the amount is MiB or files.
bench() {  # label amount unit archives...
    local label=$1 amount=$2 unit=$3; shift 3
    printf '\n%s\n' "$label"
    printf '  %-11s %9s %12s %9s %10s %s\n' tool seconds "$unit/s" vs-bsdtar peak-MiB status
    declare -A best mem stat
    for tool in zuvo-unzip unzip bsdtar; do
        best[$tool]=999999
        for _ in $(seq "$runs"); do
            read -r secs kib status < <(measure bash -c 'extract_with "$@"' _ "$tool" "$@")
            if awk -v a="$secs" -v b="${best[$tool]}" 'BEGIN{exit !(a<b)}'; then
                best[$tool]=$secs; mem[$tool]=$kib; stat[$tool]=$status
            fi
        done
    done
    for tool in zuvo-unzip unzip bsdtar; do
        awk -v t="$tool" -v s="${best[$tool]}" -v n="$amount" -v b="${best[bsdtar]}" \
            -v m="${mem[$tool]}" -v st="${stat[$tool]}" 'BEGIN {
                s = (s < 0.01 ? 0.01 : s);
                printf "  %-11s %9.2f %12.1f %9.2f %10.1f %s\n", t, s, n / s, b / s, m / 1024, st }'
    done
}

files_in() { python3 -c "import zipfile,sys; print(sum(len(zipfile.ZipFile(a).namelist()) for a in sys.argv[1:]))" "$@"; }

echo "zuvo-unzip extraction benchmark ($(nproc) cores, best of $runs, warm page cache)"
echo "vs-bsdtar > 1 means faster than bsdtar; status is the exit status (unzip and"
echo "bsdtar cannot decode every legacy method, so they may end non-zero there)."
bench "one deflated entry of $mib MiB" "$mib" MiB "$scratch/large_deflated.zip"
bench "one stored entry of $mib MiB" "$mib" MiB "$scratch/large_stored.zip"
bench "20,000 small files" 20000 files "$scratch/small_files.zip"
bench "legacy set ($(ls "$legacy" | wc -l) archives)" "$(files_in "$legacy"/*.zip)" files "$legacy"/*.zip
