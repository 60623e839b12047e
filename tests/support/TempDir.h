#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "zembla");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Helpers for files the tests make and inspect.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);
