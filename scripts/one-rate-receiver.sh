#!/usr/bin/env bash
# Plays a receiver that sends at one baud rate, for the tests of the automatic rate: while the program's end of a
# virtual COM pair is set to RATE it sends numbered NMEA lines; at another rate, what a port set wrong reads: bytes
# beyond ASCII between line ends, and below a quarter of RATE nothing (framing errors the driver drops). The
# two sides of a terminal share their settings, so stty on the program's terminal reads the speed the program set.
# Runs until killed, a minute at most.
# Usage: one-rate-receiver.sh NEAR_TERMINAL FAR_TERMINAL RATE
set -euo pipefail
near=$1
far=$2
rate=$3
exec 3>"$far"
line=0
while [ "$SECONDS" -lt 60 ]; do
    speed=$(stty -F "$near" speed)
    if [ "$speed" = "$rate" ]; then
        printf '$GPTXT,01,01,02,RATE LINE %06d\r\n' "$line" >&3
        line=$((line + 1))
    elif [ "$speed" -ge $((rate / 4)) ]; then
        printf '\xf3\x9e\xff\x86\n\xe1\xcf\xa5\xbd\n' >&3
    fi
    sleep 0.02
done
