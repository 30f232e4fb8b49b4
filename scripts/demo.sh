#!/usr/bin/env bash
# The main job: builds the Linux programs and shows their command lines.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bash "$root/scripts/setup-deps.sh"
cd "$root"
build_preset linux >/dev/null
bin="$root/build/linux/sandbox/bin"
for program in GoZInitQuiltara GoZBrushToQuiltara; do
    for option in --version --help -x; do
        echo "\$ $program $option"
        "$bin/$program" "$option"
    done
done
