#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/output_target.h"
#include "platform/system_error.h"

namespace norvelle {

namespace {

// After the rename: the folder's entry on the disk too. Best effort: the new
// file is in place already, and some file systems refuse a folder's fsync.
void SyncFolder(const std::string& folder) {
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  ::fsync(dfd);
  ::close(dfd);
}

// Fills fd and puts it on the disk; closes it either way.
std::error_code FillAndClose(int fd, const FillFile& fill, SignalShield& shield) {
  std::error_code why;
  try {
    why = fill(fd, shield);
  } catch (...) {
    ::close(fd);
    throw;
  }
  // On the disk before the rename: a crash then leaves the old file or the
  // new one, never a renamed empty one.
  if (!why && ::fdatasync(fd) != 0) why = LastSystemError();
  if (::close(fd) != 0 && !why) why = LastSystemError();
  return why;
}

}  // namespace

std::error_code ReplaceFile(const std::string& target, const FillFile& fill) {
  // A file we may not write stays as it is, read-only or not replaced.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return LastSystemError();
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  RemoveStaleTemps(folder);

  // From here until the temporary file is renamed or removed, SIGINT and
  // its kind wait (a handler sees them afterwards; without one the process
  // ends then, leaving no temporary file), and a file-size limit fails the
  // write instead of killing the process.
  SignalShield shield;
  std::string tmp = TempName(folder, name);
  const int fd = mkstemp(tmp.data());
  if (fd < 0) return LastSystemError();
  HoldTemp(fd);
  struct stat st;
  TakeOwnerAndMode(fd, ::stat(target.c_str(), &st) == 0 ? &st : nullptr);
  std::error_code why;
  try {
    why = FillAndClose(fd, fill, shield);
  } catch (...) {  // the filler failed: no half-written file stays behind
    ::unlink(tmp.c_str());
    throw;
  }
  if (!why && ::rename(tmp.c_str(), target.c_str()) != 0) why = LastSystemError();
  if (why) {
    ::unlink(tmp.c_str());
    return why;
  }
  SyncFolder(folder);
  return {};
}

}  // namespace norvelle
