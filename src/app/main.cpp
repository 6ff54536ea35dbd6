// Entry point: chooses the mode from the command line alone.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/dialog_entry.h"
#include "app/first_run.h"
#include "app/watch.h"
#include "platform/probe.h"

#ifndef NORVELLE_VERSION
#define NORVELLE_VERSION "0.1.0"
#endif

namespace {

int Convert(const norvelle::CommandLine& cl, const std::vector<std::string>& args) {
  using namespace norvelle;
  Job job;
  std::string error;
  if (!JobOf(cl, job, error)) {
    std::fprintf(stderr, "%s\n", UsageLine(error).c_str());
    return kExitFatal;
  }
  // A rule file named on the command line must be there: every page would
  // otherwise be made with rules the user did not ask for.
  if (!job.rules.empty() && !IsRegularFile(job.rules)) {
    const int why = ReadProblem(job.rules);
    std::fprintf(stderr, "norvelle: %s: %s\n", job.rules.c_str(),
                 why ? SystemReason(why).c_str() : "not a regular file");
    return kExitFatal;
  }
  if (cl.preview) return RunPreviewWindow(args);
  FileWatchOptions watching;
  watching.force_polling = cl.watch_poll;
  int status = cl.watch                         ? RunWatch(job, cl.quiet, watching)
               : cl.mode == Mode::kConvertDialog ? RunProgressWindow(args, job, cl.quiet)
                                                 : RunBatch(job, cl.quiet);
  if (status == kExitCancelled) std::fputs("norvelle: cancelled\n", stderr);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace norvelle;
  std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine cl = ParseCommandLine(args);
  if (cl.mode == Mode::kSettings || cl.mode == Mode::kConvertDialog || cl.mode == Mode::kConvertBatch)
    PrepareRuleFolder(stderr);
  switch (cl.mode) {
    case Mode::kHelp:
      std::fputs(HelpText(), stdout);
      return kExitOk;
    case Mode::kVersion:
      std::printf("norvelle %s\n", NORVELLE_VERSION);
      return kExitOk;
    case Mode::kUsageError:
      std::fprintf(stderr, "%s\n", UsageLine(cl.error).c_str());
      return kExitFatal;
    case Mode::kSettings:
      return RunSettingsWindow();
    case Mode::kConvertDialog:
    case Mode::kConvertBatch:
      return Convert(cl, args);
  }
  return kExitFatal;
}
