#!/usr/bin/env bash
# Runs a command with connected pairs of virtual COM ports in a Wine prefix.
# Usage: virtual-com.sh PREFIX NEAR:FAR... -- COMMAND [ARGS...]
# Each pair is two pseudo terminals joined by socat, linked as COM<NEAR> and COM<FAR>; bytes written to one
# come out of the other. VELTARO_TTY_DIR tells the command where the terminals' links are (com<N>).
set -euo pipefail
prefix=$1
shift
pairs=()
while [ "$1" != "--" ]; do
    pairs+=("$1")
    shift
done
shift

dir=$(mktemp -d /tmp/veltaro-com.XXXXXX)
pids=()
links=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    rm -f "${links[@]}"
    rm -rf "$dir"
}
trap cleanup EXIT

mkdir -p "$prefix/dosdevices"
for pair in "${pairs[@]}"; do
    near=${pair%%:*}
    far=${pair##*:}
    socat pty,raw,echo=0,link="$dir/com$near" pty,raw,echo=0,link="$dir/com$far" 2>"$dir/socat$near.log" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -e "$dir/com$near" ] && [ -e "$dir/com$far" ] && break
        sleep 0.1
    done
    [ -e "$dir/com$near" ] && [ -e "$dir/com$far" ] || { echo "socat did not make COM$near:COM$far" >&2; exit 1; }
    for n in "$near" "$far"; do
        ln -sfn "$(readlink -f "$dir/com$n")" "$prefix/dosdevices/com$n"
        links+=("$prefix/dosdevices/com$n")
    done
done

export VELTARO_TTY_DIR=$dir
"$@"
