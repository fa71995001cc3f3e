#!/usr/bin/env bash
# Makes or removes one connected pair of virtual COM ports in a running Wine prefix, as a USB adapter is
# plugged in or pulled. Usage: com-pair.sh make|remove PREFIX DIR NEAR FAR
# The pair's terminals are linked as DIR/com<N> and as COM<N> in the prefix; remove waits until it is gone and
# leaves COM<N> pointing at a path that does not exist.
set -euo pipefail
action=$1
prefix=$2
dir=$3
near=$4
far=$5
pidfile=$dir/pair$near.pid
case $action in
make)
    socat pty,raw,echo=0,link="$dir/com$near" pty,raw,echo=0,link="$dir/com$far" </dev/null >/dev/null 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 100); do
        [ -e "$dir/com$near" ] && [ -e "$dir/com$far" ] && break
        sleep 0.1
    done
    for n in "$near" "$far"; do
        ln -sfn "$(readlink -f "$dir/com$n")" "$prefix/dosdevices/com$n"
    done
    echo made
    ;;
remove)
    # The ports point at nothing before their terminals go, and stay so while the pair is out: a port reopened
    # on a freed terminal number would read another program's terminal.
    for n in "$near" "$far"; do
        ln -sfn "$dir/unplugged$n" "$prefix/dosdevices/com$n"
    done
    pid=$(cat "$pidfile")
    kill "$pid"
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.1
    done
    rm -f "$pidfile"
    echo removed
    ;;
esac
