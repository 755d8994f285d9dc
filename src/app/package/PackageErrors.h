#pragma once

#include "platform/Exception.h"

// Raised for every reason a package, its signature or a key is refused; the
// message names the reason for the log and for tests, never for the user
// (the user sees the one installation-failure box).
class EPackageRefused : public Exception {
  public:
    using Exception::Exception;
};
