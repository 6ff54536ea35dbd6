#include "app/exit_status.h"

namespace norvelle {

int ExitStatusOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kDone: return kExitOk;
    case RunOutcome::kDoneErrors: return kExitErrors;
    case RunOutcome::kFailed: return kExitFatal;
    case RunOutcome::kCancelled: return kExitCancelled;
  }
  return kExitFatal;
}

}  // namespace norvelle
