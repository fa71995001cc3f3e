#!/usr/bin/env bash
# Fuzzes for a bounded time: run_fuzz.sh FUZZER SEED_DIR WORK_DIR SECONDS
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work"
# Each capture is a seed; the fuzzer's own findings are kept in work between runs.
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 "$work" "$seeds"
