#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix, made on first use.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
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
# A server started here, with its diagnostics kept out of the test output.
wineserver -p5 >/dev/null 2>&1 || true
exec wine "$@"
