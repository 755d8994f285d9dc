// The traditional cipher's password check over arbitrary bytes, as the
// driver runs it: header from a stream (which may be short), the check byte
// against the entry's CRC or time, then the entry's data decrypted and, for
// an accepted password, stored out through the stages.
//
// Input layout: flags (2 bytes), DOS date-time (4), CRC (4), password
// length (1) and password, then the 12-byte header and the entry's data.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "platform/MemoryStream.h"
#include "zip/codec/Inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInputCursor in(data, size);
    const auto flags = static_cast<uint16_t>(in.Byte() | (in.Byte() << 8));
    const uint32_t dosDateTime = in.Le32();
    const uint32_t crc = in.Le32();
    const std::string password = in.Bytes(in.Byte() % 80);
    const std::string rest = in.Rest();

    TMemoryStream stream;
    stream.WriteBuffer(rest.data(), static_cast<int64_t>(rest.size()));
    stream.SetPosition(0);
    TZipCrypt cipher;
    uint8_t check = 0;
    try {
        check = cipher.DecryptTheHeader(password, stream);
    } catch (const Exception&) {
        return 0;  // fewer than 12 bytes: the short read is reported
    }
    if (stream.Position() != static_cast<int64_t>(TZipCrypt::kHeaderSize)) {
        __builtin_trap();
    }
    // The pointer form must agree with the stream form.
    TZipCrypt again;
    if (again.DecryptHeaderByteByPtr(password, rest.data()) != check) {
        __builtin_trap();
    }
    if (check != PasswordCheckByte(flags, dosDateTime, crc)) {
        return 0;
    }
    static TFuzzStages* stages = new TFuzzStages();
    const std::string body = rest.substr(TZipCrypt::kHeaderSize);
    stages->cipher = &cipher;
    stages->Begin(body, static_cast<int64_t>(body.size()), static_cast<int64_t>(body.size()));
    try {
        if ((flags & 0x0100) != 0) {
            Inflate(*stages);
        } else {
            UnStore(*stages);
        }
    } catch (const Exception&) {
    }
    stages->cipher = nullptr;
    return 0;
}
