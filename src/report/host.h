// The conversion's view of its host: the progress dialog, or the terminal in
// batch mode. The run talks to the outside world only through this interface.
// All texts are CP932.
#pragma once

#include <string_view>

namespace norvelle {

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  virtual void SetStatus(std::string_view text) = 0;
  virtual void AddError(std::string_view line) = 0;
  virtual int ErrorCount() const = 0;
  virtual void SetButtonCaption(std::string_view text) = 0;
  virtual void SetProgressRange(int max) = 0;
  virtual void SetProgressPos(int pos) = 0;
  // Delivers pending events; true when the user asked to cancel.
  virtual bool Pump() = 0;

  // Current source line number, quoted by every error message.
  int line_number = 0;
};

}  // namespace norvelle
