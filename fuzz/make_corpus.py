#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/.

Archives come from the test data in tests/data; decoder and cipher seeds are the
entries of those archives in the targets' own input layouts; the TCP seeds
are peer scripts. Running it again rewrites the same files.
"""
import os
import shutil
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.environ.get("ZUVO_TESTDATA_DIR", os.path.join(HERE, "..", "tests", "data"))
ZIPS = os.path.join(DATA, "zip")
CORPUS = os.path.join(HERE, "corpus")
LARGEST_SEED = 64 * 1024

PASSWORDS = {
    "crypto/zipcrypto_stored_dd.zip": b"a",
    "crypto/zipcrypto_deflated_dd.zip": b"a",
    "crypto/zipcrypto_stored_8files.zip": b"test",
    "crypto/zipcrypto_deflated_nodd.zip": b"12345678",
    "crypto/zipcrypto_deflated_dd_2files.zip": b"12345678",
    "crypto/zipcrypto_stored_dd_2files.zip": b"pass1",
    "crypto/zipcrypto_mixed_plain_encrypted.zip": b"foo",
    "crypto/zipcrypto_deflated_dd_libzip.zip": b"1234",
    "crypto/zipcrypto_empty_entry.zip": b"1",
    "crypto/zipcrypto_noentropy_mtime.zip": b"no-entropy",
    "crypto/zipcrypto_zip64_sizes_only.zip": b"Shu1an@2019GTS",
}


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def central_entries(blob):
    """(flags, method, dostime, crc, csize, usize, local offset) per central header."""
    end = blob.rfind(b"PK\x05\x06")
    if end < 0 or end + 22 > len(blob):
        return []
    count, _, cd_offset = struct.unpack_from("<HII", blob, end + 10)
    # Archives with junk in front store offsets relative to the first header.
    shift = 0
    if blob[cd_offset:cd_offset + 4] != b"PK\x01\x02":
        cd_size = struct.unpack_from("<I", blob, end + 12)[0]
        shift = end - cd_size - cd_offset
    at = cd_offset + shift
    out = []
    for _ in range(count):
        if blob[at:at + 4] != b"PK\x01\x02":
            break
        (flags, method, dostime, crc, csize, usize, nlen, xlen, clen) = struct.unpack_from(
            "<HHIIIIHHH", blob, at + 8)
        offset = struct.unpack_from("<I", blob, at + 42)[0] + shift
        out.append((flags, method, dostime, crc, csize, usize, offset))
        at += 46 + nlen + xlen + clen
    return out


def entry_data(blob, offset, csize):
    if blob[offset:offset + 4] != b"PK\x03\x04":
        return None
    nlen, xlen = struct.unpack_from("<HH", blob, offset + 26)
    start = offset + 30 + nlen + xlen
    return blob[start:start + csize]


def archive_seeds():
    for folder in sorted(os.listdir(ZIPS)):
        path = os.path.join(ZIPS, folder)
        if not os.path.isdir(path):
            continue
        for root, _, files in os.walk(path):
            for name in sorted(files):
                full = os.path.join(root, name)
                if os.path.getsize(full) < LARGEST_SEED:
                    rel = os.path.relpath(full, ZIPS).replace(os.sep, "_")
                    shutil.copyfile(full, os.path.join(CORPUS, "fuzz_zip_directory", rel))


def selector_of(method, flags):
    if method in (0, 1, 2, 3, 4, 5):
        return method
    if method == 6:
        return 6 | (((flags >> 1) & 3) << 3)
    if method == 8:
        return 7
    return None


def decoder_seeds():
    seen = 0
    for folder in ("legacy", "misc"):
        for name in sorted(os.listdir(os.path.join(ZIPS, folder))):
            blob = open(os.path.join(ZIPS, folder, name), "rb").read()
            for index, (flags, method, _, _, csize, usize, offset) in enumerate(central_entries(blob)):
                selector = selector_of(method, flags)
                if selector is None or flags & 1 or csize > 16384 or usize > 1 << 22:
                    continue
                data = entry_data(blob, offset, csize)
                if not data:
                    continue
                seed = struct.pack("<BIB", selector, usize, 0) + data
                write("fuzz_decoders", "%s_%d" % (name, index), seed)
                if selector == 7:
                    write("fuzz_inflate_engines", "%s_%d" % (name, index), data)
                seen += 1
    # Small hand-made entries for every selector, so each decoder has a start.
    text = b"the quick brown fox jumps over the lazy dog " * 40
    raw = zlib.compressobj(6, zlib.DEFLATED, -15)
    deflated = raw.compress(text) + raw.flush()
    write("fuzz_decoders", "deflate_text", struct.pack("<BIB", 7, len(text), 0) + deflated)
    write("fuzz_inflate_engines", "deflate_text", deflated)
    write("fuzz_inflate_engines", "deflate_text_cut", deflated[: len(deflated) // 2])
    write("fuzz_decoders", "stored_text", struct.pack("<BIB", 0, len(text), 0) + text)
    write("fuzz_decoders", "stored_claims_more", struct.pack("<BIB", 0, len(text), 120) + text)
    return seen


def crypt_seeds():
    for rel, password in sorted(PASSWORDS.items()):
        blob = open(os.path.join(ZIPS, rel), "rb").read()
        for index, (flags, method, dostime, crc, csize, usize, offset) in enumerate(central_entries(blob)):
            if not flags & 1 or csize > 16384:
                continue
            data = entry_data(blob, offset, csize)
            if data is None:
                continue
            # Bit 8 of the flags tells the target to inflate the plain text.
            flags = (flags & ~0x0100) | (0x0100 if method == 8 else 0)
            seed = struct.pack("<HII", flags, dostime, crc) + bytes([len(password)]) + password + data
            write("fuzz_crypt_header", "%s_%d" % (os.path.basename(rel), index), seed)


def script(*events):
    out = b""
    for event in events:
        if isinstance(event, int):
            out += bytes([event])
            continue
        while event:
            piece, event = event[:0xFC], event[0xFC:]
            out += bytes([len(piece)]) + piece
    return out


def tcp_seeds():
    reply = b"ok_down_load_update_browser\r\n"
    package = open(os.path.join(ZIPS, "misc", "comment_entry_single.zip"), "rb").read()
    for mode in range(6):
        write("fuzz_tcp_read", "updater_%d" % mode, bytes([mode, 0]) + script(reply, package))
    write("fuzz_tcp_read", "split_reply", bytes([0, 0x41]) + script(b"ok_down", 0xFF, b"_load_update_browser\r", b"\nPK", 0xFE, b"\x03\x04"))
    write("fuzz_tcp_read", "timeout_first", bytes([0, 0]) + script(0xFF, reply, 0xFD))
    write("fuzz_tcp_read", "lines_lf", bytes([1, 0]) + script(b"one\ntwo\r\nthree\r\r\n", 0xFF, b"four"))
    write("fuzz_tcp_read", "lines_short_cap", bytes([2, 0x88]) + script(b"0123456789abcdef\r\nxy\r", b"\n"))
    write("fuzz_tcp_read", "counted", bytes([3, 0x43]) + script(b"\x00\x00\x00\x05hello", 0xFE, b"rest"))
    write("fuzz_tcp_read", "counted_big", bytes([3, 0]) + script(b"\x00\x10\x00\x00abc"))
    write("fuzz_tcp_read", "bytes", bytes([4, 0x4F]) + script(bytes(range(1, 200)), 0xFD))
    write("fuzz_tcp_read", "odd_terminator", bytes([5, 0]) + script(b"xxa", b"bab", b"yy"))


def zlib_seeds():
    texts = [b"", b"a", b"hello, world\n" * 50, bytes(range(256)) * 20, b"\0" * 70000]
    for i, text in enumerate(texts):
        write("fuzz_zlib_helpers", "zlib_%d" % i, b"\x00" + zlib.compress(text, 6))
        raw = zlib.compressobj(9, zlib.DEFLATED, -15)
        write("fuzz_zlib_helpers", "raw_%d" % i, bytes([1 | (i << 1)]) + raw.compress(text) + raw.flush())


def main():
    # Seeds written here are rewritten; "learned-" files are small inputs
    # that long runs found (kept from a minimising merge) and stay.
    for target in ("fuzz_zip_directory", "fuzz_decoders", "fuzz_crypt_header", "fuzz_tcp_read",
                   "fuzz_zlib_helpers", "fuzz_inflate_engines"):
        folder = os.path.join(CORPUS, target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if not name.startswith("learned-"):
                os.remove(os.path.join(folder, name))
    archive_seeds()
    count = decoder_seeds()
    crypt_seeds()
    tcp_seeds()
    zlib_seeds()
    print("decoder seeds from archives:", count, file=sys.stderr)


if __name__ == "__main__":
    main()
