// A write step that stands in for a disk that fills up, for the whole-file
// writes' fault-injection seam.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/whole_file.h"

namespace norvelle::test {

// Takes `room` bytes in all, then fails with ENOSPC; short writes on the way.
inline WriteStep FullAfter(std::size_t room) {
  auto left = std::make_shared<std::size_t>(room);
  return [left](int fd, const void* data, std::size_t size) -> ssize_t {
    if (*left == 0) {
      errno = ENOSPC;
      return -1;
    }
    const std::size_t take = std::min(size, *left);
    *left -= take;
    return ::write(fd, data, take);
  };
}

}  // namespace norvelle::test
