# Sourced: start_xvfb starts a virtual X display on the first free number, exports DISPLAY and sets
# xvfb_pid; the caller stops it.
start_xvfb() {
    local display=97
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    [ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$display"
}
