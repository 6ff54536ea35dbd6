// The conversion's host: the progress dialog, or the terminal in batch mode.
// The run talks to the outside world through its two faces, the error
// report and the progress shown; a stage takes only the face it needs.
#pragma once

#include "report/diagnostics.h"
#include "report/progress.h"

namespace norvelle {

class ConversionHost : public Diagnostics, public ProgressSink {};

}  // namespace norvelle
