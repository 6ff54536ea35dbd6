// What a document's preview watches, and the thread that waits for it.
//
// The files are those the last run read or looked for (the document, its
// included files, the rule files, a named rule not found yet), never the page
// the preview itself wrote. The watcher (platform/file_watch.h) waits on a
// thread of its own and calls back on that thread; the window posts the call
// over to its own thread. A new set of files interrupts the wait; the old
// set's pending changes are kept by the watcher.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "io/document_io.h"
#include "platform/file_watch.h"

namespace norvelle {

// Native paths, sorted, each once; `written` (native, may be empty) left out.
std::vector<std::string> FilesToWatch(const std::vector<FileRead>& reads, const std::string& written);

// A burst is over sooner than for the command line's loop: the preview must
// follow a save within 200 ms, conversion included.
inline FileWatchOptions PreviewWatchOptions() {
  FileWatchOptions o;
  o.settle = std::chrono::milliseconds(30);
  o.gather_cap = std::chrono::milliseconds(150);
  return o;
}

// The content of the watched files as it was before a run, so that a change
// the watcher reports is a reason for a new run only when the content is not
// what that run may have read (a touch, or a save of the same text, is not).
// Taken before the run, a change made while it runs still counts.
class ContentPrints {
 public:
  void Take(const std::vector<std::string>& files);
  // Whether any of the paths differs from its print, or has none.
  bool AnyChanged(const std::vector<std::string>& paths) const;

 private:
  std::map<std::string, std::uint64_t> prints_;
};

class WatchThread {
 public:
  // changed: called on the watching thread with the changed paths.
  using Changed = std::function<void(const std::vector<std::string>& paths)>;
  explicit WatchThread(Changed changed, FileWatchOptions options = PreviewWatchOptions());
  ~WatchThread();  // interrupts the wait and joins
  WatchThread(const WatchThread&) = delete;
  WatchThread& operator=(const WatchThread&) = delete;

  // From any thread: the files to watch from now on.
  void SetFiles(std::vector<std::string> files);

 private:
  void Loop();

  Changed changed_;
  FileWatcher watcher_;
  std::mutex mutex_;
  std::vector<std::string> files_;  // guarded by mutex_
  bool fresh_ = false;              // files_ not yet given to the watcher; guarded
  bool stop_ = false;               // guarded
  std::thread thread_;
};

}  // namespace norvelle
