#pragma once

#include <string>
#include <thread>

#include "UpdateServer.h"

// The project's update server, serving one file on a loopback port of the
// system's choosing from a thread of its own until the object goes away.
class ServingThread {
  public:
    explicit ServingThread(const std::string& packagePath)
        : server_(Settings(packagePath), [](const std::string&) {}) {
        server_.Listen();
        thread_ = std::thread([this] { server_.Run(); });
    }
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;
    ~ServingThread() {
        server_.Stop();
        thread_.join();
    }

    int Port() const { return server_.Port(); }

  private:
    static TServerSettings Settings(const std::string& packagePath) {
        TServerSettings settings;
        settings.port = 0;
        settings.packagePath = packagePath;
        return settings;
    }

    TUpdateServer server_;
    std::thread thread_;
};
