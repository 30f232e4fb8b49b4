# Shared by the scripts: where things are, and the Wine set-up.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Configures and builds one preset; the Windows one first needs its Qt. With
# --quiet the build's own output shows only when it fails.
build_preset() {
    local preset=$1 log
    if [[ $preset == windows-mingw ]]; then
        bash "$root/scripts/setup-qt-mingw.sh" || return 1
    fi
    if [[ ${2:-} != --quiet ]]; then
        cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"
        return
    fi
    log=$(mktemp)
    if cmake --preset "$preset" >"$log" 2>&1 && cmake --build --preset "$preset" >>"$log" 2>&1; then
        rm -f "$log"
        return 0
    fi
    tail -n 30 "$log"
    rm -f "$log"
    echo "The $preset build FAILED." >&2
    return 1
}

# Creates the throw-away prefix once and keeps one wineserver for the whole run,
# so that parallel tests neither race to create it nor pay for its start each time.
start_wine() {
    local dir="$root/build/$1"
    WINEPREFIX="$dir/wineprefix" /usr/lib/wine/wineserver -p 2>/dev/null || true # may run already
    WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all "$dir/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
    trap 'WINEPREFIX="'"$dir"'/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
}
