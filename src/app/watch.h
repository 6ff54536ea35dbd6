// Watch mode: converts the job's documents, then waits and converts a
// document again whenever a file its last run read changes or a file it
// looked for appears, until Ctrl-C. One line of our own per run on standard
// error, the report lines as usual.
#pragma once

#include <cstdio>

#include "app/job.h"
#include "platform/file_watch.h"

namespace norvelle {

// The exit status: 0 when the last run of every document was clean, else
// the worst of those runs.
int RunWatch(const Job& job, bool quiet, const FileWatchOptions& options = {}, std::FILE* err = stderr);

}  // namespace norvelle
