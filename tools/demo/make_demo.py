#!/usr/bin/env python3
"""Prepares a demo installation and the files of an update for it.

make_demo.py [--windows-browser EXE] PROGRAM_DIR PACKAGE_DIR

PROGRAM_DIR receives config.ini and an old Browser.exe (a tiny program that
prints its version and notes in browser.log that it ran); PACKAGE_DIR
receives a newer Browser.exe and a file in a subdirectory, ready for
zuvo-pack to sign into the package an update server hands out.

The browsers are shell scripts, or with --windows-browser copies of the
Windows stand-in EXE (zuvo-demo-browser.exe), each with its version
appended, which is where that program reads it from.
"""
import os
import sys

BROWSER = """#!/bin/sh
# zuvo browser stand-in: prints its version and records that it started.
echo "zuvo browser {version}"
echo "zuvo browser {version} started" >> "$(dirname "$0")/browser.log"
"""


def write_browser(path, version, windows_browser):
    if windows_browser:
        with open(windows_browser, "rb") as f:
            program = f.read()
        with open(path, "wb") as f:
            f.write(program + b"\nversion=" + version.encode() + b"\n")
    else:
        with open(path, "w") as f:
            f.write(BROWSER.format(version=version))
    os.chmod(path, 0o755)


def main():
    args = sys.argv[1:]
    windows_browser = None
    if args[:1] == ["--windows-browser"]:
        windows_browser, args = args[1], args[2:]
    if len(args) != 2:
        sys.exit(__doc__)
    program_dir, package_dir = args
    os.makedirs(program_dir, exist_ok=True)
    with open(os.path.join(program_dir, "config.ini"), "w", newline="\r\n") as f:
        f.write("[OprationInfo]\nRefreshInterval=10\n")
    write_browser(os.path.join(program_dir, "Browser.exe"), "1.0", windows_browser)
    os.makedirs(os.path.join(package_dir, "plugins"), exist_ok=True)
    write_browser(os.path.join(package_dir, "Browser.exe"), "2.0", windows_browser)
    with open(os.path.join(package_dir, "plugins", "readme.txt"), "w") as f:
        f.write("zuvo browser 2.0 plugins\n" * 200)


if __name__ == "__main__":
    main()
