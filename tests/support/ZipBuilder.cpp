#include "ZipBuilder.h"

#include <zlib.h>

#include <stdexcept>

#include "ZipBytes.h"

namespace {

constexpr uint32_t kDosTime = (12u << 11) | (30u << 5);                  // 12:30:00
constexpr uint32_t kDosDate = ((2024u - 1980u) << 9) | (5u << 5) | 17u;  // 2024-05-17

}  // namespace

std::string DeflateRaw(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int r = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (r != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    out.resize(z.total_out);
    return out;
}

ZipBuilder& ZipBuilder::Add(Entry entry) {
    entries_.push_back(std::move(entry));
    return *this;
}

ZipBuilder& ZipBuilder::Add(const std::string& name, const std::string& data, bool deflate) {
    return Add(Entry{name, data, deflate, 0, false});
}

std::string ZipBuilder::Build() const {
    std::string out;
    std::string central;
    for (const auto& e : entries_) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                   static_cast<uInt>(e.data.size())));
        if (e.breakCrc) {
            crc ^= 0x5A5A5A5A;
        }
        const std::string packed = e.deflate ? DeflateRaw(e.data) : e.data;
        const uint32_t method = e.deflate ? 8 : 0;
        out += "PK\x03\x04";
        Put16(out, 20);
        Put16(out, 0);
        Put16(out, method);
        Put16(out, kDosTime);
        Put16(out, kDosDate);
        Put32(out, crc);
        Put32(out, static_cast<uint32_t>(packed.size()));
        Put32(out, static_cast<uint32_t>(e.data.size()));
        Put16(out, static_cast<uint32_t>(e.name.size()));
        Put16(out, 0);
        out += e.name;
        out += packed;

        central += "PK\x01\x02";
        Put16(central, e.unixMode ? (3u << 8) | 20u : 20u);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, method);
        Put16(central, kDosTime);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(packed.size()));
        Put32(central, static_cast<uint32_t>(e.data.size()));
        Put16(central, static_cast<uint32_t>(e.name.size()));
        Put16(central, 0);  // extra
        Put16(central, 0);  // comment
        Put16(central, 0);  // disk
        Put16(central, 0);  // internal attributes
        Put32(central, e.unixMode ? (e.unixMode | 0100000u) << 16 : 0u);
        Put32(central, offset);
        central += e.name;
    }
    AppendDirectoryAndEnd(out, central, static_cast<uint32_t>(entries_.size()));
    return out;
}
