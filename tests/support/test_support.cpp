#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace norvelle::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "norvelle-test-XXXXXX").string();
  char* made = mkdtemp(tmpl.data());
  if (made) path_ = made;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  // Read-only folders made by tests must be writable again to be removed.
  for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
    if (e.is_directory(ec)) chmod(e.path().c_str(), 0700);
  chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string TestDataDir() {
  const char* d = std::getenv("NORVELLE_TEST_DATA");
  return d ? d : NORVELLE_TEST_SOURCE_DIR;
}

}  // namespace norvelle::test
