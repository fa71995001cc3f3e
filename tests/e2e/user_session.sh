#!/usr/bin/env bash
# A user's session with the real program, driven with the mouse and keyboard through X:
# pick the receiver's COM port, choose to save to a file, start the device, name the log file,
# stream a capture, add an echo port from the device's menu, stream more, stop the device from its menu,
# replay the log from the start page, close with Alt+X. Afterwards the log must equal every byte
# streamed, and the echo every byte sent after it was added.
# Usage (under virtual-com.sh with the pairs 5:15 and 6:16):
#   user_session.sh PREFIX VELTARO_EXE PROBE_EXE CAPTURE SCREENSHOT_DIR
set -euo pipefail
prefix=$1 veltaro=$2 probe=$3 capture=$4 shots=$5
: "${VELTARO_TTY_DIR:?run under scripts/virtual-com.sh}"
: "${DISPLAY:?an X display is needed}"
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)

work=$(mktemp -d /tmp/veltaro-session.XXXXXX)
mkdir -p "$shots"
app= reader= detail=
cleanup() {
    [ -n "$app" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    [ -n "$reader" ] && kill "$reader" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

shot() { import -window root "$shots/session-$1.png"; }
fail() {
    echo "FAIL: $*"
    shot failure || true
    exit 1
}
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
# shellcheck source=scripts/drive.sh
. "$scripts/drive.sh"
shows() { [ "$(at exists "$1")" = 1 ]; }
focused() { [ "$(at focused "$1")" = 1 ]; }
menu_shown() { [ "$(at menu)" = 1 ]; }
# The device's item appeared; an error box instead ends the test at once.
device_listed() {
    shows Error && fail "the program showed an error box"
    [ "$(at treecount)" = 8 ] # the device and its six pages
}
has_bytes() { [ "$(size "$1")" -ge "$2" ]; }

echo "== registering COM5 and COM6 so the port lists offer them"
for n in 5 6; do
    wine_run reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' /v "COM$n:" /t REG_SZ /d "" /f >/dev/null
done

total=$(size "$capture")
half=$((total / 2))
head -c "$half" "$capture" >"$work/first"
tail -c +"$((half + 1))" "$capture" >"$work/second"
cat "$VELTARO_TTY_DIR/com16" >"$work/echo.out" &
reader=$!

echo "== starting $veltaro"
"$scripts/wine-run.sh" "$prefix" "$veltaro" &
app=$!
wait_for "the main window" shows Veltaro
shot 1-started

echo "== picking COM5, saving to a file, starting the device"
click 1 listitem Veltaro 1001 COM5
click 1 control Veltaro 1003
shot 2-choices
click 1 control Veltaro 1004
wait_for "the save dialog" shows "Save As"
wait_for "the keyboard focus in the save dialog" focused "Save As"
shot 3-save-dialog
log="$work/log.gpsl"
xdotool type --delay 30 "Z:${log//\//\\}"
xdotool key Return
wait_for "the device in the tree" device_listed
[ -f "$log" ] || fail "the log file was not created"
shot 4-device

echo "== streaming the first half of $(basename "$capture") ($half bytes)"
cat "$work/first" >"$VELTARO_TTY_DIR/com15"
wait_for "the first half in the log" has_bytes "$log" "$half"

echo "== adding COM6 at 4800 baud as an echo port from the device's menu"
click 3 treeitem 1
wait_for "the device's menu" menu_shown
xdotool key Down Return
wait_for "the add-echo dialog" shows "Add Echo:"
click 1 listitem "Add Echo:" 1001 COM6
click 1 listitem "Add Echo:" 1018 4800
shot 5-add-echo
click 1 control "Add Echo:" 1
wait_for "the add-echo dialog to close" test "$(at exists "Add Echo:")" = 0
rows_listed() {
    local rows
    rows=$(at rowcount Veltaro 1013)
    detail="it lists $rows"
    [ "$rows" = 2 ]
}
wait_for "the device page to list the log file and the echo port" rows_listed
shot 6-outputs

echo "== streaming the second half ($((total - half)) bytes)"
cat "$work/second" >"$VELTARO_TTY_DIR/com15"
wait_for "the whole capture in the log" has_bytes "$log" "$total"
wait_for "the second half at the echo port" has_bytes "$work/echo.out" "$((total - half))"

echo "== looking at the device's satellites and track"
click 1 treeitem 2
shot 7-sat-stats
click 1 treeitem 3
shot 8-current-route

# The status of the device page shown.
status_says() {
    detail=$(at text Veltaro 1014 | tr '\n' ' ')
    local expected
    for expected in "$@"; do
        [[ $detail == *"$expected"* ]] || return 1
    done
}

echo "== stopping the device from its menu"
click 3 treeitem 1
wait_for "the device's menu" menu_shown
xdotool key s # "Stop device"
wait_for "the device page to say the device stopped" status_says "stopped at"
shot 9-stopped

echo "== replaying the log from the start page"
click 1 treeitem 0 30 # on the root's short text
wait_for "the start page" at control Veltaro 1000
click 1 control Veltaro 1000
wait_for "the open dialog" shows Open
wait_for "the keyboard focus in the open dialog" focused Open
xdotool type --delay 30 "Z:${log//\//\\}"
xdotool key Return
replay_listed() {
    shows Error && fail "the program showed an error box"
    [ "$(at treecount)" = 16 ] # and "Compare receivers"
}
wait_for "the recorded device in the tree" replay_listed
wait_for "the replay to reach the end of the log" status_says "File Z:" "$total bytes received" "end of file"
shot 10-replayed

echo "== closing with Alt+X"
# The window goes first and the outputs finish after: how long each took is reported, not judged.
millis() { echo $(($(date +%s%N) / 1000000)); }
closed_at=$(millis) hidden_after=
xdotool key alt+x
for _ in $(seq 1500); do
    [ -z "$hidden_after" ] && ! xdotool search --onlyvisible --name '^Veltaro$' >/dev/null 2>&1 &&
        hidden_after=$(($(millis) - closed_at))
    kill -0 "$app" 2>/dev/null || break
    sleep 0.02
done
kill -0 "$app" 2>/dev/null && fail "the program did not end on Alt+X"
echo "   window hidden after ${hidden_after:-?} ms, program ended after $(($(millis) - closed_at)) ms"
app=

cmp "$log" "$capture" || fail "the log file differs from the streamed bytes"
cmp "$work/echo.out" "$work/second" || fail "the echo port did not receive exactly the bytes sent after it was added"
echo "1 passed, 0 failed: log file and echo port hold exactly the streamed bytes"
