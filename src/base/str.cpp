#include "base/str.h"

#include <string>
#include <unordered_map>

#include "base/map.h"

namespace norvelle {

char g_shared_empty[1] = {0};

CStrArray_base<64>& LongKeyTable() {
  static CStrArray_base<64> table;
  return table;
}

std::uint32_t LongKeyIndex(std::string_view key) {
  static std::unordered_map<std::string, std::uint32_t> where;
  auto it = where.find(std::string(key));
  if (it != where.end()) return it->second;
  CStrArray_base<64>& t = LongKeyTable();
  t.Add().Assign(key.data(), key.size());
  where.emplace(std::string(key), t.count() - 1);
  return t.count() - 1;
}

}  // namespace norvelle
