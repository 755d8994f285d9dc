#pragma once

#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away. Path() ends in "/".
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Writes `bytes` to Path() + name and returns the full path.
    std::string WriteFile(const std::string& name, const std::string& bytes) const;
    static std::string ReadFile(const std::string& fullPath);

  private:
    std::string path_;
};
