#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/carry.h"
#include "platform/crlf_writer.h"
#include "platform/output_target.h"
#include "platform/signal_shield.h"
#include "platform/system_error.h"

namespace norvelle {

namespace {

// A name that cannot reach the system names no file.
std::error_code NoSuchFile() { return std::make_error_code(std::errc::no_such_file_or_directory); }

// Runs produce into a CR LF writer of fd; an exception leaves nothing more
// written and goes on.
std::error_code ProduceInto(int fd, SignalShield& shield, const TextProducer& produce) {
  CrlfWriter w(fd);
  bool produced;
  shield.PassHandledInterrupt(true);
  try {
    produced = produce(TextPut([&w](std::string_view piece) { return w.Put(piece); },
                               [&w](std::string& text) { return w.Give(text); }));
  } catch (...) {
    shield.PassHandledInterrupt(false);
    w.Finish();
    throw;
  }
  shield.PassHandledInterrupt(false);
  if (produced) return w.Flush();
  const std::error_code why = w.Finish();
  return why ? why : std::make_error_code(std::errc::operation_canceled);
}

// A stream named as a file, or a device, FIFO or socket: written as it is,
// never replaced (replacing /dev/null would leave a regular file there).
std::error_code WriteUnreplaced(const OutputTarget& t, const TextProducer& produce) {
  const int fd = t.kind == OutputTarget::Kind::kStream
                     ? ::fcntl(t.fd, F_DUPFD_CLOEXEC, 3)
                     : ::open(t.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return LastSystemError();
  SignalShield shield;
  std::error_code why;
  try {
    why = ProduceInto(fd, shield, produce);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0 && !why) why = LastSystemError();
  return why;
}

}  // namespace

std::error_code WriteText(const std::string& cp932_path, const std::vector<std::string_view>& pieces) {
  return WriteTextFrom(cp932_path, [&pieces](const TextPut& put) {
    for (std::string_view piece : pieces)
      if (!put(piece)) return false;
    return true;
  });
}

std::error_code WriteTextFrom(const std::string& cp932_path, const TextProducer& produce) {
  std::string native;
  if (!ToSystemPath(cp932_path, native)) return NoSuchFile();
  OutputTarget t;
  if (!ResolveOutputTarget(native, t)) return LastSystemError();
  if (t.kind != OutputTarget::Kind::kFile) return WriteUnreplaced(t, produce);
  // A regular file (or none yet): through a temporary beside it, renamed over it.
  return ReplaceFile(t.path, [&produce](int fd, SignalShield& shield) { return ProduceInto(fd, shield, produce); });
}

bool CanCreateFile(const std::string& cp932_path) {
  std::string u;
  if (!ToSystemPath(cp932_path, u)) return false;
  std::size_t slash = u.rfind('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : u.substr(0, slash));
  return access(folder.c_str(), W_OK) == 0;
}

bool MakeFolders(const std::string& cp932_path) {
  std::string u;
  if (!ToSystemPath(cp932_path, u)) return false;
  struct stat st;
  // Each prefix that ends before a "/" (UTF-8 has no "/" inside a character).
  for (std::size_t slash = u.find('/', 1);; slash = u.find('/', slash + 1)) {
    const std::string folder = u.substr(0, slash);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return ::stat(u.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSameFilePath(const std::string& cp932_a, const std::string& cp932_b) {
  std::string a, b;
  return ToSystemPath(cp932_a, a) && ToSystemPath(cp932_b, b) && IsSameFile(a, b);
}

bool FileModTime(const std::string& cp932_path, std::time_t& t) {
  std::string u;
  struct stat st;
  if (!ToSystemPath(cp932_path, u) || ::stat(u.c_str(), &st) != 0) return false;
  t = st.st_mtime;
  return true;
}

}  // namespace norvelle
