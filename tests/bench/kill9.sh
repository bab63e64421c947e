#!/usr/bin/env bash
# A recording killed with kill -9: the records the station sent against the
# records its journal gives back. Each run records the simulator in real
# time (a record every 200 ms) and is killed after a few seconds, the
# station at the same instant, so that what it logged is what it sent.
#
#   tests/bench/kill9.sh [BIN_DIR]     (default build/release/bin; RUNS=5)
set -euo pipefail

bin=$(cd "${1:-build/release/bin}" && pwd)
runs=${RUNS:-5}
total_lost=0
worst=0
for run in $(seq "$runs"); do
    work=$(mktemp -d)
    export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
    printf 'CheckOffTimer=0\n' >"$work/vantrel.cfg"
    "$bin/vantrel-sim" --verbose --link "$work/tty" >/dev/null 2>"$work/sim.log" &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done
    "$bin/vantrel-cli" --config "$work/vantrel.cfg" --port "$work/tty" 2>"$work/cli.err" &
    cli_pid=$!
    sleep "$((3 + RANDOM % 6)).$((RANDOM % 10))"
    kill -9 "$cli_pid"; kill -9 "$sim_pid"
    wait "$cli_pid" "$sim_pid" 2>/dev/null || true

    sent=$(grep -c '^-> LT:' "$work/sim.log" || true)
    "$bin/vantrel-cli" --recover --export "$work/recovered.csv" 2>"$work/recover.err" || {
        echo "run $run: nothing recovered: $(cat "$work/recover.err")"; exit 1; }
    recovered=$(($(wc -l <"$work/recovered.csv") - 1))
    lost=$((sent - recovered))
    total_lost=$((total_lost + lost))
    [ "$lost" -gt "$worst" ] && worst=$lost
    echo "run $run: sent $sent, recovered $recovered, lost $lost ($(awk -v l="$lost" 'BEGIN {printf "%.1f", l * 0.2}') s)"
    rm -rf "$work"
done
echo "over $runs runs: $total_lost records lost in all, at most $worst in one run ($(awk -v l="$worst" 'BEGIN {printf "%.1f", l * 0.2}') s)"
