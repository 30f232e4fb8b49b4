# Shared by the scripts: where things are, and the Wine set-up.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Configures and builds one preset; the Windows one first needs its Qt.
build_preset() {
    if [[ $1 == windows-mingw ]]; then
        bash "$root/scripts/setup-qt-mingw.sh" || return 1
    fi
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
}

# Creates the throw-away prefix once and keeps one wineserver for the whole run,
# so that parallel tests neither race to create it nor pay for its start each time.
start_wine() {
    local dir="$root/build/$1"
    WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all "$dir/wine-run.sh" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$dir/wineprefix" /usr/lib/wine/wineserver -p
    trap 'WINEPREFIX="'"$dir"'/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
}
