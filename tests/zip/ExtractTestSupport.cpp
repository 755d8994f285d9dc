#include "ExtractTestSupport.h"

#include <zlib.h>

#include <filesystem>

#include "DecoderTestSupport.h"
#include "ZipBuilder.h"
#include "ZipBytes.h"
#include "ZipFixtures.h"
#include "zip/UnZipper.h"
#include "zip/codec/ZipCrypt.h"

namespace extract {

namespace {

std::string Payload(const Entry& e, uint32_t crc) {
    if (e.payload) {
        return *e.payload + e.trailing;
    }
    std::string packed = e.method == 8 ? DeflateRaw(e.plain) : e.plain;
    packed += e.trailing;
    if (e.encrypt || !e.password.empty()) {
        packed = EncryptTraditional(e.password, packed, static_cast<uint8_t>(crc >> 24));
    }
    return packed;
}

void Fields(std::string& out, const Entry& e, uint32_t crc, const std::string& payload) {
    const uint16_t flags = (e.encrypt || !e.password.empty()) ? 1 : 0;
    Put16(out, flags);
    Put16(out, e.method);
    Put32(out, e.dosDateTime);
    Put32(out, crc);
    Put32(out, e.compressedSize.value_or(static_cast<uint32_t>(payload.size())));
    Put32(out, e.uncompressedSize.value_or(static_cast<uint32_t>(e.plain.size())));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
}

}  // namespace

std::string Build(const std::vector<Entry>& entries) {
    std::string out;
    std::string central;
    for (const auto& e : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t crc = e.crc.value_or(CrcOf(e.plain));
        const std::string payload = Payload(e, crc);
        out += "PK\x03\x04";
        Put16(out, 20);
        Fields(out, e, crc, payload);
        out += e.name;
        out += payload;
        central += "PK\x01\x02";
        Put16(central, e.madeBy);
        Put16(central, 20);
        Fields(central, e, crc, payload);
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, e.external);
        Put32(central, offset);
        central += e.name;
    }
    AppendDirectoryAndEnd(out, central, static_cast<uint32_t>(entries.size()));
    return out;
}

void Prepare(TUnZipper& zip, const std::string& archive, const std::string& dest) {
    zip.SetZipName(archive);
    zip.SetDestDir(dest);
    zip.RecreateDirs = true;
    zip.DoAll = true;
    zip.OverwriteMode = Always;
    zip.DoProcessMessages = false;
}

std::string ReadFile(const std::string& path) { return TempDir::ReadFile(path); }

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

uint32_t CrcOf(const std::string& data) {
    return static_cast<uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace extract
