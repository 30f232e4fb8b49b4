#!/usr/bin/env bash
# Checks of what Quiltara's packagers get, after the windows-mingw build and
# with its Wine prefix started (start_wine). The last line sums up.
#   check-package.sh reproducible   builds the two programs and the zip again,
#                                   in a folder on the other side of /usr, and
#                                   compares them byte for byte
#   check-package.sh signing        signs that second build with a throw-away
#                                   certificate, verifies and runs the signed programs
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

first="$root/build/windows-mingw"
# The linker orders some sections by the names of their input files, and the
# toolchain's lie below /usr: the second build goes where its path sorts on the
# other side of /usr from the first's, byte-wise as the linker compares. Named
# after the clone, so that clones on one machine do not share it, and
# otherwise than the first, so that no path can line up by chance.
if [[ $(printf '%s\n' "$first" /usr/ | LC_ALL=C sort | head -n 1) == /usr/ ]]; then
    rebuilds=/tmp
else
    rebuilds=/var/tmp
fi
rebuilds="$rebuilds/goz-rebuild-$(printf '%s' "$root" | sha256sum | cut -c1-12)"
second="$rebuilds/windows-mingw-second"
programs=(GoZBrushToQuiltara GoZInitQuiltara)
started=$SECONDS

fail() {
    echo "check-package.sh: $*" >&2
    exit 1
}

# Below each build folder: the build-tree programs (with debug info), the
# shipped ones, the zip and its sums.
compared=(bridge/GoZBrushToQuiltara.exe installer/GoZInitQuiltara.exe)
for program in "${programs[@]}"; do
    compared+=("shipped/$program.exe")
done
compared+=(package/BUILDINFO package/SHA256SUMS)

reproducible() {
    local log=$second.log file zip
    # ccache hands the compiler paths below its base folder as relative ones,
    # which no file prefix map then catches: the debug info would name the
    # clone's place as seen from each build folder.
    [[ -z ${CCACHE_BASEDIR:-} ]] || fail "unset CCACHE_BASEDIR, and build the first build again without it"
    rm -rf "$rebuilds"
    mkdir -p "$rebuilds"
    # Another time zone and umask too; the time of day differs anyway.
    if ! (umask 0027 && export TZ=Pacific/Kiritimati &&
        cmake --preset windows-mingw -B "$second" -DBUILD_TESTING=OFF &&
        cmake --build "$second" --target goz_zip) >"$log" 2>&1; then
        tail -n 30 "$log"
        fail "the second build FAILED (log: $log)"
    fi
    zip=$(cd "$first" && ls package/*.zip) || fail "the first build has no zip"
    for file in "${compared[@]}" "$zip"; do
        [[ -f $first/$file ]] || fail "the first build has no $file"
        cmp "$first/$file" "$second/$file" || fail "$file differs between the builds"
        # Neither the clone (with the first build folder) nor the second
        # build folder, plain or made into a symbol name.
        if grep -q -a -F -e "$root" -e "${root//[^a-zA-Z0-9]/_}" -e "$rebuilds" \
            -e "${rebuilds//[^a-zA-Z0-9]/_}" "$first/$file" "$second/$file"; then
            fail "$file names the build folder"
        fi
    done
    (cd "$first" && sha256sum "${compared[@]}" "$zip")
    echo "the second build, in $second, is identical"
    echo "identical, zip $(sha256sum <"$first/$zip" | cut -c1-64), second build $((SECONDS - started)) s"
}

signing() {
    [[ -f $second/CMakeCache.txt ]] || fail "no second build to sign: run the reproducible check first"
    keys=$(mktemp -d) || exit 1
    trap 'rm -rf "$keys"' EXIT
    # The password goes from file to file, never on a command line.
    if ! (umask 077 && openssl rand -hex 16 >"$keys/password" &&
        openssl req -x509 -newkey rsa:2048 -nodes -days 1 -keyout "$keys/key.pem" \
            -out "$keys/cert.pem" -subj "/CN=Quiltara GoZ throw-away test signer" \
            -addext extendedKeyUsage=codeSigning &&
        openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/sign.pfx" \
            -passout "file:$keys/password") >"$keys/openssl.log" 2>&1; then
        cat "$keys/openssl.log"
        fail "openssl made no certificate"
    fi
    if ! (cmake "$second" -DGOZ_SIGN_PKCS12="$keys/sign.pfx" \
        -DGOZ_SIGN_PASSWORD_FILE="$keys/password" &&
        cmake --build "$second" --target goz_zip) >"$second.sign.log" 2>&1; then
        tail -n 30 "$second.sign.log"
        fail "the signed build FAILED"
    fi
    grep -q -r -F -f "$keys/password" "$second" "$second.sign.log" &&
        fail "the password shows in the build folder or its output"
    mkdir "$keys/unzipped"
    (cd "$keys/unzipped" && cmake -E tar xf "$second"/package/*.zip) || fail "cannot unpack the zip"
    for program in "${programs[@]}"; do
        local signed="$second/shipped/$program.exe"
        osslsigncode verify -CAfile "$keys/cert.pem" -in "$signed" >"$keys/verify.log" 2>&1 || {
            cat "$keys/verify.log"
            fail "$program.exe: osslsigncode verify FAILED"
        }
        cmp "$signed" "$keys/unzipped/GoZApps/Quiltara/$program.exe" ||
            fail "$program.exe in the zip is not the signed one"
        # Less its signature, it is the unsigned program of the first build.
        if ! osslsigncode remove-signature -in "$signed" -out "$keys/$program.exe" >/dev/null ||
            ! cmp "$keys/$program.exe" "$first/shipped/$program.exe"; then
            fail "$program.exe less its signature is not the unsigned program"
        fi
        local output
        output=$("$first/wine-run.sh" "$signed" -v) || fail "the signed $program.exe FAILED under Wine"
        [[ $output == "$program Version : "* ]] || fail "the signed $program.exe printed: $output"
        echo "$program.exe: signed, verified, runs under Wine ($output)"
    done
    ln -s "$second"/package/*.zip "$second/package/BUILDINFO" "$keys/unzipped/"
    if ! (cd "$keys/unzipped" && sha256sum -c --quiet "$second/package/SHA256SUMS"); then
        fail "SHA256SUMS does not match the signed zip and programs or BUILDINFO"
    fi
    echo "both programs signed, verified, run under Wine, $((SECONDS - started)) s"
}

case ${1:-} in
reproducible | signing) "$1" ;;
*) fail "usage: check-package.sh reproducible|signing" ;;
esac
