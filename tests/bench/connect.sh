#!/usr/bin/env bash
# Time from start to the first record with five ports that do not answer
# listed before the station's, at the default timing keys: the first search
# walks them all; the next one tries the port the station answered on last
# time first.
#   tests/bench/connect.sh [BIN_DIR]      (default build/release/bin)
set -euo pipefail
bin=$(cd "${1:-build/release/bin}" && pwd)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"

ports=""
for n in 1 2 3 4 5; do
    "$bin/vantrel-sim" --no-id --link "$work/dead$n" >/dev/null &
    pids+=($!)
    ports="$ports$work/dead$n;"
done
"$bin/vantrel-sim" --link "$work/station" >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/station" ] && [ -e "$work/dead5" ] && break; sleep 0.1; done
printf 'CheckOffTimer=0\nPorts=%s%s\n' "$ports" "$work/station" >"$work/vantrel-cli.cfg"

first_record() {
    local start end
    start=$(date +%s.%N)
    "$bin/vantrel-cli" --config "$work/vantrel-cli.cfg" --records 1 >/dev/null 2>"$work/cli.err" ||
        { cat "$work/cli.err" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", e - s }'
}
echo "first record, nothing remembered:         $(first_record) s"
echo "first record, the station's port first:   $(first_record) s"
echo "remembered: $(cat "$work/state/vantrel/station-port")"
