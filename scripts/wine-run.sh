#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, made on first use.
# Usage: wine-run.sh PREFIX [PROGRAM [ARGS...]]  (without a program it only makes the prefix)
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko installers: the program needs neither, and their prompts would hang a headless run.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            wineboot -i >/dev/null 2>&1
            wineserver -w
        fi
    ) 9>"$prefix.lock"
fi
# Debian's Wine does not look in its own font folder (package fonts-wine): without Marlett in the prefix,
# title bars draw their buttons as "0 1 r".
fonts=$prefix/drive_c/windows/Fonts
if [ ! -e "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ]; then
    # Copied under another name and renamed, so a Wine started meanwhile never reads half a font.
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/.marlett.$$" && mv -f "$fonts/.marlett.$$" "$fonts/marlett.ttf"
fi
[ $# -gt 0 ] || exit 0

# VELTARO_WINE_MANAGED=N when no window manager runs (Xvfb): Wine then places windows itself instead of
# waiting up to 2 seconds for a manager on every window it hides or destroys. Y for a desktop.
want=${VELTARO_WINE_MANAGED:-}
if [ -n "$want" ] && [ "$(cat "$prefix/.x11-managed" 2>/dev/null)" != "$want" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$want" /f >/dev/null 2>&1
    echo "$want" >"$prefix/.x11-managed"
fi

# VELTARO_WINE_DPI=144: the display's scale (Windows' LogPixels), for the tests of the layout at other scales.
dpi=${VELTARO_WINE_DPI:-}
if [ -n "$dpi" ] && [ "$(cat "$prefix/.dpi" 2>/dev/null)" != "$dpi" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -w
    echo "$dpi" >"$prefix/.dpi"
fi

# A server started here, with its diagnostics kept out of the test output.
wineserver -p5 >/dev/null 2>&1 || true
exec wine "$@"
