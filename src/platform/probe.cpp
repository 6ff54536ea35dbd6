#include "platform/probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace norvelle {

bool IsRegularFile(const std::string& native_path) {
  struct stat st;
  return ::stat(native_path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& native_path) {
  struct stat st;
  return !native_path.empty() && ::stat(native_path.c_str(), &st) == 0;
}

int ReadProblem(const std::string& native_path) {
  if (native_path.empty()) return ENOENT;
  // O_NONBLOCK: a FIFO without a writer must not hold the answer up.
  int fd = ::open(native_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat st;
  int err = 0;
  if (fstat(fd, &st) != 0) err = errno;
  else if (S_ISDIR(st.st_mode)) err = EISDIR;
  ::close(fd);
  return err;
}

int CreateProblem(const std::string& native_path) {
  if (native_path.empty()) return ENOENT;
  std::size_t slash = native_path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : native_path.substr(0, slash ? slash : 1);
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  if (::stat(native_path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (::access(native_path.c_str(), W_OK) != 0) return errno;
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return errno;
  // The write goes through a temporary file beside the target: try one.
  std::string tmp = folder + "/.norvelle-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(tmp.c_str());
  return 0;
}

std::string SystemReason(int err) { return std::strerror(err); }

bool WriteTextStream(int fd, const std::vector<std::string_view>& pieces, int& err) {
  std::string buf;
  auto flush = [&] {
    const char* p = buf.data();
    std::size_t n = buf.size();
    while (n > 0) {
      ssize_t w = ::write(fd, p, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        err = errno;
        return false;
      }
      p += w;
      n -= std::size_t(w);
    }
    buf.clear();
    return true;
  };
  for (std::string_view piece : pieces) {
    for (char c : piece) {
      if (c == '\n') buf += '\r';
      buf += c;
      if (buf.size() >= (1u << 16) && !flush()) return false;
    }
  }
  return flush();
}

std::string CurrentFolder() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return {};
  std::string out(cwd);
  std::free(cwd);
  return out;
}

}  // namespace norvelle
