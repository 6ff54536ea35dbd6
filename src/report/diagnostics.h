// Where a conversion's error report goes: one line per error, in CP932, and
// the source line number that every message quotes. Pass 1 and pass 2 see
// only this; the progress shown is a separate interface (progress.h).
#pragma once

#include <string_view>

#include "report/messages.h"

namespace norvelle {

class Diagnostics {
 public:
  virtual ~Diagnostics() = default;
  virtual void AddError(std::string_view line) = 0;
  virtual int ErrorCount() const = 0;

  // Current source line number, quoted by every error message.
  int line_number = 0;
};

// Adds m's line: its "%d" takes number, its "%s" (if any) takes arg.
void Report(Diagnostics& to, Msg m, int number, std::string_view arg = {});

}  // namespace norvelle
