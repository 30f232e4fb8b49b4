#!/usr/bin/env bash
# The main job: a GoZ hand-over in the sandboxed GoZ public folder of the build
# tree. The installer checks Quiltara's configuration, then the bridge runs
# twice: first Quiltara (the stand-in) is not running and the bridge starts
# it, then it runs and the bridge's message reaches it.
#
#   bash scripts/demo.sh             with the Linux programs
#   bash scripts/demo.sh --windows   with the Windows programs under Wine
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
windows=false
case ${1:-} in
--windows) windows=true ;;
"") ;;
*)
    echo "usage: bash scripts/demo.sh [--windows]" >&2
    exit 2
    ;;
esac
bash "$root/scripts/setup-deps.sh"
cd "$root"
preset=linux
$windows && preset=windows-mingw
build_preset $preset --quiet
build="$root/build/$preset"
bin="$build/sandbox/bin"
app="$build/sandbox/Pixologic/GoZApps/Quiltara"

# The stand-in runs from a copy of its own, so the bridge's search finds no
# other one. On Linux its own temporary folder keeps its lock file and socket
# apart from any other Quiltara of this user; under Wine the throw-away prefix
# does.
work="$(mktemp -d /tmp/goz-demo.XXXXXX)"
cleanup() {
    if $windows; then
        WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
log="$work/Quiltara.log"
export QUILTARA_STANDIN_STDOUT=off QUILTARA_STANDIN_MESSAGES=1 QUILTARA_STANDIN_SECONDS=60

if $windows; then
    # A stand-in left running by an interrupted run would take the first message.
    WINEPREFIX="$build/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    start_wine $preset
    trap cleanup EXIT # start_wine set its own
    # Where a user would have it, on drive C: of the prefix.
    host_dir="$build/wineprefix/drive_c/Program Files/Quiltara"
    host='C:\Program Files\Quiltara\Quiltara.exe'
    mkdir -p "$host_dir"
    cp "$build/tools/QuiltaraStandIn.exe" "$host_dir/Quiltara.exe"
    windows_path() { echo "Z:${1//\//\\}"; }
    export QUILTARA_STANDIN_LOG="$(windows_path "$log")"
    # Wine's own exit status keeps 8 bits; cmd shows a program's whole 32-bit code.
    printf '@echo off\r\n"%%~1"\r\necho %%ERRORLEVEL%%\r\n' >"$work/exitcode.bat"
    exe=.exe
    success=-1
    no_path=32767
    not_connected=233
else
    host="$work/Quiltara"
    cp "$build/tools/QuiltaraStandIn" "$host"
    export TMPDIR="$work" QUILTARA_STANDIN_LOG="$log"
    exe=
    success=255     # -1 in 8 bits
    no_path=254     # 32767, moved off 255
    not_connected=107 # ENOTCONN
fi

# What an exit code of the bridge stands for.
meaning() {
    case $1 in
    "$success") echo "the bridge's -1: delivered, no failure" ;;
    "$no_path") echo "the bridge's 32767: Quiltara's path cannot be read" ;;
    "$not_connected") echo "a Quiltara runs, but nothing listened on its single-instance socket in time: nothing was delivered" ;;
    0) echo "an option was answered" ;;
    *) echo "system error code $1" ;;
    esac
}

# Runs a program of the sandbox and reports its exit code.
run() {
    local code=0
    echo "\$ $1$exe"
    if $windows; then
        # cmd's own status is no use: the batch file prints the program's.
        code=$("$build/wine-run.sh" cmd /c "$(windows_path "$work/exitcode.bat")" \
            "$(windows_path "$bin/$1$exe")" | tr -d '\r' | tail -n 1) || true
    else
        "$bin/$1" || code=$?
    fi
    if [[ $1 == GoZBrushToQuiltara ]]; then
        echo "  exit code $code ($(meaning "$code"))"
    else
        echo "  exit code $code"
    fi
    last=$code
}

# Waits up to 20 s for the stand-in to log `line`.
await() {
    for _ in $(seq 200); do
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
echo "Quiltara (stand-in): $host"
echo
echo "1. Quiltara's GoZ_Config.txt names the stand-in; the installer checks it."
mkdir -p "$app"
printf 'PATH = "%s"\n' "$host" >"$app/GoZ_Config.txt"
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
[[ $last == "$success" ]] || fail "the bridge did not start Quiltara"
await "lock: held" || fail "Quiltara did not start"
show_log 1
echo
echo "3. Quiltara runs and holds the single-instance lock: the bridge sends it the marker."
seen=$(wc -l <"$log")
run GoZBrushToQuiltara
[[ $last == "$success" ]] || fail "the message did not reach Quiltara"
await "exit: messages" || fail "Quiltara did not receive the message"
show_log $((seen + 1))
if (($(grep -cE '^(argv|commandline): ' "$log") != 1)); then
    fail "a second Quiltara was started"
fi
echo
echo "The message reached the running Quiltara, which acknowledged it; no second Quiltara was started."
