#include "net/SocketStack.h"

#include <algorithm>
#include <cctype>

#include "net/NetExceptions.h"
#include "net/SocketErrors.h"
#include "platform/IntConvert.h"

std::unique_ptr<TSocketStack> GlobalStack;
int StackUsers = 0;

namespace {

// Splits dotted text the way both IsIPv4Text and TextToAddress read it:
// three parts cut off at the first dot (a missing dot takes the whole rest
// and leaves nothing), the fourth part being whatever remains.
std::array<std::string, 4> SplitDotted(const std::string& text) {
    std::array<std::string, 4> parts;
    std::string rest = text;
    for (size_t i = 0; i < 3; ++i) {
        const size_t dot = rest.find('.');
        if (dot == std::string::npos) {
            parts[i] = rest;
            rest.clear();
        } else {
            parts[i] = rest.substr(0, dot);
            rest.erase(0, dot + 1);
        }
    }
    parts[3] = rest;
    return parts;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string TSocketStack::SocketErrorMessage(int number) { return FormatSocketError(number); }

TSocket TSocketStack::NewSocket(int type, int protocol) {
    const TSocket socket = CreateSocket(AF_INET_FAMILY, type, protocol);
    if (socket == INVALID_SOCKET) {
        throw EInvalidSocket("Cannot allocate socket.");
    }
    return socket;
}

std::string TSocketStack::HostToIP(const std::string& host) {
    if (EqualsIgnoringCase(host, "LOCALHOST")) {
        return "127.0.0.1";
    }
    if (IsIPv4Text(host)) {
        return host;
    }
    std::optional<std::string> ip = HostByName(host);
    if (!ip) {
        RaiseSocketFailure(LastError());
    }
    return *ip;
}

bool TSocketStack::IsIPv4Text(const std::string& text) {
    for (const std::string& part : SplitDotted(text)) {
        const std::optional<int32_t> value = TryStrToInt(part);
        if (!value || *value < 0 || *value > 255) {
            return false;
        }
    }
    return true;
}

TIPv4Bytes TSocketStack::TextToAddress(const std::string& text) {
    const std::array<std::string, 4> parts = SplitDotted(text);
    TIPv4Bytes bytes{};
    for (size_t i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(StrToInt(parts[i]));
    }
    return bytes;
}

std::string TSocketStack::AddressToText(const TIPv4Bytes& bytes) {
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

bool TSocketStack::CheckResult(int result, std::initializer_list<int> ignore) {
    if (result != SOCKET_ERROR) {
        return false;
    }
    const int number = LastError();
    if (std::find(ignore.begin(), ignore.end(), number) != ignore.end()) {
        return true;
    }
    RaiseSocketFailure(number);
}

void TSocketStack::RaiseSocketFailure(int number) {
    throw ESocketError(number, SocketErrorMessage(number));
}
