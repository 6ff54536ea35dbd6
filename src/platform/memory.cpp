#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace norvelle {

void PreferLargePages(void* p, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
  const std::uintptr_t b = (reinterpret_cast<std::uintptr_t>(p) + kLarge - 1) & ~(kLarge - 1);
  const std::uintptr_t e = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kLarge - 1);
  if (e > b) ::madvise(reinterpret_cast<void*>(b), e - b, MADV_HUGEPAGE);
#else
  (void)p;
  (void)bytes;
#endif
}

}  // namespace norvelle
