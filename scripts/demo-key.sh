#!/usr/bin/env bash
# Makes the demo signing key pair under build/demo-key/ when it is missing
# (no password: it only ever signs demo and test packages on this machine)
# and prints its public key line, the value of ZUVO_PACKAGE_PUBLIC_KEYS.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/demo-key
if [[ ! -f $dir/zuvo.sec || ! -f $dir/zuvo.pub ]]; then
    mkdir -p "$dir"
    rm -f "$dir/zuvo.sec" "$dir/zuvo.pub"
    minisign -G -W -p "$dir/zuvo.pub" -s "$dir/zuvo.sec" >/dev/null
fi
sed -n 2p "$dir/zuvo.pub"
