#!/usr/bin/env bash
# The Windows release as a user takes it, under Wine: the zip's program starts and shows its window; the
# installer installs silently into Program Files with a Start menu entry; the installed program starts;
# the uninstaller removes what was installed.
# Usage: package_test.sh PREFIX PROBE_EXE PACKAGE_DIR VERSION
set -euo pipefail
prefix=$1 probe=$2 packages=$3 version=$4
: "${DISPLAY:?an X display is needed}"
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
zip=$packages/veltaro-$version-win64.zip
installer=$packages/veltaro-$version-win64-setup.exe
installed="$prefix/drive_c/Program Files/Veltaro"

work=$(mktemp -d /tmp/veltaro-package.XXXXXX)
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}
# shellcheck source=scripts/drive.sh
. "$scripts/drive.sh"
shows() { [ "$(at exists Veltaro)" = 1 ]; }
gone() { ! kill -0 "$app" 2>/dev/null; }
# Starts a program, waits for its main window, and closes it as its close button does.
start_and_close() {
    wine_run "$1" >"$work/program.log" 2>&1 &
    app=$!
    wait_for "the window of $1" shows
    at close Veltaro
    wait_for "$1 to end" gone
    app=
}

[ -f "$zip" ] || fail "no zip $zip"
[ -f "$installer" ] || fail "no installer $installer"

echo "== the zip holds the program and how to start it"
(cd "$work" && cmake -E tar xf "$zip")
unpacked=$work/veltaro-$version-win64
[ -f "$unpacked/veltaro.exe" ] && [ -f "$unpacked/README.txt" ] || fail "the zip holds: $(cd "$work" && find . -type f)"
start_and_close "$unpacked/veltaro.exe"

echo "== the installer installs silently"
rm -rf "$installed"
wine_run "$installer" /S || fail "the installer ended with status $?"
[ -f "$installed/veltaro.exe" ] || fail "nothing installed under $installed"
[ -f "$installed/Uninstall.exe" ] || fail "no uninstaller under $installed"
shortcut=$(find "$prefix/drive_c" -path '*Start Menu*' -name 'Veltaro.lnk' | head -1)
[ -n "$shortcut" ] || fail "no Start menu entry"
echo "   $installed, Start menu: ${shortcut#"$prefix/drive_c/"}"
start_and_close "$installed/veltaro.exe"

echo "== the uninstaller removes it"
wine_run "$installed/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
# The uninstaller runs on from a copy of itself, so the files go a moment after it returns.
no_install() { [ ! -e "$installed/veltaro.exe" ] && [ -z "$(find "$prefix/drive_c" -path '*Start Menu*' -name 'Veltaro.lnk')" ]; }
wait_for "the uninstaller to remove the program and its Start menu entry" no_install
echo "PASS"
