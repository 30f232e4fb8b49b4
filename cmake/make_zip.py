"""Packs the zip that Quiltara's installer ships and writes SHA256SUMS beside it.

    make_zip.py <source folder> <zip> <name in zip>=<file or folder>...

The same inputs give the same bytes: the entries sorted by name, every one
dated at SOURCE_DATE_EPOCH or else at the time of the source's commit, with
fixed attributes and nothing from the file system beyond the files' bytes.
"""
import hashlib
import io
import os
import subprocess
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can carry


def entry_time(source):
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not value:
        try:
            value = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                                   capture_output=True, text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            print("make_zip.py: no commit time; dating the entries 1980-01-01", file=sys.stderr)
    return time.gmtime(max(int(value or 0), ZIP_EPOCH))[:6]


def entries(specs):
    for spec in specs:
        name, path = spec.split("=", 1)
        if not os.path.isdir(path):
            yield name, path
            continue
        for folder, _, files in os.walk(path):
            for file in files:
                full = os.path.join(folder, file)
                yield name + "/" + os.path.relpath(full, path).replace(os.sep, "/"), full


def write_if_changed(path, data):
    try:
        with open(path, "rb") as old:
            if old.read() == data:
                return
    except FileNotFoundError:
        pass
    with open(path + ".new", "wb") as new:
        new.write(data)
    os.replace(path + ".new", path)


def main(source, zip_path, *specs):
    stamp = entry_time(source)
    packed = io.BytesIO()
    sums = []
    with zipfile.ZipFile(packed, "w") as archive:
        for name, path in sorted(entries(specs)):
            with open(path, "rb") as file:
                data = file.read()
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that unzip there keeps the modes below
            program = name.endswith(".exe")
            info.external_attr = (0o100755 if program else 0o100644) << 16
            archive.writestr(info, data, compresslevel=9)
            if program:
                sums.append((name, hashlib.sha256(data).hexdigest()))
    folder = os.path.dirname(zip_path)
    os.makedirs(folder, exist_ok=True)
    write_if_changed(zip_path, packed.getvalue())
    sums.append((os.path.basename(zip_path), hashlib.sha256(packed.getvalue()).hexdigest()))
    lines = "".join(f"{digest}  {name}\n" for name, digest in sums)
    write_if_changed(os.path.join(folder, "SHA256SUMS"), lines.encode())


if __name__ == "__main__":
    main(*sys.argv[1:])
