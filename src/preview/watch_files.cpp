#include "preview/watch_files.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace norvelle {

std::vector<std::string> FilesToWatch(const std::vector<FileRead>& reads, const std::string& written) {
  std::vector<std::string> files;
  for (const FileRead& r : reads)
    if (!r.path.empty() && r.path != written) files.push_back(r.path);
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

void ContentPrints::Take(const std::vector<std::string>& files) {
  prints_.clear();
  for (const std::string& f : files) prints_[f] = FileFingerprint(f);
}

bool ContentPrints::AnyChanged(const std::vector<std::string>& paths) const {
  return std::any_of(paths.begin(), paths.end(), [this](const std::string& p) {
    const auto it = prints_.find(p);
    return it == prints_.end() || FileFingerprint(p) != it->second;
  });
}

WatchThread::WatchThread(Changed changed, FileWatchOptions options)
    : changed_(std::move(changed)), watcher_(options), thread_([this] { Loop(); }) {}

WatchThread::~WatchThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  watcher_.Interrupt();
  thread_.join();
}

void WatchThread::SetFiles(std::vector<std::string> files) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    files_ = std::move(files);
    fresh_ = true;
  }
  watcher_.Interrupt();
}

void WatchThread::Loop() {
  for (;;) {
    std::vector<std::string> files;
    bool fresh = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) return;
      fresh = fresh_;
      if (fresh) files = files_;
      fresh_ = false;
    }
    if (fresh) {
      if (const std::error_code why = watcher_.Watch(files))
        std::fprintf(stderr, "norvelle: cannot watch the files: %s\n", why.message().c_str());
    }
    const std::vector<std::string> changed = watcher_.Wait();
    // Empty: interrupted, for new files or to stop; both are looked at above.
    if (!changed.empty()) changed_(changed);
  }
}

}  // namespace norvelle
