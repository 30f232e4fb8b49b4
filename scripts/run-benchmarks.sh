#!/usr/bin/env bash
# Builds the Linux preset and runs the benchmarks; extra arguments go to the
# benchmark program (e.g. --benchmark_filter=ReadConfig).
#
#   bash scripts/run-benchmarks.sh             the Linux figures
#   bash scripts/run-benchmarks.sh --windows   beside them, the Windows hand-over under Wine
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bash "$root/scripts/setup-deps.sh"
cd "$root"
build_preset linux --quiet
if [[ ${1:-} == --windows ]]; then
    shift
    build_preset windows-mingw --quiet
    start_wine windows-mingw
    export GOZ_WINDOWS_BUILD="$root/build/windows-mingw"
fi
"$root/build/linux/bench/goz_bench" "$@"
