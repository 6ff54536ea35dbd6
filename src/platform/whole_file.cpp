#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/carry.h"

namespace norvelle {

namespace {

// Records errno as the reason and fails, so each step reads as one line.
bool Failed(int& err, int why) {
  err = why;
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes, const WriteStep& write, int& err) {
  while (!bytes.empty()) {
    const ssize_t n = write ? write(fd, bytes.data(), bytes.size())
                            : ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failed(err, errno);
    // A write that takes nothing would loop for ever; no space is what it means.
    if (n == 0) return Failed(err, ENOSPC);
    bytes.remove_prefix(std::size_t(n));
  }
  return true;
}

// The mode a plain create would give, or the old target's.
mode_t NewFileMode(const std::string& target) {
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Everything but the rename; the temporary is removed by the caller on failure.
bool FillTemporary(int fd, const std::string& target, std::string_view bytes,
                   const WriteStep& write, int& err) {
  if (::fchmod(fd, NewFileMode(target)) != 0) return Failed(err, errno);
  if (!WriteAll(fd, bytes, write, err)) return false;
  // Synced before the rename: otherwise a crash can leave the new name on
  // an empty file.
  if (::fsync(fd) != 0) return Failed(err, errno);
  return true;
}

}  // namespace

bool MakeFolderPath(const std::string& path, int& err) {
  // Each prefix that ends before a "/" (UTF-8 has no "/" inside a character).
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return Failed(err, errno);
    if (slash == std::string::npos) break;
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return Failed(err, errno);
  return S_ISDIR(st.st_mode) || Failed(err, ENOTDIR);
}

bool ReadWholeFile(const std::string& path, std::string& out, int& err) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Failed(err, errno);
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 || Failed(err, errno);
  if (ok && !S_ISREG(st.st_mode)) ok = Failed(err, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  out.clear();
  char buf[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = Failed(err, errno);
    if (n <= 0) break;
    out.append(buf, std::size_t(n));
  }
  ::close(fd);
  return ok;
}

bool PutWholeFile(const std::string& path, std::string_view bytes, int& err, const WriteStep& write) {
  const std::string folder = FolderOf(path);
  const std::size_t slash = path.rfind('/');
  std::string tmp = folder + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) +
                    ".norvelle-new-XXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return Failed(err, errno);
  bool ok = FillTemporary(fd, path, bytes, write, err);
  if (::close(fd) != 0 && ok) ok = Failed(err, errno);
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = Failed(err, errno);
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder; a folder that cannot
  // be synced still holds the whole file.
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool RewriteInPlace(const std::string& path, std::string_view bytes, int& err, const WriteStep& write) {
  // No O_TRUNC and no O_CREAT: only an existing regular file is written, and
  // O_NONBLOCK keeps a FIFO put in its place from holding the save.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Failed(err, errno);
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 || Failed(err, errno);
  if (ok && !S_ISREG(st.st_mode)) ok = Failed(err, EINVAL);
  // Over the old bytes first, cut to length after: a text no longer than the
  // old one needs no new blocks on most file systems, so a full disk cannot
  // leave it empty.
  if (ok) ok = WriteAll(fd, bytes, write, err);
  if (ok && ::ftruncate(fd, off_t(bytes.size())) != 0) ok = Failed(err, errno);
  if (ok && ::fsync(fd) != 0) ok = Failed(err, errno);
  if (::close(fd) != 0 && ok) ok = Failed(err, errno);
  return ok;
}

bool FolderRefusesNewFiles(int err) { return err == EACCES || err == EPERM || err == EROFS; }

bool RewriteTextInPlace(const std::string& cp932_path, std::string_view lf_text) {
  std::string native;
  if (!NameToNative(cp932_path, native) || native.find('\0') != std::string::npos) return false;
  const std::string bytes = WithCrLf(lf_text);
  int err = 0;
  if (RewriteInPlace(native, bytes, err)) return true;
  errno = err;
  return false;
}

std::string WithCrLf(std::string_view lf_text) {
  std::string out;
  out.reserve(lf_text.size() + lf_text.size() / 16);
  for (char c : lf_text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace norvelle
