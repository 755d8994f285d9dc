#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) into build/fuzz and runs them.
#
#   bash scripts/fuzz.sh short            replays every kept regression input,
#                                         then fuzzes each target briefly
#                                         (ZUVO_FUZZ_SHORT_SECONDS, default 15)
#   bash scripts/fuzz.sh long [seconds]   fuzzes each target in turn for
#                                         `seconds` (default 600), one at a time
#   bash scripts/fuzz.sh build            only builds
#   ZUVO_FUZZ_TARGETS="fuzz_extract ..."  limits a run to some targets
#
# Seeds come from fuzz/corpus/<target>; what a run learns is kept in
# build/fuzz/corpus/<target>, so later runs start from it. A finding leaves
# its input in build/fuzz/findings/<target>/; keep it as a regression input
# in fuzz/regressions/<target>/ once the fault is mended.
# Exit status: 0 when nothing was found, 1 for a finding, 2 when the build
# fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/fuzz
mode=${1:-short}
long_seconds=${2:-600}
short_seconds=${ZUVO_FUZZ_SHORT_SECONDS:-15}

build_targets() {
    if ! command -v clang++ >/dev/null; then
        echo "fuzz: clang++ is missing (bash scripts/setup.sh installs it)" >&2
        return 1
    fi
    # Configured every time (quick when nothing changed), so a build folder
    # from before the package key became a setting gets it too.
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DZUVO_FUZZ=ON \
        -DZUVO_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DZUVO_PACKAGE_PUBLIC_KEYS=$(bash "$root/scripts/demo-key.sh")" >/dev/null || return 1
    ninja -C "$build" -j2 fuzz_all
}

# The targets that exist in the source and were built (ZUVO_FUZZ_TARGETS,
# a space-separated list, picks some of them).
targets() {
    local source name
    for source in "$root"/fuzz/fuzz_*.cpp; do
        name=$(basename "$source" .cpp)
        if [[ -n ${ZUVO_FUZZ_TARGETS:-} && " $ZUVO_FUZZ_TARGETS " != *" $name "* ]]; then
            continue
        fi
        [[ -x $build/fuzz/$name ]] && echo "$name"
    done
}

# Seed folders of a target: its own, and the archives for the extractor.
seed_dirs() {
    local target=$1
    [[ -d $root/fuzz/corpus/$target ]] && echo "$root/fuzz/corpus/$target"
    [[ $target == fuzz_extract ]] && echo "$root/fuzz/corpus/fuzz_zip_directory"
    return 0
}

