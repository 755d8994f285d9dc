#!/usr/bin/env python3
"""Writes the benchmark archives (once; existing ones are kept).

large_deflated.zip  one entry of ~512 MiB, deflated (level 6)
large_stored.zip    one entry of ~512 MiB, stored
small_files.zip     20,000 files of 200 B to 6 KB in 100 directories, deflated
The data is reproducible: a seeded generator of word-like text and
incompressible runs; deflate shrinks it to about two thirds.
"""
import os
import random
import sys
import zipfile

MIB = 1 << 20


def text_block(rng, size):
    words = [
        "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
        for _ in range(4096)
    ]
    out = []
    length = 0
    while length < size:
        if rng.random() < 0.08:
            chunk = rng.randbytes(rng.randint(64, 512))
        else:
            chunk = (" ".join(rng.choice(words) for _ in range(12)) + "\n").encode()
        out.append(chunk)
        length += len(chunk)
    return b"".join(out)[:size]


def write_large(path, method, total):
    rng = random.Random(512)
    blocks = [text_block(rng, 4 * MIB) for _ in range(8)]
    with zipfile.ZipFile(path, "w", compression=method, compresslevel=6,
                         allowZip64=True) as zf:
        with zf.open("large.bin", "w", force_zip64=True) as out:
            written = 0
            i = 0
            while written < total:
                block = blocks[i % len(blocks)]
                # Vary each block a little so that repeats are not free.
                block = bytes([i & 0xFF]) + block[1:]
                out.write(block)
                written += len(block)
                i += 1


def write_small(path, count):
    rng = random.Random(20000)
    pool = text_block(rng, 8 * MIB)
    with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=6) as zf:
        for n in range(count):
            size = rng.randint(200, 6000)
            start = rng.randint(0, len(pool) - size)
            zf.writestr(f"dir{n % 100:03d}/file{n:05d}.txt", pool[start:start + size])


def main():
    out_dir = sys.argv[1]
    mib = int(sys.argv[2]) if len(sys.argv) > 2 else 512
    os.makedirs(out_dir, exist_ok=True)
    jobs = [
        ("large_deflated.zip", lambda p: write_large(p, zipfile.ZIP_DEFLATED, mib * MIB)),
        ("large_stored.zip", lambda p: write_large(p, zipfile.ZIP_STORED, mib * MIB)),
        ("small_files.zip", lambda p: write_small(p, 20000)),
    ]
    for name, make in jobs:
        path = os.path.join(out_dir, name)
        if not os.path.exists(path):
            print(f"writing {path}", flush=True)
            make(path + ".part")
            os.rename(path + ".part", path)


if __name__ == "__main__":
    main()
