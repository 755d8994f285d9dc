#!/usr/bin/env bash
# Extraction benchmark: zuvo-unzip beside bsdtar (libarchive) in one run, on
# tmpfs output, with wall time, throughput, the ratio to bsdtar, peak memory
# (maximum resident set size) and, for the two large entries, the floor: the
# build's inflate engine, CRC-32 and write(2) alone (zuvo-inflate-floor).
# Usage: run.sh <build directory> [scratch directory] [MiB of the large entries]
# RUNS sets the repeats (best of), OUT the output directory (tmpfs), LEGACY=1
# adds the legacy corpus set. The archives are generated once into the
# scratch directory (about 1 GB). Runs of the tools alternate, so that a
# change in the machine's load hits them alike; the load is printed beside
# the figures, since a busy machine makes every figure worse.
set -euo pipefail
build=${1:?build directory}
scratch=${2:-/tmp/zuvo-unzip-bench}
mib=${3:-512}
here=$(cd "$(dirname "$0")" && pwd)
zuvo="$build/tools/unzip/zuvo-unzip"
floor="$build/bench/unzip/zuvo-inflate-floor"
corpus="$here/../../tests/data/zip/legacy"
runs=${RUNS:-3}
out=${OUT:-/dev/shm/zuvo-unzip-bench-out}

for tool in "$zuvo" "$floor"; do
    [ -x "$tool" ] || { echo "build it first: $tool" >&2; exit 1; }
done
if ! command -v bsdtar >/dev/null; then
    echo "installing bsdtar (libarchive-tools)"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        libarchive-tools >/dev/null
fi
python3 "$here/make_archives.py" "$scratch" "$mib"
trap 'rm -rf "$out" "$out.check"' EXIT

# One timed command with a fresh output directory: "seconds peak_kib status".
measure() {
    rm -rf "$out" && mkdir -p "$out"
    local stats="$scratch/time.txt" status=0
    /usr/bin/time -f "%e %M" -o "$stats" "$@" >/dev/null 2>&1 || status=$?
    rm -rf "$out"
    echo "$(tail -1 "$stats") $status"
}

# Extracts every archive even when one fails; the status is the last failure.
extract_with() {  # tool archive...
    local tool=$1; shift
    local status=0
    for a in "$@"; do
        case $tool in
            zuvo-unzip) "$zuvo" -q -o -d "$out" "$a" || status=$? ;;
            bsdtar)     bsdtar -xf "$a" -C "$out" || status=$? ;;
            floor)      "$floor" "$a" "$out/floor.bin" || status=$? ;;
        esac
    done
    return $status
}
export -f extract_with
export zuvo floor out

# Both tools must leave the same files with the same bytes.
same_output() {  # archive...
    rm -rf "$out" "$out.check" && mkdir -p "$out" "$out.check"
    for a in "$@"; do "$zuvo" -q -o -d "$out" "$a" || true; done
    for a in "$@"; do bsdtar -xf "$a" -C "$out.check" 2>/dev/null || true; done
    if diff -rq "$out" "$out.check" >/dev/null; then echo same; else echo DIFFERENT; fi
    rm -rf "$out" "$out.check"
}

# Best of $runs for each tool on one workload; the amount is MiB or files.
bench() {  # label amount unit with-floor archives...
    local label=$1 amount=$2 unit=$3 withFloor=$4; shift 4
    local tools=(zuvo-unzip bsdtar)
    [ "$withFloor" = yes ] && tools+=(floor)
    printf '\n%s (load %s)\n' "$label" "$(cut -d' ' -f1-3 /proc/loadavg)"
    printf '  %-11s %9s %12s %9s %10s %s\n' tool seconds "$unit/s" vs-bsdtar peak-MiB status
    declare -A best mem stat
    for tool in "${tools[@]}"; do best[$tool]=999999; done
    for _ in $(seq "$runs"); do
        for tool in "${tools[@]}"; do
            read -r secs kib status < <(measure bash -c 'extract_with "$@"' _ "$tool" "$@")
            if awk -v a="$secs" -v b="${best[$tool]}" 'BEGIN{exit !(a<b)}'; then
                best[$tool]=$secs; mem[$tool]=$kib; stat[$tool]=$status
            fi
        done
    done
    for tool in "${tools[@]}"; do
        awk -v t="$tool" -v s="${best[$tool]}" -v n="$amount" -v b="${best[bsdtar]}" \
            -v m="${mem[$tool]}" -v st="${stat[$tool]}" 'BEGIN {
                s = (s < 0.01 ? 0.01 : s);
                printf "  %-11s %9.2f %12.1f %9.2f %10.1f %s\n", t, s, n / s, b / s, m / 1024, st }'
    done
    if [ "$withFloor" = yes ]; then
        awk -v z="${best[zuvo-unzip]}" -v f="${best[floor]}" 'BEGIN {
            printf "  zuvo-unzip runs at %.2f of the floor'"'"'s speed\n", f / z }'
    fi
    printf '  output bytes of zuvo-unzip and bsdtar: %s\n' "$(same_output "$@")"
}

files_in() { python3 -c "import zipfile,sys; print(sum(len(zipfile.ZipFile(a).namelist()) for a in sys.argv[1:]))" "$@"; }

echo "zuvo-unzip extraction benchmark ($(nproc) cores, best of $runs, warm page cache,"
echo "output to $out; floor engine: $("$floor" "$scratch/large_deflated.zip" /dev/null))"
echo "vs-bsdtar > 1 means faster than bsdtar; status is the exit status."
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) (figures from a busy machine are low)"
bench "one deflated entry of $mib MiB" "$mib" MiB yes "$scratch/large_deflated.zip"
bench "one stored entry of $mib MiB" "$mib" MiB yes "$scratch/large_stored.zip"
bench "20,000 small files" 20000 files no "$scratch/small_files.zip"

if [ "${LEGACY:-0}" = 1 ]; then
    # Every legacy corpus archive, copied ten times under different names so
    # that the run is long enough to time (bsdtar cannot decode
    # every legacy method, so they may end non-zero there).
    legacy="$scratch/legacy"
    if [ ! -d "$legacy" ]; then
        mkdir -p "$legacy"
        for copy in 0 1 2 3 4 5 6 7 8 9; do
            for f in "$corpus"/*.zip; do cp "$f" "$legacy/$copy-$(basename "$f")"; done
        done
    fi
    bench "legacy set ($(ls "$legacy" | wc -l) archives)" "$(files_in "$legacy"/*.zip)" files no \
        "$legacy"/*.zip
fi