fuzz_options() {
    local target=$1
    # The memory target may hold an entry of up to 1 GB; every other target
    # must stay far below that.
    local malloc_limit=512
    [[ $target == fuzz_extract ]] && malloc_limit=1100
    echo "-timeout=10 -rss_limit_mb=2560 -malloc_limit_mb=$malloc_limit -max_len=65536"
    echo "-print_final_stats=1 -artifact_prefix=$build/findings/$target/"
    [[ $target != fuzz_decoders && $target != fuzz_crypt_header ]] && echo "-dict=$root/fuzz/zip.dict"
    return 0
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The extractor writes files whose names come from the fuzzed archive. Run
# as root, a fault in the destination checks could write anywhere, so it
# runs as nobody in a private mount namespace whose /tmp, /var/tmp and
# /dev/shm are fresh, empty memory file systems; the target itself traps on
# anything that appears there outside its scratch folder.
sandbox_usable() {
    [[ $(id -u) == 0 ]] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 &&
        unshare -m --propagation private sh -c 'mount -t tmpfs -o size=1m tmpfs /var/tmp' \
            2>/dev/null
}

# The folders the sandbox replaces by empty memory file systems: all of
# /tmp, /var/tmp and /dev/shm except one that holds the build itself (a
# checkout below /tmp must stay visible to the target).
masked_folders() {
    local d
    for d in /tmp /var/tmp /dev/shm; do
        [[ $build/ == "$d"/* ]] || printf '%s\n' "$d"
    done
}

# True when nobody can run the target and write its findings and corpus
# (a checkout below a private home folder is out of its reach).
reachable_by_nobody() {
    local target=$1
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        test -x "$build/fuzz/$target" -a -w "$build/findings/$target" -a -w "$build/corpus/$target" \
        -a -w "$build/run/$target"
}

# Runs one target from a scratch working directory (multi-part archives look
# for their parts there). $1 target, rest: libFuzzer arguments.
run_target() {
    local target=$1
    shift
    local scratch=$build/run/$target
    rm -rf "$scratch"
    mkdir -p "$scratch" "$build/findings/$target" "$build/corpus/$target"
    if [[ $target != fuzz_extract ]]; then
        (cd "$scratch" && "$build/fuzz/$target" "$@")
    elif sandbox_usable && chown -R nobody "$scratch" "$build/findings/$target" \
        "$build/corpus/$target" && reachable_by_nobody "$target"; then
        local masked watch
        masked=$(masked_folders)
        watch=$(printf '%s' "$masked" | tr '\n' ':')
        (cd "$scratch" && unshare -m --propagation private bash -c '
            masked=$1 watch=$2 scratch=$3
            shift 3
            for d in $masked; do
                mount -t tmpfs -o size=2g,mode=1777 tmpfs "$d" || exit 2
            done
            exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
                env ZUVO_FUZZ_SCRATCH="$scratch" ZUVO_FUZZ_WATCH="$watch" "$@"
        ' sandbox "$masked" "$watch" "$scratch/extract-scratch" "$build/fuzz/$target" "$@")
    else
        echo "fuzz: no sandbox here (needs root, setpriv, unshare); extracting below $scratch" >&2
        (cd "$scratch" && ZUVO_FUZZ_SCRATCH=$scratch/extract-scratch "$build/fuzz/$target" "$@")
    fi
}

replay_regressions() {
    local target=$1 dir=$root/fuzz/regressions/$1
    [[ -d $dir ]] || return 0
    local inputs=("$dir"/*)
    [[ -e ${inputs[0]} ]] || return 0
    # shellcheck disable=SC2046
    if ! run_target "$target" $(fuzz_options "$target") "${inputs[@]}" >"$build/logs/$target.replay" 2>&1; then
        echo "fuzz: $target fails on a kept regression input:" >&2
        tail -40 "$build/logs/$target.replay" >&2
        return 1
    fi
    echo "fuzz: $target: ${#inputs[@]} regression inputs pass"
}

fuzz_for() {
    local target=$1 seconds=$2 log=$build/logs/$1.$3
    local work=$build/corpus/$target
    mkdir -p "$work"
    # shellcheck disable=SC2046
    run_target "$target" $(fuzz_options "$target") -max_total_time="$seconds" \
        "$work" $(seed_dirs "$target") >"$log" 2>&1
    local status=$?
    local execs cov
    execs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | grep -o 'cov: [0-9]*' | tail -1)
    if ((status != 0)); then
        echo "fuzz: $target FOUND A FAULT (status $status), input in $build/findings/$target/:" >&2
        grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20 >&2
        return 1
    fi
    echo "fuzz: $target: ${seconds}s, ${execs:-?} exec/s, ${cov:-cov ?}, corpus $(ls "$work" | wc -l) files"
}

# The whole run is one function, read completely before it starts, so that
# editing this file during a long run cannot change the running script.
main() {
    if ! build_targets; then
        echo "fuzz: the build failed" >&2
        return 2
    fi
    [[ $mode == build ]] && exit 0
    mkdir -p "$build/logs"

    local found=0 target
    case $mode in
        short)
            for target in $(targets); do
                replay_regressions "$target" || found=1
            done
            for target in $(targets); do
                fuzz_for "$target" "$short_seconds" short || found=1
            done
            ;;
        long)
            for target in $(targets); do
                replay_regressions "$target" || found=1
                fuzz_for "$target" "$long_seconds" long || found=1
            done
            ;;
        *)
            echo "usage: fuzz.sh short | long [seconds] | build" >&2
            return 2
            ;;
    esac
    return "$found"
}

# One line, parsed whole: nothing after it is read once main has run.
main "$@"; exit $?
