#!/usr/bin/env bash
# Every test of both builds: Linux, Linux under ASan and UBSan, Windows under Wine.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bash "$root/scripts/setup-deps.sh" || exit 1
cd "$root"

status=0
results=()
for preset in linux linux-asan windows-mingw; do
    echo "=== $preset"
    if ! build_preset "$preset"; then
        results+=("$preset: build FAILED")
        status=1
        continue
    fi
    if [[ $preset == windows-mingw ]]; then
        start_wine "$preset"
    fi
    repeat=()
    if [[ $preset == windows-mingw ]]; then
        # Under Wine and load, bridges of the burst into a closing Quiltara
        # have ended without delivering: a wait on a pipe closed unanswered
        # read as a timeout (mended), and once a bridge that never ran (the
        # harness now says so and starts it again). While that is watched, a
        # failed test gets one more run; its first failure still shows.
        repeat=(--repeat until-pass:2)
    fi
    if ctest --preset "$preset" "${repeat[@]}"; then
        results+=("$preset: passed")
    else
        results+=("$preset: FAILED")
        status=1
    fi
    if [[ $preset == windows-mingw ]]; then
        # The zip built again elsewhere must come out the same; then signed.
        checked=$(mktemp)
        for check in reproducible signing; do
            echo "=== $preset $check"
            if bash "$root/scripts/check-package.sh" "$check" | tee "$checked"; then
                results+=("$preset $check: passed: $(tail -n 1 "$checked")")
            else
                results+=("$preset $check: FAILED")
                status=1
            fi
        done
        rm -f "$checked"
    fi
done
if [[ -z ${GOZ_SKIP_FUZZ:-} ]]; then
    echo "=== fuzz"
    if bash "$root/scripts/run-fuzzers.sh"; then
        results+=("fuzz: nothing found")
    else
        results+=("fuzz: FAILED")
        status=1
    fi
fi
if [[ -z ${GOZ_SKIP_FORMAT:-} ]]; then
    echo "=== clang-format"
    if git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror; then
        results+=("clang-format: clean")
    else
        results+=("clang-format: FAILED")
        status=1
    fi
fi
echo
printf '%s\n' "${results[@]}"
exit $status
