// Waiting for files to change: inotify on their folders, stat where it cannot.
#include "platform/file_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string_view>

#include "platform/system_error.h"

namespace norvelle {
namespace {

// Every way a save can touch a name in the folder: written in place
// (MODIFY, CLOSE_WRITE), renamed over or away (MOVED_TO, MOVED_FROM),
// deleted and made anew (DELETE, CREATE), touched (ATTRIB); and the folder
// itself going away, which ends the watch.
constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                        IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t kWatchGone = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

// What polling compares: a replaced file has another inode, a rewritten one
// another size or time.
struct Snapshot {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  std::int64_t mtime_ns = 0;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Look(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, st.st_size,
          std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder part and the last name of a path, lexically: "a" is in ".",
// "/a" in "/".
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  const std::size_t end = path.find_last_not_of('/', slash);
  return end == std::string::npos ? "/" : path.substr(0, end + 1);
}
std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Every(std::chrono::milliseconds poll) {
  const long long ms = poll.count();
  return "polling every " + (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
}

struct FileSystemKind {
  std::uint32_t magic;  // the kernel's magic numbers are 32 bits, whatever f_type's width
  const char* name;
};
// From statfs(2) and linux/magic.h; FUSE covers sshfs, virtiofs and the
// like, whose changes come from outside the kernel.
constexpr FileSystemKind kWithoutEvents[] = {
    {0x6969, "NFS"},           {0x517B, "SMB"},          {0xFF534D42, "CIFS"},  {0xFE534D42, "SMB2"},
    {0x65735546, "FUSE"},      {0x01021997, "9p"},       {0x73757245, "Coda"},  {0x5346414F, "AFS"},
    {0x6B414653, "AFS"},       {0x00C36400, "Ceph"},     {0x0BD00BD0, "Lustre"}, {0x47504653, "GPFS"},
    {0x786F4256, "vboxsf"},    {0x564C, "NCP"},
};

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h = (h ^ v) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 32);
}

}  // namespace

// One watched file as the watcher follows it.
struct FileWatcher::Target {
  std::string path;     // as the caller named it: what Wait reports
  std::string file;     // what is looked at: the path, or a link's target
  std::string folder;   // the file's folder
  std::string name;     // the file's name in it
  std::string key;      // the name in the watched folder whose events matter
  bool direct = false;  // the watched folder is the file's own (key is the file)
  int wd = -1;          // the watched folder's inotify descriptor; -1: polled
  Snapshot seen;        // the file as last looked at
};

// What one wait gathered.
struct FileWatcher::Events {
  std::set<std::string> changed;
  std::size_t hits = 0;  // changes seen, repeats included: a burst goes on while it grows
  bool rearm = false;    // a folder on the way appeared or went
  bool all = false;      // the kernel's queue overflowed: anything may have changed
};

FileWatcher::FileWatcher(Options options) : options_(options) {
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_ < 0) setup_error_ = LastSystemError();
  if (options_.force_polling) return;
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0) inotify_why_ = std::strerror(errno);
}

FileWatcher::~FileWatcher() {
  if (inotify_ >= 0) ::close(inotify_);
  if (wake_ >= 0) ::close(wake_);
}

void FileWatcher::Interrupt() {
  const int saved = errno;  // a signal handler must leave errno as it found it
  const std::uint64_t one = 1;
  if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
    // full counter: a wake is pending anyway
  }
  errno = saved;
}

std::error_code FileWatcher::Watch(const std::vector<std::string>& files) {
  if (setup_error_) return setup_error_;
  std::vector<Target> next;
  for (const std::string& path : files) {
    if (path.empty()) return std::make_error_code(std::errc::invalid_argument);
    next.push_back({path, path, FolderOf(path), NameOf(path), {}, false, -1, {}});
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
    // an edit of a link's target touches only the target's folder
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      if (path != real) next.push_back({path, real, FolderOf(real), NameOf(real), {}, false, -1, {}});
      std::free(real);
    }
  }
  for (Target& t : next) {
    const auto old = std::find_if(targets_.begin(), targets_.end(),
                                  [&](const Target& o) { return o.path == t.path && o.file == t.file; });
    t.seen = old != targets_.end() ? old->seen : Look(t.file);
  }
  targets_ = std::move(next);
  Arm();
  return {};
}

