#include "report/diagnostics.h"

#include <string>

#include "base/format.h"

namespace norvelle {

void Report(Diagnostics& to, Msg m, int number, std::string_view arg) {
  CStr line;
  const std::string text(arg);
  Format(line, Message(m).c_str(), number, text.c_str());
  to.AddError(line.view());
}

}  // namespace norvelle
