# What the scripts that drive Veltaro's windows share: the end-to-end tests and the run command's run on a
# virtual display. A script sets prefix, probe and scripts and defines fail before sourcing this.

wine_run() { "$scripts/wine-run.sh" "$prefix" "$@"; }
at() { wine_run "$probe" "$@" | tr -d '\r'; }

# Runs between the looks of wait_for; a script that must notice a helper ending early defines its own.
between_looks() { :; }

# Waits for a condition to hold, giving up after a generous two minutes; detail, when set, says what was seen.
wait_for() {
    local what=$1
    shift
    for _ in $(seq 600); do
        if "$@"; then return 0; fi
        between_looks
        sleep 0.2
    done
    fail "timed out waiting for $what${detail:+ ($detail)}"
}

# Clicks mouse button BUTTON where the probe finds what the other arguments name, as a user does.
click() {
    local point
    point=$(at "${@:2}") || fail "cannot find ${*:2}"
    # shellcheck disable=SC2086
    xdotool mousemove --sync $point click "$1"
}