// Sets up the watch of every target, drops the watches no target needs, and
// says why some are polled.
void FileWatcher::Arm() {
  note_.clear();
  for (Target& t : targets_) ArmTarget(t);
  DropUnusedWatches();
}

void FileWatcher::ArmTarget(Target& t) {
  // the nearest existing folder on the way to the file
  std::string folder = t.folder;
  t.key = t.name;
  while (!IsFolder(folder)) {
    const std::string up = FolderOf(folder);
    if (up == folder) break;
    t.key = NameOf(folder);
    folder = up;
  }
  t.direct = folder == t.folder;
  std::string why;
  t.wd = WatchFolder(folder, why);
  if (t.wd < 0 && note_.empty()) note_ = Every(options_.poll) + ": " + why;
}

int FileWatcher::WatchFolder(const std::string& folder, std::string& why) {
  if (options_.force_polling) {
    why = "asked for";
    return -1;
  }
  if (inotify_ < 0) {
    why = "inotify is unavailable (" + inotify_why_ + ")";
    return -1;
  }
  struct statfs fs;
  if (::statfs(folder.c_str(), &fs) == 0) {
    if (const char* kind = FileSystemWithoutEvents(long(fs.f_type))) {
      why = folder + " is on " + kind + ", where inotify misses changes made elsewhere";
      return -1;
    }
  }
  const int wd = ::inotify_add_watch(inotify_, folder.c_str(), kFolderEvents);
  if (wd >= 0) {
    watches_[wd] = folder;
    return wd;
  }
  why = errno == ENOSPC ? "the inotify watch limit is reached (sysctl fs.inotify.max_user_watches)"
                        : "cannot watch " + folder + " (" + std::strerror(errno) + ")";
  return -1;
}

void FileWatcher::DropUnusedWatches() {
  for (auto it = watches_.begin(); it != watches_.end();) {
    const int wd = it->first;
    if (std::any_of(targets_.begin(), targets_.end(), [&](const Target& t) { return t.wd == wd; })) {
      ++it;
      continue;
    }
    ::inotify_rm_watch(inotify_, wd);  // fails harmlessly when the kernel ended it already
    it = watches_.erase(it);
  }
}

std::vector<std::string> FileWatcher::Wait(std::optional<std::chrono::milliseconds> timeout) {
  Events events;
  std::optional<Clock::time_point> deadline;
  if (timeout) deadline = Clock::now() + *timeout;
  LookAgain(events, true);  // what changed while the caller worked
  while (events.hits == 0) {
    if (deadline && Clock::now() >= *deadline) return {};
    if (!Step(events, deadline)) return {};
  }
  // the burst: on while changes come closer than `settle`, never past the cap
  const Clock::time_point cap = Clock::now() + options_.gather_cap;
  Clock::time_point last = Clock::now();
  for (;;) {
    const Clock::time_point quiet = std::min(last + options_.settle, cap);
    if (Clock::now() >= quiet) break;
    const std::size_t hits = events.hits;
    if (!Step(events, quiet)) return {};
    if (events.hits != hits) last = Clock::now();
  }
  return Finish(events);
}

// Waits for an event, an interrupt, the next look at polled files or
// `until`, and takes in what happened; false when interrupted.
bool FileWatcher::Step(Events& events, std::optional<Clock::time_point> until) {
  const bool polled = std::any_of(targets_.begin(), targets_.end(), [](const Target& t) { return t.wd < 0; });
  if (polled) {
    const Clock::time_point tick = Clock::now() + options_.poll;
    until = until ? std::min(*until, tick) : tick;
  }
  bool interrupted = false;
  const bool readable = WaitReadable(until, interrupted);
  if (interrupted) return false;
  if (readable) ReadInotify(events);
  if (events.rearm) {
    events.rearm = false;
    Arm();
    LookAgain(events, false);  // a file may have come with its folder, before the watch
  } else if (polled) {
    LookAgain(events, true);
  }
  return true;
}

