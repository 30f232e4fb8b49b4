#!/usr/bin/env bash
# Builds the Linux preset and runs the benchmarks; extra arguments go to the
# benchmark program (e.g. --benchmark_filter=ReadConfig).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bash "$root/scripts/setup-deps.sh"
cd "$root"
build_preset linux --quiet
exec "$root/build/linux/bench/goz_bench" "$@"
