// What a conversion shows of its progress and asks of its window: the status
// text, the button's caption, the bar, and a pump that delivers pending
// events and says whether the user asked to cancel. All texts are CP932.
#pragma once

#include <string_view>

namespace norvelle {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetButtonCaption(std::string_view text) = 0;
  virtual void SetProgressRange(int max) = 0;
  virtual void SetProgressPos(int pos) = 0;
  // Delivers pending events; true when the user asked to cancel.
  virtual bool Pump() = 0;
};

}  // namespace norvelle