bool FileWatcher::WaitReadable(std::optional<Clock::time_point> until, bool& interrupted) {
  pollfd fds[2] = {{wake_, POLLIN, 0}, {inotify_, POLLIN, 0}};
  const nfds_t count = inotify_ >= 0 ? 2 : 1;
  for (;;) {
    int ms = -1;
    if (until) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
      ms = int(std::clamp<long long>(left, 0, INT_MAX));
    }
    const int n = ::poll(fds, count, ms);
    if (n < 0 && errno == EINTR) continue;  // a signal: its handler may have interrupted us, poll says
    if (n <= 0) return false;
    if (fds[0].revents != 0) {
      std::uint64_t value;
      while (::read(wake_, &value, sizeof value) < 0 && errno == EINTR) {
      }
      interrupted = true;
      return false;
    }
    return count == 2 && fds[1].revents != 0;
  }
}

void FileWatcher::ReadInotify(Events& events) {
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // EAGAIN: all read
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      at += ssize_t(sizeof(inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        events.all = events.rearm = true;
        ++events.hits;
        continue;
      }
      TakeEvent(e->wd, e->mask, e->len != 0 ? std::string(e->name) : std::string(), events);
    }
  }
}

void FileWatcher::TakeEvent(int wd, std::uint32_t mask, const std::string& name, Events& events) {
  if (mask & kWatchGone) {
    if (watches_.count(wd) != 0) events.rearm = true;  // not one this watcher dropped itself
    return;
  }
  if (name.empty()) return;
  for (const Target& t : targets_) {
    if (t.wd != wd || t.key != name) continue;
    if (!t.direct) {
      events.rearm = true;  // a folder on the way to the file
      continue;
    }
    events.changed.insert(t.path);
    ++events.hits;
  }
}

// Compares the files (all, or the polled ones) with how they were last seen.
void FileWatcher::LookAgain(Events& events, bool polled_only) {
  for (Target& t : targets_) {
    if (polled_only && t.wd >= 0) continue;
    const Snapshot now = Look(t.file);
    if (now == t.seen) continue;
    t.seen = now;
    events.changed.insert(t.path);
    ++events.hits;
  }
}

std::vector<std::string> FileWatcher::Finish(Events& events) {
  for (Target& t : targets_) {
    if (events.all) events.changed.insert(t.path);
    if (events.changed.count(t.path) != 0) t.seen = Look(t.file);
  }
  return {events.changed.begin(), events.changed.end()};
}

std::uint64_t FileFingerprint(const std::string& path) {
  int fd;
  while ((fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) < 0 && errno == EINTR) {
  }
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? kFingerprintMissing : kFingerprintUnreadable;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kFingerprintUnreadable;
  }
  // fixed-size chunks, whatever read returns, so equal bytes hash equally
  static constexpr std::size_t kChunk = 64 * 1024;
  std::string chunk(kChunk, '\0');
  std::uint64_t h = 0x243F6A8885A308D3ull, size = 0;
  for (bool end = false; !end;) {
    std::size_t filled = 0;
    while (filled < kChunk) {
      const ssize_t n = ::read(fd, chunk.data() + filled, kChunk - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ::close(fd);
        return kFingerprintUnreadable;
      }
      if (n == 0) {
        end = true;
        break;
      }
      filled += std::size_t(n);
    }
    h = Mix(h, std::hash<std::string_view>{}(std::string_view(chunk.data(), filled)));
    size += filled;
  }
  ::close(fd);
  h = Mix(h, size);
  return h > kFingerprintUnreadable ? h : h + 2;  // content never reads as missing or unreadable
}

const char* FileSystemWithoutEvents(long f_type) {
  for (const FileSystemKind& k : kWithoutEvents) {
    if (k.magic == std::uint32_t(f_type)) return k.name;
  }
  return nullptr;
}

}  // namespace norvelle
