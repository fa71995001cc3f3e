#!/usr/bin/env bash
# Builds Veltaro and the simulated GPS receiver, joins them through a virtual COM port and starts
# veltaro.exe under Wine: on this X display, or on a virtual one, driven from here with screenshots of its pages.
# Usage: run.sh [--replay FILE | --device PATH | --parked] [--baud N]
#   --replay FILE  replay a recorded capture (a path, or a file name from ../shared/nmea/) instead of
#                  generating a moving receiver
#   --device PATH  a real receiver instead of the simulated one, such as /dev/ttyUSB0 or /dev/ttyACM0
#   --parked       the simulated receiver stands still, its fixes scattered as a real receiver's are
#   --baud N       the receiver's line speed (default 4800)
# Closing Veltaro's window (or Ctrl-C) stops everything this script started.
set -euo pipefail

usage() {
    sed -n '4,10s/^# \{0,1\}//p' "$0"
}
fail() {
    echo "$*" >&2
    exit 1
}

root=$(cd "$(dirname "$0")/.." && pwd)
replay=""
device=""
parked=false
baud=4800
while [ $# -gt 0 ]; do
    case "$1" in
    --replay | --device | --baud)
        [ $# -ge 2 ] || { echo "$1 needs a value" >&2; usage >&2; exit 2; }
        case "$1" in
        --replay) replay=$2 ;;
        --device) device=$2 ;;
        *) baud=$2 ;;
        esac
        shift 2
        ;;
    --parked) parked=true; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "unknown option: $1" >&2; usage >&2; exit 2 ;;
    esac
done
case "$baud" in
1200 | 2400 | 4800 | 9600 | 19200 | 38400 | 57600 | 115200) ;;
*) echo "unsupported baud rate: $baud (1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200)" >&2; exit 2 ;;
esac
[ -z "$replay" ] || [ -z "$device" ] || { echo "--replay and --device exclude each other" >&2; exit 2; }
! $parked || [ -z "$replay$device" ] || { echo "--parked is for the simulated receiver alone" >&2; exit 2; }
if [ -n "$device" ]; then
    [ -e "$device" ] || fail "no such device: $device. Is the receiver plugged in? USB receivers appear as /dev/ttyUSB0 or /dev/ttyACM0 (ls /dev/ttyUSB* /dev/ttyACM*)."
    [ -c "$device" ] || fail "$device is not a serial device (a character device such as /dev/ttyUSB0)"
    if [ ! -r "$device" ] || [ ! -w "$device" ]; then
        fail "cannot open $device: permission denied. Add yourself to its group ($(stat -c %G "$device")): sudo usermod -aG $(stat -c %G "$device") $(id -un), then log out and in again."
    fi
    device=$(realpath "$device")
fi
if [ -n "$replay" ]; then
    if [ -f "$replay" ]; then
        replay=$(realpath "$replay")
    elif [ -f "$root/../shared/nmea/$replay" ]; then
        replay=$(realpath "$root/../shared/nmea/$replay")
    else
        echo "no capture $replay (neither a file nor in $(realpath -m "$root/../shared/nmea"))" >&2
        exit 2
    fi
fi
cd "$root"

scripts/install-deps.sh

echo "== Building veltaro.exe (preset win), the simulated receiver (preset native) and the window probe"
cmake --preset win >/dev/null || fail "configuring the win preset failed (see above)"
cmake --build --preset win --target veltaro probe || fail "building veltaro.exe failed (see above)"
cmake --preset native >/dev/null || fail "configuring the native preset failed (see above)"
cmake --build --preset native --target veltaro-sim || fail "building the simulated receiver failed (see above)"
program=build/win/veltaro.exe
simulator=build/native/tools/simulator/veltaro-sim

# The program's port. Wine gives COM numbers to the machine's serial devices in turn each time its
# server starts and would take this one back; an entry under HKLM\Software\Wine\Ports keeps it ours.
com=3
run_dir=$root/build/run
prefix=$run_dir/wineprefix
mkdir -p "$run_dir" "$root/build/screenshots"
links=$(mktemp -d /tmp/veltaro-run.XXXXXX)

wine_pid=""
simulator_pid=""
socat_pid=""
xvfb_pid=""
registered=false
stop_process() {
    if [ -n "$1" ] && kill "$1" 2>/dev/null; then
        wait "$1" 2>/dev/null || true
    fi
}
cleanup() {
    set +e
    trap - EXIT INT TERM
    echo "== Stopping"
    stop_process "$wine_pid"
    stop_process "$simulator_pid"
    stop_process "$socat_pid"
    if $registered; then
        rm -f "$prefix/dosdevices/com$com"
        timeout 60 scripts/wine-run.sh "$prefix" reg delete 'HKLM\Software\Wine\Ports' /v "COM$com" /f >/dev/null 2>&1
    fi
    stop_process "$xvfb_pid"
    rm -rf "$links"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Wine needs an X display from its very first start (making the prefix included).
own_display=false
if [ -z "${DISPLAY:-}" ]; then
    # shellcheck source=scripts/xvfb.sh
    . scripts/xvfb.sh
    start_xvfb
    own_display=true
fi
# No window manager runs on our own Xvfb: Wine then places windows itself rather than wait for one.
# A desktop has a window manager, unless the caller says otherwise.
if $own_display; then export VELTARO_WINE_MANAGED=N; else export VELTARO_WINE_MANAGED=${VELTARO_WINE_MANAGED:-Y}; fi

if [ -n "$device" ]; then
    program_end=$device
    echo "== The receiver on $device is COM$com in Veltaro"
else
    echo "== Virtual serial pair"
    socat pty,raw,echo=0,link="$links/com$com" pty,raw,echo=0,link="$links/receiver" 2>"$run_dir/socat.log" &
    socat_pid=$!
    for _ in $(seq 100); do
        [ -e "$links/com$com" ] && [ -e "$links/receiver" ] && break
        sleep 0.1
    done
    [ -e "$links/com$com" ] && [ -e "$links/receiver" ] || fail "socat made no terminal pair"
    program_end=$(readlink -f "$links/com$com")
    receiver_end=$(readlink -f "$links/receiver")
    echo "   $program_end (COM$com for Veltaro) <-> $receiver_end (the simulated receiver)"
fi

echo "== Registering COM$com in the Wine prefix $prefix"
# Wine makes the prefix on first use, and only into a folder it creates itself.
[ -f "$prefix/system.reg" ] || echo "   (made on first use: this takes a minute or two)"
# The value under ...\CurrentVersion\Ports is what the program's port list (EnumPortsA) shows.
cat >"$links/com.reg" <<EOF
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
"COM$com"="$program_end"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports]
"COM$com:"="$baud,n,8,1"
EOF
registered=true
scripts/wine-run.sh "$prefix" reg import "Z:$links/com.reg" >"$run_dir/registry.log" 2>&1 ||
    { echo "could not register COM$com; see $run_dir/registry.log" >&2; exit 1; }
