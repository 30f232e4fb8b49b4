#!/bin/sh
# Copies of the stand-in Quiltara that another user could change, for the
# bridge's refusals, made where chown and chmod are at hand (under Wine,
# inside the prefix): $1 the folder to make, $2 the stand-in, $3 the suffix of
# programs. Only root can give a file away: without it those copies are left
# out. Wine shows no group, so a group's write is left out there.
set -eu
rm -rf "$1"
for name in group-writable everyone-writable others-file others-folder; do
    mkdir -p "$1/$name"
    cp "$2" "$1/$name/Quiltara$3"
done
chmod -R go-w "$1"
chmod o+w "$1/everyone-writable/Quiltara$3"
if [ -z "$3" ]; then
    chmod g+w "$1/group-writable/Quiltara$3"
else
    rm -r "$1/group-writable"
fi
if [ "$(id -u)" = 0 ]; then
    chown nobody "$1/others-file/Quiltara$3" "$1/others-folder"
else
    rm -r "$1/others-file" "$1/others-folder"
fi
