#include "platform/output_target.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

namespace norvelle {

namespace {

constexpr std::string_view kTempMark = ".norvelle-tmp-";
constexpr int kMaxLinks = 40;  // as the kernel's own limit
constexpr std::time_t kStaleAfter = 60;

// A whole decimal number; false for anything else.
bool ParseNumber(std::string_view s, long& n) {
  if (s.empty() || s.size() > 9) return false;
  n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  return true;
}

// Names that stand for a descriptor of this process: replacing what they
// point at would replace the file the shell redirected (or a pipe's name).
bool StreamName(const std::string& p, int& fd) {
  static const struct {
    const char* name;
    int fd;
  } kStd[] = {{"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}};
  for (const auto& s : kStd)
    if (p == s.name) return fd = s.fd, true;
  std::string_view rest(p);
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                  std::string_view(own)}) {
    long n = 0;
    if (rest.substr(0, prefix.size()) == prefix && ParseNumber(rest.substr(prefix.size()), n))
      return fd = int(n), true;
  }
  return false;
}

std::string FolderOfNative(const std::string& p) {
  const std::size_t slash = p.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
}

// One step along a link: its target, relative ones taken from the link's folder.
bool FollowLink(std::string& p) {
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
  if (n < 0) return false;
  buf.resize(std::size_t(n));
  p = buf[0] == '/' ? buf : FolderOfNative(p) + "/" + buf;
  return true;
}

}  // namespace

bool ResolveOutputTarget(const std::string& native_path, OutputTarget& t) {
  t = OutputTarget{};
  std::string p = native_path;
  for (int hops = 0;; ++hops) {
    if (hops > kMaxLinks) return errno = ELOOP, false;
    if (StreamName(p, t.fd)) {
      t.kind = OutputTarget::Kind::kStream;
      t.path = p;
      return true;
    }
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      t.path = p;  // nothing there yet (perhaps a dangling link's target): created
      return true;
    }
    if (!S_ISLNK(st.st_mode)) break;
    if (!FollowLink(p)) return false;
  }
  // The folder's own links resolved, so the temporary lies beside the file.
  if (char* real = ::realpath(p.c_str(), nullptr)) {
    p = real;
    std::free(real);
  }
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return false;
  t.kind = S_ISREG(st.st_mode) ? OutputTarget::Kind::kFile : OutputTarget::Kind::kInPlace;
  t.path = p;
  return true;
}

std::string TempName(const std::string& folder, std::string_view name) {
  const std::string suffix = std::string(kTempMark) + std::to_string(::getpid()) + "-XXXXXX";
  // The whole name must stay within the file system's limit; the target's
  // own name may already use it all.
  const std::size_t room = NAME_MAX - 1 - suffix.size();
  if (name.size() > room) name = name.substr(0, room);
  return folder + "/." + std::string(name) + suffix;
}

namespace {

// ".NAME.norvelle-tmp-PID-XXXXXX", the last mark counting (NAME may hold one).
bool IsTempName(const char* entry) {
  if (entry[0] != '.') return false;
  const char* mark = std::strstr(entry, kTempMark.data());
  if (!mark) return false;
  const char* p = mark + kTempMark.size();
  while (const char* later = std::strstr(p, kTempMark.data())) p = later + kTempMark.size();
  const char* dash = std::strchr(p, '-');
  long pid = 0;
  return dash && ParseNumber(std::string_view(p, std::size_t(dash - p)), pid) && pid > 0 &&
         std::strlen(dash + 1) == 6;
}

// Whether this process has cleaned folder already (and marks it so).
bool CleanedBefore(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> cleaned;
  std::lock_guard<std::mutex> lock(mutex);
  return !cleaned.insert(folder).second;
}

}  // namespace

void HoldTemp(int fd) { ::flock(fd, LOCK_EX | LOCK_NB); }

void RemoveStaleTemps(const std::string& folder) {
  if (CleanedBefore(folder)) return;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const int dfd = ::dirfd(dir);
  const std::time_t now = std::time(nullptr);
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTempName(e->d_name)) continue;
    const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    // A lock we get is one no writer holds; a fresh file may be a writer's
    // that has not taken its lock yet.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kStaleAfter &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(dfd, e->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

void TakeOwnerAndMode(int fd, const struct stat* old) {
  if (!old) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return;
  }
  mode_t mode = old->st_mode & 07777;
  struct stat now;
  bool kept = ::fstat(fd, &now) == 0 && now.st_uid == old->st_uid && now.st_gid == old->st_gid;
  // Root keeps both; a user may keep a group it belongs to.
  if (!kept) kept = ::fchown(fd, old->st_uid, old->st_gid) == 0;
  if (!kept) mode &= ~mode_t(S_ISUID | S_ISGID);
  ::fchmod(fd, mode);  // after fchown, which may clear the set-id bits
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace norvelle
