#include "platform/folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace norvelle {

std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code unreadable;  // an entry that cannot be looked at is no file to copy
    if (name.ends_with(suffix) && it->is_regular_file(unreadable)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace norvelle
