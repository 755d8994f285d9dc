#pragma once

#include <cstdint>
#include <string>

#include "platform/ProgramDirectory.h"

// The configuration data module: reads the refresh interval from config.ini
// in the program directory when it is created, and keeps it.
class TdmSystem {
  public:
    // Creation runs DataModuleCreate; an exception from it is shown by the
    // exception display and creation still completes, as a data module's
    // creation does.
    explicit TdmSystem(std::string programDirectory = ProgramDirectory());

    // Fills RefreshInterval from the configuration: 5 when absent or empty,
    // clamped to 5..30; a text that is no integer raises EConvertError.
    void DataModuleCreate();

    // Value of Key in Section of config.ini, or empty text; raises when the
    // file does not exist.
    std::string ReadConfigValue(const std::string& section, const std::string& key) const;

    int32_t RefreshInterval = 0;

  private:
    std::string programDirectory_;
};
