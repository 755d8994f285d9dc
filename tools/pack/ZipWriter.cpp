#include "ZipWriter.h"

#include <zlib.h>

#include <limits>
#include <stdexcept>

namespace {

constexpr uint32_t kVersionNeeded = 20;
constexpr uint32_t kMadeByUnix = (3u << 8) | 20u;
constexpr uint32_t kRegularFile = 0100000;
constexpr uint32_t kUtf8NameFlag = 1u << 11;
// 2026-01-01 00:00 in MS-DOS form: packages do not depend on when they
// were made, so the same folder packs to the same bytes.
constexpr uint32_t kDosDate = ((2026u - 1980u) << 9) | (1u << 5) | 1u;
constexpr uint32_t kDosTime = 0;

// Appends `bytes` bytes of `value`, least significant first, as every
// zip field is stored.
void PutLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

void Le16(std::string& out, uint32_t v) { PutLe(out, v, 2); }
void Le32(std::string& out, uint32_t v) { PutLe(out, v, 4); }

uint32_t Narrow(size_t value, const char* what) {
    if (value >= std::numeric_limits<uint32_t>::max()) {
        throw std::runtime_error(std::string(what) + " of 4 GiB or more needs zip64");
    }
    return static_cast<uint32_t>(value);
}

// Raw deflate data, as a zip entry holds it: zlib's own format minus its
// 2-byte header and 4-byte Adler-32 trailer (no preset dictionary is used).
std::string Deflate(const std::string& data) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::string wrapped(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(wrapped.data()), &length,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK ||
        length < 6) {
        throw std::runtime_error("zlib could not deflate an entry");
    }
    return wrapped.substr(2, length - 6);
}

// The fields local and central headers share, from "version needed" to
// the name length.
std::string CommonFields(uint32_t method, uint32_t crc, uint32_t packed, uint32_t size,
                         uint32_t nameLength) {
    std::string fields;
    Le16(fields, kVersionNeeded);
    Le16(fields, kUtf8NameFlag);
    Le16(fields, method);
    Le16(fields, kDosTime);
    Le16(fields, kDosDate);
    Le32(fields, crc);
    Le32(fields, packed);
    Le32(fields, size);
    Le16(fields, nameLength);
    return fields;
}

}  // namespace

void TZipWriter::Add(const std::string& name, const std::string& data, uint32_t mode,
                     TMethod method) {
    const uint32_t size = Narrow(data.size(), "an entry");
    const std::string packed = method == TMethod::Deflated ? Deflate(data) : data;
    const uint32_t crc =
        static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
    const std::string fields =
        CommonFields(method == TMethod::Deflated ? 8 : 0, crc, Narrow(packed.size(), "an entry"),
                     size, Narrow(name.size(), "a name"));
    const uint32_t offset = Narrow(out_.size(), "an archive");

    out_ += "PK\x03\x04";
    out_ += fields;
    Le16(out_, 0);  // no extra field
    out_ += name;
    out_ += packed;

    central_ += "PK\x01\x02";
    Le16(central_, kMadeByUnix);
    central_ += fields;
    Le16(central_, 0);  // extra field
    Le16(central_, 0);  // comment
    Le16(central_, 0);  // disk
    Le16(central_, 0);  // internal attributes
    Le32(central_, (kRegularFile | (mode & 0777)) << 16);
    Le32(central_, offset);
    central_ += name;
    ++count_;
}

std::string TZipWriter::Finish() {
    const uint32_t directoryOffset = Narrow(out_.size(), "an archive");
    const uint32_t directorySize = Narrow(central_.size(), "a directory");
    if (count_ >= 0xffff) {
        throw std::runtime_error("65535 entries or more need zip64");
    }
    out_ += central_;
    out_ += "PK\x05\x06";
    Le16(out_, 0);  // this disk
    Le16(out_, 0);  // disk of the directory
    Le16(out_, count_);
    Le16(out_, count_);
    Le32(out_, directorySize);
    Le32(out_, directoryOffset);
    Le16(out_, 0);  // comment
    Narrow(out_.size(), "an archive");
    return std::move(out_);
}
