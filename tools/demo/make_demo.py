#!/usr/bin/env python3
"""Prepares a demo installation and an update package for it.

make_demo.py PROGRAM_DIR PACKAGE_ZIP

PROGRAM_DIR receives config.ini and an old Browser.exe (a tiny program that
prints its version and notes that it ran); PACKAGE_ZIP becomes a zip package
with a newer Browser.exe and a file in a subdirectory, as an update server
would hand it out.
"""
import os
import stat
import sys
import zipfile

BROWSER = """#!/bin/sh
# zuvo browser stand-in: prints its version and records that it started.
echo "zuvo browser {version}"
echo "zuvo browser {version} started" >> "$(dirname "$0")/browser.log"
"""


def write_browser(path, version):
    with open(path, "w") as f:
        f.write(BROWSER.format(version=version))
    os.chmod(path, 0o755)


def add_file(archive, name, data, mode):
    info = zipfile.ZipInfo(name, date_time=(2026, 12, 1, 12, 0, 0))
    info.create_system = 3  # Unix, so the permission bits travel along
    info.external_attr = (stat.S_IFREG | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, data)


def main():
    program_dir, package = sys.argv[1], sys.argv[2]
    os.makedirs(program_dir, exist_ok=True)
    with open(os.path.join(program_dir, "config.ini"), "w", newline="\r\n") as f:
        f.write("[OprationInfo]\nRefreshInterval=10\n")
    write_browser(os.path.join(program_dir, "Browser.exe"), "1.0")
    with zipfile.ZipFile(package, "w") as archive:
        add_file(archive, "Browser.exe", BROWSER.format(version="2.0"), 0o755)
        add_file(archive, "plugins/readme.txt", "zuvo browser 2.0 plugins\n" * 200, 0o644)


if __name__ == "__main__":
    main()
