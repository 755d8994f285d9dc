#include "System.h"

#include "WorkflowTexts.h"
#include "platform/Exception.h"
#include "platform/ExceptionDisplay.h"
#include "platform/FileOps.h"
#include "platform/IniFile.h"
#include "platform/IntConvert.h"

namespace {

constexpr int32_t kDefaultInterval = 5;
constexpr int32_t kMaxInterval = 30;

}  // namespace

TdmSystem::TdmSystem(std::string programDirectory)
    : programDirectory_(std::move(programDirectory)) {
    try {
        DataModuleCreate();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TdmSystem::DataModuleCreate() {
    const std::string value = ReadConfigValue("OprationInfo", "RefreshInterval");
    RefreshInterval = TryStrToInt(value).value_or(kDefaultInterval);
    // Each comparison converts afresh, so a text that is no integer raises
    // here after the fallback above was stored.
    if (value.empty()) {
        RefreshInterval = kDefaultInterval;
    } else if (StrToInt(value) < kDefaultInterval) {
        RefreshInterval = kDefaultInterval;
    } else if (StrToInt(value) > kMaxInterval) {
        RefreshInterval = kMaxInterval;
    } else {
        RefreshInterval = StrToInt(value);
    }
}

std::string TdmSystem::ReadConfigValue(const std::string& section, const std::string& key) const {
    const std::string path = programDirectory_ + "config.ini";
    if (!FileExists(path)) {
        throw Exception(kConfigMissingText);
    }
    constexpr size_t kBufferChars = 2048;
    return GetPrivateProfileString(section, key, "", kBufferChars - 1, path);
}
