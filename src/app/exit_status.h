// The exit status of the program, and the one that reports a run's outcome.
// Its own header, so that the job (app/job.h) and the command line
// (app/cli.h), which needs the job, can both use it without each other.
#pragma once

#include "convert/run.h"

namespace norvelle {

inline constexpr int kExitOk = 0;          // converted, no errors
inline constexpr int kExitErrors = 1;      // written, errors reported
inline constexpr int kExitFatal = 2;       // nothing written, or bad usage
inline constexpr int kExitCancelled = 130; // cancelled, nothing written

int ExitStatusOf(RunOutcome outcome);

}  // namespace norvelle
