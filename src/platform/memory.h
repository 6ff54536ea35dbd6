// Memory hints for the run's few large buffers (source text, element list,
// body): asks the system to back them with large pages, so that filling them
// takes a fraction of the page faults. Only a hint: nothing changes when the
// system declines, and buffers under a large page get no hint.
#pragma once

#include <cstddef>

namespace norvelle {

void PreferLargePages(void* p, std::size_t bytes);

}  // namespace norvelle
