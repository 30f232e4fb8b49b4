#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for GOZ_FUZZ_SECONDS (default 60)
# from its seed corpus; any crash, leak or sanitizer report fails the run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$root"
seconds="${GOZ_FUZZ_SECONDS:-60}"
build_preset fuzz >/dev/null
ctest --preset fuzz >/dev/null
work="$root/build/fuzz/runs"
for seeds in "$root"/fuzz/corpus/*/; do
    name="$(basename "$seeds")"
    mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
    echo "--- $name: ${seconds}s"
    "$root/build/fuzz/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/$name/artifacts/" \
        "$work/$name/corpus" "$seeds" >"$work/$name/log" 2>&1 || {
        tail -40 "$work/$name/log"
        echo "$name: FAILED (log: $work/$name/log)"
        exit 1
    }
    grep -E '^stat::number_of_executed_units' "$work/$name/log" || true
done
