#include "app/manuals.h"

namespace norvelle {

std::string ManualsFolder(std::string_view program_path) {
  // "/" is never a trail byte of CP932, so a byte search is safe here.
  const std::size_t bin = program_path.rfind('/');
  if (bin == std::string_view::npos || bin == 0) return {};
  const std::size_t prefix = program_path.rfind('/', bin - 1);
  if (prefix == std::string_view::npos) return {};
  return std::string(program_path.substr(0, prefix)) + "/share/doc/norvelle";
}

}  // namespace norvelle
