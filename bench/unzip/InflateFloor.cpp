// The floor of one large entry's extraction: the build's inflate engine (or
// a plain copy for a stored entry), the CRC-32 and write(2) to a file, with
// 256 KB buffers and nothing else: no stages, no events, no 32 KB windows.
// Reads the first entry of a zip whose local header carries the sizes (or
// their zip64 extra field), checks the CRC against the header's.
// Usage: zuvo-inflate-floor <archive.zip> <output file>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ScopeExit.h"
#include "zip/base/Crc32.h"
#include "zip/codec/InflateEngine.h"

namespace {

constexpr size_t kBuffer = 256 * 1024;

uint64_t Le(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

struct TEntry {
    int method = 0;
    uint32_t crc = 0;
    uint64_t compressed = 0;
    off_t dataAt = 0;
};

TEntry ReadLocalHeader(int fd) {
    uint8_t h[30];
    if (pread(fd, h, sizeof h, 0) != static_cast<ssize_t>(sizeof h) || Le(h, 4) != 0x04034b50u) {
        throw std::runtime_error("no local header at the start");
    }
    TEntry e;
    e.method = static_cast<int>(Le(h + 8, 2));
    e.crc = static_cast<uint32_t>(Le(h + 14, 4));
    e.compressed = Le(h + 18, 4);
    const size_t nameLength = Le(h + 26, 2);
    const size_t extraLength = Le(h + 28, 2);
    e.dataAt = static_cast<off_t>(30 + nameLength + extraLength);
    std::vector<uint8_t> extra(extraLength);
    if (pread(fd, extra.data(), extraLength, static_cast<off_t>(30 + nameLength)) !=
        static_cast<ssize_t>(extraLength)) {
        throw std::runtime_error("short extra field");
    }
    for (size_t at = 0; at + 4 <= extraLength;) {
        const uint64_t id = Le(&extra[at], 2);
        const size_t size = Le(&extra[at + 2], 2);
        if (id == 1 && size >= 16 && at + 4 + size <= extraLength) {
            e.compressed = Le(&extra[at + 12], 8);  // after the uncompressed size
        }
        at += 4 + size;
    }
    return e;
}

void WriteAll(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        const ssize_t n = write(fd, data, count);
        if (n <= 0) {
            throw std::runtime_error("write failed");
        }
        data += n;
        count -= static_cast<size_t>(n);
    }
}

// Reads the next slice of the entry's data; 0 at its end.
size_t ReadSome(int fd, uint8_t* into, uint64_t& left) {
    const size_t want = left < kBuffer ? static_cast<size_t>(left) : kBuffer;
    const ssize_t n = want == 0 ? 0 : read(fd, into, want);
    if (n < 0) {
        throw std::runtime_error("read failed");
    }
    left -= static_cast<uint64_t>(n);
    return static_cast<size_t>(n);
}

uint32_t Store(int in, int out, uint64_t left) {
    std::vector<uint8_t> buffer(kBuffer);
    uint32_t crc = kCrcPreset;
    while (const size_t n = ReadSome(in, buffer.data(), left)) {
        crc = Update_CRC_buff(crc, buffer.data(), n);
        WriteAll(out, buffer.data(), n);
    }
    return ~crc;
}

uint32_t Inflate(int in, int out, uint64_t left) {
    std::unique_ptr<IInflateEngine> engine = MakeInflateEngine();
    engine->Begin();
    std::vector<uint8_t> input(kBuffer);
    std::vector<uint8_t> output(kBuffer);
    uint32_t crc = kCrcPreset;
    TInflateBuffers b{input.data(), 0, output.data(), kBuffer};
    bool lastInput = false;
    bool ended = false;
    while (!ended) {
        if (b.availIn == 0 && !lastInput) {
            b.availIn = static_cast<uint32_t>(ReadSome(in, input.data(), left));
            b.nextIn = input.data();
            lastInput = b.availIn == 0;
        }
        ended = engine->Step(b, lastInput);
        if (!ended && lastInput && b.availOut > 0) {
            throw std::runtime_error("truncated");
        }
        const size_t produced = kBuffer - b.availOut;
        if (b.availOut == 0 || ended) {
            crc = Update_CRC_buff(crc, output.data(), produced);
            WriteAll(out, output.data(), produced);
            b.nextOut = output.data();
            b.availOut = kBuffer;
        }
    }
    return ~crc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <archive.zip> <output file>\n", argv[0]);
        return 2;
    }
    const int in = open(argv[1], O_RDONLY);
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        std::perror("open");
        return 1;
    }
    ScopeExit closeBoth([in, out] {
        close(in);
        close(out);
    });
    try {
        const TEntry e = ReadLocalHeader(in);
        if (lseek(in, e.dataAt, SEEK_SET) != e.dataAt) {
            throw std::runtime_error("seek failed");
        }
        const uint32_t crc =
            e.method == 8 ? Inflate(in, out, e.compressed) : Store(in, out, e.compressed);
        if (crc != e.crc) {
            std::fprintf(stderr, "CRC mismatch\n");
            return 1;
        }
    } catch (const std::exception& x) {
        std::fprintf(stderr, "%s\n", x.what());
        return 1;
    }
    std::printf("%s\n", MakeInflateEngine()->Name());
    return 0;
}
