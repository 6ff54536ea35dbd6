// Waiting for a set of files to change, for the command line's watch loop.
//
// Watches the folders that hold the files (inotify), not the files: a save
// that writes a temporary and renames it over, an editor's rename-away and
// write-new, truncate-and-write, delete and re-create all replace or touch a
// name in the folder, which a watch on the old inode would miss. A file whose
// folder does not exist yet is watched through its nearest existing ancestor.
// Where inotify sees nothing (network and FUSE file systems), cannot start,
// or its watch limit is reached, the folders are polled with stat instead.
// Names that are not watched files never wake a wait, so the program's own
// outputs, temporaries and depfiles beside a document are not seen.
// A watched name that is a symbolic link is watched in its own folder and in
// its target's; a link re-pointed while watched is followed by the next Watch
// (the caller calls it after each Wait, with the files of the new conversion).
// One thread watches and waits; Interrupt may come from any thread or a
// signal handler. Paths are native (UTF-8) bytes, as on disk.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace norvelle {

// Outside the class: a nested struct with member initialisers cannot be a
// default argument of the class's own constructor.
struct FileWatchOptions {
  std::chrono::milliseconds settle{100};       // a burst ends after this long with no change
  std::chrono::milliseconds poll{1000};        // how often polled files are looked at
  std::chrono::milliseconds gather_cap{2000};  // a burst is reported after this long even if it goes on
  bool force_polling = false;                  // poll even where inotify works
};

class FileWatcher {
 public:
  using Options = FileWatchOptions;

  explicit FileWatcher(Options options = {});
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  // The files to watch, existing or not; replaces the previous set. A file
  // that was in the previous set keeps its pending changes, so a save made
  // while the caller converted is still seen by the next Wait. Fails only
  // when the watcher could not be set up at all (no interrupt channel) or a
  // path is empty; a folder that cannot be watched is polled instead.
  std::error_code Watch(const std::vector<std::string>& files);

  // Blocks until a watched file changed, then gathers the burst: waits on
  // while changes keep coming, until `settle` passes with none (at most
  // `gather_cap` in all, so a file written without pause is still reported).
  // The changed watched paths, each once, sorted; empty after Interrupt(),
  // or when `timeout` passed before the first change.
  std::vector<std::string> Wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

  // Async-signal-safe (a SIGINT handler may call it): a current or the next
  // Wait returns an empty list at once.
  void Interrupt();

  // True when some watched file is polled; note() says why in one line with
  // no prefix, empty when nothing is polled.
  bool polling() const { return !note_.empty(); }
  const std::string& note() const { return note_; }

 private:
  struct Target;
  struct Events;
  using Clock = std::chrono::steady_clock;

  void Arm();
  void ArmTarget(Target& target);
  int WatchFolder(const std::string& folder, std::string& why_polled);
  void DropUnusedWatches();
  bool Step(Events& events, std::optional<Clock::time_point> until);
  bool WaitReadable(std::optional<Clock::time_point> until, bool& interrupted);
  void ReadInotify(Events& events);
  void TakeEvent(int wd, std::uint32_t mask, const std::string& name, Events& events);
  void LookAgain(Events& events, bool polled_only);
  std::vector<std::string> Finish(Events& events);

  Options options_;
  int inotify_ = -1;
  int wake_ = -1;            // eventfd that Interrupt writes
  std::error_code setup_error_;
  std::string inotify_why_;  // why inotify could not start, if so
  std::vector<Target> targets_;
  std::map<int, std::string> watches_;  // inotify descriptor -> folder
  std::string note_;
};

// A file's content in 64 bits: its size and a hash of its bytes, read now.
// Equal content gives equal values; a missing file, and one that exists but
// cannot be read, each have a value of their own, which content never gives.
std::uint64_t FileFingerprint(const std::string& path);
inline constexpr std::uint64_t kFingerprintMissing = 0;
inline constexpr std::uint64_t kFingerprintUnreadable = 1;

// The name of a file system on which inotify sees no changes made by other
// machines or by a user-space server (NFS, SMB, FUSE, 9p, ...), from statfs's
// f_type; null for the rest.
const char* FileSystemWithoutEvents(long f_type);

}  // namespace norvelle
