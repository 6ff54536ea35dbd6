#include "io/document_io.h"

#include "platform/carry.h"
#include "platform/files.h"

namespace norvelle {

bool DocumentIO::Read(FileRole role, const std::string& cp932_path, std::string& text) {
  const bool found = ReadFile(role, cp932_path, text);
  if (Recorded(role) && !cp932_path.empty()) reads_.push_back({role, NameToNative(cp932_path), found});
  return found;
}

bool DocumentIO::ReadFile(FileRole, const std::string& cp932_path, std::string& text) {
  return ReadTextFile(cp932_path, text);
}

}  // namespace norvelle
