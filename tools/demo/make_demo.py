#!/usr/bin/env python3
"""Prepares a demo installation and the files of an update for it.

make_demo.py PROGRAM_DIR PACKAGE_DIR

PROGRAM_DIR receives config.ini and an old Browser.exe (a tiny program that
prints its version and notes that it ran); PACKAGE_DIR receives a newer
Browser.exe and a file in a subdirectory, ready for zuvo-pack to sign into
the package an update server hands out.
"""
import os
import sys

BROWSER = """#!/bin/sh
# zuvo browser stand-in: prints its version and records that it started.
echo "zuvo browser {version}"
echo "zuvo browser {version} started" >> "$(dirname "$0")/browser.log"
"""


def write_browser(path, version):
    with open(path, "w") as f:
        f.write(BROWSER.format(version=version))
    os.chmod(path, 0o755)


def main():
    program_dir, package_dir = sys.argv[1], sys.argv[2]
    os.makedirs(program_dir, exist_ok=True)
    with open(os.path.join(program_dir, "config.ini"), "w", newline="\r\n") as f:
        f.write("[OprationInfo]\nRefreshInterval=10\n")
    write_browser(os.path.join(program_dir, "Browser.exe"), "1.0")
    os.makedirs(os.path.join(package_dir, "plugins"), exist_ok=True)
    write_browser(os.path.join(package_dir, "Browser.exe"), "2.0")
    with open(os.path.join(package_dir, "plugins", "readme.txt"), "w") as f:
        f.write("zuvo browser 2.0 plugins\n" * 200)


if __name__ == "__main__":
    main()
