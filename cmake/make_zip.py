"""Packs the zip that Quiltara's installer ships and writes BUILDINFO and
SHA256SUMS beside it.

    make_zip.py <source folder> <name> <version> <Qt prefix or -> <zip> <name in zip>=<file or folder>...

The same inputs give the same bytes: the entries sorted by name, every one
dated at SOURCE_DATE_EPOCH or else at the time of the source's commit, with
fixed attributes and nothing from the file system beyond the files' bytes.
BUILDINFO, in the manner of Debian's .buildinfo, says what a rebuilder needs
to get those bytes again; it names no build folder and no time of building.
"""
import hashlib
import io
import os
import platform
import subprocess
import sys
import time
import zipfile
import zlib

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can carry
# The Debian packages whose files go into the programs: compiler, its
# runtime libraries, binutils, mingw-w64's headers, start-up code and import
# libraries.
TOOLCHAIN = ("binutils-mingw-w64-x86-64", "g++-mingw-w64-x86-64-posix",
             "gcc-mingw-w64-x86-64-posix", "gcc-mingw-w64-x86-64-posix-runtime",
             "mingw-w64-common", "mingw-w64-x86-64-dev")


def output(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return ""


def source_date_epoch(source):
    value = os.environ.get("SOURCE_DATE_EPOCH", "") or output("git", "-C", source, "log", "-1",
                                                              "--format=%ct")
    if not value:
        print("make_zip.py: no commit time; dating the entries 1980-01-01", file=sys.stderr)
    return int(value or 0)


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


def qt_source(prefix):
    # The cache's stamp: "source <package> <Debian version>" first.
    try:
        with open(os.path.join(prefix, "goz-qt.stamp")) as stamp:
            _, package, version = stamp.readline().split()
        return f"{package} (= {version})"
    except (OSError, ValueError):
        return f"unknown: {prefix} has no goz-qt.stamp"


def build_info(source, name, version, qt_prefix, epoch, files):
    commit = output("git", "-C", source, "rev-parse", "HEAD")
    tainted = []
    if not commit:
        commit = "unknown: the source is no git clone"
        tainted.append("source-without-commit")
    elif output("git", "-C", source, "status", "--porcelain", "--untracked-files=no"):
        tainted.append("uncommitted-changes")
    try:
        origin = platform.freedesktop_os_release().get("PRETTY_NAME", "unknown")
    except (OSError, AttributeError):  # no os-release, or a Python before 3.10
        origin = "unknown"
    fields = [("Format", "1.0"), ("Source", name), ("Version", version), ("Commit", commit),
              ("Build-Origin", origin),
              ("Build-Architecture", output("dpkg", "--print-architecture") or "unknown"),
              ("Host-Architecture", "x86_64-w64-mingw32")]
    if tainted:
        fields.append(("Build-Tainted-By", tainted))
    if qt_prefix != "-":
        # Qt builds its prefix into itself: a rebuild needs the same folder.
        fields += [("Qt-Source", qt_source(qt_prefix)), ("Qt-Prefix", qt_prefix)]
    fields.append(("Zip-Deflate",
                   f"Python {platform.python_version()}, zlib {zlib.ZLIB_RUNTIME_VERSION}"))
    fields.append(("Checksums-Sha256", [
        f"{hashlib.sha256(data).hexdigest()} {len(data)} {entry}" for entry, data in files]))
    depends = []
    for package in TOOLCHAIN:
        installed = output("dpkg-query", "-W", "-f=${Version}", package)
        depends.append(f"{package} (= {installed})" if installed else f"{package} (not installed)")
    fields.append(("Installed-Build-Depends", [line + "," for line in depends[:-1]] + depends[-1:]))
    fields.append(("Environment", [f'SOURCE_DATE_EPOCH="{epoch}"']))
    text = ""
    for key, value in fields:
        if isinstance(value, list):
            text += f"{key}:\n" + "".join(f" {line}\n" for line in value)
        else:
            text += f"{key}: {value}\n"
    return text


def main(source, name, version, qt_prefix, zip_path, *specs):
    epoch = source_date_epoch(source)
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    packed = io.BytesIO()
    programs = []
    with zipfile.ZipFile(packed, "w") as archive:
        for entry, path in sorted(entries(specs)):
            with open(path, "rb") as file:
                data = file.read()
            info = zipfile.ZipInfo(entry, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that unzip there keeps the modes below
            program = entry.endswith(".exe")
            info.external_attr = (0o100755 if program else 0o100644) << 16
            archive.writestr(info, data, compresslevel=9)
            if program:
                programs.append((entry, data))
    folder = os.path.dirname(zip_path)
    os.makedirs(folder, exist_ok=True)
    write_if_changed(zip_path, packed.getvalue())
    files = programs + [(os.path.basename(zip_path), packed.getvalue())]
    info = build_info(source, name, version, qt_prefix, epoch, files).encode()
    write_if_changed(os.path.join(folder, "BUILDINFO"), info)
    files.append(("BUILDINFO", info))
    lines = "".join(f"{hashlib.sha256(data).hexdigest()}  {entry}\n" for entry, data in files)
    write_if_changed(os.path.join(folder, "SHA256SUMS"), lines.encode())


if __name__ == "__main__":
    main(*sys.argv[1:])
