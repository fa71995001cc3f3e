#!/usr/bin/env bash
# Builds every preset and runs every test layer: the engine natively, under ASan/UBSan and TSan,
# cross-built under Wine, and a bounded fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Windows tests that open windows need a display; one Xvfb serves the whole run.
if [ -z "${DISPLAY:-}" ]; then
    Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    export DISPLAY=:97
fi

presets=(native native-asan native-tsan win fuzz)
for preset in "${presets[@]}"; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

status=0
for preset in "${presets[@]}"; do
    echo "== test $preset"
    ctest --preset "$preset" || status=1
done
exit $status
