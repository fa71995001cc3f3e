#!/usr/bin/env bash
# The run command with a real receiver: a path that is no serial device fails at once with a message
# that says what to do; a terminal given as --device works as a receiver does (a pty stands in for
# /dev/ttyUSB0 here).
# Usage: run_device_test.sh PROBE_EXE CAPTURE
set -euo pipefail
probe=$1 capture=$2
: "${DISPLAY:?an X display is needed}"
root=$(cd "$(dirname "$0")/../.." && pwd)
scripts=$root/scripts
prefix=$root/build/run/wineprefix # the run command's own

work=$(mktemp -d /tmp/veltaro-device.XXXXXX)
run= socat_pid=
cleanup() {
    # TERM, as Ctrl-C is ignored by a script started in the background: the run command cleans up.
    [ -n "$run" ] && kill -TERM "$run" 2>/dev/null && wait "$run" 2>/dev/null || true
    [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$work/run.log" ] && sed 's/^/   run: /' "$work/run.log"
    exit 1
}
# shellcheck source=scripts/drive.sh
. "$scripts/drive.sh"
between_looks() { [ -z "$run" ] || kill -0 "$run" 2>/dev/null || fail "the run command ended early"; }

echo "== a missing device and a file that is no serial device are refused with what to do"
for bad in /dev/ttyUSB-missing "$capture"; do
    if "$root/scripts/run.sh" --device "$bad" >"$work/refused.log" 2>&1; then
        fail "--device $bad was accepted"
    fi
    grep -q -e "no such device: $bad. Is the receiver plugged in?" -e "$bad is not a serial device" "$work/refused.log" ||
        fail "--device $bad said: $(cat "$work/refused.log")"
done

echo "== a terminal as the receiver"
socat pty,raw,echo=0,link="$work/receiver" pty,raw,echo=0,link="$work/device" 2>/dev/null &
socat_pid=$!
linked() { [ -e "$work/receiver" ] && [ -e "$work/device" ]; }
wait_for "socat's terminal pair" linked
"$root/scripts/run.sh" --device "$work/device" --baud 9600 >"$work/run.log" 2>&1 &
run=$!
said() { grep -q "The receiver on $(readlink -f "$work/device") is COM3 in Veltaro" "$work/run.log"; }
wait_for "the run command to say which COM port the device is" said
shows() { [ "$(at exists Veltaro)" = 1 ]; }
wait_for "Veltaro's window" shows
click 1 listitem Veltaro 1001 COM3
at choose Veltaro 1002 9600 >/dev/null
click 1 control Veltaro 1004
listed() { [ "$(at treecount)" = 8 ]; }
wait_for "the device in the tree" listed
cat "$capture" >"$work/receiver"
# The device page's status counts what the terminal delivered.
decoded() {
    at text Veltaro 1014 | grep -q "$(stat -c %s "$capture") bytes received"
}
wait_for "the device page to count every byte of $(basename "$capture")" decoded
echo "PASS"
