// Helpers shared by the tests: temporary folders, file bytes, CP932 literals.
#pragma once

#include <string>

namespace norvelle::test {

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole file as bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Writes bytes as they are (no line-end translation). Returns success.
bool WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Folder of the test sources (set by CTest), for data files.
std::string TestDataDir();

}  // namespace norvelle::test
