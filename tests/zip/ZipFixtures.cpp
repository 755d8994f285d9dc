#include "ZipFixtures.h"

#include <zlib.h>

namespace fixtures {

uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

Entry Stored(const std::string& name, const std::string& data) {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
}

std::string Zip64Extra(const std::vector<uint64_t>& values) {
    std::string block;
    Put16(block, 1);
    Put16(block, static_cast<uint32_t>(values.size() * 8));
    for (uint64_t v : values) {
        Put64(block, v);
    }
    return block;
}

namespace {

std::string LocalHeader(const Entry& e) {
    std::string h;
    Put32(h, 0x04034B50);
    Put16(h, 20);
    Put16(h, e.flags);
    Put16(h, e.method);
    Put32(h, e.dosDateTime);
    Put32(h, Crc(e.data));
    Put32(h, static_cast<uint32_t>(e.data.size()));
    Put32(h, static_cast<uint32_t>(e.data.size()));
    Put16(h, static_cast<uint32_t>(e.name.size()));
    Put16(h, static_cast<uint32_t>(e.localExtra.size()));
    return h + e.name + e.localExtra;
}

std::string CentralHeader(const Entry& e, uint32_t offset) {
    std::string h;
    Put32(h, 0x02014B50);
    Put16(h, e.madeBy);
    Put16(h, 20);
    Put16(h, e.flags);
    Put16(h, e.method);
    Put32(h, e.dosDateTime);
    Put32(h, Crc(e.data));
    Put32(h, e.centralCompressed.value_or(static_cast<uint32_t>(e.data.size())));
    Put32(h, e.centralUncompressed.value_or(static_cast<uint32_t>(e.data.size())));
    Put16(h, static_cast<uint32_t>(e.name.size()));
    Put16(h, static_cast<uint32_t>(e.centralExtra.size() + e.phantomCentralExtra));
    Put16(h, static_cast<uint32_t>(e.comment.size()));
    Put16(h, 0);
    Put16(h, 0);
    Put32(h, 0x20);
    Put32(h, e.centralOffset.value_or(offset));
    return h + e.name + e.centralExtra + e.comment;
}

}  // namespace

std::string Build(const Archive& a) {
    std::string out = a.prefix;
    std::vector<uint32_t> offsets;
    const size_t base = a.offsetsIncludePrefix ? 0 : a.prefix.size();
    for (const Entry& e : a.entries) {
        offsets.push_back(static_cast<uint32_t>(out.size() - base));
        out += LocalHeader(e) + e.data;
    }
    const auto centralStart = static_cast<uint32_t>(out.size() - base);
    for (size_t i = 0; i < a.entries.size(); ++i) {
        out += CentralHeader(a.entries[i], offsets[i]);
    }
    const auto centralSize = static_cast<uint32_t>(out.size() - base - centralStart);
    if (a.zip64Entries) {
        const auto recordAt = static_cast<uint64_t>(out.size() - base);
        Put32(out, 0x06064B50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, a.thisDisk);
        Put32(out, a.startDisk);
        Put64(out, *a.zip64Entries);
        Put64(out, *a.zip64Entries);
        Put64(out, centralSize);
        Put64(out, centralStart);
        Put32(out, 0x07064B50);
        Put32(out, 0);
        Put64(out, recordAt);
        Put32(out, 1);
    }
    const uint16_t count = a.numEntries.value_or(static_cast<uint16_t>(a.entries.size()));
    Put32(out, 0x06054B50);
    Put16(out, a.thisDisk);
    Put16(out, a.startDisk);
    Put16(out, count);
    Put16(out, count);
    Put32(out, centralSize);
    Put32(out, a.centralOffset.value_or(centralStart));
    Put16(out, static_cast<uint32_t>(a.comment.size()));
    return out + a.comment;
}

}  // namespace fixtures
