#include "platform/folders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace norvelle {

std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return names;
  while (dirent* e = readdir(dir.get())) {
    std::string name = e->d_name;
    if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix))
      continue;
    struct stat st {};
    if (stat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool FolderIsEmpty(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  if (!dir) return errno == ENOENT;
  while (dirent* e = readdir(dir.get())) {
    std::string name = e->d_name;
    if (name != "." && name != "..") return false;
  }
  return true;
}

bool CopyFileBytes(const std::string& from, const std::string& to) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(from.c_str(), "rb"), std::fclose);
  if (!in) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(to.c_str(), "wb"), std::fclose);
  if (!out) return false;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in.get())) > 0;)
    if (std::fwrite(buf, 1, n, out.get()) != n) return false;
  if (std::ferror(in.get())) return false;
  return std::fclose(out.release()) == 0;
}

}  // namespace norvelle
