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

scripts=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/veltaro-com.XXXXXX)
pids=()
links=()
pinned=false
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    rm -f "${links[@]}"
    if $pinned; then
        sed 's/"=".*"$/"=-/' "$dir/pin.reg" >"$dir/unpin.reg"
        "$scripts/wine-run.sh" "$prefix" reg import "Z:$dir/unpin.reg" >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}
trap cleanup EXIT

# Wine makes a prefix only in a folder it creates itself: make it before linking ports into it.
"$scripts/wine-run.sh" "$prefix"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n' >"$dir/pin.reg"
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
        printf '"COM%s"="%s"\n' "$n" "$(readlink -f "$dir/com$n")" >>"$dir/pin.reg"
    done
done
# Wine hands COM numbers to the machine's own serial devices whenever its server starts; these entries
# keep the test ports on the terminals.
"$scripts/wine-run.sh" "$prefix" reg import "Z:$dir/pin.reg" >/dev/null 2>&1
pinned=true

export VELTARO_TTY_DIR=$dir
"$@"
