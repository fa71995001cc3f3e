#!/usr/bin/env bash
# Builds every preset and runs every test layer: the engine natively, under ASan/UBSan and TSan; the
# engine, ports and device pipeline cross-built under Wine (with virtual COM ports); a bounded fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Windows tests that open windows need a display; one Xvfb serves the whole run.
if [ -z "${DISPLAY:-}" ]; then
    # shellcheck source=scripts/xvfb.sh
    . scripts/xvfb.sh
    start_xvfb
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
fi

# The test display has no window manager.
export VELTARO_WINE_MANAGED=N

presets=(native native-asan native-tsan win fuzz)
fail() {
    echo "$*" >&2
    exit 1
}
for preset in "${presets[@]}"; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null || fail "configuring the $preset preset failed (see above)"
    cmake --build --preset "$preset" || fail "building the $preset preset failed (see above)"
done
# The Windows release: a zip and an installer, which the win tests install and start.
cmake --build --preset win --target package || fail "packaging the release failed (see above)"

status=0
for preset in "${presets[@]}"; do
    echo "== test $preset"
    ctest --preset "$preset" || status=1
done
exit $status
