#include "ZipBytes.h"

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Put64(std::string& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

void AppendDirectoryAndEnd(std::string& out, const std::string& central, uint32_t entries) {
    const auto centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    out += "PK\x05\x06";
    Put16(out, 0);  // this disk
    Put16(out, 0);  // the directory's disk
    Put16(out, entries);
    Put16(out, entries);
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);  // comment
}
