#!/usr/bin/env bash
# Runs one fuzz target: its seeds and regression cases first, then new
# inputs for a bounded time. Exit 0 when nothing was found; otherwise the
# fuzzer's report and where the input that found it was written.
#   run.sh TARGET SECONDS WORK SEED_DIR REGRESSION_DIR
# New inputs that reach new code are kept in WORK/corpus for the next run.
set -uo pipefail
target=$1 seconds=$2 work=$3 seeds=$4 regressions=$5
name=$(basename "$target")
mkdir -p "$work/corpus" "$work/findings"
inputs=("$work/corpus" "$seeds")
[ -d "$regressions" ] && inputs+=("$regressions")

# A fixed seed: the same inputs are tried in the same order for as long as
# the time allows. The pictures' and the library's warnings go to the log.
"$target" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "${inputs[@]}" >"$work/log" 2>&1
rc=$?
if [ "$rc" -ne 0 ]; then
    grep -v -e '^#[0-9]' -e '^Corrupt JPEG' -e '^Premature end' "$work/log" | tail -n 80
    echo "FAIL $name: exit code $rc; the input is in $work/findings/ (add it to $regressions/ as a regression case)" >&2
    exit 1
fi
# The figures: executions, speed, coverage (edges) and features reached.
done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1)
echo "$name: ${done_line:-no DONE line}"
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/log"