# The Wine server may already be running and will not look at the ports again: link the port now too.
ln -sfn "$program_end" "$prefix/dosdevices/com$com"

if [ -z "$device" ]; then
    echo "== Simulated receiver"
    simulator_args=(--port "$receiver_end" --baud "$baud")
    if [ -n "$replay" ]; then
        simulator_args+=(--replay "$replay")
        echo "   replaying $replay at $baud baud"
    elif $parked; then
        simulator_args+=(--parked)
        echo "   generating a parked receiver, one fix a second, at $baud baud"
    else
        echo "   generating a car driving about, one fix a second, at $baud baud"
    fi
    "$simulator" "${simulator_args[@]}" >"$run_dir/simulator.log" 2>&1 &
    simulator_pid=$!
    sleep 0.5
    kill -0 "$simulator_pid" 2>/dev/null || { cat "$run_dir/simulator.log" >&2; exit 1; }
    echo "   its log: $run_dir/simulator.log (tail -f to watch it)"
fi

echo "== Starting Veltaro under Wine on display $DISPLAY"
scripts/wine-run.sh "$prefix" "$program" >"$run_dir/veltaro.log" 2>&1 &
wine_pid=$!
echo
if [ -n "$device" ]; then
    echo "   In Veltaro pick COM$com ($baud baud) and press \"Start device\": the receiver on $device is on it."
else
    echo "   In Veltaro pick COM$com ($baud baud) and press \"Start device\": the simulated receiver is on it."
fi
echo

if $own_display; then
    # Nobody can click on a virtual display: do what a user would, and show them the pictures.
    probe=build/win/tests/probe.exe
    scripts=$root/scripts
    # shellcheck source=scripts/drive.sh
    . "$scripts/drive.sh"
    between_looks() {
        kill -0 "$wine_pid" 2>/dev/null || fail "veltaro.exe ended early; its output:
$(cat "$run_dir/veltaro.log")"
    }
    shows() { [ "$(at exists "$1")" = 1 ]; }
    devices_listed() { [ "$(at treecount)" = 8 ]; }
    shot() {
        local file=$root/build/screenshots/run-$1.png
        import -display "$DISPLAY" -window root "$file"
        echo "   $2: $file"
    }
    wait_for "Veltaro's window" shows Veltaro
    echo "   No display was set, so Veltaro runs on the virtual display $DISPLAY and is driven from here:"
    click 1 listitem Veltaro 1001 "COM$com"
    at choose Veltaro 1002 "$baud" >/dev/null
    click 1 control Veltaro 1004
    wait_for "the device's nodes" devices_listed
    sleep 5 # a few fixes' worth of data
    shot device-page "the device page, whether data flows and the outputs"
    click 1 treeitem 2
    sleep 1
    shot sat-stats "\"Sat stats\", the satellites' signals and the sky plot"
    click 1 treeitem 3
    sleep 5 # the track grows with every fix
    shot current-route "\"Current route\", course, speed and the track"
    click 1 treeitem 4
    sleep 1
    shot sentences "\"Sentences\", the lines as they came and what became of each"
    click 1 treeitem 5
    sleep 1
    shot signals "\"Signals\", every satellite on every signal"
    click 1 treeitem 6
    sleep 5 # a few more fixes in the scatter
    shot accuracy "\"Accuracy\", how the fixes scatter and their CEP"
    click 1 treeitem 7
    sleep 1
    shot history "\"History\", satellites, signal, HDOP and fix over time"
    # A second device, replaying a recorded log, brings "Compare receivers" under the root.
    recording=${replay:-$(realpath "$root/../shared/nmea/neo-m8n.nmea")}
    click 1 treeitem 0 30
    start_page() { at control Veltaro 1000 >/dev/null; }
    wait_for "the start page" start_page
    click 1 control Veltaro 1000
    wait_for "the open dialog" shows Open
    xdotool type --delay 20 "Z:${recording//\//\\}"
    xdotool key Return
    compared() { [ "$(at treecount)" = 16 ]; }
    wait_for "the recorded device and the comparison" compared
    sleep 5 # a few fixes of each
    click 1 treeitem 15
    sleep 1
    shot compare "\"Compare receivers\", both devices' fixes and figures side by side"
    echo "   Press Ctrl-C to stop."
else
    echo "   Close Veltaro's window to stop."
fi

status=0
wait "$wine_pid" || status=$?
wine_pid=""
echo "== Veltaro ended (status $status)"
exit "$status"
