#include "net/NetBuffer.h"

#include <cstring>
#include <string_view>

#include "net/NetExceptions.h"

void TNetBuffer::Append(const void* bytes, int64_t count) {
    Seek(0, TSeekOrigin::soEnd);
    WriteBuffer(bytes, count);
}

void TNetBuffer::Remove(int64_t count) {
    const int64_t size = Size();
    if (count > size) {
        throw ENotEnoughDataInBuffer("Not enough data in buffer.");
    }
    if (count <= 0) {
        return;
    }
    if (count == size) {
        SetSize(0);
        return;
    }
    std::memmove(Memory(), Memory() + count, static_cast<size_t>(size - count));
    SetSize(size - count);
}

int64_t TNetBuffer::Find(const std::string& needle, int64_t from) {
    const std::string_view haystack(reinterpret_cast<const char*>(Memory()),
                                    static_cast<size_t>(Size()));
    if (from < 0 || static_cast<size_t>(from) > haystack.size()) {
        return -1;
    }
    const size_t at = haystack.find(needle, static_cast<size_t>(from));
    return at == std::string_view::npos ? -1 : static_cast<int64_t>(at);
}

std::string TNetBuffer::Head(int64_t count) {
    return std::string(reinterpret_cast<const char*>(Memory()), static_cast<size_t>(count));
}
