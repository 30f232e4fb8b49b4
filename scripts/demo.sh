#!/usr/bin/env bash
# The main job: a GoZ hand-over in the sandboxed GoZ public folder of the build
# tree. The installer checks Quiltara's configuration, then the bridge runs
# twice: first Quiltara (the stand-in) is not running and the bridge starts
# it, then it runs and the bridge's message reaches it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bash "$root/scripts/setup-deps.sh"
cd "$root"
build_preset linux >/dev/null
build="$root/build/linux"
bin="$build/sandbox/bin"
app="$build/sandbox/Pixologic/GoZApps/Quiltara"

# The stand-in runs from a copy of its own, so the bridge's search finds no
# other one; its own temporary folder keeps its lock file and socket apart
# from any other Quiltara of this user.
work="$(mktemp -d /tmp/goz-demo.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$build/tools/QuiltaraStandIn" "$work/Quiltara"
log="$work/Quiltara.log"
export TMPDIR="$work"
export QUILTARA_STANDIN_LOG="$log" QUILTARA_STANDIN_STDOUT=off
export QUILTARA_STANDIN_MESSAGES=1 QUILTARA_STANDIN_SECONDS=60

# What an exit status of the bridge stands for; Linux keeps 8 bits of it.
meaning() {
    case $1 in
    255) echo "the bridge's -1: delivered, no failure" ;;
    254) echo "the bridge's 32767: Quiltara's path cannot be read" ;;
    107) echo "ENOTCONN: a Quiltara runs, but nobody holds the single-instance lock; nothing was delivered" ;;
    0) echo "an option was answered" ;;
    *) echo "system error code $1" ;;
    esac
}

# Runs a program of the sandbox and reports its exit code.
run() {
    local code=0
    echo "\$ $1"
    "$bin/$1" || code=$?
    if [[ $1 == GoZBrushToQuiltara ]]; then
        echo "  exit code $code ($(meaning "$code"))"
    else
        echo "  exit code $code"
    fi
    last=$code
}

# Waits up to 10 s for the stand-in to log `line`.
await() {
    for _ in $(seq 100); do
        grep -qxF -- "$1" "$log" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "  the stand-in did not log \"$1\"" >&2
    return 1
}

# Prints the stand-in's log lines from number $1 on.
show_log() {
    tail -n "+$1" "$log" | sed 's/^/  Quiltara: /'
}

fail() {
    echo "Demonstration FAILED: $1" >&2
    exit 1
}

echo "GoZ public folder: $build/sandbox/Pixologic"
echo "Quiltara (stand-in): $work/Quiltara"
echo
echo "1. Quiltara's GoZ_Config.txt names the stand-in; the installer checks it."
mkdir -p "$app"
printf 'PATH = "%s"\n' "$work/Quiltara" >"$app/GoZ_Config.txt"
sed 's/^/  GoZ_Config.txt: /' "$app/GoZ_Config.txt"
run GoZInitQuiltara
if [[ -s $app/GoZ_InstallLog.txt ]]; then
    sed 's/^/  GoZ_InstallLog.txt: /' "$app/GoZ_InstallLog.txt"
    fail "the installer reported an error"
fi
echo "  GoZ_InstallLog.txt is empty: no error"
echo
echo "2. Quiltara is not running: the bridge starts it with the GoZ marker."
run GoZBrushToQuiltara
((last == 255)) || fail "the bridge did not start Quiltara"
await "lock: held" || fail "Quiltara did not start"
show_log 1
echo
echo "3. Quiltara runs and holds the single-instance lock: the bridge sends it the marker."
seen=$(wc -l <"$log")
run GoZBrushToQuiltara
((last == 255)) || fail "the message did not reach Quiltara"
await "exit: messages" || fail "Quiltara did not receive the message"
show_log $((seen + 1))
if (($(grep -c '^argv: ' "$log") != 1)); then
    fail "a second Quiltara was started"
fi
echo
echo "The message reached the running Quiltara, which acknowledged it; no second Quiltara was started."
