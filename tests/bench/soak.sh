#!/usr/bin/env bash
# A day's run: the recorder on the simulator, whose clock is sped up, through
# a day's worth of records at 200 ms (432,000). Reports the recorder's CPU
# cost per record over the first and the last tenth of the run, its peak
# memory, the journal's size and how long recovering the journal takes.
#
#   tests/bench/soak.sh [BIN_DIR]      (default build/release/bin)
#   RECORDS=43200 SCALE=150 tests/bench/soak.sh    a shorter run
set -euo pipefail

bin=$(cd "${1:-build/release/bin}" && pwd)
records=${RECORDS:-432000}
scale=${SCALE:-150}
work=$(mktemp -d)
trap 'kill $sim_pid 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
printf 'CheckOffTimer=0\n' >"$work/vantrel.cfg"

"$bin/vantrel-sim" --time-scale "$scale" --link "$work/tty" >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

started=$(date +%s.%N)
"$bin/vantrel-cli" --config "$work/vantrel.cfg" --port "$work/tty" --records "$records" \
    --export "$work/day.csv" 2>"$work/cli.err" &
cli_pid=$!

# One sample a second: records so far (from the progress line), CPU ticks
# used, peak resident memory.
ticks=$(getconf CLK_TCK)
: >"$work/samples"
peak_kb=0
while kill -0 "$cli_pid" 2>/dev/null; do
    if [ -r "/proc/$cli_pid/stat" ]; then
        cpu=$(awk '{print $14 + $15}' "/proc/$cli_pid/stat" 2>/dev/null || echo "")
        hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$cli_pid/status" 2>/dev/null || echo 0)
        done_records=$( (grep -o '[0-9]* records' "$work/cli.err" || true) | tail -1 | cut -d' ' -f1)
        [ -n "$cpu" ] && [ -n "$done_records" ] && echo "$done_records $cpu" >>"$work/samples"
        [ -n "$hwm" ] && [ "$hwm" -gt "$peak_kb" ] && peak_kb=$hwm
    fi
    sleep 1
done
wait "$cli_pid" || { echo "the recorder failed:"; tail -5 "$work/cli.err"; exit 1; }
finished=$(date +%s.%N)

journal=$(ls "$XDG_DATA_HOME"/vantrel/runs/*.journal)
recover_start=$(date +%s.%N)
"$bin/vantrel-cli" --recover "$journal" --export "$work/recovered.csv" 2>"$work/recover.err"
recover_end=$(date +%s.%N)

exported=$(($(wc -l <"$work/day.csv") - 1))
recovered=$(($(wc -l <"$work/recovered.csv") - 1))
awk -v total="$records" -v ticks="$ticks" '
    { r[NR] = $1; c[NR] = $2 }
    END {
        # The first and the last tenth of the run, by records.
        for (i = 1; i <= NR; i++) {
            if (!a0 && r[i] > 0) a0 = i
            if (r[i] <= total / 10) a1 = i
            if (!b0 && r[i] >= total * 9 / 10) b0 = i
        }
        # Up to the last sample that still saw new records: after it come
        # the stop and the export, which are no cost of a record.
        for (i = 2; i <= NR; i++) if (r[i] > r[i - 1]) b1 = i
        start = (c[a1] - c[a0]) / ticks * 1e6 / (r[a1] - r[a0])
        end = (c[b1] - c[b0]) / ticks * 1e6 / (r[b1] - r[b0])
        printf "cost per record: %.1f us at the start, %.1f us at the end (CPU)\n", start, end
    }' "$work/samples"
echo "records: $records at 200 ms ($(awk -v r="$records" 'BEGIN {printf "%.1f", r * 0.2 / 3600}') h of station time), wall $(awk -v a="$started" -v b="$finished" 'BEGIN {printf "%.0f", b - a}') s at x$scale"
echo "exported: $exported lines, recovered: $recovered lines"
echo "peak memory: $((peak_kb / 1024)) MB"
echo "journal: $(du -b "$journal" | cut -f1) bytes"
echo "recovery: $(awk -v a="$recover_start" -v b="$recover_end" 'BEGIN {printf "%.2f", b - a}') s"
