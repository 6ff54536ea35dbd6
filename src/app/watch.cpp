#include "app/watch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/exit_status.h"
#include "app/terminal_host.h"
#include "platform/probe.h"

namespace norvelle {

namespace {

using Clock = std::chrono::steady_clock;

FileWatcher* g_watcher = nullptr;

extern "C" void InterruptWatcher() {
  if (g_watcher) g_watcher->Interrupt();
}

// One document and what its last run was made of.
struct Watched {
  std::string input;
  RunOutcome last = RunOutcome::kDone;
  std::map<std::string, std::uint64_t> prints;  // file -> content when the run ended
  bool dirty = false;                             // a file may have changed during the run
};

bool ChangedSince(const std::string& path, std::timespec start) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return st.st_mtim.tv_sec > start.tv_sec ||
         (st.st_mtim.tv_sec == start.tv_sec && st.st_mtim.tv_nsec >= start.tv_nsec);
}

std::timespec Now() {
  std::timespec t{};
  ::clock_gettime(CLOCK_REALTIME, &t);
  return t;
}

// Pages and dependency files are named as the user wrote them; reads are absolute.
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return CurrentFolder() + "/" + path;
}

std::string RunLine(const RunRecord& r, Clock::duration took) {
  const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
  std::string what;
  if (r.outcome == RunOutcome::kFailed) what = "failed, ";
  else if (r.errors > 0) what = std::to_string(r.errors) + (r.errors == 1 ? " error, " : " errors, ");
  if (r.held_back) what += "not written, ";
  return "norvelle: " + r.input + " -> " + r.page + " (" + what + std::to_string(ms) + " ms)";
}

class WatchLoop {
 public:
  WatchLoop(const Job& job, bool quiet, const FileWatchOptions& options, std::FILE* err)
      : job_(job), quiet_(quiet), err_(err), watcher_(options) {}
  int Run();

 private:
  // Converts the inputs given (all of them the first time); false when cancelled.
  bool Convert(const std::vector<std::string>& inputs, bool first);
  void Record(const RunRecord& r, std::timespec start, Clock::time_point started);
  std::vector<std::string> Files() const;
  std::vector<std::string> Due(const std::vector<std::string>& changed);
  void Note(const std::string& line) {
    std::fprintf(err_, "%s\n", line.c_str());
    std::fflush(err_);
  }

  const Job& job_;
  bool quiet_;
  std::FILE* err_;
  FileWatcher watcher_;
  std::map<std::string, Watched> docs_;
  std::set<std::string> written_;  // pages and dependency files: never watched
  std::string polling_note_;
};

bool WatchLoop::Convert(const std::vector<std::string>& inputs, bool first) {
  Job job = job_;
  job.inputs = inputs;
  job.concurrent_passes = true;
  job.name_reports = job_.inputs.size() > 1;
  std::timespec start = Now();
  Clock::time_point started = Clock::now();
  job.on_run = [&](const RunRecord& r) {
    Record(r, start, started);
    start = Now();
    started = Clock::now();
  };
  TerminalHost host(err_, !quiet_ && isatty(fileno(err_)) != 0);
  const RunOutcome r = RunJob(host, job, [this](NoteKind kind, const std::string& line) {
    if (!(quiet_ && kind == NoteKind::kHint)) Note(line);
  });
  // An input the job refused (its page would replace another's) ran no
  // conversion: it has nothing to watch, and it failed.
  if (first)
    for (const std::string& in : inputs)
      if (!docs_.count(in)) docs_[in].last = RunOutcome::kFailed;
  return r != RunOutcome::kCancelled;
}

void WatchLoop::Record(const RunRecord& r, std::timespec start, Clock::time_point started) {
  // A cancelled run ends the watch; the document keeps its last outcome.
  if (r.outcome == RunOutcome::kCancelled) return;
  Watched& doc = docs_[r.input];
  doc.input = r.input;
  doc.last = r.outcome;
  doc.prints.clear();
  doc.dirty = false;
  if (r.page != "-") written_.insert(Absolute(r.page));
  if (job_.deps != DepsMode::kNone)
    written_.insert(Absolute(job_.deps == DepsMode::kNamed ? job_.deps_file : r.page + ".d"));
  for (const FileRead& f : r.reads) {
    doc.prints[f.path] = FileFingerprint(f.path);
    if (f.found && ChangedSince(f.path, start)) doc.dirty = true;
  }
  if (r.outcome == RunOutcome::kFailed && !PathExists(r.input))
    Note("norvelle: " + r.input + ": waiting for it to appear");
  Note(RunLine(r, Clock::now() - started));
}

std::vector<std::string> WatchLoop::Files() const {
  std::set<std::string> all;
  for (const auto& [input, doc] : docs_)
    for (const auto& [path, print] : doc.prints)
      if (!written_.count(path)) all.insert(path);
  return {all.begin(), all.end()};
}

// The documents to convert again, in the command line's order: those one of
// whose files changed its content, and those whose files changed while they
// were converted.
std::vector<std::string> WatchLoop::Due(const std::vector<std::string>& changed) {
  std::vector<std::string> due;
  for (const std::string& input : job_.inputs) {
    auto d = docs_.find(input);
    if (d == docs_.end()) continue;
    bool content = d->second.dirty;
    for (const std::string& c : changed) {
      auto it = d->second.prints.find(c);
      if (it != d->second.prints.end() && FileFingerprint(c) != it->second) content = true;
    }
    if (content && std::find(due.begin(), due.end(), input) == due.end()) due.push_back(input);
  }
  return due;
}

int WatchLoop::Run() {
  TerminalHost::InstallSignalHandlers();
  g_watcher = &watcher_;
  TerminalHost::SetSignalHook(InterruptWatcher);
  bool going = Convert(job_.inputs, true);
  int status = kExitOk;
  while (going) {
    if (const std::error_code why = watcher_.Watch(Files())) {
      Note("norvelle: cannot watch the files: " + why.message());
      status = kExitFatal;
      break;
    }
    if (watcher_.note() != polling_note_) {
      polling_note_ = watcher_.note();
      if (!polling_note_.empty()) Note("norvelle: " + polling_note_);
    }
    std::vector<std::string> due = Due({});
    if (due.empty()) {
      const std::vector<std::string> changed = watcher_.Wait();
      if (changed.empty()) break;  // Ctrl-C
      due = Due(changed);
    }
    if (!due.empty()) going = Convert(due, false);
  }
  TerminalHost::SetSignalHook(nullptr);
  g_watcher = nullptr;
  for (const auto& [input, doc] : docs_) status = std::max(status, ExitStatusOf(doc.last));
  return status;
}

}  // namespace

int RunWatch(const Job& job, bool quiet, const FileWatchOptions& options, std::FILE* err) {
  WatchLoop loop(job, quiet, options, err);
  return loop.Run();
}

}  // namespace norvelle
