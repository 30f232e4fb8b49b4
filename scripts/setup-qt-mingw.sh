#!/usr/bin/env bash
# Builds Qt 5 Core and Network for 64-bit Windows, statically, with mingw-w64
# from Debian's own qtbase source package, once: into a cache outside the clone
# (GOZ_QT_MINGW_PREFIX, default /opt/goz/qt-5.15.8-mingw-static). A stamp there
# records the source version, the compiler and the flags; while it matches,
# this does nothing. The scripts that need this Qt call it.
set -euo pipefail

prefix="${GOZ_QT_MINGW_PREFIX:-/opt/goz/qt-5.15.8-mingw-static}"
package=qtbase-opensource-src
sources_file=/etc/apt/sources.list.d/goz-qt-source.sources
flags=(-xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -release -static
    -static-runtime -opensource -confirm-license -nomake examples -nomake tests -no-gui
    -no-widgets -no-opengl -no-dbus -no-icu -no-openssl -no-pkg-config -qt-zlib -qt-pcre
    -qt-doubleconversion)
# What is built, and the parts of src/ whose compilations the progress counts.
targets=(sub-corelib sub-network sub-winmain sub-rcc)
parts=(tools/bootstrap tools/moc tools/rcc tools/tracegen 3rdparty/pcre2 corelib network winmain)

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi

started=$SECONDS
say() {
    local elapsed=$((SECONDS - started))
    printf '[qt-mingw %d:%02d] %s\n' $((elapsed / 60)) $((elapsed % 60)) "$*"
}

# Qt's configure tests decide by the compiler's thread model: it must be posix.
compiler_version() {
    x86_64-w64-mingw32-g++ --version | head -n 1
}

source_version() {
    apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}

stamp_text() {
    printf 'source %s %s\ncompiler %s\nflags %s\n' "$package" "$1" "$(compiler_version)" "${flags[*]}"
}

# Up to date when the compiler and flags match and the source is the version
# apt would fetch; without a deb-src entry apt cannot tell, so the stamp's counts.
stamp="$prefix/goz-qt.stamp"
if [[ -f $stamp ]]; then
    known=$(source_version)
    [[ -n $known ]] || known=$(sed -n "s/^source $package //p" "$stamp")
    if [[ $(stamp_text "$known") == "$(cat "$stamp")" ]]; then
        exit 0
    fi
    say "the Qt for mingw in $prefix is out of date: rebuilding"
fi

if [[ $(x86_64-w64-mingw32-g++ -v 2>&1 | sed -n 's/^Thread model: //p') != posix ]]; then
    "${sudo_cmd[@]}" update-alternatives --set x86_64-w64-mingw32-g++ /usr/bin/x86_64-w64-mingw32-g++-posix
    "${sudo_cmd[@]}" update-alternatives --set x86_64-w64-mingw32-gcc /usr/bin/x86_64-w64-mingw32-gcc-posix
fi

work="$prefix.work"
log="$work.log"
fail() {
    say "FAILED: $1; the last lines of $log:"
    tail -n 40 "$log" || true
    exit 1
}

say "Qt 5 for mingw is not built yet: building it into $prefix (12 to 15 minutes on 2 cores; the log is $log)"
parent=$(dirname "$prefix")
if ! mkdir -p "$parent" 2>/dev/null || [[ ! -w $parent ]]; then
    "${sudo_cmd[@]}" mkdir -p "$parent"
    "${sudo_cmd[@]}" chown "$(id -u):$(id -g)" "$parent"
fi
rm -rf "$work" "$prefix"
mkdir -p "$work"
: >"$log"

say "fetching Debian's $package source"
if [[ ! -f $sources_file ]]; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb-src\nURIs: http://deb.debian.org/debian-security\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$codename" "$codename" "$codename" | "${sudo_cmd[@]}" tee "$sources_file" >/dev/null
fi
"${sudo_cmd[@]}" apt-get update -q >>"$log" 2>&1 || fail "apt-get update"
version=$(source_version)
[[ -n $version ]] || fail "apt knows no source of $package"
(cd "$work" && apt-get source -q "$package=$version") >>"$log" 2>&1 || fail "apt-get source"
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
[[ -n $src ]] || fail "no unpacked source in $work"

say "configuring $package $version"
mkdir -p "$work/build"
(cd "$work/build" && "$src/configure" -prefix "$prefix" "${flags[@]}") >>"$log" 2>&1 ||
    fail "configure"
(cd "$work/build" && mkdir -p src && cd src && ../bin/qmake -o Makefile "$src/src/src.pro" &&
    make qmake_all) >>"$log" 2>&1 || fail "qmake"

# Each part's Makefile lists its objects; the build's log counts them off.
compiled() { grep -E '(gcc|g\+\+) .*-c ' "$1" | grep -cv -- '-header' || true; }
total=0
for part in "${parts[@]}"; do
    makefile="$work/build/src/$part/Makefile"
    [[ -f $makefile.Release ]] && makefile=$makefile.Release
    n=$(awk '/^OBJECTS *=/ { f = 1 } f { print } f && !/\\$/ { exit }' "$makefile" |
        tr ' ' '\n' | grep -c '\.o$' || true)
    total=$((total + n))
done
say "building QtCore and QtNetwork: $total files to compile"
build_log="$work/make.log"
(cd "$work/build/src" && make -j"$(nproc)" "${targets[@]}") >"$build_log" 2>&1 &
builder=$!
shown=-1
while kill -0 "$builder" 2>/dev/null; do
    done_count=$(compiled "$build_log")
    if ((done_count != shown)); then
        say "compiled $done_count/$total files"
        shown=$done_count
    fi
    sleep 20
done
status=0
wait "$builder" || status=$?
cat "$build_log" >>"$log"
((status == 0)) || fail "make"
say "compiled $(compiled "$build_log")/$total files"

say "installing into $prefix"
installs=(sub-corelib-install_subtargets sub-network-install_subtargets
    sub-winmain-install_subtargets sub-moc-install_subtargets sub-rcc-install_subtargets
    sub-tracegen-install_subtargets sub-3rdparty-pcre2-install_subtargets sub-zlib-install_subtargets)
(cd "$work/build" && make install_mkspecs sub-qmake-qmake-aux-pro-install_subtargets &&
    make -C src "${installs[@]}") >>"$log" 2>&1 || fail "install"

# A program that links this Qt statically ships these texts beside it.
mkdir -p "$prefix/licenses"
cp "$src/LICENSE.LGPLv3" "$src/LICENSE.GPL3" "$prefix/licenses/"
cp "$src/src/3rdparty/pcre2/LICENCE" "$prefix/licenses/LICENSE.pcre2"
cp "$src/src/3rdparty/double-conversion/LICENSE" "$prefix/licenses/LICENSE.double-conversion"
cp "$src/src/3rdparty/zlib/LICENSE" "$prefix/licenses/LICENSE.zlib"
stamp_text "$version" >"$stamp"
rm -rf "$work"
say "done: $(du -sh "$prefix" | cut -f1) in $prefix"
